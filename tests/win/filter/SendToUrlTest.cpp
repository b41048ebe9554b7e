// The URL action against a small HTTP server on the loopback address: what
// arrives is the request line that the receiver of a report sees.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "filter/FilterActions.h"
#include "message/Message.h"

namespace {

// Accepts connections on 127.0.0.1 and answers each request with a short
// page, recording every request line.
class HttpListener {
public:
    explicit HttpListener(const char* status = "200 OK") : status_(status) {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
        listen_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        if (bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listen_, 4) != 0)
            return;
        int len = sizeof addr;
        getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~HttpListener() {
        stop_ = true;
        closesocket(listen_);
        if (thread_.joinable()) thread_.join();
        WSACleanup();
    }

    int port() const { return port_; }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::vector<std::string> requests() const {
        std::lock_guard<std::mutex> hold(lock_);
        return requests_;
    }

private:
    void serve() {
        while (!stop_) {
            SOCKET c = accept(listen_, nullptr, nullptr);
            if (c == INVALID_SOCKET) return;
            std::string request;
            char buf[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                int n = recv(c, buf, sizeof buf, 0);
                if (n <= 0) break;
                request.append(buf, n);
            }
            {
                std::lock_guard<std::mutex> hold(lock_);
                requests_.push_back(request.substr(0, request.find("\r\n")));
            }
            std::string answer = std::string("HTTP/1.1 ") + status_ +
                                 "\r\nContent-Type: text/plain\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
            send(c, answer.data(), static_cast<int>(answer.size()), 0);
            shutdown(c, SD_SEND);
            while (recv(c, buf, sizeof buf, 0) > 0) {
            }
            closesocket(c);
        }
    }

    const char* status_;
    SOCKET listen_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex lock_;
    std::vector<std::string> requests_;
};

TEST(SendToUrl, ReportOfAMessageArrivesAsOneQuery) {
    HttpListener server;
    ASSERT_NE(server.port(), 0);
    std::vector<std::string> lines = {"From: Deals <deals@shop.example>", "To: anna@home.example",
                                      "Subject: Win a prize & more", "", "a=1&b=2", "50% off?"};
    Message m(lines, 1234);
    sendToUrl(reportUrl(server.base() + "/report", m));
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0],
              "GET /report?to=anna%40home.example&cc=&bcc=&subject=Win%20a%20prize%20%26%20more"
              "&emailbody=a%3D1%26b%3D2%0D%0A50%25%20off%3F%0D%0A HTTP/1.1");
}

TEST(SendToUrl, BlanksInTheUsersUrlAreEscapedByCanonicalization) {
    HttpListener server;
    ASSERT_NE(server.port(), 0);
    sendToUrl(server.base() + "/my reports/in?x=1");
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], "GET /my%20reports/in?x=1 HTTP/1.1");
}

TEST(SendToUrl, ErrorAnswersAndDeadAddressesAreIgnored) {
    HttpListener server("500 Internal Server Error");
    ASSERT_NE(server.port(), 0);
    sendToUrl(sampleReportUrl(server.base() + "/"));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0],
              "GET /?to=to%40example.com&cc=cc%40example.com&bcc=bcc%40example.com"
              "&subject=TestSubject&emailbody=TestMessageBody HTTP/1.1");

    sendToUrl("http://127.0.0.1:1/nothing");  // refused: returns without a trace
    sendToUrl("");
    sendToUrl("not a url at all");
}

TEST(LaunchAndSound, MissingTargetsFailSilently) {
    launchFile("C:\\no\\such\\program.exe");
    launchFile("");
    playSoundFile("C:\\no\\such\\sound.wav");
    playSoundFile("");
}

}  // namespace
