"""A console window as the menu's target: the hot key on Wine's console window shows the folder
menu, and a picked favourite takes the shell in it there ("cd /d" typed into the console's input,
the path quoted so that "&" and the parentheses stay literal): the next "cd" prints that folder.
The menu then reads the shell's folder: it offers to remove it while it is a favourite and to add
it once it is not. Windows Terminal's window (a stand-in whose command processor runs on a console
without a window, as a terminal's tabs do) is driven through that console the same way.
Wine's command processor does not take a caret-escaped "%" between quoted parts as Windows' does,
so the "%" of a path is left to the tables of the console lines."""
import re
import subprocess
import time

from conftest import (PATH_KEY, StartedWindow, focus, fresh_store, qftool, reg_set, visible_menus, wait_for, windows_path,
                      xdotool)
from test_favourites import VK_DOWN, VK_RETURN, pick, reg_values
from test_target_windows import favourites, start


def start_console(agent, programs):
    """The agent and Wine's console with the command processor; the console and a way to open
    the folder menu over it with the hot key."""
    agent.start()
    programs.append(subprocess.Popen(["wineconsole", "cmd"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    window = wait_for(lambda: xdotool("search", "--name", "cmd.exe").stdout.split(), 30, what="the console window")[0]
    # Ending the launcher leaves the console's own process and its shell: they go by themselves.
    console = StartedWindow(window)
    programs.append(console)

    def open_menu():
        # A click on the title bar brings the console to the front, as the user would.
        xdotool("mousemove", "--window", window, 200, 10, "click", 1)
        focus(window)
        xdotool("key", "super+z")
        wait_for(visible_menus, 10, what="the folder menu")

    return console, open_menu


def test_a_favourite_picked_for_a_console_takes_its_shell_there(agent, programs):
    fresh_store()
    target, = favourites(agent, "R&D (old) files")
    console, open_menu = start_console(agent, programs)

    open_menu()
    agent.wait_log("ShowPath Parameters: begin, type=10")
    pick(VK_DOWN, VK_RETURN)
    line = agent.wait_log("SetDataToConsole Parameters: Wnd=")[0]
    assert 'Line=cd /d "' in line, line
    shell = re.search(r"Pid=(\d+)", line).group(1)
    console.windows_pid = shell
    assert qftool("console-type", shell, "cd\\r")[0] == 0
    # The prompt before it names the folder too; "cd" prints it on a line of its own.
    wait_for(lambda: windows_path(target) in qftool("console-read", shell)[1], 15, what="cd printing the folder")
    assert windows_path(target) + ">cd" in qftool("console-read", shell)[1]

    # The shell now works in the favourite's folder: "Remove Current Folder" follows the favourite.
    open_menu()
    pick(VK_DOWN, VK_DOWN, VK_RETURN)
    wait_for(lambda: reg_values(PATH_KEY) == {}, 15, what="the shell's folder removed from the favourites")
    # Not a favourite any more: "Add Current Folder" is the first command under the empty section.
    open_menu()
    pick(VK_DOWN, VK_RETURN)
    added = wait_for(lambda: reg_values(PATH_KEY), 15, what="the shell's folder added")
    assert list(added) == [windows_path(target)], added


def test_a_terminal_window_takes_the_folder_in_its_tabs_shell(agent, programs):
    fresh_store()
    target, = favourites(agent, "terminal's folder")
    terminal, = start(agent, programs, ("terminal", (40, 40)))
    shell = terminal.lines("shell")[0]
    xdotool("mousemove", *terminal.point, "click", "1", "key", "super+z")
    wait_for(visible_menus, 10, what="the folder menu")
    agent.wait_log("ShowPath Parameters: begin, type=11")
    # The menu has read the folder the shell started in (the agent's data folder).
    agent.wait_log("GetPath Parameters: Wnd=%06X, Path=%s" % (terminal.handle, windows_path(agent.data_dir)))
    pick(VK_DOWN, VK_RETURN)
    assert agent.wait_log("SetDataToConsole Parameters: Wnd=")[0].endswith(
        'Pid=%s, Line=cd /d "%s"' % (shell, windows_path(target)))
    assert qftool("console-type", shell, "cd\\r")[0] == 0
    wait_for(lambda: windows_path(target) + ">cd" in qftool("console-read", shell)[1], 15, what="cd in the new folder")



def test_a_console_gets_a_clean_line_and_only_while_its_shell_waits_at_the_prompt(agent, programs):
    fresh_store()
    # A favourite someone else wrote into the user's branch: a share whose name ends its line and
    # runs a second command. It is written first, so it is the first in either order of values.
    reg_set(PATH_KEY, "\\\\host\\share\\x\r\necho PWNED", "forged$0")
    plain, = favourites(agent, "plain")
    console, open_menu = start_console(agent, programs)

    def typed_lines():
        return [line for line in agent.log_lines() if "SetDataToConsole Parameters: Wnd=" in line]

    open_menu()
    pick(VK_DOWN, VK_RETURN)
    agent.wait_log("SetDataToConsole Message: a path with a control character is not typed")
    assert typed_lines() == []

    open_menu()
    pick(VK_DOWN, VK_DOWN, VK_RETURN)
    shell = re.search(r"Pid=(\d+)", wait_for(typed_lines, 15, what="the line typed")[0]).group(1)
    console.windows_pid = shell
    assert qftool("console-type", shell, "cd\\r")[0] == 0
    wait_for(lambda: windows_path(plain) + ">cd" in qftool("console-read", shell)[1], 15, what="cd in the folder")

    # A program that reads the console's input runs there: nothing is typed, and a message says so.
    assert qftool("console-type", shell, 'find "x"\\r')[0] == 0
    time.sleep(2)  # for find to start
    open_menu()
    pick(VK_DOWN, VK_DOWN, VK_RETURN)
    assert "busy: " in wait_for(lambda: typed_lines()[1:], 15, what="the pick for the busy console")[0]
    wait_for(lambda: qftool("windows", "#32770", "Quillrook Folder")[0] == 0, 15, what="the message")
    assert qftool("close", "#32770", "Quillrook Folder")[0] == 0
    assert len(typed_lines()) == 2 and "Line=" not in typed_lines()[-1]
    assert "PWNED" not in qftool("console-read", shell)[1]
