// Winsock before windows.h, which the others bring.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wincrypt.h>
#define SECURITY_WIN32
#include <security.h>
#include <schannel.h>

#include "diagnostics/tls_connection.h"

#include <algorithm>
#include <vector>

#include "diagnostics/log_format.h"
#include "win/text.h"

namespace {

// A mail server that stops answering, or stops taking bytes, is given up after this long.
constexpr DWORD kReceiveTimeoutMs = 30000;
constexpr DWORD kSendTimeoutMs = 30000;
constexpr ULONG kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                ISC_REQ_MANUAL_CRED_VALIDATION;

std::string Narrow(const std::wstring& text) { return win::FromWide(text, CP_UTF8); }

std::wstring StatusText(const wchar_t* what, long status) {
  return std::wstring(what) + L" (0x" + logformat::HexText(static_cast<unsigned long>(status), 8) + L")";
}

}  // namespace

struct TTlsConnection::TState {
  explicit TState(const TConnectionLimits& limits) : limits_(limits) {}
  const TConnectionLimits& limits_;
  std::wstring host_;
  unsigned port_ = 0;
  SOCKET socket_ = INVALID_SOCKET;
  bool winsock_ = false;
  bool credentials_ = false, context_ = false, tls_ = false;
  CredHandle credentialsHandle_{};
  CtxtHandle contextHandle_{};
  SecPkgContext_StreamSizes sizes_{};
  std::string encrypted_;  // bytes received and not yet decrypted
  std::wstring refusal_;

  ~TState() { Close(); }
  void Close();
  void Connect(DWORD timeoutMs);
  // Waits until the socket can be read (or written), for at most `timeoutMs` and never past
  // the limits; false when it cannot.
  bool WaitReady(SOCKET s, bool write, DWORD timeoutMs) const;
  bool SendRaw(const char* data, std::size_t length);
  bool ReceiveRaw();  // appends to encrypted_
  bool Send(const std::string& bytes);
  bool Receive(std::string& buffer);
  bool StartTls();
  // The first handshake, or with `again` the one the server asks for on an open session.
  bool Handshake(bool again = false);
  bool CheckCertificate();
};

TTlsConnection::TTlsConnection(std::wstring host, unsigned port, const TConnectionLimits& limits)
    : state_(std::make_unique<TState>(limits)) {
  state_->host_ = std::move(host);
  state_->port_ = port;
}

TTlsConnection::~TTlsConnection() = default;

void TTlsConnection::Connect(unsigned long timeoutMs) { state_->Connect(timeoutMs); }
bool TTlsConnection::Send(const std::string& bytes) { return state_->Send(bytes); }
bool TTlsConnection::Receive(std::string& buffer) { return state_->Receive(buffer); }
bool TTlsConnection::StartTls() { return state_->StartTls(); }
const std::wstring& TTlsConnection::Refusal() const { return state_->refusal_; }

void TTlsConnection::TState::Close() {
  if (context_) ::DeleteSecurityContext(&contextHandle_);
  if (credentials_) ::FreeCredentialsHandle(&credentialsHandle_);
  context_ = credentials_ = tls_ = false;
  if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
  socket_ = INVALID_SOCKET;
  if (winsock_) ::WSACleanup();
  winsock_ = false;
}

void TTlsConnection::TState::Connect(DWORD timeoutMs) {
  Close();
  WSADATA data{};
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) throw EIdSocketError("WSAStartup failed");
  winsock_ = true;
  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  ADDRINFOW* found = nullptr;
  if (::GetAddrInfoW(host_.c_str(), std::to_wstring(port_).c_str(), &hints, &found) != 0 || found == nullptr)
    throw EIdSocketError("Unknown host " + Narrow(host_));
  struct TFree {
    ADDRINFOW* p;
    ~TFree() { ::FreeAddrInfoW(p); }
  } freeFound{found};
  bool timedOut = false;
  for (const ADDRINFOW* address = found; address != nullptr; address = address->ai_next) {
    const SOCKET s = ::socket(address->ai_family, address->ai_socktype, address->ai_protocol);
    if (s == INVALID_SOCKET) continue;
    // Non-blocking throughout, so every wait is ours to bound.
    u_long nonBlocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonBlocking);
    bool connected = ::connect(s, address->ai_addr, static_cast<int>(address->ai_addrlen)) == 0;
    if (!connected && ::WSAGetLastError() == WSAEWOULDBLOCK) {
      connected = WaitReady(s, true, timeoutMs);
      int failure = 0;
      int length = sizeof failure;
      if (connected &&
          (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&failure), &length) != 0 || failure != 0))
        connected = false;
      else if (!connected)
        timedOut = true;
    }
    if (!connected) {
      ::closesocket(s);
      if (limits_.Cancelled() || ::GetTickCount64() >= limits_.deadline) break;
      continue;
    }
    socket_ = s;
    return;
  }
  if (timedOut) throw EIdConnectTimeout("Connect timed out: " + Narrow(host_));
  throw EIdSocketError("Could not connect to " + Narrow(host_) + ":" + std::to_string(port_));
}

bool TTlsConnection::TState::WaitReady(SOCKET s, bool write, DWORD timeoutMs) const {
  const ULONGLONG end = std::min(::GetTickCount64() + timeoutMs, limits_.deadline);
  for (;;) {
    const ULONGLONG now = ::GetTickCount64();
    if (limits_.Cancelled() || now >= end) return false;
    const ULONGLONG slice = std::min<ULONGLONG>(end - now, TConnectionLimits::kLimitsCheckMs);
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval limit{0, static_cast<long>(slice * 1000)};
    const int count = ::select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &limit);
    if (count < 0 || FD_ISSET(s, &failed)) return false;
    if (count > 0) return true;
  }
}

bool TTlsConnection::TState::SendRaw(const char* data, std::size_t length) {
  while (length > 0) {
    const int sent = ::send(socket_, data, static_cast<int>(std::min<std::size_t>(length, 65536)), 0);
    if (sent == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK) {
      if (!WaitReady(socket_, true, kSendTimeoutMs)) return false;
      continue;
    }
    if (sent <= 0) return false;
    data += sent;
    length -= static_cast<std::size_t>(sent);
  }
  return true;
}

bool TTlsConnection::TState::ReceiveRaw() {
  char chunk[16384];
  if (!WaitReady(socket_, false, kReceiveTimeoutMs)) return false;
  const int got = ::recv(socket_, chunk, sizeof chunk, 0);
  if (got <= 0) return false;
  encrypted_.append(chunk, static_cast<std::size_t>(got));
  return true;
}

bool TTlsConnection::TState::Send(const std::string& bytes) {
  if (socket_ == INVALID_SOCKET) return false;
  if (!tls_) return SendRaw(bytes.data(), bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = std::min<std::size_t>(sizes_.cbMaximumMessage, bytes.size() - at);
    std::vector<char> record(sizes_.cbHeader + length + sizes_.cbTrailer);
    std::copy_n(bytes.data() + at, length, record.data() + sizes_.cbHeader);
    SecBuffer buffers[4] = {
        {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
        {static_cast<ULONG>(length), SECBUFFER_DATA, record.data() + sizes_.cbHeader},
        {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + length},
        {0, SECBUFFER_EMPTY, nullptr},
    };
    SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
    if (::EncryptMessage(&contextHandle_, 0, &description, 0) != SEC_E_OK) return false;
    if (!SendRaw(record.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer)) return false;
    at += length;
  }
  return true;
}

bool TTlsConnection::TState::Receive(std::string& buffer) {
  if (socket_ == INVALID_SOCKET) return false;
  if (!tls_) {
    if (!ReceiveRaw()) return false;
    buffer += encrypted_;
    encrypted_.clear();
    return true;
  }
  for (;;) {
    if (!encrypted_.empty()) {
      SecBuffer buffers[4] = {{static_cast<ULONG>(encrypted_.size()), SECBUFFER_DATA, encrypted_.data()},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
      const SECURITY_STATUS status = ::DecryptMessage(&contextHandle_, &description, 0, nullptr);
      if (status == SEC_E_OK || status == SEC_I_RENEGOTIATE) {
        std::string extra, plain;
        for (const SecBuffer& b : buffers) {
          if (b.BufferType == SECBUFFER_DATA) plain.append(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
          if (b.BufferType == SECBUFFER_EXTRA)
            extra.assign(encrypted_.data() + encrypted_.size() - b.cbBuffer, b.cbBuffer);
        }
        encrypted_ = extra;
        // The server asks for a handshake message to be taken: TLS 1.3's post-handshake messages
        // (session tickets, new keys) on Windows, a renegotiation with TLS 1.2. What came after
        // them goes to the security context as its input; the certificate is checked again.
        if (status == SEC_I_RENEGOTIATE && (!Handshake(true) || !CheckCertificate())) return false;
        if (plain.empty()) continue;
        buffer += plain;
        return true;
      }
      if (status != SEC_E_INCOMPLETE_MESSAGE) return false;
    }
    if (!ReceiveRaw()) return false;
  }
}

bool TTlsConnection::TState::StartTls() {
  SCHANNEL_CRED credentials{};
  credentials.dwVersion = SCHANNEL_CRED_VERSION;
  credentials.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
  // TLS 1.2 and 1.3; a system that does not know 1.3 is asked for 1.2 alone.
  SECURITY_STATUS status = SEC_E_UNSUPPORTED_FUNCTION;
  for (DWORD protocols : {DWORD{SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT}, DWORD{SP_PROT_TLS1_2_CLIENT}}) {
    credentials.grbitEnabledProtocols = protocols;
    status = ::AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                         &credentials, nullptr, nullptr, &credentialsHandle_, nullptr);
    if (status == SEC_E_OK) break;
  }
  if (status != SEC_E_OK) {
    refusal_ = StatusText(L"No TLS 1.2 credentials", status);
    return false;
  }
  credentials_ = true;
  if (!Handshake()) return false;
  SecPkgContext_ConnectionInfo info{};
  if (::QueryContextAttributesW(&contextHandle_, SECPKG_ATTR_CONNECTION_INFO, &info) != SEC_E_OK ||
      (info.dwProtocol & (SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT)) == 0) {
    refusal_ = L"The server did not speak TLS 1.2 or later";
    return false;
  }
  if (!CheckCertificate()) return false;
  if (::QueryContextAttributesW(&contextHandle_, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK) return false;
  tls_ = true;
  return true;
}

bool TTlsConnection::TState::Handshake(bool again) {
  if (!again) encrypted_.clear();
  bool first = !again;
  for (;;) {
    SecBuffer in[2] = {{static_cast<ULONG>(encrypted_.size()), SECBUFFER_TOKEN, encrypted_.data()},
                       {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inDescription{SECBUFFER_VERSION, 2, in};
    SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
    SecBufferDesc outDescription{SECBUFFER_VERSION, 1, out};
    ULONG attributes = 0;
    auto* host = const_cast<wchar_t*>(host_.c_str());
    const SECURITY_STATUS status = ::InitializeSecurityContextW(
        &credentialsHandle_, first ? nullptr : &contextHandle_, host, kContextFlags, 0, 0,
        first ? nullptr : &inDescription, 0, &contextHandle_, &outDescription, &attributes, nullptr);
    if (first) context_ = status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK;
    first = false;
    if (out[0].pvBuffer != nullptr) {
      const bool sent = out[0].cbBuffer == 0 || SendRaw(static_cast<const char*>(out[0].pvBuffer), out[0].cbBuffer);
      ::FreeContextBuffer(out[0].pvBuffer);
      if (!sent) {
        refusal_ = L"The connection closed during the TLS handshake";
        return false;
      }
    }
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      if (!ReceiveRaw()) {
        refusal_ = L"The connection closed during the TLS handshake";
        return false;
      }
      continue;
    }
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
      refusal_ = StatusText(L"TLS handshake failed", status);
      return false;
    }
    // Bytes of the next record that came with this one stay for the next round.
    encrypted_ =
        in[1].BufferType == SECBUFFER_EXTRA ? encrypted_.substr(encrypted_.size() - in[1].cbBuffer) : std::string();
    if (status == SEC_E_OK) return true;
    if (encrypted_.empty() && !ReceiveRaw()) {
      refusal_ = L"The connection closed during the TLS handshake";
      return false;
    }
  }
}

bool TTlsConnection::TState::CheckCertificate() {
  PCCERT_CONTEXT certificate = nullptr;
  if (::QueryContextAttributesW(&contextHandle_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) != SEC_E_OK ||
      certificate == nullptr) {
    refusal_ = L"The server sent no certificate";
    return false;
  }
  struct TFreeCertificate {
    PCCERT_CONTEXT p;
    ~TFreeCertificate() { ::CertFreeCertificateContext(p); }
  } freeCertificate{certificate};
  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usages[] = {serverAuth};
  CERT_CHAIN_PARA chainPara{};
  chainPara.cbSize = sizeof chainPara;
  chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
  chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (!::CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainPara, 0, nullptr,
                                 &chain)) {
    refusal_ = StatusText(L"The server's certificate chain could not be built", static_cast<long>(::GetLastError()));
    return false;
  }
  struct TFreeChain {
    PCCERT_CHAIN_CONTEXT p;
    ~TFreeChain() { ::CertFreeCertificateChain(p); }
  } freeChain{chain};
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.pwszServerName = const_cast<wchar_t*>(host_.c_str());
  CERT_CHAIN_POLICY_PARA policyPara{};
  policyPara.cbSize = sizeof policyPara;
  policyPara.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS policy{};
  policy.cbSize = sizeof policy;
  if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policyPara, &policy)) {
    refusal_ = StatusText(L"The server's certificate could not be checked", static_cast<long>(::GetLastError()));
    return false;
  }
  if (policy.dwError == 0 && chain->TrustStatus.dwErrorStatus == CERT_TRUST_NO_ERROR) return true;
  switch (static_cast<HRESULT>(policy.dwError)) {
    case CERT_E_CN_NO_MATCH:
      refusal_ = StatusText(L"The server's certificate is for another host name", CERT_E_CN_NO_MATCH);
      break;
    case CERT_E_UNTRUSTEDROOT:
      refusal_ = StatusText(L"The server's certificate comes from an untrusted authority", CERT_E_UNTRUSTEDROOT);
      break;
    case CERT_E_EXPIRED:
      refusal_ = StatusText(L"The server's certificate has expired", CERT_E_EXPIRED);
      break;
    default:
      refusal_ = StatusText(L"The server's certificate is not trusted",
                            policy.dwError != 0 ? static_cast<long>(policy.dwError)
                                                : static_cast<long>(chain->TrustStatus.dwErrorStatus));
  }
  return false;
}
