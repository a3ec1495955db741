"""The folder menu's "Open Folders": the folders open in Explorer windows, nearest first. A pick
takes a real Save As dialog there as a favourite does; an Explorer window that hangs is left out
without holding up the menu; with no Explorer window open the submenu is not there.

The Explorer windows are target_windows' stand-ins with Explorer's real class tree (one with the
classic address box, one with the breadcrumb bar): Wine's own file manager shows only a folder's
name, in its title and its address box alike, and its shell window list is not implemented."""
import time

from conftest import fresh_store, open_save_as, qftool, screenshot, wait_for, windows_path
from test_favourites import VK_DOWN, VK_RETURN, VK_RIGHT, pick
from test_instance import VK_ESCAPE
from test_navigation import DIALOG, NAME_BOX, name_box, open_menu_in
from test_recent import list_count, submenu
from test_target_windows import Target


def menu_height(dialog):
    _, _, top, _, bottom = open_menu_in(dialog)[0]
    pick(VK_ESCAPE)
    return bottom - top


def test_open_explorer_folders_drive_the_dialog_and_a_hung_window_is_left_out(agent, programs):
    fresh_store()
    near, far, stuck = (agent.data_dir / name for name in ("near", "far", "stuck"))
    for folder, files in ((near, 1), (far, 2), (stuck, 0)):
        folder.mkdir()
        for n in range(files):
            (folder / f"{n}.txt").write_text("x")
    agent.start()
    # The Explorer windows first, so that the dialog comes up above them; the later is the nearer.
    Target(programs, agent.data_dir, "breadcrumb", "--folder", windows_path(far), at=(660, 420)).ready()
    Target(programs, agent.data_dir, "explorer", "--folder", windows_path(near), at=(660, 20)).ready()
    dialog = open_save_as(programs, agent.data_dir)[1]
    assert qftool("control-set", DIALOG, NAME_BOX, "report.txt")[0] == 0
    with_folders = menu_height(dialog)
    agent.wait_log("ShowPath Parameters: open folders: 2")

    # "Open Folders" is the first entry under the (empty) favourites; its first item is the
    # nearest window's folder, its second the other one.
    for keys, folder, files in (((VK_RETURN,), near, "1"), ((VK_DOWN, VK_RETURN), far, "2")):
        open_menu_in(dialog)
        submenu(VK_DOWN, VK_RIGHT)
        if folder == near:
            screenshot("open-folders-menu")
        pick(*keys)
        wait_for(lambda: list_count(DIALOG) == files, 15, what=f"the files of {folder.name}")
        wait_for(lambda: name_box() == "report.txt", 15, what="the typed name to come back")
        agent.wait_log("OpenFoldersClick Parameters: Path=" + windows_path(folder))

    # An Explorer window (the stand-in, whose address box hangs its program for two minutes at
    # the first message) costs the menu no more than one timed read, and is not listed.
    def listed_two():
        return sum("open folders: 2" in line for line in agent.log_lines())

    before = wait_for(listed_two, 15, what="the log of the earlier menus")
    hung = Target(programs, agent.data_dir, "explorer", "--folder", windows_path(stuck), "--hang", at=(20, 600)).ready()
    started = time.monotonic()
    open_menu_in(dialog)
    assert time.monotonic() - started < 5, "the menu waited for the hung window"
    pick(VK_ESCAPE)
    assert hung.lines("hung") == [""], "the menu's one read reached the stand-in"
    wait_for(lambda: listed_two() == before + 1, 15, what="the two answering windows listed")

    # No Explorer window left that answers: the submenu is gone and the menu is shorter.
    for title in ("near", "far"):
        assert qftool("close", "CabinetWClass", title)[0] == 0
    wait_for(lambda: qftool("windows", "CabinetWClass", "far")[0] != 0, 15, what="the Explorer windows to close")
    assert menu_height(dialog) < with_folders
    agent.wait_log("ShowPath Parameters: open folders: 0")
