// The two recent submenus of the folder menu, "Recently Opened Folders" and "Recently Opened
// Files": the shortcuts of the user's Recent folder read and resolved for the recent lists, the
// full and the incremental scan, the recent files' icons (Lst) and the submenus' items. Owns the
// lists and the icons; the submenus themselves belong to the folder menu's tail. Main thread.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "menu/menu_images.h"
#include "menu/recent_lists.h"
#include "win/handles.h"

// The folder the shell puts its shortcuts in: the "Recent" value of the shell folders key, or the
// system's Recent folder where that value is missing or names no folder that may be scanned;
// empty (and logged) when there is none.
std::wstring RecentFolderPath();
// The shortcut files of a folder, with their last-write times as DOS date-time values.
std::vector<TShortcutFile> RecentShortcutFiles(const std::wstring& folder);
// Now as a DOS date-time value, as the shortcuts' times are.
std::int32_t NowDosDateTime();
// Puts a file into the system's recent documents, as opening it would.
void AddToRecentDocuments(const std::wstring& path);

class TRecentMenus {
 public:
  explicit TRecentMenus(std::wstring folder);
  TRecentMenus(const TRecentMenus&) = delete;
  TRecentMenus& operator=(const TRecentMenus&) = delete;

  const std::wstring& Folder() const { return folder_; }
  const TRecentLists& Lists() const { return lists_; }

  // FindFirstRecent: forgets the shortcuts seen, reads the folder anew, and with `clearLink`
  // deletes the shortcuts beyond the 40 newest usable ones.
  void FindFirstRecent(int filesCount, bool clearLink);
  // FindRecent: true when the lists changed and the submenus need rebuilding.
  bool FindRecent(int foldersCount);
  // BuiltRecent for either submenu: at most `count` items (all for 0), newest first, then a
  // separator and "Clear". Whether the submenu shows at all is the tail's rule.
  void BuildFolders(HMENU menu, int count, TMenuImages& images);
  void BuildFiles(HMENU menu, int count, TMenuImages& images);
  // The path behind a picked recent item, and its list position; none for another command.
  std::optional<std::wstring> FolderOf(UINT command) const;
  std::optional<std::wstring> FileOf(UINT command) const;
  // A picked folder becomes the newest.
  void TouchFolder(UINT command);
  // "Clear": the lists and the icons; the shortcuts left in the folder count as seen.
  void Clear();
  // The recent files' icons are asked of the shell at `size` pixels (the menus' image size)
  // from now on; those held are asked again.
  void SetIconSize(int size);

 private:
  void ResetIcons();

  std::wstring folder_;
  TRecentLists lists_;
  // The recent files' icons, and the file each was asked for (index 0, the image of files
  // without one of their own, has none).
  std::vector<win::TIconHandle> Lst;
  std::vector<std::wstring> iconFiles_;
  int iconSize_ = 16;
  // The list position behind each shown item, top to bottom.
  std::vector<int> shownFolders_;
  std::vector<int> shownFiles_;

  friend class TSystemRecentSource;
};
