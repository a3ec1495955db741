"""`make demo`: the agent doing its job once, with pictures. Starts the agent, opens notepad's
real Save As dialog, middle-clicks in it, photographs the folder menu, picks a favourite and
photographs the dialog in its new folder. Runs inside scripts/with-wine.sh."""
import pathlib
import shutil
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import conftest as qf  # noqa: E402


def main():
    demo = qf.SCRATCH / "demo"
    shutil.rmtree(demo, ignore_errors=True)
    folder = demo / "Quillrook demo"
    folder.mkdir(parents=True)
    for name in ("notes.txt", "plan.txt", "budget.txt"):
        (folder / name).write_text("demo\n")
    qf.fresh_store()
    qf.reg_set(qf.PATH_KEY, qf.windows_path(folder), "Quillrook demo$0")
    qf.reg_set(qf.FILTER_KEY, "*.txt", "Text files")
    assert qf.wine("reg", "add", qf.DATA_KEY, "/v", "SaveDir", "/t", "REG_SZ", "/d",
                   qf.windows_path(demo) + "\\", "/f").returncode == 0

    agent = qf.Agent(demo)
    programs = []
    try:
        agent.start()
        _, (left, top, right, bottom) = qf.open_save_as(programs)
        qf.qftool("control-set", "Save As", 0x47C, "letter.txt")
        x, y = left + (right - left) // 2, top + (bottom - top) // 3
        qf.xdotool("mousemove", x, y, "click", "2")
        qf.wait_for(qf.visible_menus, 10, what="the folder menu")
        time.sleep(1.0)  # a window that just appeared may not be painted yet
        menu_shot = qf.screenshot("demo-1-folder-menu")
        qf.qftool("menu-keys", 0x28, 0x0D)
        qf.wait_for(lambda: qf.qftool("control-text", "Save As", 0x47C)[1] == ["letter.txt"], 15,
                    what="the dialog to arrive")
        time.sleep(1.0)
        dialog_shot = qf.screenshot("demo-2-dialog-in-the-favourite")
    finally:
        agent.stop()
        for proc in programs:
            proc.kill()
    print("Quillrook Folder demo:")
    print(f"  the folder menu after a middle click in Save As: {menu_shot}")
    print(f"  the dialog in the picked favourite, typed name kept: {dialog_shot}")
    print(f"  the agent's log: {agent.log_file}")


if __name__ == "__main__":
    main()
