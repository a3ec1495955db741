// The agent's small dialogs, each made on first use and kept until the agent exits: the add-item
// dialog that asks a new favourite's caption, and the search box with the picks it remembers (the
// options dialog, which the main window shows on several roads, comes with this header too), the
// look they and the menus share, dark where the system is, and Copy Window Details. Main thread.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/add_item_dialog.h"
#include "dialogs/options_dialog.h"
#include "dialogs/search_window.h"
#include "menu/folder_menu_session.h"
#include "menu/search_ranking.h"
#include "settings/own_dialogs.h"
#include "settings/settings_values.h"

class TAgentDialogs {
 public:
  explicit TAgentDialogs(HINSTANCE instance) : instance_(instance) {}
  TAgentDialogs(const TAgentDialogs&) = delete;
  TAgentDialogs& operator=(const TAgentDialogs&) = delete;

  // "Add new item" with `caption` proposed: true on OK, with the caption changed; the dialog's
  // "Always show this dialog" is stored in `settings`.
  bool AskCaption(std::wstring& caption, TSettingsValues& settings);
  // The search box at the mouse over the folder menu's target, `typed` already typed; the entry
  // taken is carried out by `session` and remembered. The open folders (where `openFolders`) are
  // read beside the box.
  void Search(TFolderMenuSession& session, const std::wstring& typed, bool openFolders);
  // The search box's and Copy Window Details' own hot keys on `window` (SearchKey and DetailsKey,
  // stored as the jump key is; 0 for none), registered anew; a stored value that names no key that
  // can be held is logged and left off.
  enum : int { kSearchHotKeyId = 0x5153, kDetailsHotKeyId = 0x5144 };
  void RegisterToolKeys(HWND window, int searchKey, int detailsKey);
  // The look decided from the system (logged with why) and given to the menus and to every
  // window of the agent; at the start, and again at a setting change (WM_SETTINGCHANGE, whose
  // text is not read: any change is looked at, only a different answer is applied).
  void FollowSystemLook();
  // "Copy Window Details": what `window`'s top-level window is made of and what the recognition
  // makes of it, to the clipboard (through `owner`) and into the run log. Null, or one of the
  // agent's own, means the foreground window. `ownDialogs` are the user's own dialog entries.
  void CopyWindowDetails(HWND owner, HWND window, const std::vector<TOwnDialog>& ownDialogs);

 private:
  HINSTANCE instance_;
  std::unique_ptr<TfmAddItem> addItem_;
  std::unique_ptr<TQuillSearch> search_;
  std::optional<TPickHistory> picks_;
  bool searchKeyRegistered_ = false;
  bool detailsKeyRegistered_ = false;
};
