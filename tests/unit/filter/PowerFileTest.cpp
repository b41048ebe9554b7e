#include <gtest/gtest.h>

#include <sstream>

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
        "FilterName=F\nFrom=x\nFromEnabled=yes\nEnabled=YES\nFromCondition=7\nSubjectCondition=x\nPriority=2\nPriority=\n"
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

PowerFilter fullFilter() {
    PowerFilter f;
    f.filterName = "Everything";
    f.disabled = 1;
    f.fromEnabled = f.subjectEnabled = f.toCcEnabled = f.attachEnabled = f.bodyEnabled = f.headerEnabled = true;
    f.priorityEnabled = f.runMailer = f.markAsRead = f.launchProgram = f.playSound = f.sendMsgToUrl = true;
    f.fromCondition = f.attachCondition = f.headerCondition = 1;
    f.toCcCondition = 0;
    f.fromCase = f.toCcCase = f.bodyCase = true;
    f.fromWords = "boss@example.com", f.attachWords = ".exe", f.bodyWords = "100% free", f.headerWords = "X-M: S";
    f.subjectWords = "two\r\nDeleted=no\nlines";  // a line break must not start a key
    f.toCcWords = std::string(300, 'a') + "Deleted=no";
    f.priority = 5, f.upperBound = 10240, f.lowerBound = 5120;
    f.markFriendlyChoice();
    f.launchProgramPath = "C:\\Tools\\run me.bat", f.soundFile = "ding.wav", f.urlForSending = "http://h/r?x=1";
    return f;
}

TEST(PowerText, WriterKeyOrderAndRoundTrip) {
    // A nameless filter keeps its own settings instead of merging into the one before.
    PowerFilter nameless;
    nameless.subjectWords = "other";
    nameless.markNothingChoice();
    std::vector<PowerFilter> list = {fullFilter(), nameless};
    std::string text = formatPowerText(list);

    // The key sequence of one filter, as files written by earlier versions have it.
    std::istringstream in(text);
    std::string line, keys;
    for (int i = 0; i < 41 && std::getline(in, line); ++i) {
        ASSERT_EQ(line.back(), '\r');
        keys += line.substr(0, line.find('=') + 1);
    }
    EXPECT_EQ(keys,
              "FilterName=Enabled=FromEnabled=SubjectEnabled=ToCcEnabled=PriorityEnabled=AttachEnabled="
              "BodyEnabled=HeaderEnabled=FromCondition=SubjectCondition=ToCcCondition=AttachCondition="
              "BodyCondition=HeaderCondition=Priority=From=Subject=ToCc=Attach=Body=Header=Friendly="
              "Question=Deleted=RunMailer=MarkAsRead=LaunchProgram=LaunchProgramPath=PlaySound="
              "SoundFile=SendMsgToURL=URLForSending=FromCase=SubjectCase=ToCcCase=AttachCase=BodyCase="
              "HeaderCase=UpperBound=LowerBound=");

    auto back = parse(text);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(formatPowerText(back), text);  // every field is written: equal texts, equal filters
    EXPECT_EQ(back[0].subjectWords, "two  Deleted=no lines");
    EXPECT_EQ(back[0].toCcWords, list[0].toCcWords);
    EXPECT_EQ(back[0].mark(), PowerFilter::Mark::Friendly);
    EXPECT_EQ(back[1].filterName, "");
    EXPECT_EQ(back[1].subjectWords, "other");
    EXPECT_EQ(back[1].mark(), PowerFilter::Mark::Nothing);
}

}  // namespace
