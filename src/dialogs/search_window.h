// TQuillSearch, the search box: one edit box and, below it, the entries every typed word matches,
// best first (an icon, the caption, the path and where the entry comes from), shown at the mouse
// on the monitor it opens on. Up, Down, Page Up and Page Down move in the list, Enter takes the
// row, Escape closes the box, and so does the box losing the foreground. Entries that others must
// be asked for (the open folders) are read on a worker while the user types and join the list
// when they come. Returns the entry taken; its owner carries it out and remembers the pick. Made on
// first use and kept; main thread.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/dialog_base.h"
#include "menu/search_ranking.h"

class TQuillSearch {
 public:
  using TLaterEntries = std::function<std::vector<TSearchEntry>()>;
  // The most rows the list shows for one query.
  static constexpr std::size_t kMostRows = 500;

  explicit TQuillSearch(HINSTANCE resources) : resources_(resources) {}
  TQuillSearch(const TQuillSearch&) = delete;
  TQuillSearch& operator=(const TQuillSearch&) = delete;

  // Shows the box at `at` with `typed` in it over `entries`, and `later`'s entries once its
  // worker answers; runs until the user takes a row or closes the box.
  std::optional<TSearchEntry> Show(POINT at, const std::wstring& typed, std::vector<TSearchEntry> entries,
                                   const TPickHistory& history, TLaterEntries later);

 private:
  template <class T, const wchar_t* Where, TDialogFailures Failures>
  friend INT_PTR CALLBACK DialogThunk(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  // The rows' icons and the columns at the box's DPI now (made at the DPI of the monitor it
  // opens on, and following it when it moves to another).
  void FollowDpi();
  bool OnNotify(const NMHDR& header, LRESULT& result);
  // The typed text ranked anew, the list shown from its first row.
  void Search();
  void Take();
  const TSearchEntry* Row(int row) const;
  int IconOf(const TSearchEntry& entry) const;

  HINSTANCE resources_;
  HWND dialog_ = nullptr;
  POINT at_{};
  std::wstring typed_;
  std::vector<TSearchEntry> entries_;
  std::unique_ptr<TSearchIndex> index_;
  const TPickHistory* history_ = nullptr;
  std::vector<TSearchHit> hits_;
  // The folder the typed text names, where it is a full path of one: the first row.
  std::optional<TSearchEntry> typedFolder_;
  std::optional<TSearchEntry> taken_;
  bool active_ = false;
  unsigned dpi_ = 96;
  // The worker's answer, handed over by the message that says it came.
  struct TLater;
  std::shared_ptr<TLater> later_;
};
