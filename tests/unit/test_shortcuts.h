// Shell links as Explorer and the shell's recent documents save them, for the Windows tests; and
// their times set as a file search will report them. Used by the test's own thread.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it builds on.
#include <shlobj.h>

#include <string>

#include "win/com.h"
#include "win/handles.h"

namespace testlnk {

inline void WriteShortcut(const std::wstring& file, const std::wstring& target) {
  const win::TComApartment apartment;
  win::TComPtr<IShellLinkW> link;
  ASSERT_HRESULT_SUCCEEDED(
      ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()));
  ASSERT_HRESULT_SUCCEEDED(link->SetPath(target.c_str()));
  win::TComPtr<IPersistFile> persist;
  ASSERT_HRESULT_SUCCEEDED(link->QueryInterface(IID_IPersistFile, persist.put_void()));
  ASSERT_HRESULT_SUCCEEDED(persist->Save(file.c_str(), TRUE));
}

// Sets a file's last-write time to `minutes` minutes after a fixed day.
inline void SetWriteTime(const std::wstring& file, int minutes) {
  SYSTEMTIME day{2024, 5, 0, 10, 8, 0, 0, 0};
  FILETIME time{};
  ASSERT_TRUE(::SystemTimeToFileTime(&day, &time));
  ULARGE_INTEGER value{};
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  value.QuadPart += static_cast<ULONGLONG>(minutes) * 60 * 10000000;
  time.dwLowDateTime = value.LowPart;
  time.dwHighDateTime = value.HighPart;
  win::TFileHandle handle(::CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        0, nullptr));
  ASSERT_TRUE(handle);
  ASSERT_TRUE(::SetFileTime(handle.get(), nullptr, nullptr, &time));
}

}  // namespace testlnk
