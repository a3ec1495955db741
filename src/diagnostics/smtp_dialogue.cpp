#include "diagnostics/smtp_dialogue.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace {

constexpr std::size_t kBase64Line = 76;

bool IsDigits(const std::string& text, std::size_t count) {
  return text.size() >= count && std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(count),
                                             [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

// A line that begins with "." gets one more, so that the server does not take it for the end.
std::string DotStuffed(const std::string& message) {
  std::string out;
  out.reserve(message.size() + 16);
  bool lineStart = true;
  for (char c : message) {
    if (lineStart && c == '.') out += '.';
    out += c;
    lineStart = c == '\n';
  }
  return out;
}

}  // namespace

bool TakeSmtpReply(std::string& buffer, TSmtpReply& reply) {
  TSmtpReply taken;
  std::size_t at = 0;
  for (;;) {
    const std::size_t end = buffer.find("\r\n", at);
    if (end == std::string::npos) {
      if (buffer.size() <= kMaxSmtpReplyBytes) return false;
      reply = TSmtpReply{};
      buffer.clear();
      return true;
    }
    const std::string line = buffer.substr(at, end - at);
    at = end + 2;
    if (!IsDigits(line, 3)) {
      // Not a reply line at all: the dialogue cannot go on.
      reply = TSmtpReply{};
      buffer.erase(0, at);
      return true;
    }
    taken.code = std::stoi(line.substr(0, 3));
    taken.lines.push_back(line.size() > 4 ? line.substr(4) : std::string());
    if (line.size() < 4 || line[3] != '-') break;
    if (taken.lines.size() >= kMaxSmtpReplyLines) {
      reply = TSmtpReply{};
      buffer.clear();
      return true;
    }
  }
  buffer.erase(0, at);
  reply = std::move(taken);
  return true;
}

std::string Base64(const std::string& bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < 3; ++k) value = value << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    for (std::size_t k = 0; k < 4; ++k) out += k <= n ? kDigits[(value >> (18 - 6 * k)) & 0x3F] : '=';
  }
  return out;
}

std::string MimeMessage(const std::string& from, const std::string& to, const std::string& subject,
                        const std::string& date, const std::string& fileName, const std::string& attachment,
                        const std::string& boundary) {
  std::string message =
      "From: " + from + "\r\nTo: " + to + "\r\nSubject: " + subject + "\r\nDate: " + date +
      "\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"" + boundary +
      "\"\r\n\r\nThis is a multi-part message in MIME format.\r\n\r\n--" + boundary +
      "\r\nContent-Type: text/plain; charset=us-ascii\r\nContent-Transfer-Encoding: 7bit\r\n\r\n\r\n--" + boundary +
      "\r\nContent-Type: application/octet-stream; name=\"" + fileName +
      "\"\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"" + fileName +
      "\"\r\n\r\n";
  const std::string encoded = Base64(attachment);
  for (std::size_t i = 0; i < encoded.size(); i += kBase64Line) message += encoded.substr(i, kBase64Line) + "\r\n";
  return message + "\r\n--" + boundary + "--\r\n";
}

bool TSmtpSession::Step(const std::string& line, std::initializer_list<int> expected) {
  if (!line.empty() && !transport_.Send(line + "\r\n")) {
    reply_ = TSmtpReply{};
    return false;
  }
  while (!TakeSmtpReply(buffer_, reply_)) {
    if (!transport_.Receive(buffer_)) {
      reply_ = TSmtpReply{};
      return false;
    }
  }
  return std::find(expected.begin(), expected.end(), reply_.code) != expected.end();
}

bool TSmtpSession::Open(const std::string& clientName) {
  if (!Step("", {220}) || !Step("EHLO " + clientName, {250}) || !Step("STARTTLS", {220})) return false;
  // Whatever came in the clear after the go-ahead must not be taken for an answer over TLS.
  buffer_.clear();
  if (!transport_.StartTls()) {
    reply_ = TSmtpReply{};
    return false;
  }
  return Step("EHLO " + clientName, {250});
}

bool TSmtpSession::Login(const std::string& user, const std::string& password) {
  return Step("AUTH LOGIN", {334}) && Step(Base64(user), {334}) && Step(Base64(password), {235});
}

bool TSmtpSession::Send(const std::string& from, const std::string& to, const std::string& message) {
  if (!Step("MAIL FROM:<" + from + ">", {250}) || !Step("RCPT TO:<" + to + ">", {250, 251}) || !Step("DATA", {354}))
    return false;
  std::string data = DotStuffed(message);
  if (data.size() < 2 || data.compare(data.size() - 2, 2, "\r\n") != 0) data += "\r\n";
  if (!Step(data + ".", {250})) return false;
  Step("QUIT", {221});
  return true;
}
