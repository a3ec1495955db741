// The bug report's archive: exports of the program's registry branch into the log folder, then
// the log folder's exports, pictures and logs packed into "bug-report.zip" in the data folder.
// Every step logs what it does; nothing throws. Main thread (the archive keeps the caller's
// windows answering while it packs).
#pragma once

#include <string>

// Exports HKEY_CURRENT_USER (or HKEY_LOCAL_MACHINE) + "\" + `key` into `target` + ".reg" (or
// target + N + ".reg" when that file cannot be replaced) with regedit or reg; without them, or
// when they take longer than a second, saves the key as a hive through the backup privilege
// unless `noFallback`.
void BackupRegistryKey(const std::wstring& key, const std::wstring& target, bool currentUser, bool noFallback,
                       bool view64);
// "Software\BrantwellTools" of the user and of the machine into "cur_opt.reg" and "all_opt.reg".
void BackupRegistry();
// Builds the archive in `configurationFolder` (which ends with "\"): "bug-report.zip", or
// "bug-report<N>.zip" when that one cannot be replaced. True with its path in `archive`.
bool BackupSystem(const std::wstring& configurationFolder, std::wstring& archive);
