// One message on a POP3 server as the checker knows it: the header and the
// first body lines fetched with TOP, parsed into the fields that the lists,
// the filters and the viewers use, plus the marks that filters and the user
// set. A record is built on a worker thread and afterwards only its marks and
// filterReason change (under the account's lock).
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A parsed Content-Disposition value.
struct ContentDisposition {
    std::string type;                          // the value up to its first ";", as written
    std::map<std::string, std::string> params; // lower-cased, trimmed name -> value
};

// A parsed Content-Type value.
struct ContentType {
    std::string type;           // before the first "/" or ";", case kept
    std::string subtype;        // after the "/" up to the next ";"
    std::string boundaryStart;  // "--" boundary, only for "multipart" with a boundary
    std::string boundaryEnd;    // "--" boundary "--"
    std::string charset;        // "us-ascii" for "text" without one; else empty unless text
    std::map<std::string, std::string> params; // lower-cased, trimmed name -> value
};

// One MIME part found in the fetched lines.
struct MessagePart {
    ContentDisposition disposition;
    ContentType contentType;
};

class Message {
public:
    // Parses the lines of a TOP answer (without line ends, dot-stuffing
    // already undone) and the size from LIST (-1 when unknown). Never fails:
    // trouble is logged and the record keeps what was parsed. The lines are
    // only read during construction; the record keeps copies of what it needs.
    Message(std::span<const std::string_view> lines, int32_t size);
    Message(const std::vector<std::string>& lines, int32_t size);

    // A placeholder remembered from an earlier check: only its identity.
    explicit Message(uint32_t crc);

    // What parsing the lines of `other` again would give: its parsed fields
    // (a message without a date takes the time of now, as construction
    // does), without its marks and filter reason. Reads only the fields that
    // never change after construction, so `other` may be marked meanwhile.
    static std::unique_ptr<Message> parsedCopy(const Message& other);

    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;

    // A copy of the record with its marks (a message kept from an earlier
    // check when its header could not be fetched again).
    std::unique_ptr<Message> clone() const;

    // Parameter parsers, for headers and parts alike. They never fail: a
    // malformed parameter ends the list and keeps what was read before it
    // (a Content-Type still gets its boundary and charset from those).
    static void parse_content_type(std::string_view value, ContentType& c);
    static void parse_content_disposition(std::string_view value, ContentDisposition& d);

    // Size as a short text ("1.53 KB") with the given decimal separator;
    // negative sizes (unknown) show as "-1 Bytes". Mailbox totals pass 2 GB.
    static std::string formatSize(int64_t size, std::string_view decimalSeparator);

    // --- the parsed record
    bool hasAttachment() const { return hasAttachment_; }  // an "attachment" disposition was seen
    bool fromEncoded() const { return fromEncoded_; }      // From held an encoded word
    bool subjectEncoded() const { return subjectEncoded_; }
    bool dateEncoded() const { return dateEncoded_; }
    bool toEncoded() const { return toEncoded_; }
    bool ccEncoded() const { return ccEncoded_; }
    bool bccEncoded() const { return bccEncoded_; }
    int32_t size() const { return size_; }                  // bytes, from LIST
    int32_t priority() const { return priority_; }          // X-Priority number, 3 without one
    uint32_t crc() const { return crc_; }                   // identity between checks
    const std::string& body() const { return body_; }       // lines after the header, each + CR LF
    const std::string& bcc() const { return bcc_; }         // decoded; "" without header
    const std::string& cc() const { return cc_; }           // decoded; "" without header
    const std::string& date() const { return date_; }       // decoded Date as received; None text without
    const std::string& from() const { return from_; }       // decoded; None text without
    const std::string& headerText() const { return headerText_; }  // unfolded headers, each + CR LF
    const std::string& messageId() const { return messageId_; }    // decoded; None text without
    const std::string& sizeText() const { return sizeText_; }      // "1.53 KB", "-1 Bytes"
    const std::string& subject() const { return subject_; } // decoded (KOI8-R recoded); None text without
    const std::string& to() const { return to_; }           // decoded; None text without
    const std::vector<std::string>& attachmentNames() const { return attachmentNames_; }  // in order met
    int64_t time() const { return time_; }                  // Date as seconds since 1970 UTC; else construction time
    const std::string& filterReason() const { return filterReason_; }  // set by the matching filter

    const ContentType& contentType() const { return top_.contentType; }         // the message's own
    const ContentDisposition& disposition() const { return top_.disposition; }  // the message's own
    const std::string& charset() const { return top_.contentType.charset; }     // for showing the body
    const std::vector<std::string>& bodyLines() const { return bodyLines_; }    // lines of non-multipart parts
    const std::vector<std::unique_ptr<MessagePart>>& parts() const { return parts_; }  // every part, nested too

    // --- marks
    bool deleted() const { return deleted_; }      // to be deleted on the server
    bool read() const { return read_; }            // seen by the user
    bool spammer() const { return spammer_; }      // matched the spammers list
    bool uncertain() const { return uncertain_; }  // matched a filter that does not delete
    bool isFriend() const { return friend_; }      // matched the friends list ("friend" is a keyword)

    void markDeleted(bool countAsRead);  // deleted; read too when countAsRead; clears friend
    void undelete() { deleted_ = false; }
    void markRead() { read_ = true; }
    void markUnread() { read_ = false; }
    void setFriend(bool flag) { friend_ = flag; }
    void setSpammer(bool flag) { spammer_ = flag; }
    void setUncertain(bool flag) { uncertain_ = flag; }
    void setFilterReason(const std::string& text) { filterReason_ = text; }

    // The deepest multipart nesting that the walk follows; deeper parts are skipped.
    static constexpr int kMaxNesting = 64;

private:
    struct CopyParsed {};
    Message(const Message& other, CopyParsed);
    void finish();
    static void parseType(std::string_view value, ContentType& c);
    static void parseDisposition(std::string_view value, ContentDisposition& d);

    MessagePart top_;
    bool hasAttachment_ = false;
    bool fromEncoded_ = false, subjectEncoded_ = false, dateEncoded_ = false;
    bool toEncoded_ = false, ccEncoded_ = false, bccEncoded_ = false;
    bool deleted_ = false, read_ = false, spammer_ = false, uncertain_ = false, friend_ = false;
    bool dateSeen_ = false;
    int32_t size_ = 0;
    int32_t priority_ = 3;
    uint32_t crc_ = 0;
    std::string body_, bcc_, cc_, date_, from_, headerText_, messageId_, sizeText_, subject_, to_;
    std::vector<std::string> attachmentNames_;
    int64_t time_ = 0;
    std::string filterReason_;
    std::vector<std::string> bodyLines_;
    std::vector<std::unique_ptr<MessagePart>> parts_;

    friend class MessageParser;
};

// Splits a TOP answer held as one text into its lines (at LF, dropping a CR
// before it); the views point into `text`.
std::vector<std::string_view> splitLines(std::string_view text);
