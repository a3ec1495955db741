// The elevation task's bookkeeping: what of a registered task differs from what the agent needs,
// what is logged, when watching a started task ends. Portable: it talks to the Task Scheduler
// and to the log through the two small interfaces below (task_service.h binds them to Windows).
// Main thread.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

// One call's request: the task that starts `executable` and whether to start it now.
struct TSchedulerLaunch {
  std::wstring executable;
  std::wstring arguments;
  std::wstring workingFolder;
  std::wstring userId;  // computer\user
  bool highest = true;
  std::wstring taskName;
  bool runNow = false;
  int priority = 5;
  bool runDespiteFailedUpdate = false;
};

// A registered task's settings as read back. A part the service would not give is empty.
struct TTaskPrincipal {
  bool highest = false;
  std::wstring userId;
};
struct TTaskAction {
  std::wstring path;  // as registered: the executable in double quotes
  std::wstring arguments;
  std::wstring workingDirectory;
};
struct TTaskFields {
  std::optional<TTaskPrincipal> principal;
  std::optional<int> priority;
  std::optional<TTaskAction> action;
};

// What a registration left: the task registered; the task as it was (its definition could not
// be changed); or no registered task at all (the registration itself failed).
enum class TRegistration { Registered, DefinitionFailed, RegistrationFailed };

// The task's run times as the service gives them (OLE automation dates) and its last result.
struct TTaskTimes {
  double lastRun = 0;
  double nextRun = 0;
  long lastResult = 0;
};

// A failure of the task service nobody expects; the launcher logs it as "Common error".
class ETaskService : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Task Scheduler states.
enum TTaskState : int { tsUnknown = 0, tsDisabled = 1, tsQueued = 2, tsReady = 3, tsRunning = 4 };
// Service states the launcher accepts: start pending and running.
inline constexpr int kServiceStartPending = 2, kServiceRunning = 4;

// The Task Scheduler, for one call: the service connection, the root folder and the task found
// or registered last. Calls that fail in ordinary use answer empty or false; the others throw
// ETaskService.
class ITaskScheduler {
 public:
  virtual ~ITaskScheduler() = default;
  // The current state of the service "Schedule" (1, stopped, when it cannot be asked).
  virtual int ServiceState() = 0;
  // Creates the service object, connects and takes the root folder "\".
  virtual void Connect() = 0;
  // The task by name with its settings; none when there is no such task.
  virtual std::optional<TTaskFields> FindTask(const std::wstring& name) = 0;
  // Registers the launch's task: a new definition filled in (`isNew`), or the found task's own
  // definition with the launch's settings put in.
  virtual TRegistration Register(const TSchedulerLaunch& launch, bool isNew) = 0;
  virtual void Run() = 0;
  // The registered task's state, and the state of its running instance refreshed; none while
  // they cannot be read.
  virtual std::optional<int> State() = 0;
  virtual std::optional<int> RunningState() = 0;
  virtual TTaskTimes Times() = 0;
  // False when the task could not be deleted (it may not exist).
  virtual bool DeleteTask(const std::wstring& name) = 0;
};

// What else the launcher needs: the system's version and rights, the log, the clock and the
// user's formats.
class ILaunchEnvironment {
 public:
  virtual ~ILaunchEnvironment() = default;
  virtual bool IsVista() = 0;
  virtual bool IsRealUserAdmin() = 0;
  virtual void LogRun(const std::wstring& name, const std::wstring& parameters) = 0;
  virtual void LogError(const std::wstring& function, const std::wstring& message) = 0;
  // An OLE automation date as the user's date and time, and as the user's number.
  virtual std::wstring DateTimeText(double date) = 0;
  virtual std::wstring NumberText(double date) = 0;
  virtual std::uint64_t Milliseconds() = 0;
  virtual void Sleep(unsigned milliseconds) = 0;
};

// The executable as the task's action holds it.
std::wstring QuotedPath(const std::wstring& executable);

// Registers or corrects the task and, with runNow, runs it and watches it start for about two
// seconds. True when the task was registered anew or corrected (without runNow), or when it
// started or is still starting (with runNow).
bool LaunchThroughScheduler(ITaskScheduler& scheduler, ILaunchEnvironment& environment, const TSchedulerLaunch& launch);
// Deletes the task; false when the service is off or the task could not be deleted.
bool DeleteFromScheduler(ITaskScheduler& scheduler, ILaunchEnvironment& environment, const std::wstring& taskName);
