#include "core/agent_dialogs.h"

#include "diagnostics/logger.h"
#include "navigation/jump_rules.h"
#include "navigation/shell_windows.h"
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

void TAgentDialogs::RegisterSearchKey(HWND window, int stored) {
  if (searchKeyRegistered_) ::UnregisterHotKey(window, kSearchHotKeyId);
  searchKeyRegistered_ = false;
  TJumpKey key;
  switch (DecodeJumpKey(stored, key)) {
    case TJumpKeyRead::Off:
      return;
    case TJumpKeyRead::Malformed:
      CommonLogErrorEvent(L"QuillSearch.RegisterKey", L"SearchKey names no key that can be held, the key is off",
                          L"SearchKey=" + std::to_wstring(stored), 0, true);
      return;
    case TJumpKeyRead::Key:
      searchKeyRegistered_ = ::RegisterHotKey(window, kSearchHotKeyId, key.modifiers | MOD_NOREPEAT, key.key) != FALSE;
      if (!searchKeyRegistered_)
        CommonLogErrorEvent(L"QuillSearch.RegisterKey", L"the search key is held by another program",
                            L"SearchKey=" + std::to_wstring(stored), ::GetLastError(), true);
      return;
  }
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
