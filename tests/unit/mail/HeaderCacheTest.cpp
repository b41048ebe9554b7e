#include <gtest/gtest.h>

#include "mail/HeaderCache.h"
#include "mail/Pop3Session.h"
#include "message/Message.h"

TEST(HeaderCache, UidListingsThatIdentifyAndThoseThatDoNot) {
    struct Row {
        std::string answer;
        bool ok;
        std::map<int32_t, std::string> ids;
    } rows[] = {
        {"+OK", true, {}},
        {"+OK\r\n1 a\r\n2 b", true, {{1, "a"}, {2, "b"}}},
        {"+OK\r\n3 " + std::string(70, '~') + "\r\n1 !", true, {{3, std::string(70, '~')}, {1, "!"}}},
        {"+OK\r\n1 " + std::string(71, 'x'), false, {}},  // longer than an id may be
        {"+OK\r\n1 a\r\n2 a", false, {}},                 // one id for two messages
        {"+OK\r\n1 a\r\n1 b", false, {}},                 // two ids for one message
        {"+OK\r\n1 a\r\n", false, {}},                    // an empty line
        {"+OK\r\n1", false, {}},
        {"+OK\r\n1 ", false, {}},
        {"+OK\r\n 1 a", false, {}},
        {"+OK\r\n-1 a", false, {}},
        {"+OK\r\n1  a", false, {}},  // the id would start with a blank
        {"+OK\r\n1 a b", false, {}},
        {"+OK\r\n1 a\tb", false, {}},
        {"+OK\r\nx a", false, {}},
        {"+OK\r\n1 a\n2 b", false, {}},  // a bare line feed is inside the id
        {"+OK\r\n1 caf\xe9", false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.answer);
        std::unordered_map<int32_t, std::string_view> ids;
        ASSERT_EQ(parseUidListing(row.answer, ids), row.ok);
        if (!row.ok) continue;
        std::map<int32_t, std::string> got(ids.begin(), ids.end());
        EXPECT_EQ(got, row.ids);
    }
}

TEST(HeaderCache, CapabilityListings) {
    std::string many = "+OK\r\n";
    for (size_t i = 0; i < kMaxCapabilityLines; ++i) many += "X-" + std::to_string(i) + "\r\n";
    struct Row {
        std::string answer;
        bool stls, pipelining, uidl;
    } rows[] = {
        {"-ERR unknown command", false, false, false},
        {"-ERR\r\nPIPELINING\r\nUIDL", false, false, false},
        {"+OK", false, false, false},
        {"+OK Capability list follows\r\nTOP\r\nUSER\r\nPIPELINING\r\nUIDL", false, true, true},
        {"+OK\r\nstls\r\nPipelining\r\nSASL PLAIN", true, true, false},
        {"+OK\r\nIMPLEMENTATION UIDL PIPELINING\r\nUIDLX\r\n PIPELINING", false, false, false},
        {"+OK\r\nUIDL extra words", false, false, true},
        {many + "UIDL", false, false, false},  // past the lines looked at
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.answer.substr(0, 80));
        Capabilities c = parseCapabilities(row.answer);
        EXPECT_EQ(c.stls, row.stls);
        EXPECT_EQ(c.pipelining, row.pipelining);
        EXPECT_EQ(c.uidl, row.uidl);
    }
}

TEST(HeaderCache, NamesOneListAndOnlyForItsConnection) {
    Message a(std::vector<std::string>{"Subject: a"}, 10), other(std::vector<std::string>{"Subject: other"}, 10);
    HeaderCache cache;
    cache.bindTo("pop.example.org", 110, "ann", 99);
    cache.replace({{"a", 10, &a}, {"b", 20, &other}, {"a", 10, &other}});
    EXPECT_EQ(cache.find("a", 10), &a) << "the first of a repeated id";
    EXPECT_EQ(cache.find("a", 11), nullptr) << "another size is another message";
    cache.replace({{"c", 5, &other}});
    EXPECT_EQ(cache.find("a", 10), nullptr) << "only the last list";
    EXPECT_EQ(cache.size(), 1u);

    struct Row {
        const char* server;
        uint32_t port;
        const char* user;
        uint32_t lines;
        bool kept;
    } rows[] = {
        {"pop.example.org", 110, "ann", 99, true},
        {"pop.example.net", 110, "ann", 99, false},
        {"pop.example.org", 995, "ann", 99, false},
        {"pop.example.org", 110, "bob", 99, false},
        {"pop.example.org", 110, "ann", 20, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.server + std::string(" ") + row.user);
        HeaderCache c;
        c.bindTo("pop.example.org", 110, "ann", 99);
        c.replace({{"a", 10, &a}});
        c.bindTo(row.server, row.port, row.user, row.lines);
        EXPECT_EQ(c.find("a", 10) != nullptr, row.kept);
    }
}
