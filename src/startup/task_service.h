// The Task Scheduler 2.0 binding of the launcher's interfaces: the service, its root folder
// and the task of one call through ITaskService and friends, and the agent's log, clock and
// formats. Each object lives for one call and holds its own COM objects; the calling thread
// must be in an apartment (win::TComApartment). Main thread.
#pragma once

#include <windows.h>
#include <taskschd.h>

#include "startup/task_launcher.h"
#include "win/com.h"

class TTaskService : public ITaskScheduler {
 public:
  int ServiceState() override;
  void Connect() override;
  std::optional<TTaskFields> FindTask(const std::wstring& name) override;
  TRegistration Register(const TSchedulerLaunch& launch, bool isNew) override;
  void Run() override;
  std::optional<int> State() override;
  std::optional<int> RunningState() override;
  TTaskTimes Times() override;
  bool DeleteTask(const std::wstring& name) override;

 private:
  win::TComPtr<ITaskService> service_;
  win::TComPtr<ITaskFolder> root_;
  win::TComPtr<IRegisteredTask> task_;
  win::TComPtr<ITaskDefinition> definition_;  // of the task found
  win::TComPtr<IRunningTask> running_;
};

class TLaunchEnvironment : public ILaunchEnvironment {
 public:
  bool IsVista() override;
  bool IsRealUserAdmin() override;
  void LogRun(const std::wstring& name, const std::wstring& parameters) override;
  void LogError(const std::wstring& function, const std::wstring& message) override;
  std::wstring DateTimeText(double date) override;
  std::wstring NumberText(double date) override;
  std::uint64_t Milliseconds() override;
  void Sleep(unsigned milliseconds) override;
};

// The current state of a service on `machine` (empty: this computer); 1, stopped, when it
// cannot be asked.
int ServiceGetStatus(const std::wstring& machine, const std::wstring& serviceName);
