#include "win/shell_paths.h"

#include <array>
#include <cwchar>
#include <cwctype>

#include "win/files.h"
#include "win/registry.h"

namespace {

constexpr wchar_t kShellFoldersKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr DWORD kDriveBufferLength = 255;
constexpr std::size_t kMostDriveRoots = 61;
// A drive's type is asked of the system again after this long.
constexpr ULONGLONG kDriveTypeKeptMs = 1000;

// The type of a drive, asked of the system at most once a second per drive letter: a menu
// rebuild asks for every favourite, and the question costs a round trip to the mount manager.
UINT CachedDriveType(const std::wstring& root) {
  struct TEntry {
    UINT type = DRIVE_UNKNOWN;
    ULONGLONG asked = 0;
    bool known = false;
  };
  static TEntry entries[26];
  const wchar_t letter = static_cast<wchar_t>(std::towupper(root[0]));
  if (letter < L'A' || letter > L'Z') return ::GetDriveTypeW(root.c_str());
  TEntry& entry = entries[letter - L'A'];
  const ULONGLONG now = ::GetTickCount64();
  if (!entry.known || now - entry.asked > kDriveTypeKeptMs) {
    entry.type = ::GetDriveTypeW(root.c_str());
    entry.asked = now;
    entry.known = true;
  }
  return entry.type;
}

}  // namespace

bool IsRemoteFile(const std::wstring& path) {
  if (path.size() < 3) return false;
  if (path.starts_with(L"\\\\")) return true;
  if (path[2] != L'\\') return false;
  switch (CachedDriveType(path.substr(0, 3))) {
    case DRIVE_REMOVABLE:
    case DRIVE_REMOTE:
    case DRIVE_CDROM:
    case DRIVE_RAMDISK:
      return true;
    default:
      return false;
  }
}

bool IsUsableFolder(const std::wstring& path) { return IsRemoteFile(path) || DirectoryExists(path); }

bool SameText(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

std::wstring ShellFoldersValue(const wchar_t* name) {
  return win::ReadString(win::OpenKey(HKEY_CURRENT_USER, kShellFoldersKey, KEY_QUERY_VALUE).get(), name)
      .value_or(std::wstring());
}

std::vector<std::wstring> DriveRoots() {
  std::array<wchar_t, kDriveBufferLength> buffer{};
  const DWORD length = ::GetLogicalDriveStringsW(kDriveBufferLength, buffer.data());
  std::vector<std::wstring> roots;
  if (length == 0 || length > kDriveBufferLength) return roots;
  for (const wchar_t* root = buffer.data(); *root != L'\0' && roots.size() < kMostDriveRoots;
       root += std::wcslen(root) + 1)
    roots.emplace_back(root);
  return roots;
}

std::wstring FixedAndNetworkDriveLetters() {
  std::wstring letters;
  for (const std::wstring& root : DriveRoots()) {
    const UINT type = ::GetDriveTypeW(root.c_str());
    if (type != DRIVE_FIXED && type != DRIVE_REMOTE) continue;
    letters += static_cast<wchar_t>(std::towupper(root[0]));
    letters += static_cast<wchar_t>(std::towlower(root[0]));
  }
  return letters;
}

bool TShortcutReader::Open() {
  if (file_) return true;
  if (!apartment_) apartment_.emplace();
  if (!apartment_->Usable() ||
      FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link_.put_void())))
    return false;
  return SUCCEEDED(link_->QueryInterface(IID_IPersistFile, file_.put_void()));
}

std::optional<std::wstring> TShortcutReader::Target(const std::wstring& file) {
  if (!Open() || FAILED(file_->Load(file.c_str(), STGM_READ))) return std::nullopt;
  std::array<wchar_t, MAX_PATH> target{};
  if (link_->GetPath(target.data(), static_cast<int>(target.size()), nullptr, 0) != S_OK) return std::nullopt;
  return std::wstring(target.data());
}
