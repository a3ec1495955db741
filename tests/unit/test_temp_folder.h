// A folder of one test's own under the temporary folder, made empty at the start and removed with
// all it holds at the end; and files written whole into it. Windows tests; the thread that made it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <string>

#include "win/files.h"
#include "win/handles.h"

namespace testtmp {

// Removes a folder and everything below it, quietly; nothing happens when it is missing.
inline void RemoveTree(const std::wstring& path) {
  std::wstring from = path + L'\0';  // the shell wants a list ending in two terminators
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_NO_UI;
  ::SHFileOperationW(&operation);
}

// Makes or replaces a file holding just `bytes` (none: an empty file); true when all were written.
inline bool WriteBytes(const std::wstring& path, const std::string& bytes = {}) {
  const win::TFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

class TTempFolder {
 public:
  // `name` and the process id name the folder, so tests running side by side never share one.
  // A folder that cannot be had fails the test that wanted it.
  explicit TTempFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1] = {};
    EXPECT_NE(::GetTempPathW(MAX_PATH + 1, temp), 0u);
    path_ = std::wstring(temp) + name + L"-" + std::to_wstring(::GetCurrentProcessId());
    RemoveTree(path_);
    EXPECT_TRUE(ForceDirectories(path_)) << "cannot make the temporary folder";
    // The system answers paths in their long form, and the temporary folder's own path may be
    // a short one (a user name of more than eight letters): tests compare with the long form.
    std::wstring full(::GetLongPathNameW(path_.c_str(), nullptr, 0), L'\0');
    const DWORD length = ::GetLongPathNameW(path_.c_str(), full.data(), static_cast<DWORD>(full.size()));
    EXPECT_NE(length, 0u);
    if (length != 0 && length < full.size()) path_ = full.substr(0, length);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  ~TTempFolder() {
    // A file dialog that was shown a folder of it makes that folder the process's current one,
    // which cannot be removed: step out first.
    wchar_t current[MAX_PATH + 1] = {};
    const DWORD length = ::GetCurrentDirectoryW(MAX_PATH + 1, current);
    if (length >= path_.size() && ::CompareStringOrdinal(current, static_cast<int>(path_.size()), path_.c_str(),
                                                         static_cast<int>(path_.size()), TRUE) == CSTR_EQUAL)
      ::SetCurrentDirectoryW((path_ + L"\\..").c_str());
    RemoveTree(path_);
  }

  // The folder itself in its long form, without a trailing "\".
  const std::wstring& Root() const { return path_; }
  std::wstring Path(const std::wstring& relative) const { return path_ + L"\\" + relative; }
  // Makes a folder below it (and its parents) and answers its path.
  std::wstring Make(const std::wstring& relative) const {
    ForceDirectories(Path(relative));
    return Path(relative);
  }

 private:
  std::wstring path_;
};

}  // namespace testtmp
