#include "menu/open_folders_menu.h"

#include "diagnostics/logger.h"
#include "menu/favourites_store.h"
#include "menu/folder_menu.h"
#include "menu/open_folders_rules.h"
#include "navigation/window_path.h"
#include "resource.h"
#include "win/shell_paths.h"

bool TOpenFoldersMenu::Prepare(HMENU menu, HWND target, const std::wstring& targetFolder, HINSTANCE instance) {
  menu_ = menu;
  targetRoot_ = target != nullptr ? ::GetAncestor(target, GA_ROOT) : nullptr;
  targetFolder_ = targetFolder;
  read_ = false;
  folders_.clear();
  // A submenu needs an item to open at all; this one is replaced before the user sees it.
  ShowNothingRead(instance);
  return ExplorerFrameOpen(targetRoot_);
}

bool TOpenFoldersMenu::Fill(HMENU opened, HINSTANCE instance, TMenuImages& images, TShellTabsRead& shellTabs) {
  if (opened == nullptr || opened != menu_) return false;
  if (read_) return true;
  read_ = true;
  folders_ = OpenFolderList(OpenExplorerFolders(targetRoot_, shellTabs), targetFolder_, SameText);
  if (folders_.size() > kOpenFolderCommandRangeSize) folders_.resize(kOpenFolderCommandRangeSize);
  images.Unassign(kOpenFolderCommandBase, kOpenFolderCommandBase + kOpenFolderCommandRangeSize - 1);
  if (folders_.empty()) {
    ShowNothingRead(instance);
  } else {
    EmptyMenu(menu_);
    for (std::size_t i = 0; i < folders_.size(); ++i) {
      const UINT command = kOpenFolderCommandBase + static_cast<UINT>(i);
      AppendPathItem(menu_, command, folders_[i], 0);
      images.Assign(command, miFolder);
    }
  }
  CommonLogRunEvent(L"ShowPath", L"open folders: " + std::to_wstring(folders_.size()));
  return true;
}

void TOpenFoldersMenu::ShowNothingRead(HINSTANCE instance) const {
  EmptyMenu(menu_);
  wchar_t text[128] = {};
  ::LoadStringW(instance, IDS_NOOPENFOLDER, text, static_cast<int>(std::size(text)));
  ::AppendMenuW(menu_, MF_STRING | MF_GRAYED, 0, text);
}

std::optional<std::wstring> TOpenFoldersMenu::FolderOf(UINT command) const {
  if (command < kOpenFolderCommandBase || command - kOpenFolderCommandBase >= folders_.size()) return std::nullopt;
  return folders_[command - kOpenFolderCommandBase];
}
