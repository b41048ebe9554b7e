#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/MessageText.h"
#include "message/Message.h"
#include "support/TempDir.h"
#include "ui/MessageView.h"
#include "ui/Tips.h"

namespace {

std::unique_ptr<Message> message(std::vector<std::string> headers, int32_t size = 100) {
    headers.push_back("");
    return std::make_unique<Message>(headers, size);
}

std::unique_ptr<Message> withSubject(const std::string& subject) {
    return message({"From: a@b.c", "Subject: " + subject, "Message-ID: <" + subject + ">"});
}

int asciiFold(std::string_view a, std::string_view b) {
    auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return fold(a[i]) < fold(b[i]) ? -1 : 1;
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

}  // namespace

TEST(MessageOrder, ReplyAndForwardPrefixesAreSkippedOnceEachInTheirOrder) {
    struct Row {
        const char* a;
        const char* b;
        int expected;
    } rows[] = {
        {"RE: x", "x", 0},
        {"fwd: x", "x", 0},
        {"Re: FW: x", "x", 0},     // reply, then the short forward prefix
        {"RE: Fwd: x", "X", 0},    // reply, then the long one
        {"FW: RE: x", "RE: RE: x", 0},  // the reply prefix is tried first only, and once
        {"RE:x", "x", -1},               // without its blank it is no prefix
        {"Aw: x", "x", -1},
        {"RE: a", "b", -1},
    };
    for (const Row& row : rows) {
        auto a = withSubject(row.a), b = withSubject(row.b);
        EXPECT_EQ(compareMessages(MSG_ColSubject, 1, *a, *b, asciiFold), row.expected) << row.a << " | " << row.b;
        EXPECT_EQ(compareMessages(MSG_ColSubject, 2, *a, *b, asciiFold), -row.expected) << row.a << " | " << row.b;
    }
}

TEST(MessageOrder, NumbersOfEachKind) {
    auto early = message({"Date: Mon, 1 Jan 2024 10:00:00 +0000", "X-Priority: 1", "Message-ID: <1>",
                          "Content-Disposition: attachment; filename=\"a.txt\""},
                         50);
    auto late = message({"Date: Tue, 2 Jan 2024 10:00:00 +0000", "X-Priority: 5", "Message-ID: <2>"}, 5000);
    struct Row {
        uint32_t kind;
        int expected;  // early against late, ascending
    } rows[] = {
        {MSG_ColDate, -1}, {MSG_ColSize, -1}, {MSG_ColAttach, 1},
        {MSG_ColPriority, 1},  // the higher priority (lower number) sorts after
    };
    for (const Row& row : rows) {
        EXPECT_EQ(compareMessages(row.kind, 0, *early, *late, asciiFold), row.expected) << row.kind;
        EXPECT_EQ(compareMessages(row.kind, 2, *early, *late, asciiFold), -row.expected) << row.kind;
    }
}

TEST(MessageOrder, HeaderClicks) {
    // Each step: the kind clicked, then the order to sort with and the arrow's kind.
    struct Step {
        uint32_t kind;
        uint32_t order;
        uint32_t arrow;
    } steps[] = {
        {MSG_ColSubject, 0, MSG_ColSubject},  // a new column takes the arrow, its order unchanged
        {MSG_ColSubject, 2, MSG_ColSubject},  // the next click turns it round (0 is ascending too)
        {MSG_ColSubject, 1, MSG_ColSubject},
        {MSG_ColPriority, 2, 0},  // icon columns flip every time and take the arrow away
        {MSG_ColPriority, 1, 0},
        {MSG_ColSubject, 1, MSG_ColSubject},  // no arrow there: no flip
        {MSG_ColDate, 0, MSG_ColDate},
        {MSG_ColSubject, 1, MSG_ColSubject},  // each kind keeps its own order
    };
    SortState sort;
    for (const Step& s : steps) {
        EXPECT_EQ(sort.click(s.kind), s.order) << s.kind;
        EXPECT_EQ(sort.arrowKind(), s.arrow) << s.kind;
    }
    sort.apply(MSG_ColAttach, 2);
    EXPECT_EQ(sort.arrowKind(), 0u);
    EXPECT_EQ(sort.order(MSG_ColAttach), 2u);
}

TEST(MessageMarks, IconOfARowAndOfItsPriority) {
    auto m = message({"Message-ID: <1>"});
    EXPECT_EQ(markImage(*m), kNoImage);
    m->setUncertain(true);
    EXPECT_EQ(markImage(*m), kImageUncertain);
    m->setSpammer(true);
    EXPECT_EQ(markImage(*m), kImageSpammer);
    m->markDeleted(false);
    EXPECT_EQ(markImage(*m), kImageSpammer);  // a spammer's message keeps its icon
    m->setSpammer(false);
    EXPECT_EQ(markImage(*m), kImageDeleted);
    m->setFriend(true);
    EXPECT_EQ(markImage(*m), kImageFriend);

    EXPECT_EQ(priorityImage(0), kImageHighPriority);  // a value that was no number
    EXPECT_EQ(priorityImage(2), kImageHighPriority);
    EXPECT_EQ(priorityImage(3), kNoImage);
    EXPECT_EQ(priorityImage(4), kImageLowPriority);
}

TEST(MessageRowKeys, CopiesOfOneMessageEachHaveTheirRowAndShareTheFirstOnesMarks) {
    std::vector<std::unique_ptr<Message>> list;
    list.push_back(message({"Message-ID: <same>", "Subject: first"}));
    list.push_back(message({"Message-ID: <other>"}));
    list.push_back(message({"Message-ID: <same>", "Subject: second"}));
    MessageSpan span(list);
    std::vector<RowKey> keys = rowKeys(span);
    ASSERT_EQ(keys.size(), 3u);
    uint32_t crc = list[0]->crc();
    EXPECT_EQ(keys[0], crc);  // the first of an identity: the CRC itself
    EXPECT_EQ(rowCrc(keys[2]), crc);
    EXPECT_NE(keys[2], keys[0]);
    EXPECT_EQ(findRow(span, keys[2])->subject(), "second");
    EXPECT_EQ(findRow(span, keys[1]), list[1].get());
    EXPECT_EQ(findRow(span, rowKey(crc, 2)), nullptr);
    EXPECT_EQ(identityCopies(span, crc).size(), 2u);

    RowIndex index;
    index.refresh(span, 1, 1);
    for (RowKey key : keys) EXPECT_EQ(index.find(span, key), findRow(span, key));
    EXPECT_EQ(index.lead(span, crc), list[0].get());
    // A new version of the list is indexed again; the old index is not trusted.
    std::swap(list[0], list[1]);
    EXPECT_EQ(index.find(span, keys[0]), list[1].get());
    index.refresh(span, 1, 2);
    EXPECT_EQ(index.lead(span, crc), list[1].get());
    EXPECT_EQ(index.find(span, keys[1]), list[0].get());
}

TEST(MessagePreview, HeaderLine) {
    const std::string none = formatMessage(MSG_None);
    EXPECT_EQ(previewHeaderLine("Ann <a@b.c>", "Bob <b@c.d>", "Hi"), "From: Ann  To: Bob \r\nSubject: Hi");
    // Without To the subject stays on the From line.
    EXPECT_EQ(previewHeaderLine("a@b.c", none, "Hi"), "From: a@b.c Subject: Hi");
    EXPECT_EQ(previewHeaderLine(none, "", none), "Subject: " + none);
}

TEST(Tips, FileLinesAndTheirCycle) {
    TempDir dir;
    dir.write("tips.txt", "one\r\n\r\ntwo\n" + std::string(1030, 'x') + "\nthree");
    std::vector<std::string> tips = readTips(dir.file("tips.txt"));
    ASSERT_EQ(tips.size(), 5u);  // the blank line is no tip; the long one goes on as the next
    EXPECT_EQ(tips[2].size(), 1023u);
    EXPECT_EQ(tips[3], "xxxxxxx");
    EXPECT_EQ(tips[4], "three");
    EXPECT_TRUE(readTips(dir.file("missing.txt")).empty());

    std::vector<std::string> three = {"a", "b", "c"};
    TipCursor cursor;
    EXPECT_EQ(cursor.next(three, 7), "b");  // the first by the random number, the rest in turn
    EXPECT_EQ(cursor.next(three, 0), "c");
    EXPECT_EQ(cursor.next(three, 0), "a");
    EXPECT_EQ(cursor.next({}, 5), "");
    TipCursor empty;
    EXPECT_EQ(empty.next({}, 12345), "");
}
