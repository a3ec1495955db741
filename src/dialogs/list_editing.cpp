#include "dialogs/list_editing.h"

#include <algorithm>

#include "menu/favourites_rules.h"
#include "win/text_rules.h"

namespace {

std::wstring CaptionData(const std::wstring& caption, int image) { return caption + L"$" + std::to_wstring(image); }

}  // namespace

TFavouriteRows TFavouriteRows::FromStore(const std::vector<std::wstring>& names,
                                         const std::vector<std::wstring>& values) {
  TFavouriteRows rows;
  for (std::size_t i = 0; i < names.size() && i < values.size(); ++i) {
    const TCaptionNumber data = Cap(values[i]);
    TFavouriteRow row{data.caption, {}, data.number, 0};
    if (!IsSubmenuHeader(names[i])) {
      row.path = EntryPath(names[i]);
      row.level = IsSubmenuEntry(names[i]) ? 1 : 0;
    }
    rows.rows_.push_back(std::move(row));
  }
  return rows;
}

std::vector<TStoreValue> TFavouriteRows::ToStore() const {
  std::vector<TStoreValue> values;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const TFavouriteRow& row = rows_[i];
    if (IsHeader(static_cast<int>(i))) {
      // A header's title is stored as entered, blanks and all.
      values.emplace_back(kSubmenuHeaderPrefix + std::to_wstring(i), CaptionData(row.caption, row.image));
    } else {
      values.emplace_back(text::Trim(row.path) + (row.level == 1 ? kEntryMarker : L""),
                          CaptionData(text::Trim(row.caption), row.image));
    }
  }
  return values;
}

bool TFavouriteRows::IsHeader(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < rows_.size() && rows_[row].path.empty() && rows_[row].level == 0;
}

bool TFavouriteRows::IsEntry(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < rows_.size() && rows_[row].level == 1;
}

int TFavouriteRows::BlockEnd(int header) const {
  int end = header;
  while (IsEntry(end + 1)) ++end;
  return end;
}

int TFavouriteRows::HeaderOf(int row) const {
  if (!IsEntry(row)) return -1;
  while (row >= 0 && !IsHeader(row)) --row;
  return row;
}

std::vector<int> TFavouriteRows::Headers() const {
  std::vector<int> headers;
  for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
    if (IsHeader(i)) headers.push_back(i);
  return headers;
}

int TFavouriteRows::LevelBelow(std::optional<int> selected) const {
  const bool below = selected && *selected >= 0 && static_cast<std::size_t>(*selected) < rows_.size();
  return !below ? 0 : IsHeader(*selected) ? 1 : rows_[*selected].level;
}

std::wstring TFavouriteRows::RefusedFolder(const std::wstring& path, std::optional<int> selected) const {
  if (PathElsewhere(-1, path) >= 0) return kPathExists;
  if (LevelBelow(selected) == 0 && !CanStandAtTopLevel(path)) return kEndsLikeSubmenuEntry;
  return {};
}

std::optional<int> TFavouriteRows::AddFolder(const std::wstring& path, std::optional<int> selected) {
  if (!RefusedFolder(path, selected).empty()) return std::nullopt;
  const bool below = selected && *selected >= 0 && static_cast<std::size_t>(*selected) < rows_.size();
  const int at = below ? *selected + 1 : static_cast<int>(rows_.size());
  rows_.insert(rows_.begin() + at, TFavouriteRow{path, path, kPlainFolderImage, LevelBelow(selected)});
  return at;
}

int TFavouriteRows::AddSubmenu() {
  rows_.push_back(TFavouriteRow{{}, {}, kSubmenuImage, 0});
  return static_cast<int>(rows_.size()) - 1;
}

bool TFavouriteRows::CanRemove(int row) const { return !(IsHeader(row) && IsEntry(row + 1)); }

void TFavouriteRows::Remove(int row) {
  if (row >= 0 && static_cast<std::size_t>(row) < rows_.size()) rows_.erase(rows_.begin() + row);
}

void TFavouriteRows::MoveRange(int first, int last, int to) {
  std::vector<TFavouriteRow> moved(rows_.begin() + first, rows_.begin() + last + 1);
  rows_.erase(rows_.begin() + first, rows_.begin() + last + 1);
  rows_.insert(rows_.begin() + to, moved.begin(), moved.end());
}

std::optional<int> TFavouriteRows::MoveUp(int s) {
  if (s <= 0 || static_cast<std::size_t>(s) >= rows_.size()) return std::nullopt;
  const auto submenuRow = [this](int row) { return IsHeader(row) || IsEntry(row); };
  if (IsHeader(s)) {
    // Above the top-level folder directly above, or above all the submenus directly above.
    int t = s - 1;
    if (submenuRow(t)) {
      while (t - 1 >= 0 && submenuRow(t - 1)) --t;
    }
    MoveRange(s, BlockEnd(s), t);
    return t;
  }
  if (!IsEntry(s)) {
    // A folder moves above the row above it, or above the whole submenu it follows.
    const int t = IsEntry(s - 1) ? HeaderOf(s - 1) : s - 1;
    MoveRange(s, s, t);
    return t;
  }
  if (IsHeader(s - 1)) return std::nullopt;  // an entry does not leave its submenu by moving
  std::swap(rows_[s], rows_[s - 1]);
  return s - 1;
}

std::optional<int> TFavouriteRows::MoveDown(int s) {
  const int last = static_cast<int>(rows_.size()) - 1;
  if (s < 0 || s >= last) return std::nullopt;
  const auto submenuRow = [this](int row) { return IsHeader(row) || IsEntry(row); };
  if (IsHeader(s)) {
    const int e = BlockEnd(s);
    if (e == last) return std::nullopt;
    int t = e + 1;
    // Below the top-level folder directly below, or below all the submenus directly below.
    if (t != last && submenuRow(t)) {
      while (t + 1 <= last && submenuRow(t + 1)) ++t;
    }
    const int size = e - s + 1;
    MoveRange(s, e, t - size + 1);
    return t - size + 1;
  }
  if (!IsEntry(s)) {
    if (IsHeader(s + 1)) {
      const int e = BlockEnd(s + 1);
      MoveRange(s, s, e);
      return e;
    }
    std::swap(rows_[s], rows_[s + 1]);
    return s + 1;
  }
  if (!IsEntry(s + 1)) return std::nullopt;
  std::swap(rows_[s], rows_[s + 1]);
  return s + 1;
}

int TFavouriteRows::ParentOf(int row) const {
  const int header = HeaderOf(row);
  if (header < 0) return kNoSubmenu;
  const std::vector<int> headers = Headers();
  return static_cast<int>(std::find(headers.begin(), headers.end(), header) - headers.begin()) + 1;
}

int TFavouriteRows::PathElsewhere(int except, const std::wstring& path) const {
  // Headers have no path; an empty one is no folder to compare.
  if (text::Trim(path).empty()) return -1;
  for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
    if (i != except && !IsHeader(i) && SameStoredName(rows_[i].path, path)) return i;
  return -1;
}

bool TFavouriteRows::TitleIn(int first, int last, int except, const std::wstring& title) const {
  for (int i = first; i <= last; ++i)
    if (i != except && rows_[i].caption == title) return true;
  return false;
}

bool TFavouriteRows::TitleAtTopLevel(int except, const std::wstring& title) const {
  for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
    if (i != except && rows_[i].level == 0 && rows_[i].caption == title) return true;
  return false;
}

std::wstring TFavouriteRows::ApplyEdit(int row, int parent, int initialParent, const std::wstring& path,
                                       const std::wstring& title, int image) {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size() || title.empty()) return kNoAnswer;
  const std::vector<int> headers = Headers();
  if (parent < kNoSubmenu || parent > static_cast<int>(headers.size())) return kNoAnswer;
  // Two rows of one path would be one registry value, and one of them lost at the save.
  if (const int other = PathElsewhere(row, path); other >= 0) {
    const int otherHeader = HeaderOf(other);
    const bool sameLevel =
        parent == kNoSubmenu ? otherHeader < 0 : otherHeader == headers[static_cast<std::size_t>(parent - 1)];
    return sameLevel ? kSamePathInLevel : kPathExists;
  }
  if (parent == kNoSubmenu) {
    if (!path.empty() && !CanStandAtTopLevel(path)) return kEndsLikeSubmenuEntry;
    if (TitleAtTopLevel(row, title)) return kSameNameInLevel;
  } else {
    // The header belongs to its block: a folder may not take its submenu's title.
    const int header = headers[static_cast<std::size_t>(parent - 1)];
    if (TitleIn(header, BlockEnd(header), row, title)) return kSameNameInLevel;
  }
  const auto edited = [&](int level) { return TFavouriteRow{title, path, image, level}; };
  if (parent == initialParent || initialParent == -1) {
    rows_[row] = edited(rows_[row].level);
    return {};
  }
  const auto moveAfter = [&](int e, int level) {
    // The new row goes in after e, then the old one goes.
    rows_.insert(rows_.begin() + e + 1, edited(level));
    rows_.erase(rows_.begin() + (row > e ? row + 1 : row));
  };
  if (parent == kNoSubmenu) {
    // Out of its submenu: to directly after that submenu's block.
    const int e = BlockEnd(HeaderOf(row));
    if (e == row)
      rows_[row] = edited(0);
    else
      moveAfter(e, 0);
    return {};
  }
  const int e = BlockEnd(headers[static_cast<std::size_t>(parent - 1)]);
  if (row == e + 1)
    rows_[row] = edited(1);
  else
    moveAfter(e, 1);
  return {};
}

TFilterRows TFilterRows::FromStore(const std::vector<std::wstring>& masks, const std::vector<std::wstring>& captions) {
  TFilterRows rows;
  for (std::size_t i = 0; i < masks.size() && i < captions.size(); ++i) rows.rows_.push_back({captions[i], masks[i]});
  return rows;
}

std::vector<TStoreValue> TFilterRows::ToStore() const {
  std::vector<TStoreValue> values;
  for (const TFilterRow& row : rows_) values.emplace_back(text::Trim(row.mask), text::Trim(row.name));
  return values;
}

std::wstring TFilterRows::ApplyEdit(std::optional<int> row, const std::wstring& name, const std::wstring& mask) {
  if (mask.empty()) return kNoAnswer;
  if (name.empty()) return kBothFields;
  const int except = row.value_or(-1);
  for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
    if (i != except && rows_[i].name == name) return kSameNameInLevel;
  for (int i = 0; i < static_cast<int>(rows_.size()); ++i)
    if (i != except && SameStoredName(rows_[i].mask, mask)) return kSameMask;
  if (row && *row >= 0 && static_cast<std::size_t>(*row) < rows_.size())
    rows_[*row] = {name, mask};
  else
    rows_.push_back({name, mask});
  return {};
}

void TFilterRows::Remove(int row) {
  if (row >= 0 && static_cast<std::size_t>(row) < rows_.size()) rows_.erase(rows_.begin() + row);
}

std::optional<int> TFilterRows::MoveUp(int row) {
  if (row <= 0 || static_cast<std::size_t>(row) >= rows_.size()) return std::nullopt;
  std::swap(rows_[row], rows_[row - 1]);
  return row - 1;
}

std::optional<int> TFilterRows::MoveDown(int row) {
  if (row < 0 || static_cast<std::size_t>(row) + 1 >= rows_.size()) return std::nullopt;
  std::swap(rows_[row], rows_[row + 1]);
  return row + 1;
}
