"""The agent drains the hook's shared queue: slot order, claimed slots left alone, unknown
messages freed, and each handled message logged and answered with the folder menu."""
import subprocess
import time

from conftest import BIN, qftool, visible_menus, wait_for, xdotool


def close_menus():
    xdotool("mousemove", 1200, 1000, "click", "1")
    wait_for(lambda: not visible_menus(), 10, what="the menu to close")


def test_slots_are_handled_in_slot_order_and_claimed_slots_left_alone(agent):
    agent.start()
    _, window, _ = agent.info()
    xdotool("mousemove", 400, 300)
    # A first message opens the menu; the agent is inside its handler until the menu closes,
    # so the slots written meanwhile are all waiting when it goes on draining.
    assert qftool("queue", 0, "WM_QFMDESKTOP", hex(window), 1)[0] == 0
    wait_for(visible_menus, 10, what="the folder menu")
    assert qftool("queue", 5, "WM_QFREXPLORER", 0, 55, 2, "WM_QFHELP", 0, 22,
                  7, "WM_QFKEYDOWN", 0x1234, 3, 9, 1024, 0x4321, 4)[0] == 0
    close_menus()
    wait_for(lambda: qftool("slot", 7)[1] == ["0"], 10, what="the unknown message to be freed")
    assert qftool("slot", 2)[1] == ["0"]
    assert qftool("slot", 5)[1] == ["0"]
    assert qftool("slot", 9)[1] == ["1024"], "a claimed slot must be left alone"
    lines = agent.wait_log("WM_QFREXPLORER recive: Hwnd=000000, Type=55")
    log = agent.log_lines()
    first = next(i for i, l in enumerate(log) if "WM_QFHELP recive: Hwnd=000000, Type=22" in l)
    second = log.index(lines[0])
    assert first < second, "slot 2 must be handled before slot 5"
    assert not [l for l in log if "WM_QFKEYDOWN" in l]
    assert "WM_QFMDESKTOP recive: Hwnd=%06X, Type=1" % window in "\n".join(log)
    # Both handled messages had no window: the menu is refused with an error, never shown.
    errors = "\n".join(l for l in log if "Err (common): Function: ShowPath Message: W = 0" in l)
    assert errors
    qftool("queue", 9, 0, 0, 0)


def test_browse_message_logs_the_control_and_opens_the_menu(agent):
    agent.start()
    _, window, _ = agent.info()
    xdotool("mousemove", 500, 300)
    assert qftool("queue", 3, "WM_QFMBROWSE", hex(window), 0xABC)[0] == 0
    wait_for(visible_menus, 10, what="the folder menu")
    close_menus()
    agent.wait_log("WM_QFMBROWSE recive: Hwnd=%06X, Ctrl=000ABC" % window)
    agent.wait_log("ShowPath Parameters: begin, type=9, W=%06X" % window)


def test_idle_agent_keeps_its_hook(agent):
    agent.start()
    # Nobody touches mouse or keyboard: the heartbeat must stay fresh, without re-installs.
    time.sleep(8)
    code, lines = qftool("heartbeat")
    age, _, installed = (int(v) for v in lines[0].split())
    assert installed == 1
    assert age < 5000
    assert not [l for l in agent.log_lines() if "re-installing the hook" in l]


def test_stale_heartbeat_makes_the_agent_reinstall_its_hook_once(agent):
    agent.start()
    assert qftool("age-heartbeat", 6000)[0] == 0
    agent.wait_log("re-installing the hook")
    time.sleep(6)
    code, lines = qftool("heartbeat")
    age, _, installed = (int(v) for v in lines[0].split())
    assert installed == 1 and age < 5000, "the new hook keeps its heartbeat fresh"
    assert len([l for l in agent.log_lines() if "re-installing the hook" in l]) == 1


def test_messages_queued_before_the_agent_started_are_dropped(agent):
    # Another program keeps the record alive across agents, with a trigger left in its queue.
    holder = subprocess.Popen(["wine", str(BIN / "qftool.exe"), "hold", "30"],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    try:
        assert holder.stdout.readline().strip() == "held", "the record is held before the slot is queued"
        assert qftool("queue", 6, "WM_QFMDESKTOP", 0x10010, 1)[0] == 0
        agent.start()
        agent.wait_log("stale hook messages dropped: 1")
        assert not visible_menus()
        assert qftool("slot", 6)[1] == ["0"]
        assert not [l for l in agent.log_lines() if "WM_QFMDESKTOP recive" in l]
    finally:
        holder.kill()
        holder.wait(timeout=30)
