#include "startup/program_folder_rules.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace programfolder;

TEST(ProgramFolderRules, AnyRightToChangeWhatRunsExposesTheFolderAndReadingAloneProtectsIt) {
  constexpr std::uint32_t kReadExecute = 0x001200A9;  // what Users have in Program Files
  const auto file = [](std::uint32_t granted) { return TPathAccess{L"C:\\P\\Q\\qf.dll", TPathRole::File, true, granted}; };
  const auto folder = [](std::uint32_t granted) { return TPathAccess{L"C:\\P\\Q", TPathRole::Folder, true, granted}; };
  const auto above = [](std::uint32_t granted) { return TPathAccess{L"C:\\", TPathRole::Ancestor, true, granted}; };
  const struct {
    std::vector<TPathAccess> paths;
    std::optional<std::wstring> exposure;
  } cases[] = {
      // A Program Files install: read and run only, everywhere.
      {{file(kReadExecute), folder(kReadExecute), above(kReadExecute)}, std::nullopt},
      // Anyone may add a folder to a system drive's root: that changes nothing of the program's.
      {{file(kReadExecute), folder(kReadExecute), above(kReadExecute | kAppendData | kWriteData)}, std::nullopt},
      {{file(kReadExecute | kWriteData), folder(kReadExecute), above(0)}, L"C:\\P\\Q\\qf.dll: the user may change it"},
      {{file(kReadExecute | kAppendData), folder(0), above(0)}, L"C:\\P\\Q\\qf.dll: the user may change it"},
      {{file(kDelete), folder(0), above(0)}, L"C:\\P\\Q\\qf.dll: the user may change it"},
      // The owner of a file may give itself any right.
      {{file(kWriteDac), folder(0), above(0)}, L"C:\\P\\Q\\qf.dll: the user may change it"},
      {{file(kWriteOwner), folder(0), above(0)}, L"C:\\P\\Q\\qf.dll: the user may change it"},
      // A library added beside the program is loaded before the system's.
      {{file(0), folder(kWriteData), above(0)}, L"C:\\P\\Q: the user may add or replace files in it"},
      {{file(0), folder(kAppendData), above(0)}, L"C:\\P\\Q: the user may add or replace files in it"},
      {{file(0), folder(kDeleteChild), above(0)}, L"C:\\P\\Q: the user may add or replace files in it"},
      {{file(0), folder(kWriteDac), above(0)}, L"C:\\P\\Q: the user may add or replace files in it"},
      // A folder above that the user may move or empty takes the program's folder with it.
      {{file(0), folder(0), above(kDeleteChild)}, L"C:\\: the user may move or replace what it holds"},
      {{file(0), folder(0), above(kDelete)}, L"C:\\: the user may move or replace what it holds"},
      // The first path that exposes it is named.
      {{file(kWriteData), folder(kWriteData), above(kDelete)}, L"C:\\P\\Q\\qf.dll: the user may change it"},
      // Rights that cannot be read, or nothing to read, protect nothing.
      {{file(0), TPathAccess{L"C:\\P\\Q", TPathRole::Folder, false, 0}, above(0)},
       L"C:\\P\\Q: its access rights cannot be read"},
      {{}, L"no path could be checked"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UserWritablePath(c.paths), c.exposure) << (c.exposure ? *c.exposure : L"protected");
  }
}
