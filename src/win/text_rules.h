// The program's text and path rules, in one home: case-blind comparison, trimming, the trailing
// separator, joining paths and a path's last name. Portable (no Windows headers), no state; any
// thread.
//
// Case-blind here is per character with the C library's mapping (in the program's "C" locale:
// the ASCII letters), which is what its own lists, keys and file names need. Where the system
// itself decides whether two names are one (a registry value name, a path on disk, a window
// class), the Win32 layer asks the system instead: CompareStringOrdinal with ignore-case, which
// folds every letter by the system's own table (SameText in the favourites store).
#pragma once

#include <string>

namespace text {

std::wstring UpperCase(std::wstring text);
std::wstring LowerCase(std::wstring text);
bool SameCaseBlind(const std::wstring& a, const std::wstring& b);
// Ordered as their upper-case forms are.
bool LessCaseBlind(const std::wstring& a, const std::wstring& b);
// Where `part` stands in `text`, case-blind; npos when it does not.
std::size_t FindCaseBlind(const std::wstring& text, const std::wstring& part);

// Blanks and control characters (everything up to U+0020) taken off both ends.
std::wstring Trim(const std::wstring& text);

// Both separators count: "\" and "/".
bool IsPathSeparator(wchar_t c);
// The path with one "\" at its end ("" stays empty).
std::wstring WithTrailingSeparator(std::wstring path);
// The path without separators at its end; a drive root "C:\" keeps its own, since "C:" names the
// drive's current folder instead.
std::wstring WithoutTrailingSeparator(std::wstring path);
// `name` below `folder`, with exactly the one separator between them that the folder lacks.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
// The last component: what follows the last separator (the whole text without one).
std::wstring FileNameOf(const std::wstring& path);
// What stands before the last separator; empty without one.
std::wstring ParentOf(const std::wstring& path);

// Whether the text holds a control character (below U+0020, or U+007F): no name of the file
// system does, and a shell or a log would read one as a key or a line's end.
bool HasControlCharacter(const std::wstring& text);
// A file's name alone ("notepad.exe"): not empty, at most 260 characters, no folder, drive or
// control character in it.
bool IsBareFileName(const std::wstring& name);
// Whether the file's name ends in an extension the system runs as a program or script, or
// follows as a shortcut (".exe", ".bat", ".lnk", ...), case-blind; trailing dots and blanks,
// which the file system drops, do not hide one.
bool IsProgramFileName(const std::wstring& path);

}  // namespace text
