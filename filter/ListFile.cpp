#include "filter/ListFile.h"

#include "core/FieldFile.h"
#include "core/FileIO.h"
#include "core/UserMessage.h"

// --- records

bool BaseFilter::writeBase(FieldWriter& out) const {
    out.putU8(uncertain ? 1 : 0);
    out.putU8(useCase ? 1 : 0);
    out.putU32(disabled);
    return true;
}

bool BaseFilter::readBase(FieldReader& in) {
    uint8_t u = 0, c = 0;
    uint32_t d = 0;
    if (!in.readU8(u) || !in.readU8(c) || !in.readU32(d)) return false;
    uncertain = u != 0;
    useCase = c != 0;
    disabled = d;
    return true;
}

bool BaseFilter::write(FieldWriter& out) const { return writeBase(out); }
bool BaseFilter::read(FieldReader& in) { return readBase(in); }

bool WordFilter::write(FieldWriter& out) const {
    out.putString(words);
    return writeBase(out);
}

bool WordFilter::read(FieldReader& in) { return in.readString(words) && readBase(in); }

bool SizeFilter::write(FieldWriter& out) const {
    out.putI32(upperBound);
    out.putI32(lowerBound);
    return writeBase(out);
}

bool SizeFilter::read(FieldReader& in) {
    return in.readI32(upperBound) && in.readI32(lowerBound) && readBase(in);
}

// --- files

namespace {

template <class T, class Make>
void parseList(std::string_view data, std::vector<T>& list, Make make) {
    // A list file that simply ends early is read silently as far as it goes.
    FieldReader in(data, "BaseFilter", false);
    std::string magic;
    uint32_t count = 0;
    if (!in.readHeader(magic, count) || magic != kFieldFileMagic) return;
    for (uint32_t i = 0; i < count; ++i) {
        T record = make();
        if (!record.read(in)) return;
        list.push_back(std::move(record));
    }
}

template <class T>
std::string format(const std::vector<T>& list) {
    FieldWriter out(static_cast<uint32_t>(list.size()));
    for (const T& record : list) record.write(out);
    return out.bytes();
}

}  // namespace

void parseWordList(std::string_view data, uint32_t field, std::vector<WordFilter>& list) {
    parseList(data, list, [field] { return WordFilter(field); });
}

void parseSizeList(std::string_view data, std::vector<SizeFilter>& list) {
    parseList(data, list, [] { return SizeFilter(); });
}

void readWordList(const std::string& path, uint32_t field, std::vector<WordFilter>& list) {
    std::string data;
    if (readWholeFile(path, data)) parseWordList(data, field, list);
}

void readSizeList(const std::string& path, std::vector<SizeFilter>& list) {
    std::string data;
    if (readWholeFile(path, data)) parseSizeList(data, list);
}

std::string formatList(const std::vector<WordFilter>& list) { return format(list); }
std::string formatList(const std::vector<SizeFilter>& list) { return format(list); }

bool writeList(const std::string& path, const std::vector<WordFilter>& list) {
    return writeFileOrReport(path, formatList(list));
}

bool writeList(const std::string& path, const std::vector<SizeFilter>& list) {
    return writeFileOrReport(path, formatList(list));
}

bool writeFileOrReport(const std::string& path, std::string_view bytes) {
    uint32_t error = 0;
    if (writeFileAtomically(path, bytes, &error)) return true;
    reportSystemError(error, "cannot write " + path, "BaseFilter");
    return false;
}

bool readFileOrReport(const std::string& path, std::string& out) {
    uint32_t error = 0;
    if (readWholeFile(path, out, kMaxDataFileBytes, &error)) return true;
    reportSystemError(error, "cannot read " + path, "BaseFilter");
    return false;
}
