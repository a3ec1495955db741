"""What ships: stripped binaries that need nothing but the system's own libraries, their symbols
beside them, and an agent that loads the mail and symbol machinery only when a report needs it
(the error report scenarios show that it then does)."""
import pathlib
import subprocess

from conftest import BIN

OBJDUMP = "x86_64-w64-mingw32-objdump"
SYSTEM = {"advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
          "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "version.dll"}
ON_DEMAND = {"secur32.dll", "crypt32.dll", "ws2_32.dll", "dbghelp.dll"}


def objdump(flag, binary):
    return subprocess.run([OBJDUMP, flag, str(binary)], capture_output=True, text=True, check=True).stdout


def imports(binary):
    return {line.split()[-1].lower() for line in objdump("-p", binary).splitlines() if "DLL Name:" in line}


def sections(binary):
    return {fields[1] for fields in map(str.split, objdump("-h", binary).splitlines())
            if len(fields) > 1 and fields[0].isdigit()}


def test_shipped_binaries_are_stripped_and_need_only_system_libraries():
    for name in ("qrfolder.exe", "qf.dll", "shellext.dll"):
        binary = BIN / name
        assert imports(binary) <= SYSTEM, (name, imports(binary) - SYSTEM)
        shipped = sections(binary)
        assert ".gnu_debuglink" in shipped and not [s for s in shipped if s.startswith(".debug_")], (name, shipped)
        assert {".debug_info", ".debug_line"} <= sections(BIN / (name + ".debug")), name
    assert not imports(BIN / "qrfolder.exe") & ON_DEMAND


def test_an_idle_agent_has_not_loaded_the_report_machinery(agent):
    proc = agent.start()
    # Under Wine the launcher's process becomes the program's.
    maps = pathlib.Path(f"/proc/{proc.pid}/maps").read_text().lower()
    assert "qrfolder.exe" in maps
    for library in [*ON_DEMAND, "libgnutls"]:
        assert library not in maps, library
