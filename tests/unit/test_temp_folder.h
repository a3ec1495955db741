// A folder of one test's own under the temporary folder, made empty at the start and removed with
// all it holds at the end. Windows tests; the thread that made it.
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <string>

#include "win/files.h"

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

class TTempFolder {
 public:
  // `name` and the process id name the folder, so tests running side by side never share one.
  explicit TTempFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + name + L"-" + std::to_wstring(::GetCurrentProcessId());
    RemoveTree(path_);
    ForceDirectories(path_);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  ~TTempFolder() { RemoveTree(path_); }

  // The folder itself, without a trailing "\".
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
