// A test-only program around qf.dll, for checking the hook in real foreign windows:
//   hook_probe watch [seconds]  installs the hook (every trigger on) and prints each queue slot
//                               as it arrives, until the time is up (default 60 s);
//   hook_probe savedialog       shows the system's Save As dialog (old style) and waits for it;
//   hook_probe tree [hwnd]      prints the window tree of one window (hexadecimal handle) or of
//                               every visible top-level window.
// Exit code 0 on success, 1 on failure, 2 on bad usage.
#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "hook/hook_contract.h"
#include "hook/qf.h"
#include "win/handles.h"

namespace {

std::string Utf8(const wchar_t* text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<std::size_t>(size - 1), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  return out;
}

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}


const char* MessageName(std::uint32_t message) {
  for (int i = 0; i < static_cast<int>(hook::THookMessage::Count); ++i) {
    const auto m = static_cast<hook::THookMessage>(i);
    if (::RegisterWindowMessageW(hook::RegisteredName(m).c_str()) == message) {
      static char name[64];
      std::snprintf(name, sizeof(name), "%s", Utf8(hook::kMessageNames[i]).c_str());
      return name;
    }
  }
  return "?";
}

int Watch(DWORD seconds) {
  win::TModuleHandle library(::LoadLibraryW((ProgramFolder() + hook::kLibraryName).c_str()));
  const auto setHook = library ? win::ProcAddress<hook::TSetHook>(library.get(), "SetHook") : nullptr;
  const auto removeHook = library ? win::ProcAddress<hook::TRemoveHook>(library.get(), "RemoveHook") : nullptr;
  if (!setHook || !removeHook) {
    std::printf("qf.dll not loaded (error %lu)\n", ::GetLastError());
    return 1;
  }
  hook::THookShare* share = setHook(::GetCurrentThreadId(), 0, 1, 0, 1, 1, 1, 1, 1, 1);
  if (share == nullptr) {
    std::printf("SetHook failed\n");
    return 1;
  }
  const win::TScopeGuard unhook([&] { removeHook(); });
  std::printf("ready\n");
  std::fflush(stdout);
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < seconds * 1000) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    hook::DrainQueue(*share, [](const hook::TQueueSlot& slot) {
      std::printf("slot %s wParam=0x%08X lParam=%u x=%d y=%d\n", MessageName(slot.message),
                  slot.wParam, slot.lParam, slot.x, slot.y);
      std::fflush(stdout);
    });
  }
  return 0;
}

int SaveDialog() {
  wchar_t file[MAX_PATH] = L"probe.txt";
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrFilter = L"Text\0*.txt\0All\0*.*\0";
  ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT;
  const BOOL saved = ::GetSaveFileNameW(&ofn);
  std::printf("%s %s\n", saved ? "saved" : "cancelled", Utf8(file).c_str());
  return 0;
}

void PrintTree(HWND window, int depth) {
  wchar_t className[128] = {};
  wchar_t text[128] = {};
  ::GetClassNameW(window, className, 128);
  ::GetWindowTextW(window, text, 128);
  RECT r{};
  ::GetWindowRect(window, &r);
  std::printf("%*s%08lX %s id=0x%lX style=0x%08lX ex=0x%08lX (%ld,%ld %ldx%ld) \"%s\"\n",
              depth * 2, "", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(window)),
              Utf8(className).c_str(), static_cast<unsigned long>(::GetDlgCtrlID(window)),
              static_cast<unsigned long>(::GetWindowLongW(window, GWL_STYLE)),
              static_cast<unsigned long>(::GetWindowLongW(window, GWL_EXSTYLE)), r.left, r.top,
              r.right - r.left, r.bottom - r.top, Utf8(text).c_str());
  for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    PrintTree(child, depth + 1);
  }
}

int Tree(const wchar_t* handle) {
  if (handle != nullptr) {
    const HWND window = reinterpret_cast<HWND>(
        static_cast<std::intptr_t>(static_cast<std::int32_t>(std::wcstoul(handle, nullptr, 16))));
    if (!::IsWindow(window)) return 1;
    PrintTree(window, 0);
    return 0;
  }
  ::EnumWindows(
      [](HWND window, LPARAM) -> BOOL {
        if (::IsWindowVisible(window)) PrintTree(window, 0);
        return TRUE;
      },
      0);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"watch") return Watch(argc > 2 ? std::wcstoul(argv[2], nullptr, 10) : 60);
  if (command == L"savedialog") return SaveDialog();
  if (command == L"tree") return Tree(argc > 2 ? argv[2] : nullptr);
  std::printf("usage: hook_probe watch [seconds] | savedialog | tree [hwnd]\n");
  return 2;
}
