"""The tray menu (message 1147, as the shell extension sends it) and its "Exit"."""
from conftest import qftool, screenshot, visible_menus, wait_for, xdotool

TRAY_ITEMS = 12  # ten commands and two separators
TRAY_WINDOW = "Wine System Tray"  # Wine's own notification area when no desktop provides one


def tray_icon():
    """The screen point of the agent's icon: the only icon in Wine's notification area."""
    wait_for(lambda: xdotool("search", "--onlyvisible", "--name", TRAY_WINDOW).stdout.split(),
             15, interval=0.2, what="the notification area")
    code, lines = qftool("client", TRAY_WINDOW)
    assert code == 0
    left, top, _, _ = (int(v) for v in lines[0].split())
    return left + 10, top + 10


def close_menus():
    xdotool("mousemove", 1200, 1000, "click", "1")
    wait_for(lambda: not visible_menus(), 10, what="the menu to close")


def test_tray_menu_exit_ends_the_agent_and_flushes_the_logs(agent):
    proc = agent.start()
    xdotool("mousemove", 600, 400)
    assert qftool("post-thread", 1147)[0] == 0
    menus = wait_for(visible_menus, 10, what="the tray menu")
    screenshot("tray-menu")
    _, left, top, right, bottom = menus[0]
    assert (left, top) == (600, 400), "the menu opens at the mouse"
    assert bottom - top > TRAY_ITEMS * 10
    # "Exit" is the last item.
    xdotool("mousemove", left + 30, bottom - 12, "click", "1")
    assert proc.wait(timeout=30) == 0
    assert agent.info()[0] == 0, "the main window is gone"
    code, lines = qftool("heartbeat")
    assert lines[0].split()[2] == "0", "the hook is removed"
    # Lines written just before the end reach the file without waiting for the log thread.
    log = agent.log_lines()
    assert [l for l in log if "QuillFolder.FormCreate Parameters: begin" in l]
    assert [l for l in log if "QuillFolder.Exit1Click" in l]
    wait_for(lambda: not xdotool("search", "--onlyvisible", "--name", TRAY_WINDOW).stdout.split(), 10,
             what="the tray icon to go")


def test_tray_icon_right_click_shows_the_tray_menu_and_left_click_the_folder_menu(agent):
    agent.start()
    x, y = tray_icon()
    xdotool("mousemove", x, y, "click", "3")
    menus = wait_for(visible_menus, 10, what="the tray menu")
    tray_height = menus[0][4] - menus[0][2]
    assert tray_height > TRAY_ITEMS * 10
    close_menus()
    xdotool("mousemove", x, y, "click", "1")
    menus = wait_for(visible_menus, 10, what="the folder menu")
    screenshot("tray-click-folder-menu")
    assert menus[0][4] - menus[0][2] < tray_height, "a left click shows the folder menu, not the tray menu"
    close_menus()
    agent.wait_log("ShowPath Parameters: begin, type=1")


def test_tray_menu_posted_to_the_window_closes_on_a_click_elsewhere(agent):
    agent.start()
    xdotool("mousemove", 300, 300)
    assert qftool("post-window", 1147)[0] == 0
    wait_for(visible_menus, 10, what="the tray menu")
    close_menus()
    assert agent.info()[0] == 1, "closing the menu without a pick leaves the agent running"
