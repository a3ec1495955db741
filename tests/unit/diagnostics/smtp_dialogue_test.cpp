#include "diagnostics/smtp_dialogue.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace {

// A server that answers from a script, a chunk at a time, and records what it was sent.
class TScriptedServer : public ISmtpTransport {
 public:
  std::deque<std::string> chunks;
  std::vector<std::string> sent;
  bool tlsWorks = true, tls = false;
  bool Send(const std::string& bytes) override {
    sent.push_back((tls ? "[tls] " : "") + bytes);
    return true;
  }
  bool Receive(std::string& buffer) override {
    if (chunks.empty()) return false;
    buffer += chunks.front();
    chunks.pop_front();
    return true;
  }
  bool StartTls() override { return tls = tlsWorks; }
};

const std::deque<std::string> kHappy = {"220 mail.example ESMTP\r\n",
                                        "250-mail.example\r\n250-STARTTLS\r\n",
                                        "250 AUTH LOGIN PLAIN\r\n",
                                        "220 go ahead\r\n",
                                        "250-mail.example\r\n250 AUTH LOGIN\r\n",
                                        "334 VXNlcm5hbWU6\r\n",
                                        "334 UGFzc3dvcmQ6\r\n",
                                        "235 ok\r\n",
                                        "250 sender ok\r\n",
                                        "250 rcpt ok\r\n",
                                        "354 go\r\n",
                                        "250 queued\r\n",
                                        "221 bye\r\n"};

TEST(SmtpSession, WalksTheDialogueOverTlsAndStopsAtTheFirstRefusal) {
  TScriptedServer server;
  server.chunks = kHappy;
  TSmtpSession session(server);
  ASSERT_TRUE(session.Open("qf"));
  ASSERT_TRUE(session.Login("report@example", "secret"));
  ASSERT_TRUE(session.Send("report@example", "bugs@example", "Subject: x\r\n\r\n.hidden\r\nline\r\n"));
  EXPECT_EQ(server.sent, (std::vector<std::string>{
                             "EHLO qf\r\n", "STARTTLS\r\n", "[tls] EHLO qf\r\n", "[tls] AUTH LOGIN\r\n",
                             "[tls] cmVwb3J0QGV4YW1wbGU=\r\n", "[tls] c2VjcmV0\r\n",
                             "[tls] MAIL FROM:<report@example>\r\n", "[tls] RCPT TO:<bugs@example>\r\n",
                             "[tls] DATA\r\n", "[tls] Subject: x\r\n\r\n..hidden\r\nline\r\n.\r\n", "[tls] QUIT\r\n"}));

  // Each refusal ends the step it belongs to, with the reply kept.
  struct TCase {
    std::size_t replaced;  // which reply of the script is a refusal instead
    std::string refusal;
    int failingStep;  // 0 Open, 1 Login, 2 Send
  };
  const TCase cases[] = {{0, "554 no service\r\n", 0},
                         {3, "454 TLS not available\r\n", 0},
                         {7, "535 authentication failed\r\n", 1},
                         {9, "550 no such user\r\n", 2}};
  for (const TCase& c : cases) {
    TScriptedServer refusing;
    refusing.chunks = kHappy;
    refusing.chunks[c.replaced] = c.refusal;
    TSmtpSession refused(refusing);
    const bool steps[] = {refused.Open("qf"), c.failingStep > 0 && refused.Login("u", "p"),
                          c.failingStep > 1 && refused.Send("a@x", "b@x", "m")};
    EXPECT_FALSE(steps[c.failingStep]) << c.refusal;
    EXPECT_EQ(refused.LastReply().code, std::stoi(c.refusal.substr(0, 3)));
  }
  // No trusted TLS session, or a connection that drops: nothing more is said.
  TScriptedServer untrusted;
  untrusted.chunks = kHappy;
  untrusted.tlsWorks = false;
  TSmtpSession noTls(untrusted);
  EXPECT_FALSE(noTls.Open("qf"));
  EXPECT_EQ(untrusted.sent.size(), 2u);
  TScriptedServer dropped;
  dropped.chunks = {"220 hi\r\n", "250-partial"};
  TSmtpSession cut(dropped);
  EXPECT_FALSE(cut.Open("qf"));
  EXPECT_EQ(cut.LastReply().code, 0);
}

TEST(SmtpSession, RepliesSplitAcrossChunksAndLinesAreTakenWhole) {
  std::string buffer = "250-one\r\n250-two\r\n250 three\r\n220 next";
  TSmtpReply reply;
  ASSERT_TRUE(TakeSmtpReply(buffer, reply));
  EXPECT_EQ(reply.code, 250);
  EXPECT_EQ(reply.lines, (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_FALSE(TakeSmtpReply(buffer, reply));
  buffer += "\r\n";
  ASSERT_TRUE(TakeSmtpReply(buffer, reply));
  EXPECT_EQ(reply.code, 220);
  EXPECT_TRUE(buffer.empty());
  buffer = "garbage\r\n";
  ASSERT_TRUE(TakeSmtpReply(buffer, reply));
  EXPECT_EQ(reply.code, 0);
}

// A server that never ends its reply: the same chunk for ever.
class TEndlessServer : public ISmtpTransport {
 public:
  explicit TEndlessServer(std::string chunk) : chunk_(std::move(chunk)) {}
  std::size_t received = 0;
  bool Send(const std::string&) override { return true; }
  bool Receive(std::string& buffer) override {
    ++received;
    buffer += chunk_;
    return true;
  }
  bool StartTls() override { return true; }

 private:
  std::string chunk_;
};

TEST(SmtpSession, AReplyWithoutEndIsGivenUpAtItsBound) {
  const std::string cases[] = {"250-more\r\n", std::string(4096, 'x'), "2"};
  for (const std::string& chunk : cases) {
    TEndlessServer server(chunk);
    TSmtpSession session(server);
    EXPECT_FALSE(session.Open("qf")) << chunk.substr(0, 10);
    EXPECT_EQ(session.LastReply().code, 0);
    EXPECT_LE(server.received, kMaxSmtpReplyBytes + 1) << chunk.substr(0, 10);
  }
  // Just within the bounds a long reply is still a reply.
  std::string buffer;
  for (std::size_t i = 1; i < kMaxSmtpReplyLines; ++i) buffer += "250-line\r\n";
  buffer += "250 end\r\n";
  TSmtpReply reply;
  ASSERT_TRUE(TakeSmtpReply(buffer, reply));
  EXPECT_EQ(reply.code, 250);
  EXPECT_EQ(reply.lines.size(), kMaxSmtpReplyLines);
}

TEST(MimeMessage, AttachesTheReportInBase64LinesUnderItsName) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"}};
  for (const auto& [plain, encoded] : vectors) EXPECT_EQ(Base64(plain), encoded);
  EXPECT_EQ(Base64(std::string("\xff\x00\x80", 3)), "/wCA");

  const std::string zip(100, 'z');
  const std::string message = MimeMessage("a@x", "b@x", "Quillrook Folder bug report",
                                          "Wed, 09 Dec 2026 10:00:00 +0000", "bug-report.zip", zip, "BOUNDARY");
  for (const char* part :
       {"Subject: Quillrook Folder bug report\r\n", "Content-Type: multipart/mixed; boundary=\"BOUNDARY\"\r\n",
        "Content-Type: application/octet-stream; name=\"bug-report.zip\"\r\n", "Content-Transfer-Encoding: base64\r\n",
        "Content-Disposition: attachment; filename=\"bug-report.zip\"\r\n", "\r\n--BOUNDARY--\r\n"})
    EXPECT_NE(message.find(part), std::string::npos) << part;
  // 100 bytes are 136 digits: one full line of 76 and the rest.
  const std::string encoded = Base64(zip);
  EXPECT_NE(message.find(encoded.substr(0, 76) + "\r\n" + encoded.substr(76) + "\r\n"), std::string::npos);
}

}  // namespace
