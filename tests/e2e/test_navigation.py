"""A pick in the folder menu drives the window it was shown for: a real Wine Save As dialog goes
to the chosen folder and keeps the name the user had typed; a filter reaches its file list."""
from conftest import open_save_as, qftool, screenshot, visible_menus, wait_for, windows_path, xdotool
from conftest import FILTER_KEY, PATH_KEY, fresh_store, reg_set
from test_favourites import VK_DOWN, VK_RETURN, VK_RIGHT, pick

NAME_BOX = 0x47C
DIALOG = "Save As"


def save_as_dialog(programs, cwd):
    return open_save_as(programs, cwd)[1]


def name_box():
    code, lines = qftool("control-text", DIALOG, NAME_BOX)
    return lines[0] if code == 0 and lines else ""


def open_menu_in(dialog):
    left, top, right, bottom = dialog
    xdotool("mousemove", left + (right - left) // 2, top + (bottom - top) // 3, "click", "2")
    return wait_for(visible_menus, 10, what="the folder menu")


def test_picked_favourite_takes_the_dialog_there_and_keeps_the_typed_name(agent, programs):
    fresh_store()
    target = agent.data_dir / "target folder"
    target.mkdir()
    reg_set(PATH_KEY, windows_path(target), "Target$0")
    agent.start()
    dialog = save_as_dialog(programs, agent.data_dir)
    assert qftool("control-set", DIALOG, NAME_BOX, "report.txt")[0] == 0
    open_menu_in(dialog)
    pick(VK_DOWN, VK_RETURN)
    wait_for(lambda: name_box() == "report.txt", 15, what="the typed name to come back")
    screenshot("dialog-after-pick")
    agent.wait_log("SetDataToDialog Parameters: Hwnd=")
    # Saving now writes the file into the chosen folder: the dialog really went there.
    assert qftool("dialog-click", DIALOG, 1)[0] == 0
    wait_for(lambda: (target / "report.txt").exists(), 15, what="the file saved in the chosen folder")


def test_picked_filter_reaches_the_dialogs_file_list(agent, programs):
    fresh_store()
    reg_set(FILTER_KEY, "*.log", "Logs")
    files = agent.data_dir / "files"
    files.mkdir()
    for name in ("a.log", "b.log", "c.txt"):
        (files / name).write_text("x")
    reg_set(PATH_KEY, windows_path(files), "Files$0")
    agent.start()
    dialog = save_as_dialog(programs, files)
    # First to the folder (the dialog may open wherever it was last), which lists the text file.
    open_menu_in(dialog)
    pick(VK_DOWN, VK_RETURN)
    wait_for(lambda: qftool("list-count", DIALOG)[1] == ["1"], 15, what="the list of text files")
    open_menu_in(dialog)
    # The favourite, then "Filter", whose first entry is the mask.
    assert qftool("menu-keys", VK_DOWN, VK_DOWN, VK_RIGHT)[0] == 0
    wait_for(lambda: len(visible_menus()) == 2, 10, what="the Filter submenu")
    pick(VK_RETURN)
    wait_for(lambda: qftool("list-count", DIALOG)[1] == ["2"], 15, what="the list of log files")
