#include "dialogs/own_dialog_rows.h"

#include <algorithm>

#include "win/text_rules.h"

namespace {

// What a window says, as an entry's pattern can hold it: each control character a `?` and a text
// past the limit cut, with a `*` for the rest.
std::wstring Pattern(const std::wstring& text) {
  std::wstring pattern = text;
  for (wchar_t& c : pattern)
    if (c < 0x20 || c == 0x7F) c = L'?';
  if (pattern.size() > kOwnDialogTextLimit) pattern = pattern.substr(0, kOwnDialogTextLimit - 1) + L'*';
  return pattern;
}

}  // namespace

TOwnDialogRows TOwnDialogRows::FromStore(const std::vector<TStoredOwnDialog>& stored) {
  TOwnDialogRows rows;
  for (const TStoredOwnDialog& entry : stored) {
    rows.rows_.push_back({entry.values, entry.problem, false});
    rows.stored_.push_back(entry.values.name);
  }
  return rows;
}

std::size_t TOwnDialogRows::Add() {
  const auto taken = [this](const std::wstring& name) {
    return std::any_of(rows_.begin(), rows_.end(),
                       [&](const TOwnDialogRow& row) { return text::SameCaseBlind(row.values.name, name); }) ||
           std::any_of(removed_.begin(), removed_.end(),
                       [&](const std::wstring& removed) { return text::SameCaseBlind(removed, name); });
  };
  std::wstring name;
  for (int n = 1; name.empty() || taken(name); ++n) name = L"Dialog " + std::to_wstring(n);
  TOwnDialogRow row;
  row.values.name = name;
  row.values.method = L"edit";
  rows_.push_back(row);
  Edited(rows_.size() - 1);
  return rows_.size() - 1;
}

void TOwnDialogRows::Remove(std::size_t row) {
  if (row >= rows_.size()) return;
  const std::wstring name = rows_[row].values.name;
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
  if (std::any_of(stored_.begin(), stored_.end(), [&](const std::wstring& s) { return text::SameCaseBlind(s, name); }))
    removed_.push_back(name);
  changed_ = true;
}

void TOwnDialogRows::Set(std::size_t row, TOwnDialogField field, const std::wstring& text) {
  if (row >= rows_.size()) return;
  // Each field's value, in the order of TOwnDialogField.
  static constexpr std::wstring TOwnDialogValues::*kValues[] = {&TOwnDialogValues::program,
                                                                &TOwnDialogValues::className, &TOwnDialogValues::title,
                                                                &TOwnDialogValues::method, &TOwnDialogValues::box};
  std::wstring* target = &(rows_[row].values.*kValues[static_cast<std::size_t>(field)]);
  if (*target == text) return;
  *target = text;
  Edited(row);
}

void TOwnDialogRows::SetKey(std::size_t row, int storedKey) {
  if (row >= rows_.size() || rows_[row].values.key == storedKey) return;
  rows_[row].values.key = storedKey;
  Edited(row);
}

void TOwnDialogRows::Fill(std::size_t row, const TPickedWindow& picked) {
  if (row >= rows_.size()) return;
  TOwnDialogValues& v = rows_[row].values;
  v.program = Pattern(picked.program);
  v.className = Pattern(picked.className);
  v.title = Pattern(picked.title);
  v.method = picked.boxPath.empty() ? L"keys" : L"edit";
  v.box = picked.boxPath.size() <= kOwnDialogTextLimit ? picked.boxPath : L"";
  v.key = 0;
  Edited(row);
}

std::vector<TOwnDialogValues> TOwnDialogRows::Written() const {
  std::vector<TOwnDialogValues> written;
  for (const TOwnDialogRow& row : rows_)
    if (row.edited) written.push_back(row.values);
  return written;
}

void TOwnDialogRows::Edited(std::size_t row) {
  TOwnDialogRow& r = rows_[row];
  r.edited = true;
  r.problem.clear();
  ReadOwnDialog(r.values, r.problem);
  changed_ = true;
}
