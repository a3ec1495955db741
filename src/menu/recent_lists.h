// The recent folders and files: built from the shortcuts the shell keeps in the user's Recent
// folder, kept in time order (keys "time@path", the newest last), with the two scans'
// bookkeeping, the recent files' icon keys and what the two submenus show. Portable: reading
// shortcuts, finding files and loading icons are asked of the caller. Main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// A recent file or folder: the target file (or the folder) and its image in the recent-files
// image list (0: none of its own).
struct TStr {
  std::wstring path;
  int imageIndex = 0;
};

// A shortcut's last-write time as a DOS date-time value, and that number as text.
struct TInt {
  std::int32_t time = 0;
  std::wstring timeText;
};

struct TRecentEntry {
  std::wstring key;  // time text, "@", target path
  TStr item;
};

// A shortcut file of the Recent folder as a file search reports it.
struct TShortcutFile {
  std::wstring name;  // "report.txt.lnk"
  std::int32_t time = 0;
};

// What the scans ask of the system.
class TRecentSource {
 public:
  virtual ~TRecentSource() = default;
  // The target of a shortcut of the Recent folder; none when it cannot be loaded.
  virtual std::optional<std::wstring> Target(const std::wstring& shortcutName) = 0;
  // A file that may be listed: a remote or removable path (never probed), or an existing file.
  virtual bool Usable(const std::wstring& path) = 0;
  // Loads the small icon of the file into the image list; its index there, or 0 when it could
  // not be used.
  virtual int LoadIcon(const std::wstring& path) = 0;
};

// The full scan keeps this many of the newest usable shortcuts.
inline constexpr int kRecentShortcutsKept = 40;

// A folder the scans may read and trim: a full path below a drive or a network share, never a
// relative path (it would be read wherever the agent runs) nor a root, where "Delete excess
// shortcuts" would delete shortcuts that are not the shell's.
bool IsScannableRecentFolder(const std::wstring& path);
// The Recent folder to scan: the shell-folders value when it is scannable, else the folder the
// system names for Recent; empty when neither is (no recent lists then).
std::wstring ChooseRecentFolder(const std::wstring& shellFoldersValue, const std::wstring& knownFolder);

std::wstring RecentKey(std::int32_t time, const std::wstring& path);
// Oldest first by the time before "@"; equal times by the rest of the key, case-blind.
bool RecentKeyLess(const std::wstring& a, const std::wstring& b);
// A path without its last component and without a trailing "\".
std::wstring RecentFolderOf(const std::wstring& path);
// The key of a file's icon: its extension in lower case, or the whole path for the extensions
// whose files carry icons of their own (.exe, .ico and the like).
std::wstring IconKey(const std::wstring& path);

// One item of a recent submenu: the entry's position in its list (the item's tag), the path
// shown and its image.
struct TRecentItem {
  int position = 0;
  std::wstring path;
  int imageIndex = 0;
};

class TRecentLists {
 public:
  // The letters of the fixed and network drives, upper and lower case ("CcZz"): a target on any
  // other drive (removable, CD-ROM, UNC) is never listed.
  void AddDrives(const std::wstring& letters);

  // The full scan. Lists the newest usable shortcuts (at most 40); with `clearLink` the names of
  // the older shortcut files go to `excess`, for the caller to delete. The newest `filesCount`
  // files get their icons (all of them for 0, which shows them all).
  void FindFirstRecent(std::vector<TShortcutFile> shortcuts, TRecentSource& source, int filesCount, bool clearLink,
                       std::vector<std::wstring>& excess);
  // The incremental scan: resolves only new shortcuts and those with a new time. True when a
  // list changed, so the submenus need rebuilding.
  // A folder's older entry among the newest `foldersCount` + 1 (all for 0) makes way for the new.
  bool FindRecent(const std::vector<TShortcutFile>& shortcuts, TRecentSource& source, int foldersCount);

  // What the submenus show, newest first: at most `count` items (all when 0), entries whose
  // path is not usable left out; files are shown once each whatever their times.
  std::vector<TRecentItem> FilesToShow(int count, const std::function<bool(const std::wstring&)>& usable) const;
  std::vector<TRecentItem> FoldersToShow(int count, const std::function<bool(const std::wstring&)>& usable) const;

  // A recent folder was picked: it becomes the newest, stamped with `now`.
  void TouchFolder(int position, std::int32_t now);
  // "Clear": every list, the drives excepted, and the icon keys. Shortcuts still in the folder
  // (the system may leave them) count as seen, so a later scan does not bring them back.
  void Clear(const std::vector<TShortcutFile>& remaining = {});
  // Forgets the shortcuts seen, so that the next full scan looks at each again.
  void ForgetShortcuts();

  const std::vector<TRecentEntry>& RecentFiles() const { return files_; }
  const std::vector<TRecentEntry>& RecentFolders() const { return folders_; }
  std::size_t ShortcutCount() const { return RecentShortcuts.size(); }

 private:
  struct TShortcut {
    std::wstring name;
    TInt stamp;
  };
  bool OnKnownDrive(const std::wstring& target) const;
  int ImageFor(const std::wstring& path, TRecentSource& source);
  void SortFiles();
  void SortFolders();
  void RemoveKey(std::vector<TRecentEntry>& list, const std::wstring& key);

  std::wstring drives_;
  std::vector<TShortcut> RecentShortcuts;
  // Shortcut names, case folded, to their position in RecentShortcuts.
  std::unordered_map<std::wstring, std::size_t> shortcutIndex_;
  std::vector<TRecentEntry> files_;
  std::vector<TRecentEntry> folders_;
  // Icon keys to their images; a key whose icon could not be used maps to 0.
  std::unordered_map<std::wstring, int> IconKeys;
};
