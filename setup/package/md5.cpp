// MD5 as published in RFC 1321, written from the RFC's description.
//
// How it works. Bytes are gathered into 64-byte blocks; each block runs the
// RFC's four rounds of sixteen steps over the state words A, B, C, D. The last
// block is padded with 0x80, zero bytes and the message length in bits as a
// little-endian 64-bit number.
//
// Speed. A step is a chain of dependent operations on the word computed by
// the step before, so the time per block is that chain's length. The round
// functions are written so that the part that needs the newest word (b) comes
// last: the message word, the constant and the parts made of c and d alone are
// added first, while b is still being computed. Round 2's function
// (b AND d) OR (c AND NOT d) has no bit set in both halves, so it is added as
// two separate terms, and the NOT-d term is ready early. The words of a block
// are read straight from the caller's bytes on a little-endian machine.
#include "setup/package/md5.h"

#include <cstring>

static inline uint32_t RotateLeft(uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

static inline uint32_t LoadWord(const uint8_t* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  uint32_t w;
  std::memcpy(&w, p, 4);
  return w;
#else
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
#endif
}

#define MD5_F(a, b, c, d, k, s, t)  \
  a += LoadWord(p + 4 * (k)) + (t); \
  a += (d) ^ ((b) & ((c) ^ (d)));   \
  a = RotateLeft(a, s) + (b)

#define MD5_G(a, b, c, d, k, s, t)                 \
  a += LoadWord(p + 4 * (k)) + (t) + ((c) & ~(d)); \
  a += (b) & (d);                                  \
  a = RotateLeft(a, s) + (b)

#define MD5_H(a, b, c, d, k, s, t)  \
  a += LoadWord(p + 4 * (k)) + (t); \
  a += (b) ^ ((c) ^ (d));           \
  a = RotateLeft(a, s) + (b)

#define MD5_I(a, b, c, d, k, s, t)  \
  a += LoadWord(p + 4 * (k)) + (t); \
  a += (c) ^ ((b) | ~(d));          \
  a = RotateLeft(a, s) + (b)

// Runs `count` whole 64-byte blocks through the state.
static void Md5Blocks(uint32_t state[4], const uint8_t* p, size_t count) {
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (; count > 0; --count, p += 64) {
    const uint32_t a0 = a, b0 = b, c0 = c, d0 = d;

    MD5_F(a, b, c, d, 0, 7, 0xd76aa478u);
    MD5_F(d, a, b, c, 1, 12, 0xe8c7b756u);
    MD5_F(c, d, a, b, 2, 17, 0x242070dbu);
    MD5_F(b, c, d, a, 3, 22, 0xc1bdceeeu);
    MD5_F(a, b, c, d, 4, 7, 0xf57c0fafu);
    MD5_F(d, a, b, c, 5, 12, 0x4787c62au);
    MD5_F(c, d, a, b, 6, 17, 0xa8304613u);
    MD5_F(b, c, d, a, 7, 22, 0xfd469501u);
    MD5_F(a, b, c, d, 8, 7, 0x698098d8u);
    MD5_F(d, a, b, c, 9, 12, 0x8b44f7afu);
    MD5_F(c, d, a, b, 10, 17, 0xffff5bb1u);
    MD5_F(b, c, d, a, 11, 22, 0x895cd7beu);
    MD5_F(a, b, c, d, 12, 7, 0x6b901122u);
    MD5_F(d, a, b, c, 13, 12, 0xfd987193u);
    MD5_F(c, d, a, b, 14, 17, 0xa679438eu);
    MD5_F(b, c, d, a, 15, 22, 0x49b40821u);

    MD5_G(a, b, c, d, 1, 5, 0xf61e2562u);
    MD5_G(d, a, b, c, 6, 9, 0xc040b340u);
    MD5_G(c, d, a, b, 11, 14, 0x265e5a51u);
    MD5_G(b, c, d, a, 0, 20, 0xe9b6c7aau);
    MD5_G(a, b, c, d, 5, 5, 0xd62f105du);
    MD5_G(d, a, b, c, 10, 9, 0x02441453u);
    MD5_G(c, d, a, b, 15, 14, 0xd8a1e681u);
    MD5_G(b, c, d, a, 4, 20, 0xe7d3fbc8u);
    MD5_G(a, b, c, d, 9, 5, 0x21e1cde6u);
    MD5_G(d, a, b, c, 14, 9, 0xc33707d6u);
    MD5_G(c, d, a, b, 3, 14, 0xf4d50d87u);
    MD5_G(b, c, d, a, 8, 20, 0x455a14edu);
    MD5_G(a, b, c, d, 13, 5, 0xa9e3e905u);
    MD5_G(d, a, b, c, 2, 9, 0xfcefa3f8u);
    MD5_G(c, d, a, b, 7, 14, 0x676f02d9u);
    MD5_G(b, c, d, a, 12, 20, 0x8d2a4c8au);

    MD5_H(a, b, c, d, 5, 4, 0xfffa3942u);
    MD5_H(d, a, b, c, 8, 11, 0x8771f681u);
    MD5_H(c, d, a, b, 11, 16, 0x6d9d6122u);
    MD5_H(b, c, d, a, 14, 23, 0xfde5380cu);
    MD5_H(a, b, c, d, 1, 4, 0xa4beea44u);
    MD5_H(d, a, b, c, 4, 11, 0x4bdecfa9u);
    MD5_H(c, d, a, b, 7, 16, 0xf6bb4b60u);
    MD5_H(b, c, d, a, 10, 23, 0xbebfbc70u);
    MD5_H(a, b, c, d, 13, 4, 0x289b7ec6u);
    MD5_H(d, a, b, c, 0, 11, 0xeaa127fau);
    MD5_H(c, d, a, b, 3, 16, 0xd4ef3085u);
    MD5_H(b, c, d, a, 6, 23, 0x04881d05u);
    MD5_H(a, b, c, d, 9, 4, 0xd9d4d039u);
    MD5_H(d, a, b, c, 12, 11, 0xe6db99e5u);
    MD5_H(c, d, a, b, 15, 16, 0x1fa27cf8u);
    MD5_H(b, c, d, a, 2, 23, 0xc4ac5665u);

    MD5_I(a, b, c, d, 0, 6, 0xf4292244u);
    MD5_I(d, a, b, c, 7, 10, 0x432aff97u);
    MD5_I(c, d, a, b, 14, 15, 0xab9423a7u);
    MD5_I(b, c, d, a, 5, 21, 0xfc93a039u);
    MD5_I(a, b, c, d, 12, 6, 0x655b59c3u);
    MD5_I(d, a, b, c, 3, 10, 0x8f0ccc92u);
    MD5_I(c, d, a, b, 10, 15, 0xffeff47du);
    MD5_I(b, c, d, a, 1, 21, 0x85845dd1u);
    MD5_I(a, b, c, d, 8, 6, 0x6fa87e4fu);
    MD5_I(d, a, b, c, 15, 10, 0xfe2ce6e0u);
    MD5_I(c, d, a, b, 6, 15, 0xa3014314u);
    MD5_I(b, c, d, a, 13, 21, 0x4e0811a1u);
    MD5_I(a, b, c, d, 4, 6, 0xf7537e82u);
    MD5_I(d, a, b, c, 11, 10, 0xbd3af235u);
    MD5_I(c, d, a, b, 2, 15, 0x2ad7d2bbu);
    MD5_I(b, c, d, a, 9, 21, 0xeb86d391u);

    a += a0;
    b += b0;
    c += c0;
    d += d0;
  }
  state[0] = a;
  state[1] = b;
  state[2] = c;
  state[3] = d;
}

#undef MD5_F
#undef MD5_G
#undef MD5_H
#undef MD5_I

void Md5Init(Md5Context* md5) {
  md5->state[0] = 0x67452301u;
  md5->state[1] = 0xefcdab89u;
  md5->state[2] = 0x98badcfeu;
  md5->state[3] = 0x10325476u;
  md5->byte_count = 0;
  std::memset(md5->pending, 0, sizeof md5->pending);
}

void Md5Update(Md5Context* md5, const void* bytes, size_t size) {
  if (size == 0) return;
  const uint8_t* p = static_cast<const uint8_t*>(bytes);
  const size_t held = static_cast<size_t>(md5->byte_count % 64);
  md5->byte_count += size;
  if (held != 0) {
    const size_t take = size < 64 - held ? size : 64 - held;
    std::memcpy(md5->pending + held, p, take);
    p += take;
    size -= take;
    if (held + take < 64) return;
    Md5Blocks(md5->state, md5->pending, 1);
  }
  Md5Blocks(md5->state, p, size / 64);
  p += size - size % 64;
  if (size % 64 != 0) std::memcpy(md5->pending, p, size % 64);
}

void Md5Final(Md5Context* md5, uint8_t digest[16]) {
  const uint64_t bit_count = md5->byte_count * 8;
  size_t held = static_cast<size_t>(md5->byte_count % 64);
  md5->pending[held++] = 0x80;
  if (held > 56) {
    std::memset(md5->pending + held, 0, 64 - held);
    Md5Blocks(md5->state, md5->pending, 1);
    held = 0;
  }
  std::memset(md5->pending + held, 0, 56 - held);
  for (int i = 0; i < 8; ++i) md5->pending[56 + i] = static_cast<uint8_t>(bit_count >> (8 * i));
  Md5Blocks(md5->state, md5->pending, 1);
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(md5->state[i] >> (8 * j));
  }
}

void ComputeMd5(const void* bytes, size_t size, uint8_t digest[16]) {
  Md5Context md5;
  Md5Init(&md5);
  Md5Update(&md5, bytes, size);
  Md5Final(&md5, digest);
}
