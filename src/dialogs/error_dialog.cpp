#include "dialogs/error_dialog.h"

#include <shellapi.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cwchar>

#include "diagnostics/logger.h"
#include "diagnostics/report_mail.h"
#include "dialogs/help.h"
#include "dialogs/report_contents_dialog.h"
#include "navigation/window_navigation.h"
#include "resource.h"
#include "settings/command_line.h"
#include "win/files.h"

namespace {

// A failure in the error dialog must not come back to it: it is logged and nothing more.
constexpr wchar_t kDialogProc[] = L"ErrorMessageForm.DialogProc";

constexpr wchar_t kFormName[] = L"Error Message form";
constexpr wchar_t kSaveName[] = L"Save a report";
// The sending worker's word to the dialog that it is done; wParam is the TMailOutcome.
constexpr UINT kSendingEnded = WM_APP + 20;

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
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LINK_CLASS | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
}

TErrorMessageFormQSM3::~TErrorMessageFormQSM3() { StopSending(); }

bool TErrorMessageFormQSM3::Show(const std::wstring& message) {
  if (dialog_ != nullptr) return false;
  message_ = message;
  report_ = TBugReport{};
  ::DialogBoxParamW(resources_, MAKEINTRESOURCEW(IDD_ERRORMESSAGE), nullptr,
                    DialogThunk<TErrorMessageFormQSM3, kDialogProc, TDialogFailures::LoggedOnly>,
                    reinterpret_cast<LPARAM>(this));
  // The dialog may end under a report being mailed (the agent's "Exit" ends every modal loop).
  StopSending();
  dialog_ = nullptr;
  return true;
}

INT_PTR TErrorMessageFormQSM3::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      FormShow();
      return TRUE;
    case kSendingEnded:
      SendingEnded(static_cast<int>(wParam));
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom != IDC_ERR_CONTENTS || (header->code != NM_CLICK && header->code != NM_RETURN)) return FALSE;
      if (!busy_) ShowContents();
      return TRUE;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      // While a report is being sent, "Cancel" (and Escape) ends the attempt; the rest wait.
      if (busy_) {
        if (LOWORD(wParam) == IDC_ERR_CANCEL || LOWORD(wParam) == IDCANCEL) cancel_ = true;
        return TRUE;
      }
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
  SetBusy(false);
  // Without a mail server to send to, the report is saved here, and the dialog says so.
  mail_ = LoadMailSettings();
  SetChecked(dialog_, IDC_ERR_SEND, mail_.Configured());
  ::EnableWindow(::GetDlgItem(dialog_, IDC_ERR_SEND), mail_.Configured());
  SetChecked(dialog_, IDC_ERR_SAVE, !mail_.Configured());
  ::SetDlgItemTextW(dialog_, IDC_ERR_NOMAIL,
                    mail_.Configured() ? L"" : L"Sending is off: no mail server is set up for error reports.");
  ::SetForegroundWindow(dialog_);
}

void TErrorMessageFormQSM3::SetBusy(bool sending) {
  busy_ = sending;
  ::ShowWindow(::GetDlgItem(dialog_, IDC_ERR_WAIT), sending ? SW_SHOW : SW_HIDE);
  ::ShowWindow(::GetDlgItem(dialog_, IDC_ERR_CANCEL), sending ? SW_SHOW : SW_HIDE);
  for (int id : {IDC_ERR_IGNORE, IDC_ERR_RESTART, IDC_ERR_TERMINATE, IDC_ERR_SEND, IDC_ERR_SAVE})
    ::EnableWindow(::GetDlgItem(dialog_, id), !sending && (id != IDC_ERR_SEND || mail_.Configured()));
  if (sending) ::SetFocus(::GetDlgItem(dialog_, IDC_ERR_CANCEL));
  ::UpdateWindow(dialog_);
}

void TErrorMessageFormQSM3::Close() {
  ::ShowWindow(dialog_, SW_HIDE);
  ::EndDialog(dialog_, IDCANCEL);
}

void TErrorMessageFormQSM3::SpeedButton2Click() {
  CommonLogRunEvent(kFormName, L"Click Ignore");
  Choose(TChoice::Ignore);
}

void TErrorMessageFormQSM3::Button1Click() {
  CommonLogRunEvent(kFormName, L"Click restart");
  Choose(TChoice::Restart);
}

void TErrorMessageFormQSM3::Button22Click() {
  CommonLogRunEvent(kFormName, L"Click Terminate");
  Choose(TChoice::Terminate);
}

void TErrorMessageFormQSM3::btn1Click() {
  ::ShellExecuteW(nullptr, L"open", kHomePage, nullptr, nullptr, SW_SHOWNORMAL);
}

void TErrorMessageFormQSM3::Choose(TChoice choice) {
  const bool save = IsChecked(dialog_, IDC_ERR_SAVE), send = IsChecked(dialog_, IDC_ERR_SEND) && mail_.Configured();
  if (save || send) {
    // A report that could not be built is not dropped as if it had gone: the dialog stays.
    if (!BuildReport()) return;
    if (save) SaveReport();
    if (send) {
      StartSending(choice);
      return;
    }
  }
  Carry(choice);
}

void TErrorMessageFormQSM3::Carry(TChoice choice) {
  if (choice == TChoice::Restart) {
    // The new copy waits until this one has gone ("/restart").
    std::wstring command = L"\"" + ProgramPath() + L"\" " + kSwitchRestart;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      ::CloseHandle(process.hThread);
      ::CloseHandle(process.hProcess);
    }
  }
  Close();
  if (choice != TChoice::Ignore && terminate_) terminate_();
}

bool TErrorMessageFormQSM3::BuildReport() {
  if (!report_.archive.empty() && FileExists(report_.archive)) return true;
  busy_ = true;  // packing answers the dialog's messages: no second click starts another
  const bool built = BackupSystem(configurationFolder_, report_);
  busy_ = false;
  if (!built) {
    report_ = TBugReport{};
    ::SetDlgItemTextW(dialog_, IDC_ERR_NOMAIL, L"The report could not be built: see the log.");
  }
  return built;
}

void TErrorMessageFormQSM3::SaveReport() {
  // Explorer opens on the data folder with the archive selected; failing that, on the folder.
  HRESULT result = E_FAIL;
  if (PIDLIST_ABSOLUTE item = ::ILCreateFromPathW(report_.archive.c_str())) {
    result = ::SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
    ::ILFree(item);
  }
  CommonLogRunEvent(kSaveName, L"Saved as " + report_.archive);
  if (FAILED(result)) OpenFolderInShell(configurationFolder_, L"explore");
}

void TErrorMessageFormQSM3::ShowContents() {
  if (!BuildReport()) return;
  CommonLogRunEvent(kFormName, L"What's in it: " + std::to_wstring(report_.files.size()) + L" files");
  TReportContents(resources_).Show(dialog_, report_);
}

void TErrorMessageFormQSM3::StartSending(TChoice then) {
  StopSending();
  pending_ = then;
  cancel_ = false;
  SetBusy(true);
  const HWND dialog = dialog_;
  sender_ = std::thread([this, dialog, mail = mail_, archive = report_.archive] {
    auto outcome = TMailOutcome::Unreached;
    GuardedCallback(L"SendBugReport", [&] { outcome = MailBugReport(mail, archive, cancel_); });
    ::PostMessageW(dialog, kSendingEnded, static_cast<WPARAM>(outcome), 0);
  });
}

void TErrorMessageFormQSM3::SendingEnded(int outcome) {
  StopSending();
  SetBusy(false);
  const auto mailed = static_cast<TMailOutcome>(outcome);
  if (mailed == TMailOutcome::Stopped) {
    // Cancelled, or out of time: the choices are the user's again.
    ::SetDlgItemTextW(dialog_, IDC_ERR_NOMAIL, L"The report was not sent.");
    return;
  }
  // A server that cannot be reached leaves the dialog up after "Ignore": the user may clear the
  // box and go on. "Restart" and "Terminate" go on regardless.
  if (mailed == TMailOutcome::Unreached && pending_ == TChoice::Ignore) {
    ::SetDlgItemTextW(dialog_, IDC_ERR_NOMAIL, L"The mail server could not be reached.");
    return;
  }
  Carry(pending_);
}

void TErrorMessageFormQSM3::StopSending() {
  if (!sender_.joinable()) return;
  // The attempt looks at the flag every tenth of a second: this returns at once.
  if (busy_) cancel_ = true;
  sender_.join();
}
