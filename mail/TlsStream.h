// TLS over another byte stream, on the system's Schannel (SSPI). Until
// secure() it passes the plain bytes through (the POP3 greeting, CAPA and
// STLS); afterwards every byte is protected. Every wait is a wait of the
// stream below, so the account's stop request ends it.
//
// The server's certificate is checked by this class, not by Schannel (which
// under Wine accepts any certificate): its chain under the SSL policy for the
// server's name, unless its SHA-256 is the one the user chose to trust.
#pragma once
#define SECURITY_WIN32
#include <windows.h>
#include <security.h>
#include <schannel.h>

#include <memory>
#include <string>
#include <vector>

#include "mail/ByteStream.h"

class Account;

class TlsStream : public ByteStream {
public:
    // All the handshake may receive: a longer certificate chain is refused.
    static constexpr size_t kMaxHandshake = 256u << 10;
    // The longest record TLS allows: header and 2^14 + 2048 bytes.
    static constexpr size_t kMaxRecord = 5 + 16384 + 2048;

    // `serverName` is what the certificate must name; `trusted` the stored
    // fingerprint of a certificate accepted whatever its chain (may be empty).
    TlsStream(std::unique_ptr<ByteStream> plain, std::string serverName, std::string trusted);
    ~TlsStream() override;
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    StreamResult resolve(const std::string& server, uint16_t port, SocketAddress& address) override {
        return plain_->resolve(server, port, address);
    }
    StreamResult connect(const SocketAddress& address) override;
    StreamResult send(const char* data, size_t size) override;
    StreamResult receive(char* data, size_t size) override;
    // After a good secure session, tells the server with close_notify.
    void close() override;
    bool isOpen() const override { return plain_->isOpen(); }
    bool pause(unsigned ms) override { return plain_->pause(ms); }
    StreamResult secure() override;
    const TlsFailure& tlsFailure() const override { return failure_; }

private:
    StreamResult handshake();
    StreamResult checkSession();
    StreamResult fail(TlsFailure::Kind kind, std::string reason);
    StreamResult failCode(TlsFailure::Kind kind, long status);
    // Receives more protected bytes behind those already there.
    StreamResult fill();
    void reset();

    std::unique_ptr<ByteStream> plain_;
    std::string serverName_;
    std::string trusted_;
    TlsFailure failure_;

    CredHandle credentials_{};
    CtxtHandle context_{};
    bool haveCredentials_ = false, haveContext_ = false;
    bool secured_ = false;   // the handshake ended and the server is trusted
    bool healthy_ = false;   // no failure since: close_notify may be sent
    SecPkgContext_StreamSizes sizes_{};

    // Protected bytes received and not yet decrypted: [rxStart_, rxUsed_) of
    // rx_. Records are decrypted in place; the plain bytes of the last one not
    // yet handed out are [plainAt_, plainAt_ + plainLeft_), before rxStart_.
    std::vector<char> rx_;
    size_t rxStart_ = 0, rxUsed_ = 0;
    char* plainAt_ = nullptr;
    size_t plainLeft_ = 0;
    std::vector<char> tx_;
};

// The byte stream an account's check uses: the plain socket, with TLS over
// it when the account asks for a secure connection. `stopEvent` belongs to
// the caller and outlives the stream.
std::unique_ptr<ByteStream> openAccountStream(const Account& account, HANDLE stopEvent);
