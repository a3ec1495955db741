#include "diagnostics/log_format.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace logformat {

std::wstring HexText(unsigned long long value, int digits) {
  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring text;
  do {
    text.insert(text.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  if (static_cast<int>(text.size()) < digits) text.insert(0, digits - text.size(), L'0');
  return text;
}

std::wstring HandleText(const void* handle) {
  return HexText(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle)));
}

namespace {

// wchar_t is UTF-16 on Windows and UTF-32 elsewhere; the file is always UTF-16.
constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

void PutUnit(std::string& out, char16_t unit) {
  out.push_back(static_cast<char>(unit & 0xFF));
  out.push_back(static_cast<char>((unit >> 8) & 0xFF));
}

void PutChar(std::string& out, wchar_t ch) {
  const auto code = static_cast<std::uint32_t>(ch);
  if (!kWideIsUtf16 && code >= 0x10000 && code <= 0x10FFFF) {
    const std::uint32_t v = code - 0x10000;
    PutUnit(out, static_cast<char16_t>(0xD800 + (v >> 10)));
    PutUnit(out, static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
  } else {
    PutUnit(out, static_cast<char16_t>(code));
  }
}

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Lone surrogates are kept as they are, so a damaged file still reads back unit for unit.
std::wstring UnitsToWide(const std::u16string& units) {
  std::wstring text;
  text.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    if (!kWideIsUtf16 && IsHighSurrogate(u) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
      const std::uint32_t code = 0x10000 + ((static_cast<std::uint32_t>(u) - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      text.push_back(static_cast<wchar_t>(code));
      ++i;
    } else {
      text.push_back(static_cast<wchar_t>(u));
    }
  }
  return text;
}

}  // namespace

std::wstring EscapedText(std::wstring_view text) {
  std::wstring escaped;
  escaped.reserve(text.size());
  for (const wchar_t ch : text) {
    if (ch >= 0x20 && ch != 0x7F) {
      escaped.push_back(ch);
      continue;
    }
    wchar_t code[12] = {};
    std::swprintf(code, std::size(code), L"<U+%04X>", static_cast<unsigned>(ch));
    escaped += code;
  }
  return escaped;
}

std::wstring RunEventText(std::wstring_view name, std::wstring_view parameters) {
  std::wstring text(kRunPrefix);
  text += EscapedText(name);
  if (!parameters.empty()) {
    text += kParameters;
    text += EscapedText(parameters);
  }
  return text;
}

std::wstring ErrorEventText(std::wstring_view function, std::wstring_view message, std::wstring_view parameters,
                            unsigned long code, std::wstring_view systemText) {
  std::wstring text(kErrorPrefix);
  text += EscapedText(function);
  if (!message.empty()) {
    text += kMessage;
    text += EscapedText(message);
  }
  if (!parameters.empty()) {
    text += kParameters;
    text += EscapedText(parameters);
  }
  if (code != 0) {
    text += L" Last error (";
    text += std::to_wstring(code);
    text += L"):";
    text += EscapedText(systemText);
  }
  return text;
}

bool IsErrorText(std::wstring_view text) { return text.starts_with(kErrorMark); }

std::wstring SingleLine(std::wstring_view text) {
  const auto end = text.find_last_not_of(L"\r\n \t");
  if (end == std::wstring_view::npos) return std::wstring();
  std::wstring line;
  line.reserve(end + 1);
  for (std::size_t i = 0; i <= end; ++i) {
    const wchar_t ch = text[i];
    if (ch == L'\r' || ch == L'\n') {
      if (ch == L'\r' && i + 1 <= end && text[i + 1] == L'\n') ++i;
      line.push_back(L' ');
    } else {
      line.push_back(ch);
    }
  }
  return line;
}

bool TLogCollapser::Accept(const std::wstring& text, std::wstring_view time, std::vector<std::wstring>& out) {
  const bool isError = IsErrorText(text);
  if (isError) {
    if (!lastError_.empty() && lastError_ == text) {
      ++errorRepeats_;
      return false;
    }
  } else if (!lastRun_.empty() && lastRun_ == text) {
    ++runRepeats_;
    return false;
  }
  if (errorRepeats_ > 0) out.push_back(kMultipleErrors + lastError_ + kCount + std::to_wstring(errorRepeats_));
  if (runRepeats_ > 0) out.push_back(kMultipleLogs + lastRun_ + kCount + std::to_wstring(runRepeats_));
  errorRepeats_ = 0;
  runRepeats_ = 0;
  out.push_back(std::wstring(time) + text);
  (isError ? lastError_ : lastRun_) = text;
  return true;
}

void TLogCollapser::Reset() {
  lastError_.clear();
  lastRun_.clear();
  errorRepeats_ = 0;
  runRepeats_ = 0;
}

void AppendLastLogEntries(const std::vector<std::wstring>& runLog, std::vector<std::wstring>& list) {
  list.emplace_back(kLastLogEntries);
  const auto count = static_cast<std::ptrdiff_t>(runLog.size());
  const std::ptrdiff_t first = std::max<std::ptrdiff_t>(0, count - kTailFirstBack);
  for (std::ptrdiff_t i = first; i <= count - kTailLastBack; ++i) list.push_back(runLog[static_cast<std::size_t>(i)]);
}

void AppendBlockEnd(std::vector<std::wstring>& list) {
  const std::wstring separator(kSeparatorWidth, L'=');
  list.push_back(separator);
  list.push_back(separator);
}

std::vector<std::wstring> ErrorBlock(std::wstring_view dateTime, std::wstring_view text,
                                     const std::vector<std::wstring>& runLog) {
  std::vector<std::wstring> list;
  std::wstring head(dateTime);
  head += L": ";
  head += text;
  list.push_back(std::move(head));
  AppendLastLogEntries(runLog, list);
  AppendBlockEnd(list);
  return list;
}

std::vector<std::wstring> TraceBlock(std::wstring_view dateTime, std::wstring_view className,
                                     std::wstring_view location, const std::wstring* message,
                                     const std::vector<std::wstring>& runLog, const std::vector<std::wstring>& stack) {
  std::vector<std::wstring> list;
  list.push_back(std::wstring(dateTime) + L" Exception " + std::wstring(className) + L" occured " +
                 std::wstring(location));
  if (message != nullptr) list.push_back(L"Message: " + *message);
  AppendLastLogEntries(runLog, list);
  if (!stack.empty()) {
    list.emplace_back(L"Call stack: ");
    list.insert(list.end(), stack.begin(), stack.end());
  }
  AppendBlockEnd(list);
  return list;
}

std::wstring TraceLocation(std::wstring_view procedure, unsigned line, std::wstring_view file) {
  return L"in " + std::wstring(procedure) + L" at " + std::to_wstring(line) + L" in file " + std::wstring(file);
}

std::wstring TraceAddress(std::uintptr_t address) {
  return L"at address " + HexText(address, static_cast<int>(2 * sizeof(std::uintptr_t)));
}

namespace {
constexpr std::uint32_t kAccessViolation = 0xC0000005, kStackOverflow = 0xC00000FD, kIntDivideByZero = 0xC0000094;
std::wstring AddressText(std::uintptr_t address) { return HexText(address, static_cast<int>(2 * sizeof address)); }
}  // namespace

std::wstring StructuredExceptionClass(std::uint32_t code) {
  switch (code) {
    case kAccessViolation:
      return L"EAccessViolation";
    case kStackOverflow:
      return L"EStackOverflow";
    case kIntDivideByZero:
      return L"EDivByZero";
    default:
      return L"EExternalException";
  }
}

std::wstring StructuredExceptionText(std::uint32_t code, std::uintptr_t address, const std::uintptr_t info[2],
                                     unsigned infoCount) {
  const std::wstring at = L" at address " + AddressText(address);
  switch (code) {
    case kAccessViolation: {
      if (infoCount < 2) return L"Access violation" + at;
      const wchar_t* kind = info[0] == 1 ? L"write" : info[0] == 8 ? L"execution" : L"read";
      return L"Access violation" + at + L": " + kind + L" of address " + AddressText(info[1]);
    }
    case kStackOverflow:
      return L"Stack overflow" + at;
    case kIntDivideByZero:
      return L"Division by zero" + at;
    default:
      return L"External exception " + HexText(code, 8) + at;
  }
}

std::wstring PrevLogName(std::wstring_view file) {
  std::wstring name(file.substr(0, file.size() >= 4 ? file.size() - 4 : 0));
  name += kPrevSuffix;
  return name;
}

bool NeedsRotation(std::uint64_t sizeInBytes) { return sizeInBytes > kMaxLogBytes; }

std::string EncodeLogLines(const std::vector<std::wstring>& lines, bool withBom) {
  std::size_t units = withBom ? 1 : 0;
  for (const auto& line : lines) units += line.size() + 2;
  std::string out;
  out.reserve(units * 2);
  if (withBom) PutUnit(out, 0xFEFF);
  for (const auto& line : lines) {
    for (const wchar_t ch : line) PutChar(out, ch);
    PutUnit(out, u'\r');
    PutUnit(out, u'\n');
  }
  return out;
}

std::vector<std::wstring> DecodeLogLines(std::string_view bytes) {
  std::vector<std::wstring> lines;
  std::size_t pos = 0;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
    pos = 2;
  std::u16string line;
  auto finishLine = [&] {
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    lines.push_back(UnitsToWide(line));
    line.clear();
  };
  for (; pos + 1 < bytes.size(); pos += 2) {
    const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[pos]) |
                                            (static_cast<unsigned char>(bytes[pos + 1]) << 8));
    if (unit == u'\n')
      finishLine();
    else
      line.push_back(unit);
  }
  if (!line.empty()) finishLine();
  return lines;
}

bool TLineThrottle::Pass(std::uint32_t now, unsigned long& heldBack) {
  if (passedOnce_ && now - lastPass_ < periodMs_) {
    ++heldBack_;
    return false;
  }
  heldBack = heldBack_;
  heldBack_ = 0;
  passedOnce_ = true;
  lastPass_ = now;
  return true;
}

}  // namespace logformat
