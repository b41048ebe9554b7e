#include "core/FieldFile.h"

#include "core/MessageText.h"
#include "core/Platform.h"
#include "core/UserMessage.h"

FieldWriter::FieldWriter(uint32_t count, std::string_view magic) : bytes_(magic) { putU32(count); }

void FieldWriter::putU32(uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes_ += static_cast<char>(value >> (8 * i));
}

void FieldWriter::putString(std::string_view ansi) {
    std::u16string wide = ansiToUtf16(ansi);
    constexpr size_t kMaxUnits = (kFieldStringLimit - 1) / 2;
    if (wide.size() > kMaxUnits) wide.resize(kMaxUnits);
    putU32(static_cast<uint32_t>(wide.size() * 2));
    for (char16_t c : wide) {
        bytes_ += static_cast<char>(c & 0xFF);
        bytes_ += static_cast<char>(c >> 8);
    }
}

FieldReader::FieldReader(std::string_view data, std::string module, bool cutStringIsDamage)
    : data_(data), module_(std::move(module)), cutStringIsDamage_(cutStringIsDamage) {}

bool FieldReader::take(size_t n, std::string_view& out) {
    if (failed()) return false;
    if (n > data_.size() - pos_) {
        failure_ = Failure::Truncated;
        pos_ = data_.size();
        return false;
    }
    out = data_.substr(pos_, n);
    pos_ += n;
    return true;
}

bool FieldReader::damaged() {
    failure_ = Failure::DamagedString;
    pos_ = data_.size();
    showUserMessage(MSG_UnexpectedErrorIn, {module_});
    return false;
}

bool FieldReader::readHeader(std::string& magic, uint32_t& count) {
    std::string_view m;
    if (!take(4, m) || !readU32(count)) return false;
    magic = m;
    return true;
}

bool FieldReader::readU32(uint32_t& value) {
    std::string_view b;
    if (!take(4, b)) return false;
    value = 0;
    for (int i = 0; i < 4; ++i) value |= uint32_t(static_cast<uint8_t>(b[i])) << (8 * i);
    return true;
}

bool FieldReader::readI32(int32_t& value) {
    uint32_t v;
    if (!readU32(v)) return false;
    value = static_cast<int32_t>(v);
    return true;
}

bool FieldReader::readU8(uint8_t& value) {
    std::string_view b;
    if (!take(1, b)) return false;
    value = static_cast<uint8_t>(b[0]);
    return true;
}

bool FieldReader::readString(std::string& ansi) {
    uint32_t count;
    if (!readU32(count)) return false;
    if (count >= kFieldStringLimit || count % 2 != 0) return damaged();
    if (count > data_.size() - pos_) {
        if (cutStringIsDamage_) return damaged();
        failure_ = Failure::Truncated;
        return false;
    }
    std::string_view b;
    take(count, b);
    std::u16string wide(count / 2, u'\0');
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<char16_t>(static_cast<uint8_t>(b[2 * i]) | static_cast<uint8_t>(b[2 * i + 1]) << 8);
    ansi = utf16ToAnsi(wide);
    return true;
}
