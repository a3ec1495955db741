// The options dialog's lists as data: every Up/Down case, adding and removing, the editor's
// level rules and placement, and the round trip through the store's values. Rows are written
// as text: "[T]" a submenu header titled T, "  P" an entry for path P, "P" a top-level folder
// (a folder's title is its path unless given as "P=T").
#include "dialogs/list_editing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "menu/favourites_rules.h"

namespace {

using TLines = std::vector<std::wstring>;

TFavouriteRows Rows(const TLines& lines) {
  std::vector<TFavouriteRow> rows;
  for (std::wstring line : lines) {
    if (line.starts_with(L"[")) {
      rows.push_back({line.substr(1, line.size() - 2), L"", kSubmenuImage, 0});
      continue;
    }
    const int level = line.starts_with(L"  ") ? 1 : 0;
    if (level == 1) line = line.substr(2);
    const auto equals = line.find(L'=');
    const std::wstring path = line.substr(0, equals);
    rows.push_back({equals == std::wstring::npos ? path : line.substr(equals + 1), path, 0, level});
  }
  return TFavouriteRows(rows);
}

TLines Lines(const TFavouriteRows& rows) {
  TLines lines;
  for (const auto& row : rows.Rows()) {
    if (row.path.empty() && row.level == 0) {
      lines.push_back(L"[" + row.caption + L"]");
      continue;
    }
    std::wstring line = (row.level == 1 ? L"  " : L"") + row.path;
    if (row.caption != row.path) line += L"=" + row.caption;
    lines.push_back(line);
  }
  return lines;
}

struct TMove {
  TLines before;
  int selected;
  TLines after;  // empty: nothing moves
  int selectedAfter;
};

void CheckMoves(const std::vector<TMove>& moves, bool up) {
  for (const auto& move : moves) {
    TFavouriteRows rows = Rows(move.before);
    const auto selection = up ? rows.MoveUp(move.selected) : rows.MoveDown(move.selected);
    if (move.after.empty()) {
      EXPECT_FALSE(selection) << (up ? "up " : "down ") << move.selected;
      EXPECT_EQ(Lines(rows), move.before);
    } else {
      EXPECT_EQ(Lines(rows), move.after) << (up ? "up " : "down ") << move.selected;
      EXPECT_EQ(selection, move.selectedAfter) << (up ? "up " : "down ") << move.selected;
    }
  }
}

}  // namespace

TEST(FavouriteRows, UpMovesFoldersAndWholeSubmenus) {
  const TLines list{L"A", L"[S]", L"  s1", L"  s2", L"B", L"[T]", L"  t1", L"[U]", L"C"};
  CheckMoves(
      {
          // A header below a top-level folder goes above it, with its entries.
          {list, 1, {L"[S]", L"  s1", L"  s2", L"A", L"B", L"[T]", L"  t1", L"[U]", L"C"}, 0},
          // A header below submenus goes above all of them.
          {list, 7, {L"A", L"[S]", L"  s1", L"  s2", L"B", L"[U]", L"[T]", L"  t1", L"C"}, 5},
          {{L"[S]", L"  s1", L"[U]"}, 2, {L"[U]", L"[S]", L"  s1"}, 0},
          // A folder below a submenu goes above the whole submenu; otherwise one row up.
          {list, 4, {L"A", L"B", L"[S]", L"  s1", L"  s2", L"[T]", L"  t1", L"[U]", L"C"}, 1},
          {list, 8, {L"A", L"[S]", L"  s1", L"  s2", L"B", L"[T]", L"  t1", L"C", L"[U]"}, 7},
          // An entry swaps within its submenu, and never leaves it.
          {list, 3, {L"A", L"[S]", L"  s2", L"  s1", L"B", L"[T]", L"  t1", L"[U]", L"C"}, 2},
          {list, 2, {}, 0},
          {list, 0, {}, 0},
      },
      true);
}

TEST(FavouriteRows, DownMovesFoldersAndWholeSubmenus) {
  const TLines list{L"A", L"[S]", L"  s1", L"  s2", L"B", L"[T]", L"  t1", L"[U]", L"C"};
  CheckMoves(
      {
          // A header goes below the folder that follows its block...
          {list, 1, {L"A", L"B", L"[S]", L"  s1", L"  s2", L"[T]", L"  t1", L"[U]", L"C"}, 2},
          // ...or below all the submenus that follow it.
          {list, 5, {L"A", L"[S]", L"  s1", L"  s2", L"B", L"[U]", L"[T]", L"  t1", L"C"}, 6},
          {{L"[S]", L"[T]", L"  t1", L"[U]"}, 0, {L"[T]", L"  t1", L"[U]", L"[S]"}, 3},
          // A block that ends the list stays.
          {{L"A", L"[S]", L"  s1"}, 1, {}, 0},
          // A folder above a submenu goes below its last entry; otherwise one row down.
          {list, 0, {L"[S]", L"  s1", L"  s2", L"A", L"B", L"[T]", L"  t1", L"[U]", L"C"}, 3},
          {{L"A", L"B"}, 0, {L"B", L"A"}, 1},
          // An entry swaps within its submenu and stops at its end.
          {list, 2, {L"A", L"[S]", L"  s2", L"  s1", L"B", L"[T]", L"  t1", L"[U]", L"C"}, 3},
          {list, 3, {}, 0},
          {list, 8, {}, 0},
      },
      false);
}

TEST(FavouriteRows, AddingAndRemoving) {
  TFavouriteRows rows = Rows({L"A", L"[S]", L"  s1", L"B"});
  // Below a header or an entry the new folder goes into the submenu; below a folder it stays out.
  EXPECT_EQ(rows.AddFolder(L"N1", 1), 2);
  EXPECT_EQ(rows.AddFolder(L"N2", 3), 4);
  EXPECT_EQ(rows.AddFolder(L"N3", 0), 1);
  EXPECT_EQ(rows.AddFolder(L"N4", std::nullopt), 7);
  EXPECT_EQ(Lines(rows), (TLines{L"A", L"N3", L"[S]", L"  N1", L"  s1", L"  N2", L"B", L"N4"}));
  // A path of any level is there once, compared as the registry will compare the value names:
  // trimmed and case-blind.
  EXPECT_EQ(rows.AddFolder(L"s1", std::nullopt), std::nullopt);
  EXPECT_EQ(rows.RefusedFolder(L" S1 ", 1), kPathExists);
  EXPECT_EQ(rows.AddFolder(L"S2", std::nullopt), 8);
  EXPECT_EQ(rows.AddSubmenu(), 9);
  EXPECT_EQ(rows[9], (TFavouriteRow{L"", L"", kSubmenuImage, 0}));
  // A submenu with entries cannot go; an empty one can.
  EXPECT_FALSE(rows.CanRemove(2));
  EXPECT_TRUE(rows.CanRemove(9));
  EXPECT_TRUE(rows.CanRemove(4));
  rows.Remove(9);
  EXPECT_EQ(rows.Size(), 9u);

  // A folder named like a submenu entry cannot stand at the top level (it would read back as an
  // entry of D:\Old); inside a submenu it keeps its name.
  for (const wchar_t* path : {L"D:\\Old$2", L"D:\\Old$02", L" D:\\Old$2 "})
    EXPECT_EQ(rows.RefusedFolder(path, 0), kEndsLikeSubmenuEntry) << path;
  EXPECT_EQ(rows.AddFolder(L"D:\\Old$2", std::nullopt), std::nullopt);
  EXPECT_EQ(rows.AddFolder(L"D:\\Old$2", 2), 3);
  EXPECT_EQ(rows.RefusedFolder(L"D:\\Old$3", std::nullopt), L"");
  EXPECT_EQ(rows.RefusedFolder(L"\\\\server\\c$\\logs", std::nullopt), L"");
}

TEST(FavouriteRows, EditorRulesPerLevelAndPlacement) {
  const TLines list{L"A=Alpha", L"[S]", L"  s1=One", L"  s2=Two", L"B=Beta", L"[T]", L"  t1=Three"};
  struct TCase {
    int row;
    int parent;  // 0 None, 1 S, 2 T
    std::wstring path;
    std::wstring title;
    std::wstring answer;
    TLines after;
  } cases[] = {
      // The same title once per level, the same path once in the whole list (trimmed and
      // case-blind, as stored); the row itself does not count; a title's case counts.
      {0, 0, L"B", L"Alpha", kSamePathInLevel, {}},
      {0, 0, L" b ", L"Alpha", kSamePathInLevel, {}},
      {0, 0, L"A", L"Beta", kSameNameInLevel, {}},
      {0, 0, L"A", L"beta", L"", {L"A=beta", L"[S]", L"  s1=One", L"  s2=Two", L"B=Beta", L"[T]", L"  t1=Three"}},
      {0, 0, L"A", L"S", kSameNameInLevel, {}},
      {4, 2, L"t1", L"Beta", kSamePathInLevel, {}},
      {0, 0, L"S1", L"Alpha", kPathExists, {}},
      {2, 2, L"T1", L"One", kSamePathInLevel, {}},
      {6, 1, L"a", L"Three", kPathExists, {}},
      // A top-level path must not read back as a submenu entry; in a submenu it may.
      {0, 0, L"A$2", L"Alpha", kEndsLikeSubmenuEntry, {}},
      {2, 1, L"s1$2", L"One", L"", {L"A=Alpha", L"[S]", L"  s1$2=One", L"  s2=Two", L"B=Beta", L"[T]", L"  t1=Three"}},
      // A folder given its submenu's own title is refused: the header is part of the block.
      {2, 1, L"s1", L"S", kSameNameInLevel, {}},
      {2, 1, L"s1", L"Two", kSameNameInLevel, {}},
      // The same path in another level is fine: into T, after its last entry.
      {2, 2, L"s1", L"One", L"", {L"A=Alpha", L"[S]", L"  s2=Two", L"B=Beta", L"[T]", L"  t1=Three", L"  s1=One"}},
      // The last entry of a submenu moved to None stays where it is, at the top level.
      {3, 0, L"s2", L"Two", L"", {L"A=Alpha", L"[S]", L"  s1=One", L"s2=Two", L"B=Beta", L"[T]", L"  t1=Three"}},
      // Another entry moved to None goes to directly after its submenu.
      {2, 0, L"s1", L"Uno", L"", {L"A=Alpha", L"[S]", L"  s2=Two", L"s1=Uno", L"B=Beta", L"[T]", L"  t1=Three"}},
      // A folder directly after a submenu goes into it without moving; another one moves.
      {4, 1, L"B", L"Beta", L"", {L"A=Alpha", L"[S]", L"  s1=One", L"  s2=Two", L"  B=Beta", L"[T]", L"  t1=Three"}},
      {0, 2, L"A", L"Alpha", L"", {L"[S]", L"  s1=One", L"  s2=Two", L"B=Beta", L"[T]", L"  t1=Three", L"  A=Alpha"}},
      // Headers have no path: one may be renamed while others exist, but not to another's title.
      {1, 0, L"", L"Tools", L"", {L"A=Alpha", L"[Tools]", L"  s1=One", L"  s2=Two", L"B=Beta", L"[T]", L"  t1=Three"}},
      {1, 0, L"", L"T", kSameNameInLevel, {}},
      // No title, no answer.
      {0, 0, L"A", L"", kNoAnswer, {}},
  };
  for (const auto& c : cases) {
    TFavouriteRows rows = Rows(list);
    const int initial = rows.ParentOf(c.row);
    EXPECT_EQ(rows.ApplyEdit(c.row, c.parent, initial, c.path, c.title, 0), c.answer) << c.row << L" " << c.title;
    EXPECT_EQ(Lines(rows), c.after.empty() ? list : c.after) << c.row << L" " << c.title;
  }
  // A placeholder with no entry selected (initial parent -1) is completed in place.
  TFavouriteRows rows = Rows(list);
  rows.AddSubmenu();
  EXPECT_EQ(rows.ApplyEdit(7, 0, -1, L"", L"New", kSubmenuImage), L"");
  EXPECT_EQ(Lines(rows).back(), L"[New]");
}

TEST(FavouriteRows, StoreRoundTripNamesHeadersByPositionAndKeepsDollarPaths) {
  const TFavouriteRows rows({{L"  Docs ", L" C:\\Docs ", 12, 0},
                             {L" Work ", L"", 5, 0},
                             {L"Share", L"\\\\server\\c$\\logs", 0, 1},
                             {L"Tools", L"C:\\Tools", 3, 1},
                             {L"Old$Stuff", L"D:\\Old", 0, 0},
                             {L"Media", L"", 5, 0},
                             {L"Music", L"E:\\Music", 2, 1}});
  const std::vector<TStoreValue> values = rows.ToStore();
  EXPECT_EQ(values, (std::vector<TStoreValue>{{L"C:\\Docs", L"Docs$12"},
                                              {L"Submenu1", L" Work $5"},
                                              {L"\\\\server\\c$\\logs$2", L"Share$0"},
                                              {L"C:\\Tools$2", L"Tools$3"},
                                              {L"D:\\Old", L"Old$Stuff$0"},
                                              {L"Submenu5", L"Media$5"},
                                              {L"E:\\Music$2", L"Music$2"}}));
  std::vector<std::wstring> names, data;
  for (const auto& [name, value] : values) {
    names.push_back(name);
    data.push_back(value);
  }
  const TFavouriteRows back = TFavouriteRows::FromStore(names, data);
  EXPECT_EQ(Lines(back), (TLines{L"C:\\Docs=Docs", L"[ Work ]", L"  \\\\server\\c$\\logs=Share", L"  C:\\Tools=Tools",
                                 L"D:\\Old=Old$Stuff", L"[Media]", L"  E:\\Music=Music"}));
  EXPECT_EQ(back[0].image, 12);
  EXPECT_EQ(TFavouriteRows::FromStore(names, data).ToStore(), values) << "a second round changes nothing";
}

TEST(FilterRows, EditorRulesMovesAndStore) {
  TFilterRows filters = TFilterRows::FromStore({L"*.txt", L"*.log"}, {L"Text", L"Logs"});
  EXPECT_EQ(filters.ApplyEdit(std::nullopt, L"Pictures", L""), kNoAnswer);
  EXPECT_EQ(filters.ApplyEdit(std::nullopt, L"", L"*.png"), kBothFields);
  EXPECT_EQ(filters.ApplyEdit(std::nullopt, L"Text", L"*.png"), kSameNameInLevel);
  EXPECT_EQ(filters.ApplyEdit(std::nullopt, L"Pictures", L"*.log"), kSameMask);
  // Masks that differ only in blanks or case are one registry value name.
  EXPECT_EQ(filters.ApplyEdit(std::nullopt, L"Pictures", L" *.LOG  "), kSameMask);
  EXPECT_EQ(filters.ApplyEdit(0, L"Text", L"*.txt"), L"") << "an unchanged edit is fine";
  EXPECT_EQ(filters.ApplyEdit(std::nullopt, L" Pictures ", L" *.png "), L"");
  EXPECT_EQ(filters.MoveUp(2), 1);
  EXPECT_EQ(filters.MoveUp(0), std::nullopt);
  EXPECT_EQ(filters.MoveDown(2), std::nullopt);
  filters.Remove(2);
  EXPECT_EQ(filters.ToStore(), (std::vector<TStoreValue>{{L"*.txt", L"Text"}, {L"*.png", L"Pictures"}}));
}
