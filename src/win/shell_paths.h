// Where the shell keeps things and what kind of place a path is: the user's shell-folders values,
// the drive roots and letters, whether a path may be probed at all, paths compared as the system
// compares them, and shortcut targets. The favourites, their first run and the recent lists share
// it. Main thread (the drive types are cached without a lock).
#pragma once

#include <windows.h>
// After windows.h, which they build on.
#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

#include "win/com.h"

// Paths that are never probed for existence: UNC paths, and removable, network, CD-ROM and
// RAM-disk drives, where a probe may spin up a drive or wait for a network.
bool IsRemoteFile(const std::wstring& path);
// A folder the menu may show: never probed (IsRemoteFile), or existing.
bool IsUsableFolder(const std::wstring& path);
// Ordinal and case-blind, as the registry compares value names and the file system paths.
bool SameText(const std::wstring& a, const std::wstring& b);

// A value of the user's shell folders key ("Personal", "Recent", ...) as stored; empty when it is
// missing or not a string.
std::wstring ShellFoldersValue(const wchar_t* name);
// The roots of the drives there are ("C:\\", "Z:\\"), at most one per letter.
std::vector<std::wstring> DriveRoots();
// The letters of the fixed and network drives, upper and lower case ("CcZz").
std::wstring FixedAndNetworkDriveLetters();

// Reads shortcut files through one shell link object, made on the first file read: a reader that
// finds nothing to read needs no COM at all.
class TShortcutReader {
 public:
  // The target of a shortcut file; none when it cannot be loaded or points nowhere in the file
  // system.
  std::optional<std::wstring> Target(const std::wstring& file);

 private:
  bool Open();

  std::optional<win::TComApartment> apartment_;
  win::TComPtr<IShellLinkW> link_;
  win::TComPtr<IPersistFile> file_;
};
