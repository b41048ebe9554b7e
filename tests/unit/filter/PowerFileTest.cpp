#include <gtest/gtest.h>

#include "filter/PowerFile.h"

namespace {

std::vector<PowerFilter> parse(const std::string& text) {
    std::vector<PowerFilter> list;
    parsePowerText(text, list);
    return list;
}

TEST(ParseKey, NumbersAreClampedAndJunkLeavesTheValue) {
    const struct {
        const char* value;
        int32_t expected;
    } numbers[] = {{"", 42}, {"abc", 42}, {"-", 42}, {" 17", 17}, {"+8kb", 8},
                   {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1}};
    for (const auto& c : numbers) {
        int32_t n = 42;
        EXPECT_TRUE(parseKey(std::string("Priority=") + c.value, "Priority=", n));
        EXPECT_EQ(n, c.expected) << c.value;
    }
}

TEST(PowerText, ValuesAsTheReaderTakesThem) {
    auto list = parse(
        "Enabled=no\r\nFrom=ignored before the first name\r\n"
        "FilterName=F\nFrom=x\nFromEnabled=yes\nEnabled=YES\nFromCondition=7\nSubjectCondition=x\n"
        "Priority=2\nPriority=\n"
        "Friendly=yes\nQuestion=yes\nDeleted=yes\nBody=a=b&c\nLowerBound=junk\n"
        "FilterName=G\nFriendly=yes\nQuestion=no\nDeleted=no\n");
    ASSERT_EQ(list.size(), 2u);
    const PowerFilter& f = list[0];
    EXPECT_EQ(f.disabled, 1u);
    EXPECT_EQ(f.fromWords, "x");  // "FromEnabled=" is another key
    EXPECT_EQ(f.fromCondition, 1);
    EXPECT_EQ(f.subjectCondition, 0);
    EXPECT_EQ(f.priority, 2);
    EXPECT_EQ(f.lowerBound, -1);
    EXPECT_EQ(f.bodyWords, "a=b&c");
    // "Question=yes" chose uncertain, the later "Deleted=yes" set deleted again.
    EXPECT_TRUE(!f.markAsFriendly && f.uncertain && f.markAsDeleted);
    EXPECT_EQ(list[1].mark(), PowerFilter::Mark::Friendly);
}

// A filter as files written by earlier versions have it: every key, in this order.
const char kFull[] =
    "FilterName=Everything\r\nEnabled=no\r\nFromEnabled=yes\r\nSubjectEnabled=no\r\nToCcEnabled=yes\r\n"
    "PriorityEnabled=yes\r\nAttachEnabled=no\r\nBodyEnabled=yes\r\nHeaderEnabled=yes\r\nFromCondition=1\r\n"
    "SubjectCondition=0\r\nToCcCondition=0\r\nAttachCondition=1\r\nBodyCondition=1\r\nHeaderCondition=0\r\n"
    "Priority=5\r\nFrom=boss@example.com\r\nSubject=\r\nToCc=me; you\r\nAttach=.exe\r\nBody=100% free\r\n"
    "Header=X-M: S\r\nFriendly=yes\r\nQuestion=no\r\nDeleted=no\r\nRunMailer=yes\r\nMarkAsRead=no\r\n"
    "LaunchProgram=yes\r\nLaunchProgramPath=C:\\run me.bat\r\nPlaySound=no\r\nSoundFile=ding.wav\r\n"
    "SendMsgToURL=yes\r\nURLForSending=http://h/r?x=1\r\nFromCase=yes\r\nSubjectCase=no\r\nToCcCase=yes\r\n"
    "AttachCase=no\r\nBodyCase=yes\r\nHeaderCase=no\r\nUpperBound=10240\r\nLowerBound=5120\r\n";

TEST(PowerText, WrittenAsReadAndNamelessFiltersKeptApart) {
    auto list = parse(kFull);
    ASSERT_EQ(list.size(), 1u);
    PowerFilter nameless;
    nameless.subjectWords = "two\r\nDeleted=no\nlines";  // a line break must not start a key
    nameless.toCcWords = std::string(300, 'a');
    nameless.markNothingChoice();
    list.push_back(nameless);
    std::string text = formatPowerText(list);
    EXPECT_EQ(text.substr(0, sizeof kFull - 1), kFull);

    auto back = parse(text);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(formatPowerText(back), text);
    EXPECT_EQ(back[1].filterName, "");
    EXPECT_EQ(back[1].subjectWords, "two  Deleted=no lines");
    EXPECT_EQ(back[1].toCcWords, nameless.toCcWords);
    EXPECT_EQ(back[1].mark(), PowerFilter::Mark::Nothing);
}

}  // namespace
