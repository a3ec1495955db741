// "Pick a Window...": the next left click anywhere on the screen names a window. A click on a
// window of another program is kept from that program (it is a pick, not a press of its buttons)
// and its window handed to the owner; a click on one of the agent's own windows, or no click
// within kPickTimeoutMs, ends the wait with none. A low-level mouse hook of the calling thread,
// which must pump messages meanwhile; main thread.
#pragma once

#include <windows.h>

#include "win/handles.h"

class TWindowPicker {
 public:
  // How long a pick waits for its click.
  static constexpr UINT kPickTimeoutMs = 20000;

  TWindowPicker() = default;
  TWindowPicker(const TWindowPicker&) = delete;
  TWindowPicker& operator=(const TWindowPicker&) = delete;
  ~TWindowPicker() { Stop(); }

  // Waits for the click: `owner` then gets `message` with the picked window in lParam (0 for
  // none), and `timerId` is its timer for the timeout. False when the hook cannot be had.
  bool Start(HWND owner, UINT message, UINT_PTR timerId);
  // Ends the wait with none (also the owner's WM_TIMER for `timerId`).
  void Stop();
  bool Waiting() const { return static_cast<bool>(hook_); }

 private:
  static LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam);
  void Finish(HWND picked);

  static thread_local TWindowPicker* active_;
  win::THookHandle hook_;
  HWND owner_ = nullptr;
  UINT message_ = 0;
  UINT_PTR timerId_ = 0;
  // The window the press fell on; its release is kept from it too.
  HWND pressed_ = nullptr;
};
