#include "core/agent_dialogs.h"

#include <cstring>

#include "diagnostics/logger.h"
#include "navigation/jump_rules.h"
#include "navigation/foreign_window.h"
#include "navigation/shell_windows.h"
#include "navigation/window_details_reader.h"
#include "navigation/window_path.h"
#include "settings/settings_registry.h"
#include "win/system_look.h"
#include "win/text_rules.h"

bool TAgentDialogs::AskCaption(std::wstring& caption, TSettingsValues& settings) {
  if (!addItem_) addItem_ = std::make_unique<TfmAddItem>(instance_);
  if (!addItem_->Show(nullptr, caption)) return false;
  caption = addItem_->Name();
  SaveAlwaysAddDialog(settings, addItem_->AlwaysAddDialog());
  return true;
}

void TAgentDialogs::FollowSystemLook() {
  look::TLookDecision decision;
  look::TLookFacts facts;
  if (!win::RefreshLook(&decision, &facts)) return;
  CommonLogRunEvent(L"QuillFolder.Look", std::wstring(decision.look == look::TLook::Dark ? L"dark" : L"light") + L": " +
                                             decision.reason + L" (Windows " + std::to_wstring(facts.major) +
                                             L", build " + std::to_wstring(facts.build) + L")");
  win::ApplyLookToThreadWindows(decision.look);
}

namespace {

// Puts `text` on the clipboard as Unicode text; false, with the clipboard as it was, on failure.
bool CopyToClipboard(HWND owner, const std::wstring& text) {
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory == nullptr) return false;
  // The clipboard owns the memory once it takes it; until then it is ours to free.
  win::TScopeGuard freeUntaken([&] {
    if (memory != nullptr) ::GlobalFree(memory);
  });
  void* locked = ::GlobalLock(memory);
  if (locked == nullptr) return false;
  std::memcpy(locked, text.c_str(), bytes);
  ::GlobalUnlock(memory);
  if (!::OpenClipboard(owner)) return false;
  win::TScopeGuard close([] { ::CloseClipboard(); });
  if (!::EmptyClipboard() || ::SetClipboardData(CF_UNICODETEXT, memory) == nullptr) return false;
  memory = nullptr;
  return true;
}

}  // namespace

void TAgentDialogs::CopyWindowDetails(HWND owner, HWND window, const std::vector<TOwnDialog>& ownDialogs) {
  if (window == nullptr || !::IsWindow(window) || OfThisProcess(window)) window = ::GetForegroundWindow();
  if (window == nullptr || OfThisProcess(window)) {
    CommonLogRunEvent(L"CopyWindowDetails", L"no window of another program to read");
    return;
  }
  const std::wstring text = details::FormatDetails(ReadWindowDetails(window, ownDialogs));
  const bool copied = CopyToClipboard(owner, text);
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find(L"\r\n", start);
    CommonLogRunEvent(L"CopyWindowDetails", text.substr(start, end == std::wstring::npos ? end : end - start));
    if (end == std::wstring::npos) break;
    start = end + 2;
  }
  if (!copied)
    CommonLogErrorEvent(L"CopyWindowDetails", L"the clipboard could not be set", L"", ::GetLastError(), false);
}

namespace {

// One tool's hot key `id`, unregistered and registered anew from its stored value `name`.
void RegisterToolKey(HWND window, int id, int stored, const wchar_t* name, bool& registered) {
  if (registered) ::UnregisterHotKey(window, id);
  registered = false;
  TJumpKey key;
  switch (DecodeJumpKey(stored, key)) {
    case TJumpKeyRead::Off:
      return;
    case TJumpKeyRead::Malformed:
      CommonLogErrorEvent(L"QuillFolder.RegisterKey",
                          std::wstring(name) + L" names no key that can be held, the key is off",
                          std::wstring(name) + L"=" + std::to_wstring(stored), 0, true);
      return;
    case TJumpKeyRead::Key:
      registered = ::RegisterHotKey(window, id, key.modifiers | MOD_NOREPEAT, key.key) != FALSE;
      if (!registered)
        CommonLogErrorEvent(L"QuillFolder.RegisterKey", std::wstring(name) + L" is held by another program",
                            std::wstring(name) + L"=" + std::to_wstring(stored), ::GetLastError(), true);
      return;
  }
}

}  // namespace

void TAgentDialogs::RegisterToolKeys(HWND window, int searchKey, int detailsKey) {
  RegisterToolKey(window, kSearchHotKeyId, searchKey, L"SearchKey", searchKeyRegistered_);
  RegisterToolKey(window, kDetailsHotKeyId, detailsKey, L"DetailsKey", detailsKeyRegistered_);
}

void TAgentDialogs::Search(TFolderMenuSession& session, const std::wstring& typed, bool openFolders) {
  if (!search_) search_ = std::make_unique<TQuillSearch>(instance_);
  if (!picks_) {
    std::size_t passedOver = 0;
    picks_ = TPickHistory::FromLines(LoadSearchPicks(), &passedOver);
    if (passedOver > 0)
      CommonLogRunEvent(L"QuillSearch.LoadPicks", L"lines passed over: " + std::to_wstring(passedOver));
  }
  TQuillSearch::TLaterEntries later;
  if (openFolders) {
    later = [except = session.Target().window] {
      std::vector<TSearchEntry> folders;
      TShellTabsRead tabs;
      for (const std::wstring& folder : OpenExplorerFolders(except, tabs))
        if (!folder.empty()) folders.push_back({text::FileNameOf(folder), folder, TSearchSource::OpenFolder});
      return folders;
    };
  }
  POINT cursor{};
  ::GetCursorPos(&cursor);
  CommonLogRunEvent(L"QuillSearch.Show", L"Typed=" + typed);
  const std::optional<TSearchEntry> taken = search_->Show(cursor, typed, session.SearchEntries(), *picks_, later);
  if (!taken) return;
  picks_->Picked(taken->path);
  SaveSearchPicks(picks_->ToLines());
  session.CarryOutSearch(*taken);
}
