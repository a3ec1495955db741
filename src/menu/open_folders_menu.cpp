#include "menu/open_folders_menu.h"

#include "diagnostics/logger.h"
#include "menu/favourites_store.h"
#include "menu/folder_menu.h"
#include "menu/open_folders_rules.h"
#include "navigation/window_path.h"
#include "win/shell_paths.h"

bool TOpenFoldersMenu::Build(HMENU menu, HWND target, const std::wstring& targetFolder, TMenuImages& images) {
  const HWND root = target != nullptr ? ::GetAncestor(target, GA_ROOT) : nullptr;
  folders_ = OpenFolderList(OpenExplorerFolders(root), targetFolder, SameText);
  if (folders_.size() > kOpenFolderCommandRangeSize) folders_.resize(kOpenFolderCommandRangeSize);
  EmptyMenu(menu);
  images.Unassign(kOpenFolderCommandBase, kOpenFolderCommandBase + kOpenFolderCommandRangeSize - 1);
  for (std::size_t i = 0; i < folders_.size(); ++i) {
    const UINT command = kOpenFolderCommandBase + static_cast<UINT>(i);
    AppendPathItem(menu, command, folders_[i], 0);
    images.Assign(command, miFolder);
  }
  CommonLogRunEvent(L"ShowPath", L"open folders: " + std::to_wstring(folders_.size()));
  return !folders_.empty();
}

std::optional<std::wstring> TOpenFoldersMenu::FolderOf(UINT command) const {
  if (command < kOpenFolderCommandBase || command - kOpenFolderCommandBase >= folders_.size()) return std::nullopt;
  return folders_[command - kOpenFolderCommandBase];
}
