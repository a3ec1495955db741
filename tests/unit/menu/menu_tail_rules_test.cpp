// The folder menu's tail for every kind of window, with and without a known current folder,
// filters and recent lists.
#include "menu/menu_tail_rules.h"

#include <gtest/gtest.h>

#include "navigation/target_kind.h"

namespace {

constexpr int kAllKinds[] = {tkDesktop,    tkExplorer,   tkInternetExplorer, tkFileDialog, tkRarExtract, tkRarWindow,
                             tkZipExtract, tkAceExtract, tkBrowseDialog,     tkConsole,    tkTerminal};

TTailInput Everything(int kind) {
  TTailInput input;
  input.kind = kind;
  input.folderKnown = true;
  input.hasFilters = true;
  input.recentFoldersOn = input.hasRecentFolders = true;
  input.recentFilesOn = input.hasRecentFiles = true;
  return input;
}

}  // namespace

TEST(TailVisibility, EachKindWithAKnownFolderFiltersAndRecentLists) {
  struct TRow {
    int kind;
    TTailVisibility shown;  // recent folders, recent files, filter, add, remove, open
  } rows[] = {
      {tkDesktop, {true, true, false, false, false, false}},
      {tkExplorer, {true, true, false, true, false, true}},
      {tkInternetExplorer, {true, true, false, true, false, true}},
      // A common dialog names no folder of its own to the menu.
      {tkFileDialog, {true, true, true, false, false, false}},
      {tkRarExtract, {true, false, false, false, false, false}},
      {tkRarWindow, {true, false, false, false, false, false}},
      {tkZipExtract, {true, false, false, false, false, false}},
      {tkAceExtract, {true, true, false, false, false, false}},
      // A console's shell takes folders only; its folder, where it can be read, is offered.
      {tkConsole, {true, false, false, true, false, true}},
      {tkTerminal, {true, false, false, true, false, true}},
      {tkBrowseDialog, {true, true, false, false, false, false}},
  };
  for (const auto& row : rows) EXPECT_EQ(TailVisibility(Everything(row.kind)), row.shown) << "kind " << row.kind;
}

TEST(TailVisibility, CurrentFolderCommandsFollowTheFolderAndTheFavourites) {
  for (const int kind : {tkExplorer, tkInternetExplorer, tkConsole, tkTerminal}) {
    TTailInput input = Everything(kind);
    input.folderIsFavourite = true;
    TTailVisibility shown = TailVisibility(input);
    EXPECT_TRUE(shown.removeCurrent && !shown.addCurrent && shown.openFolder) << kind;
    input.folderKnown = false;
    shown = TailVisibility(input);
    EXPECT_FALSE(shown.removeCurrent || shown.addCurrent || shown.openFolder) << kind;
  }
  // An Office dialog is asked for its folder and offers adding or removing, never a new window.
  TTailInput office = Everything(tkFileDialog);
  office.officeDialog = true;
  EXPECT_EQ(TailVisibility(office), (TTailVisibility{true, true, true, true, false, false}));
  office.folderIsFavourite = true;
  EXPECT_EQ(TailVisibility(office), (TTailVisibility{true, true, true, false, true, false}));
  office.folderKnown = false;
  EXPECT_EQ(TailVisibility(office), (TTailVisibility{true, true, true, false, false, false}));

  for (const int kind : kAllKinds)
    EXPECT_EQ(AsksCurrentFolder(kind, false),
              kind == tkExplorer || kind == tkInternetExplorer || kind == tkConsole || kind == tkTerminal);
  EXPECT_TRUE(AsksCurrentFolder(tkFileDialog, true));
}

TEST(TailVisibility, FiltersAndRecentListsNeedEntriesAndTheirSettings) {
  for (const int kind : kAllKinds) {
    TTailInput input = Everything(kind);
    input.hasFilters = false;
    input.hasRecentFolders = false;
    input.recentFilesOn = false;
    const TTailVisibility shown = TailVisibility(input);
    EXPECT_FALSE(shown.filter || shown.recentFolders || shown.recentFiles) << kind;
    input = Everything(kind);
    input.recentFoldersOn = false;
    input.hasRecentFiles = false;
    EXPECT_FALSE(TailVisibility(input).recentFolders || TailVisibility(input).recentFiles) << kind;
    // "Open Folders" shows for every kind, when its setting is on and another window is open.
    input = Everything(kind);
    input.openFoldersOn = input.hasOpenFolders = true;
    EXPECT_TRUE(TailVisibility(input).openFolders) << kind;
    input.openFoldersOn = false;
    EXPECT_FALSE(TailVisibility(input).openFolders) << kind;
    input.openFoldersOn = true;
    input.hasOpenFolders = false;
    EXPECT_FALSE(TailVisibility(input).openFolders) << kind;
  }
}

TEST(TailVisibility, ExplorerJumpsSwitchOnlyOverAFileDialogWhereTheJumpIsOn) {
  for (const int kind : kAllKinds) {
    TTailInput input = Everything(kind);
    EXPECT_FALSE(TailVisibility(input).jumpSwitch) << kind;
    input.jumpOffered = true;
    EXPECT_EQ(TailVisibility(input).jumpSwitch, kind == tkFileDialog) << kind;
  }
}
