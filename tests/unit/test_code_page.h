// A stand-in for the system's ANSI code page in portable tests and fuzzing: ISO 8859-1, where
// every byte is the character of the same number and nothing above U+00FF has a form.
#pragma once

#include "menu/configuration_text.h"

class TLatin1CodePage final : public TAnsiCodePage {
 public:
  std::wstring ToWide(std::string_view bytes) const override {
    std::wstring text;
    for (const char byte : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(byte));
    return text;
  }
  std::optional<std::string> FromWide(std::wstring_view text) const override {
    std::string bytes;
    for (const wchar_t c : text) {
      if (static_cast<unsigned long>(c) > 0xFF) return std::nullopt;
      bytes += static_cast<char>(c);
    }
    return bytes;
  }
};
