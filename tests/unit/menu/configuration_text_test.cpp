#include "menu/configuration_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../test_code_page.h"

namespace {

using Texts = std::vector<std::wstring>;

const TLatin1CodePage kAnsi;

TListText Decode(const std::string& bytes) { return DecodeListText(bytes, kAnsi); }

// Cyrillic, a Greek letter, and a character beyond the basic plane (two UTF-16 units on Windows).
const std::wstring kWide = L"\u0414\u043E\u043A\u0443\u043C\u0435\u043D\u0442\u044B \u03A9 \U0001F4C1";

TEST(ConfigurationText, LinesEndAtCrLfLoneCrOrLoneLfAndAFinalEndAddsNoEntry) {
  EXPECT_EQ(SplitLines(L"a\r\nb\rc\nd"), (Texts{L"a", L"b", L"c", L"d"}));
  EXPECT_EQ(SplitLines(L"a\r\n"), (Texts{L"a"}));
  // An empty line is an entry: the check of the set decides about it, not the reader.
  EXPECT_EQ(SplitLines(L"a\r\n\r\nb\n\n"), (Texts{L"a", L"", L"b", L""}));
  EXPECT_EQ(SplitLines(L"\n\r"), (Texts{L"", L""}));
  EXPECT_TRUE(SplitLines(L"").empty());
}

TEST(ConfigurationText, MarkSelectsTheEncodingAndItsAbsenceTheAnsiCodePage) {
  const auto ansi = Decode("C:\\Caf\xE9$0\r\nD:\\\r\n");
  EXPECT_EQ(ansi.encoding, TTextEncoding::Ansi);
  EXPECT_EQ(ansi.lines, (Texts{L"C:\\Caf\u00E9$0", L"D:\\"}));

  const auto utf8 = Decode("\xEF\xBB\xBF\xD0\x94\xD0\xBE\xD0\xBA$0\r\n\xF0\x9F\x93\x81\n");
  EXPECT_EQ(utf8.encoding, TTextEncoding::Utf8);
  EXPECT_EQ(utf8.lines, (Texts{L"\u0414\u043E\u043A$0", L"\U0001F4C1"}));

  const auto le =
      Decode(std::string("\xFF\xFE"
                         "A\0\x14\x04\r\0\n\0",
                         10));
  EXPECT_EQ(le.encoding, TTextEncoding::Utf16Le);
  EXPECT_EQ(le.lines, (Texts{L"A\u0414"}));

  const auto be = Decode(std::string("\xFE\xFF\0A\x04\x14\0\r\xD8\x3D\xDC\xC1", 12));
  EXPECT_EQ(be.encoding, TTextEncoding::Utf16Be);
  EXPECT_EQ(be.lines, (Texts{L"A\u0414", L"\U0001F4C1"}));
}

TEST(ConfigurationText, BrokenBytesBecomeReplacementsWithoutSwallowingLineEnds) {
  // A truncated sequence before a line end, a stray continuation byte, an overlong slash.
  const auto utf8 = Decode(
      "\xEF\xBB\xBF"
      "a\xE2\x82\r\nb\x80\n\xC0\xAF");
  EXPECT_EQ(utf8.lines, (Texts{L"a\uFFFD", L"b\uFFFD", L"\uFFFD"}));
  // Half a UTF-16 character at the end, and an unpaired high surrogate.
  const auto odd =
      Decode(std::string("\xFF\xFE"
                         "a\0\x00\xD8"
                         "b\0c",
                         9));
  EXPECT_EQ(odd.lines, (Texts{L"a\uFFFDb\uFFFD"}));
}

TEST(ConfigurationText, WritingEndsEveryLineWithCrLfAndAnsiHasNoMark) {
  TTextEncoding used = TTextEncoding::Utf16Be;
  EXPECT_EQ(EncodeListText({L"C:\\Caf\u00E9$0", L"D:\\$1"}, TTextEncoding::Ansi, kAnsi, &used),
            "C:\\Caf\xE9$0\r\nD:\\$1\r\n");
  EXPECT_EQ(used, TTextEncoding::Ansi);
  EXPECT_EQ(EncodeListText({}, TTextEncoding::Ansi, kAnsi), "");
  EXPECT_EQ(EncodeListText({L""}, TTextEncoding::Ansi, kAnsi), "\r\n");
  EXPECT_EQ(EncodeListText({L"A"}, TTextEncoding::Utf16Be, kAnsi), std::string("\xFE\xFF\0A\0\r\0\n", 8));
}

TEST(ConfigurationText, NamesTheCodePageCannotHoldAreWrittenAsUtf8WithItsMark) {
  TTextEncoding used = TTextEncoding::Ansi;
  const std::string bytes = EncodeListText({L"plain", kWide}, TTextEncoding::Ansi, kAnsi, &used);
  EXPECT_EQ(used, TTextEncoding::Utf8);
  ASSERT_TRUE(bytes.starts_with("\xEF\xBB\xBF"));
  EXPECT_EQ(Decode(bytes).lines, (Texts{L"plain", kWide}));
}

TEST(ConfigurationText, EachEncodingRoundTripsWithItsMark) {
  const Texts lines{L"\\\\server\\c$\\data$2", L"Submenu Work", L"", kWide};
  for (const auto encoding : {TTextEncoding::Utf8, TTextEncoding::Utf16Le, TTextEncoding::Utf16Be}) {
    TTextEncoding used = TTextEncoding::Ansi;
    const auto read = Decode(EncodeListText(lines, encoding, kAnsi, &used));
    EXPECT_EQ(used, encoding);
    EXPECT_EQ(read.encoding, encoding);
    EXPECT_EQ(read.lines, lines);
  }
}

TEST(ConfigurationText, SetIsRefusedForMismatchedPairsOrEmptyNames) {
  const TConfigurationFiles files{L"b.qfs1", L"b.qfs2", L"b.qfs3", L"b.qfs4"};
  EXPECT_EQ(CheckConfiguration({}, files), L"");
  EXPECT_EQ(CheckConfiguration({{L"C:\\"}, {L"C$4"}, {L"*.txt"}, {L"Text"}}, files), L"");

  EXPECT_EQ(CheckConfiguration({{L"C:\\", L"D:\\"}, {L"C$4"}, {}, {}}, files),
            L"The configuration is invalid: \"b.qfs1\" has 2 lines but \"b.qfs2\" has 1. Nothing was changed.");
  EXPECT_EQ(CheckConfiguration({{L"C:\\"}, {L"C$4"}, {}, {L"Text"}}, files),
            L"The configuration is invalid: \"b.qfs3\" has 0 lines but \"b.qfs4\" has 1. Nothing was changed.");
  EXPECT_EQ(CheckConfiguration({{L"C:\\", L""}, {L"C$4", L"x$0"}, {}, {}}, files),
            L"The configuration is invalid: line 2 of \"b.qfs1\" is empty. Nothing was changed.");
  EXPECT_EQ(CheckConfiguration({{}, {}, {L""}, {L"All"}}, files),
            L"The configuration is invalid: line 1 of \"b.qfs3\" is empty. Nothing was changed.");
  // Empty data is fine: a caption may be empty.
  EXPECT_EQ(CheckConfiguration({{L"C:\\"}, {L""}, {L"*.txt"}, {L""}}, files), L"");
}

TEST(ConfigurationText, ASharedSetOverItsBoundsOrWithControlCharactersIsRefusedWhole) {
  const TConfigurationFiles files{L"b.qfs1", L"b.qfs2", L"b.qfs3", L"b.qfs4"};
  const std::vector<std::wstring> many(kMaxConfigurationLines + 1, L"C:\\x");
  EXPECT_EQ(CheckConfiguration({many, many, {}, {}}, files),
            L"The configuration is invalid: \"b.qfs1\" has more than 100000 lines. Nothing was changed.");
  const std::vector<std::wstring> most(kMaxConfigurationLines, L"x");
  EXPECT_EQ(CheckConfiguration({most, most, {}, {}}, files), L"") << "the bound itself is allowed";
  const std::wstring longest(kMaxConfigurationLineLength, L'a');
  EXPECT_EQ(CheckConfiguration({{L"C:\\"}, {longest}, {}, {}}, files), L"");
  EXPECT_EQ(CheckConfiguration({{L"C:\\"}, {longest + L"a"}, {}, {}}, files),
            L"The configuration is invalid: line 1 of \"b.qfs2\" is longer than 65536 characters. Nothing was "
            L"changed.");
  for (const std::wstring& bad : {std::wstring(L"C:\\a\tb"), std::wstring(L"x\x1B[2J"), std::wstring(L"a\0b", 3)}) {
    EXPECT_NE(CheckConfiguration({{bad}, {L"x$0"}, {}, {}}, files), L"");
    EXPECT_EQ(CheckConfiguration({{}, {}, {L"*.txt"}, {bad}}, files),
              L"The configuration is invalid: line 1 of \"b.qfs4\" holds a control character. Nothing was changed.");
  }
}

}  // namespace
