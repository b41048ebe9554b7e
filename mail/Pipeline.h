// Commands sent ahead of their answers, for a server that allows it
// (PIPELINING, RFC 2449): a batch of commands goes in one write, and the
// answers come back in the order of the commands while more are sent. A
// taker may need an answer that lies behind others (a DELE sent after the
// TOPs of the messages that follow); the answers before it are read and kept
// for their own takers.
//
// What is in flight is bounded: commands sent and not yet taken, bytes of
// commands not yet answered, and the answer bytes their senders expect
// (a message's listed size for its TOP). Without pipelining the bounds are
// one command: each is answered before the next goes, which is the plain
// POP3 dialogue, command for command.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "mail/Transport.h"

class Pipeline {
public:
    struct Limits {
        size_t commands;      // sent (or kept for sending) and not yet taken
        size_t commandBytes;  // of the commands not yet answered
        size_t answerBytes;   // expected for the commands not yet answered
    };
    static constexpr Limits kOneAtATime{1, ~size_t{0}, ~size_t{0}};
    // Well inside any TCP window, so a write never waits for the server to
    // read while the server waits for us to read its answers.
    static constexpr Limits kPipelined{64, 2048, 512 * 1024};
    // Answers read ahead and not yet taken past this many bytes fail the
    // check: only a server that lies about sizes sends that much.
    static constexpr size_t kMaxKeptBytes = 64u << 20;

    using Ticket = uint64_t;  // 0 is no command

    Pipeline(Transport& transport, Limits limits) : transport_(transport), limits_(limits) {}
    void setLimits(Limits limits) { limits_ = limits; }
    bool pipelined() const { return limits_.commands > 1; }

    // Whether a command that expects `expected` answer bytes fits now;
    // always when nothing is in flight.
    bool hasRoom(size_t expected) const;
    // Whether enough has drained to make filling up again worth a write:
    // half the bounds (with one command: when nothing is in flight).
    bool wantsMore() const;
    // Queues a command (as Transport::queue takes it); it goes with the next
    // flush() or take(). Its ticket, or 0 when the transport refused it (no
    // connection, too long, unsafe arguments: nothing queued goes then).
    template <class... Args>
    Ticket queue(bool multiLine, size_t expected, const char* format, const Args&... args) {
        size_t before = transport_.queuedBytes();
        if (!transport_.queue(format, args...)) {
            drop();
            return 0;
        }
        return queued(multiLine, transport_.queuedBytes() - before, expected);
    }
    bool flush() { return transport_.flush(); }
    // Makes the answer to `ticket` the transport's answer, reading and
    // keeping the answers before it. False when the ticket is not in flight,
    // when the connection failed (it is closed then), or when its answer
    // could not be read whole (too long: skipped, the connection still open).
    bool take(Ticket ticket);
    size_t inFlight() const { return commands_.size(); }

private:
    struct Command {
        Ticket ticket;
        bool multiLine;
        size_t bytes, expected;
        bool answered = false;
        bool failed = false;  // answered past its bound: no answer to take
        bool kept = false;    // read ahead for a later command's taker
        std::string answer;
    };
    Ticket queued(bool multiLine, size_t bytes, size_t expected);
    bool readNext(Ticket wanted);
    void drop();

    Transport& transport_;
    Limits limits_;
    std::deque<Command> commands_;  // in the order sent; the answered ones come first
    size_t commandBytes_ = 0, answerBytes_ = 0, keptBytes_ = 0;
    Ticket last_ = 0;
};
