"""The recent folders and files follow what the user opens while the agent runs: the documents
come up in "Recently Opened Files" and their folders in "Recently Opened Folders" within seconds,
a recent file picked in an Open dialog opens there, a recent folder drives a Save As dialog and
becomes the newest, and "Clear" empties both submenus."""
import time

from conftest import (fresh_store, open_save_as, options_dialog_opened_and_closed, qftool, reg_set, screenshot,
                      visible_menus, wait_for, windows_path, wine, xdotool)
from test_favourites import VK_DOWN, VK_RETURN, VK_RIGHT, open_folder_menu, pick
from test_navigation import open_menu_in

VK_UP, VK_ESCAPE = 0x26, 0x1B


def submenu(*keys):
    """Opens a submenu of the folder menu with keys; both menus are then up."""
    assert qftool("menu-keys", *keys)[0] == 0
    wait_for(lambda: len(visible_menus()) == 2, 10, what="the submenu")


def menu_height(rectangle):
    _, _, top, _, bottom = open_menu_in(rectangle)[0]
    pick(VK_ESCAPE)
    return bottom - top


def list_count(title):
    code, lines = qftool("list-count", title)
    return lines[0] if code == 0 and lines else ""


def test_opened_documents_come_up_in_the_recent_submenus_and_drive_the_dialogs(agent, programs):
    fresh_store()
    docs, other = agent.data_dir / "docs", agent.data_dir / "other"
    docs.mkdir()
    other.mkdir()
    report, memo = docs / "report.txt", other / "memo.txt"
    for file in (report, memo, other / "extra.txt"):
        file.write_text(file.name)
    agent.start()
    _, rectangle = open_save_as(programs, agent.data_dir, keys="ctrl+o", title="Open")
    without = menu_height(rectangle)

    # The user opens two documents; the shell notes them in its Recent folder (times there have
    # a resolution of two seconds).
    assert qftool("recent", windows_path(memo))[0] == 0
    time.sleep(2.5)
    assert qftool("recent", windows_path(report))[0] == 0
    agent.wait_log("Timer1Timer Parameters: FindRecent", timeout=15)
    assert menu_height(rectangle) > without, "the recent submenus are there"

    # The newest file, picked in notepad's Open dialog, opens in notepad.
    open_menu_in(rectangle)
    screenshot("recent-menu")
    submenu(VK_DOWN, VK_DOWN, VK_RIGHT)
    screenshot("recent-files")
    pick(VK_RETURN)
    wait_for(lambda: xdotool("search", "--name", "report.txt - Notepad").stdout.strip(), 20,
             what="notepad with the recent file")
    agent.wait_log("RecentFileClick Parameters: Path=" + windows_path(report))
    # That notepad goes, so it cannot come up over the next one's dialog.
    programs[-1].kill()
    programs[-1].wait(timeout=30)
    wait_for(lambda: not xdotool("search", "--name", "report.txt - Notepad").stdout.strip(), 20,
             what="the first notepad to go")

    # The older folder drives a Save As dialog there and becomes the newest: its second item is
    # then the other folder.
    _, rectangle = open_save_as(programs, agent.data_dir)
    for expected in ("2", "1"):
        open_menu_in(rectangle)
        submenu(VK_DOWN, VK_RIGHT)
        pick(VK_DOWN, VK_RETURN)
        wait_for(lambda: list_count("Save As") == expected, 15, what=f"{expected} file(s) in the dialog's folder")

    # "Clear" (the last item of a recent submenu) takes both submenus away: the first item under
    # the empty favourites is then "Options...".
    open_menu_in(rectangle)
    submenu(VK_DOWN, VK_RIGHT)
    pick(VK_UP, VK_RETURN)
    open_menu_in(rectangle)
    pick(VK_DOWN, VK_RETURN)
    options_dialog_opened_and_closed()


def test_with_both_recent_lists_off_a_change_in_the_recent_folder_rebuilds_nothing(agent):
    fresh_store(RecentFldr=0, RecentFls=0)
    note = agent.data_dir / "note.txt"
    note.write_text("note")
    agent.start()
    assert qftool("recent", windows_path(note))[0] == 0
    agent.wait_log("Find changes in folder Parameters: Path=")
    # Past the merge interval and the scan's timer; then a menu, whose log line comes after
    # anything the change could have caused.
    time.sleep(6)
    open_folder_menu()
    pick(VK_ESCAPE)
    agent.wait_log("ShowPath Parameters: begin")
    assert not [line for line in agent.log_lines() if "Timer1Timer" in line]


SHELL_FOLDERS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"


def test_without_the_shell_folders_value_the_recent_lists_come_from_the_systems_recent_folder(agent, programs):
    fresh_store()
    memo = agent.data_dir / "memo.txt"
    memo.write_text("memo")
    assert qftool("recent", windows_path(memo))[0] == 0
    recent = wine("reg", "query", SHELL_FOLDERS, "/v", "Recent").stdout.split("REG_SZ")[-1].strip()
    assert recent, "the shell noted its Recent folder"
    try:
        assert wine("reg", "delete", SHELL_FOLDERS, "/v", "Recent", "/f").returncode == 0
        agent.start()
        # The newest recent file, picked in an Open dialog, opens there.
        _, rectangle = open_save_as(programs, agent.data_dir, keys="ctrl+o", title="Open")
        open_menu_in(rectangle)
        submenu(VK_DOWN, VK_DOWN, VK_RIGHT)
        pick(VK_RETURN)
        agent.wait_log("RecentFileClick Parameters: Path=" + windows_path(memo))
        agent.wait_log("QuillFolder.RecentFolder Parameters: Recent=" + recent)
    finally:
        reg_set(SHELL_FOLDERS, "Recent", recent)
