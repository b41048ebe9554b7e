#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>

#include "core/Platform.h"
#include "message/Message.h"

namespace {

std::unique_ptr<Message> parse(std::vector<std::string> lines, int32_t size = 0) {
    return std::make_unique<Message>(lines, size);
}

TEST(MessageHeader, RealisticTopAnswer) {
    std::ifstream f(std::string(KX_TEST_DATA) + "/message/nested_mixed.txt", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(text.empty());
    std::vector<std::string_view> lines = splitLines(text);
    Message m(lines, 48213);
    EXPECT_EQ(m.from(), "\xC8\xE2\xE0\xED <ivan@example.ru>");
    EXPECT_EQ(m.subject(), "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0");  // folded words joined
    EXPECT_TRUE(m.subjectEncoded() && m.fromEncoded() && !m.toEncoded());
    EXPECT_EQ(m.to(), "Anna <anna@example.com>");
    EXPECT_EQ(m.priority(), 1);
    EXPECT_EQ(m.time(), 1057049557);
    EXPECT_EQ(m.crc(), 0x722aae7eu);
    EXPECT_EQ(m.sizeText(), "47" + decimalSeparator() + "2 KB");
    EXPECT_NE(m.headerText().find("Received: from mx.example.ru (mx.example.ru [192.0.2.10])by pop"),
              std::string::npos);
    EXPECT_EQ(m.contentType().boundaryStart, "------=_NextPart_000_0001");
    EXPECT_EQ(m.body().substr(0, 48), "This is a multi-part message in MIME format.\r\n\r\n");

    ASSERT_EQ(m.parts().size(), 5u);
    EXPECT_EQ(m.parts()[1]->contentType.charset, "koi8-r");
    EXPECT_EQ(m.attachmentNames(), (std::vector<std::string>{"report.doc", "\xF4\xEE\xF2\xEE.png"}));
    std::vector<std::string> body{"plain line one", "plain line two", "", "<html>hi</html>", "",
                                  "0M8R4KGxGuEAAAAAAAAAAAAAAAAAAAAAPgADAP7/CQAGAAAAAAAAAAAAAAABAAAAIAAAAAAAAAAA", "",
                                  "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk"};
    EXPECT_EQ(m.bodyLines(), body);
}

TEST(MessageHeader, FirstOccurrenceUnfoldingAndKoi8rSubject) {
    auto m = parse({"FROM: a@b", "from: second@b", "subject: first", "\tsecond", "Subject: other",
                    "Subjects: x", "X-Priority: 5 (Lowest)", "", "line 1", "", "line 3"});
    EXPECT_EQ(m->from() + "|" + m->subject() + "|" + m->cc(), "a@b|firstsecond|");
    EXPECT_EQ(m->headerText(),
              "FROM: a@b\r\nfrom: second@b\r\nsubject: firstsecond\r\nSubject: other\r\nSubjects: x\r\n"
              "X-Priority: 5 (Lowest)\r\n");
    EXPECT_EQ(m->body(), "line 1\r\n\r\nline 3\r\n");
    EXPECT_EQ(m->priority(), 5);

    const std::string raw = "\xF0\xD2\xC9\xD7\xC5\xD4", shown = "\xCF\xF0\xE8\xE2\xE5\xF2";
    auto koi = parse({"Subject: " + raw, "From: " + raw, "Content-Type: text/plain; charset=\"KOI8-R\""});
    EXPECT_EQ(koi->subject(), shown);
    EXPECT_EQ(koi->from(), raw);  // only the subject is recoded
    auto once = parse({"Subject: =?koi8-r?B?8NLJ18XU?=", "Content-Type: text/plain; charset=koi8-r"});
    EXPECT_EQ(once->subject(), shown);  // converted by the decoder, not again

    struct {
        const char* value;
        int32_t priority;
    } priorities[] = {{"  2", 2}, {"High", 0}, {"+7x", 7}, {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN}};
    for (auto& r : priorities)
        EXPECT_EQ(parse({std::string("X-Priority: ") + r.value})->priority(), r.priority) << r.value;
}

TEST(MessageSize, Text) {
    struct {
        int32_t size;
        const char* text;  // with "," as the separator
    } rows[] = {
        {0, "0 Bytes"},       {1023, "1023 Bytes"},   {1024, "1,02 KB"},  {1536, "1,53 KB"},
        {10239, "10,23 KB"},  {10240, "10,0 KB"},     {102399, "100,3 KB"}, {102400, "100 KB"},
        {1048575, "1023 KB"}, {1048576, "1,00 MB"},   {1 << 30, "1,00 GB"}, {INT32_MAX, "2,00 GB"},
        {-1, "-1 Bytes"},     {INT32_MIN, "-2147483648 Bytes"},
    };
    for (auto& r : rows) EXPECT_EQ(Message::formatSize(r.size, ","), r.text) << r.size;
    EXPECT_EQ(parse({}, 1536)->sizeText(), "1" + decimalSeparator() + "53 KB");
}

TEST(MessageIdentity, Crc) {
    // Expected values from an independent CRC-32 with register 0, no inversion.
    struct {
        std::vector<std::string> lines;
        int32_t size;
        uint32_t crc;
    } rows[] = {
        {{"Message-ID: <x@y>", "Subject: whatever"}, 0, 0x855c8f20u},
        {{"From: a@b", "Subject: Hi", "Date: Tue, 1 Jul 2003 10:52:37 +0200"}, 1536, 0x746fc5f6u},
        {{}, 0, 0xb1f05ee0u},   // "NoneNoneNone0 Bytes"
        {{}, -1, 0x2f7b02abu},  // "NoneNoneNone-1 Bytes"
        // A blank Message-ID identifies by the fields, so such messages differ.
        {{"Message-ID:", "From: a@b", "Subject: Hi"}, 0, 0xd3d99afeu},  // "a@bHiNone0 Bytes"
        {{"Message-ID:  \t ", "Subject: Hi"}, 0, 0xef427d1cu},
        {{"Message-ID: ", "Subject: Ho"}, 0, 0x7fd8fcu},
    };
    for (auto& r : rows) EXPECT_EQ(parse(r.lines, r.size)->crc(), r.crc) << ::testing::PrintToString(r.lines);
    // The subject is hashed as decoded, before KOI8-R recoding.
    auto koi = parse({"Subject: \xC1", "Content-Type: text/plain; charset=koi8-r"});
    EXPECT_NE(koi->subject(), "\xC1");
    EXPECT_EQ(koi->crc(), parse({"Subject: \xC1"})->crc());
}

TEST(ContentParameters, TypeAndDisposition) {
    struct {
        const char* value;
        const char* type;
        const char* subtype;
        const char* charset;
        const char* boundary;
    } types[] = {
        {"text/html; CHARSET = koi8-r;format=flowed", "text", "html", "koi8-r", ""},
        {"text;charset=koi8-r", "text", "", "koi8-r", ""},
        {"multipart/mixed; foo=bar", "text", "plain", "us-ascii", ""},  // no boundary: not multipart
        {"Multipart/Mixed; boundary=x", "Multipart", "Mixed", "", ""},
        {"multipart/alternative; boundary=\"----=_Next\"", "multipart", "alternative", "", "------=_Next"},
        {"text/plain; =skipped; charset=koi8-r", "text", "plain", "koi8-r", ""},
        {"text/plain; charset=\"x", "text", "plain", "us-ascii", ""},
        // A broken tail keeps what was read before it.
        {"multipart/mixed; boundary=abc;", "multipart", "mixed", "", "--abc"},
        {"multipart/mixed; boundary=\"abc\"; junk", "multipart", "mixed", "", "--abc"},
    };
    for (auto& r : types) {
        ContentType c;
        Message::parse_content_type(r.value, c);
        EXPECT_EQ(std::string(c.type) + "/" + c.subtype + "|" + c.charset + "|" + c.boundaryStart,
                  std::string(r.type) + "/" + r.subtype + "|" + r.charset + "|" + r.boundary);
        EXPECT_EQ(c.boundaryEnd, *r.boundary ? std::string(r.boundary) + "--" : "") << r.value;
    }
    using Params = std::map<std::string, std::string>;
    struct {
        const char* value;
        Params params;
    } dispositions[] = {
        {"attachment;filename=a.txt;size=10", {{"filename", "a.txt"}, {"size", "10"}}},
        {"attachment; filename=\"a\\\"b.txt\"", {{"filename", "a\\\"b.txt"}}},
        {"attachment; FileName\t= x; filename=b", {{"filename", "b"}}},
        {"attachment; filename=\"x", {}},
        {"attachment; filename=   ", {}},
        {"attachment; =x; filename=y", {}},
    };
    for (auto& r : dispositions) {
        ContentDisposition d;
        Message::parse_content_disposition(r.value, d);
        EXPECT_EQ(d.type, "attachment") << r.value;
        EXPECT_EQ(d.params, r.params) << r.value;
    }
}

TEST(MultipartWalk, AttachmentNames) {
    struct {
        std::vector<std::string> lines;
        std::vector<std::string> names;
    } rows[] = {
        {{"Content-Disposition: attachment; filename=\"a b.zip\""}, {"a b.zip"}},
        {{"Content-Disposition: Attachment; filename=x"}, {}},
        {{"Content-Type: multipart/mixed", "", "--x", "Content-Disposition: attachment; filename=n", ""}, {}},
        // TOP cut the message before the inner multipart ended.
        {{"Content-Type: multipart/mixed; boundary=outer", "", "--outer",
          "Content-Type: multipart/alternative; boundary=inner", "", "--inner", "Content-Type: text/plain", "",
          "text", "--outer", "Content-Disposition: attachment; filename=late.pdf", "", "JVBERi0x"},
         {"late.pdf"}},
        // Part headers: first occurrence wins; a part ends at the next boundary.
        {{"Content-Type: multipart/mixed; boundary=b", "", "--b", "Content-Disposition: attachment; filename=one",
          "Content-Disposition: attachment; filename=two", "--b", "Content-Type: text/html", "", "<p>", "--b--",
          "Content-Disposition: attachment; filename=after"},
         {"one"}},
    };
    for (auto& r : rows) EXPECT_EQ(parse(r.lines)->attachmentNames(), r.names) << r.lines[0];
    EXPECT_TRUE(parse({"Content-Disposition: attachment"})->hasAttachment());
}

// The processor time this process has used: what a walk that is not linear
// would cost, however busy the machine is with other work.
double cpuSeconds() {
#ifdef _WIN32
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto ticks = [](const FILETIME& t) { return (uint64_t{t.dwHighDateTime} << 32 | t.dwLowDateTime) / 1e7; };
    return ticks(kernel) + ticks(user);
#else
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
#endif
}

std::vector<std::string> nested(int depth, int attachmentDepth, size_t preamble) {
    std::vector<std::string> lines{"Content-Type: multipart/mixed; boundary=b0", ""};
    lines.insert(lines.end(), preamble, "preamble");
    for (int i = 0; i < depth; ++i) {
        lines.push_back("--b" + std::to_string(i));
        if (i == attachmentDepth) lines.push_back("Content-Disposition: attachment; filename=d" + std::to_string(i));
        lines.push_back("Content-Type: multipart/mixed; boundary=b" + std::to_string(i + 1));
        lines.push_back("");
    }
    return lines;
}

TEST(MessageHostile, DepthLongLinesAndManyHeadersStayBoundedAndLinear) {
    double start = cpuSeconds();
    // A long preamble gives the walk budget enough to reach the depth bound.
    auto shallow = parse(nested(100, 10, 100000));
    EXPECT_EQ(shallow->parts().size(), static_cast<size_t>(Message::kMaxNesting));
    EXPECT_EQ(shallow->attachmentNames(), std::vector<std::string>{"d10"});
    EXPECT_FALSE(parse(nested(100, Message::kMaxNesting + 1, 100000))->hasAttachment());
    EXPECT_LE(parse(nested(20000, -1, 0))->parts().size(), static_cast<size_t>(Message::kMaxNesting));
    // Every outer part opens an inner multipart that never ends.
    std::vector<std::string> open{"Content-Type: multipart/mixed; boundary=a", ""};
    for (int i = 0; i < 20000; ++i)
        open.insert(open.end(), {"--a", "Content-Type: multipart/mixed; boundary=c", "", "--c", "", "x"});
    EXPECT_LE(parse(open)->bodyLines().size(), open.size());

    std::vector<std::string> lines{"Subject: " + std::string(4 << 20, 'x')};
    for (int i = 0; i < 50000; ++i) lines.push_back("X-H" + std::to_string(i) + ": =?koi8-r?B?" + std::string(3, '\0'));
    lines.push_back(std::string("From: a\0b", 9));
    lines.push_back("Content-Type: text/plain; charset=\"" + std::string(1 << 20, ';'));
    lines.push_back("");
    lines.push_back(std::string(1 << 20, '='));
    auto m = parse(lines, 7);
    EXPECT_EQ(m->subject().size(), static_cast<size_t>(4 << 20));
    EXPECT_TRUE(m->from() == std::string("a\0b", 3));
    EXPECT_EQ(m->charset().size(), static_cast<size_t>(1 << 20));  // the unclosed quote runs to the end
    EXPECT_LT(cpuSeconds() - start, 15.0);
    EXPECT_EQ(splitLines("a\r\n\nb\nc\r\r\n"), (std::vector<std::string_view>{"a", "", "b", "c\r"}));
}

}  // namespace

// A later check copies a record instead of parsing the same lines again: the
// copy must be the record those lines give, with none of the marks.
TEST(MessageCopy, ParsedCopyIsWhatParsingAgainGives) {
    std::ifstream f(std::string(KX_TEST_DATA) + "/message/nested_mixed.txt", std::ios::binary);
    std::string nested((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(nested.empty());
    std::string undated = "From: a@example.org\r\nSubject: =?koi8-r?B?8NLJ18XU?=\r\nX-Priority: 2\r\n\r\nbody";
    for (const std::string& text : {nested, undated}) {
        std::vector<std::string_view> lines = splitLines(text);
        Message original(lines, 48213);
        original.markDeleted(true);
        original.setFriend(true);
        original.setSpammer(true);
        original.setUncertain(true);
        original.setFilterReason("Spammers: x");
        int64_t before = currentTime();
        std::unique_ptr<Message> copy = Message::parsedCopy(original);
        Message again(lines, 48213);
        auto fields = [](const Message& m) {
            std::string s = m.from() + "|" + m.to() + "|" + m.cc() + "|" + m.bcc() + "|" + m.subject() + "|" +
                            m.date() + "|" + m.messageId() + "|" + m.sizeText() + "|" + m.headerText() + "|" +
                            m.body() + "|" + m.charset() + "|" + m.contentType().type + "/" +
                            m.contentType().subtype + "|" + m.disposition().type + "|" + m.filterReason();
            for (const auto& name : m.attachmentNames()) s += "|a:" + name;
            for (const auto& line : m.bodyLines()) s += "|l:" + line;
            for (const auto& part : m.parts())
                s += "|p:" + part->contentType.type + "/" + part->contentType.subtype + ";" +
                     part->contentType.charset + ";" + part->disposition.type;
            return s + "|" + std::to_string(m.crc()) + std::to_string(m.size()) + std::to_string(m.priority()) +
                   std::to_string(m.hasAttachment()) + std::to_string(m.fromEncoded()) +
                   std::to_string(m.subjectEncoded()) + std::to_string(m.dateEncoded()) +
                   std::to_string(m.toEncoded()) + std::to_string(m.ccEncoded()) + std::to_string(m.bccEncoded()) +
                   std::to_string(m.deleted()) + std::to_string(m.read()) + std::to_string(m.spammer()) +
                   std::to_string(m.uncertain()) + std::to_string(m.isFriend());
        };
        EXPECT_EQ(fields(*copy), fields(again));
        if (text == nested) EXPECT_EQ(copy->time(), again.time());
        else EXPECT_GE(copy->time(), before) << "an undated message is dated by its making";
    }
}
