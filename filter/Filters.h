// The filter records: the simple lists' word and size entries and the power
// filters, with the text and size tests they share and the reason texts that
// a match writes on a message.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

class FieldReader;
class FieldWriter;

// The base of every record of the binary list files. `disabled` is stored
// with every record but only power filters consult it.
class BaseFilter {
public:
    virtual ~BaseFilter() = default;

    // One record of a list file; false when a field could not be written or
    // read (the loader then stops, keeping the records before).
    virtual bool write(FieldWriter& out) const;
    virtual bool read(FieldReader& in);

    bool uncertain = false;  // on a match mark uncertain instead of deleted
    bool useCase = false;
    uint32_t disabled = 0;

protected:
    bool writeBase(FieldWriter& out) const;
    bool readBase(FieldReader& in);
};

// An entry of the From, Subject or To/Cc list. `field` names the list in the
// reason text; it is not stored, every entry takes its list's value.
class WordFilter : public BaseFilter {
public:
    WordFilter() = default;
    explicit WordFilter(uint32_t listField, std::string text = {})
        : words(std::move(text)), field(listField) {}

    bool write(FieldWriter& out) const override;
    bool read(FieldReader& in) override;

    std::string words;
    uint32_t field = 0;  // MSG_ColFrom, MSG_ColSubject or MSG_ColTo
};

// A size range in bytes. A threshold that is not used holds -1; "larger than"
// counts from 0, "smaller than" only above 0.
class SizeFilter : public BaseFilter {
public:
    bool write(FieldWriter& out) const override;
    bool read(FieldReader& in) override;

    bool upperActive() const { return upperBound >= 0; }
    bool lowerActive() const { return lowerBound > 0; }

    int32_t upperBound = -1;  // "Larger than"
    int32_t lowerBound = -1;  // "Smaller than"
};

// A named rule of up to seven conditions and a size range with a mark and
// actions. Kept in power.dat (text), never in a binary list file.
class PowerFilter : public SizeFilter {
public:
    enum Condition : int32_t { Contains = 0, DoesNotContain = 1 };

    // The mark is one choice of four; files edited by hand may set more than
    // one flag, and the evaluation then prefers friendly, then uncertain.
    void markDeletedChoice() { markAsDeleted = true, uncertain = false, markAsFriendly = false; }
    void markUncertainChoice() { markAsDeleted = false, uncertain = true, markAsFriendly = false; }
    void markFriendlyChoice() { markAsDeleted = false, uncertain = false, markAsFriendly = true; }
    void markNothingChoice() { markAsDeleted = false, uncertain = false, markAsFriendly = false; }

    // The mark that counts when a file set more than one flag.
    enum class Mark { Nothing, Uncertain, Deleted, Friendly };
    Mark mark() const {
        return markAsFriendly ? Mark::Friendly
               : uncertain    ? Mark::Uncertain
               : markAsDeleted ? Mark::Deleted
                               : Mark::Nothing;
    }

    bool anyCondition() const {
        return fromEnabled || subjectEnabled || toCcEnabled || attachEnabled || bodyEnabled ||
               priorityEnabled || headerEnabled;
    }
    bool sizeUsed() const { return lowerActive() || upperActive(); }

    std::string filterName;
    bool fromEnabled = false;
    bool subjectEnabled = false;
    bool toCcEnabled = false;
    bool attachEnabled = false;
    bool bodyEnabled = false;
    bool priorityEnabled = false;
    bool headerEnabled = false;
    int32_t fromCondition = Contains;
    int32_t subjectCondition = Contains;
    int32_t toCcCondition = DoesNotContain;
    int32_t attachCondition = Contains;
    int32_t bodyCondition = Contains;
    int32_t headerCondition = Contains;
    std::string fromWords;
    std::string subjectWords;
    std::string toCcWords;   // words separated by blanks or ";"
    int32_t priority = 3;    // X-Priority: 1 high, 3 normal, 5 low
    std::string attachWords;
    std::string bodyWords;
    std::string headerWords;
    bool markAsDeleted = true;
    bool markAsFriendly = false;
    bool runMailer = false;
    bool markAsRead = false;
    bool launchProgram = false;
    bool playSound = false;
    bool sendMsgToUrl = false;
    std::string launchProgramPath;
    std::string soundFile;
    std::string urlForSending;
    bool fromCase = false;
    bool subjectCase = false;
    bool toCcCase = false;
    bool attachCase = false;
    bool bodyCase = false;
    bool headerCase = false;
};

// One text condition. Both empty: true; only one empty: false whatever the
// condition. Otherwise whether `words` occurs in `text`, inverted for
// DoesNotContain (any other condition value counts as Contains).
bool matchText(std::string_view text, int32_t condition, std::string_view words, bool useCase);

// Whether `size` falls in the record's range: below an active lower bound,
// above an active upper bound, inside when upper < lower, outside when
// upper > lower; never when both are equal or neither is active.
bool sizeMatches(int64_t size, const SizeFilter& filter);

// The reason texts written on a matching message: "Subject: free offer",
// "Smaller than: 1024 and Larger than: 102400", "Power: name".
std::string describe(const WordFilter& filter);
std::string describe(const SizeFilter& filter);
std::string describe(const PowerFilter& filter);

// The name text of a message-table id, or "None" when the table lacks it.
std::string nameText(uint32_t id);
