"""The options dialog driven with real clicks and keys: lists edited on the "Folders" page change
the store and the next folder menu at once, "Cancel" keeps nothing, a save without changes leaves
the keys alone, F1 opens the page's help topic; preferences apply at once, "Apply" survives a
"Cancel", and the hot key, the count boxes and the tray rule behave as the page says."""
import re
import time

from conftest import (PATH_KEY, SETTINGS_KEY, focus, fresh_store, qftool, reg_set, screenshot, start_notepad,
                      visible_menus, wait_for, windows_path, wine, xdotool)
from test_favourites import VK_DOWN, VK_RETURN, VK_RIGHT, open_folder_menu, pick, reg_values
from test_settings import tray_visible

OPTIONS = "Options"
OK, CANCEL, YES = 1, 2, 6
TABS, APPLY = 3101, 3102
FOLDERS_LIST, ADD_FOLDER, ADD_SUBMENU, EDIT, REMOVE = 3111, 3112, 3113, 3114, 3115
PREF_TRAY, PREF_FILES_COUNT, PREF_HOTKEY_MODE, PREF_NATURAL_KEY, PREF_HOTKEY, PREF_MIDDLE = (
    3132, 3137, 3144, 3145, 3146, 3150)
EDITOR_TITLE, EDITOR_MENU = 3305, 3307
CUSTOMIZE, CONTEXT_MENU_ITEMS, CM_MAIN = 3135, "Context menu items", 3401
ABOUT_NAME = 3161
VK_ESCAPE = 0x1B
MOD_SHIFT, VK_F5 = 4, 0x74


def dialog_up(title, timeout=15):
    wait_for(lambda: qftool("windows", "#32770", title)[0] == 0, timeout, interval=0.2, what=f"the {title} dialog")


def dialog_gone(title):
    wait_for(lambda: qftool("windows", "#32770", title)[0] != 0, 15, interval=0.2, what=f"the {title} dialog to close")


def press(title, button):
    """Presses a button of a dialog; OK and Cancel close it."""
    assert qftool("dialog-click", title, button)[0] == 0
    if button in (OK, CANCEL):
        dialog_gone(title)


def click(title, control, dx=0, dy=0):
    """A real click on a control, which also gives its window the keyboard."""
    code, lines = qftool("control-at", title, control)
    assert code == 0, f"control {control} of {title}"
    x, y, *_ = map(int, lines[0].split())
    xdotool("mousemove", x + dx, y + dy, "click", "1")
    time.sleep(0.3)


def keys(*names):
    xdotool("key", *names)
    time.sleep(0.3)


def choose(title, combo, *moves):
    """Picks in a drop-down list with the arrow keys: in its open list when the click opened it,
    else in the closed box (where Return would press the dialog's default button)."""
    click(title, combo)
    opened = any(line.split()[1] == "1" for line in qftool("windows", "ComboLBox")[1])
    keys(*moves, *(["Return"] if opened else []))


def open_options(page=0):
    """The options dialog on a page, chosen with a click on its tab (which also gives the dialog
    the keyboard)."""
    xdotool("mousemove", 1200, 1000)
    assert qftool("post-thread", 1149)[0] == 0
    dialog_up(OPTIONS)
    code, lines = qftool("tab-at", OPTIONS, TABS, page)
    assert code == 0
    xdotool("mousemove", *lines[0].split(), "click", "1")
    time.sleep(0.3)


def select_row(row):
    """Selects a row of the favourites list: the first by a click, the others by arrow keys."""
    code, lines = qftool("control-at", OPTIONS, FOLDERS_LIST)
    _, _, left, top, _, _ = map(int, lines[0].split())
    xdotool("mousemove", left + 60, top + 30, "click", "1")
    time.sleep(0.3)
    keys("Home", *["Down"] * row)


def settings_value(name):
    done = wine("reg", "query", SETTINGS_KEY, "/v", name)
    return int(done.stdout.split()[-1], 16) if done.returncode == 0 else None


def test_lists_edited_in_the_options_dialog_change_the_store_and_the_menu_at_once(agent):
    fresh_store()
    agent.start()
    open_options()
    screenshot("options-folders")

    # A folder from the picker (it opens on the desktop folder), stored by "OK": the next folder
    # menu has it at once.
    click(OPTIONS, ADD_FOLDER)
    dialog_up("Browse for Folder")
    press("Browse for Folder", OK)
    dialog_up("New folder")
    screenshot("editor-new-folder")
    press("New folder", OK)
    press(OPTIONS, OK)
    (desktop, caption), = reg_values(PATH_KEY).items()
    assert desktop.lower().endswith("desktop") and caption == desktop + "$0"
    open_folder_menu()
    pick(VK_DOWN, VK_RETURN)
    agent.wait_log("FavoriteClick Parameters: Path=" + desktop + ",")

    # A submenu titled "Work", and the folder moved into it through the editor's "Top level menu".
    # (Wine lists a key's values sorted by name, so its menu would not show this submenu; the
    # store does.)
    open_options()
    click(OPTIONS, ADD_SUBMENU)
    dialog_up("New submenu")
    click("New submenu", EDITOR_TITLE)
    xdotool("type", "Work")
    press("New submenu", OK)
    select_row(0)
    click(OPTIONS, EDIT)
    dialog_up("Edit folder")
    choose("Edit folder", EDITOR_MENU, "Down")
    screenshot("editor-edit-folder")
    press("Edit folder", OK)
    # A submenu that still has entries cannot go.
    select_row(0)
    click(OPTIONS, REMOVE)
    dialog_up("Information")
    press("Information", OK)
    press(OPTIONS, OK)
    assert reg_values(PATH_KEY) == {"Submenu0": "Work$5", desktop + "$2": caption}

    # Changes cancelled are not stored.
    stored = reg_values(PATH_KEY)
    open_options()
    click(OPTIONS, ADD_SUBMENU)
    dialog_up("New submenu")
    click("New submenu", EDITOR_TITLE)
    xdotool("type", "Temp")
    press("New submenu", OK)
    press(OPTIONS, CANCEL)
    assert reg_values(PATH_KEY) == stored

    # A save without changes leaves the keys alone: a value of another kind in one survives.
    reg_set(PATH_KEY, "Marker", 7, "REG_DWORD")
    open_options()
    press(OPTIONS, OK)
    assert wine("reg", "query", PATH_KEY, "/v", "Marker").returncode == 0

    # F1 opens the page's topic in the help viewer.
    open_options(page=1)
    screenshot("options-filters")
    keys("F1")
    wait_for(lambda: qftool("windows", "HH Parent")[0] == 0, 15, what="the help viewer")
    agent.wait_log("HtmlHelp Parameters: Topic=addfilter.htm")
    qftool("close", "HH Parent")
    press(OPTIONS, CANCEL)

    # The About page names the product with its version.
    open_options(page=5)
    screenshot("options-about")
    name, = qftool("control-text", OPTIONS, ABOUT_NAME)[1]
    assert re.fullmatch(r"Quillrook Folder \d+(\.\d+)+", name), name
    press(OPTIONS, CANCEL)


def test_preferences_apply_at_once_and_a_cancel_keeps_what_was_applied(agent, programs):
    fresh_store()
    agent.start()
    assert wait_for(tray_visible, 10, what="the tray icon")

    # "Custom" Shift+F5, applied, then "Cancel": stored and registered all the same.
    open_options(page=2)
    screenshot("options-preferences")
    choose(OPTIONS, PREF_HOTKEY_MODE, "Down")
    click(OPTIONS, PREF_HOTKEY)
    keys("shift+F5")
    click(OPTIONS, APPLY)
    wait_for(lambda: (settings_value("Alt"), settings_value("Keys")) == (4, 116), 10, what="Shift+F5 stored")
    assert qftool("hotkey-free", MOD_SHIFT, VK_F5)[0] != 0, "the agent holds Shift+F5"
    press(OPTIONS, CANCEL)
    assert (settings_value("Alt"), settings_value("Keys")) == (4, 116)

    # "none", a count box left at 0 and both dialog triggers off.
    open_options(page=2)
    choose(OPTIONS, PREF_HOTKEY_MODE, "Up", "Up")
    click(OPTIONS, PREF_FILES_COUNT)
    keys("ctrl+a")
    xdotool("type", "0")
    click(OPTIONS, PREF_TRAY)  # leaves the count box, and unchecks the tray icon
    assert qftool("control-text", OPTIONS, PREF_FILES_COUNT)[1] == ["1"]
    click(OPTIONS, PREF_MIDDLE)
    # The hidden "Customize" button: the shell extension's items, all on at first; "OK" stores
    # them at once, "Cancel" nothing, and the boxes keep their state for the next showing.
    press(OPTIONS, CUSTOMIZE)
    dialog_up(CONTEXT_MENU_ITEMS)
    assert qftool("checked", CONTEXT_MENU_ITEMS, CM_MAIN)[0] == 0
    click(CONTEXT_MENU_ITEMS, CM_MAIN)
    press(CONTEXT_MENU_ITEMS, OK)
    assert [settings_value(v) for v in ("ShowMainMenu", "ShowAddDelMenu", "ShowNewMenu")] == [0, 1, 1]
    reg_set(SETTINGS_KEY, "ShowNewMenu", 0, "REG_DWORD")
    press(OPTIONS, CUSTOMIZE)
    dialog_up(CONTEXT_MENU_ITEMS)
    assert [qftool("checked", CONTEXT_MENU_ITEMS, box)[0] for box in (CM_MAIN, CM_MAIN + 1, CM_MAIN + 2)] == [1, 0, 1]
    click(CONTEXT_MENU_ITEMS, CM_MAIN)
    press(CONTEXT_MENU_ITEMS, CANCEL)
    assert settings_value("ShowMainMenu") == 0
    press(OPTIONS, OK)
    assert (settings_value("Alt"), settings_value("Keys")) == (0, 116), "none keeps Keys"
    assert qftool("hotkey-free", MOD_SHIFT, VK_F5)[0] == 0, "no hot key is registered"
    assert settings_value("FilesCount") == 1
    assert settings_value("MouseMButton") == 0 and settings_value("MouseWheel") == 0
    # No trigger left in dialogs: the stored ShowTray stays on, the icon follows its box.
    assert settings_value("ShowTray") == 1
    wait_for(lambda: not tray_visible(), 10, what="the tray icon to go")

    # "Natural Keyboard (Win + )" with Z: Windows+Z shows the folder menu.
    open_options(page=2)
    choose(OPTIONS, PREF_HOTKEY_MODE, "Down")
    click(OPTIONS, PREF_NATURAL_KEY)
    keys("z")
    assert qftool("control-text", OPTIONS, PREF_NATURAL_KEY)[1] == ["Z"]
    press(OPTIONS, OK)
    assert (settings_value("Alt"), settings_value("Keys")) == (8, 90)
    focus(start_notepad(programs))
    xdotool("mousemove", 500, 400)
    xdotool("key", "super+z")
    wait_for(visible_menus, 10, what="the folder menu from Windows+Z")
    pick(VK_ESCAPE)


def control_state(title, control):
    code, lines = qftool("control-state", title, control)
    assert code == 0, f"control {control} of {title}"
    return tuple(map(int, lines[0].split()))


def test_the_options_dialog_comes_up_in_front_on_the_page_asked_for_and_keeps_the_custom_key(agent, programs):
    fresh_store(Alt=MOD_SHIFT, Keys=VK_F5)
    agent.start()
    focus(start_notepad(programs))

    # Asked for by another program while notepad is in front: the dialog comes up in front.
    assert qftool("post-thread", 1149)[0] == 0
    dialog_up(OPTIONS)
    wait_for(lambda: (lambda code, lines: code == 0 and lines[0].startswith("1 "))(*qftool("focus", OPTIONS)), 10,
             what="the dialog in front")

    # Asked for again while it is up on another page: the page asked for shows.
    code, lines = qftool("tab-at", OPTIONS, TABS, 2)
    xdotool("mousemove", *lines[0].split(), "click", "1")
    wait_for(lambda: control_state(OPTIONS, PREF_HOTKEY_MODE)[0] == 1, 10, what="the Preferences page")
    assert qftool("post-thread", 1149)[0] == 0
    wait_for(lambda: control_state(OPTIONS, FOLDERS_LIST)[0] == 1, 10, what="the Folders page asked for")
    assert control_state(OPTIONS, PREF_HOTKEY_MODE)[0] == 0

    # The custom key Shift+F5 shows in its box; with "none" stored, a reopened dialog still offers
    # it when "Custom" is chosen again.
    open_options(page=2)
    choose(OPTIONS, PREF_HOTKEY_MODE, "Up", "Up")
    press(OPTIONS, OK)
    assert settings_value("Alt") == 0
    open_options(page=2)
    choose(OPTIONS, PREF_HOTKEY_MODE, "Down", "Down")
    assert control_state(OPTIONS, PREF_HOTKEY)[1:] == (VK_F5, 1), "Shift+F5, not the control's Ctrl+Q"
    press(OPTIONS, CANCEL)
