#include "menu/open_folders_rules.h"

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
       {L"C:\\Work", L"C:\\Other", L"c:\\WORK\\"},
       L"",
       {L"C:\\Work", L"C:\\Other"}},
      {"windows that could not be read are left out", {L"", L"C:\\A", L""}, L"", {L"C:\\A"}},
      {"the target's own folder, however written, is not offered",
       {L"C:\\Data\\", L"C:\\A", L"c:\\data"},
       L"C:\\DATA",
       {L"C:\\A"}},
      {"a drive root keeps its backslash", {L"C:\\", L"D:\\\\"}, L"", {L"C:\\", L"D:\\"}},
      {"only the target's folder open: nothing to list", {L"C:\\A"}, L"C:\\A\\", {}},
      {"blanks and UNC paths are folders like others",
       {L"\\\\server\\share\\My Files", L"C:\\Program Files"},
       L"",
       {L"\\\\server\\share\\My Files", L"C:\\Program Files"}},
  };
  for (const TRow& row : rows) EXPECT_EQ(OpenFolderList(row.read, row.target, CaseBlind), row.listed) << row.what;
}

TEST(OpenFolderList, FramesWithTheirTabsGiveEachFolderOnceNearestFirst) {
  // What FramesWithTabs merges for two frames with two tabs each, the target showing C:\A2.
  EXPECT_EQ(OpenFolderList({L"C:\\B", L"C:\\B", L"C:\\B2", L"C:\\A", L"C:\\A", L"C:\\A2"}, L"C:\\A2", CaseBlind),
            (std::vector<std::wstring>{L"C:\\B", L"C:\\B2", L"C:\\A"}));
}

}  // namespace
