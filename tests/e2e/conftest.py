"""Shared fixtures of the end-to-end scenarios: the real agent under Wine, real windows, real
input (xdotool), and the agent's own log files. Runs inside scripts/with-wine.sh, which provides
DISPLAY, WINEPREFIX and a persistent wineserver."""
import os
import pathlib
import shutil
import signal
import subprocess
import tempfile
import time

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
BUILD = pathlib.Path(os.environ.get("QF_BUILD", ROOT / "build"))
BIN = pathlib.Path(os.environ.get("QF_BIN", BUILD / "windows" / "bin"))
ARTIFACTS = pathlib.Path(os.environ.get("QF_ARTIFACTS", BUILD / "artifacts"))
SCRATCH = BUILD / "e2e"
AGENT_KEY = r"HKCU\Software\BrantwellTools\Quillrook Folder"
DATA_KEY = r"HKCU\Software\BrantwellTools\Stewardry"
PATH_KEY = AGENT_KEY + r"\Path"
FILTER_KEY = AGENT_KEY + r"\Filter"
SETTINGS_KEY = AGENT_KEY + r"\1.0"


def windows_path(path) -> str:
    """The Wine path (drive Z: is the Unix root) of a Unix path."""
    return "Z:" + str(path).replace("/", "\\")


# Wine's own tools that the scenarios run: each of them says why when it fails.
WINE_TOOLS = {"reg", "regedit", "taskkill"}


def wine(*args, timeout=60):
    """Runs a Windows program and waits for it alone. Its output goes through files, not pipes:
    a Wine service that the program happens to start inherits the handles and would hold a pipe
    open long after the program has ended. Now and then Wine's launcher fails to start a program
    of its own ("ShellExecuteEx failed", or one of Wine's tools ending in failure without a word,
    which it never does once it runs): that start, which never ran the program, is made again."""
    done = run_wine(args, timeout)
    output = done.stdout + done.stderr
    never_ran = "ShellExecuteEx failed" in output or (str(args[0]).lower() in WINE_TOOLS and not output.strip())
    if done.returncode != 0 and never_ran:
        done = run_wine(args, timeout)
    return done


def run_wine(args, timeout):
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        done = subprocess.run(["wine", *map(str, args)], stdout=out, stderr=err,
                              stdin=subprocess.DEVNULL, timeout=timeout)
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(done.args, done.returncode,
                                           out.read().decode(errors="replace"),
                                           err.read().decode(errors="replace"))


def qftool(*args, timeout=30):
    """Runs the test tool; returns (exit code, stdout lines)."""
    done = wine(BIN / "qftool.exe", *args, timeout=timeout)
    return done.returncode, [line for line in done.stdout.splitlines() if line.strip()]


def xdotool(*args, timeout=30):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True,
                          timeout=timeout)


def wait_for(predicate, timeout, interval=0.1, what="condition"):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def visible_menus():
    code, lines = qftool("menu")
    menus = []
    for line in lines if code == 0 else []:
        handle, left, top, right, bottom = line.split()
        menus.append((int(handle, 16), int(left), int(top), int(right), int(bottom)))
    return menus


def screenshot(name: str) -> pathlib.Path:
    ARTIFACTS.mkdir(parents=True, exist_ok=True)
    target = ARTIFACTS / f"{name}.png"
    subprocess.run(["import", "-window", "root", str(target)], capture_output=True, timeout=30)
    return target


def read_utf16_lines(path: pathlib.Path):
    """The lines of a log file (UTF-16 LE with BOM); [] when there is none yet."""
    try:
        data = path.read_bytes()
    except FileNotFoundError:
        return []
    if data.startswith(b"\xff\xfe"):
        data = data[2:]
    text = data[: len(data) - len(data) % 2].decode("utf-16-le", errors="replace")
    return text.splitlines()


class Agent:
    """The real qrfolder.exe, with its data folder set through the registry value that moves it."""

    def __init__(self, data_dir: pathlib.Path):
        self.data_dir = data_dir
        self.procs = []

    @property
    def log_file(self):
        return self.data_dir / "Log" / "folder.log"

    @property
    def error_log_file(self):
        return self.data_dir / "Log" / "folder_error.log"

    def log_lines(self):
        return read_utf16_lines(self.log_file)

    def error_log_lines(self):
        return read_utf16_lines(self.error_log_file)

    def wait_log(self, text, timeout=15):
        """Waits until a run-log line holds `text` (the log thread writes every 5 s)."""
        return wait_for(lambda: [l for l in self.log_lines() if text in l], timeout,
                        interval=0.25, what=f"log line with {text!r}")

    def launch(self, *args, program="qrfolder.exe", env=None):
        proc = subprocess.Popen(["wine", str(BIN / program), *map(str, args)], env={**os.environ, **(env or {})},
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(proc)
        return proc

    def start(self, *args, program="qrfolder.exe", env=None):
        proc = self.launch(*args, program=program, env=env)
        wait_for(lambda: qftool("agent")[0] == 0 and qftool("thread")[0] == 0, 30,
                 interval=0.2, what="the agent's window and hook record")
        return proc

    def info(self):
        """(number of agent windows, first window handle, process id)."""
        code, lines = qftool("agent")
        if code != 0 or not lines:
            return 0, 0, 0
        count, handle, pid = lines[0].split()
        return int(count), int(handle, 16), int(pid)

    def stop(self):
        for proc in self.procs:
            if proc.poll() is None:
                proc.kill()
                proc.wait(timeout=30)
        # An agent this scenario did not start itself (a copy started by the agent) goes by its id.
        count, _, pid = self.info()
        if count:
            wine("taskkill", "/f", "/pid", str(pid))
            for program in ("qrfolder.exe", "qrfolder_testfaults.exe"):
                wine("taskkill", "/f", "/im", program)
        self.procs.clear()


def reg_set(key, name, data, kind="REG_SZ"):
    assert wine("reg", "add", key, "/v", name, "/t", kind, "/d", str(data), "/f").returncode == 0


def forget_recent_documents():
    """Empties the Wine user's Recent folder: the recent submenus show only what the scenario
    opens itself (shortcuts of earlier scenarios may point to files that still exist)."""
    users = pathlib.Path(os.environ["WINEPREFIX"]) / "drive_c" / "users"
    for link in users.glob("*/AppData/Roaming/Microsoft/Windows/Recent/*.lnk"):
        link.unlink()


def fresh_store(**settings):
    """An agent store with the settings key present (so no first run) and no favourites."""
    wine("reg", "delete", AGENT_KEY, "/f")
    for key in (PATH_KEY, FILTER_KEY):
        # Through a value: Wine's "reg add" of a bare key also writes an empty default value.
        reg_set(key, "x", "")
        assert wine("reg", "delete", key, "/v", "x", "/f").returncode == 0
    reg_set(SETTINGS_KEY, "ShowTray", 1, "REG_DWORD")
    for name, value in settings.items():
        reg_set(SETTINGS_KEY, name, value, "REG_DWORD")


def visible_windows():
    return set(xdotool("search", "--onlyvisible", "--name", ".").stdout.split())


@pytest.fixture(autouse=True)
def leaves_no_window():
    """Every scenario ends the programs and windows it started: a window left up would take the
    keys or the clicks of a later scenario. Set up before the other fixtures, so it looks after
    they have ended theirs."""
    before = visible_windows()
    yield
    try:
        left = wait_for(lambda: not (visible_windows() - before), 15, interval=0.3, what="the scenario's windows to go")
    except AssertionError:
        left = False
    if not left:
        names = [xdotool("getwindowname", w).stdout.strip() for w in visible_windows() - before]
        pytest.fail(f"windows left up: {names}")


@pytest.fixture
def agent(request):
    data = SCRATCH / request.node.name
    shutil.rmtree(data, ignore_errors=True)
    data.mkdir(parents=True)
    done = wine("reg", "add", DATA_KEY, "/v", "SaveDir", "/t", "REG_SZ", "/d",
                windows_path(data) + "\\", "/f")
    assert done.returncode == 0, done.stderr
    # Every scenario starts from default settings, no favourites and no recent documents unless it
    # says otherwise, and with no menu left open by an earlier one.
    fresh_store()
    forget_recent_documents()
    if visible_menus():
        xdotool("mousemove", 1200, 1000, "click", "1")
    a = Agent(data)
    yield a
    a.stop()
    # Folders the agent opened in new windows (picks without a window to drive).
    qftool("close", "ExplorerWClass")


def options_dialog_opened_and_closed():
    """The options dialog came up (the folder menu's or the tray's "Options..."); closes it."""
    wait_for(lambda: qftool("windows", "#32770", "Options")[0] == 0, 15, what="the options dialog")
    assert qftool("dialog-click", "Options", 2)[0] == 0
    wait_for(lambda: qftool("windows", "#32770", "Options")[0] != 0, 15, what="the options dialog to close")


def focus(window):
    """Gives an X window the keyboard focus and lets Wine take it in: keys sent while Wine is
    still syncing its modifier state with the new focus lose their modifiers."""
    xdotool("windowfocus", "--sync", window)
    time.sleep(0.5)


def start_notepad(programs, cwd=None):
    """Starts Wine's notepad; returns its X window id."""
    def notepads():
        return set(xdotool("search", "--name", "Untitled - Notepad").stdout.split())

    # Only a window of this notepad: one of a notepad just ended may not be gone yet.
    before = notepads()
    notepad = subprocess.Popen(["wine", "notepad"], cwd=cwd, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    programs.append(notepad)
    return wait_for(lambda: sorted(notepads() - before), 30, interval=0.3, what="notepad")[0]


def open_save_as(programs, cwd=None, keys="ctrl+s", title="Save As"):
    """Opens notepad's real Save As dialog (Ctrl+S on an untitled text), or with Ctrl+O its Open
    dialog; returns its handle and screen rectangle (left, top, right, bottom)."""
    def dialogs():
        code, lines = qftool("windows", "#32770", title)
        return [line for line in lines if line.split()[1] == "1"] if code == 0 else []

    # A dialog of an earlier scenario's notepad may outlive its process for a moment.
    stale = {line.split()[0] for line in dialogs()}
    main = start_notepad(programs, cwd)

    def dialog():
        return [line for line in dialogs() if line.split()[0] not in stale]

    for _ in range(3):
        # Real key events to the focused window: synthetic ones may lose the Ctrl modifier.
        focus(main)
        xdotool("key", keys)
        try:
            lines = wait_for(dialog, 10, interval=0.3, what=f"the {title} dialog")
            break
        except AssertionError:
            xdotool("key", "ctrl+a", "BackSpace")
    else:
        raise AssertionError(f"notepad did not open its {title} dialog")
    handle, _, left, top, right, bottom = lines[0].split()
    return int(handle, 16), (int(left), int(top), int(right), int(bottom))


class StartedWindow:
    """A program a scenario started whose launcher ended at once (wineconsole), known by its X
    window and the Windows process behind it; ends as a Popen does for the programs fixture."""

    def __init__(self, window, windows_pid=None):
        self.window = window
        self.windows_pid = windows_pid

    def poll(self):
        return None if xdotool("search", "--name", ".").stdout.split().count(self.window) else 0

    def kill(self):
        if self.windows_pid:
            wine("taskkill", "/f", "/t", "/pid", str(self.windows_pid))
        owner = xdotool("getwindowpid", self.window).stdout.strip()
        if owner.isdigit():
            try:
                os.kill(int(owner), signal.SIGKILL)
            except ProcessLookupError:
                pass

    def wait(self, timeout):
        wait_for(lambda: self.poll() is not None, timeout, interval=0.2, what="the window to go")


@pytest.fixture
def programs():
    """Other programs a scenario starts (notepad and the like); ended afterwards."""
    started = []
    yield started
    for proc in started:
        if proc.poll() is None:
            proc.kill()
            proc.wait(timeout=30)
    if started:
        # Wine takes the windows of a killed process away a moment later; the next scenario
        # must not find them.
        deadline = time.monotonic() + 10
        while qftool("windows", "#32770", "Save As")[0] == 0 and time.monotonic() < deadline:
            time.sleep(0.2)


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    if report.when == "call" and report.failed:
        shot = screenshot(f"failed-{item.name}")
        report.sections.append(("screenshot", str(shot)))
