"""One agent per user: a second start hands its folder over or ends quietly, "/restart" waits
for the old agent, an administrator's unelevated start hands over to an elevated copy once, and
"/erasefull" removes the elevation task."""
import time

from conftest import PATH_KEY, fresh_store, qftool, reg_set, visible_menus, wait_for, windows_path, xdotool
from test_configuration import OPEN_CONFIGURATION, run_dialog
from test_favourites import open_folder_menu, pick, reg_values
from test_tray_menu import close_menus, tray_icon

VK_ESCAPE = 0x1B


def test_second_start_without_arguments_ends_without_a_window(agent):
    agent.start()
    count, window, pid = agent.info()
    assert count == 1
    second = agent.launch()
    assert second.wait(timeout=30) == 0
    assert agent.info() == (1, window, pid), "the second start must leave the running agent alone"


def test_unquoted_folder_with_a_blank_reaches_the_agent_whole(agent):
    folder = agent.data_dir / "my folder"
    folder.mkdir()
    agent.start()
    head, tail = windows_path(folder).rsplit(" ", 1)
    # Two arguments, as a shell passes an unquoted path with a blank.
    second = agent.launch(head, tail)
    assert second.wait(timeout=30) == 0
    agent.wait_log("QuillFolder.WMHandler Parameters: WM_QFADDFOLDER recive: " + windows_path(folder))
    assert agent.info()[0] == 1


def test_quoted_existing_folder_is_passed_unchanged(agent):
    folder = agent.data_dir / "with  two blanks"
    folder.mkdir()
    agent.start()
    second = agent.launch(windows_path(folder))
    assert second.wait(timeout=30) == 0
    agent.wait_log("WM_QFADDFOLDER recive: " + windows_path(folder))


def test_restart_gives_up_silently_while_the_old_agent_stays(agent):
    agent.start()
    before = agent.info()
    started = time.monotonic()
    restarted = agent.launch("/restart")
    assert restarted.wait(timeout=60) == 0
    waited = time.monotonic() - started
    assert 7.0 <= waited <= 20.0, f"the restart waited {waited:.1f} s"
    assert agent.info() == before


def test_restart_takes_over_when_the_old_agent_goes(agent):
    old = agent.start()
    _, _, old_pid = agent.info()
    restarted = agent.launch("/restart")
    time.sleep(1.5)
    assert restarted.poll() is None, "the restarted copy must wait for the old agent"
    old.kill()
    old.wait(timeout=30)
    new = wait_for(lambda: (lambda info: info if info[0] == 1 and info[2] != old_pid else None)(agent.info()),
                   20, interval=0.2, what="the restarted agent")
    assert new[0] == 1
    assert restarted.poll() is None, "the restarted copy is the agent now and keeps running"


def test_a_start_that_asks_about_its_folder_serves_the_tray_and_the_hook_meanwhile(agent):
    """The command line's folder is asked about while the tray icon and the hook are live: a
    tray click and a hook trigger during the question show the folder menu, and the folder is
    stored once the question is answered."""
    fresh_store(AlwaysAddDialog=1)
    folder = agent.data_dir / "asked at start"
    folder.mkdir()
    proc = agent.start(windows_path(folder))
    wait_for(lambda: qftool("windows", "#32770", "Add new item")[0] == 0, 15, what="the add-item dialog")
    x, y = tray_icon()
    xdotool("mousemove", x, y, "click", "1")
    wait_for(visible_menus, 10, what="the folder menu from the tray")
    close_menus()
    assert qftool("latency")[0] == 0
    wait_for(visible_menus, 10, what="the folder menu from the hook")
    close_menus()
    assert proc.poll() is None, "the agent survives the menus shown while it asks"
    assert qftool("dialog-click", "Add new item", 1)[0] == 0
    wait_for(lambda: windows_path(folder) in reg_values(PATH_KEY), 15, what="the folder asked about")
    assert proc.poll() is None


def test_a_favourite_given_on_the_command_line_is_not_asked_about_again(agent):
    fresh_store(AlwaysAddDialog=1)
    known = agent.data_dir / "known"
    known.mkdir()
    reg_set(PATH_KEY, windows_path(known), "Known$0")
    agent.start(windows_path(known))
    # A folder handed over later does bring up the question: the first one asked is that one.
    other = agent.data_dir / "other"
    other.mkdir()
    assert agent.launch(windows_path(other)).wait(timeout=30) == 0
    wait_for(lambda: qftool("windows", "#32770", "Add new item")[0] == 0, 15, what="the add-item dialog")
    code, lines = qftool("control-text", "Add new item", 3002)
    assert code == 0 and lines[0].endswith("\\other"), lines
    assert qftool("dialog-click", "Add new item", 2)[0] == 0
    wait_for(lambda: qftool("windows", "#32770", "Add new item")[0] != 0, 15, what="the dialog to close")
    assert reg_values(PATH_KEY) == {windows_path(known): "Known$0"}


def test_a_folder_handed_over_while_a_menu_or_a_message_box_is_up_is_added_once_it_closes(agent):
    fresh_store()
    agent.start()
    during_menu, during_message = agent.data_dir / "during menu", agent.data_dir / "during message"
    during_menu.mkdir()
    during_message.mkdir()

    open_folder_menu()
    assert agent.launch(windows_path(during_menu)).wait(timeout=30) == 0
    pick(VK_ESCAPE)
    wait_for(lambda: windows_path(during_menu) in reg_values(PATH_KEY), 15, what="the folder from the menu's time")
    assert qftool("atom", windows_path(during_menu))[0] != 0, "the agent deletes the atom it has read"

    # An import of a set without its lists ends in the agent's message box.
    run_dialog(OPEN_CONFIGURATION, "Open Configuration", agent.data_dir / "missing.qfs")
    wait_for(lambda: qftool("windows", "#32770", "Quillrook Folder")[0] == 0, 15, what="the message box")
    assert agent.launch(windows_path(during_message)).wait(timeout=30) == 0
    assert windows_path(during_message) not in reg_values(PATH_KEY)
    assert qftool("dialog-click", "Quillrook Folder", 1)[0] == 0
    wait_for(lambda: windows_path(during_message) in reg_values(PATH_KEY), 15, what="the folder from the box's time")
    assert qftool("atom", windows_path(during_message))[0] != 0


def test_an_unelevated_administrators_start_hands_over_once_and_its_folder_arrives(agent):
    """unelevated_agent.exe is the agent whose checks say "administrator under User Account
    Control, not elevated". Wine cannot run the elevation task, so the "runas" route starts the
    copy; the copy, told by the first that it is the hand-over's, goes on as the agent."""
    fresh_store(AlwaysAddDialog=0)
    folder = agent.data_dir / "handed over"
    folder.mkdir()
    first = agent.launch(windows_path(folder), program="unelevated_agent.exe")
    assert first.wait(timeout=60) == 0, "the unelevated start ends once it has handed over"
    agent.wait_log("Main Parameters: LaunchThroughScheduler required")
    agent.wait_log("TrySchedulerStart\\LaunchThroughScheduler fail")
    agent.wait_log("TrySchedulerStart\\ShellExecuteEx success Parameters: 1")
    wait_for(lambda: agent.info()[0] == 1, 30, interval=0.2, what="the copy's agent window")
    # The folder, one argument with a blank, reached the copy whole.
    wait_for(lambda: windows_path(folder) in reg_values(PATH_KEY), 15, what="the handed-over folder stored")
    time.sleep(2)
    assert agent.info()[0] == 1, "exactly one agent runs"
    assert sum("LaunchThroughScheduler required" in line for line in agent.log_lines()) == 1, "no second hand-over"


def test_an_administrators_copy_in_a_folder_the_user_can_write_is_never_started_elevated(agent):
    """The unelevated administrator's start, with its folder checked as the agent checks it: the
    build folder is the user's own, so the copy runs unelevated, says why, and removes the elevation
    task left pointing at that folder."""
    fresh_store(AlwaysAddDialog=0)
    assert qftool("elevation-task", "register")[0] == 0
    first = agent.launch(program="unelevated_agent.exe", env={"QF_TEST_REAL_FOLDER_CHECK": "1"})
    wait_for(lambda: agent.info()[0] == 1, 30, interval=0.2, what="the agent window")
    assert first.poll() is None and agent.info()[2] != 0
    line = agent.wait_log("Main Parameters: no elevated start, the program's folder is not protected: ")[0]
    assert ": the user may change it" in line, line
    # (Wine's Task Scheduler cannot give a task's actions back: the task's program reads as unknown.)
    agent.wait_log("UpdateScheduler Parameters: elevation task removed: ")
    assert qftool("elevation-task", "exists")[0] != 0, "the task is gone"
    assert not [line for line in agent.log_lines() if "LaunchThroughScheduler" in line or "ShellExecuteEx" in line]


def test_erasefull_removes_the_users_elevation_task_and_ends(agent):
    assert qftool("elevation-task", "register")[0] == 0
    assert qftool("elevation-task", "exists")[0] == 0
    assert agent.launch("/erasefull").wait(timeout=60) == 0
    assert qftool("elevation-task", "exists")[0] != 0, "the task is gone"
    assert agent.info()[0] == 0, "erasing starts no agent"


def test_a_hand_over_whose_copy_never_comes_up_takes_its_marker_back(agent):
    """The copy ends before it could take the marker: the first process, finding no agent after
    its wait, removes the marker, so the next start hands over again."""
    fresh_store(AlwaysAddDialog=0)
    first = agent.launch(program="unelevated_agent.exe", env={"QF_TEST_COPY_NEVER_COMES_UP": "1"})
    assert first.wait(timeout=60) == 0
    agent.wait_log("TrySchedulerStart\\ShellExecuteEx success Parameters: 1")
    assert agent.info()[0] == 0, "no agent came up"
    assert qftool("atom", "Quillrook Folder hand-over")[0] != 0, "the marker is gone"
    agent.wait_log("No agent came up, hand-over marker removed")


def test_messages_another_program_forges_leave_the_agent_running_and_serving(agent):
    agent.start()
    before = agent.info()
    wm_nccreate, wm_create, wm_initdialog, synchronize = 0x81, 0x01, 0x110, 0x8003
    wm_destroy, wm_close, wm_qfaddfolder = 0x02, 0x10, "WM_QFADDFOLDER"
    # Creation messages again, whose parameter would be the window's object: an address of the
    # sender's choosing. The change watch's call message, whose parameter once named the function
    # to run. A destruction message, sent and posted, that once stopped the hook and the tray and
    # left the agent running without them.
    for window, message in (("TQuillFolder", wm_nccreate), ("TQuillFolder", wm_create),
                            ("TQuillFolder", wm_initdialog), ("QuillFolderChangeWatch", wm_nccreate),
                            ("QuillFolderChangeWatch", synchronize), ("TQuillFolder", wm_destroy)):
        qftool("send-window", window, message, 0, 0x41414141)
    assert qftool("post-window", wm_destroy)[0] == 0
    # A folder message naming an atom of another program's: read, left alone, never deleted.
    assert qftool("atom-add", "OleDdeWndClass")[0] == 0
    atom = int(qftool("atom", "OleDdeWndClass")[1][0], 16)
    assert qftool("post-thread", wm_qfaddfolder, atom)[0] == 0
    agent.wait_log("WM_QFADDFOLDER left alone, no folder: OleDdeWndClass")
    assert qftool("atom", "OleDdeWndClass")[0] == 0, "the other program's atom is still there"
    assert agent.info() == before, "the agent went or changed"
    assert not [line for line in agent.log_lines() if " Err " in line]
    agent.wait_log("WM_DESTROY from outside ignored")
    # It still serves: a request from the hook brings the folder menu.
    assert qftool("latency")[0] == 0
    close_menus()
    # Closed from outside, it ends whole, as through the tray's "Exit".
    qftool("send-window", "TQuillFolder", wm_close, 0, 0)
    wait_for(lambda: agent.info()[0] == 0, 30, interval=0.2, what="the agent to end")
    assert all(proc.wait(timeout=30) == 0 for proc in agent.procs)
