// The recent lists' scans against a Recent folder described in memory: what is listed, in which
// order, what the full scan leaves to delete, what an incremental scan resolves, and what the
// submenus show.
#include "menu/recent_lists.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// Shortcut names to targets; files that exist; icons that load. Counts what it is asked.
class TFakeSource final : public TRecentSource {
 public:
  std::map<std::wstring, std::wstring> targets;
  std::set<std::wstring> files;
  std::set<std::wstring> brokenIcons;
  int resolved = 0;
  int iconsLoaded = 0;

  std::optional<std::wstring> Target(const std::wstring& name) override {
    ++resolved;
    const auto found = targets.find(name);
    if (found == targets.end()) return std::nullopt;
    return found->second;
  }
  bool Usable(const std::wstring& path) override { return path.starts_with(L"\\\\") || files.count(path) != 0; }
  int LoadIcon(const std::wstring& path) override {
    if (brokenIcons.count(path)) return 0;
    return ++iconsLoaded;
  }
  // A shortcut to an existing file.
  TShortcutFile File(const std::wstring& path, std::int32_t time) {
    const std::wstring name = path.substr(path.find_last_of(L'\\') + 1) + L".lnk";
    targets[name] = path;
    files.insert(path);
    return {name, time};
  }
};

std::vector<std::wstring> Paths(const std::vector<TRecentItem>& items) {
  std::vector<std::wstring> paths;
  for (const auto& item : items) paths.push_back(item.path);
  return paths;
}

bool Anything(const std::wstring&) { return true; }

TRecentLists Scanned(TFakeSource& source, const std::vector<TShortcutFile>& shortcuts, bool clearLink,
                     std::vector<std::wstring>* excess = nullptr, int filesCount = 20) {
  TRecentLists lists;
  lists.AddDrives(L"CcZz");
  std::vector<std::wstring> deleted;
  lists.FindFirstRecent(shortcuts, source, filesCount, clearLink, excess ? *excess : deleted);
  return lists;
}

}  // namespace

TEST(RecentKeys, OrderFoldersAndIconKeys) {
  EXPECT_EQ(RecentKey(1234, L"C:\\a.txt"), L"1234@C:\\a.txt");
  EXPECT_TRUE(RecentKeyLess(L"99@Z:\\b", L"100@A:\\a")) << "by time as a number";
  EXPECT_TRUE(RecentKeyLess(L"-5@x", L"3@x"));
  EXPECT_TRUE(RecentKeyLess(L"7@c:\\A", L"7@C:\\b")) << "equal times: the rest, case-blind";
  EXPECT_FALSE(RecentKeyLess(L"7@C:\\A", L"7@c:\\a"));
  EXPECT_EQ(RecentFolderOf(L"C:\\Work\\Notes\\a.txt"), L"C:\\Work\\Notes");
  EXPECT_EQ(RecentFolderOf(L"C:\\a.txt"), L"C:");
  EXPECT_EQ(IconKey(L"C:\\Work\\Report.TXT"), L".txt");
  EXPECT_EQ(IconKey(L"C:\\Tools\\run.EXE"), L"C:\\Tools\\run.EXE");
  EXPECT_EQ(IconKey(L"C:\\Art\\logo.ico"), L"C:\\Art\\logo.ico");
  EXPECT_EQ(IconKey(L"C:\\v1.2\\README"), L"");
}

TEST(FindFirstRecent, KeepsTheFortyNewestAndLeavesTheRestToDeleteOnlyWithClearLink) {
  TFakeSource source;
  std::vector<TShortcutFile> shortcuts;
  // Found in an order other than their times.
  for (int i = 0; i < 50; ++i)
    shortcuts.push_back(source.File(L"C:\\Docs\\f" + std::to_wstring(i) + L".txt", 1000 + (i * 7) % 50));
  std::vector<std::wstring> excess;
  const TRecentLists cleared = Scanned(source, shortcuts, true, &excess);
  EXPECT_EQ(cleared.RecentFiles().size(), 40u);
  EXPECT_EQ(cleared.RecentFiles().front().key.substr(0, 5), L"1010@");
  EXPECT_EQ(cleared.RecentFiles().back().key.substr(0, 5), L"1049@");
  ASSERT_EQ(excess.size(), 10u);
  for (const auto& name : excess) {
    const auto time = std::find_if(shortcuts.begin(), shortcuts.end(), [&](auto& s) { return s.name == name; })->time;
    EXPECT_LT(time, 1010) << "only the oldest go";
  }
  EXPECT_EQ(cleared.ShortcutCount(), 50u);
  // One folder, keyed by its newest file.
  ASSERT_EQ(cleared.RecentFolders().size(), 1u);
  EXPECT_EQ(cleared.RecentFolders()[0].item.path, L"C:\\Docs");
  EXPECT_EQ(cleared.RecentFolders()[0].key, cleared.RecentFiles().back().key);

  excess.clear();
  const TRecentLists kept = Scanned(source, shortcuts, false, &excess);
  EXPECT_EQ(kept.RecentFiles().size(), 40u);
  EXPECT_TRUE(excess.empty());
}

TEST(FindFirstRecent, ListsOnlyExistingFilesOnFixedAndNetworkDrivesOnce) {
  TFakeSource source;
  std::vector<TShortcutFile> shortcuts{source.File(L"C:\\Work\\a.txt", 10), source.File(L"C:\\Work\\b.txt", 20),
                                       source.File(L"Z:\\Other\\c.txt", 30)};
  source.targets[L"Folder.lnk"] = L"C:\\Work";  // a folder: no file there
  source.targets[L"usb.txt.lnk"] = L"E:\\usb.txt";
  source.files.insert(L"E:\\usb.txt");
  source.targets[L"share.txt.lnk"] = L"\\\\server\\share\\share.txt";
  source.targets[L"again.lnk"] = L"C:\\Work\\a.txt";  // a second shortcut to a.txt, newest of all
  shortcuts.insert(
      shortcuts.end(),
      {{L"Folder.lnk", 40}, {L"usb.txt.lnk", 50}, {L"share.txt.lnk", 60}, {L"broken.lnk", 70}, {L"again.lnk", 80}});
  const TRecentLists lists = Scanned(source, shortcuts, true);
  EXPECT_EQ(Paths(lists.FilesToShow(0, Anything)),
            (std::vector<std::wstring>{L"C:\\Work\\a.txt", L"Z:\\Other\\c.txt", L"C:\\Work\\b.txt"}));
  EXPECT_EQ(Paths(lists.FoldersToShow(0, Anything)), (std::vector<std::wstring>{L"C:\\Work", L"Z:\\Other"}));
  EXPECT_EQ(lists.RecentFolders().back().key, L"80@C:\\Work\\a.txt");
}

TEST(RecentSubmenus, CountsLimitWhatIsShownAndUnusableEntriesAreLeftOut) {
  TFakeSource source;
  std::vector<TShortcutFile> shortcuts;
  for (int i = 0; i < 6; ++i) {
    const std::wstring n = std::to_wstring(i);
    shortcuts.push_back(source.File(L"C:\\D" + n + L"\\f" + n + L".txt", i));
  }
  const TRecentLists lists = Scanned(source, shortcuts, false);
  const auto notD4 = [](const std::wstring& path) { return path.find(L"D4") == std::wstring::npos; };
  EXPECT_EQ(Paths(lists.FilesToShow(3, notD4)),
            (std::vector<std::wstring>{L"C:\\D5\\f5.txt", L"C:\\D3\\f3.txt", L"C:\\D2\\f2.txt"}));
  EXPECT_EQ(lists.FilesToShow(0, Anything).size(), 6u);
  EXPECT_EQ(Paths(lists.FoldersToShow(2, notD4)), (std::vector<std::wstring>{L"C:\\D5", L"C:\\D3"}));
  // An item's tag is its entry's position.
  for (const auto& item : lists.FilesToShow(0, Anything))
    EXPECT_EQ(lists.RecentFiles()[static_cast<std::size_t>(item.position)].item.path, item.path);
}

TEST(FindRecent, ResolvesOnlyNewAndChangedShortcutsAndMovesAChangedOneToTheTop) {
  TFakeSource source;
  std::vector<TShortcutFile> shortcuts{source.File(L"C:\\A\\a.txt", 10), source.File(L"C:\\B\\b.txt", 20),
                                       source.File(L"C:\\C\\c.txt", 30)};
  TRecentLists lists = Scanned(source, shortcuts, false);
  source.resolved = 0;
  EXPECT_FALSE(lists.FindRecent(shortcuts, source, 20)) << "an unchanged folder changes nothing";
  EXPECT_EQ(source.resolved, 0);

  shortcuts[0].time = 40;  // a.txt opened again
  shortcuts.push_back(source.File(L"C:\\C\\d.txt", 35));
  EXPECT_TRUE(lists.FindRecent(shortcuts, source, 20));
  EXPECT_EQ(source.resolved, 2);
  EXPECT_EQ(Paths(lists.FilesToShow(0, Anything)),
            (std::vector<std::wstring>{L"C:\\A\\a.txt", L"C:\\C\\d.txt", L"C:\\C\\c.txt", L"C:\\B\\b.txt"}));
  EXPECT_EQ(Paths(lists.FoldersToShow(0, Anything)), (std::vector<std::wstring>{L"C:\\A", L"C:\\C", L"C:\\B"}));
  EXPECT_EQ(lists.RecentFiles().size(), 4u) << "the old entry of a.txt made way";
  source.resolved = 0;
  EXPECT_FALSE(lists.FindRecent(shortcuts, source, 20));
  EXPECT_EQ(source.resolved, 0);

  // A picked folder becomes the newest.
  lists.TouchFolder(0, 99);
  EXPECT_EQ(lists.FoldersToShow(1, Anything)[0].path, L"C:\\B");
  // "Clear" with the shortcuts left in the folder: they stay out until they change.
  lists.Clear(shortcuts);
  EXPECT_TRUE(lists.RecentFiles().empty() && lists.RecentFolders().empty());
  EXPECT_FALSE(lists.FindRecent(shortcuts, source, 20));
  shortcuts[1].time = 50;
  EXPECT_TRUE(lists.FindRecent(shortcuts, source, 20));
  EXPECT_EQ(Paths(lists.FilesToShow(0, Anything)), (std::vector<std::wstring>{L"C:\\B\\b.txt"}));
}

TEST(RecentIcons, OneIconPerKeyAndAnUnusableOneNeverShiftsTheOthers) {
  TFakeSource source;
  source.brokenIcons.insert(L"C:\\X\\bad.exe");
  std::vector<TShortcutFile> shortcuts{source.File(L"C:\\X\\one.txt", 1), source.File(L"C:\\X\\bad.exe", 2),
                                       source.File(L"C:\\X\\two.TXT", 3), source.File(L"C:\\X\\tool.exe", 4),
                                       source.File(L"C:\\X\\old.doc", 0)};
  // Icons for the three newest only.
  const TRecentLists lists = Scanned(source, shortcuts, false, nullptr, 3);
  std::map<std::wstring, int> image;
  for (const auto& file : lists.RecentFiles()) image[file.item.path] = file.item.imageIndex;
  EXPECT_EQ(source.iconsLoaded, 2) << ".txt once, tool.exe once; bad.exe failed";
  EXPECT_EQ(image[L"C:\\X\\tool.exe"], 1);
  EXPECT_EQ(image[L"C:\\X\\two.TXT"], 2);
  EXPECT_EQ(image[L"C:\\X\\bad.exe"], 0);
  EXPECT_EQ(image[L"C:\\X\\one.txt"], 0) << "older than the three newest";
  EXPECT_EQ(image[L"C:\\X\\old.doc"], 0);
}

TEST(RecentFolder, OnlyAFullPathBelowARootIsScannedAndTheSystemsFolderStandsInForAMissingValue) {
  const std::wstring system = L"C:\\Users\\ann\\AppData\\Roaming\\Microsoft\\Windows\\Recent";
  struct TCase {
    std::wstring value;
    std::wstring chosen;
  } cases[] = {
      {L"D:\\Profiles\\ann\\Recent", L"D:\\Profiles\\ann\\Recent"},
      {L"D:\\Profiles\\ann\\Recent\\", L"D:\\Profiles\\ann\\Recent\\"},
      {L"\\\\server\\profiles\\ann\\Recent", L"\\\\server\\profiles\\ann\\Recent"},
      // A missing value, and every value that would read a relative folder or a root.
      {L"", system},
      {L"Recent", system},
      {L"\\Recent", system},
      {L"C:", system},
      {L"C:\\", system},
      {L"C:Recent", system},
      {L"C:\\\\Recent", system},
      {L"\\\\server\\share", system},
      {L"\\\\server\\share\\", system},
      {L"\\\\server", system},
      {L"\\\\?\\C:\\Recent", system},
      {L"D:\\Recent\nC:\\", system},
  };
  for (const auto& c : cases) EXPECT_EQ(ChooseRecentFolder(c.value, system), c.chosen) << c.value;
  // Neither usable: no folder, so no recent lists.
  EXPECT_EQ(ChooseRecentFolder(L"", L""), L"");
  EXPECT_EQ(ChooseRecentFolder(L"C:\\", L"Z:\\"), L"");
}
