// SHA-256 (FIPS 180-4), for the fingerprints of server certificates.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

using Sha256Digest = std::array<uint8_t, 32>;

Sha256Digest sha256(std::string_view data);
