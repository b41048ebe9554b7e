// Parsing speed of TOP answers: builds a corpus of realistic answers (headers
// with folded Received chains and encoded words in several charsets, 99 body
// lines, a third of them multipart with attachments) and parses it over and
// over for the time given, counting from the answer text to the finished
// record, line splitting included.
//   message_bench [--seconds N] [--messages N]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "message/Message.h"

namespace {

const char* const kSubjects[] = {
    "=?koi8-r?B?8NLJ18XUINMg0M/Sz9TB?=",
    "=?windows-1251?Q?=CE=F2=F7=E5=F2_=E7=E0_=EC=E0=F0=F2?= (draft)",
    "Re: =?utf-8?B?0J/RgNC40LLQtdGCLCDQvNC40YA=?=",
    "=?iso-8859-1?Q?Caf=E9_meeting_on_Thursday?=",
    "Quarterly report, final version",
    "=?KOI8-R?Q?=F3=DE=C5=D4_=CE=C1_=CF=D0=CC=C1=D4=D5?= =?KOI8-R?Q?_=DA=C1_=CD=C1=D2=D4?=",
};

const char* const kFrom[] = {
    "=?koi8-r?B?6dfBzg==?= =?koi8-r?B?8MXU0s/X?= <ivan.petrov@example.ru>",
    "\"Anna Schmidt\" <anna@example.de>",
    "=?utf-8?Q?J=C3=BCrgen_M=C3=BCller?= <jm@example.com>",
    "billing@example.com",
};

std::string header(std::mt19937& rng, int i, const char* contentType) {
    std::string h;
    int hops = 2 + static_cast<int>(rng() % 4);
    for (int k = 0; k < hops; ++k) {
        h += "Received: from relay" + std::to_string(k) + ".example.net (relay" + std::to_string(k) +
             ".example.net [192.0.2." + std::to_string(k + 1) + "])\r\n"
             "\tby mx.example.com (Postfix) with ESMTPS id 4F2A1B" + std::to_string(i) + "\r\n"
             "\tfor <user@example.com>; Tue, 1 Jul 2003 10:52:" + std::to_string(10 + k) + " +0200\r\n";
    }
    h += "Return-Path: <bounce-" + std::to_string(i) + "@example.com>\r\n";
    h += std::string("From: ") + kFrom[rng() % 4] + "\r\n";
    h += "To: User One <user@example.com>, =?koi8-r?B?68/M0Q==?= <kolya@example.com>\r\n";
    if (rng() % 2) h += "Cc: team@example.com,\r\n  boss@example.com\r\n";
    h += std::string("Subject: ") + kSubjects[rng() % 6] + "\r\n";
    h += "Date: Tue, " + std::to_string(1 + i % 28) + " Jul 2003 10:52:37 +0200\r\n";
    h += "Message-ID: <" + std::to_string(i) + ".20030701105237@mail.example.com>\r\n";
    h += "X-Priority: " + std::to_string(1 + rng() % 5) + " (Normal)\r\n";
    h += "X-Mailer: Microsoft Outlook Express 6.00.2800.1106\r\n";
    h += "MIME-Version: 1.0\r\n";
    h += std::string("Content-Type: ") + contentType + "\r\n";
    h += "\r\n";
    return h;
}

std::string textLine(std::mt19937& rng) {
    static const char* const words[] = {"the", "report", "\xF0\xD2\xC9\xD7\xC5\xD4", "meeting", "\xCD\xC9\xD2",
                                        "attached", "please", "review", "2003", "budget", "and", "for"};
    std::string line;
    int n = 6 + static_cast<int>(rng() % 9);
    for (int k = 0; k < n; ++k) {
        if (k) line += ' ';
        line += words[rng() % 12];
    }
    return line + "\r\n";
}

std::string base64Line(std::mt19937& rng) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string line(76, 'A');
    for (char& c : line) c = alphabet[rng() % 64];
    return line + "\r\n";
}

// One TOP answer with 99 body lines.
std::string answer(std::mt19937& rng, int i) {
    std::string text;
    int lines = 0;
    switch (i % 3) {
    case 0:
        text = header(rng, i, "text/plain; charset=\"koi8-r\"");
        break;
    case 1:
        text = header(rng, i, "text/plain;\r\n\tcharset=\"windows-1251\"; format=flowed");
        break;
    default: {
        text = header(rng, i, "multipart/mixed;\r\n\tboundary=\"----=_NextPart_000_0012_01C33FB1.2A1B3C40\"");
        const std::string outer = "------=_NextPart_000_0012_01C33FB1.2A1B3C40";
        const std::string inner = "------=_NextPart_001_0013_01C33FB1.2A1B3C40";
        std::string body = "This is a multi-part message in MIME format.\r\n\r\n" + outer + "\r\n" +
                           "Content-Type: multipart/alternative;\r\n\tboundary=\"" + inner.substr(2) + "\"\r\n\r\n\r\n" +
                           inner + "\r\nContent-Type: text/plain;\r\n\tcharset=\"koi8-r\"\r\n"
                           "Content-Transfer-Encoding: 8bit\r\n\r\n";
        for (int k = 0; k < 12; ++k) body += textLine(rng);
        body += "\r\n" + inner + "\r\nContent-Type: text/html;\r\n\tcharset=\"koi8-r\"\r\n"
                "Content-Transfer-Encoding: quoted-printable\r\n\r\n";
        for (int k = 0; k < 12; ++k) body += "<p>" + textLine(rng);
        body += "\r\n" + inner + "--\r\n\r\n" + outer + "\r\n" +
                "Content-Type: application/msword;\r\n\tname=\"=?koi8-r?B?79TexdQ=?=.doc\"\r\n"
                "Content-Transfer-Encoding: base64\r\n"
                "Content-Disposition: attachment;\r\n\tfilename=\"=?koi8-r?B?79TexdQ=?=.doc\"\r\n\r\n";
        text += body;
        for (char c : body) lines += c == '\n';
        while (lines < 99) {
            text += base64Line(rng);
            ++lines;
        }
        return text;
    }
    }
    for (; lines < 99; ++lines) text += textLine(rng);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 2;
    int count = 3000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--seconds")) seconds = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--messages")) count = std::atoi(argv[i + 1]);
    }
    std::mt19937 rng(12345);
    std::vector<std::string> corpus;
    size_t corpusBytes = 0;
    for (int i = 0; i < count; ++i) {
        corpus.push_back(answer(rng, i));
        corpusBytes += corpus.back().size();
    }

    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    auto until = start + std::chrono::duration<double>(seconds);
    size_t bytes = 0, messages = 0, attachments = 0;
    do {
        for (const std::string& text : corpus) {
            std::vector<std::string_view> lines = splitLines(text);
            Message m(lines, static_cast<int32_t>(text.size()) * 7);
            attachments += m.attachmentNames().size();
            bytes += text.size();
            ++messages;
        }
    } while (Clock::now() < until);
    double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

    std::printf("message_bench: %zu answers of %.1f KB average, %zu attachments seen\n", messages,
                corpusBytes / 1024.0 / corpus.size(), attachments);
    std::printf("message_bench: %.1f MB/s, %.0f messages/s\n", bytes / elapsed / 1e6, messages / elapsed);
    return attachments == 0;  // the multipart answers must have shown their attachments
}
