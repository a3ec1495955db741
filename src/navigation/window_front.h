// Bringing a window of another process to the foreground. Main thread.
#pragma once

#include <windows.h>

// Unlocks foreground changes, restores a minimised window, makes it the foreground window and
// locks foreground changes again so other programs cannot take it away before the user acts.
void MoveWindowToFront(HWND window);
// LockSetForegroundWindow with 1 (lock) or 2 (unlock); false where the system lacks it.
bool LockSetForegroundWindows(unsigned code);

// True when the window's thread answers a null message within 200 ms. A thread that does not
// must never have its input attached to ours: focus and foreground changes then wait for it
// without a bound, and the agent would hang with it.
bool WindowAnswers(HWND window);
