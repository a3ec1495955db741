"""Favourites and filters kept in the registry: the first-run defaults, folders added from another
instance, from "Add Folder..." and through the add dialog, and the folder menu built from them."""
import pathlib
import re
import tempfile
import time

from conftest import AGENT_KEY, BIN, FILTER_KEY, PATH_KEY, SETTINGS_KEY, fresh_store, qftool, reg_set, screenshot, visible_menus, wait_for, windows_path, wine, xdotool

SHELLEXT_KEY = r"HKCU\Software\Classes\CLSID\{4339DE8C-A2D8-44FE-AEC6-EE2DB8F9381F}"
VK_DOWN, VK_RIGHT, VK_RETURN = 0x28, 0x27, 0x0D
FILTERS = [
    ("*.*", "All Files"),
    ("*.txt;*.doc*;*.rtf;*.hlp;*.chm;*.xls*;*.pdf;*.ppt*;*.pps*;*.odt", "Text Documents"),
    ("*.bmp;*.cdr;*.clp;*.cgm;*.dib;*.drw;*.dxf;*.emf;*.eps;*.gif;*.ico;*.icl;*.iff;*img;*.jpg;*.jpeg;"
     "*.lbm;*.ldf;*.lwf;*.pbm;*.pcd;*.pcx;*.pgm;*.pic;*.pct;*.png;*.ppm;*.psd;*.psp;*.qtif;*.ras;*.rgb;"
     "*.rle;*.sfw;*.tga;*.tif;*.tiff;*.wmf;*.wpg;*.jpe;*.iff", "Pictures"),
    ("*.asf;*.avi;*.bik;*.divx;*.m1v;*.mkv;*.mp4;*.mpe*;*.mpg;*.mpg4;*.mov;*.ogm;*.qt;*.rm;*.smk;*.vob;"
     "*.wmv;*.xvid;*.flv;*.mov;*.qt;*.swf;*.3gp;*.ram;*.rmvb;*.m2v;*.ts;*.p4s;*.vpl;*.wpl;*.bpp", "Video"),
]


def reg_values(key):
    """{name: data} of a key's string values; {} when the key is missing. Read through an export
    (UTF-16), because "reg query" prints in a code page that loses other scripts."""
    with tempfile.TemporaryDirectory() as folder:
        file = pathlib.Path(folder) / "key.reg"
        if wine("reg", "export", key, windows_path(file), "/y").returncode != 0 or not file.exists():
            return {}
        text = file.read_bytes().decode("utf-16")
    unescape = lambda s: re.sub(r"\\(.)", r"\1", s)
    values = {}
    for line in text.splitlines():
        match = re.fullmatch(r'"((?:[^"\\]|\\.)*)"="((?:[^"\\]|\\.)*)"', line)
        if match:
            values[unescape(match[1])] = unescape(match[2])
    return values


def open_folder_menu():
    xdotool("mousemove", 400, 300)
    assert qftool("post-thread", 1148)[0] == 0
    return wait_for(visible_menus, 10, what="the folder menu")


def pick(*keys):
    assert qftool("menu-keys", *keys)[0] == 0
    wait_for(lambda: not visible_menus(), 10, what="the menu to close")


def test_first_run_writes_the_defaults_and_registers_the_shell_extension(agent):
    wine("reg", "delete", AGENT_KEY, "/f")
    wine("reg", "delete", SHELLEXT_KEY, "/f")
    agent.start()
    settings = wait_for(lambda: reg_values(SETTINGS_KEY).get("Path"), 20, what="the first-run defaults")
    assert settings == windows_path(BIN) + "\\"
    favourites = reg_values(PATH_KEY)
    assert favourites["Submenu234"].endswith("$5")
    # Wine's drives carry no labels, so each is listed under its root.
    assert favourites["C:\\$2"] == "C:\\$9"
    assert favourites["Z:\\$2"] == "Z:\\$9"
    documents = [name for name, data in favourites.items() if data.endswith("$12")]
    assert len(documents) == 1 and documents[0].endswith("Documents")
    filters = reg_values(FILTER_KEY)
    assert filters == dict(FILTERS)
    run = reg_values(r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run")
    assert run["Quillrook Folder"] == windows_path(BIN / "qrfolder.exe")
    # Regsvr32 registers the shell extension without the agent waiting for it.
    wait_for(lambda: wine("reg", "query", SHELLEXT_KEY + r"\InprocServer32").returncode == 0, 30,
             interval=0.5, what="the shell extension's registration")


def test_second_instance_adds_a_favourite_that_the_menu_offers(agent):
    fresh_store()
    folder = agent.data_dir / "some folder"
    folder.mkdir()
    agent.start()
    assert agent.launch(windows_path(folder)).wait(timeout=30) == 0
    path = windows_path(folder)
    value = wait_for(lambda: reg_values(PATH_KEY).get(path), 15, what="the new favourite")
    assert value.endswith("$0")
    open_folder_menu()
    screenshot("menu-with-added-favourite")
    pick(VK_DOWN, VK_RETURN)
    agent.wait_log("QuillFolder.FavoriteClick Parameters: Path=" + path + ",")
    # The same folder again changes nothing.
    assert agent.launch(path).wait(timeout=30) == 0
    time.sleep(1)
    assert list(reg_values(PATH_KEY)) == [path]


def test_submenu_entries_show_in_store_order(agent):
    fresh_store()
    folders = {n: agent.data_dir / n for n in ("alpha", "beta", "gamma")}
    for f in folders.values():
        f.mkdir()
    # Wine enumerates registry values by name; these names sort in the order they are written.
    reg_set(PATH_KEY, "Submenu1", "Tools$5")
    reg_set(PATH_KEY, windows_path(folders["alpha"]) + "$2", "Alpha$0")
    reg_set(PATH_KEY, windows_path(folders["beta"]) + "$2", "Beta$9")
    reg_set(PATH_KEY, windows_path(folders["gamma"]), "Gamma$1")
    agent.start()
    open_folder_menu()
    assert qftool("menu-keys", VK_DOWN, VK_RIGHT)[0] == 0
    wait_for(lambda: len(visible_menus()) == 2, 10, what="the Tools submenu")
    screenshot("menu-with-submenu")
    pick(VK_DOWN, VK_RETURN)
    agent.wait_log("FavoriteClick Parameters: Path=" + windows_path(folders["beta"]) + ",")
    # The menu was shown for no window the agent can drive: the folder opens in a new window.
    wait_for(lambda: qftool("windows", "ExplorerWClass", "beta")[0] == 0, 15, what="a window on beta")
    open_folder_menu()
    pick(VK_DOWN, VK_DOWN, VK_RETURN)
    agent.wait_log("FavoriteClick Parameters: Path=" + windows_path(folders["gamma"]) + ",")


def test_add_folder_command_adds_the_chosen_folder_and_cancel_adds_nothing(agent):
    fresh_store()
    agent.start()

    def browse():
        xdotool("mousemove", 400, 300)
        assert qftool("post-thread", 1147)[0] == 0
        wait_for(visible_menus, 10, what="the tray menu")
        # "Add Folder..." is the eighth command of the tray menu.
        pick(*([VK_DOWN] * 8), VK_RETURN)
        wait_for(lambda: qftool("windows", "#32770", "Browse for Folder")[0] == 0, 15,
                 interval=0.3, what="the folder browser")

    browse()
    assert qftool("dialog-click", "Browse for Folder", 2)[0] == 0
    wait_for(lambda: qftool("windows", "#32770", "Browse for Folder")[0] != 0, 10, what="the browser to close")
    time.sleep(1)
    assert reg_values(PATH_KEY) == {}
    browse()
    assert qftool("dialog-click", "Browse for Folder", 1)[0] == 0
    # The browser starts on the desktop folder, which OK then adds.
    added = wait_for(lambda: reg_values(PATH_KEY), 15, what="the chosen folder")
    assert len(added) == 1
    name, data = next(iter(added.items()))
    assert name.lower().endswith("desktop") and data.endswith("$0")


def test_add_dialog_names_the_favourite_when_always_add_dialog_is_on(agent):
    fresh_store(AlwaysAddDialog=1)
    folder = agent.data_dir / "named"
    folder.mkdir()
    agent.start()
    agent.launch(windows_path(folder))
    wait_for(lambda: qftool("windows", "#32770", "Add new item")[0] == 0, 15, interval=0.3,
             what="the add dialog")
    screenshot("add-item-dialog")
    assert qftool("dialog-text", "Add new item", "Edit", "My projects")[0] == 0
    assert qftool("dialog-click", "Add new item", 1)[0] == 0
    value = wait_for(lambda: reg_values(PATH_KEY).get(windows_path(folder)), 15, what="the named favourite")
    assert value == "My projects$0"
    assert wine("reg", "query", SETTINGS_KEY, "/v", "AlwaysAddDialog").stdout.split()[-1] == "0x1"


def test_setting_of_the_wrong_type_is_reported_and_the_agent_stays_usable(agent):
    # The bad value comes early in the reading order; the hot key after it is Shift+F5.
    fresh_store(Alt=4, Keys=0x74)
    reg_set(SETTINGS_KEY, "MouseWheel", "two")
    agent.start()
    agent.wait_log("Invalid data type for 'MouseWheel'")
    code, lines = qftool("heartbeat")
    assert lines[0].split()[2] == "1", "the hook is still installed"
    wait_for(lambda: qftool("hotkey-free", 4, 0x74)[0] != 0, 10, what="the agent to hold Shift+F5")
    assert qftool("hotkey-free", 8, 0x5A)[0] == 0, "Windows+Z stays free"
