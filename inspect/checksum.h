// The checksums owners and archives name EPROM dumps by: CRC-32 (as zip
// files and ROM lists print it) and SHA-1, both lower-case hex.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

struct Checksums {
  uint32_t crc32 = 0;
  std::string sha1;  // 40 hex digits
};

Checksums checksum(const uint8_t* data, size_t size);

// "3ab63275": eight hex digits, as the factory tables print it.
std::string crc32_hex(uint32_t crc);
