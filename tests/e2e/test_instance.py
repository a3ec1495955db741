"""One agent per user: a second start hands its folder over or ends quietly, and "/restart"
waits for the old agent."""
import time

from conftest import PATH_KEY, fresh_store, qftool, reg_set, wait_for, windows_path
from test_favourites import reg_values


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
