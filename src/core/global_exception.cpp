#include "core/global_exception.h"

#include <windows.h>
#include <dbghelp.h>

#include <atomic>
#include <cwchar>
#include <vector>

#include "diagnostics/exception_trace.h"
#include "diagnostics/guarded.h"
#include "diagnostics/log_format.h"
#include "diagnostics/logger.h"
#include "startup/user_checks.h"
#include "win/files.h"
#include "win/handles.h"
#include "win/registry.h"
#include "win/text_rules.h"

namespace {

constexpr wchar_t kStateFileName[] = L"folder_global_error.log";
constexpr wchar_t kCrashDumpName[] = L"folder_crash.dmp";
constexpr wchar_t kCrashMarkerName[] = L"folder_crash.txt";
// The reporting thread's stack, whatever is left on the faulting one; and how long the faulting
// thread waits for that thread to write the trace, the state file and the dump.
constexpr SIZE_T kCrashReportStack = 1 << 20;
constexpr DWORD kCrashReportWaitMs = 30000;
// What the main thread keeps for its own handler when its stack overflows.
constexpr ULONG kStackGuarantee = 64 * 1024;
constexpr ULONG kMaxCrashFrames = 62;
constexpr unsigned long long kMiB = 1048576;

// A file of the log folder written anew: the old name is deleted first and the file is made
// only where no name is, so a link someone put there in its place (a hard link to another file,
// a symbolic link) is never written through by an agent that may run elevated.
win::TFileHandle NewLogFile(const wchar_t* name) {
  const std::wstring file = LogFolder + name;
  ::DeleteFileW(file.c_str());
  return win::TFileHandle(
      ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::function<bool(const std::wstring&)>& DialogShower() {
  static std::function<bool(const std::wstring&)> shower;
  return shower;
}

// True while the handler works on the main thread: an exception raised meanwhile opens nothing.
std::atomic<bool> handlerBusy{false};

std::wstring SystemErrorText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::wstring result = length > 0 ? text::Trim(std::wstring(text, length)) : std::wstring();
  if (text != nullptr) ::LocalFree(text);
  return result;
}

std::wstring WindowName(HWND window) {
  if (window == nullptr) return {};
  wchar_t name[256] = {};
  ::GetClassNameW(window, name, 256);
  wchar_t title[256] = {};
  ::GetWindowTextW(window, title, 256);
  return title[0] != L'\0' ? std::wstring(name) + L" \"" + title + L"\"" : std::wstring(name);
}

std::wstring MachineString(const wchar_t* path, const wchar_t* name) {
  const win::TRegKey key = win::OpenKey(HKEY_LOCAL_MACHINE, path, KEY_QUERY_VALUE | KEY_WOW64_64KEY);
  return key ? win::ReadString(key.get(), name).value_or(L"") : L"";
}

}  // namespace

namespace {

// One fault at a time: a second one while the first is reported ends the process at once.
std::atomic<bool> crashing{false};

struct TCrash {
  EXCEPTION_POINTERS* info;
  DWORD threadId;
  bool dialogHere;  // the faulting thread shows the dialog itself afterwards
  std::wstring message;
};

// The stack of the faulting thread from its context, the faulting address first.
std::vector<void*> StackOf(CONTEXT context) {
  std::vector<void*> frames;
#if defined(__x86_64__) || defined(_M_X64)
  while (frames.size() < kMaxCrashFrames && context.Rip != 0) {
    frames.push_back(reinterpret_cast<void*>(context.Rip));
    DWORD64 base = 0;
    PRUNTIME_FUNCTION function = ::RtlLookupFunctionEntry(context.Rip, &base, nullptr);
    if (function == nullptr) {
      // A leaf function: its return address is where the stack pointer points.
      context.Rip = *reinterpret_cast<const DWORD64*>(context.Rsp);
      context.Rsp += 8;
      continue;
    }
    void* handlerData = nullptr;
    DWORD64 establisher = 0;
    ::RtlVirtualUnwind(UNW_FLAG_NHANDLER, base, context.Rip, function, &context, &handlerData, &establisher, nullptr);
  }
#else
  frames.push_back(reinterpret_cast<void*>(context.Eip));
#endif
  return frames;
}

void WriteCrashDump(const TCrash& crash) {
  const win::TFileHandle out = NewLogFile(kCrashDumpName);
  if (!out) return;
  MINIDUMP_EXCEPTION_INFORMATION exception{crash.threadId, crash.info, FALSE};
  ::MiniDumpWriteDump(::GetCurrentProcess(), ::GetCurrentProcessId(), out.get(), MiniDumpNormal, &exception, nullptr,
                      nullptr);
}

DWORD WINAPI ReportCrash(void* parameter) {
  auto& crash = *static_cast<TCrash*>(parameter);
  Guarded(L"GlobalException", [&] {
    const EXCEPTION_RECORD& record = *crash.info->ExceptionRecord;
    const std::uintptr_t info[2] = {record.NumberParameters > 0 ? record.ExceptionInformation[0] : 0,
                                    record.NumberParameters > 1 ? record.ExceptionInformation[1] : 0};
    crash.message = logformat::StructuredExceptionText(record.ExceptionCode,
                                                       reinterpret_cast<std::uintptr_t>(record.ExceptionAddress), info,
                                                       static_cast<unsigned>(record.NumberParameters));
    const std::vector<void*> stack = StackOf(*crash.info->ContextRecord);
    TraceStructuredException(logformat::StructuredExceptionClass(record.ExceptionCode), crash.message, stack);
    SaveGlobalErrorState(crash.message, stack);
    const bool mainThread = crash.threadId == LoggerMainThreadId();
    CommonLogErrorEvent(L"GlobalException", crash.message, mainThread ? L"the agent ends" : L"non main thread",
                        record.ExceptionCode, true);
    if (LogFolder.empty()) return;
    ForceDirectories(LogFolder);
    WriteCrashDump(crash);
    if (!crash.dialogHere) {
      // The dialog is the next start's to offer.
      const win::TFileHandle marker = NewLogFile(kCrashMarkerName);
      if (marker) WriteAll(marker.get(), logformat::EncodeLogLines({crash.message}, true));
    }
    SaveAllLogs(false);
  });
  return 0;
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* info) {
  if (crashing.exchange(true)) {
    ::TerminateProcess(::GetCurrentProcess(), info->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
  }
  TCrash crash{info, ::GetCurrentThreadId(), false, {}};
  // The dialog needs the main thread with stack left and no handler or logging call under way.
  crash.dialogHere = crash.threadId == LoggerMainThreadId() &&
                     info->ExceptionRecord->ExceptionCode != EXCEPTION_STACK_OVERFLOW && InLogger && !handlerBusy &&
                     DialogShower();
  if (const HANDLE reporter = ::CreateThread(nullptr, kCrashReportStack, ReportCrash, &crash, 0, nullptr)) {
    ::WaitForSingleObject(reporter, kCrashReportWaitMs);
    ::CloseHandle(reporter);
  }
  if (crash.dialogHere) {
    handlerBusy = true;
    Guarded(L"GlobalException", [&] { DialogShower()(crash.message + L"\r\nThe program has to end."); });
  }
  CloseAllLogs();
  ::TerminateProcess(::GetCurrentProcess(), info->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

// A stack overflow is taken first, before the system looks for a handler on the thread's stack:
// walking that stack takes more of it than an overflowed thread has left (Wine's dispatcher
// overflows again doing it). No code of the program recovers from one.
LONG WINAPI OverflowWatch(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode != EXCEPTION_STACK_OVERFLOW) return EXCEPTION_CONTINUE_SEARCH;
  return CrashFilter(info);
}

}  // namespace

void InstallGlobalExceptionHandler(std::function<bool(const std::wstring& message)> showDialog) {
  DialogShower() = std::move(showDialog);
  SetUnhandledExceptionHandler(GlobalException);
  ::SetUnhandledExceptionFilter(CrashFilter);
  ::AddVectoredExceptionHandler(1, OverflowWatch);
  ULONG guarantee = kStackGuarantee;
  ::SetThreadStackGuarantee(&guarantee);
}

void OfferLastCrash() {
  if (LogFolder.empty()) return;
  const std::wstring marker = LogFolder + kCrashMarkerName;
  // Only the agent's own marker is read: a link in its place would show another file's text.
  if (::GetFileAttributesW(marker.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  if (IsLinkedFile(marker)) {
    ::DeleteFileW(marker.c_str());
    CommonLogRunEvent(L"GlobalException", L"A link in the place of the crash marker, removed");
    return;
  }
  const std::vector<std::wstring> lines = logformat::DecodeLogLines(ReadFileBytes(marker, 4096));
  if (lines.empty() || !::DeleteFileW(marker.c_str())) return;
  const std::wstring message = L"The program ended after an error: " + lines.front();
  CommonLogRunEvent(L"GlobalException", L"Offered at the start: " + lines.front());
  if (handlerBusy || !DialogShower()) return;
  handlerBusy = true;
  win::TScopeGuard idle([] { handlerBusy = false; });
  Guarded(L"GlobalException", [&] { DialogShower()(message); });
}

std::wstring GetSystemInfo(bool stateLines) {
  const DWORD lastError = ::GetLastError();
  try {
    std::vector<std::wstring> lines;
    lines.push_back(L"Program version: " + GetProgramVersion());
    if (stateLines) {
      if (const HWND active = ::GetActiveWindow()) lines.push_back(L"Active Form: " + WindowName(active));
      if (const HWND focus = ::GetFocus())
        lines.push_back(L"Active Control: " + WindowName(focus) + L" #" + std::to_wstring(::GetDlgCtrlID(focus)));
      lines.push_back(L"Last system error: " + SystemErrorText(lastError) + L" (" + std::to_wstring(lastError) + L")");
    }
    constexpr wchar_t kCurrentVersion[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    ::GetVersionExW(&version);
    lines.push_back(L"Product: " + MachineString(kCurrentVersion, L"ProductName"));
    lines.push_back(std::wstring(L"Service Pack: ") + version.szCSDVersion);
    lines.push_back(L"Build: " + std::to_wstring(version.dwBuildNumber));
    // A 64-bit program runs on 64-bit Windows whatever IsWow64 says of it.
    lines.push_back(sizeof(void*) == 8 || IsWow64() ? L"Version: 64-bit" : L"Version: 32-bit");
    lines.push_back(IsUAC() ? L"UAC: enabled" : L"UAC: disabled");
    lines.push_back(IsElevated() ? L"UAC: elevated" : L"UAC: not elevated");
    lines.push_back(IsRealUserAdmin() ? L"User: real admin" : L"User: not real admin");
    constexpr wchar_t kProcessor[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
    if (const std::wstring cpu = text::Trim(MachineString(kProcessor, L"ProcessorNameString")); !cpu.empty())
      lines.push_back(L"CPU: " + cpu);
    const win::TRegKey processor = win::OpenKey(HKEY_LOCAL_MACHINE, kProcessor, KEY_QUERY_VALUE);
    if (const auto mhz = win::ReadDword(processor.get(), L"~MHz"); mhz && *mhz > 0)
      lines.push_back(L"NormFreq: " + std::to_wstring(*mhz));
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    if (::GlobalMemoryStatusEx(&memory)) {
      lines.push_back(L"TotalPhysicalMemory: " + std::to_wstring(memory.ullTotalPhys / kMiB));
      lines.push_back(L"PhysicalMemoryLoad: " + std::to_wstring(memory.dwMemoryLoad));
      lines.push_back(L"SwapFileSize: " + std::to_wstring(memory.ullTotalPageFile / kMiB));
      lines.push_back(L"SwapFileUsage: " + std::to_wstring((memory.ullTotalPageFile - memory.ullAvailPageFile) / kMiB));
    }
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (::EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode))
      lines.push_back(L"Screen: " + std::to_wstring(mode.dmPelsWidth) + L"*" + std::to_wstring(mode.dmPelsHeight) +
                      L"*" + std::to_wstring(mode.dmDisplayFrequency));
    std::wstring report;
    for (const auto& line : lines) report += line + L"\r\n";
    return text::Trim(report);
  } catch (const std::exception&) {
    CommonLogErrorEvent(L"GetSystemInfo", L"Common error", L"", ::GetLastError(), true);
    return {};
  }
}

void SaveGlobalErrorState(const std::wstring& message) { SaveGlobalErrorState(message, TakeThrowStack()); }

void SaveGlobalErrorState(const std::wstring& message, const std::vector<void*>& stack) {
  try {
    if (stack.empty() || LogFolder.empty()) return;
    std::vector<std::wstring> lines{LogDateTimeText() + L": " + message};
    const std::wstring report = GetSystemInfo(true);
    for (std::size_t start = 0; start < report.size();) {
      const std::size_t end = report.find(L"\r\n", start);
      lines.push_back(report.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
      start = end == std::wstring::npos ? report.size() : end + 2;
    }
    for (void* frame : stack) lines.push_back(DescribeFrame(frame, true));
    ForceDirectories(LogFolder);
    const win::TFileHandle out = NewLogFile(kStateFileName);
    if (out) WriteAll(out.get(), logformat::EncodeLogLines(lines, true));
  } catch (...) {
    // The state file is a courtesy: nothing about it may fail the handler.
  }
}

void GlobalException(const wchar_t*, const std::exception* e) {
  if (handlerBusy) return;
  const std::wstring message = e != nullptr ? ExceptionText(*e) : L"common error";
  if (!InLogger) {
    SaveGlobalErrorState(message);
    CommonLogErrorEvent(L"GlobalException", message, L"See error.log", ::GetLastError(), true);
    InLogger = true;
    return;
  }
  if (::GetCurrentThreadId() != LoggerMainThreadId()) {
    SaveGlobalErrorState(message);
    CommonLogErrorEvent(L"GlobalException", message, L"non main thread", ::GetLastError(), true);
    return;
  }
  handlerBusy = true;
  win::TScopeGuard idle([] { handlerBusy = false; });
  InLogger = true;
  SaveGlobalErrorState(message);
  CommonLogRunEvent(L"GlobalException: " + message, L"See error.log");
  SaveAllLogs(false);
  try {
    if (DialogShower()) DialogShower()(message);
  } catch (const std::exception&) {
    CommonLogErrorEvent(L"GlobalException", L"ShowModal fail", L"", ::GetLastError(), true);
  }
}

namespace {
UINT TestMessage = 0;
void (*TestMessageHandler)(WPARAM) = nullptr;
}  // namespace

void SetTestMessage(UINT message, void (*handler)(WPARAM wParam)) {
  TestMessage = message;
  TestMessageHandler = handler;
}

bool HandleTestMessage(UINT message, WPARAM wParam) {
  if (TestMessage == 0 || message != TestMessage || !TestMessageHandler) return false;
  TestMessageHandler(wParam);
  return true;
}
