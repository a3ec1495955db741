#include "settings/command_line.h"
#include "menu/favourites_rules.h"
#include "win/text_rules.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// Folders that "exist" for these cases, as the file system would answer.
bool KnownFolder(const std::wstring& path) {
  static const std::set<std::wstring> folders = {L"C:\\Data", L"C:\\My Folder", L"/update"};
  return folders.count(path) != 0;
}

TEST(CommandLineFolder, NoArgumentsIsEmpty) { EXPECT_EQ(BuildCommandLineFolder({}, KnownFolder), L""); }

TEST(CommandLineFolder, ExistingFolderIsTakenAsItStands) {
  EXPECT_EQ(BuildCommandLineFolder({L"C:\\My Folder", L"ignored"}, KnownFolder), L"C:\\My Folder");
}

TEST(CommandLineFolder, UnquotedPathWithBlanksIsJoinedBack) {
  EXPECT_EQ(BuildCommandLineFolder({L"C:\\My", L"Folder"}, KnownFolder), L"C:\\My Folder");
  EXPECT_EQ(BuildCommandLineFolder({L"C:\\a", L"b", L"c"}, KnownFolder), L"C:\\a b c");
}

TEST(CommandLineFolder, SwitchesAndUnknownTextPassThroughWithoutTrailingBlank) {
  EXPECT_EQ(BuildCommandLineFolder({L"/update"}, [](const std::wstring&) { return false; }), L"/update");
  EXPECT_EQ(BuildCommandLineFolder({L"/restart"}, KnownFolder), L"/restart");
  EXPECT_EQ(BuildCommandLineFolder({L"x", L""}, KnownFolder), L"x ");
}

TEST(QuotedArgument, QuotesAndDoublesTheBackslashesBeforeAQuote) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"C:\\My Folder", L"\"C:\\My Folder\""},
      {L"C:\\My Folder\\", L"\"C:\\My Folder\\\\\""},  // the trailing backslash must not escape the quote
      {L"\\\\server\\c$\\logs", L"\"\\\\server\\c$\\logs\""},
      {L"/restart", L"\"/restart\""},
      {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
      {L"a\\\"b", L"\"a\\\\\\\"b\""},
      {L"", L"\"\""},
  };
  for (const auto& [arg, quoted] : cases) EXPECT_EQ(QuotedArgument(arg), quoted) << arg;
}

TEST(CheckPath, AddsOneBackslashOnlyWhereMissing) {
  std::wstring empty;
  CheckPath(empty);
  EXPECT_EQ(empty, L"");
  std::wstring plain = L"C:\\Data";
  CheckPath(plain);
  EXPECT_EQ(plain, L"C:\\Data\\");
  CheckPath(plain);
  EXPECT_EQ(plain, L"C:\\Data\\");
}

TEST(Trim, RemovesBlanksAndControlCharactersAtBothEnds) {
  EXPECT_EQ(text::Trim(L"  C:\\My Folder \t\r\n"), L"C:\\My Folder");
  EXPECT_EQ(text::Trim(L"   "), L"");
  EXPECT_EQ(text::Trim(L"x"), L"x");
}

}  // namespace

TEST(CommandLine, EraseIntelKeepsNoLogsOnlyAsTheFirstArgumentAndSpelledExactly) {
  EXPECT_TRUE(KeepsNoLogs({L"/eraseintel"}));
  EXPECT_TRUE(KeepsNoLogs({L"/eraseintel", L"C:\\Docs"}));
  EXPECT_FALSE(KeepsNoLogs({L"/EraseIntel"}));
  EXPECT_FALSE(KeepsNoLogs({L"/restart", L"/eraseintel"}));
  EXPECT_FALSE(KeepsNoLogs({}));
}
