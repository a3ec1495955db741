// Mailing the bug report: a connection to the mail server with STARTTLS (three attempts), the
// login, and the report's archive sent as the attachment of one message, all within one
// deadline and until the caller cancels. Every failure is logged. Any thread: the error dialog
// sends from a worker, so that nothing of the agent waits for a mail server.
#pragma once

#include <atomic>
#include <string>

// Where the reports go: the mail server, the login and the addresses.
struct TMailSettings {
  std::wstring host;
  unsigned port = 587;
  std::wstring sender;  // empty: the user
  std::wstring user;
  std::wstring password;
  std::wstring recipient;
  bool Configured() const { return !host.empty() && !recipient.empty(); }
};

enum class TMailOutcome {
  Unreached,  // no connection, or the login refused: nothing was sent
  Sent,       // the server took the report
  NotSent,    // the server refused the message
  Stopped,    // cancelled, or the deadline passed: nothing more was sent
};

// All attempts together end after this long.
inline constexpr unsigned long kMailDeadlineMs = 60000;

// Mails the archive at `archive`; gives up at the deadline or as soon as `cancel` is set. Throws
// only what building the message throws (std::exception).
TMailOutcome MailBugReport(const TMailSettings& mail, const std::wstring& archive, const std::atomic<bool>& cancel);
