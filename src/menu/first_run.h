// The first run: the favourites (computer, drives, documents, music, pictures and the browser
// favourites), the four filters, "Path" in the settings key, the Run value and the shell
// extension's registration, written when the settings key is missing. Main thread.
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <shlobj.h>

#include <string>

// Writes the first-run defaults. Stops quietly at the first failure.
void FirstTime();

// Imports the shortcuts to folders of one browser favourites folder (subfolder empty: the
// folder itself) as favourites; those of a subfolder go into a submenu named after it.
void LoadFavorites(const std::wstring& folder, const std::wstring& subfolder);

// The shell's display names of the computer folder and the documents folder; empty on failure.
struct TShellNames {
  std::wstring computer;
  std::wstring documents;
};
TShellNames GetNames();

// The text of a display-name result. A wide string is freed with the shell allocator (so `name`
// no longer owns it); an offset is taken inside `item`, the identifier the name was asked for.
std::wstring GetDisplayName(STRRET& name, LPCITEMIDLIST item);
