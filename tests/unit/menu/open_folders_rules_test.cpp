#include "menu/open_folders_rules.h"

#include "navigation/shell_tab.h"

#include <gtest/gtest.h>

#include <cwctype>

namespace {

bool CaseBlind(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::towupper(a[i]) != std::towupper(b[i])) return false;
  return true;
}

TEST(OpenFolderList, NearestFirstEachOnceWithoutTheTargetsFolder) {
  struct TRow {
    const char* what;
    std::vector<std::wstring> read;
    std::wstring target;
    std::vector<std::wstring> listed;
  } rows[] = {
      {"no Explorer window", {}, L"", {}},
      {"Z-order kept", {L"C:\\B", L"C:\\A", L"D:\\C"}, L"", {L"C:\\B", L"C:\\A", L"D:\\C"}},
      {"a folder open twice is listed once, where it is nearest",
       {L"C:\\Work", L"C:\\Other", L"c:\\WORK\\"}, L"", {L"C:\\Work", L"C:\\Other"}},
      {"windows that could not be read are left out", {L"", L"C:\\A", L""}, L"", {L"C:\\A"}},
      {"the target's own folder, however written, is not offered",
       {L"C:\\Data\\", L"C:\\A", L"c:\\data"}, L"C:\\DATA", {L"C:\\A"}},
      {"a drive root keeps its backslash", {L"C:\\", L"D:\\\\"}, L"", {L"C:\\", L"D:\\"}},
      {"only the target's folder open: nothing to list", {L"C:\\A"}, L"C:\\A\\", {}},
      {"blanks and UNC paths are folders like others",
       {L"\\\\server\\share\\My Files", L"C:\\Program Files"}, L"",
       {L"\\\\server\\share\\My Files", L"C:\\Program Files"}},
  };
  for (const TRow& row : rows) EXPECT_EQ(OpenFolderList(row.read, row.target, CaseBlind), row.listed) << row.what;
}

TEST(FramesWithTabs, EachFrameItsFrontFolderThenItsTabsNearestFrameFirst) {
  struct TRow {
    const char* what;
    std::vector<std::uintptr_t> frames;
    std::vector<std::wstring> reads;
    std::vector<TShellTab> tabs;
    std::vector<std::wstring> merged;
  } rows[] = {
      {"no shell window list: the frames' own reads", {7, 3}, {L"C:\\B", L"C:\\A"}, {}, {L"C:\\B", L"C:\\A"}},
      {"tabs follow their frame's read, frames in Z-order",
       {7, 3},
       {L"C:\\B", L"C:\\A"},
       {{3, L"C:\\A"}, {3, L"C:\\A2"}, {7, L"C:\\B"}, {7, L"C:\\B2"}},
       {L"C:\\B", L"C:\\B", L"C:\\B2", L"C:\\A", L"C:\\A", L"C:\\A2"}},
      {"tabs of frames not listed (hidden, the target's) are left out", {3}, {L""}, {{9, L"C:\\X"}, {3, L"C:\\A"}},
       {L"", L"C:\\A"}},
      {"no frames", {}, {}, {{9, L"C:\\X"}}, {}},
  };
  for (const TRow& row : rows) EXPECT_EQ(FramesWithTabs(row.frames, row.reads, row.tabs), row.merged) << row.what;
  // What the menu then lists: each folder once, nearest first.
  EXPECT_EQ(OpenFolderList(FramesWithTabs(rows[1].frames, rows[1].reads, rows[1].tabs), L"C:\\A2", CaseBlind),
            (std::vector<std::wstring>{L"C:\\B", L"C:\\B2", L"C:\\A"}));
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
}

}  // namespace
