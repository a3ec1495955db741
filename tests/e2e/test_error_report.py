"""Faults nobody handles, raised in the test build of the agent through its fault message: the
error log's trace, the state file, one error dialog, "Restart" and "Terminate", and the bug
report mailed over STARTTLS to a local SMTP server whose test authority the Wine user trusts."""
import email
import io
import socket
import subprocess
import time
import zipfile

import pytest
from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

from conftest import BUILD, SETTINGS_KEY, qftool, read_utf16_lines, reg_set, screenshot, wait_for, windows_path
from test_configuration import SAVE_CONFIGURATION, run_dialog

FAULTS = "qrfolder_testfaults.exe"
ERROR_DIALOG = "Quillrook Folder"
SEND, IGNORE, RESTART, TERMINATE, NO_MAIL = 3512, 3509, 3510, 3511, 3513
MAIN_THREAD, WORKER_THREAD, HANDLED = 0, 1, 2
USER, PASSWORD = "report@quillrook.test", "s3cret pass"


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
    assert qftool("dialog-click", ERROR_DIALOG, button)[0] == 0


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
    # No mail server is set up: the box is off, and says why.
    assert qftool("checked", ERROR_DIALOG, SEND)[0] == 1
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

    press(TERMINATE)
    agent_gone(agent)
    agent.wait_log("Error Message form Parameters: Click Terminate")


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
        fault_with_dialog()
        assert qftool("checked", ERROR_DIALOG, SEND)[0] == 0, "the box is on when a mail server is set up"
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
