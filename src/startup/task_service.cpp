#include "startup/task_service.h"

#include <cstdio>

#include "diagnostics/logger.h"
#include "startup/user_checks.h"
#include "win/handles.h"
#include "win/windows_version.h"

namespace {

constexpr wchar_t kSchedulerService[] = L"Schedule";
constexpr wchar_t kAuthor[] = L"Quillrook Manager";
constexpr wchar_t kNoTimeLimit[] = L"PT0S";

void Check(HRESULT result, const char* call) {
  if (FAILED(result)) {
    char text[96];
    std::snprintf(text, sizeof text, "%s failed, 0x%08lX", call, static_cast<unsigned long>(result));
    throw ETaskService(text);
  }
}

// Lookups that fail in ordinary use (a task that does not exist yet, a state read while the
// task starts) leave no exception trace behind.
class TQuietLookup {
 public:
  TQuietLookup() noexcept : was_(TraceSuppressed.exchange(true)) {}
  TQuietLookup(const TQuietLookup&) = delete;
  TQuietLookup& operator=(const TQuietLookup&) = delete;
  ~TQuietLookup() { TraceSuppressed = was_; }

 private:
  bool was_;
};

win::TComPtr<IExecAction> FirstExecAction(ITaskDefinition* definition) {
  win::TComPtr<IActionCollection> actions;
  win::TComPtr<IAction> action;
  win::TComPtr<IExecAction> exec;
  if (FAILED(definition->get_Actions(actions.put())) || FAILED(actions->get_Item(1, action.put())) ||
      FAILED(action->QueryInterface(IID_IExecAction, exec.put_void())))
    return {};
  return exec;
}

// Puts the launch's settings into a definition: all of them into a new one, the ones the
// launcher compares into a found one. False at the first the service refuses.
bool Fill(ITaskDefinition* definition, const TSchedulerLaunch& launch, bool isNew) {
  win::TComPtr<ITaskSettings> settings;
  if (FAILED(definition->get_Settings(settings.put())) || FAILED(settings->put_Priority(launch.priority)))
    return false;
  win::TComPtr<IExecAction> exec;
  if (isNew) {
    win::TComPtr<IRegistrationInfo> info;
    win::TComPtr<IActionCollection> actions;
    win::TComPtr<IAction> action;
    if (FAILED(definition->get_RegistrationInfo(info.put())) || FAILED(info->put_Author(win::TBstr(kAuthor).get())) ||
        FAILED(settings->put_StartWhenAvailable(VARIANT_TRUE)) ||
        FAILED(settings->put_MultipleInstances(TASK_INSTANCES_PARALLEL)) ||
        FAILED(settings->put_DisallowStartIfOnBatteries(VARIANT_FALSE)) ||
        FAILED(settings->put_ExecutionTimeLimit(win::TBstr(kNoTimeLimit).get())) ||
        FAILED(definition->get_Actions(actions.put())) || FAILED(actions->Create(TASK_ACTION_EXEC, action.put())) ||
        FAILED(action->QueryInterface(IID_IExecAction, exec.put_void())))
      return false;
  } else {
    exec = FirstExecAction(definition);
    if (!exec) return false;
  }
  win::TComPtr<IPrincipal> principal;
  return SUCCEEDED(exec->put_Path(win::TBstr(QuotedPath(launch.executable)).get())) &&
         SUCCEEDED(exec->put_Arguments(win::TBstr(launch.arguments).get())) &&
         SUCCEEDED(exec->put_WorkingDirectory(win::TBstr(launch.workingFolder).get())) &&
         SUCCEEDED(definition->get_Principal(principal.put())) &&
         SUCCEEDED(principal->put_UserId(win::TBstr(launch.userId).get())) &&
         SUCCEEDED(principal->put_RunLevel(launch.highest ? TASK_RUNLEVEL_HIGHEST : TASK_RUNLEVEL_LUA));
}

}  // namespace

int ServiceGetStatus(const std::wstring& machine, const std::wstring& serviceName) {
  const win::TServiceHandle manager(
      ::OpenSCManagerW(machine.empty() ? nullptr : machine.c_str(), nullptr, SC_MANAGER_CONNECT));
  const win::TServiceHandle service(manager ? ::OpenServiceW(manager.get(), serviceName.c_str(), SERVICE_QUERY_STATUS)
                                            : nullptr);
  SERVICE_STATUS status{};
  if (!service || !::QueryServiceStatus(service.get(), &status)) return SERVICE_STOPPED;
  return static_cast<int>(status.dwCurrentState);
}

int TTaskService::ServiceState() { return ServiceGetStatus(L"", kSchedulerService); }

void TTaskService::Connect() {
  Check(::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                           service_.put_void()),
        "CoCreateInstance(TaskScheduler)");
  VARIANT empty;
  ::VariantInit(&empty);
  Check(service_->Connect(empty, empty, empty, empty), "ITaskService::Connect");
  Check(service_->GetFolder(win::TBstr(L"\\").get(), root_.put()), "ITaskService::GetFolder");
}

std::optional<TTaskFields> TTaskService::FindTask(const std::wstring& name) {
  {
    const TQuietLookup quiet;
    if (FAILED(root_->GetTask(win::TBstr(name).get(), task_.put())) ||
        FAILED(task_->get_Definition(definition_.put()))) {
      task_.reset();
      definition_.reset();
      return std::nullopt;
    }
  }
  TTaskFields fields;
  win::TComPtr<IPrincipal> principal;
  TASK_RUNLEVEL_TYPE level = TASK_RUNLEVEL_LUA;
  win::TBstr user;
  if (SUCCEEDED(definition_->get_Principal(principal.put())) && SUCCEEDED(principal->get_RunLevel(&level)) &&
      SUCCEEDED(principal->get_UserId(user.put())))
    fields.principal = TTaskPrincipal{level == TASK_RUNLEVEL_HIGHEST, user.Text()};
  win::TComPtr<ITaskSettings> settings;
  int priority = 0;
  if (SUCCEEDED(definition_->get_Settings(settings.put())) && SUCCEEDED(settings->get_Priority(&priority)))
    fields.priority = priority;
  win::TBstr path, arguments, folder;
  if (const auto exec = FirstExecAction(definition_.get());
      exec && SUCCEEDED(exec->get_Path(path.put())) && SUCCEEDED(exec->get_Arguments(arguments.put())) &&
      SUCCEEDED(exec->get_WorkingDirectory(folder.put())))
    fields.action = TTaskAction{path.Text(), arguments.Text(), folder.Text()};
  return fields;
}

TRegistration TTaskService::Register(const TSchedulerLaunch& launch, bool isNew) {
  win::TComPtr<ITaskDefinition> fresh;
  if (isNew) Check(service_->NewTask(0, fresh.put()), "ITaskService::NewTask");
  ITaskDefinition* definition = isNew ? fresh.get() : definition_.get();
  if (definition == nullptr || !Fill(definition, launch, isNew)) return TRegistration::DefinitionFailed;
  VARIANT empty;
  ::VariantInit(&empty);
  win::TBstr noDescriptor(L"");
  VARIANT descriptor;
  ::VariantInit(&descriptor);
  descriptor.vt = VT_BSTR;
  descriptor.bstrVal = noDescriptor.get();
  if (FAILED(root_->RegisterTaskDefinition(win::TBstr(launch.taskName).get(), definition, TASK_CREATE_OR_UPDATE,
                                           empty, empty, TASK_LOGON_INTERACTIVE_TOKEN, descriptor, task_.put()))) {
    task_.reset();
    return TRegistration::RegistrationFailed;
  }
  return TRegistration::Registered;
}

void TTaskService::Run() {
  if (!task_) throw ETaskService("no registered task to run");
  VARIANT none;
  ::VariantInit(&none);
  Check(task_->Run(none, running_.put()), "IRegisteredTask::Run");
}

std::optional<int> TTaskService::State() {
  const TQuietLookup quiet;
  TASK_STATE state = TASK_STATE_UNKNOWN;
  if (!task_ || FAILED(task_->get_State(&state))) return std::nullopt;
  return static_cast<int>(state);
}

std::optional<int> TTaskService::RunningState() {
  const TQuietLookup quiet;
  TASK_STATE state = TASK_STATE_UNKNOWN;
  if (!running_ || FAILED(running_->Refresh()) || FAILED(running_->get_State(&state))) return std::nullopt;
  return static_cast<int>(state);
}

TTaskTimes TTaskService::Times() {
  if (!task_) throw ETaskService("no registered task");
  TTaskTimes times;
  Check(task_->get_LastRunTime(&times.lastRun), "IRegisteredTask::get_LastRunTime");
  Check(task_->get_NextRunTime(&times.nextRun), "IRegisteredTask::get_NextRunTime");
  LONG result = 0;
  Check(task_->get_LastTaskResult(&result), "IRegisteredTask::get_LastTaskResult");
  times.lastResult = result;
  return times;
}

bool TTaskService::DeleteTask(const std::wstring& name) {
  const TQuietLookup quiet;
  return SUCCEEDED(root_->DeleteTask(win::TBstr(name).get(), 0));
}

bool TLaunchEnvironment::IsVista() { return IsWindowsVista(); }

bool TLaunchEnvironment::IsRealUserAdmin() { return ::IsRealUserAdmin(); }

void TLaunchEnvironment::LogRun(const std::wstring& name, const std::wstring& parameters) {
  CommonLogRunEvent(name, parameters);
}

void TLaunchEnvironment::LogError(const std::wstring& function, const std::wstring& message) {
  CommonLogErrorEvent(function, message, L"", ::GetLastError(), true);
}

std::wstring TLaunchEnvironment::DateTimeText(double date) {
  SYSTEMTIME time{};
  if (!::VariantTimeToSystemTime(date, &time)) return L"?";
  wchar_t day[64] = {}, clock[64] = {};
  ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, day, 64, nullptr);
  ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, clock, 64);
  return std::wstring(day) + L" " + clock;
}

std::wstring TLaunchEnvironment::NumberText(double date) {
  wchar_t text[64] = {};
  std::swprintf(text, 64, L"%.15g", date);
  wchar_t separator[8] = {};
  std::wstring result(text);
  if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) > 0)
    if (const auto dot = result.find(L'.'); dot != std::wstring::npos) result.replace(dot, 1, separator);
  return result;
}

std::uint64_t TLaunchEnvironment::Milliseconds() { return ::GetTickCount64(); }

void TLaunchEnvironment::Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }
