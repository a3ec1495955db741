// The yardsticks `make bench` measures the agent against, in the same run:
//   bench_references timer SECONDS  one hidden window with one 50 ms timer and nothing else: the
//                                   floor of what any program waking 20 times a second costs;
//   bench_references tray SECONDS [PID]  a small tray program: COM, the shell and the common
//                                   controls loaded, one shell icon (SHGetFileInfo) shown as its
//                                   notification icon and, with PID (the agent's process), as
//                                   many threads as that process has: the memory yardstick, like
//                                   for like, since under Wine each thread holds about 1 MiB.
// Exit code 0 when the time is up, 1 on failure, 2 on bad usage.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <tlhelp32.h>

#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "win/handles.h"

namespace {

constexpr UINT_PTR kEndTimer = 1;
constexpr UINT_PTR kTickTimer = 2;
constexpr UINT kTickMs = 50;  // the agent's drain timer

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kEndTimer) ::PostQuitMessage(0);
  return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND HiddenWindow() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = Proc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"QfBenchReference";
  ::RegisterClassW(&windowClass);
  return ::CreateWindowExW(0, windowClass.lpszClassName, L"bench reference", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                           nullptr, nullptr, windowClass.hInstance, nullptr);
}

// The threads of a process, as the system's snapshot lists them.
int ThreadCount(DWORD processId) {
  // A failed snapshot is INVALID_HANDLE_VALUE, which the file handle's owner takes for none.
  const win::TFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot) return 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = ::Thread32First(snapshot.get(), &entry); more; more = ::Thread32Next(snapshot.get(), &entry))
    if (entry.th32OwnerProcessID == processId) ++count;
  return count;
}

void Pump() {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const std::wstring mode = argv[1];
  const UINT seconds = static_cast<UINT>(std::wcstoul(argv[2], nullptr, 10));
  const HWND window = HiddenWindow();
  if (window == nullptr || ::SetTimer(window, kEndTimer, seconds * 1000, nullptr) == 0) return 1;
  if (mode == L"timer") {
    ::SetTimer(window, kTickTimer, kTickMs, nullptr);
    Pump();
    return 0;
  }
  if (mode != L"tray") return 2;
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  wchar_t documents[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents);
  SHFILEINFOW shellIcon{};
  ::SHGetFileInfoW(documents, 0, &shellIcon, sizeof shellIcon, SHGFI_ICON | SHGFI_SMALLICON);
  const win::TIconHandle shellIconOwner(shellIcon.hIcon);
  // Idle threads until this process has as many as the agent; they end with the program.
  const win::TUniqueHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::vector<std::thread> idle;
  const DWORD agent = argc >= 4 ? static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) : 0;
  const int wanted = agent != 0 ? ThreadCount(agent) : 0;
  while (stop && ThreadCount(::GetCurrentProcessId()) < wanted)
    idle.emplace_back([event = stop.get()] { ::WaitForSingleObject(event, INFINITE); });
  NOTIFYICONDATAW icon{};
  icon.cbSize = sizeof icon;
  icon.hWnd = window;
  icon.uID = 1;
  icon.uFlags = NIF_ICON | NIF_TIP;
  icon.hIcon = shellIcon.hIcon != nullptr ? shellIcon.hIcon : ::LoadIconW(nullptr, IDI_APPLICATION);
  std::wcscpy(icon.szTip, L"bench reference");
  ::Shell_NotifyIconW(NIM_ADD, &icon);
  Pump();
  ::Shell_NotifyIconW(NIM_DELETE, &icon);
  if (stop) ::SetEvent(stop.get());
  for (std::thread& thread : idle) thread.join();
  ::CoUninitialize();
  return 0;
}
