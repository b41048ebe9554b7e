// The process-wide event log: every part of the program reports progress and
// trouble here. Entries are time-stamped, the last ones kept in memory for the
// log viewer, and appended to the log file when the user switched that on.
// Logging never fails its caller and may be called from any thread.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

class Registry;

class EventLog {
public:
    // Receives every finished line (time stamp, message, line feed), under the
    // log's lock, so it must not log itself; kxcheck --log echoes entries to
    // stderr with it.
    using Sink = void (*)(const std::string& line);

    static EventLog& instance();

    void log(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // WriteLog and LogFile from and to the settings key; the program loads
    // them at start-up and saves them at exit. A failed registry
    // access keeps the values as they are; an empty LogFile reads as
    // "kestrix.log". The overloads name another key under HKEY_CURRENT_USER
    // (tests).
    void load(Registry& registry);
    void save(Registry& registry);
    void load(Registry& registry, std::string_view keyPath);
    void save(Registry& registry, std::string_view keyPath);

    bool writeLog() const;
    void setWriteLog(bool on);
    std::string logFile() const;
    void setLogFile(const std::string& file);
    std::deque<std::string> recentLines() const;  // a copy, oldest first
    // Lines written since the process started; the memory holds the last
    // kMaxLines of them.
    uint64_t linesWritten() const;
    // The lines in memory written after the first `seen`, oldest first, and
    // `seen` moved past them: a reader that keeps `seen` gets each line once
    // (lines that left the memory before it looked are lost to it).
    std::deque<std::string> linesAfter(uint64_t& seen) const;
    void setSink(Sink sink);

    // The file the entries go to: the program directory and "kestrix.log"
    // for an empty LogFile, the program directory and LogFile for a bare
    // name, LogFile itself when it holds a "\\" or "/".
    std::string logFilePath() const;

    // Limits of one entry: the message is cut to kMessageMax bytes, the whole
    // line (with its line feed) to kLineMax bytes.
    static constexpr size_t kMessageMax = 8191;
    static constexpr size_t kLineMax = 259;
    static constexpr int kMaxLines = 300;

    // One line as log() builds it: "DD.MM.YYYY HH.MM.SS message\n", cut to
    // kLineMax bytes with the line feed kept at its end.
    static std::string formatLine(int day, int month, int year, int hour, int minute, int second,
                                  std::string_view message);

private:
    EventLog();
    struct State;
    State* state_;
};

inline EventLog& eventLog() { return EventLog::instance(); }
