"""What `make dist` builds, used as a Windows user would: the installer installs silently for the
user, upgrades over the running agent and uninstalls without a trace (or with its settings, on
/PURGE); the portable zip runs from any folder; a signed build carries a signature that checks."""
import os
import pathlib
import subprocess
import time
import zipfile

import pytest

from conftest import (AGENT_KEY, BUILD, PATH_KEY, ROOT, SETTINGS_KEY, qftool, reg_set, screenshot, wait_for,
                      windows_path, wine)
from test_favourites import reg_values

DIST = BUILD / "e2e-dist"
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillrook Folder"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
FILES = ("qrfolder.exe", "qf.dll", "shellext.dll", "qrfolder.chm", "qrfolder.exe.debug")


def dist(out, env=None):
    done = subprocess.run([str(ROOT / "scripts" / "dist.sh"), str(out)], capture_output=True, text=True, timeout=900,
                          env=env)
    assert done.returncode == 0, done.stdout + done.stderr
    return done.stdout


@pytest.fixture(scope="module")
def built():
    printed = dist(DIST)
    (setup,) = DIST.glob("quillrook-folder-*-setup.exe")
    (portable,) = DIST.glob("quillrook-folder-*-portable.zip")
    assert str(setup) in printed and str(portable) in printed and "left unsigned" in printed
    sums = (DIST / "SHA256SUMS").read_text().split()
    assert setup.name in sums and portable.name in sums
    return setup, portable


def unix_path(windows):
    return pathlib.Path(wine("winepath", "-u", windows).stdout.strip())


def local_programs():
    """Where a per-user install goes: its Windows path and the same folder on this side."""
    folder = wine("cmd", "/c", "echo %LOCALAPPDATA%").stdout.strip() + r"\Programs\Quillrook Folder"
    return folder, unix_path(folder)


def start_menu_shortcut():
    programs = wine("cmd", "/c", "echo %APPDATA%").stdout.strip() + r"\Microsoft\Windows\Start Menu\Programs"
    return unix_path(programs) / "Quillrook Folder.lnk"


def value(key, name):
    done = wine("reg", "query", key, "/v", name)
    return done.stdout if done.returncode == 0 else None


def agents():
    code, lines = qftool("agent")
    return int(lines[0].split()[0]) if code == 0 and lines else 0


def install(setup, *switches):
    # Without pipes: the agent it starts would hold them open.
    done = subprocess.run(["wine", str(setup), "/S", *switches], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          timeout=300)
    assert done.returncode == 0


def uninstall(folder, *switches):
    # The uninstaller copies itself away and returns at once: its work is waited for.
    subprocess.run(["wine", str(folder / "uninstall.exe"), "/S", *switches], stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=300)
    wait_for(lambda: value(UNINSTALL_KEY, "DisplayName") is None and not (folder / "uninstall.exe").exists(), 60,
             interval=0.5, what="the uninstaller to finish")


def test_a_user_installs_upgrades_it_while_it_runs_and_uninstalls_it_without_a_trace(agent, built):
    setup, _ = built
    windows_folder, folder = local_programs()
    reg_set(PATH_KEY, windows_path(agent.data_dir), "Reports")
    try:
        install(setup, "/CURRENTUSER", "/START")
        for name in FILES + ("uninstall.exe",):
            assert (folder / name).is_file(), name
        assert start_menu_shortcut().is_file()
        entry = value(UNINSTALL_KEY, "UninstallString")
        assert entry and windows_folder + r"\uninstall.exe" in entry
        for name in ("DisplayName", "DisplayVersion", "Publisher", "DisplayIcon", "QuietUninstallString",
                     "EstimatedSize"):
            assert value(UNINSTALL_KEY, name), name
        assert "1.0.1" in value(UNINSTALL_KEY, "DisplayVersion")
        assert windows_folder + r"\qrfolder.exe" in value(RUN_KEY, "Quillrook Folder")
        wait_for(lambda: agents() == 1, 30, interval=0.3, what="the installed agent")
        first_pid = agent.info()[2]
        favourites = reg_values(PATH_KEY)

        # The same installer again, over the running agent: it is asked to exit, its files are
        # replaced (or renamed aside while another program holds them), and one agent runs after.
        install(setup, "/CURRENTUSER", "/START")
        wait_for(lambda: agents() == 1 and agent.info()[2] != first_pid, 30, interval=0.3, what="the new agent")
        time.sleep(2)
        assert agents() == 1
        assert reg_values(PATH_KEY) == favourites
        assert not list(folder.glob("*.qf-old")), "leftovers are gone at the new agent's start"

        # A start-up task left from before goes with the program.
        assert qftool("elevation-task", "register")[0] == 0
        uninstall(folder)
        wait_for(lambda: agents() == 0, 30, interval=0.3, what="the agent to end")
        assert qftool("elevation-task", "exists")[0] != 0, "the task is gone"
        assert not folder.exists(), list(folder.iterdir())
        assert not start_menu_shortcut().exists()
        assert value(RUN_KEY, "Quillrook Folder") is None
        assert value(UNINSTALL_KEY, "DisplayName") is None
        assert value(SETTINGS_KEY, "ShowTray") is not None, "the settings stay"
        assert reg_values(PATH_KEY) == favourites

        # With /PURGE the settings and favourites go too.
        install(setup, "/CURRENTUSER")
        assert agents() == 0, "a silent install starts nothing unless asked"
        uninstall(folder, "/PURGE")
        assert wine("reg", "query", AGENT_KEY).returncode != 0, "the settings key is gone"
    finally:
        if (folder / "uninstall.exe").exists():
            uninstall(folder, "/PURGE")


def test_an_install_for_all_users_goes_to_program_files_and_the_machines_entry(agent, built):
    setup, _ = built
    machine_entry = UNINSTALL_KEY.replace("HKCU", "HKLM")
    folder = unix_path(wine("cmd", "/c", "echo %ProgramW6432%").stdout.strip() + r"\Quillrook Folder")
    try:
        # The Wine user is an administrator already: nothing asks for rights.
        install(setup, "/ALLUSERS")
        assert (folder / "qrfolder.exe").is_file()
        assert "/ALLUSERS" in value(machine_entry, "UninstallString")
        assert value(UNINSTALL_KEY, "DisplayName") is None, "no entry of the user's"
        subprocess.run(["wine", str(folder / "uninstall.exe"), "/S", "/ALLUSERS"], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300)
        wait_for(lambda: value(machine_entry, "DisplayName") is None and not folder.exists(), 60, interval=0.5,
                 what="the uninstaller to finish")
    finally:
        if (folder / "uninstall.exe").exists():
            wine(str(folder / "uninstall.exe"), "/S", "/ALLUSERS")


def test_the_installer_asks_for_whom_on_its_first_page(built):
    setup, _ = built
    proc = subprocess.Popen(["wine", str(setup)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_for(lambda: qftool("windows", "#32770", "Quillrook Folder Setup")[0] == 0, 60, interval=0.5,
                 what="the installer's window")
        time.sleep(1)
        screenshot("installer-first-page")
        assert qftool("control-text", "Quillrook Folder Setup", 1037)[1] == ["Install for whom?"]  # the page's header
        assert qftool("dialog-click", "Quillrook Folder Setup", 2)[0] == 0  # Cancel
        # "Are you sure you want to quit?", in front: Yes.
        wait_for(lambda: len(qftool("windows", "#32770", "Quillrook Folder Setup")[1]) == 2, 15, interval=0.3,
                 what="the question")
        assert qftool("dialog-click", "Quillrook Folder Setup", 6)[0] == 0
        proc.wait(timeout=30)
        assert value(UNINSTALL_KEY, "DisplayName") is None, "cancelled: nothing is installed"
    finally:
        proc.kill()
        proc.wait()


def test_a_file_still_loaded_elsewhere_is_renamed_aside_and_gone_at_the_next_start(agent, built):
    setup, _ = built
    windows_folder, folder = local_programs()
    try:
        install(setup, "/CURRENTUSER")
        # Another program holds the hook library, as every program with the hook does.
        holder = subprocess.Popen(["wine", str(BUILD / "windows" / "bin" / "qftool.exe"), "hold-library",
                                   windows_folder + r"\qf.dll", "60"], stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, text=True)
        try:
            assert holder.stdout.readline().strip() == "locked"
            install(setup, "/CURRENTUSER")
            aside = list(folder.glob("qf.dll.*.qf-old"))
            assert len(aside) == 1 and (folder / "qf.dll").is_file(), list(folder.iterdir())
        finally:
            holder.kill()
            holder.wait()
        subprocess.Popen(["wine", str(folder / "qrfolder.exe")], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: agents() == 1, 30, interval=0.3, what="the installed agent")
        agent.wait_log("Main Parameters: Removed: " + windows_folder + "\\" + aside[0].name)
        assert not aside[0].exists()
    finally:
        wine("taskkill", "/f", "/im", "qrfolder.exe")
        if (folder / "uninstall.exe").exists():
            uninstall(folder)


def test_the_portable_zip_runs_from_the_folder_it_is_unpacked_into(agent, built):
    _, portable = built
    folder = agent.data_dir / "portable copy"
    with zipfile.ZipFile(portable) as packed:
        assert packed.testzip() is None
        assert set(FILES) <= set(packed.namelist()), packed.namelist()
        packed.extractall(folder)
    proc = agent.launch(program=str(folder / "qrfolder.exe"))
    wait_for(lambda: agents() == 1, 30, interval=0.3, what="the portable agent")
    agent.wait_log("QuillFolder.FormCreate Parameters: begin")
    assert proc.poll() is None


def test_a_signed_build_carries_a_signature_that_checks(tmp_path):
    key, certificate, pfx = tmp_path / "key.pem", tmp_path / "cert.pem", tmp_path / "sign.pfx"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", certificate,
                    "-days", "1", "-subj", "/CN=Quillrook Test Signer"], check=True, capture_output=True)
    (tmp_path / "password").write_text("throw-away")
    subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", certificate, "-out", pfx, "-passout",
                    "pass:throw-away"], check=True, capture_output=True)
    printed = dist(tmp_path / "signed", env={**os.environ, "SIGN_PFX": str(pfx),
                                             "SIGN_PASSWORD_FILE": str(tmp_path / "password")})
    assert "left unsigned" not in printed
    (setup,) = (tmp_path / "signed").glob("*-setup.exe")
    with zipfile.ZipFile(next((tmp_path / "signed").glob("*-portable.zip"))) as packed:
        packed.extract("qrfolder.exe", tmp_path)
    for signed in (setup, tmp_path / "qrfolder.exe"):
        checked = subprocess.run(["osslsigncode", "verify", "-CAfile", certificate, "-in", signed],
                                 capture_output=True, text=True)
        assert checked.returncode == 0 and "Signature verification: ok" in checked.stdout, checked.stdout
