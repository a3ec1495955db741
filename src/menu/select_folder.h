// The shell's browse-for-folder dialog, used by "Add Folder..." and the settings dialogs.
// Owns nothing beyond the call. Main thread (any thread that may run a modal dialog).
#pragma once

#include <windows.h>

#include <string>

// Shows the dialog owned by `owner`, starting at `initial` (or the shell's default when empty);
// the chosen folder's path, or empty when the user cancels or picks no file-system folder.
std::wstring SelectFolder(HWND owner, const std::wstring& initial);

// The dialog's callback: on BFFM_INITIALIZED selects the initial folder (a wide string passed
// as `data`) and writes it into the edit box; on BFFM_SELCHANGED writes the selected path there.
int CALLBACK CallbackProc(HWND dialog, UINT message, LPARAM param, LPARAM data);
