"""The folder menu's "Open Folders": the folders open in Explorer windows, nearest first, read when
the submenu opens. A pick takes a real Save As dialog there as a favourite does; an Explorer
window that hangs is left out without holding up the submenu, which says so when nothing could
be read; with no Explorer window open the submenu is not there.

The Explorer windows are target_windows' stand-ins with Explorer's real class tree (one with the
classic address box, one with the breadcrumb bar): Wine's own file manager shows only a folder's
name, in its title and its address box alike, and its shell window list is not implemented."""
import time

from conftest import fresh_store, open_save_as, qftool, screenshot, visible_menus, wait_for, windows_path
from test_favourites import VK_DOWN, VK_RETURN, VK_RIGHT, pick
from test_instance import VK_ESCAPE
from test_navigation import DIALOG, NAME_BOX, name_box, open_menu_in
from test_recent import list_count, submenu
from test_target_windows import Target


def menu_height(dialog):
    _, _, top, _, bottom = open_menu_in(dialog)[0]
    pick(VK_ESCAPE)
    return bottom - top


def menus_logged(agent):
    """The run log's lines, one list per display of the folder menu (each from its "begin")."""
    menus = []
    for line in agent.log_lines():
        if "ShowPath Parameters: begin," in line:
            menus.append([])
        elif menus:
            menus[-1].append(line)
    return menus


def read_in(menu):
    """The "open folders: N" counts a display of the menu logged."""
    return [line.split("open folders: ", 1)[1] for line in menu if "ShowPath Parameters: open folders: " in line]


def reads_of_menus(agent, count):
    """What each of the first `count` displays of the menu read, once the log holds the last read."""
    def logged():
        menus = menus_logged(agent)[:count]
        return len(menus) == count and read_in(menus[-1]) and [read_in(menu) for menu in menus]
    return wait_for(logged, 15, what=f"the log of {count} menus")


def test_open_explorer_folders_are_read_when_the_submenu_opens_and_drive_the_dialog(agent, programs):
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
    # The windows were read only where the submenu opened: the first menu showed without them.
    assert reads_of_menus(agent, 3) == [[], ["2"], ["2"]]

    # An Explorer window (the stand-in, whose address box hangs its program for two minutes at
    # the first message) costs the submenu no more than one timed read, and is not listed.
    hung = Target(programs, agent.data_dir, "explorer", "--folder", windows_path(stuck), "--hang", at=(20, 600)).ready()
    hung_program = programs[-1]
    open_menu_in(dialog)
    started = time.monotonic()
    submenu(VK_DOWN, VK_RIGHT)
    assert time.monotonic() - started < 5, "the submenu waited for the hung window"
    pick(VK_ESCAPE, VK_ESCAPE)
    assert hung.lines("hung") == [""], "the submenu's one read reached the stand-in"
    assert reads_of_menus(agent, 4)[-1] == ["2"], "the two answering windows listed"

    # Only the hung window left: "Open Folders" still shows, and its submenu says in one
    # disabled item that nothing could be read: Enter on it picks nothing.
    for title in ("near", "far"):
        assert qftool("close", "CabinetWClass", title)[0] == 0
    wait_for(lambda: qftool("windows", "CabinetWClass", "far")[0] != 0, 15, what="the Explorer windows to close")
    assert menu_height(dialog) == with_folders
    open_menu_in(dialog)
    submenu(VK_DOWN, VK_RIGHT)
    assert qftool("menu-keys", VK_RETURN)[0] == 0
    # Wine ends the menu on Enter there; Windows may keep it open.
    time.sleep(1)
    if visible_menus():
        pick(VK_ESCAPE, VK_ESCAPE)
    assert reads_of_menus(agent, 6)[-1] == ["0"], "nothing read from the hung window"

    # No Explorer window left at all: the submenu is gone and the menu is shorter.
    hung_program.kill()
    hung_program.wait(timeout=30)
    wait_for(lambda: qftool("windows", "CabinetWClass")[0] != 0, 15, what="the hung window to go")
    assert menu_height(dialog) < with_folders
    # By the time the log holds that last menu it holds anything the disabled item had picked.
    wait_for(lambda: len(menus_logged(agent)) == 7, 15, what="the log of the last menu")
    assert sum("OpenFoldersClick" in line for line in agent.log_lines()) == 2
    assert sum("SetData Parameters: begin" in line for line in agent.log_lines()) == 2
