"""Copy Window Details from the tray menu over a dialog of a program the agent does not know: the
program, the window and its child windows with each one's path of classes go to the clipboard and
the run log, with what each recognition test said, and never the text of the box."""
import time

from conftest import SETTINGS_KEY, qftool, reg_set, visible_menus, wait_for, xdotool
from test_favourites import VK_DOWN, VK_RETURN, pick
from test_target_windows import Target

TITLE = "Quillrook Test Dialog"


def copied(what):
    """The clipboard's lines once they tell of a window of class `what`."""
    def lines():
        code, text = qftool("clipboard")
        return text if code == 0 and any(f"Window: {what} " in line for line in text) else None
    return wait_for(lines, 10, what=f"the details of {what} on the clipboard")


def test_copy_window_details_gives_the_tree_and_the_boxs_path_but_not_its_text(agent, programs):
    reg_set(SETTINGS_KEY, "DetailsKey", (3 << 16) | ord("D"), "REG_DWORD")  # Ctrl+Alt+D
    agent.start()
    dialog = Target(programs, agent.data_dir, "qf-dialog", at=(80, 80)).ready()
    other = Target(programs, agent.data_dir, "vista", at=(640, 80)).ready()
    # In front by a click on the pane, below the box.
    x, y = dialog.point
    xdotool("mousemove", x, y + 60, "click", "1")
    wait_for(lambda: qftool("focus", TITLE)[1][:1] and qftool("focus", TITLE)[1][0].startswith("1 "), 10,
             what="the test dialog in front")
    time.sleep(0.5)
    # The tray menu's eleventh command.
    xdotool("mousemove", 700, 600)
    assert qftool("post-thread", 1147)[0] == 0
    wait_for(visible_menus, 10, what="the tray menu")
    pick(*([VK_DOWN] * 11), VK_RETURN)

    lines = copied("QfTestDialog")
    text = "\n".join(lines)
    assert lines[0] == "Program: target_windows.exe", text
    assert lines[1].startswith(f'Window: QfTestDialog "{TITLE}" style=0x'), text
    box = [line for line in lines if line.strip().startswith("Edit id=1001")]
    assert len(box) == 1 and box[0].startswith("      Edit"), text  # three levels down
    assert box[0].endswith(r" visible enabled text=15 path=QfPane\QfInner\Edit"), text
    assert any(line.strip().startswith("QfInner id=0") and line.endswith(r"path=QfPane\QfInner") for line in lines)
    assert "secret-name" not in text, "the box's text was copied"
    assert "  file dialog: no" in lines and "  the menu takes it as: the desktop (nothing else took it)" in lines, text
    # The same lines in the run log.
    agent.wait_log(r"CopyWindowDetails Parameters:       Edit id=1001")
    assert not [line for line in agent.log_lines() if "secret-name" in line]

    # The hot key reads the window under the mouse, not the one in front: a file dialog, and the
    # recognition says so.
    xdotool("mousemove", *other.point)
    time.sleep(0.3)
    xdotool("key", "ctrl+alt+d")
    lines = copied("#32770")
    assert "  file dialog: yes" in lines and "  the menu takes it as: a file dialog" in lines, lines
    assert any(line.startswith("  file-name box: id ") for line in lines), lines
