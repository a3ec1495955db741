"""A console window as the menu's target: the hot key on Wine's console window shows the folder
menu, and a picked favourite takes the shell in it there ("cd /d" typed into the console's input,
the path quoted so that "&" and the parentheses stay literal): the next "cd" prints that folder.
Wine's command processor does not take a caret-escaped "%" between quoted parts as Windows' does,
so the "%" of a path is left to the tables of the console lines."""
import re
import subprocess

from conftest import PATH_KEY, focus, fresh_store, qftool, reg_set, visible_menus, wait_for, windows_path, xdotool
from test_favourites import VK_DOWN, VK_RETURN, pick


def test_a_favourite_picked_for_a_console_takes_its_shell_there(agent, programs):
    fresh_store()
    target = agent.data_dir / "R&D (old) files"
    target.mkdir()
    reg_set(PATH_KEY, windows_path(target), "Target$0")
    agent.start()
    programs.append(subprocess.Popen(["wineconsole", "cmd"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    window = wait_for(lambda: xdotool("search", "--name", "cmd.exe").stdout.split(), 30, what="the console window")[0]
    focus(window)
    xdotool("mousemove", 500, 400)
    xdotool("key", "super+z")
    wait_for(visible_menus, 10, what="the folder menu")
    agent.wait_log("ShowPath Parameters: begin, type=10")
    pick(VK_DOWN, VK_RETURN)
    line = agent.wait_log("SetDataToConsole Parameters: Wnd=")[0]
    assert 'Line=cd /d "' in line, line
    shell = re.search(r"Pid=(\d+)", line).group(1)
    assert qftool("console-type", shell, "cd\\r")[0] == 0
    # The prompt before it names the folder too; "cd" prints it on a line of its own.
    wait_for(lambda: windows_path(target) in qftool("console-read", shell)[1], 15, what="cd printing the folder")
    assert windows_path(target) + ">cd" in qftool("console-read", shell)[1]
