#include "core/EventLog.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "core/FileIO.h"
#include "core/Platform.h"
#include "core/ProductKey.h"
#include "core/Registry.h"

struct EventLog::State {
    mutable std::mutex lock;
    bool writeLog = false;
    std::string logFile;
    int maxLines = kMaxLines;
    std::deque<std::string> recentLines;
    uint64_t written = 0;  // every line ever added to recentLines
    Sink sink = nullptr;
    // The local calendar of the last entry's second: looking it up asks the
    // system for the time zone, which costs more than the rest of an entry.
    std::time_t calendarOf = -1;
    std::tm calendar{};
};

namespace {

std::string pathOf(const std::string& file) {
    if (file.empty()) return programDirectory() + "kestrix.log";
    if (file.find_first_of("\\/") == std::string::npos) return programDirectory() + file;
    return file;
}

bool localCalendar(std::time_t t, std::tm& out) {
#ifdef _WIN32
    return localtime_s(&out, &t) == 0;
#else
    return localtime_r(&t, &out) != nullptr;
#endif
}

}  // namespace

EventLog::EventLog() : state_(new State) {}

// Never destroyed: entries may still come from static destructors and from
// threads that outlive main.
EventLog& EventLog::instance() {
    static EventLog* log = new EventLog;
    return *log;
}

std::string EventLog::formatLine(int day, int month, int year, int hour, int minute, int second,
                                 std::string_view message) {
    char stamp[64];
    int n = std::snprintf(stamp, sizeof stamp, "%02d.%02d.%02d %02d.%02d.%02d ", day, month, year, hour,
                          minute, second);
    std::string line(stamp, n > 0 ? static_cast<size_t>(n) : 0);
    line.append(message);
    if (line.size() > kLineMax - 1) line.resize(kLineMax - 1);
    line += '\n';
    return line;
}

void EventLog::log(const char* format, ...) {
    char message[kMessageMax + 1];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(message, sizeof message, format ? format : "", args);
    va_end(args);
    if (n < 0) message[0] = '\0';

    std::lock_guard<std::mutex> hold(state_->lock);
    auto now = static_cast<std::time_t>(currentTime());
    if (now != state_->calendarOf) {
        if (!localCalendar(now, state_->calendar)) return;
        state_->calendarOf = now;
    }
    const std::tm& tm = state_->calendar;
    std::string line = formatLine(tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                                  tm.tm_sec, message);
    // A failed append loses the file's copy only; the entry stays in memory.
    if (state_->writeLog) appendToFile(pathOf(state_->logFile), line);
    if (state_->maxLines < 1) state_->maxLines = 1;
    while (static_cast<int>(state_->recentLines.size()) >= state_->maxLines) state_->recentLines.pop_front();
    state_->recentLines.push_back(line);
    ++state_->written;
    if (state_->sink) state_->sink(line);
}

void EventLog::load(Registry& registry) { load(registry, kSettingsKey); }
void EventLog::save(Registry& registry) { save(registry, kSettingsKey); }

void EventLog::load(Registry& registry, std::string_view keyPath) {
    RegKey key;
    if (!key.openOrCreate(registry, kRegCurrentUser, keyPath, RegAccess::Read)) return;
    bool on = false;
    key.readFlag("WriteLog", on, FlagRule::OneIsTrue);
    std::string file;
    key.readString("LogFile", file);
    if (file.empty()) file = "kestrix.log";
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->writeLog = on;
    state_->logFile = file;
}

void EventLog::save(Registry& registry, std::string_view keyPath) {
    RegKey key;
    if (!key.openForWriting(registry, kRegCurrentUser, keyPath)) return;
    bool on;
    std::string file;
    {
        std::lock_guard<std::mutex> hold(state_->lock);
        on = state_->writeLog;
        file = state_->logFile;
    }
    key.writeNumber("WriteLog", on ? 1 : 0);
    key.writeString("LogFile", file);
}

bool EventLog::writeLog() const {
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->writeLog;
}

void EventLog::setWriteLog(bool on) {
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->writeLog = on;
}

std::string EventLog::logFile() const {
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->logFile;
}

void EventLog::setLogFile(const std::string& file) {
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->logFile = file;
}

std::deque<std::string> EventLog::recentLines() const {
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->recentLines;
}

uint64_t EventLog::linesWritten() const {
    std::lock_guard<std::mutex> hold(state_->lock);
    return state_->written;
}

std::deque<std::string> EventLog::linesAfter(uint64_t& seen) const {
    std::lock_guard<std::mutex> hold(state_->lock);
    const auto& lines = state_->recentLines;
    uint64_t first = state_->written - lines.size();  // number of the oldest line in memory
    uint64_t from = std::max(seen, first);
    seen = state_->written;
    if (from >= state_->written) return {};
    return std::deque<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(from - first), lines.end());
}

void EventLog::setSink(Sink sink) {
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->sink = sink;
}

std::string EventLog::logFilePath() const { return pathOf(logFile()); }
