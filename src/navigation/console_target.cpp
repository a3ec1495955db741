#include "navigation/console_target.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

#include "diagnostics/log_format.h"
#include "diagnostics/logger.h"
#include "navigation/console_lines.h"
#include "win/handles.h"

namespace {

constexpr wchar_t kFunction[] = L"SetDataToConsole";
// Room for the processes of one console; more are not looked at.
constexpr DWORD kConsoleProcesses = 64;

struct TProcess {
  DWORD id = 0;
  std::wstring image;
};

std::vector<TProcess> RunningProcesses() {
  std::vector<TProcess> processes;
  const win::TFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return processes;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry))
    processes.push_back({entry.th32ProcessID, entry.szExeFile});
  return processes;
}

bool IsShell(const std::wstring& image) {
  for (const wchar_t* shell : {L"cmd.exe", L"powershell.exe", L"pwsh.exe"})
    if (::_wcsicmp(image.c_str(), shell) == 0) return true;
  return false;
}

ULONGLONG StartTime(DWORD processId) {
  const win::TUniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!process || !::GetProcessTimes(process.get(), &created, &exited, &kernel, &user)) return 0;
  return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// The image names of the console's processes, oldest first.
std::vector<std::wstring> ConsoleImages(const std::vector<TProcess>& running) {
  DWORD ids[kConsoleProcesses] = {};
  const DWORD count = std::min(::GetConsoleProcessList(ids, kConsoleProcesses), kConsoleProcesses);
  std::vector<std::pair<ULONGLONG, std::wstring>> started;
  for (DWORD i = 0; i < count; ++i) {
    const auto found = std::find_if(running.begin(), running.end(), [&](const TProcess& p) { return p.id == ids[i]; });
    if (found != running.end()) started.emplace_back(StartTime(ids[i]), found->image);
  }
  std::stable_sort(started.begin(), started.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::wstring> images;
  for (auto& [time, image] : started) images.push_back(std::move(image));
  return images;
}

// Key presses for every character of `text`, as the keyboard delivers them; "\r" is Enter.
std::vector<INPUT_RECORD> Keystrokes(const std::wstring& text) {
  std::vector<INPUT_RECORD> records;
  for (const wchar_t c : text) {
    for (const BOOL down : {TRUE, FALSE}) {
      INPUT_RECORD record{};
      record.EventType = KEY_EVENT;
      record.Event.KeyEvent.bKeyDown = down;
      record.Event.KeyEvent.wRepeatCount = 1;
      record.Event.KeyEvent.wVirtualKeyCode = c == L'\r' ? VK_RETURN : 0;
      record.Event.KeyEvent.uChar.UnicodeChar = c;
      records.push_back(record);
    }
  }
  return records;
}

bool TypeInto(const std::wstring& text) {
  const win::TFileHandle input(::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
  if (!input) return false;
  const std::vector<INPUT_RECORD> records = Keystrokes(text);
  DWORD written = 0;
  return ::WriteConsoleInputW(input.get(), records.data(), static_cast<DWORD>(records.size()), &written) &&
         written == records.size();
}

}  // namespace

bool SetDataToConsole(HWND console, const std::wstring& path) {
  // The agent has no console of its own: it joins the target's for the moment of typing. The
  // console's window tells which of the running shells belong to it.
  const std::vector<TProcess> running = RunningProcesses();
  for (const TProcess& process : running) {
    if (!IsShell(process.image) || !::AttachConsole(process.id)) continue;
    const win::TScopeGuard leave([] { ::FreeConsole(); });
    if (::GetConsoleWindow() != console) continue;
    const std::wstring line = ChangeDirectoryLine(ConsoleShell(ConsoleImages(running)), path);
    CommonLogRunEvent(kFunction, L"Wnd=" + logformat::HandleText(console) + L", Pid=" +
                                     std::to_wstring(process.id) + L", Line=" + line);
    if (TypeInto(line + L"\r")) return true;
    CommonLogErrorEvent(kFunction, L"WriteConsoleInput fail", L"Pid=" + std::to_wstring(process.id),
                        ::GetLastError(), false);
    return false;
  }
  CommonLogErrorEvent(kFunction, L"no shell of the console found", L"Wnd=" + logformat::HandleText(console), 0, false);
  return false;
}
