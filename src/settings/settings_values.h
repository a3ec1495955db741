// The agent's preferences: one process-wide variable per value of the settings key, starting at
// its default. Read once at window creation; written by the options dialog. Main thread only.
#pragma once

inline constexpr wchar_t kSettingsKey[] = L"Software\\BrantwellTools\\Quillrook Folder\\1.0";

struct TSettingsValues {
  bool RecentFldr = true;
  bool RecentFls = true;
  int FoldersCount = 20;
  int FilesCount = 20;
  bool ClearLink = true;
  bool ShowTray = true;
  int MouseWheel = 0;
  bool MouseMButton = true;
  bool Help = true;
  bool RExplorer = true;
  bool MExplorer = true;
  bool MIExplorer = false;
  bool MDesktop = true;
  int Alt = 8;
  int Keys = 90;
  bool ExpEnch = true;
  bool AlwaysAddDialog = false;
  bool OpenFolders = true;  // the folder menu's "Open Folders" submenu
  // Explorer Jump: the key that takes a file dialog to the folder of the Explorer window used last
  // (modifiers in the high word as "Alt" takes them, the virtual key in the low; Ctrl+G, 0 off),
  // and whether a dialog follows that window by itself (0 off, 1 coming back from Explorer, 2 also
  // when a dialog comes up).
  int JumpKey = (2 << 16) | 'G';
  int AutoJump = 0;
  // The search box's own hot key, stored as JumpKey is; 0, none.
  int SearchKey = 0;
  // Copy Window Details' own hot key, for the window under the mouse, stored as JumpKey is; 0, none.
  int DetailsKey = 0;

  friend bool operator==(const TSettingsValues&, const TSettingsValues&) = default;
};

extern TSettingsValues Settings;
