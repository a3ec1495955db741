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

std::optional<DWORD> ReadDword(HKEY key, const wchar_t* name, LSTATUS* status, DWORD* type) {
  DWORD found = REG_NONE;
  DWORD data = 0;
  DWORD size = sizeof data;
  LSTATUS result = key == nullptr
                       ? ERROR_INVALID_HANDLE
                       : ::RegQueryValueExW(key, name, nullptr, &found, reinterpret_cast<BYTE*>(&data), &size);
  // ERROR_MORE_DATA still reports the type: a longer value is never a DWORD.
  if ((result == ERROR_SUCCESS || result == ERROR_MORE_DATA) && (found != REG_DWORD || size != sizeof data))
    result = ERROR_DATATYPE_MISMATCH;
  if (status != nullptr) *status = result;
  if (type != nullptr) *type = found;
  if (result != ERROR_SUCCESS) return std::nullopt;
  return data;
}

std::optional<std::wstring> ReadString(HKEY key, const wchar_t* name, DWORD* type, LSTATUS* status) {
  DWORD found = REG_NONE;
  LSTATUS ignored = ERROR_SUCCESS;
  LSTATUS& result = status != nullptr ? *status : ignored;
  if (type != nullptr) *type = REG_NONE;
  if (key == nullptr) {
    result = ERROR_INVALID_HANDLE;
    return std::nullopt;
  }
  DWORD size = 0;
  result = ::RegQueryValueExW(key, name, nullptr, &found, nullptr, &size);
  if (type != nullptr) *type = found;
  if (result != ERROR_SUCCESS) return std::nullopt;
  if (found != REG_SZ && found != REG_EXPAND_SZ) {
    result = ERROR_DATATYPE_MISMATCH;
    return std::nullopt;
  }
  // Room for a terminator the stored data may lack.
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  result = ::RegQueryValueExW(key, name, nullptr, &found, reinterpret_cast<BYTE*>(buffer.data()), &size);
  if (result != ERROR_SUCCESS) return std::nullopt;
  return std::wstring(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
}

std::optional<std::vector<BYTE>> ReadBinary(HKEY key, const wchar_t* name, DWORD* type) {
  DWORD found = REG_NONE, size = 0;
  LSTATUS status = ::RegQueryValueExW(key, name, nullptr, &found, nullptr, &size);
  if (type != nullptr) *type = found;
  if (status != ERROR_SUCCESS || found != REG_BINARY) return std::nullopt;
  std::vector<BYTE> data(size);
  // The value may change between the two calls: read again while it grows.
  while ((status = ::RegQueryValueExW(key, name, nullptr, &found, data.data(), &size)) == ERROR_MORE_DATA)
    data.resize(size);
  if (status != ERROR_SUCCESS || found != REG_BINARY) return std::nullopt;
  data.resize(size);
  return data;
}

LSTATUS ReadValues(HKEY key, std::vector<TRegValue>& values) {
  DWORD longestName = 0;
  DWORD longestData = 0;
  LSTATUS status = ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                                      &longestData, nullptr, nullptr);
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

LSTATUS ReadSubkeyNames(HKEY key, std::vector<std::wstring>& names, std::size_t limit) {
  names.clear();
  // A key name is at most 255 characters.
  wchar_t name[256];
  for (DWORD index = 0; names.size() < limit; ++index) {
    DWORD length = static_cast<DWORD>(std::size(name));
    const LSTATUS status = ::RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    names.emplace_back(name, length);
  }
  return ERROR_SUCCESS;
}

}  // namespace win
