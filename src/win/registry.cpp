#include "win/registry.h"

#include <cwchar>
#include <vector>

std::optional<std::wstring> ReadRegistryString(HKEY key, const wchar_t* name) {
  if (key == nullptr) return std::nullopt;
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::nullopt;
  // Room for a terminator the stored data may lack.
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
}
