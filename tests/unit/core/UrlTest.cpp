#include <gtest/gtest.h>

#include "core/Url.h"

namespace {
struct Parts {
    std::string scheme, user, password, host, path;
    bool valid;
};
void expectParts(const Url& url, const Parts& p, const std::string& what) {
    EXPECT_EQ(url.scheme() + "|" + url.user() + "|" + url.password() + "|" + url.host() + "|" + url.path(),
              p.scheme + "|" + p.user + "|" + p.password + "|" + p.host + "|" + p.path)
        << what;
    EXPECT_EQ(url.valid(), p.valid) << what;
    EXPECT_EQ(url.url(), p.valid ? what : "") << what;
}
}  // namespace

TEST(Url, JoinAndSplitBackWithColonAndAtInThePassword) {
    EXPECT_EQ(Url("pop3", "john", "p:a@ss", "mail", "/").url(), "pop3://john:p:a@ss@mail/");
    const char* joined = "pop3://john:p:a@ss@mail/";
    expectParts(Url(joined), {"pop3", "john", "p:a@ss", "mail", "/", true}, joined);
    EXPECT_EQ(Url("pop3", "john", "", "mail", "/").url(), "pop3://john:@mail/");
    EXPECT_EQ(Url("pop3", "", "secret", "mail", "/").url(), "pop3://mail/");  // no user: no password either
    EXPECT_EQ(Url("", "u", "p", "h", "/").url(), "");
}

TEST(Url, SplitStopsWherePartsAreMissing) {
    struct Row {
        const char* text;
        Parts parts;
    } rows[] = {
        {"", {"", "", "", "", "", false}},
        {"mail.example.com/", {"", "", "", "", "", false}},
        {"pop3://mail.example.com/", {"pop3", "", "", "", "", false}},       // no ":" after the scheme
        {"pop3://u:p@mail.example.com", {"pop3", "u", "p", "", "", false}},  // no "/" after the host
        {"pop3://u:nopassword-end", {"pop3", "u", "", "", "", false}},
        {"pop3://u:p@h/path/x", {"pop3", "u", "p", "h", "/path/x", true}},
        {"pop3://:@/", {"pop3", "", "", "", "/", true}},
        {"a://b://c:d@e/", {"a", "b", "//c:d", "e", "/", true}},
        {"pop3://u:p@h/a@b/", {"pop3", "u", "p@h/a", "b", "/", true}},  // the last "@" wins
    };
    for (const Row& row : rows) expectParts(Url(row.text), row.parts, row.text);
    Url url("pop3://u:p@h/");
    url.SetUrl("x://");  // clears the earlier parts
    expectParts(url, {"x", "", "", "", "", false}, "x://");
}
