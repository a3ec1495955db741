// The "Open Folders" submenu's list: the folders the open Explorer windows show, nearest in
// Z-order first, each once, without the folder of the window the menu is for. Portable, no
// state; any thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

// True when two paths name the same folder (case-blind as the file system compares them).
using TSameFolder = std::function<bool(const std::wstring&, const std::wstring&)>;

// `nearestFirst`: the windows' folders in Z-order, empty where a window could not be read.
// A trailing backslash does not make a folder another one ("C:\Data\" is "C:\Data"; a drive
// root keeps its own).
std::vector<std::wstring> OpenFolderList(const std::vector<std::wstring>& nearestFirst,
                                         const std::wstring& targetFolder, const TSameFolder& same);
