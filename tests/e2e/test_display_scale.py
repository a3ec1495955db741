"""The agent at the display's scale: the same folder menu at 96 and at 144 DPI (the prefix's
LogPixels, read by each Wine process as it starts), with its items half as tall again and its
images taken from the 24 pixel strip, and the options dialog whose every label shows its whole
text at both. Pictures of each go to build/artifacts/."""
import time

import pytest

from conftest import PATH_KEY, qftool, reg_set, screenshot, visible_menus, wait_for, windows_path, wine, xdotool

DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
PERSONALIZE_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize"
FAVOURITES = 8


def set_dpi(dpi):
    assert wine("reg", "add", DESKTOP_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f").returncode == 0


@pytest.fixture
def scaled():
    """Puts the prefix back at 96 DPI and light apps afterwards, whatever the scenario left."""
    yield set_dpi
    set_dpi(96)
    wine("reg", "delete", PERSONALIZE_KEY, "/v", "AppsUseLightTheme", "/f")


def menu_at(agent, dpi, tmp_path):
    """Starts the agent at `dpi`, opens the folder menu over the desktop and measures it: the
    menu's height and the log's image size. Ends with the agent stopped."""
    agent.start()
    xdotool("mousemove", 300, 200)
    assert qftool("post-thread", 1148)[0] == 0
    menus = wait_for(visible_menus, 10, what="the folder menu")
    time.sleep(1.0)  # painted
    screenshot(f"display-scale-folder-menu-{dpi}dpi")
    _, left, top, right, bottom = menus[0]
    xdotool("key", "Escape")
    wait_for(lambda: not visible_menus(), 10, what="the menu to close")
    return right - left, bottom - top


def options_fit(dpi):
    """Opens the options dialog, photographs it and measures every label of every page."""
    xdotool("mousemove", 1200, 1000)
    assert qftool("post-thread", 1149)[0] == 0
    wait_for(lambda: qftool("windows", "#32770", "Options")[0] == 0, 15, what="the options dialog")
    time.sleep(1.0)
    screenshot(f"display-scale-options-{dpi}dpi")
    code, lines = qftool("text-fit", "Options")
    assert qftool("dialog-click", "Options", 2)[0] == 0
    wait_for(lambda: qftool("windows", "#32770", "Options")[0] != 0, 15, what="the options dialog to close")
    return code, lines


def test_menu_and_options_follow_the_display_scale(agent, scaled, tmp_path):
    for i in range(FAVOURITES):
        folder = tmp_path / f"Folder {i}"
        folder.mkdir()
        reg_set(PATH_KEY, windows_path(folder), f"Folder {i}$0")

    scaled(96)
    width96, height96 = menu_at(agent, 96, tmp_path)
    code96, fit96 = options_fit(96)
    agent.stop()

    # The user's apps are dark: Wine's theme library has no dark menus, so the agent stays light
    # and says why, and nothing fails.
    assert wine("reg", "add", PERSONALIZE_KEY, "/v", "AppsUseLightTheme", "/t", "REG_DWORD", "/d", "0",
                "/f").returncode == 0
    scaled(144)
    width144, height144 = menu_at(agent, 144, tmp_path)
    code144, fit144 = options_fit(144)

    # Half as tall again, near enough: the items and their images follow the scale.
    assert height144 >= 1.4 * height96, (height96, height144)
    assert width144 > width96
    agent.wait_log("menu images: 24 pixels")
    agent.wait_log("QuillFolder.Look Parameters: light: ")
    # Every label of every page shows its whole text at both scales.
    assert code96 == 0 and fit96[-1].startswith("measured") and fit96[-1].endswith("at 96 dpi"), fit96
    assert code144 == 0 and fit144[-1].endswith("at 144 dpi"), fit144
    assert int(fit144[-1].split()[1]) >= 40, fit144
