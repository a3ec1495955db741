#include "startup/task_launcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

namespace {

// A Task Scheduler that keeps its tasks in memory and records what is asked of it.
class TFakeScheduler : public ITaskScheduler {
 public:
  int service = 4;
  std::map<std::wstring, TTaskFields> tasks;
  int registrations = 0;
  bool refuseDefinition = false, refuseRegistration = false, failConnect = false;
  bool ran = false;
  std::vector<int> states{tsReady}, runningStates{tsRunning};  // the last answer repeats
  TTaskTimes times{45000.25, 45001.5, 0};

  int ServiceState() override { return service; }
  void Connect() override {
    if (failConnect) throw ETaskService("Connect failed");
  }
  std::optional<TTaskFields> FindTask(const std::wstring& name) override {
    const auto task = tasks.find(name);
    if (task == tasks.end()) return std::nullopt;
    found_ = name;
    return task->second;
  }
  TRegistration Register(const TSchedulerLaunch& launch, bool) override {
    if (refuseDefinition) return TRegistration::DefinitionFailed;
    if (refuseRegistration) {
      found_.clear();
      return TRegistration::RegistrationFailed;
    }
    ++registrations;
    tasks[launch.taskName] = {TTaskPrincipal{launch.highest, launch.userId}, launch.priority,
                              TTaskAction{QuotedPath(launch.executable), launch.arguments, launch.workingFolder}};
    found_ = launch.taskName;
    return TRegistration::Registered;
  }
  void Run() override { ran = true; }
  std::optional<int> State() override { return Next(states, stateLooks_); }
  std::optional<int> RunningState() override { return Next(runningStates, runningLooks_); }
  TTaskTimes Times() override { return times; }
  bool DeleteTask(const std::wstring& name) override { return tasks.erase(name) == 1; }

 private:
  static int Next(const std::vector<int>& answers, std::size_t& looks) {
    return answers[std::min(looks++, answers.size() - 1)];
  }
  std::wstring found_;
  std::size_t stateLooks_ = 0, runningLooks_ = 0;
};

class TFakeEnvironment : public ILaunchEnvironment {
 public:
  bool vista = true, realAdmin = true;
  std::vector<std::wstring> runs;    // "name: parameters"
  std::vector<std::wstring> errors;  // "function: message"
  std::uint64_t now = 1000;

  bool IsVista() override { return vista; }
  bool IsRealUserAdmin() override { return realAdmin; }
  void LogRun(const std::wstring& name, const std::wstring& parameters) override {
    runs.push_back(name + L": " + parameters);
  }
  void LogError(const std::wstring& function, const std::wstring& message) override {
    errors.push_back(function + L": " + message);
  }
  std::wstring DateTimeText(double date) override { return L"D" + std::to_wstring(static_cast<long>(date * 100)); }
  std::wstring NumberText(double date) override { return L"N" + std::to_wstring(static_cast<long>(date * 100)); }
  std::uint64_t Milliseconds() override { return now; }
  void Sleep(unsigned milliseconds) override { now += milliseconds; }

  // The launcher's lines without their name.
  std::vector<std::wstring> Lines() const {
    std::vector<std::wstring> lines;
    for (const auto& run : runs) lines.push_back(run.substr(run.find(L": ") + 2));
    return lines;
  }
  bool Logged(const std::wstring& start) const {
    const auto lines = Lines();
    return std::any_of(lines.begin(), lines.end(), [&](const std::wstring& l) { return l.starts_with(start); });
  }
};

TSchedulerLaunch AgentLaunch(bool runNow = false) {
  TSchedulerLaunch launch;
  launch.executable = L"C:\\Tools\\qrfolder.exe";
  launch.userId = L"PC\\anna";
  launch.taskName = L"Quillrook Folder-anna";
  launch.runNow = runNow;
  return launch;
}

TEST(LaunchThroughScheduler, RegistersOnceAndCorrectsOnlyWhatDiffers) {
  TFakeScheduler scheduler;
  TFakeEnvironment environment;
  const TSchedulerLaunch launch = AgentLaunch();

  // A first call registers the task; a new task without running is no success to report.
  EXPECT_FALSE(LaunchThroughScheduler(scheduler, environment, launch));
  EXPECT_EQ(environment.Lines(), (std::vector<std::wstring>{L"Start", L"IsNew=Quillrook Folder-anna"}));
  EXPECT_EQ(environment.runs.front(), L"LaunchThroughScheduler: Start");
  ASSERT_EQ(scheduler.registrations, 1);
  const TTaskFields& task = scheduler.tasks.at(launch.taskName);
  EXPECT_EQ(task.action->path, L"\"C:\\Tools\\qrfolder.exe\"");
  EXPECT_TRUE(task.principal->highest);
  EXPECT_EQ(task.priority, 5);

  // The same call again, and one whose path differs only in case: nothing to correct.
  for (const std::wstring& executable : {launch.executable, std::wstring(L"c:\\TOOLS\\QRFolder.exe")}) {
    environment.runs.clear();
    TSchedulerLaunch same = launch;
    same.executable = executable;
    EXPECT_FALSE(LaunchThroughScheduler(scheduler, environment, same));
    EXPECT_EQ(environment.Lines(), std::vector<std::wstring>{L"Start"});
    EXPECT_EQ(scheduler.registrations, 1);
  }

  // Each setting that differs is corrected, logged and registered again.
  struct TCase {
    void (*change)(TSchedulerLaunch&);
    std::vector<std::wstring> lines;
  };
  const TCase cases[] = {
      {[](TSchedulerLaunch& l) { l.executable = L"D:\\New\\qrfolder.exe"; },
       {L"Update path: \"C:\\Tools\\qrfolder.exe\", new=D:\\New\\qrfolder.exe"}},
      {[](TSchedulerLaunch& l) { l.highest = false; }, {L"Update level"}},
      {[](TSchedulerLaunch& l) { l.userId = L"PC\\ANNA"; }, {L"Update userid"}},  // exact comparison
      {[](TSchedulerLaunch& l) { l.priority = 7; }, {L"Update priority"}},
      {[](TSchedulerLaunch& l) { l.arguments = L"\"C:\\Data\""; }, {L"Update argument"}},
      {[](TSchedulerLaunch& l) { l.workingFolder = L"C:\\Tools"; }, {L"Update workdir"}},
      {[](TSchedulerLaunch& l) {
         l.priority = 4;
         l.workingFolder = L"C:\\";
       },
       {L"Update priority", L"Update workdir"}},
  };
  for (const TCase& c : cases) {
    TSchedulerLaunch changed = AgentLaunch();
    c.change(changed);
    TFakeScheduler fresh;
    fresh.tasks[launch.taskName] = task;
    environment.runs.clear();
    EXPECT_TRUE(LaunchThroughScheduler(fresh, environment, changed));
    std::vector<std::wstring> expected{L"Start"};
    expected.insert(expected.end(), c.lines.begin(), c.lines.end());
    expected.push_back(L"Update required");
    EXPECT_EQ(environment.Lines(), expected);
    EXPECT_EQ(fresh.registrations, 1);
  }
  // Arguments compare without regard to case.
  TSchedulerLaunch withArgument = launch;
  withArgument.arguments = L"\"C:\\DATA\"";
  scheduler.tasks.at(launch.taskName).action->arguments = L"\"c:\\data\"";
  EXPECT_FALSE(LaunchThroughScheduler(scheduler, environment, withArgument));
  EXPECT_EQ(scheduler.registrations, 1);
}

TEST(LaunchThroughScheduler, RefusesWithoutTheServiceAndLogsFailures) {
  TFakeEnvironment environment;
  {
    TFakeScheduler scheduler;
    scheduler.service = 1;  // stopped
    EXPECT_FALSE(LaunchThroughScheduler(scheduler, environment, AgentLaunch(true)));
    EXPECT_EQ(environment.Lines(), (std::vector<std::wstring>{L"Start with Run", L"Scheduler disabled 3"}));
    EXPECT_FALSE(scheduler.ran);
  }
  {
    // A service that is still starting is good enough.
    TFakeScheduler scheduler;
    scheduler.service = 2;
    environment.runs.clear();
    LaunchThroughScheduler(scheduler, environment, AgentLaunch());
    EXPECT_EQ(scheduler.registrations, 1);
  }
  {
    // Before Vista there is nothing to do and nothing to say.
    TFakeScheduler scheduler;
    environment.runs.clear();
    environment.vista = false;
    EXPECT_FALSE(LaunchThroughScheduler(scheduler, environment, AgentLaunch(true)));
    EXPECT_FALSE(DeleteFromScheduler(scheduler, environment, L"x"));
    EXPECT_TRUE(environment.runs.empty());
    environment.vista = true;
  }
  {
    // A new task the service will not take: logged only for a process with machine-wide rights.
    for (bool realAdmin : {true, false}) {
      TFakeScheduler scheduler;
      scheduler.refuseDefinition = true;
      environment.runs.clear();
      environment.realAdmin = realAdmin;
      EXPECT_FALSE(LaunchThroughScheduler(scheduler, environment, AgentLaunch(true)));
      EXPECT_EQ(environment.Logged(L"RegisterTaskDefinition fail 1"), realAdmin);
      EXPECT_FALSE(scheduler.ran);
    }
    environment.realAdmin = true;
  }
  {
    // An unexpected failure of the service.
    TFakeScheduler scheduler;
    scheduler.failConnect = true;
    EXPECT_FALSE(LaunchThroughScheduler(scheduler, environment, AgentLaunch(true)));
    EXPECT_FALSE(DeleteFromScheduler(scheduler, environment, L"x"));
    EXPECT_EQ(environment.errors, (std::vector<std::wstring>{L"LaunchThroughScheduler: Common error",
                                                             L"DeleteFromScheduler: Common error"}));
  }
}

TEST(LaunchThroughScheduler, AnExistingTaskThatCannotBeCorrectedRunsOnlyWhenAskedTo) {
  // The service gives no principal (as Wine does): the comparison fails at its first step.
  TTaskFields unreadable;
  unreadable.priority = 5;
  for (bool despite : {false, true}) {
    TFakeScheduler scheduler;
    TFakeEnvironment environment;
    TSchedulerLaunch launch = AgentLaunch(true);
    scheduler.tasks[launch.taskName] = unreadable;
    launch.runDespiteFailedUpdate = despite;
    EXPECT_EQ(LaunchThroughScheduler(scheduler, environment, launch), despite);
    EXPECT_TRUE(environment.Logged(L"RegisterTaskDefinition fail"));
    EXPECT_EQ(scheduler.ran, despite);
    EXPECT_EQ(environment.Logged(L"Run success 1"), despite);
  }
  // A registration that fails leaves no task to run.
  TFakeScheduler scheduler;
  TFakeEnvironment environment;
  TSchedulerLaunch launch = AgentLaunch(true);
  launch.runDespiteFailedUpdate = true;
  scheduler.tasks[launch.taskName] = {TTaskPrincipal{true, launch.userId}, 3, TTaskAction{L"\"x.exe\"", L"", L""}};
  scheduler.refuseRegistration = true;
  EXPECT_FALSE(LaunchThroughScheduler(scheduler, environment, launch));
  EXPECT_EQ(environment.errors, std::vector<std::wstring>{L"LaunchThroughScheduler: pRegisteredTask = nil"});
  EXPECT_FALSE(scheduler.ran);
}

TEST(LaunchThroughScheduler, WatchesTheStartedTaskUntilItsStateDecides) {
  struct TCase {
    std::vector<int> states, runningStates;
    bool result;
    std::wstring verdict;
  };
  const TCase cases[] = {
      {{tsReady}, {}, true, L"Run success 1"},
      {{tsRunning}, {tsRunning}, true, L"Run success 3"},
      {{tsQueued}, {tsReady}, true, L"Run success 4"},
      {{tsDisabled}, {}, false, L"Run fail 1=1"},
      {{tsUnknown}, {}, false, L"Run fail 1=0"},
      {{tsRunning}, {tsUnknown}, false, L"Run fail 2=0"},
      {{tsQueued, tsQueued, tsQueued, tsReady}, {tsQueued}, true, L"Run success 1"},  // a few looks
  };
  for (const TCase& c : cases) {
    TFakeScheduler scheduler;
    TFakeEnvironment environment;
    scheduler.states = c.states;
    scheduler.runningStates = c.runningStates.empty() ? std::vector<int>{tsQueued} : c.runningStates;
    EXPECT_EQ(LaunchThroughScheduler(scheduler, environment, AgentLaunch(true)), c.result) << c.verdict;
    EXPECT_TRUE(scheduler.ran);
    const auto lines = environment.Lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[2], L"Last run=D4500025 (N4500025), next run=D4500150");
    EXPECT_EQ(lines[lines.size() - 2], c.verdict);
    EXPECT_TRUE(lines.back().starts_with(L"Run after: Last run=D4500025")) << lines.back();
    EXPECT_FALSE(environment.Logged(L"Run wait timeout"));
  }

  // A task that stays queued: after two seconds the watch ends, with the task counted as started.
  TFakeScheduler scheduler;
  TFakeEnvironment environment;
  scheduler.states = {tsQueued};
  scheduler.runningStates = {tsQueued};
  const std::uint64_t start = environment.now;
  EXPECT_TRUE(LaunchThroughScheduler(scheduler, environment, AgentLaunch(true)));
  const auto lines = environment.Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2],
            L"Run wait timeout: Last run=D4500025, next run=D4500150, LastTaskResult=0, LastRun=N4500025(D4500025), "
            L"LastRunTime=N4500025 (D4500025), RegisteredTask.State=2");
  EXPECT_GT(environment.now - start, 2000u);
  EXPECT_LT(environment.now - start, 2300u);
}

TEST(DeleteFromScheduler, DeletesTheTaskAndSaysWhenThereIsNone) {
  TFakeScheduler scheduler;
  TFakeEnvironment environment;
  scheduler.tasks[L"Quillrook Folder-anna"] = {};
  EXPECT_TRUE(DeleteFromScheduler(scheduler, environment, L"Quillrook Folder-anna"));
  EXPECT_TRUE(scheduler.tasks.empty());
  EXPECT_TRUE(environment.runs.empty());

  EXPECT_FALSE(DeleteFromScheduler(scheduler, environment, L"Quillrook Folder-anna"));
  EXPECT_EQ(environment.runs, std::vector<std::wstring>{L"DeleteFromScheduler: DeleteTask fail Quillrook Folder-anna"});
  EXPECT_TRUE(environment.errors.empty());

  scheduler.service = 1;
  environment.runs.clear();
  EXPECT_FALSE(DeleteFromScheduler(scheduler, environment, L"Quillrook Folder-anna"));
  EXPECT_EQ(environment.runs, std::vector<std::wstring>{L"DeleteFromScheduler: Scheduler disabled"});
}

}  // namespace
