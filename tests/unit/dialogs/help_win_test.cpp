// The help opener without a help file beside the program: it says so and opens nothing.
#include "dialogs/help.h"

#include <gtest/gtest.h>

#include "win/files.h"

TEST(Help, WithoutTheHelpFileNothingOpens) {
  ASSERT_FALSE(FileExists(ProgramFolder() + kHelpFileName));
  const auto windowsBefore = ::GetWindow(::GetDesktopWindow(), GW_CHILD);
  EXPECT_FALSE(HtmlHelp(L"options.htm"));
  EXPECT_FALSE(OpenHelpFile(nullptr));
  EXPECT_EQ(::GetWindow(::GetDesktopWindow(), GW_CHILD), windowsBefore);
}
