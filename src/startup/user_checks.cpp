#include "startup/user_checks.h"

#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <mutex>
#include <optional>
#include <vector>

#include "startup/view_registry.h"
#include "win/files.h"
#include "win/handles.h"
#include "win/registry.h"
#include "win/windows_version.h"
#include "win/text_rules.h"

namespace {

// Answers computed on first use and kept for the life of the process. The system report asks
// from whatever thread an error came on, so the caches are read and filled under a lock; the
// answer itself is computed outside it (one answer may ask for another).
std::mutex& CacheLock() {
  static std::mutex lock;
  return lock;
}

template <class F>
bool Cached(std::optional<bool>& cache, F compute) {
  {
    const std::lock_guard<std::mutex> lock(CacheLock());
    if (cache) return *cache;
  }
  const bool answer = compute();
  const std::lock_guard<std::mutex> lock(CacheLock());
  if (!cache) cache = answer;
  return *cache;
}

win::TUniqueHandle OpenQueryToken() {
  HANDLE token = nullptr;
  if (::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) return win::TUniqueHandle(token);
  if (::GetLastError() != ERROR_NO_TOKEN) return {};
  if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return win::TUniqueHandle(token);
  return {};
}

// The cached answers, kept for the life of the process.
std::optional<bool> elevatedCache, uacCache, adminCache, powerUserCache, realAdminCache, wow64Cache;

}  // namespace

bool IsElevated() {
  return Cached(elevatedCache, [] {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
    win::TUniqueHandle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) return false;
    return elevation.TokenIsElevated != 0;
  });
}

bool UacInForce(std::optional<TOKEN_ELEVATION_TYPE> tokenType) {
  // A split token (full or limited) is User Account Control at work.
  if (tokenType && *tokenType != TokenElevationTypeDefault) return true;
  TViewRegistry registry;
  if (!CommonOpenRegistryKey(registry, false, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", true,
                             false))
    return false;
  return registry.ReadInteger(L"EnableLUA").value_or(0) != 0;
}

bool IsUAC() {
  return Cached(uacCache, [] {
    if (!IsWindowsVista() || !IsAdminUser()) return false;
    std::optional<TOKEN_ELEVATION_TYPE> type;
    HANDLE raw = nullptr;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) {
      win::TUniqueHandle token(raw);
      TOKEN_ELEVATION_TYPE read = TokenElevationTypeDefault;
      DWORD size = 0;
      if (::GetTokenInformation(token.get(), TokenElevationType, &read, sizeof read, &size)) type = read;
    }
    return UacInForce(type);
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

bool IsAdminUser() { return Cached(adminCache, IsWindowsAdmin); }

bool IsPowerUserLoggedOn() { return IsMemberOfGroup(DOMAIN_ALIAS_RID_POWER_USERS); }

bool IsPowerUser() { return Cached(powerUserCache, IsPowerUserLoggedOn); }

bool IsRealUserAdmin() {
  return Cached(realAdminCache, [] {
    // Only a real administrator may open the machine's software key for every access.
    TViewRegistry registry;
    registry.RootKey = HKEY_LOCAL_MACHINE;
    if (!registry.OpenKey(L"software\\microsoft", true, false)) return false;
    return !IsWindowsVista() || IsElevated();
  });
}

bool IsWow64() {
  return Cached(wow64Cache, [] {
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
  const std::wstring name = text::Trim(userName);
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

std::wstring FileVersion(const std::wstring& program) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(program.c_str(), &ignored);
  std::vector<BYTE> info(size);
  if (size == 0 || !::GetFileVersionInfoW(program.c_str(), 0, size, info.data())) return std::wstring();
  // The first language and code page the resource lists name its string table.
  void* translation = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &translation, &length) || length < 2 * sizeof(WORD))
    return std::wstring();
  const auto* pair = static_cast<const WORD*>(translation);
  wchar_t block[64];
  std::swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\FileVersion", pair[0], pair[1]);
  wchar_t* text = nullptr;
  if (!::VerQueryValueW(info.data(), block, reinterpret_cast<void**>(&text), &length) || text == nullptr)
    return std::wstring();
  return std::wstring(text, wcsnlen(text, length));
}

std::wstring GetProgramVersion() {
  static const std::wstring version = FileVersion(ProgramPath());
  return version;
}

void PresetUserChecksForTests(bool uac, bool elevated, bool admin) {
  const std::lock_guard<std::mutex> lock(CacheLock());
  uacCache = uac;
  elevatedCache = elevated;
  adminCache = admin;
  realAdminCache = admin && elevated;
}
