#include "startup/scheduler.h"

#include "diagnostics/logger.h"
#include "startup/user_checks.h"
#include "win/files.h"

// Task Scheduler 2.0 is not driven yet: the agent reports that it could not use it, so start-up
// takes the "runas" route and removal leaves nothing behind.
bool LaunchThroughScheduler(const TSchedulerLaunch& launch) {
  CommonLogRunEvent(L"LaunchThroughScheduler", L"not available, Task=" + launch.taskName);
  return false;
}

bool DeleteFromScheduler(const std::wstring& taskName) {
  CommonLogRunEvent(L"DeleteFromScheduler", L"not available, Task=" + taskName);
  return false;
}

std::wstring SchedulerTaskName() { return L"Quillrook Folder-" + CurrentUserName(); }

void UpdateScheduler() {
  if (!(IsUAC() && IsElevated() && (IsRealUserAdmin() || IsPowerUser()))) return;
  TSchedulerLaunch launch;
  launch.executable = ProgramPath();
  launch.userId = CurrentComputerName() + L"\\" + CurrentUserName();
  launch.highest = true;
  launch.taskName = SchedulerTaskName();
  launch.runNow = false;
  launch.priority = 5;
  launch.runDespiteFailedUpdate = false;
  LaunchThroughScheduler(launch);
}
