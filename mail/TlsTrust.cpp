#include "mail/TlsTrust.h"

#include <cstdio>

#include "core/MessageText.h"

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string hexOf(const Sha256Digest& digest, bool upper, const char* separator) {
    static const char kLower[] = "0123456789abcdef", kUpper[] = "0123456789ABCDEF";
    const char* digits = upper ? kUpper : kLower;
    std::string out;
    for (size_t i = 0; i < digest.size(); ++i) {
        if (i) out += separator;
        out += digits[digest[i] >> 4];
        out += digits[digest[i] & 15];
    }
    return out;
}

// The chain policy's codes (winerror.h), spelled out here for portable code.
constexpr uint32_t kCertExpired = 0x800B0101;         // CERT_E_EXPIRED
constexpr uint32_t kCertUntrustedRoot = 0x800B0109;   // CERT_E_UNTRUSTEDROOT
constexpr uint32_t kCertChaining = 0x800B010A;        // CERT_E_CHAINING
constexpr uint32_t kCertUntrustedTest = 0x800B010D;   // CERT_E_UNTRUSTEDTESTROOT
constexpr uint32_t kCertNameMismatch = 0x800B010F;    // CERT_E_CN_NO_MATCH
constexpr uint32_t kCertUntrustedCa = 0x800B0112;     // CERT_E_UNTRUSTEDCA

}  // namespace

bool parseFingerprint(std::string_view text, Sha256Digest& out) {
    size_t digits = 0;
    for (char c : text) {
        if (c == ':' || c == ' ' || c == '\t') continue;
        int v = hexValue(c);
        if (v < 0 || digits >= 64) return false;
        if (digits % 2 == 0) out[digits / 2] = static_cast<uint8_t>(v << 4);
        else out[digits / 2] = static_cast<uint8_t>(out[digits / 2] | v);
        ++digits;
    }
    return digits == 64;
}

std::string fingerprintText(const Sha256Digest& digest) { return hexOf(digest, true, ":"); }

std::string fingerprintHex(const Sha256Digest& digest) { return hexOf(digest, false, ""); }

bool fingerprintMatches(std::string_view stored, const Sha256Digest& digest) {
    Sha256Digest parsed;
    return parseFingerprint(stored, parsed) && parsed == digest;
}

TrustProblem trustProblemOf(uint32_t policyError) {
    switch (policyError) {
    case 0:
        return TrustProblem::None;
    case kCertUntrustedRoot:
    case kCertChaining:
    case kCertUntrustedTest:
    case kCertUntrustedCa:
        return TrustProblem::UnknownIssuer;
    case kCertExpired:
        return TrustProblem::Expired;
    case kCertNameMismatch:
        return TrustProblem::NameMismatch;
    default:
        return TrustProblem::Other;
    }
}

std::string trustProblemText(TrustProblem problem, uint32_t policyError) {
    switch (problem) {
    case TrustProblem::UnknownIssuer:
        return formatMessage(MSG_TrustUnknownIssuer);
    case TrustProblem::Expired:
        return formatMessage(MSG_TrustExpired);
    case TrustProblem::NameMismatch:
        return formatMessage(MSG_TrustNameMismatch);
    default:
        return formatMessage(MSG_TrustOther, {hexCode(policyError)});
    }
}

std::string hexCode(uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(code));
    return text;
}
