// TViewRegistry: a registry accessor that keeps a root, a current key and its path, and can
// reach the 64-bit view of the registry from a 32-bit process; CommonOpenRegistryKey opens a
// key of the user or of the machine through it. Any thread, one accessor per thread.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "win/handles.h"

class TViewRegistry {
 public:
  HKEY RootKey = HKEY_CURRENT_USER;

  // Opens (with `canCreate`, creates) a key for every access. A path that begins with "\" is
  // taken from the root; any other from the key that is open.
  bool OpenKey(const std::wstring& path, bool canCreate, bool view64);
  // Opens a key for reading with the most access the system grants of three.
  bool OpenKeyReadOnly(const std::wstring& path, bool view64);
  void CloseKey();

  HKEY CurrentKey() const { return key_.get(); }
  const std::wstring& CurrentPath() const { return path_; }

  // A REG_DWORD value of the current key; none when missing or of another type.
  std::optional<DWORD> ReadInteger(const std::wstring& name) const;
  bool WriteInteger(const std::wstring& name, DWORD value) const;

  static bool IsRelative(const std::wstring& path) { return path.empty() || path.front() != L'\\'; }

 private:
  bool Open(const std::wstring& path, bool canCreate, REGSAM access);

  win::TRegKey key_;
  std::wstring path_;
};

// Opens `path` of the current user (or of the machine) through `registry`: for every access,
// creating it, when `writable`; for reading otherwise.
bool CommonOpenRegistryKey(TViewRegistry& registry, bool currentUser, const std::wstring& path, bool view64,
                           bool writable);
