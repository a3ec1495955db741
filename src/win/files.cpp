#include "win/files.h"

#include <algorithm>

#include <windows.h>

#include "win/handles.h"

bool DirectoryExists(const std::wstring& path) {
  if (path.empty()) return false;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::wstring& path) {
  if (path.empty()) return false;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool ForceDirectories(const std::wstring& path) {
  std::wstring folder = path;
  while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  if (folder.empty()) return false;
  if (DirectoryExists(folder)) return true;
  const auto slash = folder.find_last_of(L"\\/");
  if (slash != std::wstring::npos && slash > 0) {
    const std::wstring parent = folder.substr(0, slash + 1);
    // A drive root or share root cannot be created; it has to be there already.
    if (parent.size() > 3 && !ForceDirectories(parent)) return false;
  }
  return ::CreateDirectoryW(folder.c_str(), nullptr) != FALSE || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

namespace {

// A junction, a symbolic link, or a reparse point whose tag the system left out (Wine's links):
// each redirects; a cloud file's or a deduplicated file's reparse point does not.
bool IsLink(const std::wstring& path) {
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  ::FindClose(search);
  const DWORD tag = found.dwReserved0;  // the reparse tag, for a reparse point
  return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
         (tag == IO_REPARSE_TAG_MOUNT_POINT || tag == IO_REPARSE_TAG_SYMLINK || tag == 0);
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

std::wstring LinkOnPath(const std::wstring& path, std::size_t trustedChars) {
  // Each folder of the path in turn (each prefix ending before a separator), then the path itself.
  for (std::size_t end = std::min(trustedChars, path.size()); end <= path.size(); ++end) {
    if (end < path.size() && !IsSeparator(path[end])) continue;
    if (end == 0 || IsSeparator(path[end - 1]) || path[end - 1] == L':') continue;
    const std::wstring folder = path.substr(0, end);
    if (IsLink(folder)) return folder;
  }
  return {};
}

bool IsLinkedFile(const std::wstring& path) {
  const win::TFileHandle file(
      ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION information{};
  if (!file || !::GetFileInformationByHandle(file.get(), &information)) return true;
  return (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || information.nNumberOfLinks > 1;
}

std::wstring ShortPathName(const std::wstring& path) {
  if (path.empty()) return {};
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetShortPathNameW(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    // Too small: the answer is the size needed, terminator included.
    buffer.resize(length);
  }
}

std::wstring ProgramPath() { return ModuleFileName(nullptr); }

std::wstring ModuleFileName(void* module) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(static_cast<HMODULE>(module), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring ProgramFolder() {
  std::wstring path = ProgramPath();
  const auto slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::string ReadFileBytes(const std::wstring& path, std::size_t limit) {
  const win::TFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
  std::string bytes;
  if (!file) return bytes;
  char chunk[65536];
  DWORD got = 0;
  while (bytes.size() < limit &&
         ::ReadFile(file.get(), chunk, static_cast<DWORD>(std::min<std::size_t>(sizeof chunk, limit - bytes.size())),
                    &got, nullptr) &&
         got > 0)
    bytes.append(chunk, got);
  return bytes;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

std::wstring SystemProgram(const wchar_t* name, bool windowsFolder) {
  wchar_t folder[MAX_PATH] = {};
  const UINT length =
      windowsFolder ? ::GetSystemWindowsDirectoryW(folder, MAX_PATH) : ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring path(folder, length);
  if (path.back() != L'\\') path += L'\\';
  return path + name;
}
