// Case-blind matching of a name against a pattern of `*` (any run of characters) and `?` (any
// one). Header-only and allocation-free, over bounded character arrays of any width, so the
// agent and the hook library (inside other programs, over a record others can write) decide
// alike. Portable; any thread.
#pragma once

#include <cstddef>
#include <cwctype>

namespace win {

// The length of `text` up to its first terminator, at most `capacity`: an unterminated array of
// a record written by others is read no further than its end.
template <class Char>
std::size_t BoundedLength(const Char* text, std::size_t capacity) noexcept {
  std::size_t length = 0;
  while (length < capacity && text[length] != 0) ++length;
  return length;
}

// Greedy with one step back to the last star: linear in practice, never exponential.
template <class PatternChar, class TextChar>
bool WildcardMatches(const PatternChar* pattern, std::size_t patternLength, const TextChar* text,
                     std::size_t textLength) noexcept {
  const auto folded = [](auto c) { return std::towupper(static_cast<wint_t>(static_cast<unsigned>(c) & 0xFFFFu)); };
  constexpr std::size_t kNoStar = static_cast<std::size_t>(-1);
  std::size_t p = 0, t = 0, star = kNoStar, resume = 0;
  while (t < textLength) {
    if (p < patternLength && (pattern[p] == '?' || folded(pattern[p]) == folded(text[t]))) {
      ++p;
      ++t;
    } else if (p < patternLength && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (star != kNoStar) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < patternLength && pattern[p] == '*') ++p;
  return p == patternLength;
}

}  // namespace win
