// The agent's icon in the notification area: added and removed on request, put back when the
// shell restarts ("TaskbarCreated"), with its events decoded for the version the shell took.
// Owned by the main window, whose hidden top-level window receives the events. Main thread.
#pragma once

#include <windows.h>

#include <string>

#include "core/tray_events.h"

class TTrayIcon {
 public:
  using TEvent = TTrayEvent;

  // `callbackMessage` is the window message the shell sends the icon's events with.
  TTrayIcon(HWND window, UINT callbackMessage, HICON icon, std::wstring tip);
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;
  ~TTrayIcon() { Show(false); }

  // Adds or removes the icon; an icon wanted while the shell has no notification area yet is
  // added once the shell announces itself.
  void Show(bool shown);
  bool Shown() const { return shown_; }
  // The shell's "TaskbarCreated" broadcast: a restarted shell forgot every icon, so a shown one
  // is added again. True when `message` was that broadcast.
  bool OnBroadcast(UINT message);
  // What an event of the callback message means: the menu (right click or context key) or the
  // icon's action (left click, Enter).
  TEvent Decode(LPARAM lParam) const;

 private:
  HWND window_;
  UINT callbackMessage_;
  HICON icon_;
  std::wstring tip_;
  UINT taskbarCreated_;
  bool wanted_ = false;
  bool shown_ = false;
  bool version4_ = false;
};
