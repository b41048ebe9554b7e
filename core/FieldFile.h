// The binary format of the account file and the filter list files: the
// magic "KX10", a 32-bit record count, then records of little-endian
// integers and strings. A string is a 32-bit byte count followed by that many
// bytes of UTF-16LE text, converted from and to the ANSI code page.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

constexpr std::string_view kFieldFileMagic = "KX10";

// Strings whose byte count reaches this are refused as damage.
constexpr uint32_t kFieldStringLimit = 0x1FFFF;

// Builds a file's bytes in memory; write them with writeFileAtomically.
class FieldWriter {
public:
    // Starts with `magic` and the record count.
    explicit FieldWriter(uint32_t count, std::string_view magic = kFieldFileMagic);

    // Strings longer than the reader accepts are cut to the longest it
    // accepts (0xFFFF UTF-16 units), so every file written reads back.
    void putString(std::string_view ansi);
    void putU32(uint32_t value);
    void putI32(int32_t value) { putU32(static_cast<uint32_t>(value)); }
    void putU8(uint8_t value) { bytes_ += static_cast<char>(value); }

    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// Reads fields from bytes in memory (a whole file loaded with readWholeFile).
// Every read checks the bounds; the first failure makes every later read
// fail too, so a caller can read a whole record and check once.
class FieldReader {
public:
    enum class Failure { None, Truncated, DamagedString };

    // `module` names the reporting source in the error box for a damaged
    // string ("Acc_Serialize", "BaseFilter"). The bytes must outlive the
    // reader. `cutStringIsDamage` false: a string that runs past the end of
    // the data is a file that simply ends early, and fails silently as
    // Truncated (the filter lists); true: it shows the box like any damage.
    FieldReader(std::string_view data, std::string module, bool cutStringIsDamage = true);

    // The 4-byte magic and the count; false, silently, when the data is
    // shorter. The caller compares the magic.
    bool readHeader(std::string& magic, uint32_t& count);

    // A string: false when its count is kFieldStringLimit or more, odd, or
    // runs past the end of the data; each shows "Unexpected Error in '%1'."
    // naming the module (a cut string only with cutStringIsDamage). A count
    // that is itself cut off fails as Truncated without a message.
    bool readString(std::string& ansi);
    // Fixed fields: false, without a message, when the data ends first.
    bool readU32(uint32_t& value);
    bool readI32(int32_t& value);
    bool readU8(uint8_t& value);

    bool failed() const { return failure_ != Failure::None; }
    Failure failure() const { return failure_; }
    bool atEnd() const { return pos_ >= data_.size(); }
    size_t offset() const { return pos_; }

private:
    bool take(size_t n, std::string_view& out);
    bool damaged();

    std::string_view data_;
    std::string module_;
    bool cutStringIsDamage_;
    size_t pos_ = 0;
    Failure failure_ = Failure::None;
};
