#include "core/hook_client.h"

#include "diagnostics/logger.h"
#include "hook/qf_entry.h"
#include "win/files.h"
#include "win/handles.h"

std::array<UINT, static_cast<int>(hook::THookMessage::Count)> HookMessages{};
UINT WakeMessage = 0;

namespace {

struct THookLibrary {
  HMODULE module = nullptr;
  hook::TSetHook setHook = nullptr;
  hook::TRemoveHook removeHook = nullptr;
};

THookLibrary& Library() {
  static THookLibrary library;
  if (library.module == nullptr) {
    const std::wstring path = ProgramFolder() + hook::kLibraryName;
    library.module = ::LoadLibraryW(path.c_str());
    if (library.module == nullptr) {
      CommonLogErrorEvent(L"QuillFolder.SetHook", L"LoadLibrary fail", L"Path=" + path, ::GetLastError(), false);
      return library;
    }
    library.setHook = win::ProcAddress<hook::TSetHook>(library.module, "SetHook");
    library.removeHook = win::ProcAddress<hook::TRemoveHook>(library.module, "RemoveHook");
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
  return library.setHook(agentThreadId, 0, static_cast<DWORD>(s.MouseWheel), 0, s.Help, s.RExplorer, s.MExplorer,
                         s.MIExplorer, s.MDesktop, s.MouseMButton);
}

void RemoveHook() {
  THookLibrary& library = Library();
  if (library.removeHook != nullptr) library.removeHook();
}
