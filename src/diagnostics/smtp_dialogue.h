// The mail the error dialog sends, as SMTP: the dialogue of commands and replies (greeting,
// EHLO, STARTTLS, AUTH LOGIN, MAIL, RCPT, DATA, QUIT) over a transport that can switch to TLS,
// and the MIME message with the report attached in base64. Portable: tls_connection.h is the
// transport over Winsock and SChannel. One session per thread.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

// The connection a session talks over. Receive appends what arrived to `buffer` and is false
// when the connection failed or closed; StartTls is false when no trusted TLS session came up.
class ISmtpTransport {
 public:
  virtual ~ISmtpTransport() = default;
  virtual bool Send(const std::string& bytes) = 0;
  virtual bool Receive(std::string& buffer) = 0;
  virtual bool StartTls() = 0;
};

// A reply longer than this is no server's honest answer: the dialogue stops there.
inline constexpr std::size_t kMaxSmtpReplyBytes = 65536;
inline constexpr std::size_t kMaxSmtpReplyLines = 1000;

// One reply: its code (0 when none could be read) and its lines' texts.
struct TSmtpReply {
  int code = 0;
  std::vector<std::string> lines;
};
// Takes one whole reply ("250-..." lines up to "250 ...") off the front of `buffer`; false while
// the buffer does not hold one yet. A reply of more than kMaxSmtpReplyLines lines, or a buffer
// past kMaxSmtpReplyBytes that holds no whole reply, is taken as one that could not be read.
bool TakeSmtpReply(std::string& buffer, TSmtpReply& reply);

std::string Base64(const std::string& bytes);

// The message: headers, an empty text part and `attachment` as "application/octet-stream",
// base64 in lines of 76, under `fileName`. `date` is an RFC 5322 date.
std::string MimeMessage(const std::string& from, const std::string& to, const std::string& subject,
                        const std::string& date, const std::string& fileName, const std::string& attachment,
                        const std::string& boundary);

// The dialogue, step by step; each step is false at the first unexpected reply, which
// LastReply then holds (code 0 when the transport failed).
class TSmtpSession {
 public:
  explicit TSmtpSession(ISmtpTransport& transport) : transport_(transport) {}

  // The greeting, EHLO, STARTTLS and EHLO again over TLS.
  bool Open(const std::string& clientName);
  // AUTH LOGIN with the user name and password.
  bool Login(const std::string& user, const std::string& password);
  // MAIL, RCPT, DATA with the message (dot-stuffed), then QUIT.
  bool Send(const std::string& from, const std::string& to, const std::string& message);

  const TSmtpReply& LastReply() const { return reply_; }

 private:
  // Sends a line (when not empty) and reads the reply; true when its code is one of `expected`.
  bool Step(const std::string& line, std::initializer_list<int> expected);

  ISmtpTransport& transport_;
  std::string buffer_;
  TSmtpReply reply_;
};
