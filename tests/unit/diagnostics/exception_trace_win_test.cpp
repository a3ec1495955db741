// Exceptions as the error log sees them, with the real logger and the real debug information of
// this test program.
#include "diagnostics/exception_trace.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "diagnostics/log_format.h"
#include "../test_log_files.h"
#include "../test_temp_folder.h"
#include "diagnostics/logger.h"

namespace {

using testlog::Has;
using testlog::Lines;

class ExceptionTrace : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetLoggerForTests(folder_);
    for (const wchar_t* line : {L"Before the fault", L"Then", L"Just before"}) CommonLogRunEvent(line);
    StartExceptionTrace();
  }
  void TearDown() override { ResetLoggerForTests(L""); }
  const testtmp::TTempFolder temp_{L"qf-trace"};
  const std::wstring folder_ = temp_.Root() + L"\\";
};

[[gnu::noinline]] void ThrowFromANamedProcedure() { throw std::runtime_error("thrown for the trace"); }

TEST_F(ExceptionTrace, AHandledExceptionLeavesABlockWithItsResolvedStackUnlessSuppressed) {
  try {
    ThrowFromANamedProcedure();
  } catch (const std::runtime_error&) {
  }
  const auto lines = Lines(folder_ + L"folder_error.log");
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines[0].find(L" Exception std::runtime_error occured in "), std::wstring::npos) << lines[0];
  EXPECT_NE(lines[0].find(L"ThrowFromANamedProcedure"), std::wstring::npos) << lines[0];
  EXPECT_NE(lines[0].find(L"exception_trace_win_test.cpp"), std::wstring::npos) << lines[0];
  EXPECT_EQ(lines[1], L"Message: thrown for the trace");
  EXPECT_EQ(lines[2], L"Last log entries:");
  EXPECT_TRUE(Has(lines, L"Before the fault"));
  // The newest line before the fault too: the tail is cut once, by the block.
  EXPECT_TRUE(Has(lines, L"Just before"));
  const auto stack = std::find(lines.begin(), lines.end(), L"Call stack: ");
  ASSERT_NE(stack, lines.end());
  EXPECT_TRUE(Has({stack + 1, lines.end()}, L"ThrowFromANamedProcedure"));
  EXPECT_EQ(lines.back(), std::wstring(40, L'='));

  // While suppressed, nothing more is written; afterwards the flag is as it was.
  TraceSuppressed = true;
  try {
    ThrowFromANamedProcedure();
  } catch (const std::runtime_error&) {
  }
  EXPECT_TRUE(TraceSuppressed);
  TraceSuppressed = false;
  EXPECT_EQ(Lines(folder_ + L"folder_error.log"), lines);
}

}  // namespace
