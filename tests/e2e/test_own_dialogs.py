"""The user's own dialogs: a dialog of a program the agent does not know, described by an entry of
the Dialogs key made from what Copy Window Details says of it, is driven by the folder menu (the
middle click over it now opens the menu): the folder goes into its box three levels down, or is
typed into a dialog without child windows (after its address key, for that method); an entry whose box is not there falls back to a new
shell window, and without the entries the dialog is the desktop's kind again."""
import re
import time

from conftest import AGENT_KEY, SETTINGS_KEY, qftool, reg_set, visible_menus, wait_for, windows_path, wine, xdotool
from test_favourites import VK_DOWN, VK_RETURN, pick
from test_options import OK, OPTIONS, click, dialog_up, open_options, press
from test_options import keys as press_keys
from test_target_windows import FIRST, SECOND, Target, favourites, name_box, open_menu
from test_window_details import copied

DIALOGS_KEY = AGENT_KEY + r"\Dialogs"
TITLE = "Quillrook Test Dialog"


def entry(name, **values):
    for value, data in values.items():
        reg_set(DIALOGS_KEY + "\\" + name, value, data)


def apply_entries():
    """The options dialog's OK: the agent reads the entries again and gives them to its hooks."""
    xdotool("mousemove", 1200, 1000)
    assert qftool("post-thread", 1149)[0] == 0
    dialog_up(OPTIONS)
    press(OPTIONS, OK)
    time.sleep(0.5)


def to_front(target, dy=0):
    x, y = target.point
    xdotool("mousemove", x, y + dy, "click", "1")
    time.sleep(0.5)


def shell_window_shows(folder):
    wait_for(lambda: qftool("windows", "ExplorerWClass", folder.name)[0] == 0, 20,
             what=f"a shell window showing {folder.name}")


def taken_as(target, entry, kind):
    """Copy Window Details (DetailsKey) over the target, until it says which entry takes it."""
    xdotool("mousemove", *target.point)
    time.sleep(0.3)
    xdotool("key", "ctrl+alt+d")

    def said():
        code, text = qftool("clipboard")
        return code == 0 and f"  Dialogs entry: {entry}" in text and f"  the menu takes it as: {kind}" in text
    wait_for(said, 10, what=f"the details saying {entry}")


def test_an_entry_made_from_the_window_details_lets_the_menu_drive_the_dialog(agent, programs):
    a, b = favourites(agent, "fav a", "fav b")
    reg_set(SETTINGS_KEY, "DetailsKey", (3 << 16) | ord("D"), "REG_DWORD")  # Ctrl+Alt+D
    agent.start()
    dialog = Target(programs, agent.data_dir, "qf-dialog", at=(80, 80)).ready()
    keys = Target(programs, agent.data_dir, "qf-keys", at=(640, 80)).ready()

    # What the dialog is made of, from the tray menu's Copy Window Details.
    to_front(dialog, 60)
    xdotool("mousemove", 700, 600)
    assert qftool("post-thread", 1147)[0] == 0
    wait_for(visible_menus, 10, what="the tray menu")
    pick(*([VK_DOWN] * 11), VK_RETURN)
    lines = copied("QfTestDialog")
    box, = [line for line in lines if line.strip().startswith("Edit id=1001")]
    path = box.rsplit("path=", 1)[1]
    program = lines[0].split(": ", 1)[1]

    # Unknown, the dialog lets the middle click through: no menu.
    xdotool("mousemove", *dialog.point, "click", "2")
    time.sleep(2)
    assert not visible_menus(), "a menu over a dialog no entry names"

    entry("Test dialog", Program=program, Class="QfTestDialog", Title="Quillrook Test*", Method="edit", Box=path)
    entry("Keys dialog", Class="QfTest*", Title="Quillrook Keys Dialog", Method="keys")
    entry("Bad", Class="QfTestDialog", Method="paste")
    apply_entries()
    agent.wait_log("LoadOwnDialogs Parameters: entry passed over, unknown Method: paste: Bad")
    taken_as(dialog, "Test dialog", "a dialog of the Dialogs entries")

    # "edit": the folder goes into the box found by its path, Enter opens it, the name comes back.
    open_menu(dialog.point)
    pick(*FIRST, VK_RETURN)
    dialog.shows(a)
    wait_for(lambda: name_box(TITLE) == "secret-name.txt", 15, what="the typed name back in the box")
    agent.wait_log("SetData\\OwnDialog Parameters: entry Test dialog")
    assert [line for line in agent.log_lines() if "ShowPath Parameters: begin, type=12" in line]

    # "keys": a dialog without child windows gets the folder typed into it, and Enter.
    open_menu(keys.point)
    pick(*SECOND, VK_RETURN)
    keys.shows(b)
    assert keys.lines("typed") == [windows_path(b)]

    # "address": Ctrl+L first (the entry names no key of its own), then the folder and Enter.
    entry("Keys dialog", Method="address")
    apply_entries()
    open_menu(keys.point)
    pick(*FIRST, VK_RETURN)
    keys.shows(a)
    assert keys.lines("address-key") == [""] and keys.lines("typed") == [windows_path(b), windows_path(a)]

    # A path that finds no box is logged, and the pick does what it would without the entry.
    entry("Test dialog", Box=r"QfPane\Missing\Edit")
    apply_entries()
    open_menu(dialog.point)
    pick(*FIRST, VK_RETURN)
    agent.wait_log(r"no box on the path QfPane\Missing\Edit: the entry is passed over")
    shell_window_shows(a)
    assert len(dialog.lines("navigated")) == 1

    # Without the entries the middle click goes through again, and the agent takes the dialog as
    # the desktop's kind (the hot key's menu would open the folder in a new shell window).
    assert wine("reg", "delete", DIALOGS_KEY, "/f").returncode == 0
    apply_entries()
    taken_as(dialog, "none", "the desktop (nothing else took it)")
    xdotool("mousemove", *dialog.point, "click", "2")
    time.sleep(2)
    assert not visible_menus(), "a menu over a dialog whose entry was removed"
    assert len(dialog.lines("navigated")) == 1 and len(keys.lines("navigated")) == 2


PICK, PROGRAM, CLASS, TITLE_BOX, BOX, KEY, REMOVE = 3184, 3185, 3186, 3187, 3189, 3190, 3183
DIALOGS_PAGE = 4


def field(control):
    code, lines = qftool("control-text", OPTIONS, control)
    return lines[0] if code == 0 and lines else ""


def test_the_dialogs_page_makes_an_entry_from_a_picked_window_and_removes_it(agent, programs):
    a, = favourites(agent, "fav a")
    agent.start()
    dialog = Target(programs, agent.data_dir, "qf-dialog", at=(620, 80)).ready()
    open_options(page=DIALOGS_PAGE)
    assert qftool("dialog-click", OPTIONS, PICK)[0] == 0
    wait_for(lambda: field(PICK) == "Click a window...", 10, what="the pick waiting for a click")
    # The click on the box names the window and the box; the dialog itself never sees it.
    x, y, *_ = map(int, qftool("control-at", TITLE, 1001)[1][0].split())
    xdotool("mousemove", x, y, "click", "1")
    wait_for(lambda: field(CLASS) == "QfTestDialog", 10, what="the entry filled from the pick")
    assert (field(PROGRAM), field(TITLE_BOX), field(BOX)) == ("target_windows.exe", TITLE, r"QfPane\QfInner\Edit")
    assert field(PICK) == "Pick a Window..."
    assert name_box(TITLE) == "secret-name.txt"
    # An address key pressed into the entry's key box (kept for the method "address").
    click(OPTIONS, KEY)
    press_keys("ctrl+d")
    press(OPTIONS, OK)
    stored = wine("reg", "query", DIALOGS_KEY + r"\Dialog 1").stdout
    assert "QfTestDialog" in stored and r"QfPane\QfInner\Edit" in stored and "edit" in stored, stored
    assert re.search(r"Key\s+REG_DWORD\s+0x20044", stored), stored  # Ctrl+D

    open_menu(dialog.point)
    pick(*FIRST, VK_RETURN)
    dialog.shows(a)

    # Removed on the page, the entry is gone from the key and the click goes through again.
    open_options(page=DIALOGS_PAGE)
    assert field(CLASS) == "QfTestDialog", "the stored entry is shown, selected"
    assert qftool("dialog-click", OPTIONS, REMOVE)[0] == 0
    dialog_up("Confirm")
    press("Confirm", 6)
    press(OPTIONS, OK)
    assert wine("reg", "query", DIALOGS_KEY + r"\Dialog 1").returncode != 0
    xdotool("mousemove", *dialog.point, "click", "2")
    time.sleep(2)
    assert not visible_menus(), "a menu over a dialog whose entry was removed on the page"
