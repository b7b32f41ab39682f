#include "inspect/checksum.h"

#include <nettle/sha1.h>
#include <stdio.h>
#include <zlib.h>

Checksums checksum(const uint8_t* data, size_t size) {
  Checksums sums;
  uLong crc = crc32(0L, Z_NULL, 0);
  struct sha1_ctx ctx;
  sha1_init(&ctx);
  // zlib counts in unsigned int: feed it in blocks it can take.
  for (size_t done = 0; done < size;) {
    size_t n = size - done < (1u << 30) ? size - done : (1u << 30);
    crc = crc32(crc, data + done, (uInt)n);
    sha1_update(&ctx, n, data + done);
    done += n;
  }
  sums.crc32 = (uint32_t)crc;
  uint8_t digest[SHA1_DIGEST_SIZE];
  sha1_digest(&ctx, sizeof digest, digest);
  static const char hex[] = "0123456789abcdef";
  sums.sha1.reserve(2 * SHA1_DIGEST_SIZE);
  for (uint8_t b : digest) {
    sums.sha1 += hex[b >> 4];
    sums.sha1 += hex[b & 15];
  }
  return sums;
}

std::string crc32_hex(uint32_t crc) {
  char text[9];
  snprintf(text, sizeof text, "%08x", crc);
  return text;
}
