#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>

#include "core/Platform.h"
#include "message/Message.h"

namespace {

std::unique_ptr<Message> parse(std::vector<std::string> lines, int32_t size = 0) {
    return std::make_unique<Message>(lines, size);
}

std::unique_ptr<Message> parseFile(const char* name, int32_t size) {
    std::ifstream f(std::string(KX_TEST_DATA) + "/message/" + name, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_FALSE(text.empty()) << name;
    std::vector<std::string_view> lines = splitLines(text);
    return std::make_unique<Message>(lines, size);
}

TEST(MessageHeader, FieldsDecodedFirstOccurrenceWins) {
    auto m = parse({"FROM: a@b", "from: second@b", "To: t@b", "To: t2@b", "Cc: c1", "Cc: c2", "Bcc: b1", "Bcc: b2",
                    "subject: first", "Subject: second", "Date: Tue, 1 Jul 2003 10:52:37 +0200",
                    "Message-ID: <id@x>", "Message-ID: <other@x>", "", "body"});
    EXPECT_EQ(m->from() + m->to() + m->cc() + m->bcc() + m->subject() + m->messageId(), "a@bt@bc1b1first<id@x>");
    EXPECT_EQ(m->time(), 1057049557);
    EXPECT_FALSE(m->fromEncoded() || m->subjectEncoded() || m->toEncoded() || m->ccEncoded() || m->bccEncoded());
}

TEST(MessageHeader, MissingHeadersKeepInitialValues) {
    auto m = parse({});
    for (const std::string* f : {&m->from(), &m->to(), &m->subject(), &m->date(), &m->messageId()})
        EXPECT_EQ(*f, "None");
    EXPECT_EQ(m->cc() + m->bcc() + m->body() + m->headerText(), "");
    EXPECT_EQ(m->priority(), 3);
    EXPECT_EQ(m->crc(), 0xb1f05ee0u);  // "NoneNoneNone0 Bytes"
    EXPECT_LE(std::abs(m->time() - currentTime()), 5);
}

TEST(MessageHeader, UnfoldingHeaderTextAndBody) {
    auto m = parse({" Subject: not a header", "Subject: a", "\tb", "  c", " \t ", "X-Other: kept", "", "line 1", "",
                    "line 3"});
    EXPECT_EQ(m->subject(), "abc");
    EXPECT_EQ(m->headerText(), "\r\n Subject: not a header\r\nSubject: abc\r\nX-Other: kept\r\n");
    EXPECT_EQ(m->body(), "line 1\r\n\r\nline 3\r\n");
    auto noBody = parse({"Subject: s", "not a header line"});  // no empty line: all header
    EXPECT_EQ(noBody->headerText(), "Subject: s\r\nnot a header line\r\n");
    EXPECT_EQ(noBody->body(), "");
}

TEST(MessageHeader, EncodedWordsSplitOverLinesJoin) {
    auto m = parse({"Subject: =?us-ascii?Q?Hello?=", " =?us-ascii?Q?_world?=", "From: =?x?B?QQ==?= <a@b>"});
    EXPECT_EQ(m->subject() + "|" + m->from(), "Hello world|A <a@b>");
    EXPECT_TRUE(m->subjectEncoded() && m->fromEncoded() && !m->toEncoded());
}

TEST(MessageHeader, ValuesAndPriority) {
    struct {
        const char* line;
        const char* subject;
    } subjects[] = {{"Subject:", ""}, {"Subject: ", " "} /* a lone blank is kept */, {"Subject:\t \t x y ", "x y "},
                    {"Subject", "None"}, {"Subjects: x", "None"}};
    for (auto& r : subjects) EXPECT_EQ(parse({r.line})->subject(), r.subject) << r.line;
    struct {
        const char* value;
        int32_t priority;
    } priorities[] = {{"5 (Lowest)", 5}, {"  2", 2},  {"High", 0},    {"", 0},  {"-4", -4},
                      {"+7x", 7},        {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN}};
    for (auto& r : priorities)
        EXPECT_EQ(parse({std::string("X-Priority: ") + r.value})->priority(), r.priority) << r.value;
    EXPECT_EQ(parse({"X-Mailer: 1"})->priority(), 3);
}

TEST(MessageHeader, Koi8rSubjectRecodedOnlyWhenRaw) {
    // "Привет" in KOI8-R; in Windows-1251 it is CF F0 E8 E2 E5 F2.
    const std::string raw = "\xF0\xD2\xC9\xD7\xC5\xD4", shown = "\xCF\xF0\xE8\xE2\xE5\xF2";
    auto m = parse({"Subject: " + raw, "From: " + raw, "Content-Type: text/plain; charset=\"KOI8-R\""});
    EXPECT_EQ(m->subject(), shown);
    EXPECT_EQ(m->from(), raw);  // only the subject is recoded
    EXPECT_EQ(m->charset(), "KOI8-R");
    auto encoded = parse({"Subject: =?koi8-r?B?8NLJ18XU?=", "Content-Type: text/plain; charset=koi8-r"});
    EXPECT_EQ(encoded->subject(), shown);  // converted once, by the decoder
    EXPECT_EQ(parse({"Subject: " + raw, "Content-Type: text/plain; charset=windows-1251"})->subject(), raw);
}

TEST(MessageHeader, DispositionOnTheMessage) {
    auto m = parse({"Content-Disposition: attachment; filename=\"a b.zip\""});
    EXPECT_TRUE(m->hasAttachment());
    EXPECT_EQ(m->attachmentNames(), std::vector<std::string>{"a b.zip"});
    EXPECT_FALSE(parse({"Content-Disposition: Attachment; filename=x"})->hasAttachment());
    auto nameless = parse({"Content-Disposition: attachment"});
    EXPECT_TRUE(nameless->hasAttachment() && nameless->attachmentNames().empty());
}

struct TypeCase {
    const char* value;
    const char* type;
    const char* subtype;
    const char* charset;
    const char* boundary;  // boundaryStart
    size_t params;
};

TEST(ParseContentType, Values) {
    const TypeCase rows[] = {
        {"text/plain", "text", "plain", "us-ascii", "", 0},
        {"text/plain; charset=\"KOI8-R\"", "text", "plain", "KOI8-R", "", 1},
        {"text/html; CHARSET = koi8-r;format=flowed", "text", "html", "koi8-r", "", 2},
        {"text", "text", "", "", "", 0},
        {"text/", "text", "", "", "", 0},
        {"text;charset=koi8-r", "text", "", "koi8-r", "", 1},
        {"multipart/mixed", "text", "plain", "us-ascii", "", 0},
        {"multipart/mixed; foo=bar", "text", "plain", "us-ascii", "", 0},
        {"Multipart/Mixed; boundary=x", "Multipart", "Mixed", "", "", 1},
        {"multipart/alternative; boundary=\"----=_Next\"", "multipart", "alternative", "", "------=_Next", 1},
        {"multipart/mixed;\tboundary=abc", "multipart", "mixed", "", "--abc", 1},
        {"application/octet-stream; name=\"a;b.txt", "application", "octet-stream", "", "", 1},
        {"text/plain; =skipped; charset=koi8-r", "text", "plain", "koi8-r", "", 1},
        {"text/plain; charset=", "text", "plain", "us-ascii", "", 0},
        {"text/plain; charset=\"\"", "text", "plain", "us-ascii", "", 0},
        {"text/plain; charset=\"x", "text", "plain", "us-ascii", "", 0},
        // A broken tail keeps what was read before it.
        {"text/plain;", "text", "plain", "us-ascii", "", 0},
        {"multipart/mixed; boundary=abc;", "multipart", "mixed", "", "--abc", 1},
        {"multipart/mixed; boundary=\"abc\"; junk", "multipart", "mixed", "", "--abc", 1},
    };
    for (const TypeCase& r : rows) {
        ContentType c;
        Message::parse_content_type(r.value, c);
        EXPECT_EQ(c.type, r.type) << r.value;
        EXPECT_EQ(c.subtype, r.subtype) << r.value;
        EXPECT_EQ(c.charset, r.charset) << r.value;
        EXPECT_EQ(c.boundaryStart, r.boundary) << r.value;
        EXPECT_EQ(c.boundaryEnd, *r.boundary ? std::string(r.boundary) + "--" : "") << r.value;
        EXPECT_EQ(c.params.size(), r.params) << r.value;
    }
}

TEST(ParseContentType, ParameterNamesAndValues) {
    ContentType c;
    Message::parse_content_type("text/plain; Format = flowed ; NAME=\"x y\"; name=z", c);
    std::map<std::string, std::string> expected{{"format", "flowed "}, {"name", "z"}};
    EXPECT_EQ(c.params, expected);
}

TEST(ParseContentDisposition, Values) {
    using Params = std::map<std::string, std::string>;
    struct {
        const char* value;
        const char* type;
        Params params;
    } rows[] = {
        {"attachment; filename=\"report.doc\"", "attachment", {{"filename", "report.doc"}}},
        {"attachment;filename=a.txt;size=10", "attachment", {{"filename", "a.txt"}, {"size", "10"}}},
        {" Inline ", " Inline ", {}},
        {"; filename=x", "", {}},
        {"attachment; filename=\"a\\\"b.txt\"", "attachment", {{"filename", "a\\\"b.txt"}}},
        {"attachment; filename=\"open", "attachment", {{"filename", "open"}}},
        {"attachment; FileName\t= x", "attachment", {{"filename", "x"}}},
        {"attachment; filename=a; filename=b", "attachment", {{"filename", "b"}}},
    };
    for (auto& r : rows) {
        ContentDisposition d;
        Message::parse_content_disposition(r.value, d);
        EXPECT_EQ(d.type, r.type) << r.value;
        EXPECT_EQ(d.params, r.params) << r.value;
    }
    for (const char* broken : {"attachment; filename=\"x", "attachment; filename=", "attachment; filename=   ",
                               "attachment; =x; filename=y", "attachment; novalue"}) {
        ContentDisposition d;
        Message::parse_content_disposition(broken, d);
        EXPECT_EQ(d.type, "attachment") << broken;
        EXPECT_TRUE(d.params.empty()) << broken;
    }
}

TEST(MessageSize, Text) {
    struct {
        int32_t size;
        const char* text;  // with "," as the separator
    } rows[] = {
        {0, "0 Bytes"},          {1023, "1023 Bytes"},   {1024, "1,02 KB"},      {1536, "1,53 KB"},
        {10239, "10,23 KB"},     {10240, "10,0 KB"},     {102399, "100,3 KB"} /* 1024 / 10 is 102 */,
        {102400, "100 KB"},      {1048575, "1023 KB"},   {1048576, "1,00 MB"},   {15 << 20, "15,0 MB"},
        {1 << 30, "1,00 GB"},    {INT32_MAX, "2,00 GB"}, {-1, "-1 Bytes"},       {INT32_MIN, "-2147483648 Bytes"},
    };
    for (auto& r : rows) EXPECT_EQ(Message::formatSize(r.size, ","), r.text) << r.size;
    EXPECT_EQ(Message::formatSize(1536, "."), "1.53 KB");
    EXPECT_EQ(parse({}, 1536)->sizeText(), "1" + decimalSeparator() + "53 KB");
}

TEST(MessageIdentity, Crc) {
    // Expected values from an independent CRC-32 with register 0, no inversion.
    EXPECT_EQ(parse({"Message-ID: <x@y>", "Subject: whatever"})->crc(), 0x855c8f20u);
    EXPECT_EQ(parse({"From: a@b", "Subject: Hi", "Date: Tue, 1 Jul 2003 10:52:37 +0200"}, 1536)->crc(),
              0x746fc5f6u);
    EXPECT_EQ(parse({}, -1)->crc(), 0x2f7b02abu);  // "NoneNoneNone-1 Bytes"
    // A blank Message-ID identifies by the fields, so such messages differ.
    auto empty = parse({"Message-ID:", "From: a@b", "Subject: Hi"});
    EXPECT_EQ(empty->messageId(), "");
    EXPECT_EQ(empty->crc(), 0xd3d99afeu);  // "a@bHiNone0 Bytes"
    for (const char* blank : {"Message-ID: ", "Message-ID:  \t "}) {
        EXPECT_EQ(parse({blank, "Subject: Hi"})->crc(), 0xef427d1cu) << blank;
        EXPECT_EQ(parse({blank, "Subject: Ho"})->crc(), 0x7fd8fcu) << blank;
    }
    // The subject is hashed as decoded, before KOI8-R recoding.
    auto koi = parse({"Subject: \xC1", "Content-Type: text/plain; charset=koi8-r"});
    EXPECT_NE(koi->subject(), "\xC1");
    EXPECT_EQ(koi->crc(), parse({"Subject: \xC1"})->crc());
}

TEST(MessageMarks, MarkDeletedClearsFriendAndMayCountAsRead) {
    Message m(0x1234u);
    m.setFriend(true);
    m.markDeleted(false);
    EXPECT_TRUE(m.deleted() && !m.read() && !m.isFriend());
    m.markDeleted(true);
    EXPECT_TRUE(m.deleted() && m.read());
}

TEST(MessagePlaceholder, OnlyIdentity) {
    Message m(0xDEADBEEFu);
    EXPECT_EQ(m.crc(), 0xDEADBEEFu);
    EXPECT_TRUE(m.size() == 0 && m.priority() == 3 && m.body().empty() && m.headerText().empty());
    for (const std::string* f : {&m.from(), &m.to(), &m.subject(), &m.date(), &m.messageId(), &m.sizeText()})
        EXPECT_EQ(*f, "None");
}

TEST(MultipartWalk, NestedMixedWithAttachments) {
    auto m = parseFile("nested_mixed.txt", 48213);
    EXPECT_EQ(m->from(), "\xC8\xE2\xE0\xED <ivan@example.ru>");
    EXPECT_EQ(m->subject(), "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0");
    EXPECT_TRUE(m->subjectEncoded());
    EXPECT_EQ(m->priority(), 1);
    EXPECT_EQ(m->time(), 1057049557);
    EXPECT_EQ(m->crc(), 0x722aae7eu);
    EXPECT_EQ(m->sizeText(), "47" + decimalSeparator() + "2 KB");
    EXPECT_EQ(m->charset(), "");
    EXPECT_EQ(m->contentType().boundaryStart, "------=_NextPart_000_0001");
    EXPECT_NE(m->headerText().find("Received: from mx.example.ru (mx.example.ru [192.0.2.10])by pop"),
              std::string::npos);

    ASSERT_EQ(m->parts().size(), 5u);
    const char* types[] = {"multipart", "text", "text", "application", "image"};
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(m->parts()[i]->contentType.type, types[i]) << i;
    EXPECT_EQ(m->parts()[1]->contentType.charset, "koi8-r");
    EXPECT_EQ(m->parts()[3]->disposition.type, "attachment");

    EXPECT_TRUE(m->hasAttachment());
    EXPECT_EQ(m->attachmentNames(), (std::vector<std::string>{"report.doc", "\xF4\xEE\xF2\xEE.png"}));
    std::vector<std::string> body{"plain line one", "plain line two", "", "<html>hi</html>", "",
                                  "0M8R4KGxGuEAAAAAAAAAAAAAAAAAAAAAPgADAP7/CQAGAAAAAAAAAAAAAAABAAAAIAAAAAAAAAAA", "",
                                  "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk"};
    EXPECT_EQ(m->bodyLines(), body);
    EXPECT_EQ(m->body().substr(0, 48), "This is a multi-part message in MIME format.\r\n\r\n");
}

TEST(MultipartWalk, TruncatedInnerStillFindsOuterAttachment) {
    // TOP cut the message before the inner multipart ended.
    auto m = parse({"Content-Type: multipart/mixed; boundary=outer", "", "--outer",
                    "Content-Type: multipart/alternative; boundary=inner", "", "--inner", "Content-Type: text/plain",
                    "", "text", "--outer", "Content-Disposition: attachment; filename=late.pdf", "", "JVBERi0x"});
    EXPECT_EQ(m->attachmentNames(), std::vector<std::string>{"late.pdf"});
}

TEST(MultipartWalk, OnlyWhenTheTypeIsMultipart) {
    for (const char* type : {"Content-Type: multipart/mixed", "Content-Type: Multipart/Mixed; boundary=x"})
        EXPECT_FALSE(parse({type, "", "--x", "Content-Disposition: attachment", ""})->hasAttachment()) << type;
}

TEST(MultipartWalk, PartHeadersFirstOccurrenceAndEndAtBoundary) {
    auto m = parse({"Content-Type: multipart/mixed; boundary=b", "", "--b",
                    "Content-Disposition: attachment; filename=one", "Content-Disposition: attachment; filename=two",
                    "Content-Type: text/plain; charset=koi8-r", "--b", "Content-Type: text/html", "", "<p>", "--b--",
                    "after the end"});
    ASSERT_EQ(m->parts().size(), 2u);
    EXPECT_EQ(m->attachmentNames(), std::vector<std::string>{"one"});
    EXPECT_EQ(m->parts()[0]->contentType.charset, "koi8-r");
    EXPECT_EQ(m->bodyLines(), std::vector<std::string>{"<p>"});
}

// Hostile input: each must end quickly and keep the parse bounded.
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

TEST(MessageHostile, NestingDepthIsBounded) {
    // A long preamble gives the walk budget enough to reach the depth bound.
    auto shallow = parse(nested(100, 10, 100000));
    EXPECT_EQ(shallow->parts().size(), static_cast<size_t>(Message::kMaxNesting));
    EXPECT_EQ(shallow->attachmentNames(), std::vector<std::string>{"d10"});
    auto deep = parse(nested(100, Message::kMaxNesting + 1, 100000));
    EXPECT_FALSE(deep->hasAttachment());
}

TEST(MessageHostile, NestingStaysLinear) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_LE(parse(nested(20000, -1, 0))->parts().size(), static_cast<size_t>(Message::kMaxNesting));
    // Every outer part opens an inner multipart that never ends, so each
    // inner walk would run to the end of the input.
    std::vector<std::string> lines{"Content-Type: multipart/mixed; boundary=a", ""};
    for (int i = 0; i < 20000; ++i)
        lines.insert(lines.end(), {"--a", "Content-Type: multipart/mixed; boundary=c", "", "--c", "", "x"});
    EXPECT_LE(parse(lines)->bodyLines().size(), lines.size());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(MessageHostile, LongLinesManyHeadersAndNuls) {
    std::vector<std::string> lines;
    lines.push_back("Subject: " + std::string(4 << 20, 'x'));
    for (int i = 0; i < 50000; ++i) lines.push_back("X-H" + std::to_string(i) + ": =?koi8-r?B?" + std::string(3, '\0'));
    lines.push_back(std::string("From: a\0b", 9));
    lines.push_back("Content-Type: text/plain; charset=\"" + std::string(1 << 20, ';'));
    lines.push_back("");
    lines.push_back(std::string(1 << 20, '='));
    auto start = std::chrono::steady_clock::now();
    auto m = parse(lines, 7);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(m->subject().size(), static_cast<size_t>(4 << 20));
    EXPECT_TRUE(m->from() == std::string("a\0b", 3));
    EXPECT_EQ(m->charset().size(), static_cast<size_t>(1 << 20));  // the unclosed quote runs to the end
}

TEST(SplitLines, LineEnds) {
    EXPECT_EQ(splitLines("a\r\n\nb\nc\r\r\n"), (std::vector<std::string_view>{"a", "", "b", "c\r"}));
    EXPECT_TRUE(splitLines("").empty());
}

}  // namespace
