// Client of the scripted POP3 server's control port (tools/pop3script.py),
// for tests that run under Wine. The scripts are those of pop3script.py,
// given as a JSON list: one script per connection.
#pragma once
#include <string>
#include <vector>

struct ScriptedCommand {
    int connection;   // from 1
    double seconds;   // since the server started
    std::string line; // the command as received, without CRLF
};

class ScriptedServer {
public:
    // Starts a server for `scriptsJson`; port() is 0 when that failed.
    explicit ScriptedServer(const std::string& scriptsJson);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int port() const { return port_; }
    std::vector<ScriptedCommand> transcript() const;

private:
    int port_ = 0;
};
