// Copy Window Details' reading of a window of another program: its program, the top-level
// window, its child windows (kMaxDepth deep, kMaxWindows at most) and what each recognition test
// answers for it. Every message is timed; after one goes unanswered no more are sent, and the
// tree gives what it can. Main thread.
#pragma once

#include <windows.h>

#include <vector>

#include "navigation/window_details.h"
#include "settings/own_dialogs.h"

// What a click on `clicked` picked for a Dialogs entry: its top-level window's program, class and
// title, and the box: the clicked window when it is a control without child windows, else the
// window that has the focus in that top-level window, if any.
TPickedWindow ReadPickedWindow(HWND clicked);
// The details of `window`'s top-level window, with the entry of `ownDialogs` that takes it.
details::TDetails ReadWindowDetails(HWND window, const std::vector<TOwnDialog>& ownDialogs);
