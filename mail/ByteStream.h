// The byte stream under the POP3 transport: one TCP connection of one account
// whose every wait also ends when the account is asked to stop. The Windows
// build implements it on Winsock (WinSocketStream), and TLS over that
// (TlsStream); tests use scripted fakes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct StreamResult {
    enum Kind {
        Ok,       // done; `count` bytes moved
        Stopped,  // the stop request ended the wait
        Closed,   // the peer closed the connection
        Failed,   // a system error; `code` is the sockets error code
        Insecure, // TLS failed or refused the server: the stream's tlsFailure() says why
    };
    Kind kind = Ok;
    int code = 0;
    size_t count = 0;

    static StreamResult ok(size_t n = 0) { return {Ok, 0, n}; }
    static StreamResult stopped() { return {Stopped, 0, 0}; }
    static StreamResult closed() { return {Closed, 0, 0}; }
    static StreamResult failed(int code) { return {Failed, code, 0}; }
    static StreamResult insecure() { return {Insecure, 0, 0}; }
};

// Why TLS ended a connection (a result of kind Insecure).
struct TlsFailure {
    enum Kind {
        Handshake,  // no secure connection could be made
        Untrusted,  // the server's certificate is not trusted
        Broken,     // the secure connection failed after the handshake
    };
    Kind kind = Handshake;
    std::string reason;       // the reason's text, for the error message
    std::string fingerprint;  // Untrusted: the certificate's SHA-256 (hex)
};

// A resolved IPv4 address and port, both as the network sends them.
struct SocketAddress {
    uint32_t ipv4 = 0;
    uint16_t port = 0;
};

class ByteStream {
public:
    virtual ~ByteStream() = default;

    // Resolves `server` (a dotted IPv4 address is taken as it is) into
    // `address` with `port`.
    virtual StreamResult resolve(const std::string& server, uint16_t port, SocketAddress& address) = 0;
    // Opens a connection to a resolved address.
    virtual StreamResult connect(const SocketAddress& address) = 0;
    // Sends all of `data`, waiting while the system's buffer is full.
    virtual StreamResult send(const char* data, size_t size) = 0;
    // Waits until at least one byte is there, then receives up to `size`.
    virtual StreamResult receive(char* data, size_t size) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Pauses `ms` milliseconds; false when the stop request ended the pause.
    virtual bool pause(unsigned ms) = 0;

    // Starts TLS on the open connection: the handshake, then the server's
    // certificate checked; afterwards send and receive carry protected bytes.
    // Bytes that came before are not part of the secured stream. A stream
    // without TLS fails as Insecure.
    virtual StreamResult secure() { return StreamResult::insecure(); }
    // The failure behind the last Insecure result.
    virtual const TlsFailure& tlsFailure() const { return noTls_; }

private:
    TlsFailure noTls_;
};
