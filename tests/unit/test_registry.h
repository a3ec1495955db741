// The real registry for the Windows tests: take a key tree or one value away for a test and put
// it back afterwards (tests share one Wine prefix), and read a key's values in enumeration order.
// Used by the test's own thread.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "win/handles.h"
#include "win/registry.h"

namespace testreg {

struct TValue {
  std::wstring name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  friend bool operator==(const TValue&, const TValue&) = default;
};

inline win::TRegKey Open(HKEY root, const std::wstring& path, REGSAM access = KEY_READ) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(root, path.c_str(), 0, access, &raw) != ERROR_SUCCESS) return {};
  return win::TRegKey(raw);
}

inline win::TRegKey Create(HKEY root, const std::wstring& path) {
  HKEY raw = nullptr;
  if (::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr) != ERROR_SUCCESS)
    return {};
  return win::TRegKey(raw);
}

// Every value of the key, in the order the registry enumerates them.
inline std::vector<TValue> Values(HKEY key) {
  std::vector<TValue> values;
  for (DWORD index = 0;; ++index) {
    std::wstring name(16384, L'\0');
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (::RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    TValue value{name.substr(0, nameLength), type, std::vector<BYTE>(size)};
    nameLength = static_cast<DWORD>(name.size());
    ::RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, value.data.data(), &size);
    value.data.resize(size);
    values.push_back(std::move(value));
  }
  return values;
}

// The values' names and string data, in enumeration order.
inline std::vector<std::pair<std::wstring, std::wstring>> Strings(HKEY root, const std::wstring& path) {
  std::vector<std::pair<std::wstring, std::wstring>> result;
  const auto key = Open(root, path);
  if (!key) return result;
  for (const auto& value : Values(key.get())) {
    std::wstring text(value.data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(text.data(), value.data.data(), text.size() * sizeof(wchar_t));
    if (const auto end = text.find(L'\0'); end != std::wstring::npos) text.resize(end);
    result.emplace_back(value.name, text);
  }
  return result;
}

inline void SetString(HKEY key, const std::wstring& name, const std::wstring& data, DWORD type = REG_SZ) {
  ::RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

inline void SetDword(HKEY key, const std::wstring& name, DWORD data) {
  ::RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
}

// Windows enumerates a key's values in the order they were created, which the favourites rely
// on; Wine's registry keeps them sorted by name. Probed once on a scratch key.
inline bool KeepsCreationOrder() {
  static const bool keeps = [] {
    const std::wstring path = L"Software\\BrantwellTools\\QfOrderProbe";
    bool result = false;
    if (const auto key = Create(HKEY_CURRENT_USER, path)) {
      SetString(key.get(), L"b", L"");
      SetString(key.get(), L"a", L"");
      const auto values = Values(key.get());
      result = values.size() == 2 && values[0].name == L"b";
    }
    ::RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
    return result;
  }();
  return keeps;
}

// The same values in the same order where the registry keeps creation order; elsewhere (Wine)
// only the same values.
template <class T>
std::vector<T> InRegistryOrder(std::vector<T> values) {
  if (!KeepsCreationOrder()) std::sort(values.begin(), values.end());
  return values;
}

// Records the names of the values the program writes, in the order it writes them, while it
// lives: the order Windows keeps and Wine's sorted registry hides.
class TWriteRecorder {
 public:
  TWriteRecorder() {
    Names().clear();
    win::WatchValueWrites(&Record);
  }
  TWriteRecorder(const TWriteRecorder&) = delete;
  TWriteRecorder& operator=(const TWriteRecorder&) = delete;
  ~TWriteRecorder() { win::WatchValueWrites(nullptr); }

  // The recorded names that are among `of`, in the order they were written.
  std::vector<std::wstring> Among(const std::vector<std::wstring>& of) const {
    std::vector<std::wstring> names;
    for (const auto& name : Names())
      if (std::find(of.begin(), of.end(), name) != of.end()) names.push_back(name);
    return names;
  }

 private:
  static std::vector<std::wstring>& Names() {
    static std::vector<std::wstring> names;
    return names;
  }
  static void Record(HKEY, const std::wstring& name) { Names().push_back(name); }
};

inline constexpr wchar_t kParkRoot[] = L"Software\\QfTestStash";

// Takes a key tree away for a test (it starts absent) and puts it back afterwards, parked
// meanwhile under a key of the test process's own.
class TKeyStash {
 public:
  TKeyStash(HKEY root, std::wstring path)
      : root_(root),
        path_(std::move(path)),
        park_(std::wstring(kParkRoot) + L"\\" + std::to_wstring(::GetCurrentProcessId()) + L"\\" +
              std::to_wstring(reinterpret_cast<ULONG_PTR>(this))) {
    if (const auto source = Open(root_, path_)) {
      const auto park = Create(HKEY_CURRENT_USER, park_);
      saved_ = park && ::RegCopyTreeW(source.get(), nullptr, park.get()) == ERROR_SUCCESS;
    }
    ::RegDeleteTreeW(root_, path_.c_str());
  }
  TKeyStash(const TKeyStash&) = delete;
  TKeyStash& operator=(const TKeyStash&) = delete;
  ~TKeyStash() {
    ::RegDeleteTreeW(root_, path_.c_str());
    if (saved_) {
      const auto park = Open(HKEY_CURRENT_USER, park_);
      const auto target = Create(root_, path_);
      if (park && target) ::RegCopyTreeW(park.get(), nullptr, target.get());
    }
    ::RegDeleteTreeW(HKEY_CURRENT_USER, park_.c_str());
    // The parents go only once empty (RegDeleteKey refuses otherwise): another stash may still
    // be parked there.
    ::RegDeleteKeyW(HKEY_CURRENT_USER, park_.substr(0, park_.rfind(L'\\')).c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kParkRoot);
  }

 private:
  HKEY root_;
  std::wstring path_;
  std::wstring park_;
  bool saved_ = false;
};

// Keeps one value for a test and puts it back (or removes it) afterwards.
class TValueStash {
 public:
  TValueStash(HKEY root, std::wstring path, std::wstring name)
      : root_(root), path_(std::move(path)), name_(std::move(name)) {
    if (const auto key = Open(root_, path_))
      for (auto& value : Values(key.get()))
        if (::CompareStringOrdinal(value.name.c_str(), -1, name_.c_str(), -1, TRUE) == CSTR_EQUAL)
          saved_ = std::make_unique<TValue>(std::move(value));
  }
  TValueStash(const TValueStash&) = delete;
  TValueStash& operator=(const TValueStash&) = delete;
  ~TValueStash() {
    const auto key = Create(root_, path_);
    if (!key) return;
    if (saved_)
      ::RegSetValueExW(key.get(), saved_->name.c_str(), 0, saved_->type, saved_->data.data(),
                       static_cast<DWORD>(saved_->data.size()));
    else
      ::RegDeleteValueW(key.get(), name_.c_str());
  }

 private:
  HKEY root_;
  std::wstring path_;
  std::wstring name_;
  std::unique_ptr<TValue> saved_;
};

}  // namespace testreg
