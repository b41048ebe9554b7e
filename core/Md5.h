// MD5 (RFC 1321), for the APOP digest.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

std::array<uint8_t, 16> md5(std::string_view data);
std::string md5Hex(std::string_view data);  // 32 lowercase hex digits
