"""Explorer Jump: notepad's real Open dialog goes to the folder of the Explorer window used last, on
Ctrl+G or by itself, keeping the typed name; the key is held only while such a dialog is in front.

The Explorer windows are target_windows' stand-ins with Explorer's class tree (Wine's own file
manager shows only a folder's name). Wine's out-of-context foreground event does not reach the
agent here, so these scenarios also show that the agent sees the foreground change without it."""
import time

from conftest import SETTINGS_KEY, fresh_store, open_save_as, qftool, reg_set, wait_for, windows_path, xdotool
from conftest import focus, wine
from test_favourites import VK_RETURN, pick
from test_navigation import NAME_BOX, open_menu_in
from test_recent import list_count
from test_target_windows import Target

DIALOG = "Open"
MOD_CONTROL, VK_G, VK_UP = 2, 0x47, 0x26
JUMP = "ExplorerJump Parameters: "
# Notepad's main window, and a point of its text (it opens at the screen's top left).
NOTEPAD, NOTEPAD_TEXT = "Untitled - Notepad", (300, 300)


def folders(agent, *counts):
    """Folders under the data folder holding 1, 2, ... files, so the dialog's list tells them apart."""
    made = []
    for name, files in zip(("one", "two", "three"), counts):
        folder = agent.data_dir / "qs" / name
        folder.mkdir(parents=True)
        for n in range(files):
            (folder / f"{n}.txt").write_text("x")
        made.append(folder)
    return made


def x_window(title):
    """The X window of the Wine window titled exactly so."""
    return wait_for(lambda: xdotool("search", "--name", f"^{title}$").stdout.split(), 15, what=title)[0]


def use(title, blank=None, settle=True):
    """The user turns to a window by a click on a `blank` point of it (Wine does not always take
    the X focus alone for activation), or to a window with no such point by the keyboard focus;
    with `settle`, until the window is in front. (A dialog that jumps by itself is not waited for:
    under Wine the foreground is nobody's once the agent has let go of the dialog's input, which
    Windows does not do.)"""
    if blank:
        xdotool("mousemove", *blank, "click", "1")
    else:
        focus(x_window(title))

    def in_front():
        code, lines = qftool("focus", title)
        return code == 0 and lines and lines[0].split()[0] == "1"
    if settle:
        wait_for(in_front, 10, what=f"{title} in front")
        # The user works there a moment: where the foreground's event does not come (Wine), the
        # agent looks at the foreground every 200 ms.
        time.sleep(0.5)


def blank_of(dialog):
    """A point of the dialog with no control, right of the "Encoding" box on its last row."""
    left, _, right, bottom = dialog
    return left + (right - left) * 4 // 5, bottom - 18


def name_box():
    code, lines = qftool("control-text", DIALOG, NAME_BOX)
    return lines[0] if code == 0 and lines else ""


def jumps(agent, how, dialog=None):
    """The log's jumps of that way, to one dialog (its handle) or to any."""
    to = f" to dialog {dialog:06X} " if dialog else ""
    return [line for line in agent.log_lines() if JUMP + how in line and to in line]


def left(agent):
    """How many times the log says an Explorer window lost the foreground."""
    return sum(JUMP + "Explorer " in line and " left in " in line for line in agent.log_lines())


def right_part(target):
    """A point of an Explorer stand-in that notepad's window (at the screen's left) leaves uncovered."""
    x, y = target.point
    return x + 250, y


def logged_past(agent, explorer, what, dialog_at=None):
    """`explorer`: the title and the Target of an Explorer window to turn to."""
    """Waits until the log holds one more "left" line than before `what` ran: whatever the agent
    did at `what` is in the log by then (the log is written in batches)."""
    before = left(agent)
    what()
    use(explorer[0], right_part(explorer[1]))
    if dialog_at:
        use(DIALOG, blank_of(dialog_at), settle=False)
    else:
        use(NOTEPAD, NOTEPAD_TEXT)
    wait_for(lambda: left(agent) > before, 15, what="the log to pass that moment")


def test_the_jump_key_takes_the_dialog_to_the_explorer_window_used_last(agent, programs):
    fresh_store()
    one, two = folders(agent, 1, 2)
    agent.start()
    first = "one", Target(programs, agent.data_dir, "explorer", "--folder", windows_path(one), at=(660, 20)).ready()
    use("one", right_part(first[1]))
    # Only while a file dialog is in front is the key the agent's.
    assert qftool("hotkey-free", MOD_CONTROL, VK_G)[0] == 0, "the key held with no dialog in front"
    dialog = open_save_as(programs, agent.data_dir, keys="ctrl+o", title=DIALOG)[1]
    agent.wait_log(JUMP + "Explorer ")
    assert any("left in " + windows_path(one) in line for line in agent.log_lines())
    wait_for(lambda: qftool("hotkey-free", MOD_CONTROL, VK_G)[0] != 0, 10, what="the key to be held for the dialog")
    assert qftool("control-set", DIALOG, NAME_BOX, "report.txt")[0] == 0

    xdotool("key", "ctrl+g")
    wait_for(lambda: list_count(DIALOG) == "1", 15, what="the dialog to show one")
    wait_for(lambda: name_box() == "report.txt", 15, what="the typed name to come back")
    line, = wait_for(lambda: jumps(agent, "by key"), 15, what="the jump's log line")
    assert "in " + windows_path(one) + " to dialog " in line and line.endswith("of notepad.exe"), line

    # A second Explorer window, used last, wins.
    second = "two", Target(programs, agent.data_dir, "explorer", "--folder", windows_path(two), at=(660, 420)).ready()
    use("two", right_part(second[1]))
    wait_for(lambda: qftool("hotkey-free", MOD_CONTROL, VK_G)[0] == 0, 10, what="the key to be let go")
    use(DIALOG, blank_of(dialog))
    wait_for(lambda: qftool("hotkey-free", MOD_CONTROL, VK_G)[0] != 0, 10, what="the key to be held again")
    xdotool("key", "ctrl+g")
    wait_for(lambda: list_count(DIALOG) == "2", 15, what="the dialog to show two")
    wait_for(lambda: name_box() == "report.txt", 15, what="the typed name to come back")
    wait_for(lambda: len(jumps(agent, "by key")) == 2, 15, what="the second jump's log line")

    # The dialog gone, notepad's own window has Ctrl+G: the agent lets go of it.
    assert qftool("dialog-click", DIALOG, 2)[0] == 0
    wait_for(lambda: qftool("windows", "#32770", DIALOG)[0] != 0, 10, what="the dialog to close")
    use(NOTEPAD, NOTEPAD_TEXT)
    wait_for(lambda: qftool("hotkey-free", MOD_CONTROL, VK_G)[0] == 0, 10, what="the key to be let go")
    xdotool("key", "ctrl+g")
    wait_for(lambda: qftool("windows", "#32770", "Go To Line")[0] == 0, 10, what="notepad's Go To Line")
    assert qftool("dialog-click", "Go To Line", 2)[0] == 0
    wait_for(lambda: qftool("windows", "#32770", "Go To Line")[0] != 0, 10, what="Go To Line to close")
    logged_past(agent, first, lambda: None)
    assert len(jumps(agent, "by key")) == 2
    assert not jumps(agent, "by itself"), "AutoJump is off by default"


def excluded(program):
    return wine("reg", "query", SETTINGS_KEY + r"\JumpExcluded", "/v", program).returncode == 0


def switch_in_menu(dialog):
    """The folder menu over the dialog, and its "Explorer Jump in notepad.exe" picked: from the
    bottom, above "Check for Updates..."."""
    open_menu_in(dialog)
    pick(VK_UP, VK_UP, VK_RETURN)


def test_by_itself_the_dialog_follows_once_and_never_in_an_excluded_program(agent, programs):
    fresh_store(AutoJump=1)
    # A value that names no program is passed over with a line in the log.
    reg_set(SETTINGS_KEY + r"\JumpExcluded", r"C:\x\notepad.exe", 1, "REG_DWORD")
    one, = folders(agent, 1)
    agent.start()
    first = "one", Target(programs, agent.data_dir, "explorer", "--folder", windows_path(one), at=(660, 20)).ready()
    dialog = open_save_as(programs, agent.data_dir, keys="ctrl+o", title=DIALOG)[1]
    assert qftool("control-set", DIALOG, NAME_BOX, "report.txt")[0] == 0
    assert list_count(DIALOG) != "1"

    # From the Explorer window back to the dialog: it follows by itself, once.
    use("one", right_part(first[1]))
    use(DIALOG, blank_of(dialog), settle=False)
    wait_for(lambda: list_count(DIALOG) == "1", 15, what="the dialog to show one")
    wait_for(lambda: name_box() == "report.txt", 15, what="the typed name to come back")
    line, = wait_for(lambda: jumps(agent, "by itself"), 15, what="the jump's log line")
    assert "in " + windows_path(one) + " to dialog " in line, line
    logged_past(agent, first, lambda: None, dialog)
    assert len(jumps(agent, "by itself")) == 1, "the same dialog and folder twice"
    assert not jumps(agent, "by key")
    assert any("no program name, passed over" in line for line in agent.log_lines())

    # The folder menu over the dialog excludes notepad: a dialog that comes up stays where it is.
    switch_in_menu(dialog)
    agent.wait_log(JUMP + "excluded: notepad.exe")
    assert excluded("notepad.exe")
    assert qftool("dialog-click", DIALOG, 2)[0] == 0
    wait_for(lambda: qftool("windows", "#32770", DIALOG)[0] != 0, 10, what="the dialog to close")
    handle, dialog = open_save_as(programs, agent.data_dir, keys="ctrl+o", title=DIALOG)
    logged_past(agent, first, lambda: None, dialog)
    assert not jumps(agent, "by itself", handle)
    assert list_count(DIALOG) != "1"

    # And the same item takes notepad off the list again.
    switch_in_menu(dialog)
    agent.wait_log(JUMP + "works again in notepad.exe")
    assert not excluded("notepad.exe")
