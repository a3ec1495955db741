"""The agent drains the hook's shared queue: slot order, claimed slots left alone, unknown
messages freed, and each handled message logged and answered with the folder menu."""
import subprocess
import time

from conftest import BIN, qftool, visible_menus, wait_for, xdotool
from test_target_windows import Target, start


def close_menus():
    xdotool("mousemove", 1200, 1000, "click", "1")
    wait_for(lambda: not visible_menus(), 10, what="the menu to close")


def dropped_lines(agent):
    return [line for line in agent.log_lines() if "QuillFolder.WMHandler Parameters: dropped: " in line]


def test_a_slot_another_program_writes_is_taken_only_for_a_window_of_its_kind_under_the_mouse(agent, programs):
    # The desktop stand-in first, then a folder-browse dialog, which comes to the front.
    desktop, = start(agent, programs, ("desktop", (20, 20)))
    browse = Target(programs, agent.data_dir, "browse", at=(640, 20)).ready()
    _, own, _ = agent.info()
    # The stand-in reports its list view; the desktop the hook names is its top-level window.
    frame = int(qftool("windows", "Progman", "Program Manager")[1][0].split()[0], 16)
    assert qftool("focus", "Program Manager")[1][0].split()[0] == "0", "the desktop stand-in is not in front"
    # Another program forges triggers with the mouse on an empty spot: for the desktop stand-in,
    # for the agent's own hidden window, for no window; and one of the messages that only leave
    # the queue, and a claim it never publishes.
    xdotool("mousemove", 1000, 800)
    assert qftool("queue", 0, "WM_QFMDESKTOP", hex(frame), 1, 2, "WM_QFMDIALOG", hex(own), 4,
                  5, "WM_QFREXPLORER", 0, 55, 7, "WM_QFKEYDOWN", 0x1234, 3, 9, 1024, 0x4321, 4)[0] == 0
    wait_for(lambda: all(qftool("slot", n)[1] == ["0"] for n in (0, 2, 5, 7, 9)), 10,
             what="every slot, the claimed one after a second, to be freed")
    assert not visible_menus()
    # One line for the forged triggers of that second, and one for the stuck claim.
    agent.wait_log("slot(s) claimed for over a second freed")
    dropped = dropped_lines(agent)
    assert len(dropped) == 2, dropped
    assert (f"WM_QFMDESKTOP recive: Hwnd={frame:06X}, Type=1: neither in front nor under the mouse"
            in dropped[0]), dropped
    assert "1 slot(s) claimed for over a second freed (and 2 more before this)" in dropped[1], dropped
    assert not [line for line in agent.log_lines() if "recive" in line and "dropped" not in line]
    assert not [line for line in agent.log_lines() if "ShowPath" in line]

    # Under the mouse, a browse dialog named with a control that is not its tree is no trigger.
    time.sleep(1.1)
    xdotool("mousemove", *browse.point)
    assert qftool("queue", 3, "WM_QFMBROWSE", hex(browse.handle), 0xABC)[0] == 0
    agent.wait_log(f"dropped: WM_QFMBROWSE recive: Hwnd={browse.handle:06X}, Ctrl=000ABC: not a window of its kind")
    assert not visible_menus()
    # The same slot as the first, with the mouse on the desktop stand-in: the menu comes.
    xdotool("mousemove", *desktop.point)
    assert qftool("queue", 0, "WM_QFMDESKTOP", hex(frame), 1)[0] == 0
    wait_for(visible_menus, 10, what="the folder menu")
    close_menus()
    agent.wait_log(f"WM_QFMDESKTOP recive: Hwnd={frame:06X}, Type=1")
    agent.wait_log(f"ShowPath Parameters: begin, type=1, W={frame:06X}")


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
