// The user's own dialogs: entries of the "Dialogs" key that name a window of another program the
// recognition does not know (its program, class and title, `*` and `?` allowed) and how a picked
// folder reaches it: typed into a box found by its path of child classes ("edit"), typed into
// whatever has the focus there ("keys"), or after an address key ("address"). Each entry is read
// from values any program of the user can write, so it is checked whole before it is used.
// Portable, no state; any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class TOwnDialogMethod { Edit, Keys, Address };

struct TOwnDialog {
  std::wstring name;     // the entry's subkey
  std::wstring program;  // an executable name (`*` and `?` allowed, as the hook matches it); empty for any
  std::wstring className;
  std::wstring title;  // empty for any title
  TOwnDialogMethod method = TOwnDialogMethod::Edit;
  std::vector<std::wstring> box;     // "edit": the classes from the top-level window down to the box
  int addressKey = (2 << 16) | 'L';  // "address": stored as JumpKey is (Ctrl+L unless the entry names one)
};

// An entry's values as stored (the key is the stored Key value, 0 when there is none).
struct TOwnDialogValues {
  std::wstring name;
  std::wstring program;
  std::wstring className;
  std::wstring title;
  std::wstring method;
  std::wstring box;
  int key = 0;
};

// An entry as stored, with why it is passed over ("" for one that is taken).
struct TStoredOwnDialog {
  TOwnDialogValues values;
  std::wstring problem;
};

// What a window picked for an entry says of itself: its program's file name, its class and
// title, and the path of classes from it to the box picked in it (empty for none).
struct TPickedWindow {
  std::wstring program;
  std::wstring className;
  std::wstring title;
  std::wstring boxPath;
};

// Longest pattern or name taken, and most classes in a box's path.
inline constexpr std::size_t kOwnDialogTextLimit = 256;
inline constexpr std::size_t kOwnDialogPathLimit = 8;

// The entry, or none with the reason for the log: no class, an unknown method, a program that is
// no bare file name, a box path that is missing or has an empty or wildcard class or too many, a
// key that names no key, or control characters or overlong text anywhere.
std::optional<TOwnDialog> ReadOwnDialog(const TOwnDialogValues& values, std::wstring& problem);

// Whether `name` can name an entry's subkey: not empty, at most 255 characters, no backslash and
// no control character.
bool IsOwnDialogName(const std::wstring& name);

// Whether `text` matches `pattern`, case-blind: `*` any run of characters, `?` any one.
bool WildcardMatch(const std::wstring& pattern, const std::wstring& text);

// The first entry that takes a window of `program`, `className` and `title`, or null.
const TOwnDialog* FindOwnDialog(const std::vector<TOwnDialog>& entries, const std::wstring& program,
                                const std::wstring& className, const std::wstring& title);
