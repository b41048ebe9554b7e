#include "win/support/ScriptedServer.h"

#include <winsock2.h>

#include <cstdlib>
#include <sstream>

namespace {

// One control request: send `line`, read the answer up to a line "." (or a
// single line when `multi` is false).
std::string request(const std::string& line, bool multi) {
    static bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    const char* port = std::getenv("KX_SCRIPT_CONTROL");
    if (!started || !port) return {};
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<u_short>(std::atoi(port)));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        std::string out = line + "\n";
        send(s, out.data(), static_cast<int>(out.size()), 0);
        char buf[4096];
        for (;;) {
            if ((!multi && answer.find('\n') != std::string::npos) ||
                (multi && (answer == ".\n" || answer.ends_with("\n.\n"))))
                break;
            int n = recv(s, buf, sizeof buf, 0);
            if (n <= 0) break;
            answer.append(buf, static_cast<size_t>(n));
        }
    }
    closesocket(s);
    return answer;
}

}  // namespace

ScriptedServer::ScriptedServer(const std::string& scriptsJson) {
    std::string answer = request("SERVE " + scriptsJson, false);
    if (answer.rfind("PORT ", 0) == 0) port_ = std::atoi(answer.c_str() + 5);
}

ScriptedServer::~ScriptedServer() {
    if (port_) request("STOP " + std::to_string(port_), false);
}

std::vector<ScriptedCommand> ScriptedServer::transcript() const {
    std::vector<ScriptedCommand> out;
    std::istringstream in(request("TRANSCRIPT " + std::to_string(port_), true));
    std::string row;
    while (std::getline(in, row) && row != ".") {
        size_t a = row.find('\t'), b = row.find('\t', a + 1);
        if (a == std::string::npos || b == std::string::npos) continue;
        out.push_back({std::atoi(row.c_str()), std::atof(row.c_str() + a + 1), row.substr(b + 1)});
    }
    return out;
}

std::vector<std::string> ScriptedServer::commands() const {
    std::vector<std::string> out;
    for (const ScriptedCommand& c : transcript()) out.push_back(c.line);
    return out;
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7f) {
            char buf[8];
            wsprintfA(buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}
