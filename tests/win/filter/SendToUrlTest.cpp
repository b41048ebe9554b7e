// The URL action against a small HTTP server on the loopback address: what
// arrives is the request line that the receiver of a report sees.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "filter/FilterActions.h"
#include "message/Message.h"

namespace {

// Answers every request on 127.0.0.1 with an error page, which the action
// must ignore, and records the request lines.
class HttpListener {
public:
    HttpListener() {
        WSADATA wsa;
        WSAStartup(MAKEWORD(2, 2), &wsa);
        listen_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr{AF_INET, 0, {}, {}};
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int len = sizeof addr;
        if (bind(listen_, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(listen_, 4) != 0) return;
        getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
        base = "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
        thread_ = std::thread([this, s = listen_] {
            for (SOCKET c; (c = accept(s, nullptr, nullptr)) != INVALID_SOCKET; closesocket(c)) serve(c);
        });
    }
    ~HttpListener() { requests(), WSACleanup(); }
    // The request lines; the action has read its answer, so all have arrived.
    std::vector<std::string> requests() {
        closesocket(std::exchange(listen_, INVALID_SOCKET));  // ends the waiting accept
        if (thread_.joinable()) thread_.join();
        return requests_;
    }
    std::string base;

private:
    void serve(SOCKET c) {
        std::string request;
        char buf[4096];
        for (int n; request.find("\r\n\r\n") == std::string::npos && (n = recv(c, buf, sizeof buf, 0)) > 0;)
            request.append(buf, n);
        requests_.push_back(request.substr(0, request.find("\r\n")));
        const char answer[] = "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 2\r\nConnection: close\r\n\r\nno";
        send(c, answer, sizeof answer - 1, 0);
        shutdown(c, SD_SEND);
        while (recv(c, buf, sizeof buf, 0) > 0) {
        }
    }

    SOCKET listen_;
    std::thread thread_;
    std::vector<std::string> requests_;
};

TEST(SendToUrl, ReportArrivesAsOneEscapedQuery) {
    HttpListener server;
    ASSERT_FALSE(server.base.empty());
    Message m({"From: Deals <deals@shop.example>", "To: anna@home.example", "Subject: Win a prize & more", "",
               "a=1&b=2", "50% off?"},
              1234);
    sendToUrl(reportUrl(server.base + "/report", m));
    sendToUrl(server.base + "/my reports/in?x=1");  // blanks in the user's own URL
    sendToUrl(sampleReportUrl(server.base + "/"));
    sendToUrl("http://127.0.0.1:1/nothing");  // refused: returns without a trace
    sendToUrl("not a url at all");
    EXPECT_EQ(server.requests(),
              (std::vector<std::string>{
                  "GET /report?to=anna%40home.example&cc=&bcc=&subject=Win%20a%20prize%20%26%20more"
                  "&emailbody=a%3D1%26b%3D2%0D%0A50%25%20off%3F%0D%0A HTTP/1.1",
                  "GET /my%20reports/in?x=1 HTTP/1.1",
                  "GET /?to=to%40example.com&cc=cc%40example.com&bcc=bcc%40example.com"
                  "&subject=TestSubject&emailbody=TestMessageBody HTTP/1.1"}));
}

}  // namespace
