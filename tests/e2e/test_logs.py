"""The agent's own logs: error events written at once with the run log's tail, and
"/eraseintel" writing nothing at all."""
import time

from conftest import qftool, read_utf16_lines, wait_for


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
