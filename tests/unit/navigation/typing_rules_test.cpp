// What typing into a dialog without child windows sends: the address key with its modifiers held
// around it, the path as characters and Enter, and nothing for what cannot be typed safely.
#include "navigation/typing_rules.h"

#include <gtest/gtest.h>

namespace {

using typing::TStroke;

constexpr std::uint16_t kShift = 0x10, kControl = 0x11, kAlt = 0x12, kWin = 0x5B, kEnter = 0x0D;

TStroke Down(std::uint16_t key) { return {key, 0, false}; }
TStroke Up(std::uint16_t key) { return {key, 0, true}; }

TEST(Typing, AKeyIsPressedInsideItsModifiersAndWhatNamesNoKeyTypesNothing) {
  struct {
    int stored;
    std::vector<TStroke> strokes;
  } rows[] = {
      {(2 << 16) | 'L', {Down(kControl), Down('L'), Up('L'), Up(kControl)}},
      {'D', {Down('D'), Up('D')}},
      {(15 << 16) | 0x74,
       {Down(kControl), Down(kAlt), Down(kShift), Down(kWin), Down(0x74), Up(0x74), Up(kWin), Up(kShift), Up(kAlt),
        Up(kControl)}},
      {(1 << 16) | 'D', {Down(kAlt), Down('D'), Up('D'), Up(kAlt)}},
      {0, {}},
      {-1, {}},
      {(16 << 16) | 'L', {}},  // a modifier bit beyond the four
      {2 << 16, {}},           // modifiers without a key
      {(2 << 16) | 0x1FF, {}},
  };
  for (const auto& r : rows) EXPECT_EQ(typing::KeyStrokes(r.stored), r.strokes) << r.stored;
}

TEST(Typing, APathIsTypedAsCharactersAndEnterButNeverWithAControlCharacter) {
  EXPECT_EQ(typing::TextStrokes(L"C:\\", true), (std::vector<TStroke>{{0, L'C', false},
                                                                      {0, L'C', true},
                                                                      {0, L':', false},
                                                                      {0, L':', true},
                                                                      {0, L'\\', false},
                                                                      {0, L'\\', true},
                                                                      Down(kEnter),
                                                                      Up(kEnter)}));
  EXPECT_EQ(typing::TextStrokes(L"x", false), (std::vector<TStroke>{{0, L'x', false}, {0, L'x', true}}));
  // A character beyond the basic plane goes as its two units, as the system takes them.
  EXPECT_EQ(typing::TextStrokes(L"\xD83D\xDCC1", false).size(), 4u);
  // A line break would end the line early and type the rest as a command of its own.
  for (const wchar_t* text : {L"C:\\a\r\ncalc", L"C:\\a\tb", L"C:\\a\x7F", L""})
    EXPECT_TRUE(typing::TextStrokes(text, true).empty()) << text;
  EXPECT_TRUE(typing::TextStrokes(std::wstring(typing::kTypedTextLimit + 1, L'a'), true).empty());
  EXPECT_EQ(typing::TextStrokes(std::wstring(typing::kTypedTextLimit, L'a'), false).size(),
            2 * typing::kTypedTextLimit);
}

}  // namespace
