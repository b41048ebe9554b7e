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
    auto m = parse({
        "FROM: a@b",
        "from: second@b",
        "To: t@b",
        "To: t2@b",
        "Cc: c1",
        "Cc: c2",
        "Bcc: b1",
        "Bcc: b2",
        "subject: first",
        "Subject: second",
        "Date: Tue, 1 Jul 2003 10:52:37 +0200",
        "Message-ID: <id@x>",
        "Message-ID: <other@x>",
        "",
        "body",
    });
    EXPECT_EQ(m->from(), "a@b");
    EXPECT_EQ(m->to(), "t@b");
    EXPECT_EQ(m->cc(), "c1");
    EXPECT_EQ(m->bcc(), "b1");
    EXPECT_EQ(m->subject(), "first");
    EXPECT_EQ(m->messageId(), "<id@x>");
    EXPECT_EQ(m->time(), 1057049557);
    EXPECT_FALSE(m->fromEncoded() || m->subjectEncoded() || m->toEncoded() || m->ccEncoded() || m->bccEncoded());
}

TEST(MessageHeader, MissingHeadersKeepInitialValues) {
    auto m = parse({});
    for (const std::string* f : {&m->from(), &m->to(), &m->subject(), &m->date(), &m->messageId()})
        EXPECT_EQ(*f, "None");
    EXPECT_EQ(m->cc(), "");
    EXPECT_EQ(m->bcc(), "");
    EXPECT_EQ(m->body(), "");
    EXPECT_EQ(m->headerText(), "");
    EXPECT_EQ(m->priority(), 3);
    EXPECT_EQ(m->sizeText(), "0 Bytes");
    EXPECT_EQ(m->crc(), 0xb1f05ee0u);  // "NoneNoneNone0 Bytes"
    EXPECT_FALSE(m->hasAttachment());
    EXPECT_LE(std::abs(m->time() - currentTime()), 5);
}

TEST(MessageHeader, UnfoldingAndHeaderText) {
    auto m = parse({
        " Subject: not a header",
        "Subject: a",
        "\tb",
        "  c",
        " \t ",
        "X-Other: kept",
        "",
        "line 1",
        "",
        "line 3",
    });
    EXPECT_EQ(m->subject(), "abc");
    EXPECT_EQ(m->headerText(), "\r\n Subject: not a header\r\nSubject: abc\r\nX-Other: kept\r\n");
    EXPECT_EQ(m->body(), "line 1\r\n\r\nline 3\r\n");
}

TEST(MessageHeader, EncodedWordsSplitOverLinesJoin) {
    auto m = parse({"Subject: =?us-ascii?Q?Hello?=", " =?us-ascii?Q?_world?=", "From: =?x?B?QQ==?= <a@b>"});
    EXPECT_EQ(m->subject(), "Hello world");
    EXPECT_TRUE(m->subjectEncoded());
    EXPECT_EQ(m->from(), "A <a@b>");
    EXPECT_TRUE(m->fromEncoded());
    EXPECT_FALSE(m->toEncoded());
}

TEST(MessageHeader, ValueWhitespace) {
    struct {
        const char* line;
        const char* subject;
    } rows[] = {
        {"Subject:", ""},
        {"Subject: ", " "},  // a lone blank is kept
        {"Subject:\t \t x y ", "x y "},
        {"Subject", "None"},  // no colon: not the header
        {"Subjects: x", "None"},
    };
    for (auto& r : rows) EXPECT_EQ(parse({r.line})->subject(), r.subject) << r.line;
}

TEST(MessageHeader, Priority) {
    struct {
        const char* value;
        int32_t priority;
    } rows[] = {
        {"X-Priority: 5 (Lowest)", 5}, {"X-Priority: 1", 1},   {"X-Priority:   2", 2},
        {"X-Priority: High", 0},       {"X-Priority:", 0},     {"X-Priority: -4", -4},
        {"X-Priority: +7x", 7},        {"X-Priority: 99999999999", INT32_MAX},
        {"X-Priority: -99999999999", INT32_MIN},               {"X-Mailer: 1", 3},
    };
    for (auto& r : rows) EXPECT_EQ(parse({r.value})->priority(), r.priority) << r.value;
}

TEST(MessageHeader, NoEmptyLineMeansNoBody) {
    auto m = parse({"Subject: s", "not a header line"});
    EXPECT_EQ(m->body(), "");
    EXPECT_EQ(m->headerText(), "Subject: s\r\nnot a header line\r\n");
}

TEST(MessageHeader, Koi8rSubjectRecodedOnlyWhenRaw) {
    // "Привет" in KOI8-R; in Windows-1251 it is CF F0 E8 E2 E5 F2.
    const std::string raw = "\xF0\xD2\xC9\xD7\xC5\xD4";
    const std::string shown = "\xCF\xF0\xE8\xE2\xE5\xF2";
    auto m = parse({"Subject: " + raw, "From: " + raw, "Content-Type: text/plain; charset=\"KOI8-R\""});
    EXPECT_EQ(m->subject(), shown);
    EXPECT_EQ(m->from(), raw);  // only the subject is recoded
    EXPECT_EQ(m->charset(), "KOI8-R");

    auto encoded = parse({"Subject: =?koi8-r?B?8NLJ18XU?=", "Content-Type: text/plain; charset=koi8-r"});
    EXPECT_EQ(encoded->subject(), shown);  // converted once, by the decoder

    auto other = parse({"Subject: " + raw, "Content-Type: text/plain; charset=windows-1251"});
    EXPECT_EQ(other->subject(), raw);
}

TEST(MessageHeader, DispositionOnTheMessage) {
    auto m = parse({"Content-Disposition: attachment; filename=\"a b.zip\""});
    EXPECT_TRUE(m->hasAttachment());
    EXPECT_EQ(m->attachmentNames(), std::vector<std::string>{"a b.zip"});
    EXPECT_EQ(m->disposition().type, "attachment");

    auto upper = parse({"Content-Disposition: Attachment; filename=x"});
    EXPECT_FALSE(upper->hasAttachment());
    EXPECT_TRUE(upper->attachmentNames().empty());

    auto nameless = parse({"Content-Disposition: attachment"});
    EXPECT_TRUE(nameless->hasAttachment());
    EXPECT_TRUE(nameless->attachmentNames().empty());
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
    ContentType empty;
    Message::parse_content_type("", empty);
    EXPECT_EQ(empty.type, "");
}

TEST(ParseContentDisposition, Values) {
    struct {
        const char* value;
        const char* type;
        std::map<std::string, std::string> params;
    } rows[] = {
        {"attachment; filename=\"report.doc\"", "attachment", {{"filename", "report.doc"}}},
        {"attachment;filename=a.txt;size=10", "attachment", {{"filename", "a.txt"}, {"size", "10"}}},
        {" Inline ", " Inline ", {}},
        {"; filename=x", "", {}},
        {"attachment; filename=\"a\\\"b.txt\"", "attachment", {{"filename", "a\\\"b.txt"}}},
        {"attachment; filename=\"open", "attachment", {{"filename", "open"}}},
        {"attachment; filename=\"x", "attachment", {}},
        {"attachment; filename=", "attachment", {}},
        {"attachment; filename=   ", "attachment", {}},
        {"attachment; =x; filename=y", "attachment", {}},
        {"attachment; FileName\t= x", "attachment", {{"filename", "x"}}},
        {"attachment; filename=a; filename=b", "attachment", {{"filename", "b"}}},
        {"attachment; novalue", "attachment", {}},
    };
    for (auto& r : rows) {
        ContentDisposition d;
        Message::parse_content_disposition(r.value, d);
        EXPECT_EQ(d.type, r.type) << r.value;
        EXPECT_EQ(d.params, r.params) << r.value;
    }
}

TEST(MessageSize, Text) {
    struct {
        int32_t size;
        const char* dot;
        const char* comma;
    } rows[] = {
        {0, "0 Bytes", "0 Bytes"},
        {1023, "1023 Bytes", "1023 Bytes"},
        {1024, "1.02 KB", "1,02 KB"},
        {1536, "1.53 KB", "1,53 KB"},
        {10240, "10.0 KB", "10,0 KB"},
        {10239, "10.23 KB", "10,23 KB"},
        {102399, "100.3 KB", "100,3 KB"},  // 1024 / 10 is 102
        {102400, "100 KB", "100 KB"},
        {1048575, "1023 KB", "1023 KB"},
        {1048576, "1.00 MB", "1,00 MB"},
        {15 << 20, "15.0 MB", "15,0 MB"},
        {1 << 30, "1.00 GB", "1,00 GB"},
        {INT32_MAX, "2.00 GB", "2,00 GB"},
        {-1, "-1 Bytes", "-1 Bytes"},
        {INT32_MIN, "-2147483648 Bytes", "-2147483648 Bytes"},
    };
    for (auto& r : rows) {
        EXPECT_EQ(Message::formatSize(r.size, "."), r.dot) << r.size;
        EXPECT_EQ(Message::formatSize(r.size, ","), r.comma) << r.size;
    }
    EXPECT_EQ(parse({}, 1536)->sizeText(), "1" + decimalSeparator() + "53 KB");
    EXPECT_EQ(parse({}, -1)->sizeText(), "-1 Bytes");
}

TEST(MessageIdentity, Crc) {
    // Expected values from an independent CRC-32 with register 0, no inversion.
    EXPECT_EQ(parse({"Message-ID: <x@y>", "Subject: whatever"})->crc(), 0x855c8f20u);
    EXPECT_EQ(parse({"From: a@b", "Subject: Hi", "Date: Tue, 1 Jul 2003 10:52:37 +0200"}, 1536)->crc(),
              0x746fc5f6u);
    EXPECT_EQ(parse({}, -1)->crc(), 0x2f7b02abu);
}

TEST(MessageIdentity, BlankMessageIdFallsBackToTheFields) {
    auto empty = parse({"Message-ID:", "From: a@b", "Subject: Hi"});
    EXPECT_EQ(empty->messageId(), "");
    EXPECT_EQ(empty->crc(), 0xd3d99afeu);  // "a@bHiNone0 Bytes"
    for (const char* blank : {"Message-ID: ", "Message-ID:  \t "}) {
        auto hi = parse({blank, "Subject: Hi"});
        auto ho = parse({blank, "Subject: Ho"});
        EXPECT_EQ(hi->crc(), 0xef427d1cu) << blank;
        EXPECT_EQ(ho->crc(), 0x7fd8fcu) << blank;
    }
}

TEST(MessageIdentity, SubjectHashedBeforeRecoding) {
    auto koi = parse({"Subject: \xC1", "Content-Type: text/plain; charset=koi8-r"});
    auto plain = parse({"Subject: \xC1"});
    EXPECT_NE(koi->subject(), plain->subject());
    EXPECT_EQ(koi->crc(), plain->crc());
}

TEST(MessageMarks, Operations) {
    Message m(0x1234u);
    EXPECT_FALSE(m.deleted() || m.read() || m.spammer() || m.uncertain() || m.isFriend());
    m.setFriend(true);
    m.markDeleted(false);
    EXPECT_TRUE(m.deleted());
    EXPECT_FALSE(m.read());
    EXPECT_FALSE(m.isFriend());
    m.undelete();
    m.markDeleted(true);
    EXPECT_TRUE(m.deleted() && m.read());
    m.undelete();
    m.markUnread();
    EXPECT_FALSE(m.deleted() || m.read());
    m.markRead();
    m.setSpammer(true);
    m.setUncertain(true);
    m.setFilterReason("Friends: a@b");
    EXPECT_TRUE(m.read() && m.spammer() && m.uncertain());
    EXPECT_EQ(m.filterReason(), "Friends: a@b");
}

TEST(MessagePlaceholder, OnlyIdentity) {
    Message m(0xDEADBEEFu);
    EXPECT_EQ(m.crc(), 0xDEADBEEFu);
    EXPECT_EQ(m.size(), 0);
    EXPECT_EQ(m.priority(), 3);
    for (const std::string* f : {&m.from(), &m.to(), &m.subject(), &m.date(), &m.messageId(), &m.sizeText()})
        EXPECT_EQ(*f, "None");
    EXPECT_EQ(m.body(), "");
    EXPECT_EQ(m.headerText(), "");
    EXPECT_LE(std::abs(m.time() - currentTime()), 5);
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
    auto m = parse({
        "Content-Type: multipart/mixed; boundary=outer",
        "",
        "--outer",
        "Content-Type: multipart/alternative; boundary=inner",
        "",
        "--inner",
        "Content-Type: text/plain",
        "",
        "text",
        "--outer",
        "Content-Disposition: attachment; filename=late.pdf",
        "",
        "JVBERi0x",
    });
    EXPECT_TRUE(m->hasAttachment());
    EXPECT_EQ(m->attachmentNames(), std::vector<std::string>{"late.pdf"});
}

TEST(MultipartWalk, OnlyWhenTheTypeIsMultipart) {
    auto noBoundary = parse({"Content-Type: multipart/mixed", "", "--x", "Content-Disposition: attachment", ""});
    EXPECT_TRUE(noBoundary->parts().empty());
    EXPECT_FALSE(noBoundary->hasAttachment());
    EXPECT_EQ(noBoundary->charset(), "us-ascii");
    auto upper = parse({"Content-Type: Multipart/Mixed; boundary=x", "", "--x", "Content-Disposition: attachment", ""});
    EXPECT_TRUE(upper->parts().empty());
}

TEST(MultipartWalk, PartHeadersFirstOccurrenceAndEndAtBoundary) {
    auto m = parse({
        "Content-Type: multipart/mixed; boundary=b",
        "",
        "--b",
        "Content-Disposition: attachment; filename=one",
        "Content-Disposition: attachment; filename=two",
        "Content-Type: text/plain; charset=koi8-r",
        "--b",
        "Content-Type: text/html",
        "",
        "<p>",
        "--b--",
        "after the end",
    });
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

TEST(MessageHostile, DeepNestingEndsQuickly) {
    auto start = std::chrono::steady_clock::now();
    auto m = parse(nested(20000, -1, 0));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_LE(m->parts().size(), static_cast<size_t>(Message::kMaxNesting));
}

TEST(MessageHostile, ManyUnterminatedNestedPartsStayLinear) {
    // Every outer part opens an inner multipart that never ends, so each
    // inner walk would run to the end of the input.
    std::vector<std::string> lines{"Content-Type: multipart/mixed; boundary=a", ""};
    for (int i = 0; i < 20000; ++i) {
        lines.push_back("--a");
        lines.push_back("Content-Type: multipart/mixed; boundary=c");
        lines.push_back("");
        lines.push_back("--c");
        lines.push_back("");
        lines.push_back("x");
    }
    auto start = std::chrono::steady_clock::now();
    auto m = parse(lines);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_LE(m->bodyLines().size(), lines.size());
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
    std::vector<std::string_view> expected{"a", "", "b", "c\r"};
    EXPECT_EQ(splitLines("a\r\n\nb\nc\r\r\n"), expected);
    EXPECT_EQ(splitLines("x"), std::vector<std::string_view>{"x"});
    EXPECT_TRUE(splitLines("").empty());
}

}  // namespace
