"""Explorer Jump: notepad's real Open dialog goes to the folder of the Explorer window used last, on
Ctrl+G or by itself, keeping the typed name; the key is held only while such a dialog is in front;
the folder menu's "Explorer Jump in notepad.exe" and the options page leave programs alone.

The Explorer windows are target_windows' stand-ins with Explorer's class tree (Wine's own file
manager shows only a folder's name). Wine's out-of-context foreground event does not reach the
agent here, so these scenarios also show that the agent sees the foreground change without it."""
import time

from conftest import SETTINGS_KEY, fresh_store, open_save_as, qftool, reg_set, wait_for, windows_path, xdotool
from conftest import screenshot, wine
from test_favourites import VK_RETURN, pick
from test_navigation import NAME_BOX, open_menu_in
from test_options import CANCEL, OK, OPTIONS, click, dialog_up, keys, open_options, press
from test_target_windows import Target

DIALOG = "Open"
LOOK_IN = 0x471
JUMP_KEY, JUMP_NEVER, JUMP_BACK, JUMP_EXCLUDED, JUMP_PROGRAM, JUMP_ADD, JUMP_REMOVE = (
    3171, 3172, 3173, 3175, 3176, 3177, 3178)
MOD_CONTROL, VK_G, VK_UP = 2, 0x47, 0x26
JUMP = "ExplorerJump Parameters: "
# Notepad's main window, and a point of its text (it opens at the screen's top left).
NOTEPAD, NOTEPAD_TEXT = "Untitled - Notepad", (300, 300)


def folders(agent, *names):
    """Folders of these names under the data folder."""
    made = []
    for name in names:
        folder = agent.data_dir / "qs" / name
        folder.mkdir(parents=True)
        made.append(folder)
    return made


def use(title, point, settle=True):
    """The user turns to a window by a click on a point of it with no control (Wine does not
    activate a window on the X focus alone every time); with `settle`, until it is in front. (A
    dialog that jumps by itself is not waited for: under Wine the foreground is nobody's once the
    agent has let go of the dialog's input, which Windows does not do.)"""
    xdotool("mousemove", *point, "click", "1")

    def in_front():
        code, lines = qftool("focus", title)
        return code == 0 and lines and lines[0].split()[0] == "1"
    if settle:
        wait_for(in_front, 10, what=f"{title} in front")
        # The user works there a moment: where the foreground's event does not come (Wine), the
        # agent looks at the foreground every 200 ms.
        time.sleep(0.5)


def blank_of(dialog):
    """A point of the dialog with no control, right of the "Encoding" box on its last row."""
    left, _, right, bottom = dialog
    return left + (right - left) * 4 // 5, bottom - 18


def looks_in():
    """The folder the dialog shows, by its "Look in" box."""
    code, lines = qftool("control-text", DIALOG, LOOK_IN)
    return lines[0] if code == 0 and lines else ""


def name_box():
    code, lines = qftool("control-text", DIALOG, NAME_BOX)
    return lines[0] if code == 0 and lines else ""


def jumps(agent, how, dialog=None):
    """The log's jumps of that way, to one dialog (its handle) or to any."""
    to = f" to dialog {dialog:06X} " if dialog else ""
    return [line for line in agent.log_lines() if JUMP + how + " from " in line and to in line]


def left(agent):
    """How many times the log says an Explorer window lost the foreground."""
    return sum(JUMP + "Explorer " in line and " left in " in line for line in agent.log_lines())


def right_part(target):
    """A point of an Explorer stand-in that notepad's window (at the screen's left) leaves uncovered."""
    x, y = target.point
    return x + 250, y


def logged_past(agent, explorer, what, dialog_at=None):
    """`explorer`: the title and the Target of an Explorer window to turn to."""
    """Waits until the log holds one more "left" line than before `what` ran: whatever the agent
    did at `what` is in the log by then (the log is written in batches)."""
    before = left(agent)
    what()
    use(explorer[0], right_part(explorer[1]))
    if dialog_at:
        use(DIALOG, blank_of(dialog_at), settle=False)
    else:
        use(NOTEPAD, NOTEPAD_TEXT)
    wait_for(lambda: left(agent) > before, 15, what="the log to pass that moment")


def test_the_jump_key_takes_the_dialog_to_the_explorer_window_used_last(agent, programs):
    fresh_store()
    one, two = folders(agent, "one", "two")
    agent.start()
    first = "one", Target(programs, agent.data_dir, "explorer", "--folder", windows_path(one), at=(660, 20)).ready()
    use("one", right_part(first[1]))
    # Only while a file dialog is in front is the key the agent's.
    assert qftool("hotkey-free", MOD_CONTROL, VK_G)[0] == 0, "the key held with no dialog in front"
    dialog = open_save_as(programs, agent.data_dir, keys="ctrl+o", title=DIALOG)[1]
    agent.wait_log(JUMP + "Explorer ")
    assert any("left in " + windows_path(one) in line for line in agent.log_lines())
    wait_for(lambda: qftool("hotkey-free", MOD_CONTROL, VK_G)[0] != 0, 10, what="the key to be held for the dialog")
    assert qftool("control-set", DIALOG, NAME_BOX, "report.txt")[0] == 0

    xdotool("key", "ctrl+g")
    wait_for(lambda: looks_in() == "one", 15, what="the dialog to show one")
    wait_for(lambda: name_box() == "report.txt", 15, what="the typed name to come back")
    line, = wait_for(lambda: jumps(agent, "by key"), 15, what="the jump's log line")
    assert "in " + windows_path(one) + " to dialog " in line and line.endswith("of notepad.exe"), line

    # A second Explorer window, used last, wins.
    second = "two", Target(programs, agent.data_dir, "explorer", "--folder", windows_path(two), at=(660, 420)).ready()
    use("two", right_part(second[1]))
    wait_for(lambda: qftool("hotkey-free", MOD_CONTROL, VK_G)[0] == 0, 10, what="the key to be let go")
    use(DIALOG, blank_of(dialog))
    wait_for(lambda: qftool("hotkey-free", MOD_CONTROL, VK_G)[0] != 0, 10, what="the key to be held again")
    xdotool("key", "ctrl+g")
    wait_for(lambda: looks_in() == "two", 15, what="the dialog to show two")
    wait_for(lambda: name_box() == "report.txt", 15, what="the typed name to come back")
    wait_for(lambda: len(jumps(agent, "by key")) == 2, 15, what="the second jump's log line")

    # A window of Explorer's class that names a share (any program can make one) is not followed:
    # the dialog would sign in to a host of that program's choosing.
    share = r"\\qf-attacker\share"
    third = "share", Target(programs, agent.data_dir, "explorer", "--folder", share, at=(660, 600)).ready()
    use("share", right_part(third[1]))
    use(DIALOG, blank_of(dialog))
    xdotool("key", "ctrl+g")
    agent.wait_log(JUMP + "by key: a network folder named by a window not of the shell, not followed: " + share)
    assert looks_in() == "two" and name_box() == "report.txt"
    assert not any("SetDataToDialog Parameters: Hwnd=" in line and share in line for line in agent.log_lines())

    # The dialog gone, notepad's own window has Ctrl+G: the agent lets go of it.
    assert qftool("dialog-click", DIALOG, 2)[0] == 0
    wait_for(lambda: qftool("windows", "#32770", DIALOG)[0] != 0, 10, what="the dialog to close")
    use(NOTEPAD, NOTEPAD_TEXT)
    wait_for(lambda: qftool("hotkey-free", MOD_CONTROL, VK_G)[0] == 0, 10, what="the key to be let go")
    xdotool("key", "ctrl+g")
    wait_for(lambda: qftool("windows", "#32770", "Go To Line")[0] == 0, 10, what="notepad's Go To Line")
    assert qftool("dialog-click", "Go To Line", 2)[0] == 0
    wait_for(lambda: qftool("windows", "#32770", "Go To Line")[0] != 0, 10, what="Go To Line to close")
    logged_past(agent, first, lambda: None)
    assert len(jumps(agent, "by key")) == 2
    assert not jumps(agent, "by itself"), "AutoJump is off by default"


def excluded(program):
    return wine("reg", "query", SETTINGS_KEY + r"\JumpExcluded", "/v", program).returncode == 0


def switch_in_menu(dialog):
    """The folder menu over the dialog, and its "Explorer Jump in notepad.exe" picked: from the
    bottom, above "Check for Updates..."."""
    open_menu_in(dialog)
    pick(VK_UP, VK_UP, VK_RETURN)


def test_by_itself_the_dialog_follows_once_and_never_in_an_excluded_program(agent, programs):
    fresh_store(AutoJump=1)
    # A value that names no program is passed over with a line in the log.
    reg_set(SETTINGS_KEY + r"\JumpExcluded", r"C:\x\notepad.exe", 1, "REG_DWORD")
    one, = folders(agent, "one")
    agent.start()
    # The dialog first: with AutoJump 1 a dialog that comes up stays where it is.
    dialog = open_save_as(programs, agent.data_dir, keys="ctrl+o", title=DIALOG)[1]
    first = "one", Target(programs, agent.data_dir, "explorer", "--folder", windows_path(one), at=(660, 20)).ready()
    assert qftool("control-set", DIALOG, NAME_BOX, "report.txt")[0] == 0
    assert looks_in() not in ("", "one")

    # From the Explorer window back to the dialog: it follows by itself, once.
    use("one", right_part(first[1]))
    use(DIALOG, blank_of(dialog), settle=False)
    wait_for(lambda: looks_in() == "one", 15, what="the dialog to show one")
    wait_for(lambda: name_box() == "report.txt", 15, what="the typed name to come back")
    line, = wait_for(lambda: jumps(agent, "by itself"), 15, what="the jump's log line")
    assert "in " + windows_path(one) + " to dialog " in line, line
    logged_past(agent, first, lambda: None, dialog)
    assert len(jumps(agent, "by itself")) == 1, "the same dialog and folder twice"
    assert not jumps(agent, "by key")
    assert any("no program name, passed over" in line for line in agent.log_lines())

    # The folder menu over the dialog excludes notepad: a dialog that comes up stays where it is.
    switch_in_menu(dialog)
    agent.wait_log(JUMP + "excluded: notepad.exe")
    assert excluded("notepad.exe")
    assert qftool("dialog-click", DIALOG, 2)[0] == 0
    wait_for(lambda: qftool("windows", "#32770", DIALOG)[0] != 0, 10, what="the dialog to close")
    handle, dialog = open_save_as(programs, agent.data_dir, keys="ctrl+o", title=DIALOG)
    logged_past(agent, first, lambda: None, dialog)
    assert not jumps(agent, "by itself", handle)
    assert looks_in() not in ("", "one")

    # And the same item takes notepad off the list again.
    switch_in_menu(dialog)
    agent.wait_log(JUMP + "works again in notepad.exe")
    assert not excluded("notepad.exe")


def test_the_options_page_sets_the_key_the_way_and_the_programs_left_alone(agent):
    fresh_store()
    reg_set(SETTINGS_KEY + r"\JumpExcluded", "mspaint.exe", 1, "REG_DWORD")
    agent.start()
    open_options(page=3)
    screenshot("options-explorer-jump")
    assert qftool("control-state", OPTIONS, JUMP_KEY)[1][0].split()[1:] == ["71", "2"], "Ctrl+G shown"
    assert qftool("checked", OPTIONS, JUMP_NEVER)[0] == 0
    assert qftool("list-items", OPTIONS, JUMP_EXCLUDED)[1] == ["mspaint.exe"]

    click(OPTIONS, JUMP_KEY)
    keys("ctrl+j")
    click(OPTIONS, JUMP_BACK)
    # A path is no program's name: said in a message, and nothing is added.
    click(OPTIONS, JUMP_PROGRAM)
    xdotool("type", "C:\\x\\winword.exe")
    press(OPTIONS, JUMP_ADD)
    dialog_up("Information")
    press("Information", OK)
    assert qftool("control-set", OPTIONS, JUMP_PROGRAM, " winword.exe ")[0] == 0
    press(OPTIONS, JUMP_ADD)
    assert qftool("list-items", OPTIONS, JUMP_EXCLUDED)[1] == ["mspaint.exe", "winword.exe"]
    _, _, left, top, _, _ = map(int, qftool("control-at", OPTIONS, JUMP_EXCLUDED)[1][0].split())
    xdotool("mousemove", left + 20, top + 6, "click", "1")
    press(OPTIONS, JUMP_REMOVE)
    assert qftool("list-items", OPTIONS, JUMP_EXCLUDED)[1] == ["winword.exe"]
    press(OPTIONS, OK)

    assert reg_dword("JumpKey") == (MOD_CONTROL << 16) | 0x4A
    assert reg_dword("AutoJump") == 1
    assert not excluded("mspaint.exe") and excluded("winword.exe")
    # F1 on the page opens its help topic.
    open_options(page=3)
    keys("F1")
    wait_for(lambda: qftool("windows", "HH Parent")[0] == 0, 15, what="the help viewer")
    agent.wait_log("HtmlHelp Parameters: Topic=jump.htm")
    qftool("close", "HH Parent")
    press(OPTIONS, CANCEL)


def reg_dword(name):
    out = wine("reg", "query", SETTINGS_KEY, "/v", name).stdout
    return int(out.split("REG_DWORD")[1].split()[0], 16)
