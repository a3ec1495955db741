// Reading the folder a foreign window is showing, from its title or its address box, for the
// folder menu's "current folder" entries. Owns nothing. Main thread (the agent's).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The folder the window of this kind (TargetKind) shows, or empty when it names no existing
// folder with a backslash in it. `agentThreadId` is the agent's main thread, which attaches to
// the target's input when an Explorer address bar has to be switched into edit mode.
std::wstring GetPath(HWND window, int kind, DWORD agentThreadId);
// The reader for file dialogs: always empty, so a dialog's folder is never offered.
void GetPathNT(std::wstring& path);

// The folders the open Explorer windows show, nearest in Z-order first, one entry per window
// (empty where a window could not be read), leaving out the top-level window `except` and windows
// that do not answer. Nothing is changed in the windows: a title that is a path, else one timed
// read of the address bar; the reads run side by side, so together they take no longer than
// kForeignSendTimeoutMs.
std::vector<std::wstring> OpenExplorerFolders(HWND except);
