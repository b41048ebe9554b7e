#include <gtest/gtest.h>

#include "core/MessageText.h"
#include "mail/TlsTrust.h"

namespace {

Sha256Digest counting() {
    Sha256Digest d;
    for (size_t i = 0; i < d.size(); ++i) d[i] = static_cast<uint8_t>(i * 7 + 0xA0);
    return d;
}

}  // namespace

TEST(Fingerprint, TypedFormsAndWhatIsRefused) {
    const Sha256Digest d = counting();
    const std::string hex = fingerprintHex(d);
    const std::string text = fingerprintText(d);
    ASSERT_EQ(hex.size(), 64u);
    ASSERT_EQ(text.size(), 95u);
    EXPECT_EQ(text.substr(0, 9), "A0:A7:AE:");
    std::string upperNoColons;
    for (char c : text)
        if (c != ':') upperNoColons += c;
    struct Row {
        std::string input;
        bool ok;
    } rows[] = {
        {hex, true},
        {text, true},
        {upperNoColons, true},
        {"  " + text + "\t", true},
        {"::" + hex + "::", true},
        {hex.substr(0, 63), false},                  // a digit short
        {hex + "0", false},                          // a digit over
        {hex.substr(0, 62) + "g0", false},           // not hex
        {hex.substr(0, 62) + "-0", false},           // separators other than ":" and blanks
        {"", false},
        {std::string(64, ':'), false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.input);
        Sha256Digest parsed{};
        EXPECT_EQ(parseFingerprint(r.input, parsed), r.ok);
        if (r.ok) {
            EXPECT_EQ(parsed, d);
        }
        EXPECT_EQ(fingerprintMatches(r.input, d), r.ok);
    }
    Sha256Digest other = d;
    other[31] ^= 1;
    EXPECT_FALSE(fingerprintMatches(hex, other));
}

TEST(Fingerprint, ChainPolicyErrorsAsReasons) {
    struct Row {
        uint32_t error;
        TrustProblem problem;
        uint32_t text;
    } rows[] = {
        {0, TrustProblem::None, 0},
        {0x800B0109, TrustProblem::UnknownIssuer, MSG_TrustUnknownIssuer},  // untrusted root (self-signed)
        {0x800B010A, TrustProblem::UnknownIssuer, MSG_TrustUnknownIssuer},  // chain does not end in a root
        {0x800B0112, TrustProblem::UnknownIssuer, MSG_TrustUnknownIssuer},
        {0x800B0101, TrustProblem::Expired, MSG_TrustExpired},
        {0x800B010F, TrustProblem::NameMismatch, MSG_TrustNameMismatch},
        {0x800B010C, TrustProblem::Other, 0},  // revoked
        {0x80096004, TrustProblem::Other, 0},  // bad signature
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.error);
        EXPECT_EQ(trustProblemOf(r.error), r.problem);
        if (r.text) {
            EXPECT_EQ(trustProblemText(r.problem, r.error), formatMessage(r.text));
        }
    }
    EXPECT_EQ(trustProblemText(TrustProblem::Other, 0x800B010C), formatMessage(MSG_TrustOther, {"800B010C"}));
}
