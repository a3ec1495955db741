#include "diagnostics/report_mail.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "diagnostics/logger.h"
#include "diagnostics/smtp_dialogue.h"
#include "diagnostics/tls_connection.h"
#include "win/files.h"
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
  bool Open(const TMailSettings& mail, const TConnectionLimits& limits) {
    Close();
    try {
      connection = std::make_unique<TTlsConnection>(mail.host, mail.port, limits);
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

// Waits `ms`, or less when the limits end first; false when they have.
bool Pause(DWORD ms, const TConnectionLimits& limits) {
  const ULONGLONG end = std::min<ULONGLONG>(::GetTickCount64() + ms, limits.deadline);
  while (!limits.Cancelled() && ::GetTickCount64() < end)
    ::Sleep(static_cast<DWORD>(std::min<ULONGLONG>(end - ::GetTickCount64(), TConnectionLimits::kLimitsCheckMs)));
  return !limits.Cancelled() && ::GetTickCount64() < limits.deadline;
}

}  // namespace

TMailOutcome MailBugReport(const TMailSettings& mail, const std::wstring& archive, const std::atomic<bool>& cancel) {
  TConnectionLimits limits;
  limits.cancel = &cancel;
  limits.deadline = ::GetTickCount64() + kMailDeadlineMs;
  const auto stopped = [&] {
    if (!limits.Cancelled() && ::GetTickCount64() < limits.deadline) return false;
    CommonLogRunEvent(L"SendBugReport", limits.Cancelled()
                                            ? L"Cancelled"
                                            : L"Given up after " + std::to_wstring(kMailDeadlineMs) + L" ms");
    return true;
  };
  TMailLink link;
  bool connected = false;
  for (int attempt = 0; attempt < kConnectAttempts && !connected; ++attempt) {
    connected = link.Open(mail, limits);
    if (!connected && !Pause(kBetweenAttemptsMs, limits)) break;
  }
  if (stopped()) return TMailOutcome::Stopped;
  if (!connected && !link.session) {
    CommonLogErrorEvent(kSendName, L"Connected fail", L"", ::GetLastError(), true);
    return TMailOutcome::Unreached;
  }
  if (!link.authenticated) {
    CommonLogErrorEvent(kSendName, L"Authenticate fail", L"", ::GetLastError(), true);
    return TMailOutcome::Unreached;
  }
  const std::string from = Utf8(mail.sender.empty() ? mail.user : mail.sender);
  const std::string message =
      MimeMessage(from, Utf8(mail.recipient), kSubject, MailDate(), Utf8(text::FileNameOf(archive)),
                  ReadFileBytes(archive), "=_quillrook_report_" + std::to_string(::GetTickCount64()));
  if (!link.session->Send(from, Utf8(mail.recipient), message)) {
    if (stopped()) return TMailOutcome::Stopped;
    CommonLogErrorEvent(kSendName, L"Send fail", L"", ::GetLastError(), true);
    return TMailOutcome::NotSent;
  }
  return TMailOutcome::Sent;
}
