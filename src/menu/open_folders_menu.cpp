#include "menu/open_folders_menu.h"

#include "diagnostics/logger.h"
#include "menu/favourites_rules.h"
#include "menu/folder_menu.h"
#include "menu/open_folders_rules.h"
#include "navigation/window_path.h"
#include "win/files.h"

namespace {

bool SameFolder(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

}  // namespace

bool TOpenFoldersMenu::Build(HMENU menu, HWND target, const std::wstring& targetFolder, TMenuImages& images) {
  const HWND root = target != nullptr ? ::GetAncestor(target, GA_ROOT) : nullptr;
  folders_ = OpenFolderList(OpenExplorerFolders(root), targetFolder, SameFolder);
  if (folders_.size() > kOpenFolderCommandRangeSize) folders_.resize(kOpenFolderCommandRangeSize);
  while (::GetMenuItemCount(menu) > 0)
    if (!::DeleteMenu(menu, 0, MF_BYPOSITION)) break;
  images.Unassign(kOpenFolderCommandBase, kOpenFolderCommandBase + kOpenFolderCommandRangeSize - 1);
  for (std::size_t i = 0; i < folders_.size(); ++i) {
    const UINT command = kOpenFolderCommandBase + static_cast<UINT>(i);
    const std::wstring caption = MenuCaption(TestName(folders_[i], ShortPathName));
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING | MIIM_ID | MIIM_BITMAP;
    info.wID = command;
    info.dwTypeData = const_cast<wchar_t*>(caption.c_str());
    info.hbmpItem = HBMMENU_CALLBACK;
    ::InsertMenuItemW(menu, static_cast<UINT>(i), TRUE, &info);
    images.Assign(command, miFolder);
  }
  CommonLogRunEvent(L"ShowPath", L"open folders: " + std::to_wstring(folders_.size()));
  return !folders_.empty();
}

std::optional<std::wstring> TOpenFoldersMenu::FolderOf(UINT command) const {
  if (command < kOpenFolderCommandBase || command - kOpenFolderCommandBase >= folders_.size()) return std::nullopt;
  return folders_[command - kOpenFolderCommandBase];
}
