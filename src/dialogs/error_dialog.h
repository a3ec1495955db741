// TErrorMessageFormQSM3, the error dialog: the message of an exception nobody handled, and the
// choice to ignore it, restart or end the agent, each of which first has the bug report mailed
// (diagnostics/report_mail.h) while "Send this error via Internet" is checked; without a mail
// server in the settings the box is off. Created once and kept; main thread.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "dialogs/dialog_base.h"
#include "settings/settings_registry.h"
#include "win/handles.h"

class TErrorMessageFormQSM3 {
 public:
  // `configurationFolder` holds the report's archive; `terminate` ends the application.
  TErrorMessageFormQSM3(HINSTANCE resources, std::wstring configurationFolder, std::function<void()> terminate);
  TErrorMessageFormQSM3(const TErrorMessageFormQSM3&) = delete;
  TErrorMessageFormQSM3& operator=(const TErrorMessageFormQSM3&) = delete;

  // Shows the dialog modally with `message`; false at once when it is already up.
  bool Show(const std::wstring& message);

 private:
  template <class T, const wchar_t* Where, TDialogFailures Failures>
  friend INT_PTR CALLBACK DialogThunk(HWND, UINT, WPARAM, LPARAM);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void FormShow();
  void SpeedButton2Click();  // "Ignore"
  void Button1Click();       // "Restart"
  void Button22Click();      // "Terminate"
  void btn1Click();          // "Check for Updates"
  void SendBugReport();
  void Close();

  HINSTANCE resources_;
  std::wstring configurationFolder_;
  std::function<void()> terminate_;
  TMailSettings mail_;
  HWND dialog_ = nullptr;
  std::wstring message_;
  win::TFontHandle bold_, large_;
  bool sending_ = false;
};
