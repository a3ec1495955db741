// The folder menu from one display to the next: the menu with its tail, "Open Folders", the
// recent submenus (kept current while the Recent folder changes), the favourite lists and the
// window the menu is shown for. It prepares each display (gathers what the window and the lists
// say, decides the tail, applies it), turns a picked command into a pick and carries the pick
// out on that window, and rebuilds the menu when the lists change. The main window owns it and
// shows the menu; the images belong to the main window too, which draws both its menus. Main
// thread.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "menu/configuration_files.h"
#include "menu/favourites_store.h"
#include "menu/folder_menu_tail.h"
#include "menu/menu_images.h"
#include "menu/open_folders_menu.h"
#include "menu/recent_menus.h"
#include "menu/search_ranking.h"
#include "monitor/change_monitoring.h"
#include "settings/own_dialogs.h"
#include "settings/settings_values.h"

// The window a display is for, as it was when the menu was prepared.
struct TMenuTarget {
  HWND window = nullptr;
  int kind = 0;  // TargetKind
  // The folder the window showed: read only for the kinds that ask it (AsksCurrentFolder), and
  // empty when it could not be read. "Add Current Folder", "Remove Current Folder" and "Open
  // Folder in New Window" act on this folder, the one the user saw the menu for.
  std::wstring folder;
  bool folderRead = false;
  // A file dialog's program by its executable name, and whether Explorer Jump works in it, where
  // the menu offered its switch ("Explorer Jump in <program>"); empty where it did not.
  std::wstring program;
  bool jumpWorks = false;
  // For one of the user's own dialogs, the entry that took it.
  std::optional<TOwnDialog> ownDialog;
};

// A picked generated item: what it names and the command it came from.
struct TMenuPick {
  enum class TKind { Favourite, Filter, OpenFolder, RecentFolder, RecentFile };
  TKind kind = TKind::Favourite;
  std::wstring text;  // the folder or file; a filter's masks
  UINT command = 0;
};

class TFolderMenuSession {
 public:
  // `settings` are the agent's, read anew at every display and pick (they change in place).
  TFolderMenuSession(TMenuImages& images, const TSettingsValues& settings);
  TFolderMenuSession(const TFolderMenuSession&) = delete;
  TFolderMenuSession& operator=(const TFolderMenuSession&) = delete;

  // Makes the recent lists (empty, for the Recent folder) and loads the menu and its tail from
  // the resources; false when the menu resource is missing or not of its shape. The calling
  // thread is the menu's: it is the second party of every input attachment a pick makes.
  bool Load(HINSTANCE instance);
  // Reads the Recent folder (when a recent submenu is on), builds the submenus and watches the
  // folder: a burst of changes is scanned once, on `timerWindow`'s timer `timerId`.
  void StartRecent(HWND timerWindow, UINT_PTR timerId);
  void StopRecent();
  // WM_TIMER: true for the recent timer (Timer1), whose scan it then runs.
  bool OnTimer(UINT_PTR timerId);
  // After the settings changed: the recent lists read anew (and scanned, when both submenus were
  // off before) and the submenus rebuilt.
  void RecentSettingsChanged(bool recentWereOff);

  HMENU Menu() const { return tail_.Menu(); }
  const TMenuTarget& Target() const { return target_; }
  // Before a menu shows at `point`: the images in the size for that monitor's DPI. Where the
  // size changed, the folder menu is measured anew and the recent files' icons are asked of the
  // shell again at the new size. Returns the size.
  int SizeImagesAt(POINT point);
  const TFavouriteLists& Lists() const { return lists_; }

  // A display for `window` of `kind` begins: logged, the lists reloaded when another instance
  // asked, the window taken as the target (with the entry of the user's own dialogs that took it,
  // for that kind).
  void Begin(HWND window, int kind, const TOwnDialog* ownDialog = nullptr);
  // Before the display: the target's folder read where its kind asks it, the tail decided and
  // applied, "Open Folders" made ready. Run it with the target's input attached.
  void Prepare();
  // WM_INITMENUPOPUP of the menu's owner: true when the submenu was this menu's "Open Folders",
  // which it then reads and fills.
  bool OnInitMenuPopup(HMENU opened);
  // A picked command as a pick; none for a fixed command or an item that names nothing.
  std::optional<TMenuPick> Decode(UINT command) const;
  // Takes the target there (a folder or a filter), or opens the file where the target is no file
  // dialog; a recent folder or file gone since the menu was built is greyed where it stands
  // instead. Runs with the target's input let go.
  void CarryOut(const TMenuPick& pick);

  // What the search box searches for the target: the favourites (submenu entries too, headers
  // not), the recent folders and files where their submenus are on, and the filters for a file
  // dialog. The open folders are the caller's to read, beside the box.
  std::vector<TSearchEntry> SearchEntries() const;
  // An entry taken in the search box, carried out as the menu's pick of it would be.
  void CarryOutSearch(const TSearchEntry& entry);

  // Reloads the favourites and filters from the registry and rebuilds the menu.
  void UpdateListMenu();
  // Rebuilds the favourites section and the Filter submenu from the lists.
  void BuiltPath();
  // Rebuilds the recent files' and the recent folders' submenus, where their settings are on.
  void BuiltRecent(bool files, bool folders);

  // Adds a folder as a favourite (or reloads for "/update") and rebuilds the menu; with the
  // "always show this dialog" setting, askCaption gets the proposed caption to change.
  TAddResult AddListMenu(const std::wstring& text, const std::function<bool(std::wstring& caption)>& askCaption);
  // "Add Folder...": the folder the user picks in the system's folder browser, added; a folder
  // that cannot be a favourite is said in a message.
  void AddChosenFolder(HWND owner, const std::function<bool(std::wstring& caption)>& askCaption);
  // "Add Current Folder", "Remove Current Folder", "Open Folder in New Window": the target's
  // folder as it was read when the menu was prepared.
  void AddClick(const std::function<bool(std::wstring& caption)>& askCaption);
  void RemoveClick();
  void OpenFolderClick() const;
  // Replaces one key of the store or both and rebuilds the menu; false (the keys as they were,
  // and the user told in a message over `owner`) when the new values could not be written.
  bool ReplaceStore(HWND owner, const TStoreValues* favourites, const TStoreValues* filters);
  // "Save Configuration..." and "Open Configuration...": a file the user picks in the
  // configuration folder, exported from or imported into the store as it is now; a problem with
  // the file is said in a message.
  void ExportLists(HWND owner, const std::wstring& configurationFolder);
  void ImportLists(HWND owner, const std::wstring& configurationFolder);
  // "Clear": the recent lists and the system's own.
  void Clear1Click();

 private:
  // The Recent folder changed: Timer1 starts, unless it runs already, so a burst gives one scan.
  void ShellChangeNotifier1Change();
  void Timer1Timer();

  TMenuImages& images_;
  const TSettingsValues& settings_;
  HINSTANCE instance_ = nullptr;
  DWORD thread_ = 0;
  TFolderMenuTail tail_;
  TOpenFoldersMenu openFolders_;
  std::unique_ptr<TRecentMenus> recent_;
  TChangeWatch changeWatch_;
  HWND timerWindow_ = nullptr;
  UINT_PTR timerId_ = 0;
  bool timerRunning_ = false;
  // PathNames, PathValues, FilterMasks and FilterCaptions, mirrored from the registry.
  TFavouriteLists lists_;
  // The encodings the lists were last imported in; exports write them back the same way.
  TListEncodings listEncodings_{};
  TMenuTarget target_;
  // The display's one read of the shell's window list, for the target's folder and "Open Folders".
  TShellTabsRead shellTabs_;
};
