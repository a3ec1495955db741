"""Faults nobody handles, raised in the test build of the agent through its fault message: the
error log's trace, the state file, one error dialog, "Restart" and "Terminate", the bug report
saved and shown before anything leaves, and mailed over STARTTLS to a local SMTP server whose test
authority the Wine user trusts, without its password and without holding up the agent."""
import email
import io
import os
import socket
import subprocess
import threading
import time
import zipfile

import pytest
from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

from conftest import (BUILD, SETTINGS_KEY, qftool, read_utf16_lines, reg_set, screenshot, wait_for, windows_path,
                      visible_menus, wine, xdotool)
from test_tray_menu import close_menus, tray_icon
from test_configuration import SAVE_CONFIGURATION, run_dialog

FAULTS = "qrfolder_testfaults.exe"
ERROR_DIALOG = "Quillrook Folder"
SEND, IGNORE, RESTART, TERMINATE, NO_MAIL, SAVE, CONTENTS, CANCEL, WAIT = 3512, 3509, 3510, 3511, 3513, 3514, 3515, 3516, 3507
CONTENTS_DIALOG, CONTENTS_FILES, CONTENTS_TEXT = "What's in the report", 3551, 3552
MAIN_THREAD, WORKER_THREAD, HANDLED = 0, 1, 2
USER, PASSWORD = "report@quillrook.test", "Sekrit-123"


def fault(kind):
    assert qftool("post-window", "WM_QFTESTFAULT", kind)[0] == 0


def dialogs():
    code, lines = qftool("windows", "#32770", ERROR_DIALOG)
    return len(lines) if code == 0 else 0


def fault_with_dialog():
    """A fault on the agent's main thread, and the error dialog it brings up."""
    fault(MAIN_THREAD)
    wait_for(lambda: dialogs() == 1, 30, interval=0.3, what="the error dialog")


def press(button):
    """Clicks a button of the error dialog; a dialog just come up may not be found by its title for
    a moment yet, so the click is tried until it finds the button (and made once only)."""
    wait_for(lambda: qftool("dialog-click", ERROR_DIALOG, button)[0] == 0, 10, interval=0.2,
             what=f"button {button} of the error dialog")


def agent_gone(agent, timeout=60):
    wait_for(lambda: agent.info()[0] == 0, timeout, interval=0.3, what="the agent to end")


def test_a_fault_nobody_handles_brings_up_one_dialog_and_terminate_ends_the_agent(agent):
    agent.start(program=FAULTS)
    # Handled: only a trace in the error log. On a worker: the state file and a log line.
    fault(HANDLED)
    agent.wait_log("WM_QFTESTFAULT Parameters: handled: Test fault, handled")
    fault(WORKER_THREAD)
    agent.wait_log("Message: Test fault on a worker thread Parameters: non main thread")
    assert dialogs() == 0

    fault_with_dialog()
    screenshot("error-dialog")
    # No mail server is set up: sending is off, and says why; the report is saved instead.
    assert qftool("checked", ERROR_DIALOG, SEND)[0] == 1
    assert qftool("checked", ERROR_DIALOG, SAVE)[0] == 0
    assert "no mail server" in qftool("control-text", ERROR_DIALOG, NO_MAIL)[1][0]
    # Another fault while the dialog is up opens no second one.
    fault(MAIN_THREAD)
    time.sleep(2)
    assert dialogs() == 1

    errors = agent.error_log_lines()
    heads = [line for line in errors if " Exception std::runtime_error occured " in line]
    assert len(heads) >= 3, errors
    assert any("RaiseTestFault" in line for line in heads), heads
    assert "Message: Test fault on the main thread" in errors
    state = read_utf16_lines(agent.data_dir / "Log" / "folder_global_error.log")
    assert state[0].endswith(": Test fault on the main thread")
    assert state[1] == "Program version: 1.0.1"
    assert "RaiseTestFault" in state

    # Before anything leaves, "What's in it" shows the files and the text of each.
    _, (link,) = qftool("control-at", ERROR_DIALOG, CONTENTS)
    left, top, _, bottom = (int(v) for v in link.split()[2:6])
    xdotool("mousemove", left + 8, (top + bottom) // 2, "click", "1")
    wait_for(lambda: qftool("windows", "#32770", CONTENTS_DIALOG)[0] == 0, 15, interval=0.3, what="the report's files")
    screenshot("error-report-contents")
    entries = qftool("list-items", CONTENTS_DIALOG, CONTENTS_FILES)[1]
    assert "Log\\cur_opt.reg" in entries and "Log\\folder.log" in entries, entries
    shown = qftool("control-text", CONTENTS_DIALOG, CONTENTS_TEXT)[1]
    assert shown and shown[0].startswith("Windows Registry Editor Version 5.00"), shown
    assert qftool("dialog-click", CONTENTS_DIALOG, 2)[0] == 0
    wait_for(lambda: qftool("windows", "#32770", CONTENTS_DIALOG)[0] != 0, 15, interval=0.3, what="it to close")

    # "Terminate" with the report saved: the archive that was shown, opened in its folder.
    press(TERMINATE)
    agent_gone(agent)
    agent.wait_log("Error Message form Parameters: Click Terminate")
    archive = agent.data_dir / "bug-report.zip"
    with zipfile.ZipFile(archive) as packed:
        assert packed.testzip() is None
        assert {"Log\\folder.log", "Log\\cur_opt.reg"} <= set(packed.namelist()), packed.namelist()
    assert any(line.endswith("Save a report Parameters: Saved as " + windows_path(archive)) for line in agent.log_lines())
    wait_for(lambda: qftool("windows", "ExplorerWClass")[0] == 0 or qftool("windows", "CabinetWClass")[0] == 0, 15,
             interval=0.3, what="the folder with the report")


def test_a_report_that_cannot_be_built_is_not_dropped_as_if_it_had_gone(agent):
    # A folder in the archive's place: the archive cannot be created.
    (agent.data_dir / "bug-report.zip").mkdir()
    agent.start(program=FAULTS)
    fault_with_dialog()
    press(IGNORE)
    wait_for(lambda: "could not be built" in qftool("control-text", ERROR_DIALOG, NO_MAIL)[1][0], 30, interval=0.3,
             what="the dialog to say so")
    assert dialogs() == 1
    (agent.data_dir / "bug-report.zip").rmdir()
    press(IGNORE)
    wait_for(lambda: dialogs() == 0, 30, interval=0.3, what="the dialog to close")
    assert (agent.data_dir / "bug-report.zip").is_file()


def test_restart_starts_a_new_agent_that_waits_for_the_old_one(agent):
    agent.start(program=FAULTS)
    old_pid = agent.info()[2]
    fault_with_dialog()
    press(RESTART)
    new = wait_for(lambda: (lambda info: info if info[0] == 1 and info[2] != old_pid else None)(agent.info()), 60,
                   interval=0.3, what="the restarted agent")
    time.sleep(2)
    assert agent.info() == new, "exactly one agent runs"
    agent.wait_log("Error Message form Parameters: Click restart")


def test_the_shipped_agent_has_no_fault_message_whatever_its_environment_says(agent):
    name = "WM_QFTESTFAULT by Quillrook Folder"
    shipped, test_build = ((BUILD / "windows" / "bin" / program).read_bytes() for program in ("qrfolder.exe", FAULTS))
    assert name.encode("utf-16-le") in test_build
    assert name.encode("utf-16-le") not in shipped and name.encode() not in shipped
    # The switch the test build once read, set: every kind of fault is asked for, and nothing happens.
    agent.start(env={"QUILLROOK_TEST_FAULTS": "1"})
    for kind in (HANDLED, WORKER_THREAD, MAIN_THREAD):
        fault(kind)
    time.sleep(6)
    assert dialogs() == 0 and agent.info()[0] == 1
    assert not [line for line in agent.log_lines() + agent.error_log_lines() if "Test fault" in line or "WM_QFTESTFAULT" in line]


def test_an_export_that_cannot_write_a_file_ends_in_the_error_dialog(agent):
    agent.start()
    base = agent.data_dir / "backup.qfs"
    # Lists of an older set of that name (without its empty F, so the dialog does not ask about
    # replacing it), whose third file cannot be replaced.
    for name in ("backup.qfs1", "backup.qfs3"):
        (agent.data_dir / name).write_bytes(b"old")
    (agent.data_dir / "backup.qfs2").mkdir()
    run_dialog(SAVE_CONFIGURATION, "Save Configuration", base)
    wait_for(lambda: dialogs() == 1, 30, interval=0.3, what="the error dialog")
    message = qftool("control-text", ERROR_DIALOG, 3503)[1][0]
    assert message.startswith('Cannot write the file "' + windows_path(base) + '2"'), message
    # The older set stays as it was, and nothing half-written is left beside it.
    for name in ("backup.qfs1", "backup.qfs3"):
        assert (agent.data_dir / name).read_bytes() == b"old", name
    assert not base.exists()
    assert not list(agent.data_dir.glob("*.new"))
    press(IGNORE)
    wait_for(lambda: dialogs() == 0, 30, interval=0.3, what="the dialog to close")
    assert agent.info()[0] == 1, "the agent goes on after Ignore"


# -- the mailed report ----------------------------------------------------------------------

def certificates():
    """A test authority and server certificates it signed for "localhost" and for another
    host, made once per build tree (so the Wine user's trusted roots do not grow every run)."""
    folder = BUILD / "e2e-tls"
    if not (folder / "other.invalid.pem").exists():
        folder.mkdir(parents=True, exist_ok=True)

        def openssl(*args):
            subprocess.run(["openssl", *args], cwd=folder, check=True, capture_output=True)

        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "3650",
                "-subj", "/CN=Quillrook Test Authority", "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        for host in ("localhost", "other.invalid"):
            (folder / f"{host}.ext").write_text(f"subjectAltName=DNS:{host}\nextendedKeyUsage=serverAuth\n")
            openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{host}.key", "-out", f"{host}.csr",
                    "-subj", f"/CN={host}")
            openssl("x509", "-req", "-in", f"{host}.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
                    "-out", f"{host}.pem", "-days", "3650", "-extfile", f"{host}.ext")
    assert qftool("trust-ca", windows_path(folder / "ca.pem"))[0] == 0
    return folder


class MailServer:
    """aiosmtpd with STARTTLS required before AUTH LOGIN, counting connections and keeping the
    messages it accepts."""

    def __init__(self, certificate, key):
        import ssl

        self.messages, self.connections = [], 0
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(certificate, key)
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            self.port = probe.getsockname()[1]
        server = self

        class Counting(SMTP):
            def connection_made(self, transport):
                server.connections += 1
                super().connection_made(transport)

        class Handler:
            async def handle_DATA(self, smtp, session, envelope):
                server.messages.append(envelope)
                return "250 Message accepted"

        def authenticate(smtp, session, envelope, mechanism, data):
            return AuthResult(success=isinstance(data, LoginPassword) and data.login == USER.encode()
                              and data.password == PASSWORD.encode())

        class Controlled(Controller):
            def factory(self):
                return Counting(self.handler, **self.SMTP_kwargs)

        self.controller = Controlled(Handler(), hostname="127.0.0.1", port=self.port, tls_context=context,
                                     require_starttls=True, authenticator=authenticate, auth_require_tls=True)
        self.controller.start()
        # Starting, the controller connects once itself to see that the server answers.
        self.connections = 0

    def stop(self):
        self.controller.stop()


@pytest.fixture
def mail(agent):
    folder = certificates()
    servers = []

    def serve(host):
        server = MailServer(folder / f"{host}.pem", folder / f"{host}.key")
        servers.append(server)
        for name, value in (("MailHost", "localhost"), ("MailSender", USER), ("MailUser", USER),
                            ("MailPassword", PASSWORD), ("MailRecipient", "bugs@quillrook.test")):
            reg_set(SETTINGS_KEY, name, value)
        reg_set(SETTINGS_KEY, "MailPort", server.port, "REG_DWORD")
        return server

    yield serve
    for server in servers:
        server.stop()


def test_the_report_is_mailed_over_tls_with_the_logs_zipped_under_a_free_name(agent, mail):
    server = mail("localhost")
    # Someone has the usual archive open: the report takes the next free name.
    locked = agent.data_dir / "bug-report.zip"
    holder = subprocess.Popen(["wine", str(BUILD / "windows" / "bin" / "qftool.exe"), "lock-file", windows_path(locked),
                               "120"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    try:
        assert holder.stdout.readline().strip() == "locked"
        agent.start(program=FAULTS)
        # The password, set as a plain string, is stored encrypted at the start.
        agent.wait_log("MailSettings.Password Parameters: The password is stored encrypted now")
        stored = wine("reg", "query", SETTINGS_KEY, "/v", "MailPassword").stdout
        assert "REG_BINARY" in stored, stored
        fault_with_dialog()
        assert qftool("checked", ERROR_DIALOG, SEND)[0] == 0, "the box is on when a mail server is set up"
        assert qftool("checked", ERROR_DIALOG, SAVE)[0] == 1, "with a server, saving is the user's choice"
        press(TERMINATE)
        wait_for(lambda: server.messages, 90, interval=0.5, what="the mailed report")
        agent_gone(agent)
    finally:
        holder.kill()
        holder.wait()
    assert len(server.messages) == 1
    envelope = server.messages[0]
    assert envelope.mail_from == USER and envelope.rcpt_tos == ["bugs@quillrook.test"]
    message = email.message_from_bytes(envelope.original_content)
    assert message["Subject"] == "Quillrook Folder bug report"
    (attachment,) = [part for part in message.walk() if part.get_content_type() == "application/octet-stream"]
    assert attachment.get_filename() == "bug-report1.zip"
    archive = agent.data_dir / "mailed.zip"
    archive.write_bytes(attachment.get_payload(decode=True))
    assert subprocess.run(["unzip", "-tqq", str(archive)], capture_output=True).returncode == 0
    with zipfile.ZipFile(archive) as packed:
        assert packed.testzip() is None
        names = packed.namelist()
        assert "Log\\folder.log" in names and "Log\\cur_opt.reg" in names, names
        log = packed.read("Log\\folder.log").decode("utf-16")
        assert "BackupSystem Parameters: PBase=" in log
        # The server's authentication took the decrypted password; the report carries no mail
        # setting at all, and the password is in plain text nowhere.
        exported = packed.read("Log\\cur_opt.reg").decode("utf-16")
        assert "\\Quillrook Folder\\1.0]" in exported or "1.0]" in exported, exported[:400]
        assert '"Mail' not in exported, [line for line in exported.splitlines() if "Mail" in line]
        packed_bytes = [packed.read(name) for name in names]
    secrets = (PASSWORD.encode(), PASSWORD.encode("utf-16-le"))
    for content in packed_bytes + [envelope.original_content]:
        assert not any(secret in content for secret in secrets)
    for path in agent.data_dir.rglob("*"):
        if path.is_file():
            assert not any(secret in path.read_bytes() for secret in secrets), path
    exported = wine("reg", "export", SETTINGS_KEY.rsplit("\\", 1)[0], windows_path(agent.data_dir / "all.reg"), "/y")
    assert exported.returncode == 0
    assert PASSWORD not in (agent.data_dir / "all.reg").read_bytes().decode("utf-16")


def test_a_server_with_a_certificate_for_another_host_gets_nothing(agent, mail):
    server = mail("other.invalid")
    agent.start(program=FAULTS)
    fault_with_dialog()
    press(IGNORE)
    agent.wait_log("Function: bugform_send.SpTBXButton1Click Message: Connected fail", timeout=60)
    assert any("TLS refused: The server's certificate is for another host name" in line for line in agent.log_lines())
    assert server.connections >= 1 and server.messages == []
    # The dialog is still there; without the box, "Ignore" lets it go and the agent goes on.
    assert dialogs() == 1
    press(SEND)
    press(IGNORE)
    wait_for(lambda: dialogs() == 0, 30, interval=0.3, what="the dialog to close")
    assert agent.info()[0] == 1
    assert server.messages == []


def test_terminate_with_the_box_cleared_connects_to_nothing(agent, mail):
    server = mail("localhost")
    agent.start(program=FAULTS)
    fault_with_dialog()
    press(SEND)
    assert qftool("checked", ERROR_DIALOG, SEND)[0] == 1
    press(TERMINATE)
    agent_gone(agent)
    assert server.connections == 0 and server.messages == []


class TricklingServer:
    """A mail server that takes the connection and then sends one byte of its greeting every 10 s."""

    def __init__(self):
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(8)
        self.port = self.listener.getsockname()[1]
        self.connections, self.stopping = 0, threading.Event()
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while not self.stopping.is_set():
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            self.connections += 1
            threading.Thread(target=self.trickle, args=(connection,), daemon=True).start()

    def trickle(self, connection):
        with connection:
            for byte in b"220 slow.quillrook.test ESMTP\r\n" * 10:
                try:
                    connection.sendall(bytes([byte]))
                except OSError:
                    return
                if self.stopping.wait(10):
                    return

    def stop(self):
        self.stopping.set()
        self.listener.close()


def sending():
    """Whether the dialog shows "Please wait.". Polled hundreds of times while an attempt runs:
    a run of the tool that Wine starts without output (it happens, rarely, under load) is run
    again rather than taken for an answer."""
    for _ in range(3):
        code, lines = qftool("control-state", ERROR_DIALOG, WAIT)
        if code == 0 and lines:
            return lines[0].split()[0] == "1"
    raise AssertionError(f"the error dialog's wait text cannot be read: {code} {lines}")


def test_a_server_that_trickles_holds_up_neither_the_agent_nor_the_user(agent):
    server = TricklingServer()
    try:
        for name, value in (("MailHost", "127.0.0.1"), ("MailUser", USER), ("MailPassword", PASSWORD),
                            ("MailRecipient", "bugs@quillrook.test")):
            reg_set(SETTINGS_KEY, name, value)
        reg_set(SETTINGS_KEY, "MailPort", server.port, "REG_DWORD")
        agent.start(program=FAULTS)
        fault_with_dialog()
        press(IGNORE)
        wait_for(sending, 10, interval=0.2, what="the report to be sent")
        wait_for(lambda: server.connections == 1, 10, interval=0.2, what="the connection")
        # Meanwhile the agent answers: the tray menu and a trigger's folder menu come at once.
        x, y = tray_icon()
        asked = time.monotonic()
        xdotool("mousemove", x, y, "click", "3")
        wait_for(visible_menus, 5, interval=0.05, what="the tray menu")
        assert time.monotonic() - asked < 1.0
        close_menus()
        code, lines = qftool("latency")
        assert code == 0 and float(lines[0]) < 1000, lines
        close_menus()
        # "Cancel" ends the attempt at once, and the choices are the user's again.
        cancelled = time.monotonic()
        press(CANCEL)
        wait_for(lambda: not sending(), 5, interval=0.05, what="the attempt to end")
        assert time.monotonic() - cancelled < 1.0
        assert dialogs() == 1
        assert "not sent" in qftool("control-text", ERROR_DIALOG, NO_MAIL)[1][0]
        # Left to itself, the attempt ends at its deadline, however the server trickles on.
        press(IGNORE)
        wait_for(sending, 10, interval=0.05, what="the second attempt")
        started = time.monotonic()
        wait_for(lambda: not sending(), 75, interval=0.2, what="the deadline")
        took = time.monotonic() - started
        assert 58 < took < 61.5, took
        agent.wait_log("SendBugReport Parameters: Given up after 60000 ms")
        assert dialogs() == 1
        agent.wait_log("SendBugReport Parameters: Cancelled")
    finally:
        server.stop()
    press(SEND)
    press(IGNORE)
    wait_for(lambda: dialogs() == 0, 30, interval=0.3, what="the dialog to close")


# -- faults no C++ code can catch -------------------------------------------------------------

MAIN_THREAD_FAULT, WORKER_THREAD_FAULT, STACK_OVERFLOW = 3, 4, 5


def trace_heads(agent, class_name):
    return [line for line in agent.error_log_lines() if f" Exception {class_name} occured " in line]


def test_an_access_violation_on_the_main_thread_shows_the_dialog_and_ends_the_agent(agent):
    agent.start(program=FAULTS)
    fault(MAIN_THREAD_FAULT)
    wait_for(lambda: dialogs() == 1, 30, interval=0.3, what="the error dialog")
    message = qftool("control-text", ERROR_DIALOG, 3503)[1][0]
    assert message.startswith("Access violation at address "), message
    heads = trace_heads(agent, "EAccessViolation")
    assert heads and "WriteThroughNull" in heads[0], agent.error_log_lines()
    state = read_utf16_lines(agent.data_dir / "Log" / "folder_global_error.log")
    assert state[0].endswith(": " + message.splitlines()[0]) and "WriteThroughNull" in state, state
    assert (agent.data_dir / "Log" / "folder_crash.dmp").stat().st_size > 0
    press(SAVE)
    press(IGNORE)
    agent_gone(agent)
    # The dialog was shown: the next start has nothing to offer.
    assert not (agent.data_dir / "Log" / "folder_crash.txt").exists()


def test_a_stack_overflow_is_reported_from_a_thread_with_stack_to_spare(agent):
    agent.start(program=FAULTS)
    fault(STACK_OVERFLOW)
    agent_gone(agent)
    assert dialogs() == 0
    errors = agent.error_log_lines()
    # It overflows in the stack probe, which has no name; the stack below it is the recursion's.
    assert trace_heads(agent, "EStackOverflow"), errors
    assert any(" Deeper (" in line for line in errors), errors[:40]
    assert (agent.data_dir / "Log" / "folder_crash.dmp").stat().st_size > 0
    assert read_utf16_lines(agent.data_dir / "Log" / "folder_crash.txt")[0].startswith("Stack overflow at address ")
    (agent.data_dir / "Log" / "folder_crash.txt").unlink()


def test_an_access_violation_on_a_worker_is_offered_by_the_next_start_once(agent):
    agent.start(program=FAULTS)
    # Names of the crash's files, made in advance as hard links to a file of someone else's.
    elsewhere = agent.data_dir / "elsewhere.txt"
    elsewhere.write_bytes(b"not the agent's")
    for name in ("folder_crash.dmp", "folder_crash.txt"):
        os.link(elsewhere, agent.data_dir / "Log" / name)
    fault(WORKER_THREAD_FAULT)
    agent_gone(agent)
    assert dialogs() == 0
    heads = trace_heads(agent, "EAccessViolation")
    assert heads and "WriteThroughNull" in heads[0], agent.error_log_lines()
    assert any("non main thread" in line and "Access violation" in line for line in agent.log_lines())
    assert read_utf16_lines(agent.data_dir / "Log" / "folder_global_error.log")[0].split(": ", 1)[1].startswith(
        "Access violation at address ")
    assert (agent.data_dir / "Log" / "folder_crash.dmp").stat().st_size > 0
    assert (agent.data_dir / "Log" / "folder_crash.txt").exists()
    assert elsewhere.read_bytes() == b"not the agent's", "nothing is written through a link"

    agent.start(program=FAULTS)
    wait_for(lambda: dialogs() == 1, 30, interval=0.3, what="the dialog of the last run's fault")
    assert qftool("control-text", ERROR_DIALOG, 3503)[1][0].startswith("The program ended after an error: Access violation")
    press(SAVE)
    press(IGNORE)
    wait_for(lambda: dialogs() == 0, 30, interval=0.3, what="the dialog to close")
    assert agent.info()[0] == 1, "the agent goes on after Ignore"
    agent.stop()
    agent.start(program=FAULTS)
    time.sleep(3)
    assert dialogs() == 0, "offered once"
