"""A middle click in a real Wine Save As dialog reaches the agent through the hook and opens the
folder menu at the mouse; clicks elsewhere pass through untouched."""
import time

from conftest import open_save_as, qftool, screenshot, visible_menus, wait_for, xdotool


def test_middle_click_in_save_as_dialog_shows_the_folder_menu(agent, programs):
    agent.start()
    dialog, (left, top, right, bottom) = open_save_as(programs)
    x, y = left + (right - left) // 2, top + (bottom - top) // 3
    xdotool("mousemove", x, y, "click", "2")
    menus = wait_for(visible_menus, 10, what="the folder menu")
    screenshot("dialog-folder-menu")
    _, mx, my, _, _ = menus[0]
    assert abs(mx - x) <= 2 and abs(my - y) <= 2, "the menu opens at the mouse"
    xdotool("mousemove", 1200, 1000, "click", "1")
    wait_for(lambda: not visible_menus(), 10, what="the menu to close")
    agent.wait_log("WM_QFMDIALOG recive: Hwnd=%06X, Type=4" % dialog)
    agent.wait_log("ShowPath Parameters: begin, type=4, W=%06X" % dialog)


def test_other_clicks_pass_through_and_nothing_triggers_while_the_menu_is_open(agent, programs):
    agent.start()
    dialog, (left, top, right, bottom) = open_save_as(programs)
    # A left click in the dialog is the dialog's: no menu.
    xdotool("mousemove", left + 200, top + 150, "click", "1")
    assert not wait_for_menu_briefly()
    # While the agent says its menu is up, the hook stays quiet.
    assert qftool("set-menu-open", 1)[0] == 0
    xdotool("mousemove", left + 200, top + 150, "click", "2")
    assert not wait_for_menu_briefly()
    assert qftool("set-menu-open", 0)[0] == 0
    time.sleep(6)  # one write period of the log thread
    assert not [l for l in agent.log_lines() if "WM_QFMDIALOG" in l]


def wait_for_menu_briefly():
    try:
        return wait_for(visible_menus, 2, what="a menu")
    except AssertionError:
        return []
