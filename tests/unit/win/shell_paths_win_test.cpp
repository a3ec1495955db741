// Where the shell keeps things and what kind of place a path is, against Wine's drives, registry
// and shortcut files.
#include "win/shell_paths.h"

#include <gtest/gtest.h>

#include <string>

#include "../test_shortcuts.h"
#include "../test_temp_folder.h"

TEST(IsUsableFolder, UncIsNeverProbedLocalPathsAre) {
  EXPECT_TRUE(IsRemoteFile(L"\\\\no-such-host-qf\\x$\\y"));
  EXPECT_FALSE(IsRemoteFile(L"C:"));
  EXPECT_FALSE(IsRemoteFile(L"C:\\windows"));
  EXPECT_FALSE(IsRemoteFile(L"C:x\\y"));
  EXPECT_TRUE(IsUsableFolder(L"C:\\windows"));
  EXPECT_TRUE(IsUsableFolder(L"\\\\no-such-host-qf\\x$\\y"));
  EXPECT_FALSE(IsUsableFolder(L"C:\\no-such-folder-qf"));
  EXPECT_FALSE(IsUsableFolder(L"C:\\windows\\notepad.exe"));
}

TEST(ShellPaths, DrivesShellFoldersAndShortcutTargets) {
  // Wine's drives are C: and Z:, both fixed.
  const auto roots = DriveRoots();
  ASSERT_FALSE(roots.empty());
  for (const auto& root : roots) EXPECT_EQ(root.size(), 3u) << root;
  const std::wstring letters = FixedAndNetworkDriveLetters();
  EXPECT_NE(letters.find(L"Cc"), std::wstring::npos) << letters;
  EXPECT_FALSE(ShellFoldersValue(L"Recent").empty());
  EXPECT_TRUE(ShellFoldersValue(L"No such shell folder").empty());

  const testtmp::TTempFolder temp(L"qf-shell-paths");
  const std::wstring target = temp.Make(L"Target");
  testlnk::WriteShortcut(temp.Path(L"to target.lnk"), target);
  TShortcutReader reader;
  EXPECT_EQ(reader.Target(temp.Path(L"to target.lnk")), target);
  EXPECT_EQ(reader.Target(temp.Path(L"missing.lnk")), std::nullopt);
  EXPECT_TRUE(SameText(L"C:\\Users\\ann", L"c:\\USERS\\ANN"));
  EXPECT_FALSE(SameText(L"C:\\Users\\ann", L"C:\\Users\\ann\\"));
}
