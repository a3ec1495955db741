// The scheduled task that starts an administrator's agent elevated. Main thread.
#pragma once

#include <string>

struct TSchedulerLaunch {
  std::wstring executable;
  std::wstring arguments;
  std::wstring workingFolder;
  std::wstring userId;
  bool highest = true;
  std::wstring taskName;
  bool runNow = false;
  int priority = 5;
  bool runDespiteFailedUpdate = false;
};

// Registers (or updates) the task and optionally runs it; false when that could not be done.
bool LaunchThroughScheduler(const TSchedulerLaunch& launch);
// Removes the task; false when it could not be removed.
bool DeleteFromScheduler(const std::wstring& taskName);
// "Quillrook Folder-" + the user's logon name.
std::wstring SchedulerTaskName();
// Keeps the elevation task current when an elevated administrator's agent exits.
void UpdateScheduler();
