#include "dialogs/error_dialog.h"

#include <shellapi.h>

#include <cwchar>

#include "diagnostics/bug_report.h"
#include "diagnostics/guarded.h"
#include "diagnostics/logger.h"
#include "diagnostics/smtp_dialogue.h"
#include "diagnostics/tls_connection.h"
#include "dialogs/help.h"
#include "resource.h"
#include "win/files.h"
#include "win/text.h"
#include "settings/command_line.h"

namespace {

// A failure in the error dialog must not come back to it: it is logged and nothing more.
constexpr wchar_t kDialogProc[] = L"ErrorMessageForm.DialogProc";

constexpr wchar_t kFormName[] = L"Error Message form";
constexpr wchar_t kSendName[] = L"bugform_send.SpTBXButton1Click";
constexpr char kSubject[] = "Quillrook Folder bug report";
constexpr int kConnectAttempts = 3;
constexpr DWORD kConnectTimeoutMs = 5000;
constexpr DWORD kBetweenAttemptsMs = 1000;  // after a failed attempt, before the next
constexpr int kButtons[] = {IDC_ERR_UPDATES, IDC_ERR_IGNORE, IDC_ERR_RESTART, IDC_ERR_TERMINATE, IDC_ERR_SEND};

std::string Utf8(const std::wstring& text) { return win::FromWide(text, CP_UTF8); }

// "Wed, 09 Dec 2026 10:00:00 +0000"
std::string MailDate() {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  SYSTEMTIME now{};
  ::GetSystemTime(&now);
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02u %s %04u %02u:%02u:%02u +0000", kDays[now.wDayOfWeek % 7], now.wDay,
                kMonths[(now.wMonth + 11) % 12], now.wYear, now.wHour, now.wMinute, now.wSecond);
  return text;
}

std::string ReadFileBytes(const std::wstring& path) {
  const win::TFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  std::string bytes;
  if (!file) return bytes;
  char chunk[65536];
  DWORD got = 0;
  while (::ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  return bytes;
}

std::wstring FileName(const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); }

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

TErrorMessageFormQSM3::~TErrorMessageFormQSM3() = default;

bool TErrorMessageFormQSM3::Show(const std::wstring& message) {
  if (dialog_ != nullptr) return false;
  message_ = message;
  ::DialogBoxParamW(resources_, MAKEINTRESOURCEW(IDD_ERRORMESSAGE), nullptr,
                    DialogThunk<TErrorMessageFormQSM3, kDialogProc, TDialogFailures::LoggedOnly>,
                    reinterpret_cast<LPARAM>(this));
  dialog_ = nullptr;
  Disconnect();
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
  ::CheckDlgButton(dialog_, IDC_ERR_SEND, mail_.Configured() ? BST_CHECKED : BST_UNCHECKED);
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
  if (::IsDlgButtonChecked(dialog_, IDC_ERR_SEND) == BST_CHECKED)
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

void TErrorMessageFormQSM3::Disconnect() {
  session_.reset();
  connection_.reset();
  authenticated_ = false;
}

bool TErrorMessageFormQSM3::TryToConnect() {
  Disconnect();
  try {
    connection_ = std::make_unique<TTlsConnection>(mail_.host, mail_.port);
    connection_->Connect(kConnectTimeoutMs);
    session_ = std::make_unique<TSmtpSession>(*connection_);
    if (!session_->Open("quillrook-folder")) {
      if (!connection_->Refusal().empty())
        CommonLogRunEvent(L"SendBugReport", L"TLS refused: " + connection_->Refusal());
      Disconnect();
      return false;
    }
    authenticated_ = session_->Login(Utf8(mail_.user), Utf8(mail_.password));
    return authenticated_;
  } catch (const std::exception&) {
    Disconnect();
    return false;
  }
}

void TErrorMessageFormQSM3::SendBugReport() {
  sending_ = true;
  struct TDone {
    bool& sending;
    ~TDone() { sending = false; }
  } done{sending_};
  try {
    ::ShowWindow(::GetDlgItem(dialog_, IDC_ERR_WAIT), SW_SHOW);
    ::UpdateWindow(dialog_);
    Disconnect();
    bool connected = false;
    for (int attempt = 0; attempt < kConnectAttempts && !connected; ++attempt) {
      connected = TryToConnect();
      if (!connected) ::Sleep(kBetweenAttemptsMs);
    }
    if (!connected && !session_) {
      CommonLogErrorEvent(kSendName, L"Connected fail", L"", ::GetLastError(), true);
      return;
    }
    if (!authenticated_) {
      CommonLogErrorEvent(kSendName, L"Authenticate fail", L"", ::GetLastError(), true);
      Disconnect();
      return;
    }
    std::wstring archive;
    if (BackupSystem(configurationFolder_, archive)) {
      const std::string from = Utf8(mail_.sender.empty() ? mail_.user : mail_.sender);
      const std::string message =
          MimeMessage(from, Utf8(mail_.recipient), kSubject, MailDate(), Utf8(FileName(archive)),
                      ReadFileBytes(archive), "=_quillrook_report_" + std::to_string(::GetTickCount64()));
      if (!session_->Send(from, Utf8(mail_.recipient), message)) {
        CommonLogErrorEvent(kSendName, L"Send fail", L"", ::GetLastError(), true);
        Disconnect();
      }
    }
    Close();
  } catch (const std::exception&) {
    CommonLogErrorEvent(L"SendBugReport", L"ShowModal fail", L"", ::GetLastError(), true);
    Close();
  }
}
