#include "dialogs/error_dialog.h"

#include <shellapi.h>

#include <cwchar>

#include "diagnostics/logger.h"
#include "diagnostics/report_mail.h"
#include "dialogs/help.h"
#include "resource.h"
#include "settings/command_line.h"
#include "win/files.h"

namespace {

// A failure in the error dialog must not come back to it: it is logged and nothing more.
constexpr wchar_t kDialogProc[] = L"ErrorMessageForm.DialogProc";

constexpr wchar_t kFormName[] = L"Error Message form";
constexpr int kButtons[] = {IDC_ERR_UPDATES, IDC_ERR_IGNORE, IDC_ERR_RESTART, IDC_ERR_TERMINATE, IDC_ERR_SEND};

}  // namespace

TErrorMessageFormQSM3::TErrorMessageFormQSM3(HINSTANCE resources, std::wstring configurationFolder,
                                             std::function<void()> terminate)
    : resources_(resources), configurationFolder_(std::move(configurationFolder)), terminate_(std::move(terminate)) {
  // TntFormCreate: the mail settings, and the fonts of the bold and the large texts.
  mail_ = LoadMailSettings();
  LOGFONTW font{};
  font.lfHeight = -11;
  font.lfWeight = FW_BOLD;
  std::wcscpy(font.lfFaceName, L"Tahoma");
  bold_.reset(::CreateFontIndirectW(&font));
  font.lfHeight = -27;  // 20 points
  large_.reset(::CreateFontIndirectW(&font));
}

bool TErrorMessageFormQSM3::Show(const std::wstring& message) {
  if (dialog_ != nullptr) return false;
  message_ = message;
  ::DialogBoxParamW(resources_, MAKEINTRESOURCEW(IDD_ERRORMESSAGE), nullptr,
                    DialogThunk<TErrorMessageFormQSM3, kDialogProc, TDialogFailures::LoggedOnly>,
                    reinterpret_cast<LPARAM>(this));
  dialog_ = nullptr;
  return true;
}

INT_PTR TErrorMessageFormQSM3::OnMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  switch (message) {
    case WM_INITDIALOG:
      FormShow();
      return TRUE;
    case WM_COMMAND:
      // While a report is being sent the buttons wait for it.
      if (sending_ || HIWORD(wParam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wParam)) {
        case IDC_ERR_IGNORE:
          SpeedButton2Click();
          return TRUE;
        case IDC_ERR_RESTART:
          Button1Click();
          return TRUE;
        case IDC_ERR_TERMINATE:
          Button22Click();
          return TRUE;
        case IDC_ERR_UPDATES:
          btn1Click();
          return TRUE;
        case IDCANCEL:  // Escape and the close box: away, without a report
          Close();
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

void TErrorMessageFormQSM3::FormShow() {
  CommonLogRunEvent(kFormName, L"Open");
  ::SetWindowTextW(dialog_, L"Quillrook Folder");
  ::SendDlgItemMessageW(dialog_, IDC_ERR_ICON, STM_SETICON, reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_ERROR)),
                        0);
  for (int bold : {IDC_ERR_MESSAGE, IDC_ERR_TELL})
    ::SendDlgItemMessageW(dialog_, bold, WM_SETFONT, reinterpret_cast<WPARAM>(bold_.get()), FALSE);
  ::SendDlgItemMessageW(dialog_, IDC_ERR_WAIT, WM_SETFONT, reinterpret_cast<WPARAM>(large_.get()), FALSE);
  ::SetDlgItemTextW(dialog_, IDC_ERR_MESSAGE, message_.c_str());
  ::ShowWindow(::GetDlgItem(dialog_, IDC_ERR_WAIT), SW_HIDE);
  // Without a mail server to send to, the report stays here, and the dialog says so.
  mail_ = LoadMailSettings();
  SetChecked(dialog_, IDC_ERR_SEND, mail_.Configured());
  ::EnableWindow(::GetDlgItem(dialog_, IDC_ERR_SEND), mail_.Configured());
  ::SetDlgItemTextW(dialog_, IDC_ERR_NOMAIL,
                    mail_.Configured() ? L"" : L"Sending is off: no mail server is set up for error reports.");
  ::SetForegroundWindow(dialog_);
}

void TErrorMessageFormQSM3::Close() {
  ::ShowWindow(dialog_, SW_HIDE);
  ::EndDialog(dialog_, IDCANCEL);
}

void TErrorMessageFormQSM3::SpeedButton2Click() {
  CommonLogRunEvent(kFormName, L"Click Ignore");
  if (IsChecked(dialog_, IDC_ERR_SEND))
    SendBugReport();
  else
    Close();
}

void TErrorMessageFormQSM3::Button1Click() {
  CommonLogRunEvent(kFormName, L"Click restart");
  SpeedButton2Click();
  // The new copy waits until this one has gone ("/restart").
  std::wstring command = L"\"" + ProgramPath() + L"\" " + kSwitchRestart;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  Close();
  if (terminate_) terminate_();
}

void TErrorMessageFormQSM3::Button22Click() {
  CommonLogRunEvent(kFormName, L"Click Terminate");
  SpeedButton2Click();
  Close();
  if (terminate_) terminate_();
}

void TErrorMessageFormQSM3::btn1Click() {
  ::ShellExecuteW(nullptr, L"open", kHomePage, nullptr, nullptr, SW_SHOWNORMAL);
}

void TErrorMessageFormQSM3::SendBugReport() {
  sending_ = true;
  win::TScopeGuard done([this] { sending_ = false; });
  try {
    ::ShowWindow(::GetDlgItem(dialog_, IDC_ERR_WAIT), SW_SHOW);
    ::UpdateWindow(dialog_);
    // A server that cannot be reached leaves the dialog up: the user may clear the box and go on.
    if (MailBugReport(mail_, configurationFolder_) == TMailOutcome::Unreached) return;
  } catch (const std::exception&) {
    CommonLogErrorEvent(L"SendBugReport", L"ShowModal fail", L"", ::GetLastError(), true);
  }
  Close();
}
