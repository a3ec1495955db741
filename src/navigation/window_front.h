// Bringing a window of another program to the foreground, and joining its input while the
// agent's menu is up for it. Main thread.
#pragma once

#include <windows.h>

#include <optional>

#include "win/handles.h"

// Unlocks foreground changes, restores a minimised window, makes it the foreground window and
// locks foreground changes again so other programs cannot take it away before the user acts.
void MoveWindowToFront(HWND window);

// The input of a window's thread attached to `thread` while the agent shows its menu for that
// window: keys and Escape then reach the menu, under Wine too. A window that does not answer is
// left alone (logged): attached, it would hold the agent's own foreground change and menu for
// ever.
class TTargetInputAttachment {
 public:
  TTargetInputAttachment(HWND window, DWORD thread);
  // Lets go (logged) when the window stopped answering since: reading its folder may have found it
  // hung.
  void LetGoIfHung();

 private:
  HWND window_;
  std::optional<win::TThreadInputAttachment> attachment_;
};
