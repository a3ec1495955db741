// "What's in the report": the files a bug report packs, by their names in the archive, and the
// text of the one chosen, as it goes out. Shown from the error dialog before anything leaves.
// Main thread.
#pragma once

#include <windows.h>

#include "diagnostics/bug_report.h"
#include "dialogs/dialog_base.h"

class TReportContents {
 public:
  explicit TReportContents(HINSTANCE resources) : resources_(resources) {}
  TReportContents(const TReportContents&) = delete;
  TReportContents& operator=(const TReportContents&) = delete;

  // Shows `report` modally over `owner`.
  void Show(HWND owner, const TBugReport& report);

 private:
  template <class T, const wchar_t* Where, TDialogFailures Failures>
  friend INT_PTR CALLBACK DialogThunk(HWND, UINT, WPARAM, LPARAM);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void ShowSelected();

  HINSTANCE resources_;
  HWND dialog_ = nullptr;
  const TBugReport* report_ = nullptr;
};
