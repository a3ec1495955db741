"""Preferences read at start: the tray icon and the hot key follow the settings key."""
import time

from conftest import focus, fresh_store, qftool, start_notepad, visible_menus, wait_for, xdotool


TRAY_WINDOW = "Wine System Tray"


def tray_visible():
    return bool(xdotool("search", "--onlyvisible", "--name", TRAY_WINDOW).stdout.split())


def test_hidden_tray_icon_and_no_hot_key_when_the_settings_say_so(agent, programs):
    fresh_store(ShowTray=0, Alt=0)
    agent.start()
    time.sleep(2)
    assert not tray_visible(), "ShowTray 0 keeps the icon hidden"
    window = start_notepad(programs)
    focus(window)
    xdotool("mousemove", 500, 400)
    xdotool("key", "super+z")
    time.sleep(2)
    assert not visible_menus(), "Alt 0 registers no hot key"
    # The agent is still there for the messages other components send.
    assert qftool("post-thread", 1148)[0] == 0
    wait_for(visible_menus, 10, what="the folder menu")
    xdotool("mousemove", 1200, 1000, "click", "1")


def test_hot_key_from_the_settings(agent, programs):
    # Ctrl (2) + F12 (123) instead of Windows+Z.
    fresh_store(Alt=2, Keys=123)
    agent.start()
    assert wait_for(tray_visible, 10, what="the tray icon")
    window = start_notepad(programs)
    focus(window)
    xdotool("mousemove", 500, 400)
    xdotool("key", "super+z")
    time.sleep(1.5)
    assert not visible_menus(), "Windows+Z is not the hot key any more"
    xdotool("key", "ctrl+F12")
    wait_for(visible_menus, 10, what="the folder menu")
    xdotool("mousemove", 1200, 1000, "click", "1")
