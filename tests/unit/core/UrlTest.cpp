#include <gtest/gtest.h>

#include "core/Url.h"

namespace {

struct Parts {
    std::string scheme, user, password, host, path;
    bool valid;
};

void expectParts(const Url& url, const Parts& p, const std::string& what) {
    EXPECT_EQ(url.scheme(), p.scheme) << what;
    EXPECT_EQ(url.user(), p.user) << what;
    EXPECT_EQ(url.password(), p.password) << what;
    EXPECT_EQ(url.host(), p.host) << what;
    EXPECT_EQ(url.path(), p.path) << what;
    EXPECT_EQ(url.valid(), p.valid) << what;
}

}  // namespace

TEST(Url, JoinAndSplitBack) {
    Url joined("pop3", "john", "p:a@ss", "mail.example.com", "/");
    EXPECT_TRUE(joined.valid());
    EXPECT_EQ(joined.url(), "pop3://john:p:a@ss@mail.example.com/");
    Url split(joined.url());
    expectParts(split, {"pop3", "john", "p:a@ss", "mail.example.com", "/", true}, "round trip");
    EXPECT_EQ(split.url(), joined.url());

    Url emptyPassword("pop3", "john", "", "mail", "/");
    EXPECT_EQ(emptyPassword.url(), "pop3://john:@mail/");
    expectParts(Url(emptyPassword.url()), {"pop3", "john", "", "mail", "/", true}, "empty password");
}

TEST(Url, JoinEdges) {
    Url noUser("pop3", "", "secret", "mail.example.com", "/");
    EXPECT_EQ(noUser.url(), "pop3://mail.example.com/");
    EXPECT_TRUE(noUser.valid());

    Url noScheme("", "u", "p", "h", "/");
    EXPECT_EQ(noScheme.url(), "");
    EXPECT_FALSE(noScheme.valid());

    Url noHostNoPath("pop3", "u", "p", "", "");
    EXPECT_EQ(noHostNoPath.url(), "pop3://u:p@");
    EXPECT_FALSE(noHostNoPath.valid());
}

TEST(Url, SplitStopsWherePartsAreMissing) {
    struct Row {
        const char* text;
        Parts parts;
    } rows[] = {
        {"", {"", "", "", "", "", false}},
        {"mail.example.com/", {"", "", "", "", "", false}},
        {"pop3://mail.example.com/", {"pop3", "", "", "", "", false}},  // no ":" after the scheme
        {"pop3://u:p@mail.example.com", {"pop3", "u", "p", "", "", false}},  // no "/" after the host
        {"pop3://u:nopassword-end", {"pop3", "u", "", "", "", false}},
        {"pop3://u:p@h/path/x", {"pop3", "u", "p", "h", "/path/x", true}},
        {"pop3://:@/", {"pop3", "", "", "", "/", true}},
        {"a://b://c:d@e/", {"a", "b", "//c:d", "e", "/", true}},
        {"pop3://u:p@h/a@b/", {"pop3", "u", "p@h/a", "b", "/", true}},  // the last "@" wins
    };
    for (const Row& row : rows) {
        Url url(row.text);
        expectParts(url, row.parts, row.text);
        EXPECT_EQ(url.url(), row.parts.valid ? row.text : "") << row.text;
    }
}

TEST(Url, SetUrlClearsEarlierParts) {
    Url url("pop3://u:p@h/");
    url.SetUrl("x://");
    expectParts(url, {"x", "", "", "", "", false}, "reset");
    EXPECT_EQ(url.url(), "");
}
