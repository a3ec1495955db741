#include "navigation/window_details.h"

#include <cstdio>

namespace details {

namespace {

std::wstring Hex(std::uint32_t value) {
  wchar_t text[16] = {};
  std::swprintf(text, 16, L"0x%08X", static_cast<unsigned>(value));
  return text;
}

}  // namespace

std::wstring Shown(const std::wstring& text, std::size_t limit) {
  std::wstring shown = text.substr(0, limit);
  for (wchar_t& c : shown)
    if (c < L' ' || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029) c = L'?';
  if (text.size() > limit) shown += L"...";
  return shown;
}

std::wstring FormatDetails(const TDetails& d) {
  std::wstring out;
  out += L"Program: " + Shown(d.program) + L"\r\n";
  out += L"Window: " + Shown(d.className) + L" \"" + Shown(d.title) + L"\" style=" + Hex(d.style) + L" exstyle=" +
         Hex(d.exStyle) + L" size=" + std::to_wstring(d.width) + L"x" + std::to_wstring(d.height) + L"\r\n";
  out += L"Child windows: " + std::to_wstring(d.children.size());
  if (d.cutShort)
    out += L" (the first " + std::to_wstring(kMaxWindows) + L", " + std::to_wstring(kMaxDepth) + L" deep)";
  if (d.hung) out += L" (the window stopped answering: text lengths after that are not known)";
  out += L"\r\n";
  // The classes from the top down to each window: a box is named by this path.
  std::vector<std::wstring> path;
  for (const TNode& node : d.children) {
    const auto depth = static_cast<std::size_t>(node.depth < 1 ? 1 : node.depth);
    path.resize(depth - 1);
    path.push_back(Shown(node.className));
    std::wstring joined;
    for (const auto& name : path) joined += (joined.empty() ? L"" : L"\\") + name;
    out += std::wstring(2 * depth, L' ') + path.back() + L" id=" + std::to_wstring(node.id) + L" style=" +
           Hex(node.style) + (node.visible ? L" visible" : L" hidden") + (node.enabled ? L" enabled" : L" disabled") +
           L" text=" + (node.textLength < 0 ? std::wstring(L"?") : std::to_wstring(node.textLength)) + L" path=" +
           joined + L"\r\n";
  }
  out += L"Recognition:\r\n";
  for (const auto& [test, answer] : d.recognition) out += L"  " + test + L": " + answer + L"\r\n";
  return out;
}

}  // namespace details
