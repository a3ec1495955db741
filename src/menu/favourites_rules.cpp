#include "menu/favourites_rules.h"
#include "win/text_rules.h"

#include <climits>

namespace {

constexpr std::size_t kCaptionLength = 50;
constexpr std::size_t kShortestWholeName = 40;
// A cut name is 49 characters of name and extension around the two-character mark "~~".
constexpr std::size_t kCutNameKeep = 49;
constexpr wchar_t kCutMark[] = L"~~";
constexpr wchar_t kElision[] = L":\\..\\";
// The drive part "C:\" that the elided form rebuilds from the first character.
constexpr std::size_t kDrivePart = 3;

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Drops whole leading folders from `rest` while the caption would be longer than `room`; a rest
// that begins with "\" (an empty folder name) is left as it is.
void DropLeadingFolders(std::wstring& rest, std::size_t room) {
  while (!rest.empty() && rest.size() > room) {
    if (rest.starts_with(L'\\')) break;
    const auto slash = rest.find(L'\\');
    rest.erase(0, slash == std::wstring::npos ? rest.size() : slash + 1);
  }
}

// A network path keeps its "\\server\share" head, which says where the folder is, and loses
// folders after it. A path of head and name alone cannot be shortened and stands as it is.
std::wstring UncCaption(const std::wstring& path, std::size_t nameStart) {
  const auto serverEnd = path.find(L'\\', 2);
  const auto shareEnd = serverEnd == std::wstring::npos ? std::wstring::npos : path.find(L'\\', serverEnd + 1);
  if (shareEnd == std::wstring::npos || shareEnd + 1 >= nameStart) return path;
  const std::wstring head = path.substr(0, shareEnd);
  const std::wstring name = path.substr(nameStart);
  std::wstring rest = path.substr(shareEnd + 1, nameStart - shareEnd - 1);
  const std::size_t fixed = head.size() + std::size(L"\\..\\") - 1 + name.size();
  DropLeadingFolders(rest, fixed < kCaptionLength ? kCaptionLength - fixed : 0);
  return head + L"\\..\\" + rest + name;
}

}  // namespace

bool SameStoredName(const std::wstring& a, const std::wstring& b) {
  return text::SameCaseBlind(text::Trim(a), text::Trim(b));
}

TCaptionNumber Cap(const std::wstring& text) {
  TCaptionNumber result{text, 0};
  const auto dollar = text.rfind(L'$');
  if (dollar == std::wstring::npos || dollar + 1 == text.size()) return result;
  result.caption = text.substr(0, dollar);
  // Only the leading digits count; a number too large for an int saturates rather than wraps,
  // so it can never pass for a small marker such as 2.
  long long value = 0;
  for (std::size_t i = dollar + 1; i < text.size() && IsDigit(text[i]); ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > INT_MAX) {
      value = INT_MAX;
      break;
    }
  }
  result.number = static_cast<int>(value);
  return result;
}

bool IsSubmenuHeader(const std::wstring& name) { return name.starts_with(kSubmenuHeaderPrefix); }

bool IsSubmenuEntry(const std::wstring& name) {
  return !IsSubmenuHeader(name) && Cap(name).number == kSubmenuEntryNumber;
}

bool CanStandAtTopLevel(const std::wstring& path) { return !IsSubmenuEntry(text::Trim(path)); }

std::wstring EntryPath(const std::wstring& name) { return IsSubmenuEntry(name) ? Cap(name).caption : name; }

std::wstring GetFolderName(const std::wstring& path) {
  if (path.size() <= 3) return path;
  std::wstring folder = path;
  if (folder.back() == L'\\') folder.pop_back();
  const auto slash = folder.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : folder.substr(slash + 1);
}

std::wstring TestName(const std::wstring& path, const TShortPathQuery& shortPath) {
  if (path.size() <= kCaptionLength) return path;

  const auto split = path.find_last_of(L"\\:");
  const std::size_t nameStart = split == std::wstring::npos ? 0 : split + 1;
  const std::wstring name = path.substr(nameStart);
  if (name.size() >= kShortestWholeName && name.size() <= kCaptionLength) return name;

  if (name.size() > kCaptionLength) {
    const auto dot = name.rfind(L'.');
    const std::wstring ext = dot == std::wstring::npos ? std::wstring() : name.substr(dot);
    const std::size_t keep = ext.size() < kCutNameKeep ? kCutNameKeep - ext.size() : 0;
    return name.substr(0, keep) + kCutMark + ext;
  }

  if (path.starts_with(L"\\\\")) return UncCaption(path, nameStart);
  const std::wstring dir = path.substr(0, nameStart);
  if (dir.size() <= kDrivePart) return shortPath ? shortPath(path) : std::wstring();
  std::wstring rest = dir.substr(kDrivePart);
  const std::size_t fixed = name.size() + kDrivePart;
  DropLeadingFolders(rest, fixed < kCaptionLength ? kCaptionLength - fixed : 0);
  return path.substr(0, 1) + kElision + rest + name;
}
