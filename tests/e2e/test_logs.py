"""The agent's own logs: error events written at once with the run log's tail, "/eraseintel"
writing nothing at all, and nothing written through a link someone put in the logs' place."""
import shutil
import time

from conftest import qftool, read_utf16_lines, wait_for
from test_tray_menu import close_menus


def test_error_event_writes_its_block_at_once(agent):
    agent.start(program="qrfolder_testfaults.exe")
    # A fault on a worker thread is logged with an error event.
    assert qftool("post-window", "WM_QFTESTFAULT", 1)[0] == 0
    block = wait_for(lambda: read_utf16_lines(agent.error_log_file), 5, what="the error log")
    text = "\n".join(block)
    assert "Message: Test fault on a worker thread Parameters: non main thread" in text
    assert "Last log entries:" in text
    assert "=" * 40 in text
    # The block carries the run log's tail: the start-up lines are in it.
    assert "QuillFolder.FormCreate Parameters: begin" in text
    assert agent.error_log_file.read_bytes().startswith(b"\xff\xfe")


def test_eraseintel_writes_no_log_file(agent):
    proc = agent.start("/eraseintel")
    assert qftool("queue", 4, "WM_QFMDIALOG", 0, 4)[0] == 0
    time.sleep(7)  # longer than the log thread's write period
    proc.kill()
    proc.wait(timeout=30)
    log_folder = agent.data_dir / "Log"
    assert not list(log_folder.glob("*.log")), list(log_folder.iterdir())


def test_a_link_in_the_place_of_the_log_folder_gets_nothing_written_through_it(agent):
    """Wine's token is an elevated administrator's, so this agent is an elevated one. Someone has
    put links where it logs. (Wine makes no junctions, and its CreateSymbolicLink makes nothing: a
    symbolic link of the host stands in, which Wine reports as a reparse point, as Windows reports
    a junction.)"""
    elsewhere = agent.data_dir.parent / (agent.data_dir.name + "-elsewhere")
    shutil.rmtree(elsewhere, ignore_errors=True)
    elsewhere.mkdir()
    log_folder = agent.data_dir / "Log"
    log_folder.symlink_to(elsewhere, target_is_directory=True)
    agent.start()
    assert qftool("latency")[0] == 0  # a logged request, and the menu it brings
    close_menus()
    time.sleep(7)  # longer than the log thread's write period
    assert list(elsewhere.iterdir()) == [], "written through the log folder's link"
    # (A link in a log file's own place is refused too, but Wine shows a host's link to a file as a
    # plain file: only Windows can show that.)
