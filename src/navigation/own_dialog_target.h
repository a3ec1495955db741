// The user's own dialogs as targets: which entry of the "Dialogs" key takes a window, and driving
// the window as the entry says: the path into the box the entry's class path finds ("edit"), or
// typed with SendInput into the window once it is in front ("keys", "address" after its key).
// Main thread (the agent's).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "settings/own_dialogs.h"

// The entry that takes the top-level window of `window`, or null. None ever takes a window the
// recognition knows as anything but the desktop's kind (a file dialog, a frame, an archiver, a
// folder-browse dialog, a console), the desktop itself, or one of the agent's own windows.
const TOwnDialog* OwnDialogOf(HWND window, const std::vector<TOwnDialog>& entries);

// The visible window the entry's class path leads to from `dialog`, each step any child of that
// class (the first path that reaches a visible box wins); 0 when none does.
HWND FindOwnDialogBox(HWND dialog, const std::vector<std::wstring>& classes);

// Takes `dialog` to `path` as its entry says; false, with a log line, when that could not be
// begun (no box on the path, a text that cannot be typed, a window that does not answer or does
// not come to the front), so the caller does what it would do without the entry.
bool SetDataToOwnDialog(HWND dialog, const TOwnDialog& entry, DWORD agentThreadId, const std::wstring& path,
                        bool filter);
