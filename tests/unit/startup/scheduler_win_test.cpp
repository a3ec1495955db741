// The Task Scheduler service's start-type repair, against a service manager that answers as told
// and against the real one under Wine.
#include "startup/scheduler.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <vector>

#include "../test_registry.h"

namespace {

constexpr wchar_t kScheduleKey[] = L"SYSTEM\\CurrentControlSet\\Services\\Schedule";

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
      {true, true, 3, {2}, 3, 3},  // the manager changes it; the key is left to the manager
      {true, true, 4, {2}, 4, 4},
      {true, true, 2, {}, 3, 3},              // automatic: nothing to do
      {true, true, 1, {}, 3, 3},              // system start: fine too
      {true, false, 3, {2}, 3, 2},            // the manager refuses: the key is changed
      {true, false, std::nullopt, {}, 4, 2},  // unreadable: the key decides
      {true, false, std::nullopt, {}, 2, 2},
      {false, true, 3, {}, 3, 3},  // no service to open: nothing at all
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

}  // namespace
