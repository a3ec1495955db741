#include "menu/configuration_text.h"

#include <utility>

#include "win/text_rules.h"

#include <cstdint>

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

// wchar_t is UTF-16 on Windows and UTF-32 elsewhere; code points cross that divide here only.
void AppendCodePoint(std::wstring& text, char32_t code) {
  if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = kReplacement;
  if constexpr (sizeof(wchar_t) == 2) {
    if (code >= 0x10000) {
      code -= 0x10000;
      text += static_cast<wchar_t>(0xD800 + (code >> 10));
      text += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
      return;
    }
  }
  text += static_cast<wchar_t>(code);
}

// The code points of a wide string; an unpaired surrogate becomes U+FFFD.
template <class F>
void ForEachCodePoint(std::wstring_view text, F&& emit) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t code = static_cast<char32_t>(text[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<char32_t>(text[++i]) - 0xDC00);
      }
    }
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = kReplacement;
    emit(code);
  }
}

std::wstring DecodeUtf8(std::string_view bytes) {
  std::wstring text;
  text.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    int extra = 0;
    char32_t code = 0;
    char32_t least = 0;
    if (lead < 0x80) {
      text += static_cast<wchar_t>(lead);
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, code = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, code = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, code = lead & 0x07, least = 0x10000;
    } else {
      AppendCodePoint(text, kReplacement);
      ++i;
      continue;
    }
    std::size_t next = i + 1;
    bool good = true;
    for (int k = 0; k < extra; ++k, ++next) {
      if (next >= bytes.size() || (static_cast<unsigned char>(bytes[next]) & 0xC0) != 0x80) {
        good = false;
        break;
      }
      code = (code << 6) | (static_cast<unsigned char>(bytes[next]) & 0x3F);
    }
    // An overlong form or a truncated sequence is one replacement; the byte that broke it is read
    // again, so a broken sequence never swallows a line end.
    AppendCodePoint(text, good && code >= least ? code : kReplacement);
    i = next;
  }
  return text;
}

std::wstring DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    units += static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
  }
  std::wstring text;
  text.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t code = units[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF)
      code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00);
    AppendCodePoint(text, code);
  }
  // An odd last byte is half a character.
  if (bytes.size() % 2 != 0) AppendCodePoint(text, kReplacement);
  return text;
}

void EncodeUtf8(std::wstring_view text, std::string& out) {
  ForEachCodePoint(text, [&](char32_t code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  });
}

void EncodeUtf16(std::wstring_view text, bool bigEndian, std::string& out) {
  const auto unit = [&](char32_t u) {
    const char high = static_cast<char>((u >> 8) & 0xFF);
    const char low = static_cast<char>(u & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
  };
  ForEachCodePoint(text, [&](char32_t code) {
    if (code >= 0x10000) {
      code -= 0x10000;
      unit(0xD800 + (code >> 10));
      unit(0xDC00 + (code & 0x3FF));
    } else {
      unit(code);
    }
  });
}

std::wstring JoinLines(const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (const auto& line : lines) {
    text += line;
    text += L"\r\n";
  }
  return text;
}

std::wstring Quoted(const std::wstring& name) { return L"\"" + name + L"\""; }

// A message for the first broken rule of one names/data pair; empty when the pair is sound.
// What is wrong with one file's lines beyond the pair's rules: too many lines, a line too long,
// or a control character (a name or caption holding one would reach menus, logs and consoles).
std::wstring CheckBounds(const std::vector<std::wstring>& lines, const std::wstring& file) {
  if (lines.size() > kMaxConfigurationLines)
    return Quoted(file) + L" has more than " + std::to_wstring(kMaxConfigurationLines) + L" lines";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::wstring where = L"line " + std::to_wstring(i + 1) + L" of " + Quoted(file);
    if (lines[i].size() > kMaxConfigurationLineLength)
      return where + L" is longer than " + std::to_wstring(kMaxConfigurationLineLength) + L" characters";
    if (text::HasControlCharacter(lines[i])) return where + L" holds a control character";
  }
  return {};
}

std::wstring CheckPair(const std::vector<std::wstring>& names, const std::vector<std::wstring>& data,
                       const std::wstring& namesFile, const std::wstring& dataFile) {
  for (const auto& [lines, file] : {std::pair{&names, &namesFile}, std::pair{&data, &dataFile}})
    if (std::wstring problem = CheckBounds(*lines, *file); !problem.empty()) return problem;
  if (names.size() != data.size()) {
    return Quoted(namesFile) + L" has " + std::to_wstring(names.size()) + L" lines but " + Quoted(dataFile) + L" has " +
           std::to_wstring(data.size());
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i].empty()) return L"line " + std::to_wstring(i + 1) + L" of " + Quoted(namesFile) + L" is empty";
  }
  return {};
}

}  // namespace

std::vector<std::wstring> SplitLines(std::wstring_view text) {
  std::vector<std::wstring> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'\r' && text[i] != L'\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

TListText DecodeListText(std::string_view bytes, const TAnsiCodePage& ansi) {
  TListText result;
  std::wstring text;
  if (bytes.starts_with(kUtf8Mark)) {
    result.encoding = TTextEncoding::Utf8;
    text = DecodeUtf8(bytes.substr(kUtf8Mark.size()));
  } else if (bytes.starts_with(kUtf16LeMark)) {
    result.encoding = TTextEncoding::Utf16Le;
    text = DecodeUtf16(bytes.substr(kUtf16LeMark.size()), false);
  } else if (bytes.starts_with(kUtf16BeMark)) {
    result.encoding = TTextEncoding::Utf16Be;
    text = DecodeUtf16(bytes.substr(kUtf16BeMark.size()), true);
  } else {
    text = ansi.ToWide(bytes);
  }
  result.lines = SplitLines(text);
  return result;
}

std::string EncodeListText(const std::vector<std::wstring>& lines, TTextEncoding encoding, const TAnsiCodePage& ansi,
                           TTextEncoding* used) {
  const std::wstring text = JoinLines(lines);
  std::string out;
  if (encoding == TTextEncoding::Ansi) {
    if (auto bytes = ansi.FromWide(text)) {
      if (used != nullptr) *used = TTextEncoding::Ansi;
      return std::move(*bytes);
    }
    encoding = TTextEncoding::Utf8;
  }
  if (used != nullptr) *used = encoding;
  switch (encoding) {
    case TTextEncoding::Utf16Le:
      out = kUtf16LeMark;
      EncodeUtf16(text, false, out);
      break;
    case TTextEncoding::Utf16Be:
      out = kUtf16BeMark;
      EncodeUtf16(text, true, out);
      break;
    default:
      out = kUtf8Mark;
      EncodeUtf8(text, out);
      break;
  }
  return out;
}

std::wstring CheckConfiguration(const TConfigurationLists& lists, const TConfigurationFiles& files) {
  std::wstring problem = CheckPair(lists.PathNames, lists.PathValues, files.pathNames, files.pathValues);
  if (problem.empty())
    problem = CheckPair(lists.FilterMasks, lists.FilterCaptions, files.filterMasks, files.filterCaptions);
  if (problem.empty()) return {};
  return L"The configuration is invalid: " + problem + L". Nothing was changed.";
}
