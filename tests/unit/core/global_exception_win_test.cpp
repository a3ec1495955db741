// The global exception handler with the real logger, the real debug information of this test
// program and a real worker thread.
#include "core/global_exception.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "diagnostics/exception_trace.h"
#include "diagnostics/guarded.h"
#include "diagnostics/log_format.h"
#include "../test_log_files.h"
#include "../test_temp_folder.h"
#include "diagnostics/logger.h"

namespace {

using testlog::Has;
using testlog::Lines;

[[gnu::noinline]] void ThrowFromANamedProcedure() { throw std::runtime_error("thrown for the trace"); }

TEST(GlobalException, AnUnhandledExceptionOnAWorkerSavesTheStateAndShowsNoDialog) {
  const testtmp::TTempFolder temp(L"qf-global");
  const std::wstring folder = temp.Root() + L"\\";
  ResetLoggerForTests(folder);
  StartExceptionTrace();
  int dialogs = 0;
  static int* shown = &dialogs;
  InstallGlobalExceptionHandler([](const std::wstring&) { return ++*shown, true; });
  std::thread([] { GuardedCallback(L"Worker", [] { ThrowFromANamedProcedure(); }); }).join();
  EXPECT_EQ(dialogs, 0);
  const auto state = Lines(folder + L"folder_global_error.log");
  ASSERT_GE(state.size(), 10u);
  EXPECT_TRUE(state[0].ends_with(L": thrown for the trace")) << state[0];
  EXPECT_TRUE(state[1].starts_with(L"Program version: ")) << state[1];
  for (const wchar_t* item :
       {L"Last system error: ", L"Product: ", L"Service Pack: ", L"Build: ", L"Version: 64-bit", L"UAC: ", L"User: ",
        L"TotalPhysicalMemory: ", L"PhysicalMemoryLoad: ", L"SwapFileSize: ", L"SwapFileUsage: ", L"Screen: "})
    EXPECT_TRUE(Has(state, item)) << item;
  // The stack, one procedure a line, without addresses.
  EXPECT_TRUE(std::find(state.begin(), state.end(), L"ThrowFromANamedProcedure") != state.end());
  SaveAllLogs(false);
  EXPECT_TRUE(Has(Lines(folder + L"folder.log"),
                  L"Function: GlobalException Message: thrown for the trace Parameters: non main thread"));
  ResetLoggerForTests(L"");
}

}  // namespace
