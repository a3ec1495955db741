"""Explorer as Windows 11 shows it, without the classic address bar: the agent reads the folder of
the tab in front and drives it through the shell's window list. Wine's shell keeps no such list,
so these scenarios register a stand-in of it in place of Wine's own (shell_windows_stand_in.dll, an
in-process server of CLSID_ShellWindows that lists target_windows' tabbed frames) and put Wine's
back afterwards; with it hung, the menu still comes within its bound and the frame's own recipe is
used. (Wine's classes root is the machine's alone: a registration for the user would not be
seen.)"""
import time

import pytest

from conftest import BIN, PATH_KEY, fresh_store, qftool, reg_set, visible_menus, wait_for, windows_path, wine, xdotool
from test_favourites import VK_DOWN, VK_RETURN, VK_RIGHT, pick, reg_values
from test_instance import VK_ESCAPE
from test_recent import submenu
from test_target_windows import favourites, open_menu, start

SERVER_KEY = r"HKLM\Software\Classes\CLSID\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}\InprocServer32"
WINES_OWN = (r"C:\windows\system32\ieframe.dll", "Apartment")
STAND_IN = BIN / "shell_windows_stand_in.dll"
HANG = STAND_IN.with_name(STAND_IN.name + ".hang")
ASKED = STAND_IN.with_name(STAND_IN.name + ".asked")


def register(server, threading):
    assert wine("reg", "add", SERVER_KEY, "/ve", "/d", server, "/f").returncode == 0
    reg_set(SERVER_KEY, "ThreadingModel", threading)


@pytest.fixture
def shell_list():
    """The stand-in list, registered in place of Wine's own for the scenario."""
    assert STAND_IN.exists(), STAND_IN
    HANG.unlink(missing_ok=True)
    ASKED.unlink(missing_ok=True)
    register(windows_path(STAND_IN), "Both")
    try:
        yield
    finally:
        HANG.unlink(missing_ok=True)
        ASKED.unlink(missing_ok=True)
        register(*WINES_OWN)


def folder_read(agent, folder):
    agent.wait_log("GetPath Parameters: Explorer's folder from the shell's window list: " + windows_path(folder))


def other_styled_frame(agent, programs):
    """The agent with one favourite, and a Windows 11 frame whose styles the frame check refuses."""
    fresh_store()
    a, = favourites(agent, "fav a")
    work = agent.data_dir / "work"
    work.mkdir()
    frame, = start(agent, programs, ("explorer11", (20, 20), "--folder", windows_path(work), "--other-style"))
    return a, frame


def test_a_frame_without_an_address_bar_is_read_and_driven_through_the_shells_list(agent, programs, shell_list):
    fresh_store()
    a, = favourites(agent, "fav a")
    work = agent.data_dir / "work"
    work.mkdir()
    frame, = start(agent, programs, ("explorer11", (20, 20), "--folder", windows_path(work)))

    # The menu offers "Add Current Folder" for the folder of the tab (below the one favourite).
    open_menu(frame.point)
    pick(VK_DOWN, VK_DOWN, VK_RETURN)
    folder_read(agent, work)
    wait_for(lambda: windows_path(work) in reg_values(PATH_KEY), 15, what="the tab's folder added")

    # A favourite takes the tab there, by the shell's own browser.
    open_menu(frame.point)
    pick(VK_DOWN, VK_RETURN)
    frame.shows(a)
    agent.wait_log("SetData Parameters: Explorer taken there by the shell's window list, Path=" + windows_path(a))

    # Now the tab shows a favourite: "Remove Current Folder", then "Open Folder in New Window",
    # which opens the tab's folder.
    open_menu(frame.point)
    pick(VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN)
    folder_read(agent, a)
    wait_for(lambda: qftool("windows", "ExplorerWClass", "fav a")[0] == 0, 20, what="a shell window on fav a")


def test_the_tab_in_front_of_a_two_tab_frame_is_the_one_read_and_driven(agent, programs, shell_list):
    fresh_store()
    a, = favourites(agent, "fav a")
    front, back = agent.data_dir / "front", agent.data_dir / "back"
    front.mkdir()
    back.mkdir()
    frame, = start(agent, programs,
                   ("explorer11", (20, 20), "--folder", windows_path(front), "--back-tab", windows_path(back)))
    open_menu(frame.point)
    pick(VK_DOWN, VK_RETURN)
    folder_read(agent, front)
    frame.shows(a)
    # The tab in front went there: the next menu reads the favourite, not the tab behind.
    open_menu(frame.point)
    pick(VK_ESCAPE)
    folder_read(agent, a)
    assert not [line for line in agent.log_lines() if windows_path(back) in line]


def test_a_hung_shell_list_costs_the_menu_its_bound_and_the_frames_recipe_is_used(agent, programs, shell_list):
    fresh_store()
    a, = favourites(agent, "fav a")
    work = agent.data_dir / "work"
    work.mkdir()
    HANG.touch()
    frame, = start(agent, programs, ("explorer11", (20, 20), "--folder", windows_path(work)))
    menus = open_menu(frame.point)
    assert menus
    agent.wait_log("OpenExplorerFolders Parameters: the shell's window list did not answer in time")
    # Without the list the frame has nothing to tell: the favourite opens in a new window.
    pick(VK_DOWN, VK_RETURN)
    agent.wait_log("NavigateShellTab Parameters: the shell's window list did not answer in time")
    wait_for(lambda: qftool("windows", "ExplorerWClass", "fav a")[0] == 0, 20, what="a shell window on fav a")
    assert frame.lines("navigated") == []


def test_a_list_that_answers_after_the_bound_leaves_the_tab_where_it_was(agent, programs, shell_list):
    fresh_store()
    a, = favourites(agent, "fav a")
    work = agent.data_dir / "work"
    work.mkdir()
    # Each call into the list takes a second: it answers, but long after the bound.
    HANG.write_text("1000")
    frame, = start(agent, programs, ("explorer11", (20, 20), "--folder", windows_path(work)))
    open_menu(frame.point)
    pick(VK_DOWN, VK_RETURN)
    agent.wait_log("NavigateShellTab Parameters: the shell's window list did not answer in time")
    wait_for(lambda: qftool("windows", "ExplorerWClass", "fav a")[0] == 0, 20, what="a shell window on fav a")
    # The favourite opened in a new window; the tab, found in the list seconds later, is not
    # taken there as well.
    time.sleep(6)
    assert frame.lines("navigated") == []


def test_a_frame_of_explorers_class_with_other_styles_is_explorer_when_the_list_names_it(agent, programs, shell_list):
    a, frame = other_styled_frame(agent, programs)
    # The hot key classifies the window in front by itself: by its styles alone it would be no
    # Explorer frame, and the menu would be the desktop's.
    xdotool("mousemove", *frame.point, "click", "1", "key", "super+z")
    wait_for(visible_menus, 10, what="the folder menu")
    agent.wait_log(f"ShowPath Parameters: an Explorer frame by the shell's window list, W={frame.handle:06X}")
    agent.wait_log(f"ShowPath Parameters: begin, type=2, W={frame.handle:06X}")
    pick(VK_DOWN, VK_RETURN)
    frame.shows(a)


def test_once_the_list_has_named_such_a_frame_a_middle_click_in_it_brings_the_menu(agent, programs, shell_list):
    a, frame = other_styled_frame(agent, programs)
    # By its styles the hook takes no click in this frame; once the agent has found the frame in
    # the shell's list (here through the hot key; on Windows also when the frame comes to the
    # foreground), the hook knows it from the record.
    xdotool("mousemove", *frame.point, "click", "2")
    xdotool("mousemove", *frame.point, "click", "1", "key", "super+z")
    wait_for(visible_menus, 10, what="the folder menu")
    pick(VK_ESCAPE)
    agent.wait_log(f"ShowPath Parameters: an Explorer frame by the shell's window list, W={frame.handle:06X}")
    assert len([line for line in agent.log_lines() if "ShowPath Parameters: begin" in line]) == 1
    open_menu(frame.point)
    wait_for(lambda: len([line for line in agent.log_lines() if f"begin, type=2, W={frame.handle:06X}" in line]) == 2,
             15, what="the middle click's menu")
    pick(VK_DOWN, VK_RETURN)
    frame.shows(a)


def test_one_read_of_the_list_serves_a_menu_and_its_open_folders_which_list_other_styled_frames(
        agent, programs, shell_list):
    fresh_store()
    favourites(agent, "fav a")
    odd, work = agent.data_dir / "odd", agent.data_dir / "work"
    odd.mkdir()
    work.mkdir()
    _, frame = start(agent, programs, ("explorer11", (20, 420), "--folder", windows_path(odd), "--other-style"),
                     ("explorer11", (20, 20), "--folder", windows_path(work)))
    ASKED.write_text("")
    # Over the frame: "Open Folders" is there (below the favourite) for the other frame, which
    # only the shell's list says is Explorer's, and lists that frame's folder.
    open_menu(frame.point)
    submenu(VK_DOWN, VK_DOWN, VK_RIGHT)
    pick(VK_RETURN)
    frame.shows(odd)
    agent.wait_log("OpenFoldersClick Parameters: Path=" + windows_path(odd))
    agent.wait_log("SetData Parameters: Explorer taken there by the shell's window list, Path=" + windows_path(odd))
    folder_read(agent, work)
    assert any("ShowPath Parameters: open folders: 1" in line for line in agent.log_lines())
    # The target's folder and the submenu came from one read of the list (the pick's navigation
    # asks it once more).
    assert ASKED.read_text().count("asked") == 2

