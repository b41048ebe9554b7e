#include "message/Message.h"

#include <algorithm>

#include "core/Crc32.h"
#include "core/EventLog.h"
#include "core/MessageText.h"
#include "core/Platform.h"
#include "core/TimeParser.h"
#include "message/Charset.h"
#include "message/MimeDecode.h"
#include "core/TextUtil.h"

namespace {

// The language of the message table does not change during a run.
const std::string& noneText() {
    static const std::string text = formatMessage(MSG_None);
    return text;
}

bool isBlankText(std::string_view s) { return trimLeft(s).empty(); }

// The value after `name` when the header starts with it (without regard to
// case), with leading white space removed except a lone white character.
bool matchField(std::string_view header, std::string_view name, std::string_view& value) {
    if (header.empty() || !startsWithNoCase(header, name)) return false;
    value = header.substr(name.size());
    while (value.size() > 1 && isWhite(value.front())) value.remove_prefix(1);
    return true;
}

// The number at the start of a text as atoi reads it, held to the int32 range.
int32_t leadingNumber(std::string_view s) {
    size_t pos = 0;
    int32_t n = 0;
    scanDecimal(s, pos, n);
    return n;
}

size_t skipSpaces(std::string_view s, size_t i) {
    while (i < s.size() && s[i] == ' ') ++i;
    return i;
}

constexpr size_t npos = std::string_view::npos;

}  // namespace

// The parsing state of one construction: the lines, the position, and the
// work budget that keeps hostile MIME nesting from going quadratic.
class MessageParser {
public:
    MessageParser(Message& m, std::span<const std::string_view> lines)
        : m_(m), lines_(lines), budget_(16 * lines.size() + 4096) {
        for (std::string_view l : lines) inputBytes_ += l.size();
    }

    void run();

private:
    enum Field { From, Subject, Date, To, Cc, Bcc, MessageId, XPriority, Disposition, Type, FieldCount };

    // Unfolds the header at line i (and its continuation lines, up to `end`)
    // into a view that stays valid until the next call.
    std::string_view unfold(size_t& i, size_t end);
    void offerHeader(std::string_view header, bool matched[]);
    void takeDisposition(std::string_view value, ContentDisposition& d);
    void walk(size_t i, size_t end, const ContentType& enclosing, int depth);
    bool spend() { return budget_ > 0 && (--budget_, true); }

    Message& m_;
    std::span<const std::string_view> lines_;
    size_t budget_;
    size_t inputBytes_ = 0;
    size_t bodyLineBytes_ = 0;
    std::string unfolded_;
    std::string decoded_;
};

std::string_view MessageParser::unfold(size_t& i, size_t end) {
    std::string_view first = lines_[i++];
    bool folded = i < end && !lines_[i].empty() && (lines_[i][0] == ' ' || lines_[i][0] == '\t');
    bool leadingBlank = first[0] == ' ' || first[0] == '\t';
    if (!folded && !leadingBlank) return first;
    unfolded_.clear();
    if (leadingBlank) unfolded_ = "\r\n";
    unfolded_.append(first);
    while (i < end && !lines_[i].empty() && (lines_[i][0] == ' ' || lines_[i][0] == '\t'))
        unfolded_.append(trimLeft(lines_[i++]));
    return unfolded_;
}

void MessageParser::takeDisposition(std::string_view value, ContentDisposition& d) {
    Message::parse_content_disposition(trimLeft(value), d);
    if (d.type == "attachment") {
        m_.hasAttachment_ = true;
        auto name = d.params.find("filename");
        if (name != d.params.end() && !name->second.empty()) m_.attachmentNames_.push_back(name->second);
    }
}

void MessageParser::offerHeader(std::string_view header, bool matched[]) {
    struct Target {
        std::string_view name;
        std::string* field;
        bool* encoded;
    };
    const Target targets[] = {
        {"From:", &m_.from_, &m_.fromEncoded_},
        {"Subject:", &m_.subject_, &m_.subjectEncoded_},
        {"Date:", &m_.date_, &m_.dateEncoded_},
        {"To:", &m_.to_, &m_.toEncoded_},
        {"Cc:", &m_.cc_, &m_.ccEncoded_},
        {"Bcc:", &m_.bcc_, &m_.bccEncoded_},
        {"Message-ID:", &m_.messageId_, nullptr},
        {"X-Priority:", nullptr, nullptr},
        {"Content-Disposition:", nullptr, nullptr},
        {"Content-Type:", nullptr, nullptr},
    };
    std::string_view value;
    for (int f = 0; f < FieldCount; ++f) {
        if (matched[f] || !matchField(header, targets[f].name, value)) continue;
        matched[f] = true;
        if (targets[f].field) {
            std::string& field = *targets[f].field;
            field.clear();
            bool encoded = mime_decode(value, field);
            if (targets[f].encoded) *targets[f].encoded = encoded;
            if (f == Date) m_.dateSeen_ = true;
            return;
        }
        decoded_.clear();
        mime_decode(value, decoded_);
        if (f == XPriority)
            m_.priority_ = leadingNumber(decoded_);
        else if (f == Disposition)
            takeDisposition(decoded_, m_.top_.disposition);
        else
            Message::parse_content_type(trimLeft(decoded_), m_.top_.contentType);
        return;
    }
}

void MessageParser::run() {
    size_t n = lines_.size();
    size_t i = 0;
    bool matched[FieldCount] = {};
    while (i < n) {
        if (lines_[i].empty()) {
            ++i;
            break;
        }
        std::string_view header = unfold(i, n);
        offerHeader(header, matched);
        m_.headerText_.append(header);
        m_.headerText_.append("\r\n");
    }
    size_t bodyStart = i;
    size_t bodyBytes = 0;
    for (size_t k = bodyStart; k < n; ++k) bodyBytes += lines_[k].size() + 2;
    m_.body_.reserve(bodyBytes);
    for (size_t k = bodyStart; k < n; ++k) {
        m_.body_.append(lines_[k]);
        m_.body_.append("\r\n");
    }
    const ContentType& type = m_.top_.contentType;
    if (type.type == "multipart" && !type.boundaryStart.empty() && !type.boundaryEnd.empty())
        walk(bodyStart, n, type, 0);
}

// The parts of a multipart body between i and end. A nested multipart is
// walked over its own range and then the enclosing boundary is searched for
// again from where it began, so parts of a truncated inner multipart still
// lead to the outer ones. Every line looked at costs budget; when it runs
// out, or the nesting is too deep, the walk goes no further.
void MessageParser::walk(size_t i, size_t end, const ContentType& enclosing, int depth) {
    for (;;) {
        while (i < end && lines_[i] != enclosing.boundaryStart) {
            if (!spend()) return;
            ++i;
        }
        if (i >= end) return;
        ++i;
        auto part = std::make_unique<MessagePart>();
        bool dispositionSeen = false, typeSeen = false;
        while (i < end && lines_[i] != enclosing.boundaryStart && lines_[i] != enclosing.boundaryEnd) {
            if (!spend()) return;
            if (lines_[i].empty()) {
                ++i;
                break;
            }
            size_t before = i;
            std::string_view header = unfold(i, end);
            budget_ -= std::min(budget_, i - before - 1);
            std::string_view value;
            if (!dispositionSeen && matchField(header, "Content-Disposition:", value)) {
                dispositionSeen = true;
                decoded_.clear();
                mime_decode(value, decoded_);
                takeDisposition(decoded_, part->disposition);
            } else if (!typeSeen && matchField(header, "Content-Type:", value)) {
                typeSeen = true;
                decoded_.clear();
                mime_decode(value, decoded_);
                Message::parse_content_type(trimLeft(decoded_), part->contentType);
            }
        }
        m_.parts_.push_back(std::move(part));
        const ContentType& type = m_.parts_.back()->contentType;
        if (type.type == "multipart" && !type.boundaryStart.empty() && !type.boundaryEnd.empty()) {
            if (depth + 1 < Message::kMaxNesting) {
                size_t nestedEnd = i;
                while (nestedEnd < end && lines_[nestedEnd] != type.boundaryEnd) {
                    if (!spend()) return;
                    ++nestedEnd;
                }
                // The part lives in parts_, which may grow: walk a copy of its type.
                ContentType nested = type;
                walk(i, nestedEnd, nested, depth + 1);
                if (budget_ == 0) return;
            }
            continue;
        }
        while (i < end && lines_[i] != enclosing.boundaryStart && lines_[i] != enclosing.boundaryEnd) {
            if (!spend()) return;
            // A line counted again by overlapping broken parts is not kept again
            // past the size of the whole input.
            if (bodyLineBytes_ <= inputBytes_) {
                m_.bodyLines_.emplace_back(lines_[i]);
                bodyLineBytes_ += lines_[i].size() + 1;
            }
            ++i;
        }
    }
}

Message::Message(std::span<const std::string_view> lines, int32_t size) : size_(size) {
    time_ = currentTime();
    const std::string& none = noneText();
    date_ = from_ = messageId_ = sizeText_ = subject_ = to_ = none;
    try {
        MessageParser(*this, lines).run();
    } catch (...) {
        eventLog().log("Error in Message::Message.\n");
    }
    try {
        finish();
    } catch (...) {
        eventLog().log("Error in Message::Message.\n");
    }
}

Message::Message(const std::vector<std::string>& lines, int32_t size)
    : Message(std::vector<std::string_view>(lines.begin(), lines.end()), size) {}

Message::Message(uint32_t crc) : crc_(crc) {
    time_ = currentTime();
    const std::string& none = noneText();
    date_ = from_ = messageId_ = sizeText_ = subject_ = to_ = none;
}

Message::Message(const Message& o, CopyParsed)
    : top_(o.top_),
      hasAttachment_(o.hasAttachment_),
      fromEncoded_(o.fromEncoded_),
      subjectEncoded_(o.subjectEncoded_),
      dateEncoded_(o.dateEncoded_),
      toEncoded_(o.toEncoded_),
      ccEncoded_(o.ccEncoded_),
      bccEncoded_(o.bccEncoded_),
      dateSeen_(o.dateSeen_),
      size_(o.size_),
      priority_(o.priority_),
      crc_(o.crc_),
      body_(o.body_),
      bcc_(o.bcc_),
      cc_(o.cc_),
      date_(o.date_),
      from_(o.from_),
      headerText_(o.headerText_),
      messageId_(o.messageId_),
      sizeText_(o.sizeText_),
      subject_(o.subject_),
      to_(o.to_),
      attachmentNames_(o.attachmentNames_),
      time_(o.dateSeen_ ? o.time_ : currentTime()),
      bodyLines_(o.bodyLines_) {
    parts_.reserve(o.parts_.size());
    for (const auto& part : o.parts_) parts_.push_back(std::make_unique<MessagePart>(*part));
}

std::unique_ptr<Message> Message::parsedCopy(const Message& other) {
    return std::unique_ptr<Message>(new Message(other, CopyParsed{}));
}

std::unique_ptr<Message> Message::clone() const {
    std::unique_ptr<Message> copy = parsedCopy(*this);
    copy->deleted_ = deleted_, copy->read_ = read_;
    copy->spammer_ = spammer_, copy->uncertain_ = uncertain_, copy->friend_ = friend_;
    copy->filterReason_ = filterReason_;
    copy->time_ = time_;
    return copy;
}

void Message::finish() {
    sizeText_ = formatSize(size_, decimalSeparator());
    // A blank Message-ID identifies nothing: every such message would share
    // one CRC, and a deletion mark on one would delete them all.
    if (messageId_ == noneText() || isBlankText(messageId_)) {
        std::string key;
        key.reserve(from_.size() + subject_.size() + date_.size() + sizeText_.size());
        key.append(from_).append(subject_).append(date_).append(sizeText_);
        crc_ = crc32(key);
    } else {
        crc_ = crc32(messageId_);
    }
    if (dateSeen_) time_ = TimeParser(date_).time();
    if (!subjectEncoded_ && equalsNoCase(top_.contentType.charset, "koi8-r")) {
        std::string recoded;
        koi8rToWindows1251(subject_, recoded);
        subject_ = std::move(recoded);
    }
}

std::string Message::formatSize(int64_t size, std::string_view decimalSeparator) {
    struct Unit {
        int64_t bytes;
        uint32_t message;
    };
    static constexpr Unit units[] = {{int64_t{1} << 30, MSG_SizeGB}, {1 << 20, MSG_SizeMB}, {1 << 10, MSG_SizeKB}};
    for (const Unit& u : units) {
        if (size < u.bytes) continue;
        int decimals = size >= 100 * u.bytes ? 0 : size >= 10 * u.bytes ? 1 : 2;
        int64_t divisor = decimals == 0 ? u.bytes : decimals == 1 ? u.bytes / 10 : u.bytes / 100;
        std::string digits = std::to_string(size / divisor);
        if (decimals > 0) digits.insert(digits.size() - static_cast<size_t>(decimals), decimalSeparator);
        return formatMessage(u.message, {digits});
    }
    return formatMessage(MSG_SizeBytes, {std::to_string(size)});
}

void Message::markDeleted(bool countAsRead) {
    deleted_ = true;
    if (countAsRead) read_ = true;
    friend_ = false;
}

namespace {

// What the parsers log when they end on an error (only allocation can fail).
void logParseError(const char* function, std::string_view value) {
    int shown = static_cast<int>(std::min<size_t>(value.size(), 1024));
    eventLog().log("Error in Message::%s. Input string=%.*s\n", function, shown, value.data());
}

}  // namespace

void Message::parse_content_disposition(std::string_view value, ContentDisposition& d) {
    try {
        parseDisposition(value, d);
    } catch (...) {
        logParseError("parse_content_disposition", value);
    }
}

void Message::parse_content_type(std::string_view value, ContentType& c) {
    try {
        parseType(value, c);
    } catch (...) {
        logParseError("parse_content_type", value);
    }
}

void Message::parseDisposition(std::string_view value, ContentDisposition& d) {
    if (value.empty()) return;
    size_t semi = value.find(';');
    d.type.assign(value.substr(0, semi));
    if (d.type.empty() || semi == npos) return;
    size_t pos = semi;
    while (pos < value.size() && value[pos] == ';') {
        size_t nameStart = skipSpaces(value, pos + 1);
        if (nameStart >= value.size()) return;
        size_t eq = value.find('=', nameStart);
        if (eq == npos || eq == nameStart) return;
        std::string name = lowerAscii(trim(value.substr(nameStart, eq - nameStart)));
        if (eq + 1 >= value.size()) return;
        size_t valueStart = skipSpaces(value, eq + 1);
        if (valueStart >= value.size()) return;
        std::string_view param;
        if (value[valueStart] == '"') {
            size_t q = valueStart + 1;
            if (value.size() - q <= 1) return;
            size_t close = q;
            while (close < value.size() && !(value[close] == '"' && value[close - 1] != '\\')) ++close;
            param = value.substr(q, close - q);
        } else {
            param = value.substr(valueStart, value.find(';', valueStart) - valueStart);
        }
        if (!name.empty() && !param.empty()) d.params[name] = std::string(param);
        pos = value.find(';', valueStart);
    }
}

void Message::parseType(std::string_view value, ContentType& c) {
    if (value.empty()) return;
    size_t k = value.find_first_of("/;");
    c.type.assign(value.substr(0, k));
    c.subtype.clear();
    if (k == npos) return;
    size_t pos = k;
    if (value[k] == '/') {
        if (k + 1 >= value.size()) return;
        pos = value.find(';', k + 1);
        c.subtype.assign(value.substr(k + 1, pos - k - 1));
    }
    // Parameters. A malformed tail ends the list but keeps what came before
    // it, so "boundary=x;" still makes a multipart and "text/plain;" text.
    while (pos < value.size()) {
        while (pos < value.size() && (value[pos] == ';' || isWhite(value[pos]))) ++pos;
        if (pos >= value.size()) break;
        size_t eq = value.find('=', pos);
        if (eq == npos || eq + 1 >= value.size()) break;
        if (eq == pos) {
            pos = value.find(';', eq + 1);
            continue;
        }
        std::string name = lowerAscii(trim(value.substr(pos, eq - pos)));
        size_t valueStart = skipSpaces(value, eq + 1);
        if (valueStart >= value.size()) break;
        std::string_view param;
        if (value[valueStart] == '"') {
            size_t q = valueStart + 1;
            if (value.size() - q <= 1) break;
            param = value.substr(q, value.find('"', q) - q);
        } else {
            param = value.substr(valueStart, value.find(';', valueStart) - valueStart);
        }
        if (!name.empty() && !param.empty()) c.params[name] = std::string(param);
        pos = value.find(';', valueStart);
    }
    if (c.type == "multipart") {
        auto boundary = c.params.find("boundary");
        if (boundary != c.params.end() && !boundary->second.empty()) {
            c.boundaryStart = "--" + boundary->second;
            c.boundaryEnd = c.boundaryStart + "--";
        } else {
            c.type = "text";
            c.subtype = "plain";
            c.params.clear();
        }
    }
    if (c.type == "text") {
        auto charset = c.params.find("charset");
        c.charset = charset != c.params.end() && !charset->second.empty() ? charset->second : "us-ascii";
    }
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t lf = text.find('\n', start);
        size_t stop = lf == npos ? text.size() : lf;
        size_t len = stop - start;
        if (len > 0 && text[stop - 1] == '\r') --len;
        lines.push_back(text.substr(start, len));
        if (lf == npos) break;
        start = lf + 1;
    }
    return lines;
}
