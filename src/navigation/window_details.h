// What "Copy Window Details" tells of a window: the program, the top-level window, its child
// windows as an indented tree with each one's path of classes from the top (the path a user's own
// dialog entry names its box by), and what the recognition made of it. Everything read from the
// window is another program's to choose: names and titles are bounded and stripped of control
// characters before they are shown, and no text of a child window is read at all, only its
// length. Portable; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace details {

// How deep the tree is read, and how many child windows at most.
inline constexpr int kMaxDepth = 8;
inline constexpr std::size_t kMaxWindows = 400;
// The longest title and class name shown.
inline constexpr std::size_t kMaxShown = 200;

struct TNode {
  std::wstring className;
  int depth = 1;  // 1 for a child of the top-level window
  int id = 0;
  std::uint32_t style = 0;
  bool visible = false;
  bool enabled = false;
  int textLength = -1;  // -1: the window did not answer in time
};

struct TDetails {
  std::wstring program;
  std::wstring className;
  std::wstring title;
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
  int width = 0;
  int height = 0;
  std::vector<TNode> children;  // depth first, in the system's order
  bool cutShort = false;        // more windows than kMaxWindows, or deeper than kMaxDepth
  bool hung = false;            // a window stopped answering: lengths after it are not asked
  // Each test of the recognition and its answer, in the order they are tried.
  std::vector<std::pair<std::wstring, std::wstring>> recognition;
};

// `text` as it may be shown: control characters become '?', and at most `limit` characters.
std::wstring Shown(const std::wstring& text, std::size_t limit = kMaxShown);
// The text copied and logged, one window a line.
std::wstring FormatDetails(const TDetails& details);

}  // namespace details
