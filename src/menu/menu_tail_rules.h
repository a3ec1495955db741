// Which entries of the folder menu's fixed tail show for the window the menu is for: the two recent
// submenus, "Open Folders", "Filter" and the three current-folder commands. Portable, no state; any
// thread.
#pragma once

// What the menu knows of its window when it is about to show.
struct TTailInput {
  int kind = 0;                    // TargetKind of the window
  bool officeDialog = false;       // a file dialog whose class begins "bosa_sdm_"
  bool folderKnown = false;        // the window's current folder could be read
  bool folderIsFavourite = false;  // ...and the favourites hold it (plain or as a submenu entry)
  bool hasFilters = false;         // the filter list is not empty
  bool recentFoldersOn = false;    // the RecentFldr setting
  bool hasRecentFolders = false;   // the recent-folders list is not empty
  bool recentFilesOn = false;      // the RecentFls setting
  bool hasRecentFiles = false;     // the recent-files list is not empty
  bool openFoldersOn = false;      // the OpenFolders setting
  bool hasOpenFolders = false;     // another Explorer window is open (its folder is read later)
  bool jumpOffered = false;        // Explorer Jump is on, for a dialog of another program known by name
};

struct TTailVisibility {
  bool recentFolders = false;
  bool recentFiles = false;
  bool filter = false;
  bool addCurrent = false;
  bool removeCurrent = false;
  bool openFolder = false;
  bool openFolders = false;
  bool jumpSwitch = false;  // "Explorer Jump in <program>", checked where it works
  friend bool operator==(const TTailVisibility&, const TTailVisibility&) = default;
};

// Whether the menu asks the window for its current folder: Explorer and browser frames, a
// console (its shell's folder, where that can be read), and an Office file dialog.
bool AsksCurrentFolder(int kind, bool officeDialog);

TTailVisibility TailVisibility(const TTailInput& input);
