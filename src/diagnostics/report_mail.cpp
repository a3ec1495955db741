#include "diagnostics/report_mail.h"

#include <windows.h>

#include <cstdio>
#include <memory>

#include "diagnostics/bug_report.h"
#include "diagnostics/logger.h"
#include "diagnostics/smtp_dialogue.h"
#include "diagnostics/tls_connection.h"
#include "win/handles.h"
#include "win/text.h"
#include "win/text_rules.h"

namespace {

constexpr wchar_t kSendName[] = L"bugform_send.SpTBXButton1Click";
constexpr char kSubject[] = "Quillrook Folder bug report";
constexpr int kConnectAttempts = 3;
constexpr DWORD kConnectTimeoutMs = 5000;
constexpr DWORD kBetweenAttemptsMs = 1000;  // after a failed attempt, before the next

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

// One connection to the mail server, opened and logged in, or what is left of the attempt.
struct TMailLink {
  std::unique_ptr<TTlsConnection> connection;
  std::unique_ptr<TSmtpSession> session;
  bool authenticated = false;

  void Close() {
    session.reset();
    connection.reset();
    authenticated = false;
  }

  // A session that opened but refused the login stays, so the failure is told as a login's.
  bool Open(const TMailSettings& mail) {
    Close();
    try {
      connection = std::make_unique<TTlsConnection>(mail.host, mail.port);
      connection->Connect(kConnectTimeoutMs);
      session = std::make_unique<TSmtpSession>(*connection);
      if (!session->Open("quillrook-folder")) {
        if (!connection->Refusal().empty())
          CommonLogRunEvent(L"SendBugReport", L"TLS refused: " + connection->Refusal());
        Close();
        return false;
      }
      authenticated = session->Login(Utf8(mail.user), Utf8(mail.password));
      return authenticated;
    } catch (const std::exception&) {
      Close();
      return false;
    }
  }
};

}  // namespace

TMailOutcome MailBugReport(const TMailSettings& mail, const std::wstring& configurationFolder) {
  TMailLink link;
  bool connected = false;
  for (int attempt = 0; attempt < kConnectAttempts && !connected; ++attempt) {
    connected = link.Open(mail);
    if (!connected) ::Sleep(kBetweenAttemptsMs);
  }
  if (!connected && !link.session) {
    CommonLogErrorEvent(kSendName, L"Connected fail", L"", ::GetLastError(), true);
    return TMailOutcome::Unreached;
  }
  if (!link.authenticated) {
    CommonLogErrorEvent(kSendName, L"Authenticate fail", L"", ::GetLastError(), true);
    return TMailOutcome::Unreached;
  }
  std::wstring archive;
  if (!BackupSystem(configurationFolder, archive)) return TMailOutcome::NotSent;
  const std::string from = Utf8(mail.sender.empty() ? mail.user : mail.sender);
  const std::string message =
      MimeMessage(from, Utf8(mail.recipient), kSubject, MailDate(), Utf8(text::FileNameOf(archive)),
                  ReadFileBytes(archive), "=_quillrook_report_" + std::to_string(::GetTickCount64()));
  if (!link.session->Send(from, Utf8(mail.recipient), message)) {
    CommonLogErrorEvent(kSendName, L"Send fail", L"", ::GetLastError(), true);
    return TMailOutcome::NotSent;
  }
  return TMailOutcome::Sent;
}
