// The favourites and filters store against the real registry, files and shell under Wine.
#include "menu/favourites_store.h"

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which they build on.
#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "../test_registry.h"
#include "../test_temp_folder.h"
#include "../test_shortcuts.h"
#include "menu/first_run.h"
#include "settings/settings_values.h"
#include "menu/favourites_rules.h"
#include "menu/menu_model.h"
#include "startup/autostart.h"
#include "win/com.h"
#include "win/files.h"
#include "win/handles.h"
#include "win/shell_paths.h"

namespace {

using TStrings = std::vector<std::pair<std::wstring, std::wstring>>;
using TNames = std::vector<std::wstring>;
using testreg::InRegistryOrder;

constexpr wchar_t kProductKey[] = L"Software\\BrantwellTools\\Quillrook Folder";
constexpr wchar_t kShellFoldersKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::wstring kShare = L"\\\\server\\c$\\data";

using testlnk::WriteShortcut;
using testtmp::TTempFolder;

TStrings Favourites() { return InRegistryOrder(testreg::Strings(HKEY_CURRENT_USER, kFavouritesKey)); }

void WriteFavourites(const TStrings& values) {
  const auto key = testreg::Create(HKEY_CURRENT_USER, kFavouritesKey);
  for (const auto& [name, data] : values) testreg::SetString(key.get(), name, data);
}

TStrings Pairs(const TFavouriteLists& lists) {
  TStrings pairs;
  for (std::size_t i = 0; i < lists.PathNames.size() && i < lists.PathValues.size(); ++i)
    pairs.emplace_back(lists.PathNames[i], lists.PathValues[i]);
  return pairs;
}

std::wstring Upper(std::wstring text) {
  ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

bool NeverAsked(std::wstring&) {
  ADD_FAILURE() << "the add dialog was shown";
  return true;
}

class FavouritesStore : public ::testing::Test {
 protected:
  // Every key of the product starts absent and is put back as it was.
  testreg::TKeyStash stash_{HKEY_CURRENT_USER, kProductKey};
  TTempFolder temp_{L"qf-store"};
};

}  // namespace

TEST_F(FavouritesStore, OnlyTheExactReloadWordReloadsAndUnusableTextIsIgnored) {
  TFavouriteLists lists;
  EXPECT_EQ(AddFavourite(lists, L"/update", true, NeverAsked), TAddResult::Reload);
  for (const auto& text : {L"/Update", L"/UPDATE", L"", L"C:\\no-such-folder-qf"})
    EXPECT_EQ(AddFavourite(lists, text, true, NeverAsked), TAddResult::Ignored) << text;
  // A folder whose own name ends like the entry marker would be stored as an entry of D:\Old.
  EXPECT_EQ(AddFavourite(lists, temp_.Make(L"Old$2"), false, NeverAsked), TAddResult::Refused);
  EXPECT_TRUE(lists.PathNames.empty());
  EXPECT_FALSE(testreg::Open(HKEY_CURRENT_USER, kFavouritesKey));
}

TEST_F(FavouritesStore, AddedFolderGoesToTheEndWithItsShortenedCaption) {
  WriteFavourites({{L"Submenu1", L"Tools$5"}, {L"C:\\$2", L"C:\\$9"}});
  const std::wstring name(45, L'q');
  const std::wstring folder = temp_.Make(name);
  ASSERT_GT(folder.size(), 50u);

  TFavouriteLists lists;
  LoadLists(lists);
  const TStrings before = Pairs(lists);
  EXPECT_EQ(AddFavourite(lists, folder, false, NeverAsked), TAddResult::Added);
  TStrings expected = before;
  expected.emplace_back(folder, name + L"$0");
  EXPECT_EQ(Pairs(lists), expected);
  EXPECT_EQ(Favourites(), InRegistryOrder(expected));
}

TEST_F(FavouritesStore, FolderAlreadyPresentWithOrWithoutMarkerIsNotAddedAgain) {
  const std::wstring entry = temp_.Make(L"Entry");
  const std::wstring plain = temp_.Make(L"Plain");
  WriteFavourites({{L"Submenu1", L"Tools$5"}, {entry + L"$2", L"Entry$0"}, {plain, L"Plain$0"}});
  TFavouriteLists lists;
  LoadLists(lists);
  const TStrings before = Favourites();
  for (const auto& text : {entry, Upper(entry), plain, Upper(plain)})
    EXPECT_EQ(AddFavourite(lists, text, true, NeverAsked), TAddResult::Ignored) << text;
  EXPECT_EQ(lists.PathNames.size(), 3u);
  EXPECT_EQ(Favourites(), before);

  // Lists that have not caught up with the registry yet: the stored values are kept as they are.
  TFavouriteLists stale;
  EXPECT_EQ(AddFavourite(stale, entry, false, NeverAsked), TAddResult::Added);
  EXPECT_EQ(AddFavourite(stale, plain, false, NeverAsked), TAddResult::Added);
  EXPECT_EQ(stale.PathNames, (TNames{entry, plain}));
  EXPECT_EQ(Favourites(), before);
}

TEST_F(FavouritesStore, AddDialogSetsTheCaptionOrCancels) {
  const std::wstring folder = temp_.Make(L"Work");
  TFavouriteLists lists;
  std::wstring offered;
  const auto cancel = [&](std::wstring& caption) {
    offered = caption;
    return false;
  };
  EXPECT_EQ(AddFavourite(lists, folder, true, cancel), TAddResult::Cancelled);
  EXPECT_EQ(offered, folder);
  EXPECT_TRUE(lists.PathNames.empty());
  EXPECT_TRUE(Favourites().empty());

  const auto rename = [](std::wstring& caption) {
    caption = L"Work$ 2024";
    return true;
  };
  EXPECT_EQ(AddFavourite(lists, folder, true, rename), TAddResult::Added);
  EXPECT_EQ(Pairs(lists), (TStrings{{folder, L"Work$ 2024$0"}}));
  EXPECT_EQ(Favourites(), Pairs(lists));
  // The caption keeps its own "$".
  EXPECT_EQ(Cap(lists.PathValues[0]).caption, L"Work$ 2024");
}

TEST_F(FavouritesStore, AdministrativeSharePathSurvivesAddLoadMenuAndRemoval) {
  TFavouriteLists lists;
  ASSERT_EQ(AddFavourite(lists, kShare, false, NeverAsked), TAddResult::Added);
  EXPECT_EQ(Favourites(), (TStrings{{kShare, kShare + L"$0"}}));
  EXPECT_EQ(AddFavourite(lists, kShare, false, NeverAsked), TAddResult::Ignored);

  TFavouriteLists loaded;
  LoadLists(loaded);
  const auto items = BuildFavouritesModel(loaded.PathNames, loaded.PathValues, IsUsableFolder);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].caption, kShare);
  EXPECT_EQ(items[0].image, 0);
  // The menu's click takes the folder from the name at the item's tag.
  EXPECT_EQ(EntryPath(loaded.PathNames[items[0].tag - kFavouriteTagBase]), kShare);
  RemoveFavourite(kShare);
  EXPECT_TRUE(Favourites().empty());

  // The same share as a submenu entry is a favourite too, and removal finds it.
  WriteFavourites({{L"Submenu1", L"Shares$5"}, {kShare + L"$2", L"Data$0"}});
  LoadLists(loaded);
  EXPECT_EQ(AddFavourite(loaded, kShare, false, NeverAsked), TAddResult::Ignored);
  RemoveFavourite(kShare);
  EXPECT_EQ(Favourites(), (TStrings{{L"Submenu1", L"Shares$5"}}));
}

TEST_F(FavouritesStore, RemovalDeletesThePlainValueFirstThenTheEntry) {
  const std::wstring a = temp_.Make(L"A");
  const std::wstring b = temp_.Make(L"B");
  WriteFavourites({{L"Submenu1", L"Tools$5"}, {a + L"$2", L"A$0"}, {b, L"B$0"}, {b + L"$2", L"B2$0"}});
  RemoveFavourite(Upper(a));
  EXPECT_EQ(Favourites(), InRegistryOrder(TStrings{{L"Submenu1", L"Tools$5"}, {b, L"B$0"}, {b + L"$2", L"B2$0"}}));
  RemoveFavourite(b);
  const TStrings left = InRegistryOrder(TStrings{{L"Submenu1", L"Tools$5"}, {b + L"$2", L"B2$0"}});
  EXPECT_EQ(Favourites(), left);
  RemoveFavourite(temp_.Path(L"NotAFavourite"));
  EXPECT_EQ(Favourites(), left);
}

TEST_F(FavouritesStore, ReplacingTheStoreRewritesBothKeysAndAFailedWriteRestoresThem) {
  WriteFavourites({{L"C:\\", L"C$4"}, {L"Z:\\Old", L"Old$0"}});
  testreg::SetString(testreg::Create(HKEY_CURRENT_USER, kFiltersKey).get(), L"*.old", L"Old");
  const TFavouriteLists imported{{L"Submenu Work", kShare + L"$2", L"A:\\"},
                                 {L"Work$4", L"Share$0", L"A$9"},
                                 {L"*.txt", L"*.*"},
                                 {L"Text", L"All"}};
  {
    const testreg::TWriteRecorder writes;
    ASSERT_TRUE(ReplaceStore(imported));
    // Written in list order, which is the menu's order on Windows.
    EXPECT_EQ(writes.Among({L"Submenu Work", kShare + L"$2", L"A:\\", L"*.txt", L"*.*"}),
              (TNames{L"Submenu Work", kShare + L"$2", L"A:\\", L"*.txt", L"*.*"}));
  }
  EXPECT_EQ(Favourites(),
            InRegistryOrder(TStrings{{L"Submenu Work", L"Work$4"}, {kShare + L"$2", L"Share$0"}, {L"A:\\", L"A$9"}}));
  EXPECT_EQ(InRegistryOrder(testreg::Strings(HKEY_CURRENT_USER, kFiltersKey)),
            InRegistryOrder(TStrings{{L"*.txt", L"Text"}, {L"*.*", L"All"}}));

  // Values of other types that someone put into the keys survive a failed import unchanged.
  {
    const auto favourites = testreg::Create(HKEY_CURRENT_USER, kFavouritesKey);
    testreg::SetDword(favourites.get(), L"Counter", 7);
    const BYTE bytes[] = {1, 2, 0, 3};
    ::RegSetValueExW(favourites.get(), L"Blob", 0, REG_BINARY, bytes, sizeof bytes);
    testreg::SetString(testreg::Create(HKEY_CURRENT_USER, kFiltersKey).get(), L"*.log", L"%TEMP%", REG_EXPAND_SZ);
  }
  const auto everything = [](const wchar_t* path) {
    return testreg::Values(testreg::Open(HKEY_CURRENT_USER, path).get());
  };
  const auto favouritesBefore = everything(kFavouritesKey);
  const auto filtersBefore = everything(kFiltersKey);
  ASSERT_EQ(favouritesBefore.size(), 5u);

  // A value name longer than the registry allows fails half-way through the favourites.
  const TFavouriteLists broken{{L"D:\\", std::wstring(20000, L'x')}, {L"D$4", L"X$0"}, {}, {}};
  EXPECT_FALSE(ReplaceStore(broken));
  EXPECT_EQ(everything(kFavouritesKey), favouritesBefore);
  EXPECT_EQ(everything(kFiltersKey), filtersBefore);

  // Empty lists leave both keys present and empty.
  ASSERT_TRUE(ReplaceStore({}));
  EXPECT_TRUE(testreg::Open(HKEY_CURRENT_USER, kFavouritesKey));
  EXPECT_TRUE(Favourites().empty());
  EXPECT_TRUE(testreg::Strings(HKEY_CURRENT_USER, kFiltersKey).empty());
}

namespace {

// Stands for the agent's end (a kill, a power cut) at the n-th value written from now on.
struct TCutShort {};
int writesLeft = 0;
void EndAtTheNthWrite(HKEY, const std::wstring&) {
  if (--writesLeft == 0) throw TCutShort{};
}

}  // namespace

TEST_F(FavouritesStore, AReplaceCutShortIsUndoneAtTheNextStartAndTwoRowsOfOneNameFailTheSave) {
  const TStrings favourites{{L"C:\\Work", L"Work$0"}, {L"Submenu1", L"Tools$5"}, {L"C:\\Tools$2", L"Tools$3"}};
  WriteFavourites(favourites);
  testreg::SetString(testreg::Create(HKEY_CURRENT_USER, kFiltersKey).get(), L"*.txt", L"Text");
  const TStrings filters{{L"*.txt", L"Text"}};

  // Cut short after the first new favourite: the copy was complete, the keys half rewritten.
  const TStoreValues replacement{{L"D:\\New", L"New$0"}, {L"D:\\Other", L"Other$0"}};
  for (int cut = 1; cut <= 12; ++cut) {
    writesLeft = cut;
    win::WatchValueWrites(EndAtTheNthWrite);
    bool cutShort = false;
    try {
      ReplaceStoreKeys(&replacement, &replacement);
    } catch (const TCutShort&) {
      cutShort = true;
    }
    win::WatchValueWrites(nullptr);
    if (!cutShort) {
      // Past the last write: the replace finished, and the next start finds nothing to undo.
      EXPECT_FALSE(RestoreInterruptedReplace());
      EXPECT_EQ(Favourites(), InRegistryOrder(TStrings(replacement.begin(), replacement.end())));
      break;
    }
    // Whenever it was cut short, the next start has every favourite and filter back.
    RestoreInterruptedReplace();
    EXPECT_EQ(Favourites(), InRegistryOrder(favourites)) << "cut at write " << cut;
    EXPECT_EQ(InRegistryOrder(testreg::Strings(HKEY_CURRENT_USER, kFiltersKey)), filters) << "cut at write " << cut;
    EXPECT_FALSE(testreg::Open(HKEY_CURRENT_USER, std::wstring(kProductKey) + L"\\Replacing")) << cut;
  }

  // Two rows the registry holds as one value (names that differ in case only) are a failed save:
  // nothing of it stays.
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kFavouritesKey);
  WriteFavourites(favourites);
  const TStoreValues twice{{L"D:\\Same", L"First$0"}, {L"d:\\same", L"Second$0"}};
  EXPECT_FALSE(ReplaceStoreKeys(&twice, nullptr));
  EXPECT_EQ(Favourites(), InRegistryOrder(favourites));
  EXPECT_FALSE(testreg::Open(HKEY_CURRENT_USER, std::wstring(kProductKey) + L"\\Replacing"));
}

TEST_F(FavouritesStore, LoadSkipsValuesThatAreNotStringsAndKeepsTheRest) {
  WriteFavourites({{L"Z:\\Last", L"Last$0"}});
  {
    const auto key = testreg::Create(HKEY_CURRENT_USER, kFavouritesKey);
    testreg::SetDword(key.get(), L"C:\\Number", 7);
    testreg::SetString(key.get(), L"A:\\First", L"%TEMP%$0", REG_EXPAND_SZ);
    const auto filters = testreg::Create(HKEY_CURRENT_USER, kFiltersKey);
    const BYTE bytes[3] = {1, 2, 3};
    ::RegSetValueExW(filters.get(), L"*.bin", 0, REG_BINARY, bytes, sizeof(bytes));
    testreg::SetString(filters.get(), L"*.txt", L"Text");
  }
  TFavouriteLists lists;
  lists.FilterMasks = {L"stale"};
  lists.FilterCaptions = {L"stale"};
  LoadLists(lists);
  // Expandable text stays as stored.
  EXPECT_EQ(InRegistryOrder(Pairs(lists)),
            InRegistryOrder(TStrings{{L"Z:\\Last", L"Last$0"}, {L"A:\\First", L"%TEMP%$0"}}));
  EXPECT_EQ(lists.FilterMasks, TNames{L"*.txt"});
  EXPECT_EQ(lists.FilterCaptions, TNames{L"Text"});

  ::RegDeleteTreeW(HKEY_CURRENT_USER, kProductKey);
  LoadLists(lists);
  EXPECT_TRUE(lists.PathNames.empty() && lists.PathValues.empty());
  EXPECT_TRUE(lists.FilterMasks.empty() && lists.FilterCaptions.empty());
}
