// The folder menu's "Open Folders" submenu: the folders the other open Explorer windows show,
// read and built each time the menu is about to show. Owns the list behind the items; the
// submenu itself belongs to the folder menu's tail. Main thread.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "menu/menu_images.h"

class TOpenFoldersMenu {
 public:
  // Reads the Explorer windows other than `target`'s own, and fills `menu` with their folders
  // (nearest first, each once, `targetFolder` left out). True when the submenu has items.
  bool Build(HMENU menu, HWND target, const std::wstring& targetFolder, TMenuImages& images);
  // The folder behind a picked item; none for another command.
  std::optional<std::wstring> FolderOf(UINT command) const;

 private:
  std::vector<std::wstring> folders_;
};
