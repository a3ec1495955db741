// TQuillFolder: the agent's hidden main window. Owns the tray menu PopupMenu1 and its commands,
// the folder menu PopupMenu2 (the session that prepares each display and carries out a pick),
// the images both menus draw with, the tray icon, the hook pump and the hot key; shows the menus
// and dispatches every request. Everything here runs on the main thread.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "core/agent_dialogs.h"
#include "core/explorer_jump.h"
#include "core/hook_pump.h"
#include "core/thread_requests.h"
#include "core/tray_icon.h"
#include "menu/folder_menu_session.h"
#include "menu/menu_images.h"
#include "settings/settings_values.h"
#include "win/handles.h"

inline constexpr UINT WM_QFTRAYMENU = WM_USER + 123;    // 1147: the tray menu
inline constexpr UINT WM_QFFOLDERMENU = WM_USER + 124;  // 1148: the folder menu, foreground window
inline constexpr UINT WM_QFOPTIONS = WM_USER + 125;     // 1149: the options dialog

class TQuillFolder final : private TOptionsHost {
 public:
  TQuillFolder() = default;
  TQuillFolder(const TQuillFolder&) = delete;
  TQuillFolder& operator=(const TQuillFolder&) = delete;

  // Creates the hidden window and runs FormCreate; false when the agent must end at once.
  bool Create(HINSTANCE instance);
  // The message loop with the application message handler; returns when the agent exits.
  int Run();

  void ShowPath(HWND window, int kind);
  // The folder menu's display for `window` of `kind` begins, with the entry of the user's own
  // dialogs that takes it for that kind.
  void BeginMenuFor(HWND window, int kind);
  void ShowHot(HWND window);
  void ShowMenu();
  // The search box, empty, for `window` (the foreground window when it is none or the agent's
  // own) as the hot key's folder menu would be for it.
  void ShowSearch(HWND window);

 private:
  // Timer1: the recent lists' scan after a burst of changes; Timer4: the hook queue's drain.
  enum : UINT_PTR { kTimer1 = 1, kTimer4 = 4 };
  enum : int { kHotKeyId = 0x5146 };
  enum : UINT { WM_QFTRAYICON = WM_APP + 1 };

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // The application message handler: sees every message the loop takes, thread messages too.
  void ApplicationMessage(const MSG& msg);

  bool FormCreate();
  void FormShow();
  void FormDestroy();
  void OnTrayIcon(LPARAM lParam);
  // The steps of ShowPath that run with the target's input attached; the picked command or 0.
  UINT ShowFolderMenu();

  // The menu commands (menu_commands.cpp).
  void RunCommand(UINT id);
  void Exit1Click();
  void Addfolder1Click();
  void Saveconfiguration1Click();
  void Openconfiguration1Click();
  // Adds a folder as a favourite (or reloads for "/update"), the caption asked where the
  // settings say so.
  TAddResult AddListMenu(const std::wstring& text);
  bool AskCaption(std::wstring& caption);
  // "Options..." and "About...": the options dialog on its first or last page.
  void Settings1Click(int page);
  // Another program asking for the options (1149) while a modal loop runs: the dialog, when it is
  // up, turns to the page at once (true); any other time the request waits for the main loop.
  bool ServeOptionsRequest(const MSG& msg);
  void RegisterHotKey();

  // TOptionsHost: the options dialog's "OK" and "Apply" store and apply here.
  const TFavouriteLists& ReloadStore() override;
  void SaveOptions(const TOptionsSave& save) override;

  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  // The main thread: the second party of every input attachment.
  DWORD mainThreadId_ = 0;
  bool hotKeyRegistered_ = false;
  bool destroyed_ = false;
  // Set once the message loop has ended, just before the window is destroyed.
  bool closing_ = false;
  win::TIconHandle icon_;
  // Draws the images of both menus, so it outlives them.
  TMenuImages images_;
  win::TMenuHandle trayMenuBar_;
  HMENU PopupMenu1 = nullptr;
  int trayImageSize_ = TMenuImages::kSize;  // the image size the tray menu was measured at
  TFolderMenuSession PopupMenu2{images_, Settings};
  std::unique_ptr<TTrayIcon> trayIcon_;
  std::unique_ptr<THookPump> hookPump_;
  std::unique_ptr<TExplorerJump> jump_;
  TThreadRequests requests_;
  std::unique_ptr<TAgentDialogs> dialogs_;
  // Set while the folder menu is up; the letter typed in it that no item has as its mnemonic,
  // which the search box takes once the menu has closed.
  bool folderMenuUp_ = false;
  // The window in front when the tray menu came up: "Search..." is for it.
  HWND trayForeground_ = nullptr;
  std::wstring searchTyped_;
  std::unique_ptr<TSett> options_;
};

// Creates the main window and runs the message loop; the process exit code.
int RunMainWindow(HINSTANCE instance);
// Ends the agent as the tray's "Exit" does: the logs written, the message loop told to stop.
void TerminateApplication();
