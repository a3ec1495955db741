#include "diagnostics/log_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace logformat;

namespace {

std::vector<std::wstring> Numbered(int count) {
  std::vector<std::wstring> lines;
  for (int i = 1; i <= count; ++i) lines.push_back(L"line " + std::to_wstring(i));
  return lines;
}

std::string Bytes(std::initializer_list<unsigned> values) {
  std::string bytes;
  for (unsigned v : values) bytes.push_back(static_cast<char>(v));
  return bytes;
}

// A smiling face outside the basic plane: one wchar_t on Linux, a surrogate pair on Windows.
const std::wstring kFace =
    sizeof(wchar_t) == 2 ? std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)} : std::wstring{wchar_t(0x1F600)};

}  // namespace

TEST(LogFormat, RunEventTextWithAndWithoutParameters) {
  EXPECT_EQ(RunEventText(L"Main", L""), L" Log (common): Main");
  EXPECT_EQ(RunEventText(L"Main", L"LaunchThroughScheduler required"),
            L" Log (common): Main Parameters: LaunchThroughScheduler required");
}

TEST(LogFormat, ErrorEventTextPartsAppearOnlyWhenGiven) {
  EXPECT_EQ(ErrorEventText(L"SetData\\SetPath", L"", L"", 0, L"ignored"), L" Err (common): Function: SetData\\SetPath");
  EXPECT_EQ(ErrorEventText(L"F", L"Can't open key", L"Key=X", 5, L"Access denied."),
            L" Err (common): Function: F Message: Can't open key Parameters: Key=X"
            L" Last error (5):Access denied.");
  EXPECT_EQ(ErrorEventText(L"F", L"", L"P", 0, L""), L" Err (common): Function: F Parameters: P");
  EXPECT_EQ(ErrorEventText(L"F", L"", L"", 4294967295ul, L"x"),
            L" Err (common): Function: F Last error (4294967295):x");
  EXPECT_TRUE(IsErrorText(ErrorEventText(L"F", L"", L"", 0, L"")));
  EXPECT_FALSE(IsErrorText(RunEventText(L" Err F", L"")));
}

TEST(LogFormat, ControlCharactersInAnyPartCannotEndTheLine) {
  // A window title that tries to end its line and write one of its own.
  const std::wstring forged = L"x\r\n9:00:00 PM Log (common): QuillFolder.FormCreate Parameters: begin";
  const struct {
    std::wstring text, escaped;
  } rows[] = {
      {forged, L"x<U+000D><U+000A>9:00:00 PM Log (common): QuillFolder.FormCreate Parameters: begin"},
      {L"tab\tbell\abs\bdel\x7F", L"tab<U+0009>bell<U+0007>bs<U+0008>del<U+007F>"},
      {std::wstring(L"nul\0end", 7), L"nul<U+0000>end"},
      {L"C:\\Folder \u00C4 & <x>", L"C:\\Folder \u00C4 & <x>"},
  };
  for (const auto& row : rows) EXPECT_EQ(EscapedText(row.text), row.escaped);
  for (const std::wstring& text : {RunEventText(forged, forged), ErrorEventText(forged, forged, forged, 5, forged)})
    EXPECT_EQ(text.find_first_of(L"\r\n"), std::wstring::npos) << text.c_str();
}

TEST(LogFormat, NumbersAndHandlesAreUpperCaseHexOfAtLeastSixDigits) {
  EXPECT_EQ(HexText(0), L"000000");
  EXPECT_EQ(HexText(0x2a0b6), L"02A0B6");
  EXPECT_EQ(HexText(0x1234567), L"1234567");
  EXPECT_EQ(HexText(0x5, 2), L"05");
  // A handle has 32 significant bits however the pointer carrying it was extended.
  const struct {
    std::uintptr_t value;
    const wchar_t* text;
  } handles[] = {{0, L"000000"},
                 {0x10086, L"010086"},
                 {0xFFFFFFFFu, L"FFFFFFFF"},
                 {static_cast<std::uintptr_t>(-0xEFF7A), L"FFF10086"}};
  for (const auto& h : handles) EXPECT_EQ(HandleText(reinterpret_cast<const void*>(h.value)), h.text) << h.text;
}

TEST(LogFormat, StructuredExceptionsAreNamedByTheirCode) {
  struct TCase {
    std::uint32_t code;
    std::uintptr_t info[2];
    unsigned infoCount;
    const wchar_t *className, *text;
  };
  const TCase cases[] = {
      {0xC0000005, {1, 0}, 2, L"EAccessViolation", L"Access violation at address 1234: write of address 0"},
      {0xC0000005, {0, 0x10}, 2, L"EAccessViolation", L"Access violation at address 1234: read of address 10"},
      {0xC0000005, {8, 0x99}, 2, L"EAccessViolation", L"Access violation at address 1234: execution of address 99"},
      {0xC0000005, {0, 0}, 0, L"EAccessViolation", L"Access violation at address 1234"},
      {0xC00000FD, {0, 0}, 2, L"EStackOverflow", L"Stack overflow at address 1234"},
      {0xC0000094, {0, 0}, 0, L"EDivByZero", L"Division by zero at address 1234"},
      {0xC000001D, {0, 0}, 0, L"EExternalException", L"External exception C000001D at address 1234"},
  };
  const auto padded = [](std::wstring text) {
    // Addresses are as wide as a pointer: the table's short ones padded to it.
    for (std::size_t at = 0; (at = text.find(L"address ", at)) != std::wstring::npos;) {
      at += 8;
      std::size_t end = at;
      while (end < text.size() && text[end] != L':' && text[end] != L' ') ++end;
      text.insert(at, 2 * sizeof(void*) - (end - at), L'0');
    }
    return text;
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(logformat::StructuredExceptionClass(c.code), c.className);
    EXPECT_EQ(logformat::StructuredExceptionText(c.code, 0x1234, c.info, c.infoCount), padded(c.text)) << c.text;
  }
}

TEST(LogFormat, SystemTextBecomesOneLine) {
  EXPECT_EQ(SingleLine(L"File not found.\r\n"), L"File not found.");
  EXPECT_EQ(SingleLine(L"First.\r\nSecond.\nThird. \r\n"), L"First. Second. Third.");
  EXPECT_EQ(SingleLine(L"\r\n"), L"");
}

TEST(LogCollapser, FiveEqualRunEventsGiveOneLineAndACountOfFour) {
  TLogCollapser collapser;
  std::vector<std::wstring> out;
  const std::wstring text = RunEventText(L"Timer4Timer", L"");
  EXPECT_TRUE(collapser.Accept(text, L"10:00:00", out));
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(collapser.Accept(text, L"10:00:01", out));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0], L"10:00:00 Log (common): Timer4Timer");

  EXPECT_TRUE(collapser.Accept(RunEventText(L"Other", L""), L"10:00:02", out));
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[1], L"Multiple logs: Log (common): Timer4Timer Count: 4");
  EXPECT_EQ(out[2], L"10:00:02 Log (common): Other");
  EXPECT_EQ(collapser.RunRepeats(), 0u);
}

TEST(LogCollapser, RepeatedErrorIsSuppressedAcrossRunLinesAndCountedBeforeTheNextLine) {
  TLogCollapser collapser;
  std::vector<std::wstring> out;
  const std::wstring error = ErrorEventText(L"ShowPath", L"no target", L"", 0, L"");
  EXPECT_TRUE(collapser.Accept(error, L"T1", out));
  EXPECT_TRUE(collapser.Accept(RunEventText(L"a", L""), L"T2", out));
  EXPECT_FALSE(collapser.Accept(error, L"T3", out));
  EXPECT_EQ(collapser.ErrorRepeats(), 1u);
  EXPECT_TRUE(collapser.Accept(RunEventText(L"b", L""), L"T4", out));
  EXPECT_FALSE(collapser.Accept(error, L"T5", out));
  EXPECT_FALSE(collapser.Accept(error, L"T6", out));
  EXPECT_FALSE(collapser.Accept(RunEventText(L"b", L""), L"T7", out));
  // The next accepted line is an error: both counts come first, errors before run lines.
  EXPECT_TRUE(collapser.Accept(ErrorEventText(L"Other", L"", L"", 0, L""), L"T8", out));

  const std::vector<std::wstring> expected = {
      L"T1" + error,
      L"T2 Log (common): a",
      L"Multiple errors:" + error + L" Count: 1",
      L"T4 Log (common): b",
      L"Multiple errors:" + error + L" Count: 2",
      L"Multiple logs: Log (common): b Count: 1",
      L"T8 Err (common): Function: Other",
  };
  EXPECT_EQ(out, expected);
}

TEST(LineThrottle, OneLineASecondAndTheNextSaysHowManyWereHeldBack) {
  TLineThrottle throttle(1000);
  // {tick, passes, held back as the passing line reports it}; the last steps wrap the counter.
  const struct {
    std::uint32_t now;
    bool passes;
    unsigned long heldBack;
  } steps[] = {{5, true, 0},     {5, false, 0},   {400, false, 0},        {1004, false, 0},        {1005, true, 3},
               {1006, false, 0}, {9000, true, 1}, {0xFFFFFE00u, true, 0}, {0xFFFFFFFFu, false, 0}, {0x200u, true, 1}};
  for (const auto& step : steps) {
    unsigned long heldBack = 99;
    EXPECT_EQ(throttle.Pass(step.now, heldBack), step.passes) << step.now;
    if (step.passes) {
      EXPECT_EQ(heldBack, step.heldBack) << step.now;
    }
  }
}

TEST(LogTail, TenLineRunLogGivesLinesOneToNine) {
  std::vector<std::wstring> list;
  AppendLastLogEntries(Numbered(10), list);
  std::vector<std::wstring> expected = {L"Last log entries:"};
  for (int i = 1; i <= 9; ++i) expected.push_back(L"line " + std::to_wstring(i));
  EXPECT_EQ(list, expected);
}

TEST(LogTail, LongRunLogGivesTwentyOneLinesShortOneOnlyTheHeader) {
  std::vector<std::wstring> list;
  AppendLastLogEntries(Numbered(30), list);
  ASSERT_EQ(list.size(), 22u);
  EXPECT_EQ(list[1], L"line 9");
  EXPECT_EQ(list[21], L"line 29");
  for (int count : {0, 1}) {
    list.clear();
    AppendLastLogEntries(Numbered(count), list);
    EXPECT_EQ(list, std::vector<std::wstring>{L"Last log entries:"}) << count;
  }
}

TEST(LogTail, ErrorBlockHasHeadTailAndTwoSeparators) {
  const auto block = ErrorBlock(L"01.02.2024 10:00:00", L" Err (common): Function: F", Numbered(3));
  const std::wstring separator(40, L'=');
  const std::vector<std::wstring> expected = {L"01.02.2024 10:00:00:  Err (common): Function: F",
                                              L"Last log entries:",
                                              L"line 1",
                                              L"line 2",
                                              separator,
                                              separator};
  EXPECT_EQ(block, expected);
}

TEST(LogRotation, PreviousGenerationName) {
  EXPECT_EQ(PrevLogName(L"C:\\Users\\u\\Log\\folder.log"), L"C:\\Users\\u\\Log\\folder_prev.log");
  EXPECT_EQ(PrevLogName(L"C:\\Log\\folder_error.log"), L"C:\\Log\\folder_error_prev.log");
  EXPECT_EQ(PrevLogName(L"ab"), L"_prev.log");
}

TEST(LogRotation, OnlyMoreThan300000BytesRotates) {
  EXPECT_FALSE(NeedsRotation(0));
  EXPECT_FALSE(NeedsRotation(300000));
  EXPECT_TRUE(NeedsRotation(300001));
  EXPECT_TRUE(NeedsRotation(0x100000000ull));
}

TEST(LogEncoding, NewFileStartsWithMarkAndEndsLinesWithCrLf) {
  EXPECT_EQ(EncodeLogLines({L"A", L"b"}, true),
            Bytes({0xFF, 0xFE, 'A', 0, 0x0D, 0, 0x0A, 0, 'b', 0, 0x0D, 0, 0x0A, 0}));
  EXPECT_EQ(EncodeLogLines({L""}, false), Bytes({0x0D, 0, 0x0A, 0}));
  EXPECT_EQ(EncodeLogLines({}, false), std::string());
}

TEST(LogEncoding, NonAsciiAndSurrogatePairsAreLittleEndianUnits) {
  const std::wstring text = std::wstring(L"\u00C4\u20AC") + kFace;
  EXPECT_EQ(EncodeLogLines({text}, false), Bytes({0xC4, 0x00, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE, 0x0D, 0, 0x0A, 0}));
}

TEST(LogEncoding, RoundTripKeepsEveryCharacter) {
  const std::vector<std::wstring> lines = {L"10:00:00 Log (common): \u00DCbung \u00E9t\u00E9", L"",
                                           L"Pfad C:\\\u65E5\u672C\\" + kFace + L" Ende", kFace + kFace};
  EXPECT_EQ(DecodeLogLines(EncodeLogLines(lines, true)), lines);
  EXPECT_EQ(DecodeLogLines(EncodeLogLines(lines, false)), lines);
}

TEST(LogDecoding, ToleratesMissingMarkPartialLastLineLoneLfAndOddByte) {
  std::string bytes = Bytes({0xFF, 0xFE, 'a', 0, 0x0A, 0, 'b', 0, 0x0D, 0, 0x0A, 0, 'c', 0, 'd'});
  EXPECT_EQ(DecodeLogLines(bytes), (std::vector<std::wstring>{L"a", L"b", L"c"}));
  EXPECT_TRUE(DecodeLogLines(std::string()).empty());
  EXPECT_TRUE(DecodeLogLines(Bytes({0xFF, 0xFE})).empty());
  // Appended blocks and a lone surrogate in a byte vector read back unit for unit.
  const std::string appended = EncodeLogLines({L"one"}, true) + Bytes({'x', 0, 0x3D, 0xD8, 'y', 0});
  const std::vector<char> vector(appended.begin(), appended.end());
  EXPECT_EQ(DecodeLogLines(std::string_view(vector.data(), vector.size())),
            (std::vector<std::wstring>{L"one", std::wstring{L'x', wchar_t(0xD83D), L'y'}}));
}
