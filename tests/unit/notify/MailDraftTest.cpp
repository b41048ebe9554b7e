#include <gtest/gtest.h>

#include "notify/MailDraft.h"

TEST(MailDraft, MapiAddressOnlyForMailAddresses) {
    struct Case {
        const char* to;
        const char* address;
    } cases[] = {
        {"Ann Smith <ann@example.com>", "SMTP:ann@example.com"},
        {"  bob@example.com\t", "SMTP:bob@example.com"},
        {"None", ""},  // the text of a missing From field
        {"<@example.com>", ""},
        {"two words@example.com", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(mapiAddress(c.to), c.address) << c.to;
}

TEST(MailDraft, MailtoLinkIsPercentEncodedUtf8) {
    struct Case {
        MailDraft draft;
        const char* link;
    } cases[] = {
        {{}, "mailto:"},
        {{"Ann <ann@example.com>", "", ""}, "mailto:ann@example.com"},
        {{"None", "Re: 50% off & more", ""}, "mailto:?subject=Re%3A%2050%25%20off%20%26%20more"},
        {{"a+b@example.com", "caf\xE9", "line 1\r\nline=2"},
         "mailto:a%2Bb@example.com?subject=caf%C3%A9&body=line%201%0D%0Aline%3D2"},
        {{"", "", "x?y#z"}, "mailto:?body=x%3Fy%23z"},
    };
    for (const Case& c : cases) EXPECT_EQ(mailtoLink(c.draft), c.link);
}

// A long body is cut at a whole character, never inside its escape.
TEST(MailDraft, LongLinksAreCutBetweenCharacters) {
    MailDraft draft{"ann@example.com", "hi", std::string(3000, '\xE9')};
    std::string link = mailtoLink(draft);
    const std::string start = "mailto:ann@example.com?subject=hi&body=";
    ASSERT_EQ(link.compare(0, start.size(), start), 0);
    EXPECT_LE(link.size(), kMailtoLimit);
    EXPECT_GT(link.size(), kMailtoLimit - 6);
    EXPECT_EQ((link.size() - start.size()) % 6, 0u);  // whole "%C3%A9"s

    // A subject that fills the link leaves no room for a body.
    link = mailtoLink({"", std::string(100, 'x'), "body"}, 40);
    EXPECT_EQ(link, "mailto:?subject=" + std::string(24, 'x'));
    // An address that does not fit is left out rather than cut.
    EXPECT_EQ(mailtoLink({"ann@example.com", "", ""}, 12), "mailto:");
}
