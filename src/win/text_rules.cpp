#include "win/text_rules.h"

#include <algorithm>
#include <cwctype>

namespace text {

std::wstring UpperCase(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return text;
}

std::wstring LowerCase(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return text;
}

bool SameCaseBlind(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i]))) return false;
  return true;
}

bool LessCaseBlind(const std::wstring& a, const std::wstring& b) { return UpperCase(a) < UpperCase(b); }

std::size_t FindCaseBlind(const std::wstring& text, const std::wstring& part) {
  return UpperCase(text).find(UpperCase(part));
}

std::wstring Trim(const std::wstring& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && text[first] <= L' ') ++first;
  while (last > first && text[last - 1] <= L' ') --last;
  return text.substr(first, last - first);
}

bool IsPathSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring WithTrailingSeparator(std::wstring path) {
  if (!path.empty() && !IsPathSeparator(path.back())) path += L'\\';
  return path;
}

std::wstring WithoutTrailingSeparator(std::wstring path) {
  const bool driveRoot = path.size() >= 3 && path[1] == L':' && IsPathSeparator(path[2]);
  while (path.size() > (driveRoot ? 3u : 0u) && IsPathSeparator(path.back())) path.pop_back();
  return path;
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty()) return name;
  return WithTrailingSeparator(folder) + name;
}

std::wstring FileNameOf(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring ParentOf(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool HasControlCharacter(const std::wstring& text) {
  return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x20 || c == 0x7F; });
}

bool IsBareFileName(const std::wstring& name) {
  return !name.empty() && name.size() <= 260 && name.find_first_of(L"\\/:") == std::wstring::npos &&
         !HasControlCharacter(name);
}

bool IsProgramFileName(const std::wstring& path) {
  std::wstring name = FileNameOf(path);
  while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
  // An alternate data stream ("x.txt:run.exe") is run as what it names.
  const auto stream = name.find(L':');
  if (stream != std::wstring::npos) return true;
  const auto dot = name.find_last_of(L'.');
  if (dot == std::wstring::npos) return false;
  const std::wstring extension = LowerCase(name.substr(dot));
  for (const wchar_t* program :
       {L".exe", L".com", L".bat", L".cmd", L".ps1",         L".psm1",      L".vbs", L".vbe",    L".js",  L".jse",
        L".wsf", L".wsh", L".msi", L".msp", L".lnk",         L".url",       L".scr", L".pif",    L".cpl", L".hta",
        L".jar", L".reg", L".inf", L".scf", L".application", L".appref-ms", L".msc", L".gadget", L".chm"})
    if (extension == program) return true;
  return false;
}

}  // namespace text
