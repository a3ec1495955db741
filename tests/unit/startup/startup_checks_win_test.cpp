// The start-up checks against the real token and registry under Wine, the service start-type
// repair, and the Task Scheduler binding as far as the system implements it.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "../test_registry.h"
#include "startup/scheduler.h"
#include "startup/task_service.h"
#include "startup/user_checks.h"
#include "startup/view_registry.h"
#include "win/files.h"

namespace {

constexpr wchar_t kPolicyKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr wchar_t kScheduleKey[] = L"SYSTEM\\CurrentControlSet\\Services\\Schedule";

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
      {TokenElevationTypeDefault, 0, false}, {TokenElevationTypeDefault, 1, true},
      {TokenElevationTypeDefault, std::nullopt, false}, {std::nullopt, 1, true},
      {TokenElevationTypeFull, 0, true},     {TokenElevationTypeLimited, 0, true},
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

TEST(ViewRegistry, RelativePathsBuildOnTheOpenKeyAndReadOnlyOpensFindAnAccess) {
  const testreg::TKeyStash stash(HKEY_CURRENT_USER, L"Software\\QfViewTest");
  TViewRegistry registry;
  ASSERT_TRUE(CommonOpenRegistryKey(registry, true, L"Software\\QfViewTest", false, true));
  EXPECT_EQ(registry.CurrentPath(), L"Software\\QfViewTest");
  ASSERT_TRUE(registry.OpenKey(L"Inner", true, false));
  EXPECT_EQ(registry.CurrentPath(), L"Software\\QfViewTest\\Inner");
  EXPECT_TRUE(registry.WriteInteger(L"Start", 3));
  EXPECT_EQ(registry.ReadInteger(L"Start"), 3u);
  EXPECT_EQ(registry.ReadInteger(L"Missing"), std::nullopt);

  // An absolute path starts again from the root; a failed open keeps the key that was open.
  ASSERT_TRUE(registry.OpenKeyReadOnly(L"\\Software\\QfViewTest\\Inner", true));
  EXPECT_EQ(registry.CurrentPath(), L"Software\\QfViewTest\\Inner");
  EXPECT_EQ(registry.ReadInteger(L"Start"), 3u);
  EXPECT_FALSE(registry.OpenKeyReadOnly(L"Absent", false));
  EXPECT_EQ(registry.CurrentPath(), L"Software\\QfViewTest\\Inner");
  testreg::SetString(registry.CurrentKey(), L"Text", L"3");
  EXPECT_EQ(registry.ReadInteger(L"Text"), std::nullopt);  // of another type
  EXPECT_TRUE(TViewRegistry::IsRelative(L"a\\b"));
  EXPECT_FALSE(TViewRegistry::IsRelative(L"\\a"));
}

// A service manager that answers as told and records what it is asked to change.
class TFakeServiceConfiguration : public IServiceConfiguration {
 public:
  bool opens = true, changes = true;
  std::optional<unsigned long> startType;
  std::vector<unsigned long> set;
  bool Open() override { return opens; }
  std::optional<unsigned long> StartType() override { return startType; }
  bool SetStartType(unsigned long type) override {
    set.push_back(type);
    if (changes) startType = type;
    return changes;
  }
};

TEST(CheckSchedulerStartType, ADemandOrDisabledServiceStartsAutomaticallyAndAnAutomaticOneStays) {
  const testreg::TValueStash stash(HKEY_LOCAL_MACHINE, kScheduleKey, L"Start");
  const auto key = testreg::Create(HKEY_LOCAL_MACHINE, kScheduleKey);
  struct TCase {
    bool opens, changes;
    std::optional<unsigned long> type;
    std::vector<unsigned long> set;
    DWORD registryBefore, registryAfter;
  };
  const TCase cases[] = {
      {true, true, 3, {2}, 3, 3},         // the manager changes it; the key is left to the manager
      {true, true, 4, {2}, 4, 4},
      {true, true, 2, {}, 3, 3},          // automatic: nothing to do
      {true, true, 1, {}, 3, 3},          // system start: fine too
      {true, false, 3, {2}, 3, 2},        // the manager refuses: the key is changed
      {true, false, std::nullopt, {}, 4, 2},  // unreadable: the key decides
      {true, false, std::nullopt, {}, 2, 2},
      {false, true, 3, {}, 3, 3},         // no service to open: nothing at all
  };
  for (const TCase& c : cases) {
    testreg::SetDword(key.get(), L"Start", c.registryBefore);
    TFakeServiceConfiguration service;
    service.opens = c.opens;
    service.changes = c.changes;
    service.startType = c.type;
    CheckSchedulerStartType(service);
    EXPECT_EQ(service.set, c.set) << c.type.value_or(99);
    DWORD start = 0, size = sizeof start;
    ::RegQueryValueExW(key.get(), L"Start", nullptr, nullptr, reinterpret_cast<BYTE*>(&start), &size);
    EXPECT_EQ(start, c.registryAfter) << c.type.value_or(99);
  }
}

TEST(CheckSchedulerStartType, TheRealServiceManagerSwitchesTheTaskSchedulerToAutomatic) {
  const SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  ASSERT_NE(manager, nullptr);
  const SC_HANDLE service = ::OpenServiceW(manager, L"Schedule", SERVICE_QUERY_CONFIG | SERVICE_CHANGE_CONFIG);
  ASSERT_NE(service, nullptr);
  const auto startType = [&] {
    BYTE buffer[8192];
    DWORD needed = 0;
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer);
    EXPECT_TRUE(::QueryServiceConfigW(service, config, sizeof buffer, &needed));
    return config->dwStartType;
  };
  const auto setStartType = [&](DWORD type) {
    ASSERT_TRUE(::ChangeServiceConfigW(service, SERVICE_NO_CHANGE, type, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, nullptr));
  };
  const DWORD original = startType();
  setStartType(SERVICE_DEMAND_START);
  CheckSchedulerStartType();
  EXPECT_EQ(startType(), static_cast<DWORD>(SERVICE_AUTO_START));
  CheckSchedulerStartType();
  EXPECT_EQ(startType(), static_cast<DWORD>(SERVICE_AUTO_START));
  setStartType(original);
  ::CloseServiceHandle(service);
  ::CloseServiceHandle(manager);
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

TEST(TaskService, RegistersReadsAndDeletesAsFarAsTheSystemImplementsIt) {
  const win::TComApartment apartment;
  ASSERT_TRUE(apartment.Usable());
  const std::wstring name = L"Quillrook Folder-test-" + std::to_wstring(::GetCurrentProcessId());
  TSchedulerLaunch launch;
  launch.executable = ProgramFolder() + L"qrfolder.exe";
  launch.arguments = L"\"C:\\Data\"";
  launch.userId = SchedulerTaskUser();
  launch.taskName = name;
  {
    TTaskService service;
    service.Connect();
    // Connecting starts the service where it starts on demand.
    EXPECT_EQ(service.ServiceState(), kServiceRunning);
    EXPECT_EQ(service.FindTask(name), std::nullopt);
    const TRegistration registration = service.Register(launch, true);
    if (registration == TRegistration::Registered) {
      const auto fields = service.FindTask(name);
      ASSERT_TRUE(fields && fields->principal && fields->priority && fields->action);
      EXPECT_TRUE(fields->principal->highest);
      EXPECT_EQ(fields->priority, 5);
      EXPECT_EQ(fields->action->path, QuotedPath(launch.executable));
      EXPECT_EQ(fields->action->arguments, launch.arguments);
      EXPECT_TRUE(service.DeleteTask(name));
    } else {
      // Wine cannot set a run level: the definition is refused and nothing is registered.
      EXPECT_EQ(registration, TRegistration::DefinitionFailed);
      EXPECT_EQ(service.FindTask(name), std::nullopt);
    }
    EXPECT_FALSE(service.DeleteTask(name));
    EXPECT_THROW(service.Run(), ETaskService);  // no registered task to run
  }
  // A task registered by other means is found, with what the system gives of it.
  {
    win::TComPtr<ITaskService> raw;
    ASSERT_HRESULT_SUCCEEDED(
        ::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService, raw.put_void()));
    VARIANT empty;
    ::VariantInit(&empty);
    ASSERT_HRESULT_SUCCEEDED(raw->Connect(empty, empty, empty, empty));
    win::TComPtr<ITaskFolder> root;
    ASSERT_HRESULT_SUCCEEDED(raw->GetFolder(win::TBstr(L"\\").get(), root.put()));
    win::TComPtr<ITaskDefinition> definition;
    ASSERT_HRESULT_SUCCEEDED(raw->NewTask(0, definition.put()));
    win::TComPtr<ITaskSettings> settings;
    ASSERT_HRESULT_SUCCEEDED(definition->get_Settings(settings.put()));
    ASSERT_HRESULT_SUCCEEDED(settings->put_Priority(6));
    win::TComPtr<IActionCollection> actions;
    win::TComPtr<IAction> action;
    ASSERT_HRESULT_SUCCEEDED(definition->get_Actions(actions.put()));
    ASSERT_HRESULT_SUCCEEDED(actions->Create(TASK_ACTION_EXEC, action.put()));
    win::TComPtr<IExecAction> exec;
    ASSERT_HRESULT_SUCCEEDED(action->QueryInterface(IID_IExecAction, exec.put_void()));
    ASSERT_HRESULT_SUCCEEDED(exec->put_Path(win::TBstr(L"\"C:\\Old\\qrfolder.exe\"").get()));
    win::TComPtr<IRegisteredTask> registered;
    VARIANT descriptor;
    ::VariantInit(&descriptor);
    ASSERT_HRESULT_SUCCEEDED(root->RegisterTaskDefinition(win::TBstr(name).get(), definition.get(),
                                                          TASK_CREATE_OR_UPDATE, empty, empty,
                                                          TASK_LOGON_INTERACTIVE_TOKEN, descriptor, registered.put()));
  }
  TTaskService service;
  service.Connect();
  const auto fields = service.FindTask(name);
  ASSERT_TRUE(fields.has_value());
  EXPECT_EQ(fields->priority, 6);
  if (fields->action) {
    EXPECT_EQ(fields->action->path, L"\"C:\\Old\\qrfolder.exe\"");
  }
  const auto state = service.State();
  ASSERT_TRUE(state.has_value());
  EXPECT_EQ(*state, tsReady);
  EXPECT_TRUE(service.DeleteTask(name));
  EXPECT_EQ(service.FindTask(name), std::nullopt);
}

}  // namespace
