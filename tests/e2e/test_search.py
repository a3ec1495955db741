"""Type to search: a letter typed in the folder menu that is no item's mnemonic closes it and opens
the search box with that letter; the box finds a favourite among 300, or a recent file, and Enter
carries it out on notepad's real Open dialog as the menu would; Escape leaves the dialog alone.

Under Wine the box, shown after a queued trigger, does not get the keyboard (no window manager):
the scenario types into it through its edit box."""
import time

from conftest import (PATH_KEY, SETTINGS_KEY, focus, forget_recent_documents, fresh_store, open_save_as, qftool,
                      reg_set, screenshot, visible_menus, wait_for, windows_path, wine, xdotool)
from test_favourites import VK_DOWN, pick
from test_options import OK, OPTIONS, click, keys, open_options, press
from test_navigation import open_menu_in

DIALOG, SEARCH = "Open", "Quillrook Folder Search"
SEARCH_TEXT = 3601
SEARCH_KEY = 3159
LOOK_IN = 0x471
VK_RETURN, VK_ESCAPE = 0x0D, 0x1B


def looks_in():
    code, lines = qftool("control-text", DIALOG, LOOK_IN)
    return lines[0] if code == 0 and lines else ""


def search(dialog, letter, text):
    """The folder menu over the dialog, `letter` typed in it, then the box's text made `text`."""
    open_menu_in(dialog)
    assert qftool("menu-keys", hex(ord(letter.upper())))[0] == 0
    wait_for(lambda: qftool("windows", "#32770", SEARCH)[0] == 0, 10, what="the search box")
    wait_for(lambda: qftool("control-text", SEARCH, SEARCH_TEXT)[1] == [letter], 10, what="the letter in the box")
    assert qftool("control-set", SEARCH, SEARCH_TEXT, text)[0] == 0


def x_window(title):
    return wait_for(lambda: xdotool("search", "--name", f"^{title}$").stdout.split(), 10, what=title)[0]


def box_gone():
    wait_for(lambda: qftool("windows", "#32770", SEARCH)[0] != 0, 10, what="the search box to close")


def test_typing_in_the_menu_finds_a_favourite_among_hundreds_and_a_recent_file(agent, programs):
    fresh_store()
    forget_recent_documents()
    root = agent.data_dir / "favs"
    for n in range(299):
        folder = root / f"folder {n:03}"
        folder.mkdir(parents=True)
        reg_set(PATH_KEY, windows_path(folder), f"Folder {n:03}$0")
    projects = root / "Projects"
    projects.mkdir()
    reg_set(PATH_KEY, windows_path(projects), "Projects$0")
    receipt = agent.data_dir / "receipt.txt"
    receipt.write_text("paid")
    elsewhere = agent.data_dir / "elsewhere"
    elsewhere.mkdir()
    # Its own key: Ctrl+Alt+F.
    reg_set(SETTINGS_KEY, "SearchKey", (3 << 16) | 0x46, "REG_DWORD")
    agent.start()
    assert qftool("recent", windows_path(receipt))[0] == 0
    agent.wait_log("Timer1Timer Parameters: FindRecent", timeout=15)
    dialog = open_save_as(programs, agent.data_dir, keys="ctrl+o", title=DIALOG)[1]

    # "prj": the favourite "Projects" first among 300; Enter takes the dialog there.
    search(dialog, "p", "prj")
    screenshot("search-box")
    assert qftool("control-keys", SEARCH, SEARCH_TEXT, VK_RETURN)[0] == 0
    box_gone()
    wait_for(lambda: looks_in() == "Projects", 15, what="the dialog in Projects")
    agent.wait_log("QuillSearch.Take Parameters: Path=" + windows_path(projects))

    # A full path of a folder typed in the box comes first, and Enter goes there.
    search(dialog, "x", windows_path(elsewhere))
    assert qftool("control-keys", SEARCH, SEARCH_TEXT, VK_RETURN)[0] == 0
    box_gone()
    wait_for(lambda: looks_in() == "elsewhere", 15, what="the dialog in the typed folder")

    # The tray menu's "Search..." (its tenth command) and the search key open the box empty.
    xdotool("mousemove", 400, 300)
    assert qftool("post-thread", 1147)[0] == 0
    wait_for(visible_menus, 10, what="the tray menu")
    pick(*([VK_DOWN] * 10), VK_RETURN)
    for opened in ("tray", "key"):
        wait_for(lambda: qftool("windows", "#32770", SEARCH)[0] == 0, 10, what=f"the search box from the {opened}")
        assert qftool("control-text", SEARCH, SEARCH_TEXT)[1] in ([], [""]), "opened empty"
        assert qftool("control-keys", SEARCH, SEARCH_TEXT, VK_ESCAPE)[0] == 0
        box_gone()
        if opened == "tray":
            focus(x_window(DIALOG))
            xdotool("key", "ctrl+alt+f")

    # Escape: the box goes, and the dialog stays where it is.
    search(dialog, "x", "folder 1")
    assert qftool("control-keys", SEARCH, SEARCH_TEXT, VK_ESCAPE)[0] == 0
    box_gone()
    time.sleep(1)
    assert looks_in() == "elsewhere"

    # "rec": the recent file; Enter opens it in the dialog, and so in notepad.
    search(dialog, "r", "rec")
    assert qftool("control-keys", SEARCH, SEARCH_TEXT, VK_RETURN)[0] == 0
    box_gone()
    wait_for(lambda: xdotool("search", "--name", "receipt.txt - Notepad").stdout.strip(), 15,
             what="notepad with the recent file")
    agent.wait_log("RecentFileClick Parameters: Path=" + windows_path(receipt))
    # Each pick is remembered for the ranking.
    code, lines = qftool("windows", "#32770", SEARCH)
    assert code != 0
    assert any("QuillSearch.Show Parameters: Typed=r" in line for line in agent.log_lines())


def test_the_search_box_key_is_set_on_the_preferences_page(agent):
    fresh_store()
    agent.start()
    open_options(page=2)
    click(OPTIONS, SEARCH_KEY)
    keys("ctrl+shift+k")
    screenshot("options-search-key")
    press(OPTIONS, OK)
    out = wine("reg", "query", SETTINGS_KEY, "/v", "SearchKey").stdout
    assert int(out.split("REG_DWORD")[1].split()[0], 16) == ((2 | 4) << 16) | 0x4B
    # The agent holds the key at once.
    assert qftool("hotkey-free", 2 | 4, 0x4B)[0] != 0
