#include "startup/program_folder.h"

#include "win/files.h"
#include "win/handles.h"

namespace {

// A program's folder holds a few dozen files; one holding more is not checked file by file.
constexpr std::size_t kMaxProgramFiles = 512;

bool ReadAccess(HANDLE token, const std::wstring& path, std::uint32_t& granted) {
  constexpr SECURITY_INFORMATION kParts =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD needed = 0;
  ::GetFileSecurityW(path.c_str(), kParts, nullptr, 0, &needed);
  if (needed == 0) return false;
  std::vector<BYTE> descriptor(needed);
  if (!::GetFileSecurityW(path.c_str(), kParts, descriptor.data(), needed, &needed)) return false;
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
  PRIVILEGE_SET privileges{};
  DWORD privilegesLength = sizeof privileges;
  DWORD rights = 0;
  BOOL status = FALSE;
  if (!::AccessCheck(descriptor.data(), token, MAXIMUM_ALLOWED, &mapping, &privileges, &privilegesLength, &rights,
                     &status))
    return false;
  granted = status ? rights : 0;
  return true;
}

programfolder::TPathAccess Access(HANDLE token, const std::wstring& path, programfolder::TPathRole role) {
  programfolder::TPathAccess access;
  access.path = path;
  access.role = role;
  access.known = ReadAccess(token, path, access.granted);
  return access;
}

std::optional<std::optional<std::wstring>>& PresetExposure() {
  static std::optional<std::optional<std::wstring>> preset;
  return preset;
}

}  // namespace

std::vector<programfolder::TPathAccess> ReadFolderAccess(HANDLE userToken, const std::wstring& folder) {
  using programfolder::TPathRole;
  std::vector<programfolder::TPathAccess> paths;
  WIN32_FIND_DATAW found{};
  win::TFindHandle search(::FindFirstFileW((folder + L"\\*").c_str(), &found));
  std::size_t files = 0;
  for (bool more = static_cast<bool>(search); more; more = ::FindNextFileW(search.get(), &found) != FALSE) {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    if (++files > kMaxProgramFiles) {
      paths.push_back({folder, TPathRole::Folder, false, 0});
      break;
    }
    paths.push_back(Access(userToken, folder + L"\\" + found.cFileName, TPathRole::File));
  }
  paths.push_back(Access(userToken, folder, TPathRole::Folder));
  // Every folder above, up to the drive's root ("C:\") or the share ("\\host\share\").
  for (std::wstring path = folder;;) {
    const std::size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash < 2) break;
    path.resize(slash);
    const bool root = path.size() == 2 && path[1] == L':';
    paths.push_back(Access(userToken, root ? path + L"\\" : path, TPathRole::Ancestor));
    if (root) break;
  }
  return paths;
}

HANDLE UnelevatedUserToken() {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &raw)) return nullptr;
  const win::TUniqueHandle own(raw);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (::GetTokenInformation(own.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
      elevation.TokenIsElevated != 0) {
    TOKEN_LINKED_TOKEN linked{};
    if (::GetTokenInformation(own.get(), TokenLinkedToken, &linked, sizeof linked, &size)) return linked.LinkedToken;
    return nullptr;
  }
  HANDLE duplicate = nullptr;
  return ::DuplicateToken(own.get(), SecurityIdentification, &duplicate) ? duplicate : nullptr;
}

std::optional<std::wstring> ProgramFolderExposure() {
  if (PresetExposure()) return *PresetExposure();
  static const std::optional<std::wstring> exposure = [] {
    const win::TUniqueHandle token(UnelevatedUserToken());
    if (!token) return std::optional<std::wstring>(L"the user's unelevated token cannot be had");
    std::wstring folder = ProgramFolder();
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return programfolder::UserWritablePath(ReadFolderAccess(token.get(), folder));
  }();
  return exposure;
}

void PresetProgramFolderExposureForTests(std::optional<std::wstring> exposure) {
  PresetExposure() = std::move(exposure);
}
