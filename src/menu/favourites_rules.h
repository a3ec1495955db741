// Text rules of the favourites store shared by the menu, the recent lists and the dialogs:
// the caption-dollar-number split, value-name roles and the shortening of paths to captions.
// Portable, no state; any thread.
#pragma once

#include <functional>
#include <string>

// A caption-dollar-number string taken apart at its last "$".
struct TCaptionNumber {
  std::wstring caption;
  int number = 0;
};

// The marker number of a submenu entry's value name ("C:\Bin$2") and the prefix of a header's.
inline constexpr int kSubmenuEntryNumber = 2;
inline constexpr wchar_t kSubmenuHeaderPrefix[] = L"Submenu";
// What an entry's value name ends in, and the data's ending for a folder without an image.
inline constexpr wchar_t kEntryMarker[] = L"$2";
inline constexpr wchar_t kPlainImage[] = L"$0";

// Splits at the last "$": "A$B$3" gives ("A$B", 3), "Docs$" gives ("Docs$", 0), "X$7z" gives
// ("X", 7), and text without "$" is its own caption with 0.
TCaptionNumber Cap(const std::wstring& text);

// The value name of a submenu header begins with "Submenu".
bool IsSubmenuHeader(const std::wstring& name);
// A value name is a submenu entry when its number is 2; a header never is one, even if the
// favourites subfolder it was named after ends in "$2".
bool IsSubmenuEntry(const std::wstring& name);
// A top-level favourite is stored under its own path, so a path that ends like a submenu marker
// ("D:\Old$2") would read back as an entry of another folder: such a folder can only be an
// entry. Every way a folder becomes a favourite asks this one rule.
bool CanStandAtTopLevel(const std::wstring& path);
// What the user is told when a folder is refused for that.
inline constexpr wchar_t kEndsLikeSubmenuEntry[] =
    L"This folder's name ends in \"$2\", which marks a submenu's entry: it can be kept only inside a submenu";

// Whether two value names (paths, masks) are one in the registry: compared as they will be
// stored, blanks around them trimmed, and case-blind as the registry compares names.
bool SameStoredName(const std::wstring& a, const std::wstring& b);

// The folder a value name stands for: without its marker for an entry, the whole name otherwise,
// so an administrative share such as \\server\c$\data keeps its "$".
std::wstring EntryPath(const std::wstring& name);

// The last component of a folder path ("C:\Music\" gives "Music"); a path of 3 characters or
// fewer is returned whole.
std::wstring GetFolderName(const std::wstring& path);

// Answers a path's short (8.3) form from the system, empty when there is none.
using TShortPathQuery = std::function<std::wstring(const std::wstring& path)>;

// Shortens a path to a menu caption of about 50 characters.
std::wstring TestName(const std::wstring& path, const TShortPathQuery& shortPath);
