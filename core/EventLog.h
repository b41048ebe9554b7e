// The process-wide event log: every part of the program reports progress and
// trouble here. Entries are time-stamped, the last ones kept in memory for the
// log viewer, and appended to the log file when the user switched that on.
// Logging never fails its caller and may be called from any thread.
#pragma once
#include <deque>
#include <string>

class Registry;

class EventLog {
public:
    // Receives every finished line (time stamp, message, line feed), under the
    // log's lock; kxcheck --log echoes entries to stderr with it.
    using Sink = void (*)(const std::string& line);

    static EventLog& instance();

    void log(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // WriteLog and LogFile from and to the settings key.
    void load(Registry& registry);
    void save(Registry& registry);

    bool writeLog() const;
    void setWriteLog(bool on);
    std::string logFile() const;
    void setLogFile(const std::string& file);
    std::deque<std::string> recentLines() const;  // a copy, oldest first
    void setSink(Sink sink);

private:
    EventLog();
    struct State;
    State* state_;
};

inline EventLog& eventLog() { return EventLog::instance(); }
