// The options' "Dialogs" page as data: the stored entries as they are (one that is passed over is
// shown with why, and kept as it is unless it is edited), entries added, edited, filled from a
// picked window or removed, and what saving writes and deletes. Portable; main thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "settings/own_dialogs.h"

struct TOwnDialogRow {
  TOwnDialogValues values;
  std::wstring problem;  // why the agent would pass the entry over; "" when it takes it
  bool edited = false;
};

enum class TOwnDialogField { Program, Class, Title, Method, Box };

class TOwnDialogRows {
 public:
  static TOwnDialogRows FromStore(const std::vector<TStoredOwnDialog>& stored);

  std::size_t Size() const { return rows_.size(); }
  const TOwnDialogRow& operator[](std::size_t row) const { return rows_[row]; }
  // A new entry at the end, named "Dialog N" with the first N no other entry has; its index.
  std::size_t Add();
  void Remove(std::size_t row);
  void Set(std::size_t row, TOwnDialogField field, const std::wstring& text);
  void SetKey(std::size_t row, int storedKey);
  // The entry made to take the picked window: its program, class and title (a character the
  // entry could not hold becomes `?`, which takes any), and "edit" with the focused box's path,
  // else "keys".
  void Fill(std::size_t row, const TPickedWindow& picked);

  bool Changed() const { return changed_; }
  // The entries to write: those added or edited.
  std::vector<TOwnDialogValues> Written() const;
  // The stored entries removed.
  const std::vector<std::wstring>& Removed() const { return removed_; }

 private:
  void Edited(std::size_t row);

  std::vector<TOwnDialogRow> rows_;
  std::vector<std::wstring> stored_;
  std::vector<std::wstring> removed_;
  bool changed_ = false;
};
