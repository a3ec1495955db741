#include "navigation/typing_rules.h"

#include <array>
#include <utility>

#include "win/text_rules.h"

namespace typing {

namespace {

// The virtual keys of the modifiers and of Enter, as the system numbers them.
constexpr std::uint16_t kShiftKey = 0x10, kControlKey = 0x11, kAltKey = 0x12, kWindowsKey = 0x5B, kEnterKey = 0x0D;
// The modifier bits of a stored key and their keys, in the order they are pressed.
constexpr std::array<std::pair<unsigned, std::uint16_t>, 4> kModifiers = {
    {{2, kControlKey}, {1, kAltKey}, {4, kShiftKey}, {8, kWindowsKey}}};

}  // namespace

std::vector<TStroke> KeyStrokes(int storedKey) {
  const auto value = static_cast<unsigned>(storedKey);
  const unsigned modifiers = value >> 16;
  const unsigned key = value & 0xFFFF;
  if (storedKey <= 0 || (modifiers & ~0xFu) != 0 || key == 0 || key >= 0xFF) return {};
  std::vector<TStroke> strokes;
  for (const auto& [bit, modifier] : kModifiers)
    if (modifiers & bit) strokes.push_back({modifier, 0, false});
  strokes.push_back({static_cast<std::uint16_t>(key), 0, false});
  strokes.push_back({static_cast<std::uint16_t>(key), 0, true});
  for (auto it = kModifiers.rbegin(); it != kModifiers.rend(); ++it)
    if (modifiers & it->first) strokes.push_back({it->second, 0, true});
  return strokes;
}

std::vector<TStroke> TextStrokes(const std::wstring& text, bool enter) {
  if (text.empty() || text.size() > kTypedTextLimit || text::HasControlCharacter(text)) return {};
  std::vector<TStroke> strokes;
  strokes.reserve(text.size() * 2 + 2);
  for (const wchar_t c : text) {
    strokes.push_back({0, c, false});
    strokes.push_back({0, c, true});
  }
  if (enter) {
    strokes.push_back({kEnterKey, 0, false});
    strokes.push_back({kEnterKey, 0, true});
  }
  return strokes;
}

}  // namespace typing
