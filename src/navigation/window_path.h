// Reading the folder a foreign window is showing, from its title or its address box, for the
// folder menu's "current folder" entries. Owns nothing. Main thread (the agent's).
#pragma once

#include <windows.h>

#include <string>

// The folder the window of this kind (TargetKind) shows, or empty when it names no existing
// folder with a backslash in it. `agentThreadId` is the agent's main thread, which attaches to
// the target's input when an Explorer address bar has to be switched into edit mode.
std::wstring GetPath(HWND window, int kind, DWORD agentThreadId);
// The reader for file dialogs: always empty, so a dialog's folder is never offered.
void GetPathNT(std::wstring& path);
