#include "win/text.h"

namespace win {

std::wstring ToWide(std::string_view bytes, UINT codePage) {
  if (bytes.empty()) return {};
  const int length = static_cast<int>(bytes.size());
  const int size = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
  if (size <= 0) return {};
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(codePage, 0, bytes.data(), length, text.data(), size);
  return text;
}

std::string FromWide(std::wstring_view text, UINT codePage, bool* lossy) {
  if (lossy != nullptr) *lossy = false;
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  // UTF-8 takes no default-character arguments: every character has a form there.
  BOOL usedDefault = FALSE;
  BOOL* const usedDefaultArg = codePage == CP_UTF8 ? nullptr : &usedDefault;
  const int size = ::WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, usedDefaultArg);
  if (size <= 0) return {};
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(codePage, 0, text.data(), length, bytes.data(), size, nullptr, usedDefaultArg);
  if (lossy != nullptr) *lossy = usedDefault != FALSE;
  return bytes;
}

}  // namespace win
