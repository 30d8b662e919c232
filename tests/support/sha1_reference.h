// SHA-1 (FIPS 180-4) and Base64, written out for the tests so that the
// expected Sec-WebSocket-Accept never comes from the library the plug-in uses.
#pragma once
#include <cstdint>
#include <string>

namespace KEM::test {

inline std::string ReferenceSha1(const std::string& message) {
  uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  std::string m = message;
  const uint64_t bits = static_cast<uint64_t>(message.size()) * 8;
  m += static_cast<char>(0x80);
  while (m.size() % 64 != 56) m += '\0';
  for (int s = 56; s >= 0; s -= 8) m += static_cast<char>((bits >> s) & 0xFF);
  auto rotl = [](uint32_t x, int n) { return (x << n) | (x >> (32 - n)); };
  for (size_t block = 0; block < m.size(); block += 64) {
    uint32_t w[80];
    for (int i = 0; i < 16; ++i)
      w[i] = (uint32_t{static_cast<uint8_t>(m[block + 4 * i])} << 24) |
             (uint32_t{static_cast<uint8_t>(m[block + 4 * i + 1])} << 16) |
             (uint32_t{static_cast<uint8_t>(m[block + 4 * i + 2])} << 8) | uint32_t{static_cast<uint8_t>(m[block + 4 * i + 3])};
    for (int i = 16; i < 80; ++i) w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int i = 0; i < 80; ++i) {
      uint32_t f, k;
      if (i < 20) f = (b & c) | (~b & d), k = 0x5A827999;
      else if (i < 40) f = b ^ c ^ d, k = 0x6ED9EBA1;
      else if (i < 60) f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
      else f = b ^ c ^ d, k = 0xCA62C1D6;
      const uint32_t t = rotl(a, 5) + f + e + k + w[i];
      e = d, d = c, c = rotl(b, 30), b = a, a = t;
    }
    h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e;
  }
  std::string digest;
  for (uint32_t v : h)
    for (int s = 24; s >= 0; s -= 8) digest += static_cast<char>((v >> s) & 0xFF);
  return digest;
}

inline std::string ReferenceBase64(const std::string& bytes) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t v = uint32_t{static_cast<uint8_t>(bytes[i])} << 16;
    if (i + 1 < bytes.size()) v |= uint32_t{static_cast<uint8_t>(bytes[i + 1])} << 8;
    if (i + 2 < bytes.size()) v |= static_cast<uint8_t>(bytes[i + 2]);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[v & 63] : '=';
  }
  return out;
}

}  // namespace KEM::test
