// File-system helpers against the real file system under Wine.
#include "win/files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "../test_temp_folder.h"

namespace {

TEST(ForceDirectories, CreatesEveryMissingLevelAndAcceptsExistingOnes) {
  const testtmp::TTempFolder temp(L"qf-force");
  const std::wstring deep = temp.Path(L"a b\\c\\d\\");
  EXPECT_TRUE(ForceDirectories(deep));
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_TRUE(ForceDirectories(deep));
  EXPECT_FALSE(FileExists(deep));
}

TEST(ForceDirectories, RefusesWhatCannotBeCreated) {
  EXPECT_FALSE(ForceDirectories(L""));
  EXPECT_FALSE(ForceDirectories(L"Q:\\no\\such\\drive"));
}

TEST(ProgramFolder, IsTheRunningExecutablesFolder) {
  const std::wstring folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), L'\\');
  EXPECT_EQ(ProgramPath().rfind(folder, 0), 0u);
  EXPECT_TRUE(FileExists(ProgramPath()));
}

}  // namespace
