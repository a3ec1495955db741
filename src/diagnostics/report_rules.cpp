#include "diagnostics/report_rules.h"

#include <algorithm>
#include <cwctype>

#include "diagnostics/log_format.h"

namespace reportrules {

namespace {

constexpr std::wstring_view kMailSettings[] = {L"MailHost", L"MailPort",     L"MailSender",
                                               L"MailUser", L"MailPassword", L"MailRecipient"};
constexpr std::wstring_view kExportHeads[] = {L"Windows Registry Editor Version 5.00", L"REGEDIT4"};

bool SameName(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

// The name of the value a line sets ("Name"=...), unescaped; false for any other line.
bool ValueName(std::wstring_view line, std::wstring& name) {
  std::size_t at = line.find_first_not_of(L" \t");
  if (at == std::wstring_view::npos || line[at] != L'"') return false;
  name.clear();
  for (++at; at < line.size(); ++at) {
    if (line[at] == L'\\' && at + 1 < line.size()) {
      name += line[++at];
    } else if (line[at] == L'"') {
      return line.find_first_not_of(L" \t", at + 1) != std::wstring_view::npos &&
             line[line.find_first_not_of(L" \t", at + 1)] == L'=';
    } else {
      name += line[at];
    }
  }
  return false;
}

bool Continues(std::wstring_view line) {
  while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r' || line.back() == L' ' || line.back() == L'\t'))
    line.remove_suffix(1);
  return !line.empty() && line.back() == L'\\';
}

}  // namespace

bool IsMailSetting(std::wstring_view valueName) {
  return std::any_of(std::begin(kMailSettings), std::end(kMailSettings),
                     [&](std::wstring_view mail) { return SameName(mail, valueName); });
}

bool IsRegistryExportText(std::wstring_view text) {
  if (!text.empty() && text.front() == L'\xFEFF') text.remove_prefix(1);
  return std::any_of(std::begin(kExportHeads), std::end(kExportHeads),
                     [&](std::wstring_view head) { return text.substr(0, head.size()) == head; });
}

std::wstring WithoutMailSettings(std::wstring_view exportText, int& removed) {
  removed = 0;
  std::wstring kept, name;
  kept.reserve(exportText.size());
  bool dropping = false;
  for (std::size_t start = 0; start < exportText.size();) {
    const std::size_t end = exportText.find(L'\n', start);
    const std::size_t next = end == std::wstring_view::npos ? exportText.size() : end + 1;
    const std::wstring_view line = exportText.substr(start, next - start);
    start = next;
    if (!dropping && ValueName(line, name) && IsMailSetting(name)) {
      ++removed;
      dropping = true;
    }
    if (!dropping) kept += line;
    // The value's data goes on while its lines end in "\".
    if (dropping) dropping = Continues(line);
  }
  return kept;
}

std::wstring ShownText(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::wstring text;
    for (const std::wstring& line : logformat::DecodeLogLines(bytes)) text += line + L"\r\n";
    return text;
  }
  // Anything else is shown only when it is plain ASCII text.
  const bool plain = std::all_of(bytes.begin(), bytes.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 0x20 && u < 0x7F) || u == '\r' || u == '\n' || u == '\t';
  });
  if (!plain) return L"(" + std::to_wstring(bytes.size()) + L" bytes, not text)";
  return std::wstring(bytes.begin(), bytes.end());
}

}  // namespace reportrules
