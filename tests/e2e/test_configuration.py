"""Configuration sets through the tray menu's real file dialogs: an export and its import give the
store back, and sets written by hand import when they are sound and are refused, store untouched,
when they are not."""
import re

from conftest import (AGENT_KEY, FILTER_KEY, PATH_KEY, fresh_store, qftool, reg_set, visible_menus, wait_for,
                      windows_path, wine, xdotool)
from test_favourites import VK_DOWN, VK_RETURN, pick, reg_values

NAME_BOX = 0x47C
OPEN_CONFIGURATION, SAVE_CONFIGURATION = 6, 7  # positions in the tray menu
MESSAGE_BOX = "Quillrook Folder"
CYRILLIC = "\u0414\u043e\u043a\u0443\u043c\u0435\u043d\u0442\u044b"


def run_dialog(position, title, file):
    """Picks a tray command, names the file in the dialog it opens and presses its OK button."""
    xdotool("mousemove", 400, 300)
    assert qftool("post-thread", 1147)[0] == 0
    wait_for(visible_menus, 10, what="the tray menu")
    pick(*([VK_DOWN] * position), VK_RETURN)
    wait_for(lambda: qftool("windows", "#32770", title)[0] == 0, 15, interval=0.3, what=title)
    assert qftool("control-set", title, NAME_BOX, windows_path(file))[0] == 0
    assert qftool("dialog-click", title, 1)[0] == 0
    wait_for(lambda: qftool("windows", "#32770", title)[0] != 0, 15, what=f"{title} to close")


def refused(agent, text):
    """The import's message box: shown, logged with its text, and closed."""
    wait_for(lambda: qftool("windows", "#32770", MESSAGE_BOX)[0] == 0, 15, what="the message box")
    assert qftool("dialog-click", MESSAGE_BOX, 1)[0] == 0
    wait_for(lambda: qftool("windows", "#32770", MESSAGE_BOX)[0] != 0, 10, what="the message box to close")
    agent.wait_log(text)


def write_set(base, *lists, mark=b"\xef\xbb\xbf"):
    """Writes F1 to F4 as UTF-8 with a byte-order mark (as an editor would); no F."""
    for number, lines in enumerate(lists, 1):
        body = "".join(line + "\r\n" for line in lines).encode("utf-8")
        base.with_name(base.name + str(number)).write_bytes(mark + body)


def test_export_then_import_gives_the_store_back(agent):
    fresh_store()
    home = agent.data_dir / "home"
    (home / CYRILLIC).mkdir(parents=True)
    favourites = {
        windows_path(home): "Home$0",
        "Submenu Work": "Work$4",
        windows_path(home / CYRILLIC) + "$2": CYRILLIC + "$0",
        r"\\server\c$\data": "Admin share$0",
    }
    filters = {"*.txt": "Text", "*.log;*.out": "Logs"}
    for name, data in favourites.items():
        reg_set(PATH_KEY, name, data)
    for name, data in filters.items():
        reg_set(FILTER_KEY, name, data)
    agent.start()
    backup = agent.data_dir / "backup.qfs"
    # The dialog adds the default extension to a bare name.
    run_dialog(SAVE_CONFIGURATION, "Save Configuration", agent.data_dir / "backup")
    wait_for(lambda: backup.with_name("backup.qfs4").exists(), 15, what="the four list files")
    assert backup.read_bytes() == b""
    names = backup.with_name("backup.qfs1").read_bytes()
    # A name the ANSI code page cannot hold sends its list to UTF-8 with a mark; the others stay ANSI.
    assert names.startswith(b"\xef\xbb\xbf") and CYRILLIC.encode("utf-8") in names
    # The lines pair up in the store's own order (Wine's enumeration order; creation order on Windows).
    stored = list(reg_values(PATH_KEY).items())
    values = backup.with_name("backup.qfs2").read_bytes().decode("utf-8-sig")
    assert list(zip(names.decode("utf-8-sig").split("\r\n")[:-1], values.split("\r\n")[:-1])) == stored
    masks = backup.with_name("backup.qfs3").read_bytes()
    assert sorted(masks.decode("ascii").split("\r\n")) == sorted(["", *filters])
    assert masks.endswith(b"\r\n")

    # Changes after the export are undone by the import, extra favourites included.
    wine("reg", "delete", PATH_KEY, "/v", "Submenu Work", "/f")
    reg_set(PATH_KEY, "C:\\", "Extra$4")
    wine("reg", "delete", FILTER_KEY, "/f")
    run_dialog(OPEN_CONFIGURATION, "Open Configuration", backup)
    wait_for(lambda: reg_values(PATH_KEY) == favourites, 15, what="the favourites back")
    assert list(reg_values(PATH_KEY).items()) == stored
    assert reg_values(FILTER_KEY) == filters
    agent.wait_log("Openconfiguration1Click Parameters: Loaded from")


def test_sets_written_by_hand_import_when_sound_and_are_refused_otherwise(agent):
    fresh_store()
    folder = agent.data_dir / CYRILLIC
    folder.mkdir()
    reg_set(PATH_KEY, "C:\\", "Drive C$4")
    reg_set(FILTER_KEY, "*.txt", "Text")
    before = (reg_values(PATH_KEY), reg_values(FILTER_KEY))
    agent.start()

    # Mismatched pairs and a missing list file leave the store as it was.
    bad = agent.data_dir / "bad.qfs"
    write_set(bad, ["C:\\", "D:\\"], ["C$4"], [], [])
    run_dialog(OPEN_CONFIGURATION, "Open Configuration", bad)
    refused(agent, 'The configuration is invalid: "bad.qfs1" has 2 lines but "bad.qfs2" has 1.')
    assert (reg_values(PATH_KEY), reg_values(FILTER_KEY)) == before
    bad.with_name("bad.qfs2").unlink()
    run_dialog(OPEN_CONFIGURATION, "Open Configuration", bad)
    refused(agent, "Missing or unreadable")
    assert (reg_values(PATH_KEY), reg_values(FILTER_KEY)) == before

    # A sound set in UTF-8 with names outside the ANSI code page, without F and with no filters.
    good = agent.data_dir / "good.qfs"
    write_set(good, [windows_path(folder)], [CYRILLIC + "$0"], [], [])
    run_dialog(OPEN_CONFIGURATION, "Open Configuration", good)
    wait_for(lambda: reg_values(PATH_KEY) == {windows_path(folder): CYRILLIC + "$0"}, 15,
             what="the imported favourite")
    assert reg_values(FILTER_KEY) == {}

    # The lists the import replaced were kept as a set of their own, which gives them back.
    kept, = (agent.data_dir / "Folder configuration").glob("before import *.qfs")
    assert re.fullmatch(r"before import \d{4}-\d\d-\d\d \d\d-\d\d-\d\d\.qfs", kept.name), kept.name
    run_dialog(OPEN_CONFIGURATION, "Open Configuration", kept)
    wait_for(lambda: (reg_values(PATH_KEY), reg_values(FILTER_KEY)) == before, 15, what="the lists before the import")
    run_dialog(OPEN_CONFIGURATION, "Open Configuration", good)
    wait_for(lambda: reg_values(PATH_KEY) == {windows_path(folder): CYRILLIC + "$0"}, 15, what="the set again")

    # Exported again, each list keeps the encoding it came in, mark included.
    again = agent.data_dir / "again.qfs"
    run_dialog(SAVE_CONFIGURATION, "Save Configuration", again)
    wait_for(lambda: again.with_name("again.qfs4").exists(), 15, what="the exported set")
    assert again.with_name("again.qfs2").read_bytes() == b"\xef\xbb\xbf" + (CYRILLIC + "$0\r\n").encode("utf-8")
    assert again.with_name("again.qfs3").read_bytes() == b"\xef\xbb\xbf"


def test_a_start_after_a_replace_cut_short_gives_the_store_back(agent):
    """A kill or a power cut during a save left the store's copy, complete, and the favourites key
    half rewritten: the next start puts every favourite and filter back and drops the copy."""
    fresh_store()
    copy = AGENT_KEY + r"\Replacing"
    reg_set(copy + r"\Path", "C:\\", "Drive C$4")
    reg_set(copy + r"\Path", "Submenu1", "Work$5")
    reg_set(copy + r"\Filter", "*.txt", "Text")
    reg_set(copy, "Complete", 1, "REG_DWORD")
    reg_set(PATH_KEY, "D:\\Half", "Half$0")
    agent.start()
    agent.wait_log("favourites and filters restored")
    assert reg_values(PATH_KEY) == {"C:\\": "Drive C$4", "Submenu1": "Work$5"}
    assert reg_values(FILTER_KEY) == {"*.txt": "Text"}
    assert wine("reg", "query", copy).returncode != 0, "the copy is gone"
