#include "core/hook_client.h"

#include <algorithm>
#include <atomic>

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
  hook::TDialogListFn dialogList = nullptr;
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
    library.dialogList = win::ProcAddress<hook::TDialogListFn>(library.module, "DialogList");
  }
  return library;
}

void Put(std::uint16_t (&field)[hook::kListedTextChars], const std::wstring& text) {
  std::size_t i = 0;
  for (; i < text.size() && i + 1 < hook::kListedTextChars; ++i) field[i] = static_cast<std::uint16_t>(text[i]);
  for (; i < hook::kListedTextChars; ++i) field[i] = 0;
}

// The hooks' list of the user's own dialogs: emptied first and its count written last, so a hook
// reading meanwhile sees fewer entries, never a half-written one it counts.
void PublishOwnDialogs(const THookLibrary& library, const std::vector<TOwnDialog>& entries) {
  hook::TDialogList* list = library.dialogList != nullptr ? library.dialogList() : nullptr;
  if (list == nullptr) {
    if (!entries.empty())
      CommonLogErrorEvent(L"QuillFolder.SetHook", L"no list for the Dialogs entries", L"", ::GetLastError(), false);
    return;
  }
  std::atomic_ref<std::uint32_t> count(list->count);
  count.store(0, std::memory_order_release);
  const std::size_t listed = std::min(entries.size(), hook::kListedDialogs);
  for (std::size_t i = 0; i < listed; ++i) {
    Put(list->entries[i].program, entries[i].program);
    Put(list->entries[i].className, entries[i].className);
    Put(list->entries[i].title, entries[i].title);
  }
  count.store(static_cast<std::uint32_t>(listed), std::memory_order_release);
}

}  // namespace

void CommonInit() {
  for (int i = 0; i < static_cast<int>(hook::THookMessage::Count); ++i)
    HookMessages[i] = ::RegisterWindowMessageW(hook::RegisteredName(static_cast<hook::THookMessage>(i)).c_str());
  WakeMessage = ::RegisterWindowMessageW((std::wstring(hook::kWakeMessageName) + hook::kMessageSuffix).c_str());
}

hook::THookShare* SetHook(DWORD agentThreadId, const TSettingsValues& s, const std::vector<TOwnDialog>& ownDialogs) {
  THookLibrary& library = Library();
  if (library.setHook == nullptr) return nullptr;
  PublishOwnDialogs(library, ownDialogs);
  // The fourth argument is an option of the library that this program always leaves off.
  return library.setHook(agentThreadId, 0, static_cast<DWORD>(s.MouseWheel), 0, s.Help, s.RExplorer, s.MExplorer,
                         s.MIExplorer, s.MDesktop, s.MouseMButton);
}

void RemoveHook() {
  THookLibrary& library = Library();
  if (library.removeHook != nullptr) library.removeHook();
}
