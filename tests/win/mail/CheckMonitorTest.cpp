// Workers and the check monitor against the scripted server: turns on one
// server, silent and trickling servers, stop requests in every wait,
// intervals, manual and disabled accounts, the operations on the live list,
// and a stress run with many accounts.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/EventLog.h"
#include "core/MessageText.h"
#include "mail/CheckMonitor.h"
#include "message/Message.h"
#include "win/support/ScriptedServer.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Report {
    uint32_t account;
    AccountState state;
    Clock::time_point at;
};

// Records every report; tests wait on it instead of sleeping.
class Recorder : public CheckObserver {
public:
    void accountChanged(uint32_t id, const AccountStatus& status) override {
        {
            std::lock_guard<std::mutex> hold(lock_);
            reports_.push_back({id, status.state, Clock::now()});
            changed_.notify_all();
        }
        if (onReport) onReport(id, status);
    }
    void newMailFound(uint32_t) override { ++newMail; }
    // Waits until `account` has reached `state` `times` times.
    bool waitFor(const Account& account, AccountState state, int times = 1) {
        std::unique_lock<std::mutex> hold(lock_);
        return changed_.wait_for(hold, 30s, [&] { return countLocked(account, state) >= times; });
    }
    int count(const Account& account, AccountState state) {
        std::lock_guard<std::mutex> hold(lock_);
        return countLocked(account, state);
    }
    std::vector<Report> reports() {
        std::lock_guard<std::mutex> hold(lock_);
        return reports_;
    }
    std::vector<AccountState> states(const Account& account) {
        std::vector<AccountState> out;
        for (const Report& r : reports())
            if (r.account == account.id()) out.push_back(r.state);
        return out;
    }
    std::atomic<int> newMail{0};
    std::function<void(uint32_t, const AccountStatus&)> onReport;  // set before the monitor starts

private:
    int countLocked(const Account& account, AccountState state) {
        return static_cast<int>(std::count_if(reports_.begin(), reports_.end(), [&](const Report& r) {
            return r.account == account.id() && r.state == state;
        }));
    }
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Report> reports_;
};

// What a worker does after its last report (the news of new mail, leaving its
// server's queue) is waited for, not assumed done.
bool eventually(const std::function<bool()>& condition) {
    for (auto end = Clock::now() + 30s; !condition(); std::this_thread::sleep_for(10ms))
        if (Clock::now() > end) return false;
    return true;
}

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
    CheckPolicy policy;
    NoDial dialer;
    InternetConnection connection{dialer, [] { return false; }};
    CheckMonitor monitor{recorder, policy, connection};
    std::vector<std::unique_ptr<Account>> accounts;

    void SetUp() override { monitor.retryPauseMs = 100; }
    Account& add(const std::string& name, const ScriptedServer& server, const std::string& host = "127.0.0.1") {
        Account& a = *accounts.emplace_back(std::make_unique<Account>());
        a.name = name, a.server = host, a.port = static_cast<uint32_t>(server.port());
        a.user = "user", a.password = "pass", a.checkInterval = 3600;
        EXPECT_TRUE(monitor.addAccount(a));
        return a;
    }
    void start() { ASSERT_TRUE(monitor.startMonitor()); }
    // Stops one worker as the user's "Stop" does; returns how long it took.
    std::chrono::milliseconds stop(Account& a) {
        auto t = Clock::now();
        EXPECT_TRUE(monitor.stop(a));
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t);
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
    for (const char* name : {"first", "second", "third"}) add(name, server);
    start();
    for (auto& a : accounts) ASSERT_TRUE(recorder.waitFor(*a, AccountState::Sleeping));
    // Sessions never interleave: every connection's commands form one block.
    auto t = server.transcript();
    ASSERT_FALSE(t.empty());
    for (size_t i = 1; i < t.size(); ++i)
        EXPECT_TRUE(t[i].connection == t[i - 1].connection || t[i - 1].line == "QUIT") << i;
    EXPECT_TRUE(eventually([&] { return recorder.newMail == 3 && monitor.queuedCount() == 0; }));
}

TEST_F(MonitorFixture, SilentServerGetsItsWorkerRestartedAfterTheTimeOut) {
    ScriptedServer server(R"([["HANG"], )" + kMailbox + "]");
    Account& a = add("silent", server);
    a.checkTimeout = 1;
    auto begun = Clock::now();
    start();
    ASSERT_TRUE(recorder.waitFor(a, AccountState::Sleeping));
    EXPECT_GE(Clock::now() - begun, 900ms);
    auto s = recorder.states(a);
    // connecting ... not started, connecting, checking, sleeping
    auto notStarted = std::find(s.begin(), s.end(), AccountState::NotStarted);
    ASSERT_NE(notStarted, s.end());
    EXPECT_EQ(*(notStarted + 1), AccountState::Connecting);
    EXPECT_EQ(std::count(s.begin(), s.end(), AccountState::Failed), 0);
    EXPECT_EQ(a.messageCount(), 2u);
    EXPECT_TRUE(eventually([&] { return monitor.deadlineCount() == 0; }));
}

// A TOP answer that trickles a byte a second is silence: its check ends after
// the time-out, and the account queued behind it on that server gets its
// turn. An answer that comes slowly but for real is not cut.
TEST_F(MonitorFixture, ATricklingServerIsSilentASlowOneIsNot) {
    const std::string trickle =
        R"({"messages": ["Subject: a\r\n\r\nx"], "rules": {"TOP": ["S:+OK", "TRICKLE:100000:1"]}})";
    ScriptedServer trickling("[" + trickle + ", " + kMailbox + "]");
    ScriptedServer slow(R"({"host": "127.0.0.2", "scripts": [{"messages": ["Subject: a\r\n\r\nx"],)"
                        R"( "rules": {"TOP": ["S:+OK", "TRICKLE:3000:1000", "S:", "S:."]}}]})");
    Account& stuck = add("stuck", trickling);
    Account& patient = add("patient", slow, "127.0.0.2");
    stuck.checkTimeout = patient.checkTimeout = 2;
    start();
    ASSERT_TRUE(recorder.waitFor(stuck, AccountState::Checking));
    Account& behind = add("behind", trickling);  // queued behind the first
    ASSERT_TRUE(recorder.waitFor(behind, AccountState::Sleeping));
    ASSERT_TRUE(recorder.waitFor(patient, AccountState::Sleeping));
    EXPECT_EQ(recorder.count(patient, AccountState::NotStarted), 0) << "the slow answer was cut";
    EXPECT_GE(recorder.count(stuck, AccountState::NotStarted), 1);
    auto log = eventLog().recentLines();
    std::string tooSlow = formatMessage(MSG_AnswerTooSlow, {"\x01", "2"});
    tooSlow = tooSlow.substr(0, tooSlow.find('\x01'));  // the text up to the byte count
    EXPECT_TRUE(std::any_of(log.begin(), log.end(),
                            [&](const std::string& l) { return l.find("Error: " + tooSlow) != std::string::npos; }));
}

TEST_F(MonitorFixture, StopEndsEveryKindOfWaitAtOnce) {
    ScriptedServer silent(R"([["HANG"]])");
    ScriptedServer refusing(R"([["S:-ERR busy", "CLOSE"]])");
    ScriptedServer good(kOnHost2);
    Account& socketWait = add("socket", silent);               // waits for a greeting
    Account& queued = add("queued", silent);                   // waits behind it on the same server
    Account& pausing = add("pausing", refusing, "localhost");  // waits between login attempts
    Account& sleeping = add("sleeping", good, "127.0.0.2");    // a server of its own, so it does not queue
    socketWait.checkTimeout = queued.checkTimeout = 3600;
    monitor.retryPauseMs = 10000;
    start();
    ASSERT_TRUE(recorder.waitFor(sleeping, AccountState::Sleeping));
    ASSERT_TRUE(recorder.waitFor(queued, AccountState::Connecting));
    ASSERT_TRUE(recorder.waitFor(pausing, AccountState::Connecting));
    std::this_thread::sleep_for(300ms);  // let each reach its wait
    for (Account* a : {&queued, &socketWait, &pausing, &sleeping}) {
        EXPECT_LT(stop(*a).count(), 3000) << a->name;  // not the ten seconds or the hour it waits for
        EXPECT_EQ(a->state(), AccountState::Sleeping) << a->name;
        EXPECT_TRUE(a == &pausing || a->errorText().empty()) << a->name << ": " << a->errorText();  // a stop is no error
    }
    EXPECT_EQ(monitor.deadlineCount(), 0u);
    EXPECT_EQ(monitor.queuedCount(), 0u);
    // Nothing is left queued: the server's next account gets its turn at once.
    ScriptedServer second("[" + kMailbox + "]");
    Account& next = add("next", second);
    EXPECT_TRUE(recorder.waitFor(next, AccountState::Sleeping));
}

// A server that stops answering in the middle of a TLS handshake, from the
// first byte or after STLS: Stop ends the wait as it ends a plain one.
TEST_F(MonitorFixture, StopEndsATlsHandshakeAtOnce) {
    ScriptedServer implicit(R"([["DRAIN", "HANG"]])");
    ScriptedServer stls(R"([["S:+OK ready", "R", "S:+OK\r\nSTLS\r\n.", "R", "S:+OK go ahead", "DRAIN", "HANG"]])");
    Account& tls = add("tls", implicit);
    Account& upgraded = add("stls", stls, "localhost");  // a server name of its own, so it does not queue
    tls.secureConnection = SecureConnection::Tls;
    upgraded.secureConnection = SecureConnection::Stls;
    tls.checkTimeout = upgraded.checkTimeout = 3600;
    start();
    ASSERT_TRUE(recorder.waitFor(tls, AccountState::Connecting));
    ASSERT_TRUE(recorder.waitFor(upgraded, AccountState::Connecting));
    ASSERT_TRUE(eventually([&] { return stls.transcript().size() == 2; }));
    std::this_thread::sleep_for(300ms);  // let each reach its wait
    for (Account* a : {&tls, &upgraded}) {
        EXPECT_LT(stop(*a).count(), 3000) << a->name;
        EXPECT_EQ(a->state(), AccountState::Sleeping) << a->name;
        EXPECT_EQ(a->errorText(), "") << a->name;
    }
    std::vector<std::string> sent;
    for (const ScriptedCommand& c : stls.transcript()) sent.push_back(c.line);
    EXPECT_EQ(sent, (std::vector<std::string>{"CAPA", "STLS"}));
    EXPECT_TRUE(implicit.transcript().empty());
}

TEST_F(MonitorFixture, ACheckLongerThanTheIntervalIsFollowedAtOnce) {
    ScriptedServer server(R"([{"messages": [], "rules": {"LIST": ["SLEEP:2500", "S:+OK\r\n."]}}])");
    Account& a = add("busy", server);
    a.checkInterval = 2;
    start();
    ASSERT_TRUE(recorder.waitFor(a, AccountState::Sleeping, 2)) << a.errorText();
    // The second check begins right after the first ended, not an interval later.
    auto r = recorder.reports();
    auto firstEnd = std::find_if(r.begin(), r.end(), [](auto& x) { return x.state == AccountState::Sleeping; });
    auto secondStart = std::find_if(firstEnd, r.end(), [](auto& x) { return x.state == AccountState::Connecting; });
    ASSERT_NE(secondStart, r.end());
    EXPECT_LT(secondStart->at - firstEnd->at, 1500ms);  // the interval is 2000
}

TEST_F(MonitorFixture, ManualAccountsCheckOnlyWhenTold) {
    ScriptedServer server("[" + kMailbox + "]");
    Account& a = add("manual", server);
    a.checkOnlyManually = true;
    start();
    std::this_thread::sleep_for(700ms);
    EXPECT_TRUE(server.transcript().empty());
    EXPECT_EQ(a.state(), AccountState::NotStarted);
    // One check, then it waits to be told again.
    ASSERT_TRUE(monitor.checkNow(a));
    ASSERT_TRUE(recorder.waitFor(a, AccountState::Sleeping));
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(recorder.states(a), (std::vector<AccountState>{AccountState::Connecting, AccountState::Connecting,
                                                             AccountState::Checking, AccountState::Sleeping}));
}

// Disabling stops the worker; enabling starts it without a check at once;
// an edit restarts it with the new data, checking at once; a removed
// account is forgotten.
TEST_F(MonitorFixture, TheLiveListFollowsTheUsersCommands) {
    ScriptedServer first("[" + kMailbox + "]"), moved(kOnHost2);
    Account& a = add("edited", first);
    Account& off = add("disabled", first);
    off.setState(AccountState::Disabled);
    start();
    ASSERT_TRUE(recorder.waitFor(a, AccountState::Sleeping));
    EXPECT_TRUE(recorder.states(off).empty()) << "a disabled account does not start";

    AccountInfo info = a;
    info.server = "127.0.0.2", info.port = static_cast<uint32_t>(moved.port());
    AccountOptions options = a;
    options.msgLinesNum = 5;
    ASSERT_TRUE(monitor.reconfigure(a, info, options));
    ASSERT_TRUE(recorder.waitFor(a, AccountState::Sleeping, 2));
    auto t = moved.transcript();
    EXPECT_TRUE(std::any_of(t.begin(), t.end(), [](const auto& c) { return c.line == "TOP 1 5"; }));

    ASSERT_TRUE(monitor.disable(a));
    EXPECT_EQ(a.state(), AccountState::Disabled);
    EXPECT_TRUE(monitor.checkNow(a));  // nothing for a disabled account
    ASSERT_TRUE(monitor.enable(off));
    EXPECT_EQ(off.state(), AccountState::Sleeping);
    std::this_thread::sleep_for(500ms);
    // One check of "edited": login, CAPA, LIST, UIDL, two TOPs, QUIT.
    EXPECT_EQ(first.transcript().size(), 7u) << "enabling waits an interval before its check";

    ASSERT_TRUE(monitor.removeAccount(off));
    uint32_t gone = off.id();
    accounts.erase(accounts.begin() + 1);
    EXPECT_EQ(monitor.queuedCount() + monitor.deadlineCount(), 0u);
    ASSERT_TRUE(monitor.enable(a));
    ASSERT_TRUE(monitor.checkNow(a));
    ASSERT_TRUE(recorder.waitFor(a, AccountState::Sleeping, 3));
    monitor.stopAllWorkers();
    auto reports = recorder.reports();
    EXPECT_EQ(std::count_if(reports.begin(), reports.end(), [&](const Report& r) { return r.account == gone; }), 2)
        << "sleeping when enabled, not started when removed";
}

// While another thread holds the monitor's lock, the operations fail and
// change nothing.
TEST_F(MonitorFixture, WithoutTheLockNothingChanges) {
    ScriptedServer server("[" + kMailbox + "]");
    Account& a = add("locked out", server);
    a.checkOnlyManually = true;
    start();
    monitor.lockWaitMs = 100;
    std::promise<void> held, done;
    std::thread holder([&] {
        bool locked = monitor.lock_monitor();
        held.set_value();
        done.get_future().wait();
        if (locked) monitor.unlock_monitor();
    });
    held.get_future().wait();
    AccountInfo info = a;
    info.port = 1;
    EXPECT_FALSE(monitor.checkNow(a) || monitor.stop(a) || monitor.disable(a) || monitor.removeAccount(a) ||
                 monitor.reconfigure(a, info, a));
    done.set_value();
    holder.join();
    EXPECT_EQ(a.state(), AccountState::NotStarted);
    EXPECT_EQ(a.port, static_cast<uint32_t>(server.port()));
    EXPECT_TRUE(server.transcript().empty());
    auto log = eventLog().recentLines();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(),
                            [](const std::string& l) { return l.find("lock_monitor failed") != std::string::npos; }));
    monitor.lockWaitMs = 20000;
}

TEST_F(MonitorFixture, ManyAccountsOnShortIntervalsStopCleanly) {
    ScriptedServer one("[" + kMailbox + "]"), two(kOnHost2);
    DWORD handlesBefore = 0, handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
    for (int i = 0; i < 30; ++i)
        add("acc" + std::to_string(i), i % 2 ? one : two, i % 2 ? "127.0.0.1" : "127.0.0.2").checkInterval = 1;
    start();
    // Every account checks, and checks again after its interval.
    for (auto& a : accounts) ASSERT_TRUE(recorder.waitFor(*a, AccountState::Sleeping)) << a->name;
    ASSERT_TRUE(recorder.waitFor(*accounts[0], AccountState::Sleeping, 2));
    auto t = Clock::now();
    monitor.stopAllWorkers();
    monitor.stopMonitorThread();
    EXPECT_LT(Clock::now() - t, 10s);  // not a worker's interval
    for (auto& a : accounts) {
        EXPECT_EQ(a->state(), AccountState::NotStarted) << a->name;
        a->worker.reset();
    }
    EXPECT_EQ(monitor.deadlineCount(), 0u);
    EXPECT_EQ(monitor.queuedCount(), 0u);
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
    ASSERT_TRUE(recorder.waitFor(a, AccountState::Sleeping));
    a.lockMessages();
    a.messages[0]->markDeleted(false);
    a.unlockMessages();
    ASSERT_TRUE(monitor.checkNow(a));
    ASSERT_TRUE(recorder.waitFor(a, AccountState::Sleeping, 2));
    auto t = server.transcript();
    EXPECT_EQ(std::count_if(t.begin(), t.end(), [](const auto& c) { return c.line == "DELE 1"; }), 2);
    EXPECT_EQ(a.messageCount(), 1u);
}

// The monitor thread reports while it holds its lock; a user-interface thread
// waiting for the lock must still handle the report sent to its window.
TEST_F(MonitorFixture, LockWaitHandlesReportsSentToTheWaitingThread) {
    HWND window = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    Event inReport;
    recorder.onReport = [window, &inReport, ownThread = GetCurrentThreadId()](uint32_t, const AccountStatus& s) {
        if (GetCurrentThreadId() == ownThread) return;
        if (s.state == AccountState::NotStarted) {  // the monitor restarting the silent worker
            inReport.signal();
            Sleep(300);
        }
        SendMessageA(window, WM_NULL, 0, 0);
    };
    ScriptedServer server(R"([["HANG"], {"messages": []}])");
    add("silent", server).checkTimeout = 1;
    start();
    HANDLE reported = inReport.get();
    for (;;) {
        DWORD w = MsgWaitForMultipleObjects(1, &reported, FALSE, 30000, QS_SENDMESSAGE);
        if (w == WAIT_OBJECT_0) break;
        ASSERT_EQ(w, WAIT_OBJECT_0 + 1);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    auto t = Clock::now();
    ASSERT_TRUE(monitor.lock_monitor());
    monitor.unlock_monitor();
    EXPECT_LT(Clock::now() - t, 10s);  // not the lock's 20 s
    TearDown();  // before the window goes
    DestroyWindow(window);
}
