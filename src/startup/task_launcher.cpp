#include "startup/task_launcher.h"
#include "win/text_rules.h"

#include <cwctype>
#include <functional>
#include <vector>

namespace {

constexpr wchar_t kLaunchName[] = L"LaunchThroughScheduler";
constexpr wchar_t kDeleteName[] = L"DeleteFromScheduler";
// A started task gets this long to leave the queue before the watch gives up on it.
constexpr std::uint64_t kStartWatchMs = 2000;
// The pause between two looks at a starting task, and after asking it to run.
constexpr unsigned kStartLookMs = 100;

// The corrections an existing task needs, as log lines in the order they are made; `complete`
// is false when a part of the task could not be read, which ends the comparison there.
struct TCorrections {
  std::vector<std::wstring> lines;
  bool complete = false;
};

TCorrections Corrections(const TTaskFields& task, const TSchedulerLaunch& launch) {
  TCorrections result;
  if (!task.principal) return result;
  if (task.principal->highest != launch.highest) result.lines.push_back(L"Update level");
  if (task.principal->userId != launch.userId) result.lines.push_back(L"Update userid");
  if (!task.priority) return result;
  if (*task.priority != launch.priority) result.lines.push_back(L"Update priority");
  if (!task.action) return result;
  if (!text::SameCaseBlind(task.action->path, QuotedPath(launch.executable)))
    result.lines.push_back(L"Update path: " + task.action->path + L", new=" + launch.executable);
  if (!text::SameCaseBlind(task.action->arguments, launch.arguments)) result.lines.push_back(L"Update argument");
  if (task.action->workingDirectory != launch.workingFolder) result.lines.push_back(L"Update workdir");
  result.complete = true;
  return result;
}

// The watch's verdict on one look: none while the task is still starting.
std::optional<bool> StartVerdict(ITaskScheduler& scheduler, const std::function<void(const std::wstring&)>& log) {
  const std::optional<int> state = scheduler.State();
  if (!state) return std::nullopt;
  if (*state == tsUnknown || *state == tsDisabled) {
    log(L"Run fail 1=" + std::to_wstring(*state));
    return false;
  }
  if (*state == tsReady) {
    log(L"Run success 1");
    return true;
  }
  const std::optional<int> running = scheduler.RunningState();
  if (!running) return std::nullopt;
  switch (*running) {
    case tsUnknown:
    case tsDisabled:
      log(L"Run fail 2=" + std::to_wstring(*running));
      return false;
    case tsReady:
      log(L"Run success 4");
      return true;
    case tsRunning:
      log(L"Run success 3");
      return true;
    default:
      return std::nullopt;
  }
}

}  // namespace

std::wstring QuotedPath(const std::wstring& executable) { return L"\"" + executable + L"\""; }

bool LaunchThroughScheduler(ITaskScheduler& scheduler, ILaunchEnvironment& environment,
                            const TSchedulerLaunch& launch) {
  if (!environment.IsVista()) return false;
  const std::function<void(const std::wstring&)> log = [&](const std::wstring& text) {
    environment.LogRun(kLaunchName, text);
  };
  try {
    log(launch.runNow ? L"Start with Run" : L"Start");
    const int service = scheduler.ServiceState();
    if (service != kServiceStartPending && service != kServiceRunning) {
      log(L"Scheduler disabled 3");
      return false;
    }
    scheduler.Connect();
    const std::optional<TTaskFields> found = scheduler.FindTask(launch.taskName);
    bool result = false;
    if (!found) {
      log(L"IsNew=" + launch.taskName);
      if (scheduler.Register(launch, true) != TRegistration::Registered) {
        if (environment.IsRealUserAdmin()) log(L"RegisterTaskDefinition fail 1");
        return false;
      }
    } else {
      const TCorrections corrections = Corrections(*found, launch);
      for (const auto& line : corrections.lines) log(line);
      TRegistration registration = TRegistration::Registered;
      if (!corrections.complete) {
        registration = TRegistration::DefinitionFailed;
      } else if (!corrections.lines.empty()) {
        log(L"Update required");
        registration = scheduler.Register(launch, false);
        result = registration == TRegistration::Registered;
      }
      if (registration != TRegistration::Registered) {
        result = false;
        if (environment.IsRealUserAdmin()) log(L"RegisterTaskDefinition fail");
        if (!launch.runDespiteFailedUpdate) return false;
        if (registration == TRegistration::RegistrationFailed) {
          environment.LogError(kLaunchName, L"pRegisteredTask = nil");
          return false;
        }
      }
    }
    if (!launch.runNow) return result;

    // Run now, and watch the task leave the queue.
    const TTaskTimes before = scheduler.Times();
    log(L"Last run=" + environment.DateTimeText(before.lastRun) + L" (" + environment.NumberText(before.lastRun) +
        L"), next run=" + environment.DateTimeText(before.nextRun));
    const std::uint64_t start = environment.Milliseconds();
    scheduler.Run();
    environment.Sleep(kStartLookMs);
    // "Last run=..., RegisteredTask.State=n": where the task stands now, against the last run
    // noted before it was started.
    const auto standing = [&] {
      const TTaskTimes now = scheduler.Times();
      const int state = scheduler.State().value_or(tsUnknown);
      return L"Last run=" + environment.DateTimeText(now.lastRun) + L", next run=" +
             environment.DateTimeText(now.nextRun) + L", LastTaskResult=" + std::to_wstring(now.lastResult) +
             L", LastRun=" + environment.NumberText(before.lastRun) + L"(" + environment.DateTimeText(before.lastRun) +
             L"), LastRunTime=" + environment.NumberText(now.lastRun) + L" (" + environment.DateTimeText(now.lastRun) +
             L"), RegisteredTask.State=" + std::to_wstring(state);
    };
    for (;;) {
      if (const std::optional<bool> verdict = StartVerdict(scheduler, log)) {
        result = *verdict;
        break;
      }
      if (environment.Milliseconds() - start > kStartWatchMs) {
        log(L"Run wait timeout: " + standing());
        const std::optional<int> state = scheduler.State();
        result = state && (*state == tsQueued || *state == tsRunning);
        break;
      }
      environment.Sleep(kStartLookMs);
    }
    log(L"Run after: " + standing());
    return result;
  } catch (const std::exception&) {
    environment.LogError(kLaunchName, L"Common error");
    return false;
  }
}

bool DeleteFromScheduler(ITaskScheduler& scheduler, ILaunchEnvironment& environment, const std::wstring& taskName) {
  if (!environment.IsVista()) return false;
  try {
    const int service = scheduler.ServiceState();
    if (service != kServiceStartPending && service != kServiceRunning) {
      environment.LogRun(kDeleteName, L"Scheduler disabled");
      return false;
    }
    scheduler.Connect();
    if (scheduler.DeleteTask(taskName)) return true;
    environment.LogRun(kDeleteName, L"DeleteTask fail " + taskName);
    return false;
  } catch (const std::exception&) {
    environment.LogError(kDeleteName, L"Common error");
    return false;
  }
}
