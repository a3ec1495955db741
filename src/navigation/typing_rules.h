// What typing into a window of another program consists of, as strokes for SendInput: a key that
// opens its address box (its modifiers held around it), and a path typed as characters, then
// Enter. Portable: the Win32 layer only turns the strokes into input. Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace typing {

// A virtual key pressed or let go, or (key 0) one UTF-16 unit of text pressed or let go.
struct TStroke {
  std::uint16_t key = 0;
  wchar_t character = 0;
  bool up = false;
  friend bool operator==(const TStroke&, const TStroke&) = default;
};

// The longest text typed: a path of the longest the file system takes.
inline constexpr std::size_t kTypedTextLimit = 32767;

// A key stored as JumpKey is (modifiers in the high word: 1 Alt, 2 Ctrl, 4 Shift, 8 the Windows
// key; the virtual key in the low word): the modifiers pressed in that order, the key pressed and
// let go, the modifiers let go in the reverse order. Nothing for a value that names no key.
std::vector<TStroke> KeyStrokes(int storedKey);

// `text` as characters, each pressed and let go, and with `enter` the Enter key after them.
// Nothing at all for an empty text, one longer than kTypedTextLimit or one with a control
// character: a line break or a tab would be taken as a key of its own, and what follows it would
// land wherever that key led.
std::vector<TStroke> TextStrokes(const std::wstring& text, bool enter);

}  // namespace typing
