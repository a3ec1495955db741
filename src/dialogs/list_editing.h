// The options dialog's two lists as data: the favourites rows (folders, submenu headers and
// their entries) and the filter rows, loaded from the store's lists, edited by the list
// operations and the editor's rules, and turned back into the store's values. Portable: the
// dialogs only bind their list views and boxes to it. Main thread.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// One row of the favourites list. A submenu header has an empty path and level 0; the level-1
// rows that directly follow a header are that submenu's entries; submenus do not nest.
struct TFavouriteRow {
  std::wstring caption;
  std::wstring path;
  int image = 0;
  int level = 0;
  friend bool operator==(const TFavouriteRow&, const TFavouriteRow&) = default;
};

struct TFilterRow {
  std::wstring name;
  std::wstring mask;
  friend bool operator==(const TFilterRow&, const TFilterRow&) = default;
};

// A registry value of the store: name and data.
using TStoreValue = std::pair<std::wstring, std::wstring>;

inline constexpr int kPlainFolderImage = 0;
inline constexpr int kSubmenuImage = 5;

// What the editor offers in "Top level menu": 0 "None", k the k-th submenu header.
inline constexpr int kNoSubmenu = 0;

// The messages of the list operations and the editor, shown with the caption "Information".
inline constexpr wchar_t kPathExists[] = L"This path already exists";
inline constexpr wchar_t kSubmenuNotEmpty[] = L"Before delete Submenu, You must delete Submenu's items";
inline constexpr wchar_t kSamePathInLevel[] = L"Item with this path already exists in this level";
inline constexpr wchar_t kSameNameInLevel[] = L"Item with this name already exists in this level";
inline constexpr wchar_t kSameMask[] = L"Item with this mask already exists";
inline constexpr wchar_t kBothFields[] = L"You must enter both field";

class TFavouriteRows {
 public:
  TFavouriteRows() = default;
  explicit TFavouriteRows(std::vector<TFavouriteRow> rows) : rows_(std::move(rows)) {}

  // The rows of the favourites key's values in order. A path is the value name as stored, its
  // submenu marker "$2" taken off, so a "$" inside a path (\\server\c$\logs) survives.
  static TFavouriteRows FromStore(const std::vector<std::wstring>& names, const std::vector<std::wstring>& values);
  // The favourites key's values, top to bottom: paths and captions trimmed, entries marked "$2",
  // headers named "Submenu" and their row position, with their captions as entered.
  std::vector<TStoreValue> ToStore() const;

  const std::vector<TFavouriteRow>& Rows() const { return rows_; }
  std::size_t Size() const { return rows_.size(); }
  const TFavouriteRow& operator[](std::size_t row) const { return rows_[row]; }

  bool IsHeader(int row) const;
  // The last row of the block a header begins (the header itself for an empty submenu).
  int BlockEnd(int header) const;
  // The header of the submenu an entry is in, or -1 for a top-level row.
  int HeaderOf(int row) const;
  // The rows of the submenu headers, in list order: "Top level menu" entries 1, 2, ...
  std::vector<int> Headers() const;

  // "Add Folder...": the new row below `selected` (at the end without one), inside the submenu
  // when that is a header or an entry; the new row's position, or none when RefusedFolder
  // refuses it.
  std::optional<int> AddFolder(const std::wstring& path, std::optional<int> selected);
  // Why "Add Folder..." would refuse the path below `selected`: kPathExists when a row of any
  // level has it already (as it will be stored), kEndsLikeSubmenuEntry for a top-level row whose
  // path would read back as a submenu entry; empty when it may be added.
  std::wstring RefusedFolder(const std::wstring& path, std::optional<int> selected) const;
  // "Add Submenu": an empty header appended; its position.
  int AddSubmenu();
  // "Remove": false when the row is a header whose submenu still has entries (kSubmenuNotEmpty).
  bool CanRemove(int row) const;
  void Remove(int row);
  // "Up" and "Down": the new selection, or none when nothing moved.
  std::optional<int> MoveUp(int row);
  std::optional<int> MoveDown(int row);

  // The editor's "Top level menu" selection for a row when it opens (0 "None" for a top-level
  // row, else the position of its header among the headers).
  int ParentOf(int row) const;
  // The editor's "OK" on `row`: checks the level rules (a path stands once in the whole list)
  // and places the row. Empty on success,
  // else the message for the user, and the rows are as they were.
  std::wstring ApplyEdit(int row, int parent, int initialParent, const std::wstring& path, const std::wstring& title,
                         int image);

 private:
  bool IsEntry(int row) const;
  // The level a folder added below `selected` gets.
  int LevelBelow(std::optional<int> selected) const;
  // Another row than `except` with this path as it will be stored; -1 for none.
  int PathElsewhere(int except, const std::wstring& path) const;
  // Another row than `except` in [first, last] with this title.
  bool TitleIn(int first, int last, int except, const std::wstring& title) const;
  bool TitleAtTopLevel(int except, const std::wstring& title) const;
  // Moves rows [first, last] so that they start at `to` (an index of the list without them).
  void MoveRange(int first, int last, int to);

  std::vector<TFavouriteRow> rows_;
};

class TFilterRows {
 public:
  TFilterRows() = default;
  explicit TFilterRows(std::vector<TFilterRow> rows) : rows_(std::move(rows)) {}

  static TFilterRows FromStore(const std::vector<std::wstring>& masks, const std::vector<std::wstring>& captions);
  // The filters key's values: masks and names trimmed.
  std::vector<TStoreValue> ToStore() const;

  const std::vector<TFilterRow>& Rows() const { return rows_; }
  std::size_t Size() const { return rows_.size(); }

  // The editor's "OK" for a new filter (`row` none) or an edited one. Empty on success (a new
  // filter then ends the list), else the message (a mask stands once, compared as stored); an
  // empty mask is no answer and gives
  // kNoAnswer, leaving the editor open without a message.
  std::wstring ApplyEdit(std::optional<int> row, const std::wstring& name, const std::wstring& mask);
  void Remove(int row);
  std::optional<int> MoveUp(int row);
  std::optional<int> MoveDown(int row);

 private:
  std::vector<TFilterRow> rows_;
};

// The answer of an editor "OK" that keeps the editor open without a message.
inline constexpr wchar_t kNoAnswer[] = L"-";
