// TErrorMessageFormQSM3, the error dialog: the message of an exception nobody handled, and the
// choice to ignore it, restart or end the agent. Each of these first takes the bug report away
// as the boxes say: "Save a report on this computer" packs it into the data folder and shows
// it there in Explorer, "Send this error via Internet" mails it (diagnostics/report_mail.h) from
// a worker thread, with "Please wait." and a "Cancel" while it goes, so the agent's tray, hook
// and menus keep working. Without a mail server in the settings sending is off and saving is
// on. "What's in it" shows the report's files before anything leaves. Created once and kept;
// main thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "diagnostics/bug_report.h"
#include "dialogs/dialog_base.h"
#include "settings/settings_registry.h"
#include "win/handles.h"

class TErrorMessageFormQSM3 {
 public:
  // `configurationFolder` holds the report's archive; `terminate` ends the application.
  TErrorMessageFormQSM3(HINSTANCE resources, std::wstring configurationFolder, std::function<void()> terminate);
  TErrorMessageFormQSM3(const TErrorMessageFormQSM3&) = delete;
  TErrorMessageFormQSM3& operator=(const TErrorMessageFormQSM3&) = delete;
  ~TErrorMessageFormQSM3();

  // Shows the dialog modally with `message`; false at once when it is already up.
  bool Show(const std::wstring& message);

 private:
  // What the user chose, carried out once the report is away.
  enum class TChoice { Ignore, Restart, Terminate };

  template <class T, const wchar_t* Where, TDialogFailures Failures>
  friend INT_PTR CALLBACK DialogThunk(HWND, UINT, WPARAM, LPARAM);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void FormShow();
  void SpeedButton2Click();  // "Ignore"
  void Button1Click();       // "Restart"
  void Button22Click();      // "Terminate"
  void btn1Click();          // "Check for Updates"
  void ShowContents();       // "What's in it"
  // The report as the boxes say, then `choice`; or, while a report is mailed, `choice` when it
  // is away.
  void Choose(TChoice choice);
  void Carry(TChoice choice);
  // Builds the report once for this showing; false (and a line in the dialog) when it cannot.
  bool BuildReport();
  void SaveReport();
  void StartSending(TChoice then);
  void SendingEnded(int outcome);
  void StopSending();
  void SetBusy(bool sending);
  void Close();

  HINSTANCE resources_;
  std::wstring configurationFolder_;
  std::function<void()> terminate_;
  TMailSettings mail_;
  HWND dialog_ = nullptr;
  std::wstring message_;
  win::TFontHandle bold_, large_;
  TBugReport report_;
  bool busy_ = false;  // a report is packed or mailed: the buttons wait
  TChoice pending_ = TChoice::Ignore;
  std::thread sender_;
  std::atomic<bool> cancel_{false};
};
