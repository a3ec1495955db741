#include "win/registry.h"

#include <atomic>
#include <cstring>
#include <cwchar>

namespace win {

namespace {

std::atomic<TValueWriteWatch> valueWriteWatch{nullptr};

// Value names never exceed 16383 characters.
constexpr DWORD kLongestValueName = 16384;

}  // namespace

TRegKey OpenKey(HKEY root, const std::wstring& path, REGSAM access, LSTATUS* status) {
  HKEY raw = nullptr;
  const LSTATUS result = ::RegOpenKeyExW(root, path.c_str(), 0, access, &raw);
  if (status != nullptr) *status = result;
  return TRegKey(result == ERROR_SUCCESS ? raw : nullptr);
}

TRegKey CreateKey(HKEY root, const std::wstring& path, REGSAM access, LSTATUS* status) {
  HKEY raw = nullptr;
  const LSTATUS result = ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, access, nullptr, &raw, nullptr);
  if (status != nullptr) *status = result;
  return TRegKey(result == ERROR_SUCCESS ? raw : nullptr);
}

bool ValueExists(HKEY key, const std::wstring& name) {
  return key != nullptr && ::RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::optional<std::wstring> ReadString(HKEY key, const wchar_t* name) {
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

LSTATUS ReadValues(HKEY key, std::vector<TRegValue>& values) {
  DWORD longestName = 0;
  DWORD longestData = 0;
  LSTATUS status = ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                      &longestName, &longestData, nullptr, nullptr);
  if (status != ERROR_SUCCESS) return status;
  std::wstring name(longestName + 1, L'\0');
  std::vector<BYTE> buffer(longestData + sizeof(wchar_t));
  for (DWORD index = 0;;) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD dataSize = static_cast<DWORD>(buffer.size());
    DWORD type = REG_NONE;
    status = ::RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, buffer.data(), &dataSize);
    if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (status == ERROR_MORE_DATA) {
      // The value grew since the key was measured.
      if (name.size() >= kLongestValueName && dataSize <= buffer.size()) return status;
      if (name.size() < kLongestValueName) name.resize(kLongestValueName);
      if (dataSize > buffer.size()) buffer.resize(dataSize + sizeof(wchar_t));
      continue;
    }
    if (status != ERROR_SUCCESS) return status;
    ++index;
    values.push_back({name.substr(0, nameLength), type, std::vector<BYTE>(buffer.begin(), buffer.begin() + dataSize)});
  }
}

LSTATUS WriteValue(HKEY key, const TRegValue& value) {
  if (const TValueWriteWatch watch = valueWriteWatch.load()) watch(key, value.name);
  return ::RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                          static_cast<DWORD>(value.data.size()));
}

TRegValue StringValue(const std::wstring& name, const std::wstring& text) {
  TRegValue value{name, REG_SZ, std::vector<BYTE>((text.size() + 1) * sizeof(wchar_t))};
  std::memcpy(value.data.data(), text.c_str(), value.data.size());
  return value;
}

LSTATUS WriteString(HKEY key, const std::wstring& name, const std::wstring& data) {
  return WriteValue(key, StringValue(name, data));
}

LSTATUS WriteDword(HKEY key, const std::wstring& name, DWORD data) {
  TRegValue value{name, REG_DWORD, std::vector<BYTE>(sizeof data)};
  std::memcpy(value.data.data(), &data, sizeof data);
  return WriteValue(key, value);
}

void WatchValueWrites(TValueWriteWatch watch) { valueWriteWatch.store(watch); }

}  // namespace win
