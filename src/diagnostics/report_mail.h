// Mailing the bug report: a connection to the mail server with STARTTLS (three attempts), the
// login, the report's archive built and sent as the attachment of one message. Every failure is
// logged; the caller only asks whether to send. Main thread (the archive keeps the caller's
// windows answering while it packs).
#pragma once

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
  Unreached,  // no connection, or the login refused: nothing was built or sent
  Sent,       // the server took the report
  NotSent,    // the archive could not be built, or the server refused the message
};

// Builds the archive in `configurationFolder` and mails it. Throws only what building the message
// throws (std::exception).
TMailOutcome MailBugReport(const TMailSettings& mail, const std::wstring& configurationFolder);
