#include "settings/own_dialogs.h"

#include <algorithm>

#include "win/text_rules.h"
#include "win/wildcard.h"

namespace {

// A key stored as the jump key is, to be typed into the window: modifiers (Alt, Ctrl, Shift,
// Win) in the high word and a virtual key in the low; nothing else in either.
bool TypableKey(int stored) {
  const int modifiers = (stored >> 16) & 0xFFFF;
  const int key = stored & 0xFFFF;
  return stored > 0 && (modifiers & ~0xF) == 0 && key > 0 && key < 0xFF;
}

}  // namespace

bool IsOwnDialogName(const std::wstring& name) {
  return !name.empty() && name.size() <= 255 && name.find(L'\\') == std::wstring::npos &&
         !text::HasControlCharacter(name);
}

bool WildcardMatch(const std::wstring& pattern, const std::wstring& text) {
  return win::WildcardMatches(pattern.data(), pattern.size(), text.data(), text.size());
}

std::optional<TOwnDialog> ReadOwnDialog(const TOwnDialogValues& v, std::wstring& problem) {
  for (const std::wstring* text : {&v.program, &v.className, &v.title, &v.method, &v.box}) {
    if (text::HasControlCharacter(*text)) {
      problem = L"a value holds control characters";
      return std::nullopt;
    }
    if (text->size() > kOwnDialogTextLimit) {
      problem = L"a value is longer than " + std::to_wstring(kOwnDialogTextLimit) + L" characters";
      return std::nullopt;
    }
  }
  // The name goes into the log with every pick: one that could start a line of its own is no entry's.
  if (!IsOwnDialogName(v.name)) {
    problem = L"the name is no entry's name";
    return std::nullopt;
  }
  TOwnDialog entry;
  entry.name = v.name;
  entry.program = text::Trim(v.program);
  entry.className = text::Trim(v.className);
  entry.title = v.title;
  if (entry.className.empty()) {
    problem = L"no Class";
    return std::nullopt;
  }
  if (!entry.program.empty() && !text::IsBareFileName(entry.program)) {
    problem = L"Program is no file name: " + entry.program;
    return std::nullopt;
  }
  const std::wstring method = text::LowerCase(text::Trim(v.method));
  if (method == L"edit") {
    entry.method = TOwnDialogMethod::Edit;
  } else if (method == L"keys") {
    entry.method = TOwnDialogMethod::Keys;
  } else if (method == L"address") {
    entry.method = TOwnDialogMethod::Address;
  } else {
    problem = L"unknown Method: " + v.method;
    return std::nullopt;
  }
  if (entry.method == TOwnDialogMethod::Edit) {
    std::size_t start = 0;
    const std::wstring box = text::Trim(v.box);
    while (!box.empty() && start <= box.size()) {
      const std::size_t end = box.find(L'\\', start);
      entry.box.push_back(box.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
      if (end == std::wstring::npos) break;
      start = end + 1;
    }
    const bool bad = entry.box.empty() || entry.box.size() > kOwnDialogPathLimit ||
                     std::any_of(entry.box.begin(), entry.box.end(), [](const std::wstring& c) {
                       return c.empty() || c.find_first_of(L"*?") != std::wstring::npos;
                     });
    if (bad) {
      problem = L"Box is no path of at most " + std::to_wstring(kOwnDialogPathLimit) + L" classes: " + v.box;
      return std::nullopt;
    }
  }
  if (entry.method == TOwnDialogMethod::Address && v.key != 0) {
    if (!TypableKey(v.key)) {
      problem = L"Key names no key: " + std::to_wstring(v.key);
      return std::nullopt;
    }
    entry.addressKey = v.key;
  }
  return entry;
}

const TOwnDialog* FindOwnDialog(const std::vector<TOwnDialog>& entries, const std::wstring& program,
                                const std::wstring& className, const std::wstring& title) {
  for (const TOwnDialog& entry : entries) {
    if (!entry.program.empty() && !WildcardMatch(entry.program, program)) continue;
    if (!WildcardMatch(entry.className, className)) continue;
    if (!entry.title.empty() && !WildcardMatch(entry.title, title)) continue;
    return &entry;
  }
  return nullptr;
}
