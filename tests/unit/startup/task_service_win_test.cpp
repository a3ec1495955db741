// The Task Scheduler binding against the real service under Wine, as far as the system implements it.
#include "startup/task_service.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "startup/scheduler.h"
#include "win/com.h"
#include "win/files.h"

namespace {

TEST(TaskService, RegistersReadsAndDeletesAsFarAsTheSystemImplementsIt) {
  const win::TComApartment apartment;
  ASSERT_TRUE(apartment.Usable());
  const std::wstring name = L"Quillrook Folder-test-" + std::to_wstring(::GetCurrentProcessId());
  TSchedulerLaunch launch;
  launch.executable = ProgramFolder() + L"qrfolder.exe";
  launch.arguments = L"\"C:\\Data\"";
  launch.userId = SchedulerTaskUser();
  launch.taskName = name;
  {
    TTaskService service;
    service.Connect();
    // Connecting starts the service where it starts on demand.
    EXPECT_EQ(service.ServiceState(), kServiceRunning);
    EXPECT_EQ(service.FindTask(name), std::nullopt);
    const TRegistration registration = service.Register(launch, true);
    if (registration == TRegistration::Registered) {
      const auto fields = service.FindTask(name);
      ASSERT_TRUE(fields && fields->principal && fields->priority && fields->action);
      EXPECT_TRUE(fields->principal->highest);
      EXPECT_EQ(fields->priority, 5);
      EXPECT_EQ(fields->action->path, QuotedPath(launch.executable));
      EXPECT_EQ(fields->action->arguments, launch.arguments);
      EXPECT_TRUE(service.DeleteTask(name));
    } else {
      // Wine cannot set a run level: the definition is refused and nothing is registered.
      EXPECT_EQ(registration, TRegistration::DefinitionFailed);
      EXPECT_EQ(service.FindTask(name), std::nullopt);
    }
    EXPECT_FALSE(service.DeleteTask(name));
    EXPECT_THROW(service.Run(), ETaskService);  // no registered task to run
  }
  // A task registered by other means is found, with what the system gives of it.
  {
    win::TComPtr<ITaskService> raw;
    ASSERT_HRESULT_SUCCEEDED(
        ::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService, raw.put_void()));
    VARIANT empty;
    ::VariantInit(&empty);
    ASSERT_HRESULT_SUCCEEDED(raw->Connect(empty, empty, empty, empty));
    win::TComPtr<ITaskFolder> root;
    ASSERT_HRESULT_SUCCEEDED(raw->GetFolder(win::TBstr(L"\\").get(), root.put()));
    win::TComPtr<ITaskDefinition> definition;
    ASSERT_HRESULT_SUCCEEDED(raw->NewTask(0, definition.put()));
    win::TComPtr<ITaskSettings> settings;
    ASSERT_HRESULT_SUCCEEDED(definition->get_Settings(settings.put()));
    ASSERT_HRESULT_SUCCEEDED(settings->put_Priority(6));
    win::TComPtr<IActionCollection> actions;
    win::TComPtr<IAction> action;
    ASSERT_HRESULT_SUCCEEDED(definition->get_Actions(actions.put()));
    ASSERT_HRESULT_SUCCEEDED(actions->Create(TASK_ACTION_EXEC, action.put()));
    win::TComPtr<IExecAction> exec;
    ASSERT_HRESULT_SUCCEEDED(action->QueryInterface(IID_IExecAction, exec.put_void()));
    ASSERT_HRESULT_SUCCEEDED(exec->put_Path(win::TBstr(L"\"C:\\Old\\qrfolder.exe\"").get()));
    win::TComPtr<IRegisteredTask> registered;
    VARIANT descriptor;
    ::VariantInit(&descriptor);
    ASSERT_HRESULT_SUCCEEDED(root->RegisterTaskDefinition(win::TBstr(name).get(), definition.get(),
                                                          TASK_CREATE_OR_UPDATE, empty, empty,
                                                          TASK_LOGON_INTERACTIVE_TOKEN, descriptor, registered.put()));
  }
  TTaskService service;
  service.Connect();
  const auto fields = service.FindTask(name);
  ASSERT_TRUE(fields.has_value());
  EXPECT_EQ(fields->priority, 6);
  if (fields->action) {
    EXPECT_EQ(fields->action->path, L"\"C:\\Old\\qrfolder.exe\"");
  }
  const auto state = service.State();
  ASSERT_TRUE(state.has_value());
  EXPECT_EQ(*state, tsReady);
  EXPECT_TRUE(service.DeleteTask(name));
  EXPECT_EQ(service.FindTask(name), std::nullopt);
}

}  // namespace
