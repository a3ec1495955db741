"""The folder menu in a real Save As dialog as the store changes under it: an empty store, and the
"Update" value that makes the next display reload the favourites once."""
from conftest import FILTER_KEY, PATH_KEY, SETTINGS_KEY, fresh_store, reg_set, wait_for, windows_path
from test_favourites import VK_DOWN, VK_RETURN, pick, reg_values
from test_navigation import open_menu_in, save_as_dialog

OPTIONS_COMMAND = "not available yet, Id=1106"  # the folder menu's "Options..."


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
    agent.wait_log(OPTIONS_COMMAND)

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
