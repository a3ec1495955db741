// Bringing a window of another program to the foreground. Main thread.
#pragma once

#include <windows.h>

// Unlocks foreground changes, restores a minimised window, makes it the foreground window and
// locks foreground changes again so other programs cannot take it away before the user acts.
void MoveWindowToFront(HWND window);
