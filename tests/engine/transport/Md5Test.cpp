// MD5 and HMAC-MD5 against the RFC 1321 and RFC 2104 / RFC 2202 vectors, and
// against OpenSSL for the block edges and key lengths.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <string>

#include "engine/transport/Md5.h"

namespace {

std::string Hex(const uint8_t* bytes, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0xF];
  }
  return out;
}

std::string OpensslMd5(const std::string& data) {
  unsigned char digest[16];
  unsigned int n = 0;
  EVP_Digest(data.data(), data.size(), digest, &n, EVP_md5(), nullptr);
  return Hex(digest, n);
}

std::string OpensslHmac(const std::string& key, const std::string& text) {
  unsigned char digest[16];
  unsigned int n = 0;
  HMAC(EVP_md5(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(text.data()),
       text.size(), digest, &n);
  return Hex(digest, n);
}

std::string HexOf(const char* input) {
  char out[33];
  Md5HexString(out, input);
  return out;
}

std::string HmacHex(const std::string& key, const std::string& text) {
  char out[33];
  HmacMd5Hex(out, text.data(), text.size(), key.data(), key.size());
  return out;
}

TEST(Md5, Rfc1321Suite) {
  EXPECT_EQ(HexOf(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(HexOf("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(HexOf("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(HexOf("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(HexOf("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(HexOf("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(HexOf("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, BlockEdgesInOneCallAndByteByByte) {
  for (size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 1000u}) {
    std::string data;
    for (size_t i = 0; i < length; ++i) data += static_cast<char>('a' + i * 7 % 26);
    const std::string want = OpensslMd5(data);

    Md5Context whole;
    Md5Init(&whole);
    Md5Update(&whole, data.data(), data.size());
    uint8_t digest[16];
    Md5GetDigest(digest, &whole);
    EXPECT_EQ(Hex(digest, 16), want) << length;
    EXPECT_EQ(whole.finalised, 1u);

    Md5Context bytes;
    Md5Init(&bytes);
    for (char c : data) Md5Update(&bytes, &c, 1);
    Md5Update(&bytes, nullptr, 0);  // only flushes
    Md5Final(&bytes);
    EXPECT_EQ(Hex(bytes.buffer, 16), want) << length;
  }
}

TEST(Md5, UnevenChunksMatchOpenssl) {
  std::string data(5000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 31 + 7);
  Md5Context ctx;
  Md5Init(&ctx);
  size_t pos = 0, step = 1;
  while (pos < data.size()) {
    const size_t n = std::min(step, data.size() - pos);
    Md5Update(&ctx, data.data() + pos, n);
    pos += n;
    step = step * 3 % 97 + 1;
  }
  uint8_t digest[16];
  Md5GetDigest(digest, &ctx);
  EXPECT_EQ(Hex(digest, 16), OpensslMd5(data));
}

TEST(HmacMd5, Rfc2104AndRfc2202Vectors) {
  EXPECT_EQ(HmacHex(std::string(16, '\x0b'), "Hi There"), "9294727a3638bb1c13f48ef8158bfc9d");
  EXPECT_EQ(HmacHex("Jefe", "what do ya want for nothing?"), "750c783e6ab0b503eaa86e310a5db738");
  EXPECT_EQ(HmacHex(std::string(16, '\xaa'), std::string(50, '\xdd')), "56be34521d144c88dbb8c733f0e8b3f6");
  EXPECT_EQ(HmacHex(std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First"),
            "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd");
  // The CRAM-MD5 example of RFC 2195.
  EXPECT_EQ(HmacHex("tanstaaftanstaaf", "<1896.697170952@postoffice.reston.mci.net>"),
            "b913a602c7eda7a495b4e6e7334d3890");
}

TEST(HmacMd5, KeysAtAndOverTheBlockSize) {
  const std::string text = "<12345.67890@mail.example.com>";
  for (size_t length : {0u, 1u, 63u, 64u, 65u, 200u}) {
    std::string key;
    for (size_t i = 0; i < length; ++i) key += static_cast<char>(i * 13 + 1);
    EXPECT_EQ(HmacHex(key, text), OpensslHmac(key, text)) << length;
  }
  uint8_t raw[16];
  HmacMd5(raw, "Hi There", 8, std::string(16, '\x0b').data(), 16);
  EXPECT_EQ(Hex(raw, 16), "9294727a3638bb1c13f48ef8158bfc9d");
}

}  // namespace
