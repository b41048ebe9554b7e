// What the filter editors accept: typed texts, sizes in kilobytes, and the
// rules that decide whether OK may take a record, so that a record the user
// confirms always reads back from its file as it was shown.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The most characters a text box takes: what a line buffer of 260 bytes of
// the list readers holds.
constexpr size_t kMaxTypedText = 259;
// The largest threshold in KB: times 1024 it still fits the signed 32-bit
// field (a larger one would wrap negative and turn the threshold off).
constexpr int32_t kMaxThresholdKb = 2097151;

// `text` with its line breaks as blanks: every file keeps a record's text on
// one line.
std::string oneLine(std::string_view text);
// A word or an address as a record takes it: one line of at most
// kMaxTypedText characters.
std::string takeText(std::string_view text);

// One threshold as an editor shows it: its check box and its box's text.
struct KbInput {
    bool ticked = false;
    std::string text;
};

// The whole kilobytes of a size box; 0 when they can be taken, else the
// message id of the reason (not a number, or above kMaxThresholdKb).
uint32_t parseKb(std::string_view text, int32_t& kb);
// A stored threshold as the boxes and lists show it: whole KB, rounded
// toward zero.
inline int32_t thresholdKb(int32_t bytes) { return bytes / 1024; }
// The threshold to store: the ticked box's KB times 1024, -1 when not ticked.
// Only for input that passed the checks below.
int32_t thresholdBytes(const KbInput& input);

// Why the size editor's input cannot be taken (a message id), or 0: at least
// one box ticked, every ticked box a number within the limit, and a ticked
// "Smaller than" alone not 0 (it would match no message).
uint32_t sizeInputProblem(const KbInput& larger, const KbInput& smaller);
// The same for the power filter editor: a name, ticked boxes within the
// limit, and a ticked condition, "Larger than", or "Smaller than" other than 0.
uint32_t powerInputProblem(std::string_view name, bool anyCondition, const KbInput& larger, const KbInput& smaller);

// Address lists are shown sorted without regard to the case of A to Z, equal
// texts keeping their order. insertSorted returns the index of the new entry.
void sortAddresses(std::vector<std::string>& list);
size_t insertSorted(std::vector<std::string>& list, std::string address);
