// TQuillFolder: the agent's hidden main window. Owns the tray icon, the tray menu PopupMenu1,
// the folder menu PopupMenu2, the timers that drain the hook queue, the hot key and the current
// menu target. Everything here runs on the main thread.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "core/hook_contract.h"
#include "dialogs/add_item_dialog.h"
#include "menu/configuration_files.h"
#include "menu/favourites_store.h"
#include "menu/menu_images.h"
#include "win/handles.h"

inline constexpr UINT WM_QFTRAYMENU = WM_USER + 123;    // 1147: the tray menu
inline constexpr UINT WM_QFFOLDERMENU = WM_USER + 124;  // 1148: the folder menu, foreground window
inline constexpr UINT WM_QFOPTIONS = WM_USER + 125;     // 1149: the options dialog

// The shared record of the hook; null while the hook is not installed.
extern hook::THookShare* HookShare;
// The id of the main thread, taken at window creation.
extern DWORD MainThreadId;

class TQuillFolder {
 public:
  TQuillFolder() = default;
  TQuillFolder(const TQuillFolder&) = delete;
  TQuillFolder& operator=(const TQuillFolder&) = delete;
  ~TQuillFolder();

  // Creates the hidden window and runs FormCreate; false when the agent must end at once.
  bool Create(HINSTANCE instance);
  // The message loop with the application message handler; returns when the agent exits.
  int Run();

  HWND Handle() const { return window_; }

  void ShowPath(HWND window, int kind);
  void ShowHot(HWND window);
  void ShowMenu();

  // Reloads the favourites and filters from the registry and rebuilds the menu.
  void UpdateListMenu();
  // Adds a folder as a favourite (or reloads for "/update") and rebuilds the menu.
  void AddListMenu(const std::wstring& text);
  // Rebuilds the favourites section and the Filter submenu from the lists.
  void BuiltPath();
  const TFavouriteLists& Lists() const { return lists_; }

 private:
  enum : UINT_PTR { kTimer1 = 1, kTimer4 = 4 };
  enum : int { kHotKeyId = 0x5146 };
  enum : UINT { WM_QFTRAYICON = WM_APP + 1 };

  // One fixed item of the folder menu's tail, kept so it can be hidden and shown again.
  struct TTailItem {
    UINT id = 0;
    HMENU submenu = nullptr;
    std::wstring caption;
    bool separator = false;
    bool visible = true;
  };

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // The application message handler: sees every message the loop takes, thread messages too.
  void ApplicationMessage(const MSG& msg);

  bool FormCreate();
  void FormShow();
  void FormDestroy();
  void Timer4Timer();
  void HandleMsg(const hook::TQueueSlot& slot);

  void TrayAdd();
  void TrayRemove();
  void OnTrayIcon(WPARAM wParam, LPARAM lParam);
  void TrayIconClick();

  // Steps of ShowPath that run with the target's input attached; the picked command or 0.
  UINT ShowFolderMenu(HWND window, int kind);
  void LoadMenus(HINSTANCE instance);
  TTailItem* TailItem(UINT id);
  void ApplyTail();
  void RunCommand(UINT id);
  void OpenAddress(const wchar_t* address);
  void Addfolder1Click();
  void Saveconfiguration1Click();
  void Openconfiguration1Click();
  void FavouriteClick(int index);
  void FilterClick(int index);
  bool AskCaption(std::wstring& caption);

  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  UINT taskbarCreated_ = 0;
  bool trayShown_ = false;
  bool trayVersion4_ = false;
  bool hotKeyRegistered_ = false;
  // Re-installing the hook failed at the last stale heartbeat; the record stays mapped.
  bool hookFailing_ = false;
  win::TIconHandle icon_;
  win::TMenuHandle trayMenuBar_;
  HMENU PopupMenu1 = nullptr;
  win::TMenuHandle PopupMenu2;
  win::TMenuHandle Recent1, Recentfiles1, Filter1;
  std::vector<TTailItem> tail_;
  TMenuImages images_;
  // PathNames, PathValues, FilterMasks and FilterCaptions, mirrored from the registry.
  TFavouriteLists lists_;
  std::unique_ptr<TfmAddItem> addItemDialog_;
  // The encodings the lists were last imported in; exports write them back the same way.
  TListEncodings listEncodings_{};

  // The window and kind the folder menu was last shown for, and a dialog's file-name box.
  HWND targetWindow_ = nullptr;
  int targetKind_ = 0;
  HWND targetEdit_ = nullptr;
};

// Creates the main window and runs the message loop; the process exit code.
int RunMainWindow(HINSTANCE instance);
