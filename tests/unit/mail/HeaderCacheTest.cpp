#include <gtest/gtest.h>

#include <map>
#include <unordered_map>

#include "mail/HeaderCache.h"
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
        {"+OK\r\n1 a\r\n\r\n2 b", false, {}},              // an empty line
        {"+OK\r\n1", false, {}},
        {"+OK\r\n1 ", false, {}},
        {"+OK\r\n 1 a", false, {}},
        {"+OK\r\n-1 a", false, {}},
        {"+OK\r\n1  a", false, {}},  // the id would start with a blank
        {"+OK\r\n1 a b", false, {}},
        {"+OK\r\n1 a\tb", false, {}},
        {"+OK\r\nx a", false, {}},
        {"+OK\n1 a\n2 b\r\n3 c", true, {{1, "a"}, {2, "b"}, {3, "c"}}},  // line feeds alone end lines too
        {"+OK\r\n1 a\rb", false, {}},
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
