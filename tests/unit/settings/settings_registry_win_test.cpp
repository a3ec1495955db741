// The settings values against the real registry under Wine.
#include "settings/settings_registry.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "../test_registry.h"

namespace {

class SettingsRegistry : public ::testing::Test {
 protected:
  // The key starts absent and is put back as it was.
  testreg::TKeyStash stash_{HKEY_CURRENT_USER, kSettingsKey};
};

TSettingsValues NonDefaults() {
  TSettingsValues v;
  v.RecentFldr = false;
  v.RecentFls = false;
  v.FoldersCount = 7;
  v.FilesCount = 9;
  v.ClearLink = false;
  v.ShowTray = false;
  v.MouseWheel = 3;
  v.MouseMButton = false;
  v.Help = false;
  v.RExplorer = false;
  v.MExplorer = false;
  v.MIExplorer = true;
  v.MDesktop = false;
  v.Alt = 2;
  v.Keys = 0x51;
  v.ExpEnch = false;
  v.AlwaysAddDialog = true;
  v.OpenFolders = false;
  v.JumpKey = (1 << 16) | 0x4A;
  v.AutoJump = 2;
  v.SearchKey = (2 << 16) | 0x46;
  v.DetailsKey = (3 << 16) | 0x44;
  return v;
}

}  // namespace

TEST_F(SettingsRegistry, MissingKeyIsTheFirstRunAndIsNotCreated) {
  TSettingsValues values = NonDefaults();
  EXPECT_FALSE(LoadSettings(values));
  EXPECT_EQ(values, NonDefaults());
  EXPECT_FALSE(testreg::Open(HKEY_CURRENT_USER, kSettingsKey));
}

TEST_F(SettingsRegistry, EmptyKeyGivesEveryDefault) {
  ASSERT_TRUE(testreg::Create(HKEY_CURRENT_USER, kSettingsKey));
  TSettingsValues values;
  EXPECT_TRUE(LoadSettings(values));
  EXPECT_TRUE(values.RecentFldr);
  EXPECT_TRUE(values.RecentFls);
  EXPECT_EQ(values.FoldersCount, 20);
  EXPECT_EQ(values.FilesCount, 20);
  EXPECT_TRUE(values.ClearLink);
  EXPECT_TRUE(values.ShowTray);
  EXPECT_EQ(values.MouseWheel, 0);
  EXPECT_TRUE(values.MouseMButton);
  EXPECT_TRUE(values.Help);
  EXPECT_TRUE(values.RExplorer);
  EXPECT_TRUE(values.MExplorer);
  EXPECT_FALSE(values.MIExplorer);
  EXPECT_TRUE(values.MDesktop);
  EXPECT_EQ(values.Alt, 8);
  EXPECT_EQ(values.Keys, 90);
  EXPECT_TRUE(values.ExpEnch);
  EXPECT_FALSE(values.AlwaysAddDialog);
}

TEST_F(SettingsRegistry, StoredValuesAreReadAndTheReloadRequestDeleted) {
  const auto key = testreg::Create(HKEY_CURRENT_USER, kSettingsKey);
  ASSERT_TRUE(key);
  testreg::SetString(key.get(), L"Update", L"1");
  testreg::SetDword(key.get(), L"RecentFldr", 0);
  testreg::SetDword(key.get(), L"MIExplorer", 5);  // any non-zero flag is on
  testreg::SetDword(key.get(), L"MouseWheel", 2);
  testreg::SetDword(key.get(), L"Alt", 0);
  testreg::SetDword(key.get(), L"Keys", 0xFFFFFFFF);
  testreg::SetDword(key.get(), L"FilesCount", 33);
  testreg::SetDword(key.get(), L"AlwaysAddDialog", 1);
  // Values the agent does not read may have any type.
  testreg::SetString(key.get(), L"Path", L"C:\\Program Files\\Quillrook\\");
  testreg::SetString(key.get(), L"ShowNewMenu", L"yes");

  TSettingsValues values;
  EXPECT_TRUE(LoadSettings(values));
  EXPECT_FALSE(values.RecentFldr);
  EXPECT_TRUE(values.MIExplorer);
  EXPECT_EQ(values.MouseWheel, 2);
  EXPECT_EQ(values.Alt, 0);
  EXPECT_EQ(values.Keys, -1);
  EXPECT_EQ(values.FilesCount, 33);
  EXPECT_EQ(values.FoldersCount, 20);
  EXPECT_TRUE(values.AlwaysAddDialog);
  EXPECT_NE(::RegQueryValueExW(key.get(), L"Update", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
}

TEST_F(SettingsRegistry, AValueOfAnotherTypeTakesItsDefaultAndTheOthersAreReadAsStored) {
  const auto key = testreg::Create(HKEY_CURRENT_USER, kSettingsKey);
  ASSERT_TRUE(key);
  testreg::SetString(key.get(), L"Update", L"");
  // Every value stored with something other than its default, then three of them broken in
  // ways the registry allows: a string, a QWORD and a four-byte REG_BINARY that looks like one.
  const TSettingsValues stored = NonDefaults();
  ASSERT_TRUE(SaveSettings(stored));
  testreg::SetDword(key.get(), L"AlwaysAddDialog", 1);
  testreg::SetString(key.get(), L"RecentFls", L"0");
  testreg::SetString(key.get(), L"MouseWheel", L"3");
  const BYTE eight[8] = {2};
  ::RegSetValueExW(key.get(), L"Alt", 0, REG_QWORD, eight, sizeof(eight));
  const BYTE four[4] = {0, 0, 0, 0};
  ::RegSetValueExW(key.get(), L"ShowTray", 0, REG_BINARY, four, sizeof(four));

  TSettingsValues values = stored;
  EXPECT_TRUE(LoadSettings(values));
  const TSettingsValues defaults;
  TSettingsValues expected = stored;
  expected.RecentFls = defaults.RecentFls;
  expected.MouseWheel = defaults.MouseWheel;
  expected.Alt = defaults.Alt;
  expected.ShowTray = defaults.ShowTray;
  EXPECT_EQ(values, expected);
  // The reload request goes as always.
  EXPECT_NE(::RegQueryValueExW(key.get(), L"Update", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
}

TEST_F(SettingsRegistry, SavedValuesReadBackInTheDialogsOrder) {
  const TSettingsValues saved = NonDefaults();
  ASSERT_TRUE(SaveSettings(saved));

  const auto key = testreg::Open(HKEY_CURRENT_USER, kSettingsKey);
  ASSERT_TRUE(key);
  std::vector<std::wstring> names;
  for (const auto& value : testreg::Values(key.get())) {
    names.push_back(value.name);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD)) << value.name;
  }
  const std::vector<std::wstring> order{
      L"ClearLink", L"RecentFldr", L"RecentFls",   L"ShowTray", L"MouseWheel", L"MouseMButton", L"Help",
      L"MExplorer", L"MIExplorer", L"RExplorer",   L"MDesktop", L"ExpEnch",    L"FilesCount",   L"FoldersCount",
      L"Alt",       L"Keys",       L"OpenFolders", L"JumpKey",  L"AutoJump",   L"SearchKey",    L"DetailsKey"};
  EXPECT_EQ(testreg::InRegistryOrder(names), testreg::InRegistryOrder(order));

  TSettingsValues loaded;
  EXPECT_TRUE(LoadSettings(loaded));
  // The add dialog, not the options dialog, owns "AlwaysAddDialog".
  TSettingsValues expected = saved;
  expected.AlwaysAddDialog = false;
  EXPECT_EQ(loaded, expected);
}

TEST_F(SettingsRegistry, ExcludedProgramsAreNamesOnlyAndAReplaceLosesNoneOnTheWay) {
  EXPECT_TRUE(LoadJumpExcluded().empty()) << "no key: nothing excluded";
  EXPECT_TRUE(SetJumpExcluded(L"notepad.exe", true));
  EXPECT_TRUE(SetJumpExcluded(L"winword.exe", true));
  EXPECT_TRUE(SetJumpExcluded(L"winword.exe", false));
  EXPECT_TRUE(SetJumpExcluded(L"never-there.exe", false)) << "taking away one not there";
  // Names another program might leave in the key: a path, a control character, nothing.
  for (const wchar_t* bad : {L"C:\\tools\\notepad.exe", L"a/b.exe", L"bell\a.exe", L""})
    EXPECT_FALSE(SetJumpExcluded(bad, true)) << bad;
  const auto key = testreg::Create(HKEY_CURRENT_USER, std::wstring(kSettingsKey) + L"\\JumpExcluded");
  testreg::SetString(key.get(), L"..\\x.exe", L"");
  testreg::SetString(key.get(), L"tab\t.exe", L"");
  testreg::SetString(key.get(), L"excel.exe", L"any data, any type");
  EXPECT_EQ(testreg::InRegistryOrder(LoadJumpExcluded()),
            testreg::InRegistryOrder(std::vector<std::wstring>{L"notepad.exe", L"excel.exe"}));

  EXPECT_TRUE(SaveJumpExcluded({L"EXCEL.EXE", L"mspaint.exe"}));
  std::vector<std::wstring> names;
  for (const auto& value : testreg::Values(key.get())) names.push_back(value.name);
  // The names that are no program stay untouched; the case of one kept stays as stored.
  EXPECT_EQ(testreg::InRegistryOrder(names), testreg::InRegistryOrder(std::vector<std::wstring>{
                                                 L"..\\x.exe", L"tab\t.exe", L"excel.exe", L"mspaint.exe"}));
}

TEST_F(SettingsRegistry, SearchPicksAreWrittenOverAndWhatIsLeftPastThemGoes) {
  EXPECT_TRUE(LoadSearchPicks().empty());
  ASSERT_TRUE(SaveSearchPicks({L"1|1|C:\\a", L"2|3|C:\\b", L"1|2|C:\\c"}));
  ASSERT_TRUE(SaveSearchPicks({L"4|9|C:\\b"}));
  EXPECT_EQ(LoadSearchPicks(), (std::vector<std::wstring>{L"4|9|C:\\b"}));
  // A value of another type, left by another program, is no line.
  const auto key = testreg::Create(HKEY_CURRENT_USER, std::wstring(kSettingsKey) + L"\\SearchPicks");
  testreg::SetDword(key.get(), L"7", 5);
  EXPECT_EQ(LoadSearchPicks(), (std::vector<std::wstring>{L"4|9|C:\\b"}));
}

TEST(OwnDialogsRegistry, EntriesOfTheRightTypesAreTakenAndTheOthersPassedOver) {
  const std::wstring dialogs = L"Software\\BrantwellTools\\Quillrook Folder\\Dialogs";
  testreg::TKeyStash stash{HKEY_CURRENT_USER, dialogs};
  EXPECT_TRUE(LoadOwnDialogs().empty()) << "no key: no entries";
  const auto entry = [&](const wchar_t* name) { return testreg::Create(HKEY_CURRENT_USER, dialogs + L"\\" + name); };
  {
    const auto good = entry(L"Archiver");
    testreg::SetString(good.get(), L"Program", L"arch.exe");
    testreg::SetString(good.get(), L"Class", L"QfTestDialog");
    testreg::SetString(good.get(), L"Method", L"edit");
    testreg::SetString(good.get(), L"Box", L"QfPane\\QfInner\\Edit");
    const auto keys = entry(L"Java");
    testreg::SetString(keys.get(), L"Class", L"SunAwt*", REG_EXPAND_SZ);
    testreg::SetString(keys.get(), L"Method", L"address");
    testreg::SetDword(keys.get(), L"Key", (1 << 16) | 'D');
    // What another program may leave: an unknown method, a class of another type, a key stored
    // as text, an entry with nothing in it.
    const auto unknown = entry(L"Unknown");
    testreg::SetString(unknown.get(), L"Class", L"X");
    testreg::SetString(unknown.get(), L"Method", L"run");
    const auto typed = entry(L"Typed");
    testreg::SetDword(typed.get(), L"Class", 5);
    testreg::SetString(typed.get(), L"Method", L"keys");
    const auto textKey = entry(L"TextKey");
    testreg::SetString(textKey.get(), L"Class", L"X");
    testreg::SetString(textKey.get(), L"Method", L"address");
    testreg::SetString(textKey.get(), L"Key", L"Ctrl+L");
    entry(L"Empty");
  }
  const std::vector<TOwnDialog> loaded = LoadOwnDialogs();
  std::vector<std::wstring> names;
  for (const auto& d : loaded) names.push_back(d.name);
  EXPECT_EQ(testreg::InRegistryOrder(names), testreg::InRegistryOrder(std::vector<std::wstring>{L"Archiver", L"Java"}));
  // The options page's writing: an edited entry is written whole (its class then a text, its key
  // gone), a new one added, a removed one deleted; an entry named in neither keeps its values of
  // the wrong type, and one that stays unreadable is still there to be mended by hand.
  TOwnDialogValues mended{L"Typed", L"", L"QfTyped", L"", L"keys", L"", 0};
  TOwnDialogValues added{L"Dialog 1", L"x.exe", L"QfNew", L"Open*", L"edit", L"QfPane\\Edit", 0};
  ASSERT_TRUE(SaveOwnDialogs({mended, added}, {L"Unknown", L"Never stored"}));
  std::vector<std::wstring> stored;
  for (const TStoredOwnDialog& d : LoadStoredOwnDialogs()) {
    stored.push_back(d.values.name);
    if (d.values.name == L"Typed") {
      EXPECT_EQ(d.problem, L"") << "mended";
    } else if (d.values.name == L"TextKey") {
      EXPECT_EQ(d.problem, L"Key is not a number") << "left as it was";
    } else if (d.values.name == L"Dialog 1") {
      EXPECT_EQ(d.values.box, L"QfPane\\Edit");
    }
  }
  EXPECT_EQ(testreg::InRegistryOrder(stored), testreg::InRegistryOrder(std::vector<std::wstring>{
                                                  L"Archiver", L"Java", L"Typed", L"TextKey", L"Empty", L"Dialog 1"}));
  EXPECT_FALSE(SaveOwnDialogs({TOwnDialogValues{L"a\\b", L"", L"X", L"", L"keys", L"", 0}}, {}))
      << "a name that is a path is no entry's";
  EXPECT_EQ(LoadStoredOwnDialogs().size(), 6u);
  for (const auto& d : loaded) {
    if (d.name == L"Archiver") {
      EXPECT_EQ(d.program, L"arch.exe");
      EXPECT_EQ(d.box, (std::vector<std::wstring>{L"QfPane", L"QfInner", L"Edit"}));
    } else {
      EXPECT_EQ(d.method, TOwnDialogMethod::Address);
      EXPECT_EQ(d.addressKey, (1 << 16) | 'D');
      EXPECT_EQ(d.className, L"SunAwt*");
    }
  }
}
