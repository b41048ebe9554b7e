// The identity CRC: the published CRC-32 table (reflected polynomial
// 0xEDB88320) with a register that starts at 0 and gets no final inversion.
// It names messages, read-marks files and friends; the values are stored in
// files, so this exact variant is part of the file formats.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

uint32_t crc32(const void* data, size_t size, uint32_t crc = 0);
inline uint32_t crc32(std::string_view text) { return crc32(text.data(), text.size()); }
