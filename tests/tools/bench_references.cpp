// The yardsticks `make bench` measures the agent against, in the same run:
//   bench_references timer SECONDS  one hidden window with one 50 ms timer and nothing else: the
//                                   floor of what any program waking 20 times a second costs;
//   bench_references tray SECONDS   a small tray program: COM, the shell and the common controls
//                                   loaded and a notification icon shown: the memory yardstick.
// Exit code 0 when the time is up, 1 on failure, 2 on bad usage.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
#include <string>

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
  NOTIFYICONDATAW icon{};
  icon.cbSize = sizeof icon;
  icon.hWnd = window;
  icon.uID = 1;
  icon.uFlags = NIF_ICON | NIF_TIP;
  icon.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
  std::wcscpy(icon.szTip, L"bench reference");
  ::Shell_NotifyIconW(NIM_ADD, &icon);
  Pump();
  ::Shell_NotifyIconW(NIM_DELETE, &icon);
  ::CoUninitialize();
  return 0;
}
