// The folder menu and its fixed tail: the items from the resource below the favourites
// (separators, "Recently Opened Folders", "Recently Opened Files", "Open Folders", "Filter", the
// current-folder commands, "Options..." and "Check for Updates..."), kept apart so that each can be
// hidden (taken out) and shown (put back) before every display. Owns the menu and the four
// submenus; the favourites above the first separator belong to ApplyFavourites. Main thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "menu/menu_images.h"
#include "menu/menu_tail_rules.h"
#include "win/handles.h"

class TFolderMenuTail {
 public:
  TFolderMenuTail() = default;
  TFolderMenuTail(const TFolderMenuTail&) = delete;
  TFolderMenuTail& operator=(const TFolderMenuTail&) = delete;
  // The submenus hang in the menu only while shown: each is taken out before it is destroyed.
  ~TFolderMenuTail();

  // Loads the tail from the program's resources and makes the menu; false when the resource is
  // missing or not of the expected shape.
  bool Load(HINSTANCE instance, TMenuImages& images);

  HMENU Menu() const { return menu_.get(); }
  HMENU RecentFolders() const { return recentFolders_.get(); }
  HMENU RecentFiles() const { return recentFiles_.get(); }
  HMENU OpenFolders() const { return openFolders_.get(); }
  HMENU Filter() const { return filter_.get(); }

  // Puts the tail back below the favourites with the entries `shown` allows; separators next to
  // each other collapse into one, and the first always stays as the end of the favourites.
  void Apply(const TTailVisibility& shown, TMenuImages& images);
  // The shown "Explorer Jump in" item names the dialog's program, checked where Explorer Jump
  // works in it.
  void SetJumpSwitch(const std::wstring& program, bool works);

 private:
  struct TItem {
    UINT id = 0;
    HMENU submenu = nullptr;
    std::wstring caption;
    bool separator = false;
  };
  bool Visible(const TItem& item, const TTailVisibility& shown) const;
  void TakeOut();
  std::wstring CaptionOf(UINT id) const;

  win::TMenuHandle menu_;
  win::TMenuHandle recentFolders_;
  win::TMenuHandle recentFiles_;
  win::TMenuHandle openFolders_;
  win::TMenuHandle filter_;
  std::vector<TItem> items_;
};
