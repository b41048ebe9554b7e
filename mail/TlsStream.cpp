#include "mail/TlsStream.h"

#include <wincrypt.h>

#include <algorithm>
#include <cstring>

#include "core/EventLog.h"
#include "core/MessageText.h"
#include "mail/Account.h"
#include "mail/TlsTrust.h"
#include "mail/WinSocketStream.h"

namespace {

constexpr DWORD kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                           ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                           ISC_REQ_MANUAL_CRED_VALIDATION | ISC_REQ_USE_SUPPLIED_CREDS;
// What the session may end up with: Wine's Schannel does not always keep to
// the protocols asked for, so the result is checked, not trusted.
constexpr DWORD kGoodProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
// Room for a few records, so that one receive takes whatever has arrived.
constexpr size_t kReceiveBuffer = 4 * TlsStream::kMaxRecord;

// A token that the security package allocated, freed with it.
struct OutToken {
    SecBuffer buffer{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc desc{SECBUFFER_VERSION, 1, &buffer};
    OutToken() = default;
    OutToken(const OutToken&) = delete;
    OutToken& operator=(const OutToken&) = delete;
    ~OutToken() {
        if (buffer.pvBuffer) FreeContextBuffer(buffer.pvBuffer);
    }
};

struct CertContext {
    PCCERT_CONTEXT p = nullptr;
    CertContext() = default;
    CertContext(const CertContext&) = delete;
    CertContext& operator=(const CertContext&) = delete;
    ~CertContext() {
        if (p) CertFreeCertificateContext(p);
    }
};

struct ChainContext {
    PCCERT_CHAIN_CONTEXT p = nullptr;
    ChainContext() = default;
    ChainContext(const ChainContext&) = delete;
    ChainContext& operator=(const ChainContext&) = delete;
    ~ChainContext() {
        if (p) CertFreeCertificateChain(p);
    }
};

// The length of the record that starts at `p` (5 bytes there), header included.
size_t recordLength(const char* p) {
    return 5 + (size_t{static_cast<uint8_t>(p[3])} << 8 | static_cast<uint8_t>(p[4]));
}

// Whether the `n` bytes at `p` can start a record: change_cipher_spec,
// alert, handshake or application data, version 3.x. Anything else (a POP3
// greeting on the wrong port) is no TLS, and its length nothing to wait for.
bool mayStartRecord(const char* p, size_t n) {
    uint8_t type = n > 0 ? static_cast<uint8_t>(p[0]) : 20;
    return type >= 20 && type <= 23 && (n < 2 || p[1] == 3);
}

// What is wrong with the records that [p, p + n) starts with, as a reason's
// message id; 0 when nothing is yet. Bytes that are no TLS end the
// connection at once instead of leaving it waiting for a length they made up.
uint32_t framingProblem(const char* p, size_t n) {
    size_t at = 0;
    while (at < n) {
        if (!mayStartRecord(p + at, n - at)) return MSG_TlsReasonNotTls;
        if (n - at < 5) break;
        size_t length = recordLength(p + at);
        if (length > TlsStream::kMaxRecord) return MSG_TlsReasonRecordTooLarge;
        at += length;
    }
    return 0;
}

std::wstring wide(const std::string& text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), n);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

// The SSL policy's verdict on the chain of `cert` for `serverName`: 0 or the
// error (CERT_E_*, TRUST_E_*).
uint32_t chainPolicyError(PCCERT_CONTEXT cert, const std::string& serverName) {
    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    ChainContext chain;
    // The certificate's own store holds the intermediates the server sent.
    if (!CertGetCertificateChain(nullptr, cert, nullptr, cert->hCertStore, &para, 0, nullptr, &chain.p))
        return HRESULT_FROM_WIN32(GetLastError());
    std::wstring name = wide(serverName);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.p, &policy, &status))
        return HRESULT_FROM_WIN32(GetLastError());
    return status.dwError;
}

}  // namespace

TlsStream::TlsStream(std::unique_ptr<ByteStream> plain, std::string serverName, std::string trusted)
    : plain_(std::move(plain)), serverName_(std::move(serverName)), trusted_(std::move(trusted)) {}

TlsStream::~TlsStream() { close(); }

void TlsStream::reset() {
    if (haveContext_) DeleteSecurityContext(&context_);
    if (haveCredentials_) FreeCredentialsHandle(&credentials_);
    haveContext_ = haveCredentials_ = secured_ = healthy_ = false;
    rx_.clear();
    rx_.shrink_to_fit();
    tx_.clear();
    rxStart_ = rxUsed_ = plainLeft_ = 0;
    plainAt_ = nullptr;
}

StreamResult TlsStream::connect(const SocketAddress& address) {
    reset();
    return plain_->connect(address);
}

StreamResult TlsStream::fail(TlsFailure::Kind kind, std::string reason) {
    failure_.kind = kind;
    failure_.reason = std::move(reason);
    healthy_ = false;
    eventLog().log("TLS with %s: %s", serverName_.c_str(), failure_.reason.c_str());
    return StreamResult::insecure();
}

StreamResult TlsStream::failCode(TlsFailure::Kind kind, long status) {
    return fail(kind, formatMessage(MSG_TlsReasonError, {hexCode(static_cast<uint32_t>(status))}));
}

StreamResult TlsStream::secure() {
    reset();
    failure_ = TlsFailure();
    StreamResult r = handshake();
    if (r.kind == StreamResult::Ok) r = checkSession();
    if (r.kind != StreamResult::Ok) return r;
    secured_ = healthy_ = true;
    return r;
}

StreamResult TlsStream::handshake() {
    SCHANNEL_CRED cred{};
    cred.dwVersion = SCHANNEL_CRED_VERSION;
    cred.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
    char package[] = UNISP_NAME_A;
    SECURITY_STATUS st = AcquireCredentialsHandleA(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &cred, nullptr,
                                                   nullptr, &credentials_, nullptr);
    if (st != SEC_E_OK) return failCode(TlsFailure::Handshake, st);
    haveCredentials_ = true;

    rx_.resize(kReceiveBuffer);
    size_t received = 0;
    int retries = 0;  // calls again without a client certificate
    for (;;) {
        SecBuffer in[2] = {{static_cast<ULONG>(rxUsed_), SECBUFFER_TOKEN, rx_.data()}, {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
        OutToken out;
        ULONG attributes = 0;
        st = InitializeSecurityContextA(&credentials_, haveContext_ ? &context_ : nullptr, serverName_.data(), kRequest,
                                        0, 0, haveContext_ ? &inDesc : nullptr, 0, &context_, &out.desc, &attributes,
                                        nullptr);
        if (!haveContext_ && !FAILED(st)) haveContext_ = true;
        if (out.buffer.pvBuffer && out.buffer.cbBuffer) {
            StreamResult r = plain_->send(static_cast<const char*>(out.buffer.pvBuffer), out.buffer.cbBuffer);
            // A failed handshake's alert may find the server gone: its reason counts.
            if (!FAILED(st) && r.kind == StreamResult::Closed)
                return fail(TlsFailure::Handshake, formatMessage(MSG_TlsReasonClosed));
            if (!FAILED(st) && r.kind != StreamResult::Ok) return r;
        }
        if (st == SEC_I_INCOMPLETE_CREDENTIALS && ++retries <= 2) continue;
        if (st != SEC_E_INCOMPLETE_MESSAGE) {
            if (st != SEC_E_OK && st != SEC_I_CONTINUE_NEEDED) return failCode(TlsFailure::Handshake, st);
            // What the package did not take is the next record (or, at the
            // end, the first protected bytes of the session).
            size_t extra = in[1].BufferType == SECBUFFER_EXTRA ? std::min<size_t>(in[1].cbBuffer, rxUsed_) : 0;
            if (haveContext_ && rxUsed_ > 0) {
                std::memmove(rx_.data(), rx_.data() + rxUsed_ - extra, extra);
                rxUsed_ = extra;
            }
            if (st == SEC_E_OK) return StreamResult::ok();
            if (extra > 0) continue;
        }
        // A handshake message may span records that the package wants whole.
        if (rxUsed_ == rx_.size()) rx_.resize(std::min(rx_.size() * 2, kMaxHandshake + 1));
        StreamResult r = plain_->receive(rx_.data() + rxUsed_, rx_.size() - rxUsed_);
        if (r.kind == StreamResult::Closed) return fail(TlsFailure::Handshake, formatMessage(MSG_TlsReasonClosed));
        if (r.kind != StreamResult::Ok) return r;
        rxUsed_ += r.count;
        received += r.count;
        if (received > kMaxHandshake)
            return fail(TlsFailure::Handshake,
                        formatMessage(MSG_TlsReasonTooLarge, {std::to_string(kMaxHandshake >> 10)}));
        if (uint32_t problem = framingProblem(rx_.data(), rxUsed_))
            return fail(TlsFailure::Handshake, formatMessage(problem));
    }
}

StreamResult TlsStream::checkSession() {
    SecPkgContext_ConnectionInfo info{};
    SECURITY_STATUS st = QueryContextAttributesA(&context_, SECPKG_ATTR_CONNECTION_INFO, &info);
    if (st != SEC_E_OK) return failCode(TlsFailure::Handshake, st);
    if (!(info.dwProtocol & kGoodProtocols)) return fail(TlsFailure::Handshake, formatMessage(MSG_TlsReasonOldProtocol));
    st = QueryContextAttributesA(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
    if (st != SEC_E_OK) return failCode(TlsFailure::Handshake, st);
    if (sizes_.cbMaximumMessage == 0) return failCode(TlsFailure::Handshake, SEC_E_INTERNAL_ERROR);

    CertContext cert;
    st = QueryContextAttributesA(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &cert.p);
    if (st != SEC_E_OK || !cert.p) return failCode(TlsFailure::Handshake, st != SEC_E_OK ? st : SEC_E_NO_CREDENTIALS);
    Sha256Digest digest = sha256(
        std::string_view(reinterpret_cast<const char*>(cert.p->pbCertEncoded), cert.p->cbCertEncoded));
    std::string shown = fingerprintText(digest);
    eventLog().log("TLS with %s: protocol 0x%x, certificate SHA-256 %s", serverName_.c_str(),
                   static_cast<unsigned>(info.dwProtocol), shown.c_str());
    // The user's choice stands over the chain's verdict.
    if (fingerprintMatches(trusted_, digest)) return StreamResult::ok();
    uint32_t error = chainPolicyError(cert.p, serverName_);
    if (error == 0) return StreamResult::ok();
    failure_.fingerprint = fingerprintHex(digest);
    return fail(TlsFailure::Untrusted, trustProblemText(trustProblemOf(error), error));
}

StreamResult TlsStream::send(const char* data, size_t size) {
    if (!secured_) return plain_->send(data, size);
    const size_t header = sizes_.cbHeader, room = sizes_.cbMaximumMessage;
    tx_.resize(header + room + sizes_.cbTrailer);
    size_t done = 0;
    while (done < size) {
        size_t n = std::min(size - done, room);
        std::memcpy(tx_.data() + header, data + done, n);
        SecBuffer b[4] = {{static_cast<ULONG>(header), SECBUFFER_STREAM_HEADER, tx_.data()},
                          {static_cast<ULONG>(n), SECBUFFER_DATA, tx_.data() + header},
                          {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, tx_.data() + header + n},
                          {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, b};
        SECURITY_STATUS st = EncryptMessage(&context_, 0, &desc, 0);
        if (st != SEC_E_OK) return failCode(TlsFailure::Broken, st);
        StreamResult r = plain_->send(tx_.data(), size_t{b[0].cbBuffer} + b[1].cbBuffer + b[2].cbBuffer);
        if (r.kind != StreamResult::Ok) {
            healthy_ = false;
            return r;
        }
        done += n;
    }
    return StreamResult::ok(size);
}

StreamResult TlsStream::fill() {
    // The unread protected bytes move to the front only when the room behind
    // them is too small for a record: usually they are less than one.
    if (rx_.size() - rxUsed_ < kMaxRecord) {
        std::memmove(rx_.data(), rx_.data() + rxStart_, rxUsed_ - rxStart_);
        rxUsed_ -= rxStart_;
        rxStart_ = 0;
    }
    StreamResult r = plain_->receive(rx_.data() + rxUsed_, rx_.size() - rxUsed_);
    if (r.kind == StreamResult::Ok) rxUsed_ += r.count;
    else healthy_ = false;
    return r;
}

StreamResult TlsStream::receive(char* data, size_t size) {
    if (!secured_) return plain_->receive(data, size);
    size_t given = 0;
    for (;;) {
        if (plainLeft_ > 0) {
            size_t n = std::min(plainLeft_, size - given);
            std::memcpy(data + given, plainAt_, n);
            plainAt_ += n;
            plainLeft_ -= n;
            given += n;
            if (given == size) return StreamResult::ok(given);
        }
        size_t pending = rxUsed_ - rxStart_;
        char* record = rx_.data() + rxStart_;
        // The record at the front only: the ones behind it are checked there.
        if (uint32_t problem = framingProblem(record, std::min<size_t>(pending, 5)))
            return fail(TlsFailure::Broken, formatMessage(problem));
        if (pending >= 5 && pending >= recordLength(record)) {
            // Decrypted in place: the plain bytes stay inside the record.
            SecBuffer b[4] = {{static_cast<ULONG>(pending), SECBUFFER_DATA, record},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc desc{SECBUFFER_VERSION, 4, b};
            SECURITY_STATUS st = DecryptMessage(&context_, &desc, 0, nullptr);
            if (st == SEC_E_OK) {
                size_t extra = 0;
                for (const SecBuffer& x : b) {
                    if (x.BufferType == SECBUFFER_DATA) {
                        plainAt_ = static_cast<char*>(x.pvBuffer);
                        plainLeft_ = x.cbBuffer;
                    } else if (x.BufferType == SECBUFFER_EXTRA) {
                        extra = std::min<size_t>(x.cbBuffer, pending);
                    }
                }
                rxStart_ = rxUsed_ - extra;
                continue;
            }
            if (st == SEC_I_CONTEXT_EXPIRED) {  // the server's close_notify
                healthy_ = false;
                rxStart_ = rxUsed_;
                return given ? StreamResult::ok(given) : StreamResult::closed();
            }
            if (st == SEC_I_RENEGOTIATE) return fail(TlsFailure::Broken, formatMessage(MSG_TlsReasonRenegotiation));
            if (st != SEC_E_INCOMPLETE_MESSAGE) return failCode(TlsFailure::Broken, st);
        }
        // Hand over what is here rather than wait for more.
        if (given > 0) return StreamResult::ok(given);
        StreamResult r = fill();
        if (r.kind != StreamResult::Ok) return r;
    }
}

void TlsStream::close() {
    if (secured_ && healthy_ && plain_->isOpen()) {
        // close_notify: the server knows that the session ended where it did.
        DWORD type = SCHANNEL_SHUTDOWN;
        SecBuffer b{sizeof type, SECBUFFER_TOKEN, &type};
        SecBufferDesc desc{SECBUFFER_VERSION, 1, &b};
        if (ApplyControlToken(&context_, &desc) == SEC_E_OK) {
            OutToken out;
            ULONG attributes = 0;
            SECURITY_STATUS st = InitializeSecurityContextA(&credentials_, &context_, serverName_.data(), kRequest, 0, 0,
                                                            nullptr, 0, &context_, &out.desc, &attributes, nullptr);
            if (!FAILED(st) && out.buffer.pvBuffer && out.buffer.cbBuffer)
                plain_->send(static_cast<const char*>(out.buffer.pvBuffer), out.buffer.cbBuffer);
        }
    }
    plain_->close();
    reset();
}

std::unique_ptr<ByteStream> openAccountStream(const Account& account, HANDLE stopEvent) {
    auto plain = std::make_unique<WinSocketStream>(stopEvent);
    if (account.secureConnection == SecureConnection::None) return plain;
    return std::make_unique<TlsStream>(std::move(plain), account.server, account.trustedCertificate);
}
