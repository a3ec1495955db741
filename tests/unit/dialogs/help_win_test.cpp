// The help opener with the compiled help file beside the program, and without one.
#include "dialogs/help.h"

#include <gtest/gtest.h>

#include "win/files.h"

TEST(Help, ATopicOpensInTheHelpViewerAndAMissingFileOpensNothing) {
  ASSERT_TRUE(FileExists(ProgramFolder() + kHelpFileName)) << "the help file is built beside the programs";
  EXPECT_FALSE(OpenHelpTopic(ProgramFolder() + L"no such help.chm", L"options.htm"));
  EXPECT_EQ(::FindWindowW(L"HH Parent", nullptr), nullptr);

  EXPECT_TRUE(HtmlHelp(L"addfilter.htm"));
  HWND viewer = nullptr;
  for (int i = 0; i < 200 && viewer == nullptr; ++i, ::Sleep(10)) viewer = ::FindWindowW(L"HH Parent", nullptr);
  ASSERT_NE(viewer, nullptr);
  wchar_t title[128] = {};
  ::GetWindowTextW(viewer, title, 128);
  EXPECT_STREQ(title, L"Quillrook Folder Help");
  ::DestroyWindow(viewer);
}
