// TSett, the options dialog "Options": the favourites and filters lists and the preferences on
// four pages. It works on copies loaded at every showing and hands them, with the settings its
// controls give, to its owner on "OK" and "Apply"; the owner stores and applies them. Created on
// first use and kept; main thread.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/context_menu_dialog.h"
#include "dialogs/dialog_base.h"
#include "dialogs/editor_dialog.h"
#include "dialogs/list_editing.h"
#include "dialogs/own_dialog_rows.h"
#include "dialogs/preference_rules.h"
#include "dialogs/window_picker.h"
#include "settings/settings_values.h"

struct TFavouriteLists;

// The Dialogs page's entries to write and to delete.
struct TOwnDialogsSave {
  std::vector<TOwnDialogValues> written;
  std::vector<std::wstring> removed;
};

// What "OK" and "Apply" hand the owner.
struct TOptionsSave {
  // Only a list that was changed comes along: the key of the other is left alone.
  std::optional<std::vector<TStoreValue>> favourites;
  std::optional<std::vector<TStoreValue>> filters;
  TSettingsValues settings;
  // The tray icon as its check box says; the stored ShowTray may still be on (see
  // ShowTrayStored).
  bool trayIconShown = true;
  bool autostart = false;
  // Explorer Jump's excluded programs, only when the page changed them.
  std::optional<std::vector<std::wstring>> jumpExcluded;
  // The user's own dialogs, only when the page changed them.
  std::optional<TOwnDialogsSave> ownDialogs;
};

// The agent, as the dialog sees it.
class TOptionsHost {
 public:
  virtual ~TOptionsHost() = default;
  // Reloads the favourites and filters from the registry and answers them.
  virtual const TFavouriteLists& ReloadStore() = 0;
  // Stores everything and applies it to the running agent.
  virtual void SaveOptions(const TOptionsSave& save) = 0;
};

class TSett {
 public:
  enum TPage : int {
    kFoldersPage = 0,
    kFiltersPage = 1,
    kPreferencesPage = 2,
    kJumpPage = 3,
    kDialogsPage = 4,
    kAboutPage = 5
  };
  static constexpr int kPageCount = 6;

  // `settings` are the agent's as they stand (they change in place when the host stores them):
  // the preferences show them, and what the controls do not set is handed back as it is.
  TSett(HINSTANCE resources, TOptionsHost& host, const TSettingsValues& settings);
  TSett(const TSett&) = delete;
  TSett& operator=(const TSett&) = delete;
  ~TSett();

  // Shows the dialog modally on `page`; while it is up already, brings it to the front instead.
  void Show(int page);
  HWND Window() const { return dialog_; }

 private:
  template <class T, const wchar_t* Where, TDialogFailures Failures>
  friend INT_PTR CALLBACK DialogThunk(HWND, UINT, WPARAM, LPARAM);
  template <class T, const wchar_t* Where>
  friend INT_PTR CALLBACK PageThunk(HWND, UINT, WPARAM, LPARAM);
  // The pages hand their controls' messages to the dialog that owns them.
  INT_PTR OnPageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool OnCommand(int id, int code);
  bool OnNotify(const NMHDR& header);

  void OnInitDialog();
  void OptionShow();
  void ShowPage(int page);
  // The lists' images and columns at the dialog's DPI now; the pages over the tabs' area.
  void FollowDpi();
  void PlacePages();
  int Page() const;
  HWND Item(int id) const;
  bool Checked(int id) const;
  void Check(int id, bool on);

  void FillFolders(std::optional<int> selected);
  void FillFilters(std::optional<int> selected);
  std::optional<int> Selected(int list) const;
  void UpdateButtons();

  void AddFolder();
  void AddSubmenu();
  void EditRow();
  void RemoveRow();
  void MoveRow(bool up);
  void ShowFolderEditor(int row, int mode);
  void ShowFilterEditor(bool newFilter);

  void ShowHotKeyMode();
  void OnCountSpin(int box, int delta);
  void OnCountLeft(int box);
  void OnWheelBox(int id);
  void FillJumpExcluded();
  void AddJumpExcluded();
  void RemoveJumpExcluded();
  // The Dialogs page: the list, the selected entry's boxes, an edit of one of them, a pick.
  void FillOwnDialogs(std::optional<int> selected);
  void ShowOwnDialog();
  void OwnDialogEdited(int id);
  // The key box's key into the entry of `row` (a change the entry makes only when it differs).
  void CommitOwnDialogKey(int row);
  void RemoveOwnDialog();
  void PickWindow();
  void OnWindowPicked(HWND window);
  void Save(bool close);
  void HelpTopic() const;
  // The hidden "Customize" button: the shell extension's context-menu items.
  void CustomizeContextMenu();

  HINSTANCE resources_;
  TOptionsHost& host_;
  const TSettingsValues& settings_;
  HWND dialog_ = nullptr;
  std::array<HWND, kPageCount> pages_{};
  int initialPage_ = kFoldersPage;
  // The menu images for the favourites list and the editor, at imageSize_ for the dialog's DPI.
  HIMAGELIST images_ = nullptr;
  int imageSize_ = 16;
  unsigned dpi_ = 96;
  std::unique_ptr<TEd> editor_;
  std::unique_ptr<TSettContextMenu> contextMenu_;

  TFavouriteRows rows_;
  TFilterRows filters_;
  bool favouritesChanged_ = false;
  bool filtersChanged_ = false;
  // The programs Explorer Jump leaves alone, as the page edits them.
  std::vector<std::wstring> jumpExcluded_;
  bool jumpExcludedChanged_ = false;
  TOwnDialogRows ownDialogs_;
  // Set while the page fills the entry's boxes, whose change notices are then not edits.
  bool showingOwnDialog_ = false;
  TWindowPicker picker_;
  // The virtual key last pressed in the natural key box; its character replaces the box's text.
  int naturalKey_ = 0;
  // The custom hot key last stored, offered by the control while another mode is stored.
  std::optional<THotKey> lastCustom_;
};
