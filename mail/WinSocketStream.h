// The byte stream on Winsock: a non-blocking socket whose waits are
// WSAEventSelect notifications together with the account's stop event, so
// that every wait ends at once when the account is asked to stop.
#pragma once
#include <winsock2.h>

#include "mail/ByteStream.h"

// Starts and ends the sockets library (version 2.0) for its lifetime.
class SocketsLibrary {
public:
    SocketsLibrary();
    ~SocketsLibrary();
    SocketsLibrary(const SocketsLibrary&) = delete;
    SocketsLibrary& operator=(const SocketsLibrary&) = delete;
    bool started() const { return started_; }

private:
    bool started_ = false;
};

class WinSocketStream : public ByteStream {
public:
    // `stopEvent` belongs to the caller and outlives the stream.
    explicit WinSocketStream(HANDLE stopEvent);
    ~WinSocketStream() override;
    WinSocketStream(const WinSocketStream&) = delete;
    WinSocketStream& operator=(const WinSocketStream&) = delete;

    StreamResult resolve(const std::string& server, uint16_t port, SocketAddress& address) override;
    StreamResult connect(const SocketAddress& address) override;
    StreamResult send(const char* data, size_t size) override;
    StreamResult receive(char* data, size_t size) override;
    void close() override;
    bool isOpen() const override { return socket_ != INVALID_SOCKET; }
    bool pause(unsigned ms) override;

private:
    // Waits for one of `events` (FD_*) or the stop request.
    StreamResult waitFor(long events, WSANETWORKEVENTS& happened);

    HANDLE stopEvent_;
    WSAEVENT socketEvent_;
    SOCKET socket_ = INVALID_SOCKET;
};
