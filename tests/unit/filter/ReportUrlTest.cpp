#include <gtest/gtest.h>

#include "filter/FilterActions.h"

namespace {

TEST(PercentEncode, KeepsOnlyUnreservedCharacters) {
    EXPECT_EQ(percentEncode("Az09-._~"), "Az09-._~");
    EXPECT_EQ(percentEncode("a&b=c?d#e f%g+h"), "a%26b%3Dc%3Fd%23e%20f%25g%2Bh");
    EXPECT_EQ(percentEncode("line\r\n"), "line%0D%0A");
    EXPECT_EQ(percentEncode("\xE4\xFF"), "%E4%FF");
    EXPECT_EQ(percentEncode(std::string("a\0b", 3)), "a%00b");
}

TEST(ReportUrl, QueryOrderAndEscapedValues) {
    EXPECT_EQ(reportUrl("http://h/r", "None", "", "", "Hi & bye", "x=1&y=2\r\n"),
              "http://h/r?to=None&cc=&bcc=&subject=Hi%20%26%20bye&emailbody=x%3D1%26y%3D2%0D%0A");
    // The user's own URL is taken as written, query and all.
    EXPECT_EQ(reportUrl("http://h/r?k=v", "a", "b", "c", "d", "e"),
              "http://h/r?k=v?to=a&cc=b&bcc=c&subject=d&emailbody=e");
    EXPECT_EQ(sampleReportUrl("http://h/"),
              "http://h/?to=to%40example.com&cc=cc%40example.com&bcc=bcc%40example.com"
              "&subject=TestSubject&emailbody=TestMessageBody");
}

}  // namespace
