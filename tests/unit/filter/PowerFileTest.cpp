#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "filter/PowerFile.h"

namespace {

std::vector<PowerFilter> parse(const std::string& text) {
    std::vector<PowerFilter> list;
    parsePowerText(text, list);
    return list;
}

TEST(ParseKey, MatchesOnlyTheWholeKeyWithCase) {
    std::string s = "old";
    EXPECT_FALSE(parseKey("From=x", "", s));
    EXPECT_FALSE(parseKey("", "From=", s));
    EXPECT_FALSE(parseKey("from=x", "From=", s));
    EXPECT_FALSE(parseKey("FromEnabled=yes", "From=", s));
    EXPECT_EQ(s, "old");
    EXPECT_TRUE(parseKey("From=", "From=", s));
    EXPECT_EQ(s, "");  // an empty text value empties the text

    bool b = true;
    EXPECT_TRUE(parseKey("Enabled=", "Enabled=", b));
    EXPECT_TRUE(b);  // empty: unchanged
    EXPECT_TRUE(parseKey("Enabled=YES", "Enabled=", b));
    EXPECT_FALSE(b);  // only exactly "yes" is on
    EXPECT_TRUE(parseKey("Enabled=yes", "Enabled=", b));
    EXPECT_TRUE(b);

    const struct {
        const char* value;
        int32_t expected;
    } numbers[] = {
        {"", 42},           {"abc", 42},          {" 17", 17},     {"-5", -5},     {"+8kb", 8},
        {"99999999999", 2147483647},              {"-99999999999", -2147483647 - 1},
        {"-", 42},          {"12 34", 12},
    };
    for (const auto& c : numbers) {
        int32_t n = 42;
        EXPECT_TRUE(parseKey(std::string("Priority=") + c.value, "Priority=", n));
        EXPECT_EQ(n, c.expected) << c.value;
    }
}

TEST(PowerText, LinesBeforeTheFirstNameAreIgnored) {
    auto list = parse("Enabled=no\r\nFrom=x\r\nFilterName=A\r\nFrom=y\r\n");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].filterName, "A");
    EXPECT_EQ(list[0].fromWords, "y");
    EXPECT_EQ(list[0].disabled, 0u);
}

TEST(PowerText, EmptyNameStartsANamelessFilter) {
    auto list = parse("FilterName=A\nSubject=a\nFilterName=\nSubject=b\nFilterName=A\nSubject=c\n");
    ASSERT_EQ(list.size(), 3u);  // same names load twice
    EXPECT_EQ(list[0].subjectWords, "a");
    EXPECT_EQ(list[1].filterName, "");
    EXPECT_EQ(list[1].subjectWords, "b");
    EXPECT_EQ(list[2].subjectWords, "c");
}

TEST(PowerText, ValuesAsTheReaderTakesThem) {
    auto list = parse(
        "FilterName=F\n"
        "Enabled=YES\n"
        "FromCondition=7\n"
        "ToCcCondition=0\n"
        "SubjectCondition=x\n"
        "Priority=2\n"
        "Priority=\n"
        "UpperBound=102400\n"
        "From=\n"
        "Friendly=yes\n"
        "Question=yes\n"
        "Deleted=yes\n"
        "Unknown=whatever\n"
        "Body=a=b&c\n"
        "LowerBound=junk\n");
    ASSERT_EQ(list.size(), 1u);
    const PowerFilter& f = list[0];
    EXPECT_EQ(f.disabled, 1u);
    EXPECT_EQ(f.fromCondition, 1);
    EXPECT_EQ(f.toCcCondition, 0);
    EXPECT_EQ(f.subjectCondition, 0);  // unparsable: unchanged default
    EXPECT_EQ(f.priority, 2);
    EXPECT_EQ(f.upperBound, 102400);
    EXPECT_EQ(f.lowerBound, -1);
    EXPECT_EQ(f.fromWords, "");
    EXPECT_FALSE(f.markAsFriendly);  // "Question=yes" chose uncertain...
    EXPECT_TRUE(f.uncertain);
    EXPECT_TRUE(f.markAsDeleted);  // ...and the later "Deleted=yes" set deleted again
    EXPECT_EQ(f.bodyWords, "a=b&c");
}

TEST(PowerText, QuestionNoChangesNothing) {
    auto list = parse("FilterName=F\nFriendly=yes\nQuestion=no\nDeleted=no\n");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].markAsFriendly);
    EXPECT_FALSE(list[0].uncertain);
    EXPECT_FALSE(list[0].markAsDeleted);
}

PowerFilter fullFilter() {
    PowerFilter f;
    f.filterName = "Everything";
    f.disabled = 1;
    f.fromEnabled = f.subjectEnabled = f.toCcEnabled = f.attachEnabled = true;
    f.bodyEnabled = f.priorityEnabled = f.headerEnabled = true;
    f.fromCondition = 1;
    f.subjectCondition = 1;
    f.toCcCondition = 0;
    f.attachCondition = 1;
    f.bodyCondition = 1;
    f.headerCondition = 1;
    f.fromWords = "boss@example.com";
    f.subjectWords = "Urgent: read";
    f.toCcWords = "me@example.com; you@example.com";
    f.priority = 5;
    f.attachWords = ".exe";
    f.bodyWords = "100% free";
    f.headerWords = "X-Mailer: Spam";
    f.markFriendlyChoice();
    f.runMailer = f.markAsRead = f.launchProgram = f.playSound = f.sendMsgToUrl = true;
    f.launchProgramPath = "C:\\Tools\\run me.bat";
    f.soundFile = "C:\\Windows\\Media\\ding.wav";
    f.urlForSending = "http://127.0.0.1:8080/report?x=1";
    f.fromCase = f.subjectCase = f.toCcCase = f.attachCase = f.bodyCase = f.headerCase = true;
    f.upperBound = 10240;
    f.lowerBound = 5120;
    return f;
}

TEST(PowerText, WriterLineOrderAndRoundTrip) {
    PowerFilter defaults;
    defaults.filterName = "Plain";
    std::vector<PowerFilter> list = {fullFilter(), defaults};
    std::string text = formatPowerText(list);

    // The key sequence of one filter, as files written by earlier versions have it.
    std::istringstream in(text);
    std::string line, keys;
    for (int i = 0; i < 41 && std::getline(in, line); ++i) {
        ASSERT_FALSE(line.empty());
        EXPECT_EQ(line.back(), '\r');
        keys += line.substr(0, line.find('=') + 1);
    }
    EXPECT_EQ(keys,
              "FilterName=Enabled=FromEnabled=SubjectEnabled=ToCcEnabled=PriorityEnabled=AttachEnabled="
              "BodyEnabled=HeaderEnabled=FromCondition=SubjectCondition=ToCcCondition=AttachCondition="
              "BodyCondition=HeaderCondition=Priority=From=Subject=ToCc=Attach=Body=Header=Friendly="
              "Question=Deleted=RunMailer=MarkAsRead=LaunchProgram=LaunchProgramPath=PlaySound="
              "SoundFile=SendMsgToURL=URLForSending=FromCase=SubjectCase=ToCcCase=AttachCase=BodyCase="
              "HeaderCase=UpperBound=LowerBound=");
    EXPECT_NE(text.find("Enabled=no\r\n"), std::string::npos);
    EXPECT_NE(text.find("UpperBound=-1\r\nLowerBound=-1\r\n"), std::string::npos);

    // Every field is written, so equal texts mean equal filters.
    auto back = parse(text);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(formatPowerText(back), text);
    EXPECT_EQ(back[0].launchProgramPath, "C:\\Tools\\run me.bat");
    EXPECT_TRUE(back[0].markAsFriendly);
}

TEST(PowerText, LongValuesReadBackWhole) {
    PowerFilter f;
    f.filterName = "long";
    f.fromWords = std::string(300, 'a') + "Deleted=no";  // a tail must not read as a key
    f.subjectWords = "two\r\nDeleted=no\nlines";
    auto back = parse(formatPowerText({f}));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].fromWords, f.fromWords);
    EXPECT_EQ(back[0].subjectWords, "two  Deleted=no lines");
    EXPECT_TRUE(back[0].markAsDeleted);
}

TEST(PowerText, NamelessFilterSurvivesARestartOnItsOwn) {
    PowerFilter a, nameless;
    a.filterName = "A";
    a.subjectWords = "kept";
    nameless.subjectWords = "other";
    nameless.markNothingChoice();
    auto back = parse(formatPowerText({a, nameless}));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].subjectWords, "kept");
    EXPECT_TRUE(back[0].markAsDeleted);
    EXPECT_EQ(back[1].subjectWords, "other");
    EXPECT_FALSE(back[1].markAsDeleted);
}

TEST(PowerText, SampleFileWrittenElsewhere) {
    std::ifstream file(KX_TEST_DATA "/filter/power.dat", std::ios::binary);
    ASSERT_TRUE(file);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    auto list = parse(text);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].filterName, "Boss");
    EXPECT_TRUE(list[0].fromEnabled);
    EXPECT_EQ(list[0].fromWords, "boss@example.com");
    EXPECT_TRUE(list[0].markAsFriendly);
    EXPECT_EQ(list[1].filterName, "Big attachments");
    EXPECT_EQ(list[1].upperBound, 102400);
    EXPECT_EQ(list[2].disabled, 1u);
}

}  // namespace
