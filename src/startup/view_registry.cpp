#include "startup/view_registry.h"

#include "startup/user_checks.h"
#include "win/registry.h"

namespace {

// The 64-bit view is asked for only where there is another one: in a 32-bit process on a
// 64-bit system.
REGSAM View(bool view64) { return win::WithView(0, view64 && IsWow64()); }

}  // namespace

bool TViewRegistry::Open(const std::wstring& path, bool canCreate, REGSAM access) {
  const bool relative = IsRelative(path);
  const std::wstring tail = relative ? path : path.substr(1);
  const HKEY base = relative && key_ ? key_.get() : RootKey;
  win::TRegKey opened =
      canCreate && !tail.empty() ? win::CreateKey(base, tail, access) : win::OpenKey(base, tail, access);
  if (!opened) return false;
  path_ = relative && !path_.empty() ? path_ + L"\\" + tail : tail;
  key_ = std::move(opened);
  return true;
}

bool TViewRegistry::OpenKey(const std::wstring& path, bool canCreate, bool view64) {
  return Open(path, canCreate, KEY_ALL_ACCESS | View(view64));
}

bool TViewRegistry::OpenKeyReadOnly(const std::wstring& path, bool view64) {
  for (REGSAM access :
       {static_cast<REGSAM>(KEY_READ), static_cast<REGSAM>(READ_CONTROL | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS),
        static_cast<REGSAM>(KEY_QUERY_VALUE)})
    if (Open(path, false, access | View(view64))) return true;
  return false;
}

void TViewRegistry::CloseKey() {
  key_.reset();
  path_.clear();
}

std::optional<DWORD> TViewRegistry::ReadInteger(const std::wstring& name) const {
  return win::ReadDword(key_.get(), name.c_str());
}

bool TViewRegistry::WriteInteger(const std::wstring& name, DWORD value) const {
  return key_ && win::WriteDword(key_.get(), name, value) == ERROR_SUCCESS;
}

bool CommonOpenRegistryKey(TViewRegistry& registry, bool currentUser, const std::wstring& path, bool view64,
                           bool writable) {
  registry.RootKey = currentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  return writable ? registry.OpenKey(path, true, view64) : registry.OpenKeyReadOnly(path, view64);
}
