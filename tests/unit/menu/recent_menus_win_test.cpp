// The recent submenus from real shortcut files in a Recent folder of the test's own, written by
// the shell's link object with chosen times: what the full scan lists and deletes, what the
// submenus show, and what the incremental scan picks up.
#include "menu/recent_menus.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "../test_shortcuts.h"
#include "../test_temp_folder.h"
#include "menu/favourites_rules.h"
#include "menu/folder_menu.h"
#include "menu/menu_images.h"
#include "resource.h"
#include "win/files.h"
#include "win/handles.h"

namespace {

std::vector<std::wstring> Captions(HMENU menu) {
  std::vector<std::wstring> captions;
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    wchar_t text[300] = {};
    ::GetMenuStringW(menu, static_cast<UINT>(i), text, 300, MF_BYPOSITION);
    captions.push_back(text);
  }
  return captions;
}

std::size_t ShortcutsLeft(const std::wstring& folder) { return RecentShortcutFiles(folder).size(); }

class RecentMenus : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = temp_.Root();
    recent_ = root_ + L"\\Recent";
    ASSERT_TRUE(ForceDirectories(recent_));
    ASSERT_TRUE(ForceDirectories(root_ + L"\\Docs"));
    ASSERT_TRUE(ForceDirectories(root_ + L"\\Notes"));
  }

  // A file of the test and a shortcut to it in the Recent folder, written `minutes` into the day.
  std::wstring Opened(const std::wstring& relative, int minutes, const std::wstring& shortcut = {}) {
    const std::wstring file = root_ + L"\\" + relative;
    EXPECT_TRUE(testtmp::WriteBytes(file));
    Link(file, minutes, shortcut);
    return file;
  }
  void Link(const std::wstring& target, int minutes, std::wstring shortcut = {}) {
    if (shortcut.empty()) shortcut = target.substr(target.find_last_of(L'\\') + 1) + L".lnk";
    testlnk::WriteShortcut(recent_ + L"\\" + shortcut, target);
    testlnk::SetWriteTime(recent_ + L"\\" + shortcut, minutes);
  }

  // In its long form: the shortcuts' targets come back as the system answers them.
  const testtmp::TTempFolder temp_{L"qf_recent"};
  std::wstring root_;
  std::wstring recent_;
  TMenuImages images_;
  win::TMenuHandle files_{::CreatePopupMenu()};
  win::TMenuHandle folders_{::CreatePopupMenu()};
};

}  // namespace

TEST_F(RecentMenus, TheFullScanKeepsTheFortyNewestAndDeletesTheRestOnlyWithClearLink) {
  for (int i = 0; i < 50; ++i) Opened(L"Docs\\f" + std::to_wstring(i) + L".txt", i);
  {
    TRecentMenus kept(recent_);
    kept.FindFirstRecent(20, false);
    EXPECT_EQ(kept.Lists().RecentFiles().size(), 40u);
    EXPECT_EQ(ShortcutsLeft(recent_), 50u);
  }
  TRecentMenus cleared(recent_);
  cleared.FindFirstRecent(20, true);
  EXPECT_EQ(cleared.Lists().RecentFiles().size(), 40u);
  EXPECT_EQ(ShortcutsLeft(recent_), 40u);
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(FileExists(recent_ + L"\\f" + std::to_wstring(i) + L".txt.lnk")) << i;
  EXPECT_TRUE(FileExists(recent_ + L"\\f10.txt.lnk"));
}

TEST_F(RecentMenus, SubmenusShowUsableFilesOnceNewestFirstAndFollowChangedShortcuts) {
  const std::wstring a = Opened(L"Docs\\a.txt", 1);
  const std::wstring b = Opened(L"Docs\\b.txt", 2);
  const std::wstring note = Opened(L"Notes\\note.txt", 3);
  // A second shortcut to a.txt, a shortcut to a folder and one to a network share.
  Link(a, 4, L"a again.lnk");
  Link(root_ + L"\\Notes", 5, L"Notes.lnk");
  Link(L"\\\\server\\share\\remote.txt", 6, L"remote.txt.lnk");

  TRecentMenus recent(recent_);
  recent.FindFirstRecent(20, true);
  recent.BuildFiles(files_.get(), 0, images_);
  recent.BuildFolders(folders_.get(), 0, images_);
  EXPECT_EQ(Captions(files_.get()), (std::vector<std::wstring>{TestName(a, ShortPathName), TestName(note, ShortPathName),
                                                              TestName(b, ShortPathName), L"", L"Clear"}));
  EXPECT_EQ(Captions(folders_.get()),
            (std::vector<std::wstring>{TestName(root_ + L"\\Docs", ShortPathName),
                                       TestName(root_ + L"\\Notes", ShortPathName), L"", L"Clear"}));
  // The items lead back to their paths, and the file items carry icons.
  EXPECT_EQ(recent.FileOf(kRecentFileCommandBase), a);
  EXPECT_EQ(recent.FolderOf(kRecentFolderCommandBase + 1), root_ + L"\\Notes");
  EXPECT_EQ(recent.FileOf(kRecentFileCommandBase + 3), std::nullopt);
  EXPECT_TRUE(images_.Assigned(kRecentFileCommandBase));
  recent.BuildFiles(files_.get(), 2, images_);
  EXPECT_EQ(::GetMenuItemCount(files_.get()), 4);

  // Nothing changed: nothing to rebuild. b.txt opened again: it and its folder come first.
  EXPECT_FALSE(recent.FindRecent(20));
  testlnk::SetWriteTime(recent_ + L"\\b.txt.lnk", 30);
  EXPECT_TRUE(recent.FindRecent(20));
  recent.BuildFiles(files_.get(), 0, images_);
  recent.BuildFolders(folders_.get(), 0, images_);
  EXPECT_EQ(Captions(files_.get()).front(), TestName(b, ShortPathName));
  EXPECT_EQ(Captions(folders_.get()).front(), TestName(root_ + L"\\Docs", ShortPathName));

  // A picked folder moves to the top; "Clear" empties both, shortcuts left behind stay out.
  recent.TouchFolder(kRecentFolderCommandBase + 1);
  recent.BuildFolders(folders_.get(), 0, images_);
  EXPECT_EQ(Captions(folders_.get()).front(), TestName(root_ + L"\\Notes", ShortPathName));
  recent.Clear();
  recent.BuildFiles(files_.get(), 0, images_);
  EXPECT_EQ(Captions(files_.get()), (std::vector<std::wstring>{L"", L"Clear"}));
  EXPECT_FALSE(recent.FindRecent(20));
}
