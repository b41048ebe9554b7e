#include "win/support/ScriptedServer.h"

#include <winsock2.h>

#include <cstdlib>
#include <sstream>

namespace {

// One control request: send `line`, then read the answer until the server,
// having seen the end of the requests, closes the connection.
std::string request(const std::string& line) {
    static bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    const char* port = std::getenv("KX_SCRIPT_CONTROL");
    if (!started || !port) return {};
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{AF_INET, htons(static_cast<u_short>(std::atoi(port))), {}, {}};
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer, out = line + "\n";
    if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        send(s, out.data(), static_cast<int>(out.size()), 0) == static_cast<int>(out.size())) {
        shutdown(s, SD_SEND);
        char buf[4096];
        for (int n; (n = recv(s, buf, sizeof buf, 0)) > 0;) answer.append(buf, static_cast<size_t>(n));
    }
    closesocket(s);
    return answer;
}

}  // namespace

ScriptedServer::ScriptedServer(const std::string& scriptsJson) {
    std::string answer = request("SERVE " + scriptsJson);
    if (answer.rfind("PORT ", 0) == 0) port_ = std::atoi(answer.c_str() + 5);
}

ScriptedServer::~ScriptedServer() {
    if (port_) request("STOP " + std::to_string(port_));
}

std::vector<ScriptedCommand> ScriptedServer::transcript() const {
    std::vector<ScriptedCommand> out;
    std::istringstream in(request("TRANSCRIPT " + std::to_string(port_)));
    std::string row;
    while (std::getline(in, row) && row != ".") {
        size_t a = row.find('\t'), b = row.find('\t', a + 1);
        if (a == std::string::npos || b == std::string::npos) continue;
        out.push_back({std::atoi(row.c_str()), std::atof(row.c_str() + a + 1), row.substr(b + 1)});
    }
    return out;
}
