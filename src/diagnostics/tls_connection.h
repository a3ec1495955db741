// A TCP connection to a mail server that switches to TLS on request: Winsock with a connect
// time-out, and SChannel for TLS 1.2 or later. The server's certificate is checked here, chain
// and host name, because not every SChannel checks it during the handshake (Wine's does not):
// a server that fails the check gets no byte more. Used by one thread.
#pragma once

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>

#include "diagnostics/smtp_dialogue.h"

// Socket failures of the mail connection (the trace handler leaves these out of the error log:
// a server that cannot be reached is no fault of the program).
class EIdSocketError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EIdConnectTimeout : public EIdSocketError {
 public:
  using EIdSocketError::EIdSocketError;
};

// When a connection gives up whatever it waits for: at `deadline` (a GetTickCount64 time) or
// as soon as `cancel` is set. Every wait looks at both at least every kLimitsCheckMs.
struct TConnectionLimits {
  static constexpr unsigned long kLimitsCheckMs = 100;
  const std::atomic<bool>* cancel = nullptr;
  unsigned long long deadline = ~0ULL;
  bool Cancelled() const { return cancel != nullptr && cancel->load(); }
};

class TTlsConnection : public ISmtpTransport {
 public:
  // `limits` outlives the connection.
  TTlsConnection(std::wstring host, unsigned port, const TConnectionLimits& limits);
  TTlsConnection(const TTlsConnection&) = delete;
  TTlsConnection& operator=(const TTlsConnection&) = delete;
  ~TTlsConnection() override;

  // Connects within `timeoutMs`; EIdConnectTimeout when it takes longer or the limits end it,
  // EIdSocketError when the host is unknown or refuses. Sending and receiving wait at most
  // 30 s each, and never past the limits.
  void Connect(unsigned long timeoutMs);

  bool Send(const std::string& bytes) override;
  bool Receive(std::string& buffer) override;
  // The TLS handshake and the check of the server's certificate; false with the reason in
  // Refusal when there is no trusted session.
  bool StartTls() override;

  const std::wstring& Refusal() const;

 private:
  // The socket and the TLS session, kept out of this header with the Winsock and SChannel ones.
  struct TState;
  std::unique_ptr<TState> state_;
};
