// The scheduled task that starts an administrator's agent elevated, as the agent uses it:
// registered, corrected and run through the Task Scheduler, deleted, kept current at exit; and
// the Task Scheduler service's start type. Main thread.
#pragma once

#include <optional>
#include <string>

#include "startup/task_launcher.h"

// Registers (or corrects) the task and, with runNow, runs it; false when that could not be done.
bool LaunchThroughScheduler(const TSchedulerLaunch& launch);
// Removes the task; false when it could not be removed.
bool DeleteFromScheduler(const std::wstring& taskName);
// "Quillrook Folder-" + the user's logon name.
std::wstring SchedulerTaskName();
// The task's user: computer\user.
std::wstring SchedulerTaskUser();
// The elevation task, stated once for the hand-over, the update at exit and the erase: this
// program, for this user, with the highest rights, at priority 5. A task to run now (the
// hand-over) also runs when correcting it failed; `arguments` are passed to the copy it starts.
TSchedulerLaunch ElevationTask(bool runNow, const std::wstring& arguments = {});
// Who may own the elevation task: an elevated administrator or power user under User Account
// Control.
bool MayOwnElevationTask();
// Keeps the elevation task current when an elevated administrator's agent exits; for a program
// whose folder is not protected from the unelevated user, removes it instead.
void UpdateScheduler();
// Removes the user's elevation task, if there is one, with a log line: the program's folder is not
// protected, so nothing may start it elevated.
void RemoveUnprotectedElevationTask();

// The service manager calls that CheckSchedulerStartType makes, so a test can stand in for a
// service manager that cannot change the service. The start types: 2 automatic, 3 on demand,
// 4 disabled.
class IServiceConfiguration {
 public:
  virtual ~IServiceConfiguration() = default;
  // False when the service cannot be opened for querying and changing its configuration.
  virtual bool Open() = 0;
  // The start type; none when it cannot be read.
  virtual std::optional<unsigned long> StartType() = 0;
  virtual bool SetStartType(unsigned long startType) = 0;
};
// Makes the Task Scheduler service start automatically: through the service manager, and
// through the service's registry key when the manager opened the service but could not change it.
void CheckSchedulerStartType();
void CheckSchedulerStartType(IServiceConfiguration& service);
