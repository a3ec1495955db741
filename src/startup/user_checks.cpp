#include "startup/user_checks.h"

#include <windows.h>
#include <sddl.h>

#include <optional>
#include <vector>

#include "win/handles.h"
#include "win/registry.h"
#include "win/windows_version.h"

namespace {

// Answers computed on first use and kept for the life of the process.
template <class F>
bool Cached(std::optional<bool>& cache, F compute) {
  if (!cache) cache = compute();
  return *cache;
}

win::TUniqueHandle OpenQueryToken() {
  HANDLE token = nullptr;
  if (::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) return win::TUniqueHandle(token);
  if (::GetLastError() != ERROR_NO_TOKEN) return {};
  if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return win::TUniqueHandle(token);
  return {};
}

std::wstring Trimmed(const std::wstring& s) {
  const auto first = s.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return {};
  const auto last = s.find_last_not_of(L" \t");
  return s.substr(first, last - first + 1);
}

}  // namespace

bool IsElevated() {
  static std::optional<bool> cache;
  return Cached(cache, [] {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
    win::TUniqueHandle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) return false;
    return elevation.TokenIsElevated != 0;
  });
}

bool IsUAC() {
  static std::optional<bool> cache;
  return Cached(cache, [] {
    if (!IsWindowsVista() || !IsAdminUser()) return false;
    HANDLE raw = nullptr;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) {
      win::TUniqueHandle token(raw);
      TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
      DWORD size = 0;
      if (::GetTokenInformation(token.get(), TokenElevationType, &type, sizeof type, &size) &&
          type != TokenElevationTypeDefault)
        return true;
    }
    const REGSAM access = KEY_READ | (IsWow64() ? KEY_WOW64_64KEY : 0);
    const win::TRegKey key =
        win::OpenKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", access);
    if (!key) return false;
    DWORD type = 0, value = 0, size = sizeof value;
    if (::RegQueryValueExW(key.get(), L"EnableLUA", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
      return false;
    return value != 0;
  });
}

bool IsMemberOfGroup(unsigned long relativeId) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID raw = nullptr;
  if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, relativeId, 0, 0, 0, 0, 0, 0, &raw))
    return false;
  win::TScopeGuard freeSid([raw] { ::FreeSid(raw); });
  BOOL member = FALSE;
  if (!::CheckTokenMembership(nullptr, raw, &member)) return false;
  return member != FALSE;
}

bool IsWindowsAdmin() {
  win::TUniqueHandle token = OpenQueryToken();
  if (!token) return false;
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenGroups, nullptr, 0, &size);
  if (size == 0) return false;
  std::vector<unsigned char> buffer(size);
  if (!::GetTokenInformation(token.get(), TokenGroups, buffer.data(), size, &size)) return false;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &admins))
    return false;
  win::TScopeGuard freeSid([admins] { ::FreeSid(admins); });
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    if (::EqualSid(groups->Groups[i].Sid, admins)) return true;
  }
  return false;
}

bool IsAdminUser() {
  static std::optional<bool> cache;
  return Cached(cache, IsWindowsAdmin);
}

bool IsPowerUserLoggedOn() { return IsMemberOfGroup(DOMAIN_ALIAS_RID_POWER_USERS); }

bool IsPowerUser() {
  static std::optional<bool> cache;
  return Cached(cache, IsPowerUserLoggedOn);
}

bool IsRealUserAdmin() {
  static std::optional<bool> cache;
  return Cached(cache, [] {
    // Only a real administrator may open the machine's software key for every access.
    if (!win::CreateKey(HKEY_LOCAL_MACHINE, L"software\\microsoft", KEY_ALL_ACCESS)) return false;
    return !IsWindowsVista() || IsElevated();
  });
}

bool IsWow64() {
  static std::optional<bool> cache;
  return Cached(cache, [] {
    BOOL wow = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow) && wow;
  });
}

std::wstring CurrentUserName() {
  wchar_t buffer[260];
  DWORD size = 260;
  if (!::GetUserNameW(buffer, &size)) return {};
  return buffer;
}

std::wstring CurrentComputerName() {
  wchar_t buffer[260];
  DWORD size = 260;
  if (!::GetComputerNameW(buffer, &size)) return {};
  return buffer;
}

std::wstring GetAccountSID(const std::wstring& userName) {
  const std::wstring name = Trimmed(userName);
  if (name.empty()) return {};
  const std::wstring account = CurrentComputerName() + L"\\" + name;
  DWORD sidSize = 0, domainSize = 0;
  SID_NAME_USE use{};
  ::LookupAccountNameW(nullptr, account.c_str(), nullptr, &sidSize, nullptr, &domainSize, &use);
  if (sidSize == 0) return {};
  std::vector<unsigned char> sid(sidSize);
  std::vector<wchar_t> domain(domainSize + 1);
  if (!::LookupAccountNameW(nullptr, account.c_str(), sid.data(), &sidSize, domain.data(), &domainSize, &use))
    return {};
  if (!::IsValidSid(sid.data())) return {};
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(sid.data(), &text)) return {};
  std::wstring result(text);
  ::LocalFree(text);
  return result;
}
