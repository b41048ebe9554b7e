#include "mail/WinSocketStream.h"

#include <ws2tcpip.h>

#include <memory>
#include <mutex>
#include <thread>

#include "core/WinHandle.h"

namespace {

// Name resolution is serialised across all accounts.
std::mutex gResolveLock;

// One name lookup, run on a thread of its own so that the worker can stop
// waiting for it; the job outlives whichever side lets go of it last.
struct LookupJob {
    std::string host;
    Event done;
    int error = 0;
    in_addr address{};
};

void runLookup(std::shared_ptr<LookupJob> job) {
    // Held here rather than by the waiting worker, which must stay free to
    // end on its stop request while another lookup runs.
    std::lock_guard<std::mutex> hold(gResolveLock);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    int rc = getaddrinfo(job->host.c_str(), nullptr, &hints, &list);
    if (rc == 0 && list) job->address = reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr;
    else job->error = rc ? rc : WSAHOST_NOT_FOUND;
    if (list) freeaddrinfo(list);
    job->done.signal();
}

bool isDottedAddress(const std::string& text, in_addr& out) {
    return !text.empty() && InetPtonA(AF_INET, text.c_str(), &out) == 1;
}

}  // namespace

SocketsLibrary::SocketsLibrary() {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 0), &data) == 0;
}

SocketsLibrary::~SocketsLibrary() {
    if (started_) WSACleanup();
}

WinSocketStream::WinSocketStream(HANDLE stopEvent)
    : stopEvent_(stopEvent), socketEvent_(WSACreateEvent()) {}

WinSocketStream::~WinSocketStream() {
    close();
    if (socketEvent_ != WSA_INVALID_EVENT) WSACloseEvent(socketEvent_);
}

bool WinSocketStream::pause(unsigned ms) { return WaitForSingleObject(stopEvent_, ms) == WAIT_TIMEOUT; }

StreamResult WinSocketStream::resolve(const std::string& server, uint16_t port, SocketAddress& address) {
    address.port = htons(port);
    in_addr dotted{};
    if (isDottedAddress(server, dotted)) {
        address.ipv4 = dotted.s_addr;
        return StreamResult::ok();
    }

    auto job = std::make_shared<LookupJob>();
    job->host = server;
    if (!job->done) return StreamResult::failed(static_cast<int>(GetLastError()));
    try {
        std::thread(runLookup, job).detach();
    } catch (...) {
        return StreamResult::failed(WSAENOBUFS);
    }
    HANDLE waits[] = {stopEvent_, job->done.get()};
    DWORD w = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (w != WAIT_OBJECT_0 + 1) return StreamResult::stopped();
    if (job->error) return StreamResult::failed(job->error);
    address.ipv4 = job->address.s_addr;
    return StreamResult::ok();
}

StreamResult WinSocketStream::waitFor(long events, WSANETWORKEVENTS& happened) {
    WSAResetEvent(socketEvent_);
    if (WSAEventSelect(socket_, socketEvent_, events) == SOCKET_ERROR)
        return StreamResult::failed(WSAGetLastError());
    HANDLE waits[] = {stopEvent_, socketEvent_};
    DWORD w = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (w != WAIT_OBJECT_0 + 1) return StreamResult::stopped();
    if (WSAEnumNetworkEvents(socket_, socketEvent_, &happened) == SOCKET_ERROR)
        return StreamResult::failed(WSAGetLastError());
    return StreamResult::ok();
}

StreamResult WinSocketStream::connect(const SocketAddress& address) {
    close();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = address.port;
    to.sin_addr.s_addr = address.ipv4;
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ == INVALID_SOCKET) return StreamResult::failed(WSAGetLastError());
    // Non-blocking from the start, so that a stop request also ends a connect
    // to a host that never answers.
    u_long nonBlocking = 1;
    if (ioctlsocket(socket_, FIONBIO, &nonBlocking) == SOCKET_ERROR) {
        int code = WSAGetLastError();
        close();
        return StreamResult::failed(code);
    }
    if (::connect(socket_, reinterpret_cast<sockaddr*>(&to), sizeof to) == SOCKET_ERROR) {
        int code = WSAGetLastError();
        if (code != WSAEWOULDBLOCK) {
            close();
            return StreamResult::failed(code);
        }
        WSANETWORKEVENTS happened{};
        StreamResult r;
        // Wait until the connect notification itself arrives: a wake-up
        // without it does not mean the connection is there.
        do {
            r = waitFor(FD_CONNECT, happened);
        } while (r.kind == StreamResult::Ok && !(happened.lNetworkEvents & FD_CONNECT));
        if (r.kind == StreamResult::Ok && happened.iErrorCode[FD_CONNECT_BIT])
            r = StreamResult::failed(happened.iErrorCode[FD_CONNECT_BIT]);
        if (r.kind != StreamResult::Ok) {
            close();
            return r;
        }
    }
    BOOL on = TRUE;
    setsockopt(socket_, SOL_SOCKET, SO_OOBINLINE, reinterpret_cast<const char*>(&on), sizeof on);
    return StreamResult::ok();
}

StreamResult WinSocketStream::send(const char* data, size_t size) {
    size_t sent = 0;
    while (sent < size) {
        int n = ::send(socket_, data + sent, static_cast<int>(size - sent), 0);
        if (n != SOCKET_ERROR) {
            sent += static_cast<size_t>(n);
            continue;
        }
        int code = WSAGetLastError();
        if (code != WSAEWOULDBLOCK) return StreamResult::failed(code);
        WSANETWORKEVENTS happened{};
        StreamResult r = waitFor(FD_WRITE | FD_CLOSE, happened);
        if (r.kind != StreamResult::Ok) return r;
        if ((happened.lNetworkEvents & FD_WRITE) && happened.iErrorCode[FD_WRITE_BIT])
            return StreamResult::failed(happened.iErrorCode[FD_WRITE_BIT]);
        if (happened.lNetworkEvents & FD_CLOSE) return StreamResult::closed();
    }
    return StreamResult::ok(sent);
}

StreamResult WinSocketStream::receive(char* data, size_t size) {
    for (;;) {
        int n = ::recv(socket_, data, static_cast<int>(size > 0x7fffffff ? 0x7fffffff : size), 0);
        if (n > 0) return StreamResult::ok(static_cast<size_t>(n));
        if (n == 0) return StreamResult::closed();
        int code = WSAGetLastError();
        if (code != WSAEWOULDBLOCK) return StreamResult::failed(code);
        WSANETWORKEVENTS happened{};
        StreamResult r = waitFor(FD_READ | FD_CLOSE, happened);
        if (r.kind != StreamResult::Ok) return r;
        if ((happened.lNetworkEvents & FD_READ) && happened.iErrorCode[FD_READ_BIT])
            return StreamResult::failed(happened.iErrorCode[FD_READ_BIT]);
        // Read or close: recv tells which, and still hands over bytes the
        // server sent before it closed.
    }
}

void WinSocketStream::close() {
    if (socket_ == INVALID_SOCKET) return;
    WSAEventSelect(socket_, socketEvent_, 0);
    closesocket(socket_);
    socket_ = INVALID_SOCKET;
}
