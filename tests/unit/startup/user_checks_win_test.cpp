// The user and elevation checks against the real token and registry under Wine, and the program's
// version from its version resource.
#include "startup/user_checks.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <optional>
#include <string>
#include <vector>

#include "../test_registry.h"
#include "startup/scheduler.h"
#include "win/files.h"
#include "win/handles.h"

namespace {

constexpr wchar_t kPolicyKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

std::vector<BYTE> TokenInformation(TOKEN_INFORMATION_CLASS kind) {
  HANDLE raw = nullptr;
  EXPECT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw));
  const win::TUniqueHandle token(raw);
  DWORD size = 0;
  ::GetTokenInformation(token.get(), kind, nullptr, 0, &size);
  std::vector<BYTE> data(size);
  EXPECT_TRUE(::GetTokenInformation(token.get(), kind, data.data(), size, &size));
  return data;
}

bool TokenMember(DWORD group) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = nullptr;
  ::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, group, 0, 0, 0, 0, 0, 0, &sid);
  BOOL member = FALSE;
  ::CheckTokenMembership(nullptr, sid, &member);
  ::FreeSid(sid);
  return member != FALSE;
}

TEST(UserChecks, EachAnswerIsWhatTheProcessTokenSays) {
  const auto elevation = TokenInformation(TokenElevation);
  const bool elevated = reinterpret_cast<const TOKEN_ELEVATION*>(elevation.data())->TokenIsElevated != 0;
  const auto type = *reinterpret_cast<const TOKEN_ELEVATION_TYPE*>(TokenInformation(TokenElevationType).data());
  EXPECT_EQ(IsElevated(), elevated);
  EXPECT_EQ(IsAdminUser(), TokenMember(DOMAIN_ALIAS_RID_ADMINS));
  EXPECT_EQ(IsWindowsAdmin(), IsAdminUser());
  EXPECT_EQ(IsPowerUser(), TokenMember(DOMAIN_ALIAS_RID_POWER_USERS));
  EXPECT_EQ(IsPowerUser(), IsPowerUserLoggedOn());
  EXPECT_EQ(IsUAC(), IsAdminUser() && UacInForce(type));
  BOOL wow = FALSE;
  ::IsWow64Process(::GetCurrentProcess(), &wow);
  EXPECT_EQ(IsWow64(), wow != FALSE);
  HKEY raw = nullptr;
  const bool machineWritable =
      ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"software\\microsoft", 0, KEY_ALL_ACCESS, &raw) == ERROR_SUCCESS;
  if (raw != nullptr) ::RegCloseKey(raw);
  EXPECT_EQ(IsRealUserAdmin(), machineWritable && elevated);

  // The account's SID is the token user's.
  const auto user = TokenInformation(TokenUser);
  wchar_t* text = nullptr;
  ASSERT_TRUE(::ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid, &text));
  const std::wstring sid(text);
  ::LocalFree(text);
  EXPECT_EQ(GetAccountSID(L"  " + CurrentUserName() + L" "), sid);
  EXPECT_EQ(GetAccountSID(L"   "), L"");
  EXPECT_EQ(GetAccountSID(L"no-such-user-qf"), L"");

  EXPECT_EQ(SchedulerTaskName(), L"Quillrook Folder-" + CurrentUserName());
  EXPECT_EQ(SchedulerTaskUser(), CurrentComputerName() + L"\\" + CurrentUserName());
}

TEST(UserChecks, UacFollowsEnableLuaOnlyForATokenOfTheDefaultType) {
  const testreg::TValueStash stash(HKEY_LOCAL_MACHINE, kPolicyKey, L"EnableLUA");
  const bool first = IsUAC();
  const auto policy = testreg::Create(HKEY_LOCAL_MACHINE, kPolicyKey);
  ASSERT_TRUE(policy);
  struct TCase {
    std::optional<TOKEN_ELEVATION_TYPE> type;
    std::optional<DWORD> enableLua;  // none: the value is a string
    bool uac;
  };
  const TCase cases[] = {
      {TokenElevationTypeDefault, 0, false},
      {TokenElevationTypeDefault, 1, true},
      {TokenElevationTypeDefault, std::nullopt, false},
      {std::nullopt, 1, true},
      {TokenElevationTypeFull, 0, true},
      {TokenElevationTypeLimited, 0, true},
  };
  for (const TCase& c : cases) {
    if (c.enableLua)
      testreg::SetDword(policy.get(), L"EnableLUA", *c.enableLua);
    else
      testreg::SetString(policy.get(), L"EnableLUA", L"1");
    EXPECT_EQ(UacInForce(c.type), c.uac) << (c.type ? static_cast<int>(*c.type) : -1) << " "
                                         << c.enableLua.value_or(99);
    // The process's own answer was settled by its first call.
    EXPECT_EQ(IsUAC(), first);
  }
}

TEST(GetProgramVersion, IsTheFileVersionOfTheVersionResource) {
  const std::wstring agent = ProgramFolder() + L"qrfolder.exe";
  // The text of the string table against the resource's fixed numbers.
  DWORD ignored = 0;
  std::vector<BYTE> info(::GetFileVersionInfoSizeW(agent.c_str(), &ignored));
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(::GetFileVersionInfoW(agent.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
  void* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", &fixed, &length));
  const auto* numbers = static_cast<const VS_FIXEDFILEINFO*>(fixed);
  const std::wstring expected = std::to_wstring(HIWORD(numbers->dwFileVersionMS)) + L"." +
                                std::to_wstring(LOWORD(numbers->dwFileVersionMS)) + L"." +
                                std::to_wstring(HIWORD(numbers->dwFileVersionLS));
  EXPECT_EQ(FileVersion(agent), expected);
  // This test program carries no version resource.
  EXPECT_EQ(GetProgramVersion(), L"");
  EXPECT_EQ(FileVersion(ProgramFolder() + L"no-such.exe"), L"");
}

}  // namespace
