// Bounds-checked byte readers and block addresses, the bottom of every
// decoder.
//
// The readers take the buffer, its length and an offset, and yield 0 for any
// field that does not lie wholly inside the buffer, so a block whose fields
// point anywhere is never read past its end. Multi-byte fields are read in the
// given byte order (0 little, 1 big); any other byte order value reads every
// multi-byte field as 0.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint8_t kLittleEndian = 0;
constexpr uint8_t kBigEndian = 1;

// ---- primitive readers, (pointer, limit, offset) ----

inline uint8_t readUB1(const unsigned char* p, size_t limit, size_t off) {
  return (p != nullptr && off < limit) ? p[off] : 0;
}

inline uint16_t readUB2(const unsigned char* p, size_t limit, size_t off, uint8_t order) {
  if (p == nullptr || order > kBigEndian || limit < 2 || off > limit - 2) return 0;
  if (order == kBigEndian) return static_cast<uint16_t>(p[off] << 8 | p[off + 1]);
  return static_cast<uint16_t>(p[off] | p[off + 1] << 8);
}

inline uint32_t readUB4(const unsigned char* p, size_t limit, size_t off, uint8_t order) {
  if (p == nullptr || order > kBigEndian || limit < 4 || off > limit - 4) return 0;
  const uint32_t b0 = p[off], b1 = p[off + 1], b2 = p[off + 2], b3 = p[off + 3];
  if (order == kBigEndian) return b0 << 24 | b1 << 16 | b2 << 8 | b3;
  return b3 << 24 | b2 << 16 | b1 << 8 | b0;
}

inline uint64_t readUB8(const unsigned char* p, size_t limit, size_t off, uint8_t order) {
  if (p == nullptr || order > kBigEndian || limit < 8 || off > limit - 8) return 0;
  const uint64_t a = readUB4(p, limit, off, order);
  const uint64_t b = readUB4(p, limit, off + 4, order);
  return order == kBigEndian ? (a << 32 | b) : (b << 32 | a);
}

// ---- block addresses ----

inline uint32_t rdbaFile(uint32_t rdba) { return rdba >> 22; }
inline uint32_t rdbaBlock(uint32_t rdba) { return rdba & 0x3FFFFF; }
inline uint32_t makeRDBA(uint32_t file, uint32_t block) { return file << 22 | (block & 0x3FFFFF); }
