"""The folder menu on request, for the foreground window: the hot key (Windows+Z by default)
and the message 1148 that other components post."""
from conftest import focus, qftool, start_notepad, visible_menus, wait_for, xdotool


def focused_notepad(programs):
    window = start_notepad(programs)
    focus(window)
    code, lines = qftool("windows", "Notepad", "Untitled - Notepad")
    assert code == 0
    return int(lines[0].split()[0], 16)


def close_menus():
    xdotool("mousemove", 1200, 1000, "click", "1")
    wait_for(lambda: not visible_menus(), 10, what="the menu to close")


def test_hot_key_shows_the_folder_menu_for_the_focused_window(agent, programs):
    agent.start()
    notepad = focused_notepad(programs)
    xdotool("mousemove", 500, 400)
    xdotool("key", "super+z")
    menus = wait_for(visible_menus, 10, what="the folder menu")
    assert menus[0][1:3] == (500, 400)
    close_menus()
    agent.wait_log("ShowPath Parameters: begin, type=1, W=%06X" % notepad)


def test_message_1148_shows_the_folder_menu_for_the_foreground_window(agent, programs):
    agent.start()
    notepad = focused_notepad(programs)
    xdotool("mousemove", 450, 350)
    assert qftool("post-thread", 1148)[0] == 0
    wait_for(visible_menus, 10, what="the folder menu")
    close_menus()
    agent.wait_log("ShowPath Parameters: begin, type=1, W=%06X" % notepad)
