// Which tab of the shell's window list a frame shows in front, and how the tabs join the folders
// read from the frames themselves.
#include "navigation/shell_tab.h"

#include <gtest/gtest.h>

namespace {

TEST(FramesWithTabs, EachFrameItsFrontFolderThenItsTabsNearestFrameFirst) {
  struct TRow {
    const char* what;
    std::vector<TFrameRead> frames;
    std::vector<TShellTab> tabs;
    std::vector<std::wstring> merged;
  } rows[] = {
      {"no shell window list: the frames' own reads",
       {{7, true, L"C:\\B"}, {3, true, L"C:\\A"}},
       {},
       {L"C:\\B", L"C:\\A"}},
      {"tabs follow their frame's read, frames in Z-order",
       {{7, true, L"C:\\B"}, {3, true, L"C:\\A"}},
       {{3, L"C:\\A"}, {3, L"C:\\A2"}, {7, L"C:\\B"}, {7, L"C:\\B2"}},
       {L"C:\\B", L"C:\\B", L"C:\\B2", L"C:\\A", L"C:\\A", L"C:\\A2"}},
      {"tabs of frames not listed (hidden, the target's) are left out",
       {{3, true, L""}},
       {{9, L"C:\\X"}, {3, L"C:\\A"}},
       {L"", L"C:\\A"}},
      {"a frame of other styles counts where the list names it",
       {{7, false, L""}, {3, true, L"C:\\A"}},
       {{7, L"C:\\W"}},
       {L"", L"C:\\W", L"C:\\A"}},
      {"and not where the list does not (or where there is no list)",
       {{7, false, L"C:\\T"}, {3, true, L"C:\\A"}},
       {{9, L"C:\\X"}},
       {L"C:\\A"}},
      {"no frames", {}, {{9, L"C:\\X"}}, {}},
  };
  for (const TRow& row : rows) EXPECT_EQ(FramesWithTabs(row.frames, row.tabs), row.merged) << row.what;
}

TEST(FrontTabFolder, TheFramesOneTabOrTheOneWhoseWindowIsInFront) {
  const std::vector<TShellTab> tabs = {{7, L"C:\\B", 70}, {3, L"C:\\A", 30}, {3, L"C:\\A2", 31}, {5, L"", 50}};
  struct TRow {
    const char* what;
    std::uintptr_t frame, frontTab;
    std::wstring folder;
  } rows[] = {
      {"one tab: it is in front", 7, 0, L"C:\\B"},
      {"several tabs: the one whose window is in front", 3, 31, L"C:\\A2"},
      {"several tabs and no tab window found: the list does not tell", 3, 0, L""},
      {"several tabs, none of them the window in front", 3, 99, L""},
      {"a tab that is no file-system folder", 5, 50, L""},
      {"a frame the list does not name", 9, 0, L""},
  };
  for (const TRow& row : rows) EXPECT_EQ(FrontTabFolder(row.frame, row.frontTab, tabs), row.folder) << row.what;
  // The tab itself, which navigation takes: its place in the list.
  EXPECT_EQ(FrontTabIndex(3, 31, tabs), 2u);
  EXPECT_EQ(FrontTabIndex(7, 0, tabs), 0u);
  EXPECT_EQ(FrontTabIndex(5, 0, tabs), 3u) << "a virtual folder's tab is still the tab in front";
  EXPECT_EQ(FrontTabIndex(3, 0, tabs), std::nullopt);
  EXPECT_EQ(FrontTabIndex(9, 90, tabs), std::nullopt);
}

}  // namespace
