#include "engine/transport/Md5.h"

#include <string>

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

uint32_t Rotate(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void Compress(Md5Context* ctx, const uint8_t* block) {
  uint32_t m[16];
  for (int i = 0; i < 16; ++i) {
    m[i] = static_cast<uint32_t>(block[i * 4]) | (static_cast<uint32_t>(block[i * 4 + 1]) << 8) |
           (static_cast<uint32_t>(block[i * 4 + 2]) << 16) | (static_cast<uint32_t>(block[i * 4 + 3]) << 24);
  }
  uint32_t a = ctx->a, b = ctx->b, c = ctx->c, d = ctx->d;
  for (int i = 0; i < 64; ++i) {
    uint32_t f;
    int g;
    if (i < 16) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (i < 32) {
      f = (d & b) | (~d & c);
      g = (5 * i + 1) % 16;
    } else if (i < 48) {
      f = b ^ c ^ d;
      g = (3 * i + 5) % 16;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) % 16;
    }
    const uint32_t next = b + Rotate(a + f + kSine[i] + m[g], kShift[i]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  ctx->a += a;
  ctx->b += b;
  ctx->c += c;
  ctx->d += d;
}

void FlushFull(Md5Context* ctx) {
  if (ctx->buffered == 64) {
    Compress(ctx, ctx->buffer);
    ++ctx->blocks;
    ctx->buffered = 0;
  }
}

void PutWord(uint8_t* out, uint32_t w) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(w >> (8 * i));
}

void Hex(char* out, const uint8_t digest[16]) {
  static const char kDigits[] = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) {
    out[i * 2] = kDigits[digest[i] >> 4];
    out[i * 2 + 1] = kDigits[digest[i] & 0xF];
  }
  out[32] = '\0';
}

}  // namespace

void Md5Init(Md5Context* ctx) {
  ctx->a = 0x67452301;
  ctx->b = 0xefcdab89;
  ctx->c = 0x98badcfe;
  ctx->d = 0x10325476;
  ctx->blocks = 0;
  ctx->buffered = 0;
  ctx->finalised = 0;
  std::memset(ctx->buffer, 0, sizeof ctx->buffer);
}

void Md5Update(Md5Context* ctx, const void* bytes, size_t length) {
  FlushFull(ctx);
  if (!bytes) return;
  const auto* in = static_cast<const uint8_t*>(bytes);
  if (ctx->buffered > 0) {
    const size_t take = std::min(length, static_cast<size_t>(64 - ctx->buffered));
    std::memcpy(ctx->buffer + ctx->buffered, in, take);
    ctx->buffered += static_cast<int32_t>(take);
    in += take;
    length -= take;
    if (ctx->buffered < 64) return;
    FlushFull(ctx);
  }
  while (length >= 64) {
    Compress(ctx, in);
    ++ctx->blocks;
    in += 64;
    length -= 64;
  }
  std::memcpy(ctx->buffer, in, length);
  ctx->buffered = static_cast<int32_t>(length);
}

void Md5Final(Md5Context* ctx) {
  FlushFull(ctx);
  // The length in bits, counted in 64 bits whatever the message size.
  const uint64_t bits = (static_cast<uint64_t>(ctx->blocks) * 64 + static_cast<uint64_t>(ctx->buffered)) * 8;
  ctx->buffer[ctx->buffered++] = 0x80;
  if (ctx->buffered > 56) {
    std::memset(ctx->buffer + ctx->buffered, 0, 64 - ctx->buffered);
    Compress(ctx, ctx->buffer);
    ctx->buffered = 0;
  }
  std::memset(ctx->buffer + ctx->buffered, 0, 56 - ctx->buffered);
  for (int i = 0; i < 8; ++i) ctx->buffer[56 + i] = static_cast<uint8_t>(bits >> (8 * i));
  Compress(ctx, ctx->buffer);
  PutWord(ctx->buffer, ctx->a);
  PutWord(ctx->buffer + 4, ctx->b);
  PutWord(ctx->buffer + 8, ctx->c);
  PutWord(ctx->buffer + 12, ctx->d);
  ctx->buffered = 0;
  ctx->finalised = 1;
}

void Md5GetDigest(uint8_t out[16], Md5Context* ctx) {
  if (!ctx->finalised) Md5Final(ctx);
  std::memcpy(out, ctx->buffer, 16);
}

void Md5HexString(char* out, const char* input) {
  const std::string hex = Md5Hex(input, std::strlen(input));
  std::memcpy(out, hex.c_str(), hex.size() + 1);
}

std::string Md5Hex(const void* bytes, size_t length) {
  Md5Context ctx;
  Md5Init(&ctx);
  Md5Update(&ctx, bytes, length);
  uint8_t digest[16];
  Md5GetDigest(digest, &ctx);
  char out[33];
  Hex(out, digest);
  return out;
}

void HmacMd5(uint8_t out[16], const void* text, size_t textLength, const void* key, size_t keyLength) {
  uint8_t inner[64] = {}, outer[64] = {};
  uint8_t hashedKey[16];
  if (keyLength > 64) {
    Md5Context k;
    Md5Init(&k);
    Md5Update(&k, key, keyLength);
    Md5GetDigest(hashedKey, &k);
    key = hashedKey;
    keyLength = 16;
  }
  if (keyLength) {
    std::memcpy(inner, key, keyLength);
    std::memcpy(outer, key, keyLength);
  }
  for (int i = 0; i < 64; ++i) {
    inner[i] ^= 0x36;
    outer[i] ^= 0x5c;
  }
  Md5Context ctx;
  uint8_t innerDigest[16];
  Md5Init(&ctx);
  Md5Update(&ctx, inner, 64);
  Md5Update(&ctx, text, textLength);
  Md5GetDigest(innerDigest, &ctx);
  Md5Init(&ctx);
  Md5Update(&ctx, outer, 64);
  Md5Update(&ctx, innerDigest, 16);
  Md5GetDigest(out, &ctx);
}

void HmacMd5Hex(char* out, const void* text, size_t textLength, const void* key, size_t keyLength) {
  uint8_t digest[16];
  HmacMd5(digest, text, textLength, key, keyLength);
  Hex(out, digest);
}
