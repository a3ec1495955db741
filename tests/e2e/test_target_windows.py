"""The agent drives the foreign windows Wine lacks, shown by target_windows.exe with their real
class trees: a middle click (through qf.dll) or the hot key opens the folder menu, and a picked
favourite reaches each kind of window the way that window takes a folder; windows that cannot be
driven get the folder in a new shell window, and a hung window costs the agent only seconds."""
import itertools
import subprocess
import time

from conftest import BIN, PATH_KEY, fresh_store, qftool, reg_set, visible_menus, wait_for, windows_path, xdotool
from test_favourites import VK_DOWN, VK_RETURN, pick
from test_instance import VK_ESCAPE

NAME_BOX = 1001
FIRST, SECOND = (VK_DOWN,), (VK_DOWN, VK_DOWN)


class Target:
    """One target_windows.exe window tree, and the events it reports (one line each)."""

    started = itertools.count(1)

    def __init__(self, programs, scratch, mode, *options, at=(40, 40)):
        self.mode = mode
        # A report of its own, also beside another window of the same mode.
        self.report = scratch / f"{mode}-{next(Target.started)}.out"
        with open(self.report, "wb") as out:
            programs.append(subprocess.Popen(
                ["wine", str(BIN / "target_windows.exe"), mode, "--at", *map(str, at), *map(str, options)],
                stdout=out, stderr=subprocess.DEVNULL))

    def ready(self):
        self.handle, self.point = self.where("ready", 30)
        return self

    def where(self, verb, timeout=0):
        """The window and screen point of a report line such as "ready HWND X Y"."""
        handle, x, y = wait_for(lambda: self.lines(verb), timeout, what=f"the {self.mode} window")[0].split()
        return int(handle, 16), (int(x), int(y))

    def lines(self, verb):
        text = self.report.read_text(errors="replace") if self.report.exists() else ""
        return [line[len(verb):].strip() for line in text.splitlines() if line.split(" ", 1)[0] == verb]

    def shows(self, folder):
        wait_for(lambda: windows_path(folder) in self.lines("navigated"), 15,
                 what=f"the {self.mode} window to show {folder.name}")


def favourites(agent, *names):
    """Folders in the agent's data folder, stored as favourites; the menu lists them in this order."""
    folders = []
    for name in names:
        folder = agent.data_dir / name
        folder.mkdir()
        reg_set(PATH_KEY, windows_path(folder), f"{name}$0")
        folders.append(folder)
    return folders


def start(agent, programs, *targets):
    """Starts the agent and the targets (mode, options..., position) side by side."""
    agent.start()
    started = [Target(programs, agent.data_dir, mode, "--folder", windows_path(agent.data_dir), *options, at=at)
               for mode, at, *options in targets]
    return [target.ready() for target in started]


def open_menu(point):
    xdotool("mousemove", *point, "click", "2")
    try:
        return wait_for(visible_menus, 5, what="the folder menu")
    except AssertionError:
        # Under Wine a process just started may take its first click before the hook library has
        # been loaded into it (that happens at its first mouse message): the user clicks again.
        xdotool("mousemove", point[0] + 1, point[1] + 1, "click", "2")
        return wait_for(visible_menus, 10, what="the folder menu at the second click")


def navigate(target, folder, keys):
    open_menu(target.point)
    pick(*keys, VK_RETURN)
    target.shows(folder)


def name_box(title):
    code, lines = qftool("control-text", title, NAME_BOX)
    return lines[0] if code == 0 and lines else ""


def test_explorer_and_browser_frames_take_the_folder_in_their_address_box(agent, programs):
    fresh_store(MIExplorer=1)
    a, b = favourites(agent, "fav a", "fav b")
    classic, crumbs, browser = start(agent, programs, ("explorer", (20, 20)), ("breadcrumb", (640, 20)),
                                     ("ie", (20, 520)))
    # The hot key classifies the window the user is working in by itself. (First: under Wine no
    # window is the foreground window any more once the agent has driven one and let go of its
    # input, and a click does not make it one again.)
    xdotool("mousemove", *classic.point, "click", "1", "key", "super+z")
    wait_for(visible_menus, 10, what="the folder menu")
    pick(*FIRST, VK_RETURN)
    classic.shows(a)
    # The menu reads the folder of a frame whose title names none from its breadcrumb bar as the
    # bar is: showing the menu does not click it into an address box, driving the frame does.
    open_menu(crumbs.point)
    pick(VK_ESCAPE)
    agent.wait_log(f"GetPath Parameters: Wnd={crumbs.handle:06X}, Path={windows_path(agent.data_dir)}")
    assert crumbs.lines("address-edit") == [], "showing the menu clicked the breadcrumb bar"
    for target in (crumbs, browser):
        navigate(target, a, FIRST)
    assert crumbs.lines("address-edit") == [""]
    # Having navigated, the breadcrumb bar shows crumbs again: the next folder needs another
    # click on its empty end before there is a box to type in. This time the menu comes from a
    # right click on the address bar.
    xdotool("mousemove", *crumbs.where("address")[1], "click", "3")
    wait_for(visible_menus, 10, what="the folder menu")
    pick(*SECOND, VK_RETURN)
    crumbs.shows(b)


def test_vista_and_office_dialogs_open_the_folder_and_keep_the_typed_name(agent, programs):
    fresh_store()
    a, = favourites(agent, "fav a")
    vista, office = start(agent, programs, ("vista", (20, 20), "--name", "report.txt"),
                          ("office", (640, 20), "--name", "budget.xls"))
    for target, title, name in ((vista, "Vista Save As", "report.txt"), (office, "Office Save As", "budget.xls")):
        navigate(target, a, FIRST)
        wait_for(lambda: name_box(title) == name, 15, what=f"the typed name back in the {target.mode} dialog")


def test_archiver_windows_take_the_folder_as_each_expects(agent, programs):
    fresh_store()
    a, = favourites(agent, "fav a")
    rar, rar_extract, zip_extract, ace = start(agent, programs, ("rar", (20, 20)), ("rar-extract", (640, 20)),
                                               ("zip-extract", (20, 520)), ("ace", (640, 520)))
    for target in (rar, rar_extract, zip_extract, ace):
        navigate(target, a, FIRST)
    # WinRAR's window showed an archive: it was first taken out of it, one level up.
    assert rar.lines("up")


def test_a_hung_window_costs_the_agent_only_seconds(agent, programs):
    fresh_store()
    favourites(agent, "fav a")
    hung, = start(agent, programs, ("vista", (20, 20), "--name", "report.txt", "--hang"))
    open_menu(hung.point)
    pick(*FIRST, VK_RETURN)
    picked = time.monotonic()
    wait_for(lambda: hung.lines("hung"), 10, what="the window to stop answering")
    # A menu for the agent's own window shows as soon as the agent is free again.
    qftool("latency")
    wait_for(visible_menus, 30, what="a second menu")
    busy = time.monotonic() - picked
    xdotool("mousemove", 1200, 1000, "click", "1")
    wait_for(lambda: not visible_menus(), 10, what="the menu to close")
    assert busy < 8, f"the agent was busy {busy:.1f} s with a hung window"


def test_a_window_that_hangs_before_the_menu_shows_does_not_hold_the_menu_up(agent, programs):
    fresh_store()
    favourites(agent, "fav a")
    hung, = start(agent, programs, ("explorer", (20, 20), "--hang"))
    # The hot key reads the frame's folder from its address box before the menu shows; the frame
    # stops answering right then.
    xdotool("mousemove", *hung.point, "click", "1", "key", "super+z")
    wait_for(lambda: hung.lines("hung"), 10, what="the window to stop answering")
    wait_for(visible_menus, 5, what="the folder menu")
    pick(*FIRST, VK_RETURN)
    qftool("latency")
    wait_for(visible_menus, 10, what="a second menu")
    xdotool("mousemove", 1200, 1000, "click", "1")


def test_windows_that_cannot_be_driven_get_the_folder_in_a_new_shell_window(agent, programs):
    fresh_store()
    a, b = favourites(agent, "fav a", "fav b")
    desktop, browse = start(agent, programs, ("desktop", (20, 20)), ("browse", (640, 20)))
    for target, folder, keys in ((desktop, a, FIRST), (browse, b, SECOND)):
        open_menu(target.point)
        pick(*keys, VK_RETURN)
        wait_for(lambda: qftool("windows", "ExplorerWClass", folder.name)[0] == 0, 20,
                 what=f"a shell window showing {folder.name}")


def test_a_favourite_naming_a_program_starts_nothing_on_the_desktop(agent, programs):
    fresh_store()
    # Someone else's favourite: a program on a share. The menu shows a share's entries without
    # asking the network, so only the pick can tell that it is no folder. It is written first, so
    # it is the first in either order of values. (Wine reaches no share: on Windows the share
    # would answer, and the program would be a file there.)
    program = "\\\\host\\share\\setup.exe"
    reg_set(PATH_KEY, program, "setup$0")
    a, = favourites(agent, "fav a")
    desktop, = start(agent, programs, ("desktop", (20, 20)))
    open_menu(desktop.point)
    pick(*FIRST, VK_RETURN)
    agent.wait_log("OpenFolderInShell Message: no folder, not opened Parameters: Path=" + program)
    # A folder still opens as before.
    open_menu(desktop.point)
    pick(*SECOND, VK_RETURN)
    wait_for(lambda: qftool("windows", "ExplorerWClass", a.name)[0] == 0, 20, what="a shell window showing fav a")
