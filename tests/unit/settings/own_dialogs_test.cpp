// The user's own dialog entries as tables: what is taken, what is refused and why, and which
// window each one takes.
#include "settings/own_dialogs.h"

#include <gtest/gtest.h>

TEST(OwnDialogs, EntriesAreCheckedWholeAndBadOnesSayWhy) {
  struct {
    TOwnDialogValues values;
    bool taken;
    const wchar_t* problem;
  } rows[] = {
      {{L"a", L"arch.exe", L"QfTestDialog", L"", L"edit", L"QfPane\\QfInner\\Edit", 0}, true, L""},
      {{L"b", L"", L"Qt5*Window*", L"Open*", L"KEYS", L"", 0}, true, L""},
      {{L"c", L"", L"SunAwtDialog", L"", L"address", L"", (1 << 16) | 'D'}, true, L""},
      {{L"d", L"", L"", L"", L"edit", L"Edit", 0}, false, L"no Class"},
      {{L"e", L"", L"X", L"", L"paste", L"", 0}, false, L"unknown Method: paste"},
      {{L"f", L"..\\evil.exe", L"X", L"", L"keys", L"", 0}, false, L"Program is no file name: ..\\evil.exe"},
      {{L"g", L"", L"X", L"", L"edit", L"", 0}, false, L"Box is no path of at most 8 classes: "},
      {{L"h", L"", L"X", L"", L"edit", L"Pane\\\\Edit", 0},
       false,
       L"Box is no path of at most 8 classes: Pane\\\\Edit"},
      {{L"i", L"", L"X", L"", L"edit", L"Pane\\*", 0}, false, L"Box is no path of at most 8 classes: Pane\\*"},
      {{L"j", L"", L"X", L"", L"edit", L"a\\b\\c\\d\\e\\f\\g\\h\\i", 0},
       false,
       L"Box is no path of at most 8 classes: a\\b\\c\\d\\e\\f\\g\\h\\i"},
      {{L"k", L"", L"X\r\nY", L"", L"keys", L"", 0}, false, L"a value holds control characters"},
      {{L"l", L"", L"X", L"", L"address", L"", (0x30 << 16) | 'L'}, false, L"Key names no key: 3145804"},
      {{L"m", L"", std::wstring(300, L'x'), L"", L"keys", L"", 0}, false, L"a value is longer than 256 characters"},
      // A subkey name is another program's to choose too: one with a line break would forge log lines.
      {{L"n\r\n12:00 Log (common): forged", L"", L"X", L"", L"keys", L"", 0}, false, L"the name is no entry's name"},
  };
  for (const auto& r : rows) {
    std::wstring problem;
    const auto entry = ReadOwnDialog(r.values, problem);
    EXPECT_EQ(entry.has_value(), r.taken) << r.values.name;
    EXPECT_EQ(problem, r.problem) << r.values.name;
  }
  std::wstring problem;
  const auto edit = ReadOwnDialog(rows[0].values, problem);
  ASSERT_TRUE(edit);
  EXPECT_EQ(edit->method, TOwnDialogMethod::Edit);
  EXPECT_EQ(edit->box, (std::vector<std::wstring>{L"QfPane", L"QfInner", L"Edit"}));
  EXPECT_EQ(ReadOwnDialog(rows[1].values, problem)->method, TOwnDialogMethod::Keys);
  EXPECT_EQ(ReadOwnDialog(rows[2].values, problem)->addressKey, (1 << 16) | 'D');
  TOwnDialogValues address{L"n", L"", L"X", L"", L"address", L"", 0};
  EXPECT_EQ(ReadOwnDialog(address, problem)->addressKey, (2 << 16) | 'L') << "Ctrl+L unless the entry names a key";
}

TEST(OwnDialogs, WildcardsAndTheFirstEntryThatTakesTheWindow) {
  struct {
    const wchar_t *pattern, *text;
    bool match;
  } rows[] = {{L"QfTestDialog", L"qftestdialog", true},
              {L"Qt5*Window*", L"Qt5152QWindowIcon", true},
              {L"Qt5*Window*", L"Qt6QWindow", false},
              {L"Open?", L"Opens", true},
              {L"Open?", L"Open", false},
              {L"*", L"", true},
              {L"a*b*c", L"aXXbYYc", true},
              {L"a*b*c", L"aXXbYY", false},
              {L"", L"x", false},
              {L"*.*", L"file.txt", true}};
  for (const auto& r : rows) EXPECT_EQ(WildcardMatch(r.pattern, r.text), r.match) << r.pattern << " " << r.text;
  // No pattern costs more than a moment, however many stars it holds.
  EXPECT_FALSE(WildcardMatch(std::wstring(100, L'*') + L"b", std::wstring(5000, L'a')));

  std::wstring problem;
  std::vector<TOwnDialog> entries;
  for (const TOwnDialogValues& v : {TOwnDialogValues{L"1", L"arch.exe", L"Qf*", L"", L"keys", L"", 0},
                                    TOwnDialogValues{L"2", L"", L"QfTestDialog", L"Save*", L"keys", L"", 0},
                                    TOwnDialogValues{L"3", L"", L"QfTestDialog", L"", L"keys", L"", 0}})
    entries.push_back(*ReadOwnDialog(v, problem));
  EXPECT_EQ(FindOwnDialog(entries, L"ARCH.EXE", L"QfTestDialog", L"Open")->name, L"1");
  EXPECT_EQ(FindOwnDialog(entries, L"other.exe", L"QfTestDialog", L"Save As")->name, L"2");
  EXPECT_EQ(FindOwnDialog(entries, L"other.exe", L"QfTestDialog", L"Open")->name, L"3");
  EXPECT_EQ(FindOwnDialog(entries, L"other.exe", L"#32770", L"Open"), nullptr);
}
