// TSettContextMenu, "Context menu items": which items the shell extension shows in Explorer's
// context menus. The dialog shows and returns the three switches; its owner loads and stores
// them (ContextMenuItems in the settings). Main thread.
#pragma once

#include <windows.h>

#include "dialogs/dialog_base.h"
#include "settings/settings_registry.h"

class TSettContextMenu {
 public:
  explicit TSettContextMenu(HINSTANCE resources) : resources_(resources) {}
  TSettContextMenu(const TSettContextMenu&) = delete;
  TSettContextMenu& operator=(const TSettContextMenu&) = delete;

  // Shows the switches of `items` (stored values; a missing one leaves its box as it was, all
  // checked at first) centred on `owner`; true and the new switches in `items` on "OK".
  bool Show(HWND owner, TContextMenuItems& items);

 private:
  template <class T, const wchar_t* Where, TDialogFailures Failures>
  friend INT_PTR CALLBACK DialogThunk(HWND, UINT, WPARAM, LPARAM);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

  HINSTANCE resources_;
  HWND dialog_ = nullptr;
  TContextMenuItems* items_ = nullptr;
  // The boxes keep their state between showings, as a form kept for the agent's life would.
  bool checked_[3] = {true, true, true};
};
