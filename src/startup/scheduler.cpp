#include "startup/scheduler.h"

#include <windows.h>

#include <vector>

#include "diagnostics/logger.h"
#include "startup/program_folder.h"
#include "startup/task_service.h"
#include "startup/user_checks.h"
#include "startup/view_registry.h"
#include "win/com.h"
#include "win/files.h"
#include "win/handles.h"

namespace {

// Below normal, as the Task Scheduler's own default for a started task is.
constexpr int kElevationTaskPriority = 5;
constexpr unsigned long kAutoStart = SERVICE_AUTO_START, kDemandStart = SERVICE_DEMAND_START,
                        kDisabled = SERVICE_DISABLED;

class TSchedulerServiceConfiguration : public IServiceConfiguration {
 public:
  bool Open() override {
    manager_.reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (manager_)
      service_.reset(::OpenServiceW(manager_.get(), L"Schedule", SERVICE_QUERY_CONFIG | SERVICE_CHANGE_CONFIG));
    return static_cast<bool>(service_);
  }
  std::optional<unsigned long> StartType() override {
    DWORD needed = 0;
    if (::QueryServiceConfigW(service_.get(), nullptr, 0, &needed) || ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
      return std::nullopt;
    std::vector<BYTE> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!::QueryServiceConfigW(service_.get(), config, needed, &needed)) return std::nullopt;
    return config->dwStartType;
  }
  bool SetStartType(unsigned long startType) override {
    return ::ChangeServiceConfigW(service_.get(), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, nullptr) != FALSE;
  }

 private:
  win::TServiceHandle manager_, service_;
};

}  // namespace

bool LaunchThroughScheduler(const TSchedulerLaunch& launch) {
  const win::TComApartment apartment;
  TTaskService service;
  TLaunchEnvironment environment;
  return LaunchThroughScheduler(service, environment, launch);
}

bool DeleteFromScheduler(const std::wstring& taskName) {
  const win::TComApartment apartment;
  TTaskService service;
  TLaunchEnvironment environment;
  return DeleteFromScheduler(service, environment, taskName);
}

std::wstring SchedulerTaskName() { return L"Quillrook Folder-" + CurrentUserName(); }

std::wstring SchedulerTaskUser() { return CurrentComputerName() + L"\\" + CurrentUserName(); }

void CheckSchedulerStartType(IServiceConfiguration& service) {
  if (!service.Open()) return;
  const std::optional<unsigned long> type = service.StartType();
  const bool wrong = type && (*type == kDemandStart || *type == kDisabled);
  if (type && (!wrong || service.SetStartType(kAutoStart))) return;
  // The manager would not tell or would not change it: the service's own key says the same.
  TViewRegistry registry;
  if (!CommonOpenRegistryKey(registry, false, L"SYSTEM\\CurrentControlSet\\Services\\Schedule", true, true)) return;
  if (const auto start = registry.ReadInteger(L"Start"); start && (*start == kDemandStart || *start == kDisabled))
    registry.WriteInteger(L"Start", kAutoStart);
}

void CheckSchedulerStartType() {
  TSchedulerServiceConfiguration service;
  CheckSchedulerStartType(service);
}

TSchedulerLaunch ElevationTask(bool runNow, const std::wstring& arguments) {
  TSchedulerLaunch launch;
  launch.executable = ProgramPath();
  launch.arguments = arguments;
  launch.userId = SchedulerTaskUser();
  launch.highest = true;
  launch.taskName = SchedulerTaskName();
  launch.runNow = runNow;
  launch.priority = kElevationTaskPriority;
  launch.runDespiteFailedUpdate = runNow;
  return launch;
}

bool MayOwnElevationTask() { return IsUAC() && IsElevated() && (IsRealUserAdmin() || IsPowerUser()); }

void RemoveUnprotectedElevationTask() {
  const std::wstring name = SchedulerTaskName();
  const win::TComApartment apartment;
  TTaskService service;
  TLaunchEnvironment environment;
  std::optional<TTaskFields> task;
  try {
    service.Connect();
    task = service.FindTask(name);
  } catch (const std::exception&) {
    return;
  }
  if (!task) return;
  // A task whose program cannot be read goes too: a protected copy registers it again at its next
  // start, as it does for a missing one.
  std::optional<std::wstring> exposure = std::wstring(L"the task's program cannot be read");
  if (task->action) {
    // The task's program as registered, in double quotes; this copy's answer is the one read already.
    std::wstring program = task->action->path;
    if (program.size() >= 2 && program.front() == L'"' && program.back() == L'"')
      program = program.substr(1, program.size() - 2);
    if (::CompareStringOrdinal(program.c_str(), -1, ProgramPath().c_str(), -1, TRUE) == CSTR_EQUAL) {
      exposure = ProgramFolderExposure();
    } else {
      const win::TUniqueHandle token(UnelevatedUserToken());
      const std::size_t slash = program.find_last_of(L'\\');
      exposure = token && slash != std::wstring::npos
                     ? programfolder::UserWritablePath(ReadFolderAccess(token.get(), program.substr(0, slash)))
                     : std::optional<std::wstring>(program + L": not a full path");
    }
  }
  if (!exposure) return;
  const bool removed = DeleteFromScheduler(service, environment, name);
  CommonLogRunEvent(L"UpdateScheduler",
                    std::wstring(removed ? L"elevation task removed: " : L"elevation task not removed: ") + *exposure);
}

void UpdateScheduler() {
  if (!MayOwnElevationTask()) return;
  if (const std::optional<std::wstring> exposure = ProgramFolderExposure()) {
    CommonLogRunEvent(L"UpdateScheduler", L"no elevation task, the program's folder is not protected: " + *exposure);
    RemoveUnprotectedElevationTask();
    return;
  }
  if (IsRealUserAdmin()) CheckSchedulerStartType();
  LaunchThroughScheduler(ElevationTask(false));
}
