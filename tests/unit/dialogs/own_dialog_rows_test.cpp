// The Dialogs page's rows: what saving writes and deletes after adding, editing, filling from a
// picked window and removing, and that a stored entry nobody touched is never rewritten.
#include "dialogs/own_dialog_rows.h"

#include <gtest/gtest.h>

namespace {

TStoredOwnDialog Stored(const wchar_t* name, const wchar_t* className, const wchar_t* problem = L"") {
  TStoredOwnDialog stored;
  stored.values = {name, L"", className, L"", L"keys", L"", 0};
  stored.problem = problem;
  return stored;
}

TEST(OwnDialogRows, OnlyWhatWasEditedIsWrittenAndOnlyWhatWasStoredIsDeleted) {
  auto rows = TOwnDialogRows::FromStore({Stored(L"Dialog 1", L"A"), Stored(L"Odd", L"B", L"Class is not a text")});
  EXPECT_FALSE(rows.Changed());
  EXPECT_EQ(rows[1].problem, L"Class is not a text");

  const std::size_t added = rows.Add();
  EXPECT_EQ(rows[added].values.name, L"Dialog 2") << "the first number no entry has";
  EXPECT_EQ(rows[added].problem, L"no Class") << "a new entry says what it lacks";
  rows.Set(added, TOwnDialogField::Class, L"QfNew");
  rows.Set(added, TOwnDialogField::Box, L"QfPane\\Edit");
  EXPECT_EQ(rows[added].problem, L"");
  rows.Set(0, TOwnDialogField::Method, L"paste");
  EXPECT_EQ(rows[0].problem, L"unknown Method: paste");
  rows.Remove(0);
  // Saving deletes the removed entries after it writes: a new entry of a removed one's name would
  // go with it.
  const std::size_t again = rows.Add();
  EXPECT_EQ(rows[again].values.name, L"Dialog 3");
  rows.Remove(again);

  ASSERT_TRUE(rows.Changed());
  const auto written = rows.Written();
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0].name, L"Dialog 2");
  EXPECT_EQ(written[0].className, L"QfNew");
  EXPECT_EQ(rows.Removed(), (std::vector<std::wstring>{L"Dialog 1"})) << "the never stored one is not deleted";
  EXPECT_EQ(rows[0].values.name, L"Odd");
  EXPECT_FALSE(rows[0].edited) << "untouched: its stored values stay as they are";
}

TEST(OwnDialogRows, APickedWindowMakesAnEntryThatTakesIt) {
  auto rows = TOwnDialogRows::FromStore({});
  const std::size_t row = rows.Add();
  struct {
    TPickedWindow picked;
    const wchar_t* title;
    const wchar_t* method;
    const wchar_t* problem;
  } cases[] = {
      {{L"target_windows.exe", L"QfTestDialog", L"Quillrook Test Dialog", L"QfPane\\QfInner\\Edit"},
       L"Quillrook Test Dialog",
       L"edit",
       L""},
      {{L"java.exe", L"SunAwtDialog", L"Open", L""}, L"Open", L"keys", L""},
      // Another program's title with a line break in it: the entry's `?` takes any character there.
      {{L"x.exe", L"Qt5QWindow", L"Save\r\nAs", L""}, L"Save??As", L"keys", L""},
      {{L"x.exe", L"Qt5QWindow", std::wstring(300, L't'), L""}, nullptr, L"keys", L""},
      {{L"x.exe", L"Deep", L"", L"a\\b\\c\\d\\e\\f\\g\\h\\i"},
       L"",
       L"edit",
       L"Box is no path of at most 8 classes: a\\b\\c\\d\\e\\f\\g\\h\\i"},
  };
  for (const auto& c : cases) {
    rows.Fill(row, c.picked);
    const TOwnDialogValues& v = rows[row].values;
    EXPECT_EQ(v.className, c.picked.className);
    EXPECT_EQ(v.method, c.method);
    EXPECT_EQ(rows[row].problem, c.problem) << v.className;
    if (c.title) {
      EXPECT_EQ(v.title, c.title);
    } else {
      EXPECT_EQ(v.title.size(), kOwnDialogTextLimit);
      EXPECT_EQ(v.title.back(), L'*');
      EXPECT_TRUE(WildcardMatch(v.title, c.picked.title)) << "the cut title still takes the window";
    }
  }
  EXPECT_EQ(rows.Written().size(), 1u);
}

}  // namespace
