// MD5 (RFC 1321) and HMAC-MD5 (RFC 2104), for the APOP login and the
// CRAM-MD5 answer. Our own code: the protocol clients need only these few
// calls and the engine links nothing but the platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct Md5Context {
  uint32_t a, b, c, d;  // chaining words
  uint32_t blocks;      // 64-byte blocks already compressed
  uint8_t buffer[64];   // input not yet compressed; after Md5Final the digest
  int32_t buffered;     // bytes held in the buffer (0 to 64)
  uint32_t finalised;   // 0 or 1
};

void Md5Init(Md5Context* context);
// Feeds bytes; a null pointer only compresses a full buffer.
void Md5Update(Md5Context* context, const void* bytes, size_t length);
void Md5Final(Md5Context* context);
// Finalises first when needed, then copies the 16-byte digest.
void Md5GetDigest(uint8_t out[16], Md5Context* context);
// MD5 of the NUL-terminated input as 32 lower-case hex digits and a NUL
// (`out` holds at least 33 bytes).
void Md5HexString(char* out, const char* input);
// MD5 of `length` bytes as 32 lower-case hex digits.
std::string Md5Hex(const void* bytes, size_t length);
void HmacMd5(uint8_t out[16], const void* text, size_t textLength, const void* key, size_t keyLength);
// HmacMd5 as 32 lower-case hex digits and a NUL (at least 33 bytes).
void HmacMd5Hex(char* out, const void* text, size_t textLength, const void* key, size_t keyLength);
