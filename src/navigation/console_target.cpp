#include "navigation/console_target.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <utility>
#include <vector>

#include "diagnostics/log_format.h"
#include "diagnostics/logger.h"
#include "navigation/console_lines.h"
#include "win/handles.h"
#include "win/text_rules.h"

namespace {

constexpr wchar_t kFunction[] = L"SetDataToConsole";
// Room for the processes of one console; more are not looked at.
constexpr DWORD kConsoleProcesses = 64;

struct TProcess {
  DWORD id = 0;
  DWORD parent = 0;
  std::wstring image;
};

std::vector<TProcess> RunningProcesses() {
  std::vector<TProcess> processes;
  const win::TFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return processes;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry))
    processes.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
  return processes;
}

bool IsShell(const std::wstring& image) {
  for (const wchar_t* shell : {L"cmd.exe", L"powershell.exe", L"pwsh.exe"})
    if (text::SameCaseBlind(image, shell)) return true;
  return false;
}

ULONGLONG StartTime(DWORD processId) {
  const win::TUniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!process || !::GetProcessTimes(process.get(), &created, &exited, &kernel, &user)) return 0;
  return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// The console's processes that are still running, oldest first.
std::vector<TProcess> ConsoleProcesses(const std::vector<TProcess>& running) {
  DWORD ids[kConsoleProcesses] = {};
  const DWORD count = std::min(::GetConsoleProcessList(ids, kConsoleProcesses), kConsoleProcesses);
  std::vector<std::pair<ULONGLONG, TProcess>> started;
  for (DWORD i = 0; i < count; ++i) {
    const auto found = std::find_if(running.begin(), running.end(), [&](const TProcess& p) { return p.id == ids[i]; });
    if (found != running.end()) started.emplace_back(StartTime(ids[i]), *found);
  }
  std::stable_sort(started.begin(), started.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<TProcess> processes;
  for (auto& [time, process] : started) processes.push_back(std::move(process));
  return processes;
}

// Whether the console just joined through `shell` is the one `window` shows: the console's own
// window; or a terminal's tab, whose pseudo console has a hidden window that the terminal's
// window owns, or (where the system gives it no owner) whose shell the terminal started.
bool ShowsJoinedConsole(HWND window, DWORD windowProcess, const TProcess& shell) {
  const HWND own = ::GetConsoleWindow();
  return own == window || (own != nullptr && ::GetWindow(own, GW_OWNER) == window) || shell.parent == windowProcess;
}

// While the agent is joined to a console, the user's Ctrl+C and Ctrl+Break there reach it too,
// and the system's default answer to them ends the process: the agent takes no notice of them.
// The console closed meanwhile would end every process joined to it once its handlers return:
// the agent leaves the console on the system's thread that brings the signal, and that thread
// never returns, so the agent goes on without the console.
BOOL WINAPI IgnoreInterrupts(DWORD event) noexcept {
  if (event == CTRL_CLOSE_EVENT) {
    ::FreeConsole();
    ::Sleep(INFINITE);
  }
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

// Joins the console of `process`; joining resets the process's console handlers, so the agent's
// own is set again each time.
bool JoinConsole(DWORD process) {
  if (!::AttachConsole(process)) return false;
  ::SetConsoleCtrlHandler(IgnoreInterrupts, TRUE);
  return true;
}

// Joins the console that `window` shows through one of its shells and hands `use` that shell's
// id and the console's processes, oldest first; false when no shell of that console could be
// joined. A terminal shows one console per tab and no other program can tell which tab is in
// front: the newest shell's console is taken. The agent has no console of its own and leaves
// this one before returning.
template <class F>
bool WithConsole(HWND window, F use) {
  const std::vector<TProcess> running = RunningProcesses();
  DWORD windowProcess = 0;
  ::GetWindowThreadProcessId(window, &windowProcess);
  DWORD chosen = 0;
  ULONGLONG newest = 0;
  for (const TProcess& process : running) {
    if (!IsShell(process.image) || !JoinConsole(process.id)) continue;
    const win::TScopeGuard leave([] { ::FreeConsole(); });
    if (!ShowsJoinedConsole(window, windowProcess, process)) continue;
    if (::GetConsoleWindow() == window) {
      chosen = process.id;  // the window's own console: there is only the one
      break;
    }
    const ULONGLONG started = StartTime(process.id);
    if (chosen == 0 || started > newest) {
      chosen = process.id;
      newest = started;
    }
  }
  if (chosen == 0 || !JoinConsole(chosen)) return false;
  const win::TScopeGuard leave([] { ::FreeConsole(); });
  use(chosen, ConsoleProcesses(running));
  return true;
}

// Reads `size` bytes at `address` of another process; false unless all of them were read.
bool ReadFrom(HANDLE process, std::uint64_t address, void* buffer, std::size_t size) {
  SIZE_T read = 0;
  return address != 0 && address <= UINTPTR_MAX &&
         ::ReadProcessMemory(process, reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address)), buffer, size,
                             &read) &&
         read == size;
}

// Where the process environment block keeps the process parameters, and where those keep the
// current folder's text (a UNICODE_STRING: length in bytes, maximum, address), for a 64-bit
// and a 32-bit process.
struct TParametersLayout {
  std::size_t parametersAt, folderLengthAt, folderBufferAt, pointerSize;
};
constexpr TParametersLayout kLayout64{0x20, 0x38, 0x40, 8};
constexpr TParametersLayout kLayout32{0x10, 0x24, 0x28, 4};
// Longest text a UNICODE_STRING holds, in bytes.
constexpr USHORT kLongestFolderBytes = 0xFFFE;

std::uint64_t ReadPointer(HANDLE process, std::uint64_t address, std::size_t size) {
  std::uint64_t value = 0;
  return ReadFrom(process, address, &value, size) ? value : 0;  // little-endian: the low bytes
}

// The folder a process works in, as its process parameters hold it; empty when that cannot be
// read (another user's process, a process of the other width that this build cannot read).
std::wstring ProcessCurrentFolder(DWORD processId) {
  using TQuery = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  const auto query = win::ProcAddress<TQuery>(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess");
  const win::TUniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
  if (query == nullptr || !process) return {};
  // ProcessBasicInformation (0) names the process's own environment block, second in its
  // answer; ProcessWow64Information (26) the 32-bit block of a process under WOW64, which is the
  // one to read from a 64-bit build. A 32-bit build reads processes of its own width only.
  ULONG_PTR wow64Block = 0;
  if (sizeof(void*) == 8 && query(process.get(), 26, &wow64Block, sizeof wow64Block, nullptr) < 0) wow64Block = 0;
  BOOL selfWow64 = FALSE, targetWow64 = FALSE;
  if (sizeof(void*) == 4 && (!::IsWow64Process(::GetCurrentProcess(), &selfWow64) ||
                             !::IsWow64Process(process.get(), &targetWow64) || selfWow64 != targetWow64))
    return {};
  const TParametersLayout& layout = sizeof(void*) == 4 || wow64Block != 0 ? kLayout32 : kLayout64;
  std::uint64_t block = wow64Block;
  if (block == 0) {
    ULONG_PTR basic[6] = {};
    if (query(process.get(), 0, basic, sizeof basic, nullptr) < 0) return {};
    block = basic[1];
  }
  const std::uint64_t parameters = ReadPointer(process.get(), block + layout.parametersAt, layout.pointerSize);
  USHORT length = 0;
  if (!ReadFrom(process.get(), parameters + layout.folderLengthAt, &length, sizeof length) || length == 0 ||
      length % 2 != 0 || length > kLongestFolderBytes)
    return {};
  const std::uint64_t text = ReadPointer(process.get(), parameters + layout.folderBufferAt, layout.pointerSize);
  std::wstring folder(length / 2, L'\0');
  if (!ReadFrom(process.get(), text, folder.data(), length)) return {};
  // The parameters keep a trailing backslash; a drive's root keeps it.
  return text::WithoutTrailingSeparator(folder);
}

INPUT_RECORD Key(BOOL down, WORD virtualKey, wchar_t character) {
  INPUT_RECORD record{};
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = down;
  record.Event.KeyEvent.wRepeatCount = 1;
  record.Event.KeyEvent.wVirtualKeyCode = virtualKey;
  record.Event.KeyEvent.uChar.UnicodeChar = character;
  return record;
}

// Escape, which clears what the user had typed at the prompt, then key presses for every
// character of `text`, as the keyboard delivers them; "\r" is Enter.
std::vector<INPUT_RECORD> Keystrokes(const std::wstring& text) {
  std::vector<INPUT_RECORD> records;
  for (const BOOL down : {TRUE, FALSE}) records.push_back(Key(down, VK_ESCAPE, 0));
  for (const wchar_t c : text)
    for (const BOOL down : {TRUE, FALSE}) records.push_back(Key(down, c == L'\r' ? VK_RETURN : 0, c));
  return records;
}

bool TypeInto(const std::wstring& text) {
  const win::TFileHandle input(::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!input) return false;
  const std::vector<INPUT_RECORD> records = Keystrokes(text);
  DWORD written = 0;
  return ::WriteConsoleInputW(input.get(), records.data(), static_cast<DWORD>(records.size()), &written) &&
         written == records.size();
}

// The console's processes but the agent itself, which is joined to it for the moment.
std::vector<std::wstring> OthersOf(const std::vector<TProcess>& processes) {
  std::vector<std::wstring> images;
  for (const TProcess& process : processes)
    if (process.id != ::GetCurrentProcessId()) images.push_back(process.image);
  return images;
}

}  // namespace

TConsoleTyping SetDataToConsole(HWND console, const std::wstring& path) {
  const std::wstring window = L"Wnd=" + logformat::HandleText(console);
  if (text::HasControlCharacter(path)) {
    CommonLogErrorEvent(kFunction, L"a path with a control character is not typed", window + L", Path=" + path, 0,
                        false);
    return TConsoleTyping::Refused;
  }
  TConsoleTyping typing = TConsoleTyping::NoShell;
  const bool joined = WithConsole(console, [&](DWORD joinedBy, const std::vector<TProcess>& processes) {
    const std::vector<std::wstring> others = OthersOf(processes);
    const std::wstring pid = std::to_wstring(joinedBy);
    if (!ShellAtPrompt(others)) {
      std::wstring images;
      for (const std::wstring& image : others) images += (images.empty() ? L"" : L" ") + image;
      CommonLogRunEvent(kFunction, window + L", Pid=" + pid + L", busy: " + images);
      typing = TConsoleTyping::Busy;
      return;
    }
    const auto line = ChangeDirectoryLine(ConsoleShell(others), path);
    if (!line) return;
    CommonLogRunEvent(kFunction, window + L", Pid=" + pid + L", Line=" + *line);
    if (TypeInto(*line + L"\r")) {
      typing = TConsoleTyping::Typed;
    } else {
      CommonLogErrorEvent(kFunction, L"WriteConsoleInput fail", L"Pid=" + pid, ::GetLastError(), false);
    }
  });
  if (!joined) CommonLogErrorEvent(kFunction, L"no shell of the console found", window, 0, false);
  return typing;
}

std::wstring ConsoleCurrentFolder(HWND console) {
  std::wstring folder;
  WithConsole(console, [&](DWORD, const std::vector<TProcess>& processes) {
    const auto shell =
        std::find_if(processes.rbegin(), processes.rend(), [](const TProcess& p) { return IsShell(p.image); });
    if (shell != processes.rend() && ConsoleShell({shell->image}) == TConsoleShell::Cmd)
      folder = ProcessCurrentFolder(shell->id);
  });
  return folder;
}
