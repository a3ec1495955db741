// Reading the folder a foreign window is showing, from its title or its address box, for the
// folder menu's "current folder" entries. Owns nothing. Main thread (the agent's).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class TShellTabsRead;

// The folder the window of this kind (TargetKind) shows, or empty when it names no existing
// folder with a backslash in it. An Explorer frame is read untouched first (its title, the
// shell's list as `shellTabs` reads it, its address bar as it is); only when none names a folder
// is its breadcrumb bar switched into edit mode, for which `agentThreadId`, the agent's main
// thread, attaches to the target's input.
std::wstring GetPath(HWND window, int kind, DWORD agentThreadId, TShellTabsRead& shellTabs);

// Whether a text another program gives names a folder: a local folder that exists, or the path of
// a share or network drive, taken as it is without a probe (none of a host someone else chose).
bool TextNamesFolder(const std::wstring& text);

// The folder an Explorer frame shows in front, read untouched (its title, the shell's list, its
// address bar as it is: nothing is clicked), or empty when none names a folder of the file
// system. Bounded as one window read.
std::wstring ExplorerFrameFolder(HWND frame, TShellTabsRead& shellTabs);
// Whether a visible Explorer frame other than the top-level window `except` may be open, found by
// class and style alone: no program is sent anything, so a hung one costs nothing here, and the
// search stops at the first, so it costs the same however many are open. Where the shell keeps
// a list, a frame of Explorer's classes with other styles counts too (the list may name it).
bool ExplorerFrameOpen(HWND except);
// The folders the open Explorer windows show, nearest in Z-order first, one entry per window
// and one per tab the shell's list names (empty where a window could not be read), leaving out
// the top-level window `except` and windows that do not answer. A frame of Explorer's classes
// with other styles counts where the list names it. Nothing is changed in the windows: a title
// that is a path, else one timed read of the address bar; the reads run side by side and beside
// the list's, so together they take no longer than kForeignSendTimeoutMs.
std::vector<std::wstring> OpenExplorerFolders(HWND except, TShellTabsRead& shellTabs);
