#include "menu/folder_menu_tail.h"

#include "menu/folder_menu.h"
#include "resource.h"

namespace {

std::wstring ItemText(HMENU menu, UINT position) {
  wchar_t buffer[256] = {};
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING;
  info.dwTypeData = buffer;
  info.cch = static_cast<UINT>(std::size(buffer));
  if (!::GetMenuItemInfoW(menu, position, TRUE, &info)) return {};
  return buffer;
}

}  // namespace

TFolderMenuTail::~TFolderMenuTail() { TakeOut(); }

bool TFolderMenuTail::Load(HINSTANCE instance, TMenuImages& images) {
  const win::TMenuHandle resource(::LoadMenuW(instance, MAKEINTRESOURCEW(IDR_FOLDERMENU)));
  const HMENU source = ::GetSubMenu(resource.get(), 0);
  if (source == nullptr) return false;
  std::vector<HMENU> submenus;
  const int count = ::GetMenuItemCount(source);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU;
    if (!::GetMenuItemInfoW(source, static_cast<UINT>(i), TRUE, &info)) continue;
    TItem item;
    item.id = info.wID;
    item.submenu = info.hSubMenu;
    item.separator = (info.fType & MFT_SEPARATOR) != 0;
    if (!item.separator) item.caption = ItemText(source, static_cast<UINT>(i));
    if (item.submenu != nullptr) submenus.push_back(item.submenu);
    items_.push_back(item);
  }
  // The submenus leave the resource's menu, which would destroy them with itself.
  while (::GetMenuItemCount(source) > 0) ::RemoveMenu(source, 0, MF_BYPOSITION);
  // Fixed order of the submenus in the tail: recent folders, recent files, open folders, filter.
  if (submenus.size() != 4) {
    for (HMENU submenu : submenus) ::DestroyMenu(submenu);
    items_.clear();
    return false;
  }
  recentFolders_.reset(submenus[0]);
  recentFiles_.reset(submenus[1]);
  openFolders_.reset(submenus[2]);
  filter_.reset(submenus[3]);
  for (TItem& item : items_) {
    if (item.submenu == recentFolders_.get()) item.id = IDM_RECENTFOLDERS;
    if (item.submenu == recentFiles_.get()) item.id = IDM_RECENTFILES;
    if (item.submenu == openFolders_.get()) item.id = IDM_OPENFOLDERS;
    if (item.submenu == filter_.get()) item.id = IDM_FILTER;
    // An empty image place: Wine sizes a menu by its items, and would cut a caption without one.
    if (item.submenu != nullptr) images.Assign(item.id, -1);
  }
  // A resource popup cannot be empty: the generated lists start with a placeholder.
  EmptyMenu(openFolders_.get());
  EmptyMenu(filter_.get());
  menu_.reset(::CreatePopupMenu());
  Apply({}, images);
  return static_cast<bool>(menu_);
}

bool TFolderMenuTail::Visible(const TItem& item, const TTailVisibility& shown) const {
  if (item.separator) return true;
  if (item.submenu != nullptr) {
    if (item.submenu == recentFolders_.get()) return shown.recentFolders;
    if (item.submenu == recentFiles_.get()) return shown.recentFiles;
    if (item.submenu == openFolders_.get()) return shown.openFolders;
    return shown.filter;
  }
  switch (item.id) {
    case IDM_ADDCURRENT:
      return shown.addCurrent;
    case IDM_REMOVECURRENT:
      return shown.removeCurrent;
    case IDM_OPENFOLDER:
      return shown.openFolder;
    case IDM_JUMPHERE:
      return shown.jumpSwitch;
    default:
      return true;
  }
}

void TFolderMenuTail::TakeOut() {
  const HMENU menu = menu_.get();
  if (menu == nullptr) return;
  const int first = FirstSeparator(menu);
  if (first < 0) return;
  while (::GetMenuItemCount(menu) > first) ::RemoveMenu(menu, static_cast<UINT>(first), MF_BYPOSITION);
}

void TFolderMenuTail::SetJumpSwitch(const std::wstring& program, bool works) {
  // A caption takes "&" as the mark of a shortcut letter: a program's own is doubled.
  std::wstring caption = CaptionOf(IDM_JUMPHERE) + L" ";
  for (const wchar_t c : program) caption += c == L'&' ? std::wstring(L"&&") : std::wstring(1, c);
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING | MIIM_STATE;
  info.fState = works ? MFS_CHECKED : MFS_UNCHECKED;
  info.dwTypeData = caption.data();
  ::SetMenuItemInfoW(menu_.get(), IDM_JUMPHERE, FALSE, &info);
}

std::wstring TFolderMenuTail::CaptionOf(UINT id) const {
  for (const TItem& item : items_)
    if (item.id == id) return item.caption;
  return {};
}

void TFolderMenuTail::Apply(const TTailVisibility& shown, TMenuImages& images) {
  const HMENU menu = menu_.get();
  if (menu == nullptr) return;
  TakeOut();
  bool lastWasSeparator = false;
  for (const TItem& item : items_) {
    if (!Visible(item, shown)) continue;
    // Hidden items would leave separators next to each other: one is enough. The first one
    // always stays, since it marks where the favourites end.
    if (item.separator && lastWasSeparator) continue;
    lastWasSeparator = item.separator;
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    if (item.separator) {
      info.fMask = MIIM_FTYPE;
      info.fType = MFT_SEPARATOR;
    } else {
      info.fMask = MIIM_STRING | MIIM_ID | (item.submenu != nullptr ? MIIM_SUBMENU | MIIM_BITMAP : 0u);
      info.wID = item.id;
      info.hSubMenu = item.submenu;
      info.hbmpItem = HBMMENU_CALLBACK;
      info.dwTypeData = const_cast<wchar_t*>(item.caption.c_str());
    }
    ::InsertMenuItemW(menu, static_cast<UINT>(::GetMenuItemCount(menu)), TRUE, &info);
  }
  ApplyCommandImages(menu, images);
}
