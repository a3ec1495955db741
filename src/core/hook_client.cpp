#include "core/hook_client.h"

#include "diagnostics/logger.h"
#include "win/files.h"

std::array<UINT, static_cast<int>(hook::THookMessage::Count)> HookMessages{};
UINT WakeMessage = 0;

namespace {

using TSetHook = void*(WINAPI*)(DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD);
using TRemoveHook = DWORD(WINAPI*)();

struct THookLibrary {
  HMODULE module = nullptr;
  TSetHook setHook = nullptr;
  TRemoveHook removeHook = nullptr;
};

template <class T>
T Entry(HMODULE module, const char* name) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

THookLibrary& Library() {
  static THookLibrary library;
  if (library.module == nullptr) {
    const std::wstring path = ProgramFolder() + L"qf.dll";
    library.module = ::LoadLibraryW(path.c_str());
    if (library.module == nullptr) {
      CommonLogErrorEvent(L"QuillFolder.SetHook", L"LoadLibrary fail", L"Path=" + path, ::GetLastError(), false);
      return library;
    }
    library.setHook = Entry<TSetHook>(library.module, "SetHook");
    library.removeHook = Entry<TRemoveHook>(library.module, "RemoveHook");
  }
  return library;
}

}  // namespace

void CommonInit() {
  for (int i = 0; i < static_cast<int>(hook::THookMessage::Count); ++i)
    HookMessages[i] = ::RegisterWindowMessageW(hook::RegisteredName(static_cast<hook::THookMessage>(i)).c_str());
  WakeMessage = ::RegisterWindowMessageW((std::wstring(hook::kWakeMessageName) + hook::kMessageSuffix).c_str());
}

hook::THookShare* SetHook(DWORD agentThreadId, const TSettingsValues& s) {
  THookLibrary& library = Library();
  if (library.setHook == nullptr) return nullptr;
  // The fourth argument is an option of the library that this program always leaves off.
  void* record = library.setHook(agentThreadId, 0, static_cast<DWORD>(s.MouseWheel), 0, s.Help, s.RExplorer,
                                 s.MExplorer, s.MIExplorer, s.MDesktop, s.MouseMButton);
  return static_cast<hook::THookShare*>(record);
}

void RemoveHook() {
  THookLibrary& library = Library();
  if (library.removeHook != nullptr) library.removeHook();
}
