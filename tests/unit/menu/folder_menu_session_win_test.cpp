// The folder menu from one display to the next, on real windows, the real registry and the menu
// of the program's resources: what a display shows for its window, what a picked command names,
// and the current-folder commands acting on the folder the user saw the menu for.
#include "menu/folder_menu_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "diagnostics/logger.h"
#include "menu/favourites_rules.h"
#include "menu/folder_menu.h"
#include "menu/menu_model.h"
#include "navigation/target_kind.h"
#include "resource.h"
#include "../test_dialog_driver.h"
#include "../test_registry.h"
#include "../test_resources.h"
#include "../test_temp_folder.h"
#include "../test_windows.h"

namespace {

using TStrings = std::vector<std::pair<std::wstring, std::wstring>>;

constexpr wchar_t kProductKey[] = L"Software\\BrantwellTools\\Quillrook Folder";

bool NeverAsked(std::wstring&) {
  ADD_FAILURE() << "the add dialog was shown";
  return true;
}

// The commands of the menu's top level, top to bottom; separators as 0.
std::vector<UINT> TopLevel(HMENU menu) {
  std::vector<UINT> ids;
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_FTYPE;
    ::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
    ids.push_back((info.fType & MFT_SEPARATOR) != 0 ? 0 : info.wID);
  }
  return ids;
}

bool Shows(HMENU menu, UINT id) {
  const auto ids = TopLevel(menu);
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

TStrings Favourites() { return testreg::InRegistryOrder(testreg::Strings(HKEY_CURRENT_USER, kFavouritesKey)); }

class FolderMenuSession : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetLoggerForTests(temp_.Make(L"Log") + L"\\");
    ASSERT_TRUE(images_.Load(testres::Program()));
    settings_.RecentFldr = false;
    settings_.RecentFls = false;
    settings_.OpenFolders = false;
    settings_.AlwaysAddDialog = false;
    ASSERT_TRUE(session_.Load(testres::Program()));
  }
  void TearDown() override {
    CloseAllLogs();
    ResetLoggerForTests(L"");
  }

  void WriteStore(const TStrings& favourites, const TStrings& filters) {
    const auto path = testreg::Create(HKEY_CURRENT_USER, kFavouritesKey);
    for (const auto& [name, data] : favourites) testreg::SetString(path.get(), name, data);
    const auto filter = testreg::Create(HKEY_CURRENT_USER, kFiltersKey);
    for (const auto& [mask, caption] : filters) testreg::SetString(filter.get(), mask, caption);
  }

  void Display(HWND window, int kind) {
    session_.Begin(window, kind);
    session_.Prepare();
  }

  // Every key of the product starts absent and is put back as it was.
  testreg::TKeyStash stash_{HKEY_CURRENT_USER, kProductKey};
  testtmp::TTempFolder temp_{L"qf-session"};
  TMenuImages images_;
  TSettingsValues settings_;
  TFolderMenuSession session_{images_, settings_};
};

}  // namespace

// A user story: the menu over an Explorer window offers to add its folder; the user browses on
// before picking "Add Current Folder", and the folder added is the one the menu was shown for.
// The next display offers to remove it, and "Remove" again takes the folder of that display.
TEST_F(FolderMenuSession, TheCurrentFolderCommandsActOnTheFolderTheMenuWasShownFor) {
  const std::wstring shown = temp_.Make(L"shown");
  const std::wstring later = temp_.Make(L"later");
  WriteStore({{later, L"later$0"}}, {{L"*.txt", L"Text"}});
  session_.UpdateListMenu();
  testwin::TWindow explorer = testwin::Frame(L"CabinetWClass", {0, 0, 400, 300});
  ASSERT_TRUE(explorer);

  ::SetWindowTextW(explorer.get(), shown.c_str());
  Display(explorer.get(), tkExplorer);
  EXPECT_EQ(session_.Target().window, explorer.get());
  EXPECT_EQ(session_.Target().kind, tkExplorer);
  EXPECT_TRUE(session_.Target().folderRead);
  EXPECT_EQ(session_.Target().folder, shown);
  EXPECT_TRUE(Shows(session_.Menu(), IDM_ADDCURRENT));
  EXPECT_FALSE(Shows(session_.Menu(), IDM_REMOVECURRENT));
  EXPECT_TRUE(Shows(session_.Menu(), IDM_OPENFOLDER));
  // Filters are for file dialogs only.
  EXPECT_FALSE(Shows(session_.Menu(), IDM_FILTER));

  ::SetWindowTextW(explorer.get(), later.c_str());
  session_.AddClick(NeverAsked);
  ASSERT_EQ(session_.Lists().PathNames.size(), 2u);
  EXPECT_EQ(session_.Lists().PathNames[1], shown);
  EXPECT_EQ(Favourites().size(), 2u);

  ::SetWindowTextW(explorer.get(), shown.c_str());
  Display(explorer.get(), tkExplorer);
  EXPECT_FALSE(Shows(session_.Menu(), IDM_ADDCURRENT));
  EXPECT_TRUE(Shows(session_.Menu(), IDM_REMOVECURRENT));
  ::SetWindowTextW(explorer.get(), later.c_str());
  session_.RemoveClick();
  EXPECT_EQ(Favourites(), (TStrings{{later, L"later$0"}}));
  EXPECT_EQ(session_.Lists().PathNames, std::vector<std::wstring>{later});

  // A window whose folder cannot be read offers none of the three.
  ::SetWindowTextW(explorer.get(), L"Control Panel");
  Display(explorer.get(), tkExplorer);
  EXPECT_TRUE(session_.Target().folderRead);
  EXPECT_EQ(session_.Target().folder, L"");
  for (UINT id : {IDM_ADDCURRENT, IDM_REMOVECURRENT, IDM_OPENFOLDER}) EXPECT_FALSE(Shows(session_.Menu(), id)) << id;
  session_.RemoveClick();
  EXPECT_EQ(Favourites().size(), 1u);
}

// A file dialog's display: its filters, none of the current-folder commands (its folder is not
// asked), the favourites above one separator and never two separators in a row.
TEST_F(FolderMenuSession, AFileDialogsDisplayShowsItsFiltersAndATidyTail) {
  const std::wstring folder = temp_.Make(L"docs");
  WriteStore({{folder, L"Docs$0"}}, {{L"*.txt;*.log", L"Text"}, {L"*.png", L"Pictures"}});
  session_.UpdateListMenu();
  testwin::TWindow dialog = testwin::Dialog(WS_POPUP | WS_VISIBLE | WS_CAPTION);
  ASSERT_TRUE(dialog);
  ::SetWindowTextW(dialog.get(), folder.c_str());

  Display(dialog.get(), tkFileDialog);
  EXPECT_FALSE(session_.Target().folderRead);
  EXPECT_EQ(session_.Target().folder, L"");
  const auto ids = TopLevel(session_.Menu());
  ASSERT_GE(ids.size(), 3u);
  EXPECT_EQ(ids[0], FavouriteCommand(kFavouriteTagBase));
  EXPECT_EQ(ids[1], 0u) << "the favourites end with a separator";
  for (std::size_t i = 1; i < ids.size(); ++i)
    EXPECT_FALSE(ids[i] == 0 && ids[i - 1] == 0) << "two separators at " << i;
  EXPECT_NE(ids.back(), 0u);
  EXPECT_TRUE(Shows(session_.Menu(), IDM_FILTER));
  for (UINT id :
       {IDM_ADDCURRENT, IDM_REMOVECURRENT, IDM_OPENFOLDER, IDM_RECENTFOLDERS, IDM_RECENTFILES, IDM_OPENFOLDERS})
    EXPECT_FALSE(Shows(session_.Menu(), id)) << id;

  // With no filters the Filter submenu goes too; the recent submenus stay away while their lists
  // are empty, whatever the settings say.
  ASSERT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, kFiltersKey), ERROR_SUCCESS);
  settings_.RecentFldr = true;
  settings_.RecentFls = true;
  session_.UpdateListMenu();
  Display(dialog.get(), tkFileDialog);
  for (UINT id : {IDM_FILTER, IDM_RECENTFOLDERS, IDM_RECENTFILES}) EXPECT_FALSE(Shows(session_.Menu(), id)) << id;
}

// What a picked command names: a favourite its entry's path (a submenu entry without its
// marker), a filter its masks, anything else nothing.
TEST_F(FolderMenuSession, APickedCommandNamesItsEntry) {
  const std::wstring plain = temp_.Make(L"plain");
  const std::wstring entry = temp_.Make(L"entry");
  WriteStore({{plain, L"Plain$0"}, {entry + kEntryMarker, L"Entry$0"}}, {{L"*.txt", L"Text"}});
  session_.UpdateListMenu();
  const auto& names = session_.Lists().PathNames;
  ASSERT_EQ(names.size(), 2u);

  using TKind = TMenuPick::TKind;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const UINT command = FavouriteCommand(kFavouriteTagBase + static_cast<int>(i));
    const auto pick = session_.Decode(command);
    ASSERT_TRUE(pick) << i;
    EXPECT_EQ(pick->kind, TKind::Favourite);
    EXPECT_EQ(pick->command, command);
    EXPECT_EQ(pick->text, names[i] == entry + kEntryMarker ? entry : names[i]);
  }
  const auto filter = session_.Decode(FilterCommand(kFilterTagBase));
  ASSERT_TRUE(filter);
  EXPECT_EQ(filter->kind, TKind::Filter);
  EXPECT_EQ(filter->text, L"*.txt");

  // Past the lists' ends, the fixed commands and the lists not yet read name nothing.
  for (UINT command :
       {FavouriteCommand(kFavouriteTagBase + 2), FilterCommand(kFilterTagBase + 1), static_cast<UINT>(IDM_ADDCURRENT),
        static_cast<UINT>(IDM_SETTING), kOpenFolderCommandBase, kRecentFolderCommandBase, kRecentFileCommandBase, 0u})
    EXPECT_FALSE(session_.Decode(command)) << command;
}

// A save the registry cannot keep (two names it holds as one) leaves the store as it was, and the
// user is told in a message; a good one says nothing.
TEST_F(FolderMenuSession, ASaveTheRegistryCannotKeepIsToldAndLeavesTheStore) {
  const std::wstring folder = temp_.Make(L"kept");
  WriteStore({{folder, L"Kept$0"}}, {});
  session_.UpdateListMenu();
  const TStoreValues sameName{{L"D:\\New", L"New$0"}, {L"d:\\new", L"Other$0"}};
  std::wstring told;
  std::thread reader([&told, thread = ::GetCurrentThreadId()] {
    if (const HWND box = testdlg::WaitForDialog(thread, L"Information")) {
      told = testdlg::ChildText(box, 0xFFFF);
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
  });
  EXPECT_FALSE(session_.ReplaceStore(nullptr, &sameName, nullptr));
  reader.join();
  EXPECT_NE(told.find(L"could not be saved"), std::wstring::npos) << "told: " << told;
  EXPECT_EQ(Favourites(), (TStrings{{folder, L"Kept$0"}}));
  EXPECT_EQ(session_.Lists().PathNames, std::vector<std::wstring>{folder});

  const TStoreValues good{{folder, L"Renamed$0"}};
  EXPECT_TRUE(session_.ReplaceStore(nullptr, &good, nullptr));
  EXPECT_EQ(session_.Lists().PathValues, std::vector<std::wstring>{L"Renamed$0"});
}
