// The bug report's archive: exports of the program's registry branch into the log folder, then
// the log folder's exports, pictures and logs packed into "bug-report.zip" in the data folder.
// Every step logs what it does; nothing throws. Main thread (the archive keeps the caller's
// windows answering while it packs).
#pragma once

#include <string>
#include <vector>

// Exports HKEY_CURRENT_USER (or HKEY_LOCAL_MACHINE) + "\" + `key` into `target` + ".reg" (or
// target + N + ".reg" when that file cannot be replaced) with regedit or reg; without them, or
// when they take longer than a second (a tool still running then is ended), saves the key as a
// hive through the backup privilege unless `noFallback`.
void BackupRegistryKey(const std::wstring& key, const std::wstring& target, bool currentUser, bool noFallback,
                       bool view64);
// "Software\BrantwellTools" of the user and of the machine into "cur_opt.reg" and "all_opt.reg".
void BackupRegistry();

// A built report: the archive, and each file packed into it by its entry name and its path.
struct TReportFile {
  std::wstring entry, path;
};
struct TBugReport {
  std::wstring archive;
  std::vector<TReportFile> files;
};

// A registry export about to be packed, made safe to carry: the mail settings taken out of its
// text; a file that is no text export (a saved hive, which cannot be checked) deleted. False
// when the file is not to be packed.
bool ScrubRegistryExport(const std::wstring& file);

// Builds the archive in `configurationFolder` (which ends with "\"): "bug-report.zip", or
// "bug-report<N>.zip" when that one cannot be replaced. True with what it holds in `report`.
bool BackupSystem(const std::wstring& configurationFolder, TBugReport& report);
