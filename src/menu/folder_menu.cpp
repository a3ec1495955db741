#include "menu/folder_menu.h"

#include <string>
#include <utility>
#include <vector>

#include "menu/favourites_rules.h"
#include "resource.h"
#include "win/files.h"
#include "win/handles.h"

std::wstring MenuCaption(const std::wstring& caption) {
  std::wstring text;
  text.reserve(caption.size());
  for (wchar_t c : caption) {
    if (c == L'&') text += L'&';
    text += c;
  }
  return text;
}

void EmptyMenu(HMENU menu) {
  while (::GetMenuItemCount(menu) > 0)
    if (!::DeleteMenu(menu, 0, MF_BYPOSITION)) break;
}

void AppendPathItem(HMENU menu, UINT command, const std::wstring& path, ULONG_PTR data) {
  const std::wstring caption = MenuCaption(TestName(path, ShortPathName));
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING | MIIM_ID | MIIM_DATA | MIIM_BITMAP;
  info.wID = command;
  info.dwTypeData = const_cast<wchar_t*>(caption.c_str());
  info.dwItemData = data;
  info.hbmpItem = HBMMENU_CALLBACK;
  ::InsertMenuItemW(menu, static_cast<UINT>(::GetMenuItemCount(menu)), TRUE, &info);
}

namespace {

// Inserts one generated item at `position`; a header takes its submenu along, which the menu
// owns (and destroys) from then on. `images` draws the item's image, or its empty place.
bool InsertItem(HMENU menu, UINT position, const TMenuModelItem& item, UINT command, HMENU submenu,
                TMenuImages& images) {
  const std::wstring caption = MenuCaption(item.caption);
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING | MIIM_DATA | MIIM_ID | MIIM_BITMAP | (submenu != nullptr ? MIIM_SUBMENU : 0u);
  info.dwTypeData = const_cast<wchar_t*>(caption.c_str());
  info.dwItemData = static_cast<ULONG_PTR>(item.tag);
  info.hbmpItem = HBMMENU_CALLBACK;
  info.hSubMenu = submenu;
  info.wID = command;
  if (!::InsertMenuItemW(menu, position, TRUE, &info)) return false;
  images.Assign(command, item.image);
  return true;
}

}  // namespace

int FirstSeparator(HMENU menu) {
  const int count = ::GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE;
    if (::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info) && (info.fType & MFT_SEPARATOR) != 0) return i;
  }
  return -1;
}

UINT FavouriteCommand(int tag) {
  const int index = tag - kFavouriteTagBase;
  if (index < 0 || index >= static_cast<int>(kCommandRangeSize)) return 0;
  return kFavouriteCommandBase + static_cast<UINT>(index);
}

UINT FilterCommand(int tag) {
  const int index = tag - kFilterTagBase;
  if (index < 0 || index >= static_cast<int>(kCommandRangeSize)) return 0;
  return kFilterCommandBase + static_cast<UINT>(index);
}

std::optional<int> FavouriteIndexFromCommand(UINT command) {
  if (command < kFavouriteCommandBase || command >= kFavouriteCommandBase + kCommandRangeSize) return std::nullopt;
  return static_cast<int>(command - kFavouriteCommandBase);
}

std::optional<int> FilterIndexFromCommand(UINT command) {
  if (command < kFilterCommandBase || command >= kFilterCommandBase + kCommandRangeSize) return std::nullopt;
  return static_cast<int>(command - kFilterCommandBase);
}

void ApplyFavourites(HMENU menu, const std::vector<TMenuModelItem>& model, TMenuImages& images) {
  // What lies below the favourites is the fixed tail. The submenus of the items taken away are
  // emptied and kept for the new headers: making and destroying a menu costs a round trip to the
  // window system each, filling one does not.
  std::vector<win::TMenuHandle> spare;
  const int separator = FirstSeparator(menu);
  for (int above = separator >= 0 ? separator : ::GetMenuItemCount(menu); above > 0; --above) {
    const HMENU submenu = ::GetSubMenu(menu, 0);
    if (!(submenu != nullptr ? ::RemoveMenu(menu, 0, MF_BYPOSITION) : ::DeleteMenu(menu, 0, MF_BYPOSITION))) break;
    if (submenu == nullptr) continue;
    for (int last = ::GetMenuItemCount(submenu) - 1; last >= 0; --last) ::DeleteMenu(submenu, last, MF_BYPOSITION);
    spare.emplace_back(submenu);
  }
  images.Unassign(kFavouriteCommandBase, kFavouriteCommandBase + kCommandRangeSize - 1);
  UINT position = 0;
  for (const TMenuModelItem& item : model) {
    if (item.submenu) {
      const UINT headerCommand = FavouriteCommand(item.tag);
      if (headerCommand == 0) continue;
      win::TMenuHandle submenu;
      if (spare.empty()) {
        submenu.reset(::CreatePopupMenu());
      } else {
        submenu = std::move(spare.back());
        spare.pop_back();
      }
      if (!submenu) continue;
      UINT childPosition = 0;
      for (const TMenuModelItem& child : item.children) {
        const UINT command = FavouriteCommand(child.tag);
        if (command == 0) continue;
        if (InsertItem(submenu.get(), childPosition, child, command, nullptr, images)) ++childPosition;
      }
      if (InsertItem(menu, position, item, headerCommand, submenu.get(), images)) {
        submenu.release();
        ++position;
      }
    } else {
      const UINT command = FavouriteCommand(item.tag);
      if (command == 0) continue;
      if (InsertItem(menu, position, item, command, nullptr, images)) ++position;
    }
  }
}

void ApplyFilters(HMENU filterMenu, const std::vector<TMenuModelItem>& model) {
  EmptyMenu(filterMenu);
  UINT position = 0;
  for (const TMenuModelItem& item : model) {
    const UINT command = FilterCommand(item.tag);
    if (command == 0) continue;
    const std::wstring caption = MenuCaption(item.caption);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING | MIIM_DATA | MIIM_ID;
    info.dwTypeData = const_cast<wchar_t*>(caption.c_str());
    info.dwItemData = static_cast<ULONG_PTR>(item.tag);
    info.wID = command;
    if (::InsertMenuItemW(filterMenu, position, TRUE, &info)) ++position;
  }
}
