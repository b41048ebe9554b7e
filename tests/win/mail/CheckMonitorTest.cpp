// Workers and the check monitor against the scripted server: turns on one
// server, silent servers, stop requests in every wait, intervals, manual
// accounts, and a stress run with many accounts.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mail/CheckMonitor.h"
#include "message/Message.h"
#include "win/support/ScriptedServer.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Report {
    std::string account;
    AccountState state;
    Clock::time_point at;
};

// Records every report; tests wait on it instead of sleeping.
class Recorder : public CheckObserver {
public:
    void accountChanged(Account& a) override {
        {
            std::lock_guard<std::mutex> hold(lock_);
            reports_.push_back({a.name, a.state, Clock::now()});
            changed_.notify_all();
        }
        if (onReport) onReport(a);
    }
    void newMailFound(Account&) override { ++newMail; }
    // Waits until `account` has reached `state` `times` times.
    bool waitFor(const std::string& account, AccountState state, int times = 1) {
        std::unique_lock<std::mutex> hold(lock_);
        return changed_.wait_for(hold, std::chrono::seconds(20), [&] {
            return std::count_if(reports_.begin(), reports_.end(), [&](const Report& r) {
                       return r.account == account && r.state == state;
                   }) >= times;
        });
    }
    std::vector<Report> reports() {
        std::lock_guard<std::mutex> hold(lock_);
        return reports_;
    }
    std::vector<AccountState> states(const std::string& account) {
        std::vector<AccountState> out;
        for (const Report& r : reports())
            if (r.account == account) out.push_back(r.state);
        return out;
    }
    std::atomic<int> newMail{0};
    std::function<void(Account&)> onReport;  // set before the monitor starts

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Report> reports_;
};

struct NoDial : Dialer {
    bool available() const override { return false; }
    bool connectedState(uint32_t& f) override { return f = 0, true; }
    bool autodial() override { return false; }
    void hangup() override {}
};

const std::string kMailbox = R"({"messages": ["Subject: one\r\n\r\nx", "Subject: two\r\n\r\ny"]})";
const std::string kOnHost2 = R"({"host": "127.0.0.2", "scripts": [)" + kMailbox + "]}";

struct MonitorFixture : ::testing::Test {
    Recorder recorder;
    NoDial dialer;
    InternetConnection connection{dialer, [] { return false; }};
    CheckMonitor monitor{recorder, connection};
    std::vector<std::unique_ptr<Account>> accounts;

    Account& add(const std::string& name, const ScriptedServer& server, const std::string& host = "127.0.0.1") {
        Account& a = *accounts.emplace_back(std::make_unique<Account>());
        a.name = name, a.server = host, a.port = static_cast<uint32_t>(server.port());
        a.user = "user", a.password = "pass", a.checkInterval = 3600;
        return a;
    }
    void start() {
        std::vector<Account*> list;
        for (auto& a : accounts) list.push_back(a.get());
        monitor.setAccounts(list);
        ASSERT_TRUE(monitor.startMonitor());
    }
    // Stops one worker as the user interface does; returns how long it took.
    std::chrono::milliseconds stop(Account& a) {
        auto t = Clock::now();
        EXPECT_TRUE(monitor.lock_monitor());
        monitor.requestStop(a);
        monitor.stopWorker(a);
        monitor.unlock_monitor();
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t);
    }
    // "Check" in the user interface: stop, not started, start.
    void checkNow(Account& a) {
        stop(a);
        a.state = AccountState::NotStarted;
        ASSERT_TRUE(monitor.startWorker(a));
    }
    void TearDown() override {
        monitor.stopAllWorkers();
        monitor.stopMonitorThread();
    }
};

}  // namespace

TEST_F(MonitorFixture, AccountsOfOneServerTakeTurns) {
    // Each session dawdles over LIST, so overlapping sessions would show.
    ScriptedServer server(R"([{"messages": ["Subject: a\r\n\r\nx"], "rules": {"LIST": ["SLEEP:400", "S:+OK\r\n1 10\r\n."]}}])");
    add("first", server);
    add("second", server);
    add("third", server);
    start();
    for (const char* name : {"first", "second", "third"}) ASSERT_TRUE(recorder.waitFor(name, AccountState::Sleeping));
    // Sessions never interleave: every connection's commands form one block.
    auto t = server.transcript();
    ASSERT_FALSE(t.empty());
    for (size_t i = 1; i < t.size(); ++i)
        EXPECT_TRUE(t[i].connection == t[i - 1].connection || t[i - 1].line == "QUIT") << i;
    EXPECT_EQ(recorder.newMail, 3);
}

TEST_F(MonitorFixture, SilentServerGetsItsWorkerRestartedAfterTheTimeOut) {
    ScriptedServer server(R"([["HANG"], )" + kMailbox + "]");
    Account& a = add("silent", server);
    a.checkTimeout = 1;
    auto begun = Clock::now();
    start();
    ASSERT_TRUE(recorder.waitFor("silent", AccountState::Sleeping));
    EXPECT_GE(Clock::now() - begun, std::chrono::milliseconds(900));
    auto s = recorder.states("silent");
    // connecting ... not started, connecting, checking, sleeping
    auto notStarted = std::find(s.begin(), s.end(), AccountState::NotStarted);
    ASSERT_NE(notStarted, s.end());
    EXPECT_EQ(*(notStarted + 1), AccountState::Connecting);
    EXPECT_EQ(std::count(s.begin(), s.end(), AccountState::Failed), 0);
    EXPECT_EQ(a.messageCount(), 2u);
    // The deadline goes when the check has ended, just after the report.
    for (int i = 0; i < 100 && monitor.deadlineCount(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(monitor.deadlineCount(), 0u);
}

TEST_F(MonitorFixture, StopEndsEveryKindOfWaitAtOnce) {
    ScriptedServer silent(R"([["HANG"]])");
    ScriptedServer refusing(R"([["S:-ERR busy", "CLOSE"]])");
    ScriptedServer good(kOnHost2);
    Account& socketWait = add("socket", silent);           // waits for a greeting
    Account& queued = add("queued", silent);                // waits behind it on the same server
    Account& pausing = add("pausing", refusing, "localhost");  // waits between login attempts
    Account& sleeping = add("sleeping", good, "127.0.0.2");    // a server of its own, so it does not queue
    socketWait.checkTimeout = queued.checkTimeout = 3600;
    start();
    ASSERT_TRUE(recorder.waitFor("sleeping", AccountState::Sleeping));
    ASSERT_TRUE(recorder.waitFor("queued", AccountState::Connecting));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let each reach its wait
    for (Account* a : {&queued, &socketWait, &pausing, &sleeping}) {
        EXPECT_LT(stop(*a).count(), 1000) << a->name;
        EXPECT_EQ(a->state, AccountState::NotStarted) << a->name;
        EXPECT_TRUE(a == &pausing || a->errorText.empty()) << a->name << ": " << a->errorText;  // a stop is no error
    }
    EXPECT_EQ(monitor.deadlineCount(), 0u);
    // Nothing is left queued: the server's next account gets its turn at once.
    ScriptedServer second("[" + kMailbox + "]");
    Account& next = add("next", second);
    monitor.startWorker(next);
    EXPECT_TRUE(recorder.waitFor("next", AccountState::Sleeping));
    stop(next);
}

TEST_F(MonitorFixture, ACheckLongerThanTheIntervalIsFollowedAtOnce) {
    ScriptedServer server(R"([{"messages": [], "rules": {"LIST": ["SLEEP:1500", "S:+OK\r\n."]}}])");
    Account& a = add("busy", server);
    a.checkInterval = 1;
    start();
    ASSERT_TRUE(recorder.waitFor("busy", AccountState::Sleeping, 2)) << a.errorText;
    // The second check begins right after the first ended, not an interval later.
    auto r = recorder.reports();
    auto firstEnd = std::find_if(r.begin(), r.end(), [](auto& x) { return x.state == AccountState::Sleeping; });
    auto secondStart = std::find_if(firstEnd, r.end(), [](auto& x) { return x.state == AccountState::Connecting; });
    ASSERT_NE(secondStart, r.end());
    EXPECT_LT(secondStart->at - firstEnd->at, std::chrono::milliseconds(800));  // the interval is 1000
}

TEST_F(MonitorFixture, ManualAccountsCheckOnlyWhenTold) {
    ScriptedServer server("[" + kMailbox + "]");
    Account& a = add("manual", server);
    a.checkOnlyManually = true;
    start();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_TRUE(server.transcript().empty());
    EXPECT_EQ(a.state, AccountState::NotStarted);
    // One check, then it waits to be told again.
    checkNow(a);
    ASSERT_TRUE(recorder.waitFor("manual", AccountState::Sleeping));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(recorder.states("manual"), (std::vector<AccountState>{AccountState::Connecting, AccountState::Connecting,
                                                                    AccountState::Checking, AccountState::Sleeping}));
}

TEST_F(MonitorFixture, ManyAccountsOnShortIntervalsStopCleanly) {
    ScriptedServer one("[" + kMailbox + "]"), two(kOnHost2);
    DWORD handlesBefore = 0, handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
    for (int i = 0; i < 30; ++i) {
        Account& a = add("acc" + std::to_string(i), i % 2 ? one : two, i % 2 ? "127.0.0.1" : "127.0.0.2");
        a.checkInterval = 1;
    }
    start();
    // Every account checks, and checks again after its interval.
    for (auto& a : accounts) ASSERT_TRUE(recorder.waitFor(a->name, AccountState::Sleeping)) << a->name;
    ASSERT_TRUE(recorder.waitFor("acc0", AccountState::Sleeping, 2));
    auto t = Clock::now();
    monitor.stopAllWorkers();
    monitor.stopMonitorThread();
    EXPECT_LT(Clock::now() - t, std::chrono::seconds(2));
    for (auto& a : accounts) {
        EXPECT_EQ(a->state, AccountState::NotStarted) << a->name;
        a->worker.reset();
    }
    EXPECT_EQ(monitor.deadlineCount(), 0u);
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    EXPECT_LE(handlesAfter, handlesBefore + 4) << handlesBefore << " -> " << handlesAfter;
}

TEST_F(MonitorFixture, ACheckCutOffInItsQuitDeletesAgainNextTime) {
    // The second session deletes message one, then the server goes silent
    // instead of answering QUIT, so the deletion never happened there.
    const std::string mailbox = R"("messages": ["Message-ID: <a@x>\r\n\r\nx", "Message-ID: <b@x>\r\n\r\ny"])";
    ScriptedServer server("[{" + mailbox + "}, {" + mailbox + R"(, "rules": {"QUIT": ["HANG"]}}, {)" + mailbox + "}]");
    Account& a = add("quit", server);
    a.checkTimeout = 1;
    a.msgDeletion = DeletionMode::Without;
    start();
    ASSERT_TRUE(recorder.waitFor("quit", AccountState::Sleeping));
    a.lockMessages();
    a.messages[0]->markDeleted(false);
    a.unlockMessages();
    checkNow(a);
    ASSERT_TRUE(recorder.waitFor("quit", AccountState::Sleeping, 2));
    auto t = server.transcript();
    EXPECT_EQ(std::count_if(t.begin(), t.end(), [](const auto& c) { return c.line == "DELE 1"; }), 2);
    EXPECT_EQ(a.messageCount(), 1u);
}

// The monitor thread reports while it holds its lock; a user-interface thread
// waiting for the lock must still handle the report sent to its window.
TEST_F(MonitorFixture, LockWaitHandlesReportsSentToTheWaitingThread) {
    HWND window = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    HANDLE inReport = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    recorder.onReport = [window, inReport, ownThread = GetCurrentThreadId()](Account& a) {
        if (GetCurrentThreadId() == ownThread) return;
        if (a.state == AccountState::NotStarted) {  // the monitor restarting the silent worker
            SetEvent(inReport);
            Sleep(300);
        }
        SendMessageA(window, WM_NULL, 0, 0);
    };
    ScriptedServer server(R"([["HANG"], {"messages": []}])");
    add("silent", server).checkTimeout = 1;
    start();
    for (;;) {
        DWORD w = MsgWaitForMultipleObjects(1, &inReport, FALSE, 20000, QS_SENDMESSAGE);
        if (w == WAIT_OBJECT_0) break;
        ASSERT_EQ(w, WAIT_OBJECT_0 + 1);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    auto t = Clock::now();
    ASSERT_TRUE(monitor.lock_monitor());
    monitor.unlock_monitor();
    EXPECT_LT(Clock::now() - t, std::chrono::seconds(2));
    TearDown();  // before the window and the event go
    DestroyWindow(window);
    CloseHandle(inReport);
}
