// The folder menu's "Open Folders" submenu: the folders the other open Explorer windows show.
// Whether it shows is decided before the menu from the frames that exist; the frames are read
// only when the user opens the submenu, so the menu itself waits for no other program. Owns the
// list behind the items; the submenu itself belongs to the folder menu's tail. Main thread.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "menu/menu_images.h"
#include "navigation/shell_windows.h"

class TOpenFoldersMenu {
 public:
  // Before each display: remembers the submenu `menu`, `target`'s own frame and `targetFolder`
  // (left out of the list), and leaves one disabled item in the submenu until it is read. True
  // when another Explorer frame is open, found by class alone: no program is asked anything.
  bool Prepare(HMENU menu, HWND target, const std::wstring& targetFolder, HINSTANCE instance);
  // WM_INITMENUPOPUP: for the submenu, the first time it opens in this display, reads the frames
  // side by side and beside the display's read of the shell's list `shellTabs` (a frame that
  // does not answer in time is left out) and fills it with their folders, nearest first, each
  // once; with nothing readable, one disabled item says so. False for any other menu.
  bool Fill(HMENU opened, HINSTANCE instance, TMenuImages& images, TShellTabsRead& shellTabs);
  // The folder behind a picked item; none for another command.
  std::optional<std::wstring> FolderOf(UINT command) const;

 private:
  void ShowNothingRead(HINSTANCE instance) const;

  HMENU menu_ = nullptr;
  HWND targetRoot_ = nullptr;
  std::wstring targetFolder_;
  bool read_ = false;
  std::vector<std::wstring> folders_;
};
