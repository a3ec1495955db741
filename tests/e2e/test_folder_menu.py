"""The folder menu as the store changes under it: an empty store and the "Update" value that makes
the next display reload the favourites once (in a real Save As dialog), and the current folder of
an Explorer frame added, removed and opened in a new window."""
from conftest import (FILTER_KEY, PATH_KEY, SETTINGS_KEY, fresh_store, options_dialog_opened_and_closed, qftool, reg_set,
                      wait_for, windows_path)
from test_favourites import VK_DOWN, VK_RETURN, pick, reg_values
from test_navigation import open_menu_in, save_as_dialog
from test_target_windows import open_menu, start



def height(menus):
    _, _, top, _, bottom = menus[0]
    return bottom - top


def test_update_value_reloads_the_store_once_at_the_next_display(agent, programs):
    fresh_store()
    agent.start()
    dialog = save_as_dialog(programs, agent.data_dir)

    # No favourites: the menu begins with the separator, so the first item a key reaches is the
    # first command; and without filters the dialog gets no "Filter".
    empty = height(open_menu_in(dialog))
    pick(VK_DOWN, VK_RETURN)
    options_dialog_opened_and_closed()

    later = agent.data_dir / "later"
    later.mkdir()
    reg_set(PATH_KEY, windows_path(later), "Later$0")
    reg_set(FILTER_KEY, "*.txt", "Text")
    reg_set(SETTINGS_KEY, "Update", 1, "REG_DWORD")
    menus = open_menu_in(dialog)
    assert "Update" not in reg_values(SETTINGS_KEY)
    # A favourite and "Filter" more.
    assert height(menus) > empty + 20
    pick(VK_DOWN, VK_RETURN)
    agent.wait_log("FavoriteClick Parameters: Path=" + windows_path(later) + ",")

    # Without the value the lists stay as they were: a favourite stored now is not offered yet.
    earlier = agent.data_dir / "earlier"
    earlier.mkdir()
    reg_set(PATH_KEY, windows_path(earlier), "Earlier$0")
    assert height(open_menu_in(dialog)) == height(menus)
    pick(VK_DOWN, VK_RETURN)
    wait_for(lambda: len([l for l in agent.log_lines() if "FavoriteClick" in l]) == 2, 15,
             what="the second pick")
    assert not [l for l in agent.log_lines() if "Path=" + windows_path(earlier) + "," in l]


def test_current_folder_of_an_explorer_frame_is_added_removed_and_opened(agent, programs):
    fresh_store()
    current = agent.data_dir / "current"
    current.mkdir()
    frame, = start(agent, programs, ("explorer", (20, 20), "--folder", windows_path(current)))
    # Not a favourite yet: "Add Current Folder" is the first command under the empty section.
    open_menu(frame.point)
    pick(VK_DOWN, VK_RETURN)
    added = wait_for(lambda: reg_values(PATH_KEY), 15, what="the folder added")
    # The caption is the path, shortened to fit a menu.
    assert list(added) == [windows_path(current)] and added[windows_path(current)].endswith("\\current$0")
    # Now the menu holds it, and "Remove Current Folder" follows it in place of "Add".
    open_menu(frame.point)
    pick(VK_DOWN, VK_DOWN, VK_RETURN)
    wait_for(lambda: reg_values(PATH_KEY) == {}, 15, what="the folder removed")

    # As a submenu's entry the folder is stored with "$2", and that value goes.
    reg_set(PATH_KEY, "Submenu Work", "Work$4")
    reg_set(PATH_KEY, windows_path(current) + "$2", "Current$0")
    reg_set(SETTINGS_KEY, "Update", 1, "REG_DWORD")
    open_menu(frame.point)
    pick(VK_DOWN, VK_DOWN, VK_RETURN)
    wait_for(lambda: reg_values(PATH_KEY) == {"Submenu Work": "Work$4"}, 15, what="the entry removed")

    # "Open Folder in New Window" follows "Add Current Folder".
    open_menu(frame.point)
    pick(VK_DOWN, VK_DOWN, VK_RETURN)
    wait_for(lambda: qftool("windows", "ExplorerWClass", "current")[0] == 0, 20,
             what="a shell window showing the folder")


def test_a_pick_runs_with_the_targets_input_let_go_and_opens_the_agents_own_dialog(agent, programs):
    fresh_store(AlwaysAddDialog=1)
    current = agent.data_dir / "current"
    current.mkdir()
    mark = agent.data_dir / "picked"
    frame, = start(agent, programs,
                   ("explorer", (20, 20), "--folder", windows_path(current), "--watch-input", windows_path(mark)))
    # "Add Current Folder" takes the folder the menu was shown for: nothing is asked of the frame
    # after the menu.
    open_menu(frame.point)
    pick(VK_DOWN, VK_RETURN)

    # The caption dialog is an ordinary window of the agent: in front, with the name box focused,
    # and the frame's thread does not share that focus.
    wait_for(lambda: qftool("windows", "#32770", "Add new item")[0] == 0, 15, what="the add-item dialog")
    assert wait_for(lambda: qftool("focus", "Add new item")[1], 10, what="the dialog's focus") == ["1 Edit 3002"]
    assert qftool("focus", "current")[1] != ["0 Edit 3002"]
    # While the pick runs, the menu's attachment is undone: the frame, asked now, has its own input.
    mark.touch()
    assert qftool("control-text", "current", 1001)[0] == 0
    assert wait_for(lambda: frame.lines("input"), 15, what="the frame's answer") == ["own"]
    assert qftool("dialog-text", "Add new item", "Edit", "Work in progress")[0] == 0
    assert qftool("dialog-click", "Add new item", 1)[0] == 0
    wait_for(lambda: reg_values(PATH_KEY) == {windows_path(current): "Work in progress$0"}, 15,
             what="the folder stored under the typed caption")
