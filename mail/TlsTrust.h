// What the program decides about a server's certificate, apart from the
// system calls that build and check its chain: the SHA-256 fingerprints as
// the user reads and types them, and the chain check's verdict as a reason.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "core/Sha256.h"

// A fingerprint as typed or stored: 64 hex digits, in either case, with any
// number of ":" (and blanks) between them. False for anything else.
bool parseFingerprint(std::string_view text, Sha256Digest& out);
// "AB:CD:...": the form certificate viewers show, for the user to compare.
std::string fingerprintText(const Sha256Digest& digest);
// 64 lowercase hex digits: the form stored and given to --trust.
std::string fingerprintHex(const Sha256Digest& digest);
// Whether `stored` (the account's trusted certificate) names `digest`; an
// empty or unreadable stored value names nothing.
bool fingerprintMatches(std::string_view stored, const Sha256Digest& digest);

enum class TrustProblem { None, UnknownIssuer, Expired, NameMismatch, Other };

// The reason in the SSL chain policy's result (its dwError: 0, CERT_E_*,
// TRUST_E_*).
TrustProblem trustProblemOf(uint32_t policyError);
// The reason's text for the untrusted-certificate message; `policyError`
// fills the text of Other.
std::string trustProblemText(TrustProblem problem, uint32_t policyError);

// A code as the texts show it: "0x" and eight hex digits go in the message,
// which adds the "0x".
std::string hexCode(uint32_t code);
