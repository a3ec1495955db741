// File-system helpers against the real file system under Wine.
#include "win/files.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

std::wstring Temp() {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  return temp;
}

TEST(ForceDirectories, CreatesEveryMissingLevelAndAcceptsExistingOnes) {
  const std::wstring root = Temp() + L"qf-force-" + std::to_wstring(::GetCurrentProcessId());
  const std::wstring deep = root + L"\\a b\\c\\d\\";
  EXPECT_TRUE(ForceDirectories(deep));
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_TRUE(ForceDirectories(deep));
  EXPECT_FALSE(FileExists(deep));
  ::RemoveDirectoryW((root + L"\\a b\\c\\d").c_str());
  ::RemoveDirectoryW((root + L"\\a b\\c").c_str());
  ::RemoveDirectoryW((root + L"\\a b").c_str());
  ::RemoveDirectoryW(root.c_str());
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
