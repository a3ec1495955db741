// The program folder's access rights as the unelevated user's token has them, read from the real
// files under Wine. Wine protects nothing (every file is the user's, and rights set on a file do not
// hold there), so only the exposed answer can be seen here; the decision's other answers are the
// rule table's.
#include "startup/program_folder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "../test_temp_folder.h"
#include "win/handles.h"

TEST(ProgramFolder, TheFilesTheFolderAndEveryFolderAboveAreReadAndAUsersOwnFolderIsExposed) {
  const testtmp::TTempFolder temp(L"qf_program_folder");
  const std::wstring folder = temp.Root() + L"\\Quillrook Folder";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW((folder + L"\\help").c_str(), nullptr));
  for (const wchar_t* name : {L"qf.dll", L"qrfolder.exe"}) ASSERT_TRUE(testtmp::WriteBytes(folder + L"\\" + name, "x"));
  const win::TUniqueHandle token(UnelevatedUserToken());
  ASSERT_TRUE(token);

  const auto paths = ReadFolderAccess(token.get(), folder);
  std::vector<std::wstring> files, ancestors;
  for (const auto& access : paths) {
    EXPECT_TRUE(access.known) << access.path;
    if (access.role == programfolder::TPathRole::File) files.push_back(access.path);
    if (access.role == programfolder::TPathRole::Ancestor) ancestors.push_back(access.path);
  }
  // The files (not the subfolder), then the folder, then the folders above it up to the drive's root.
  EXPECT_EQ(files.size(), 2u);
  ASSERT_EQ(paths.size(), files.size() + 1 + ancestors.size());
  EXPECT_EQ(paths[files.size()].path, folder);
  EXPECT_EQ(paths[files.size()].role, programfolder::TPathRole::Folder);
  ASSERT_FALSE(ancestors.empty());
  EXPECT_EQ(ancestors.front(), temp.Root());
  EXPECT_EQ(ancestors.back(), folder.substr(0, 3));
  const auto exposure = programfolder::UserWritablePath(paths);
  ASSERT_TRUE(exposure);
  EXPECT_EQ(exposure->rfind(folder + L"\\", 0), 0u) << *exposure;
  EXPECT_NE(exposure->find(L": the user may change it"), std::wstring::npos) << *exposure;

  // A folder that is not there protects nothing.
  const auto missing = programfolder::UserWritablePath(ReadFolderAccess(token.get(), folder + L"\\gone"));
  ASSERT_TRUE(missing);
  EXPECT_EQ(*missing, folder + L"\\gone: its access rights cannot be read");
}
