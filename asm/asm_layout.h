// Where the fields of ASM metadata blocks lie: the block header every
// metadata block starts with, the disk header, the file directory entry and
// the indirect extent block. Every metadata block carries its byte order in
// byte 0 (0 big-endian, anything else little-endian), so each accessor reads
// the order from the block it is given. Accessors take the block and its
// length and yield 0 for a field that does not lie inside it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/bytes.h"

// ---- block header (first 32 bytes of every metadata block) ----
constexpr size_t kASMOffByteOrder = 0;
constexpr size_t kASMOffBlockType = 2;
constexpr size_t kASMOffDataFormat = 3;
constexpr size_t kASMOffBlockNumber = 4;
constexpr size_t kASMOffObjectNumber = 8;
constexpr size_t kASMBlockHeaderSize = 32;

constexpr uint8_t kASMTypeDiskHeader = 1;
constexpr uint8_t kASMTypeFileDirectory = 4;
constexpr uint8_t kASMTypeFileDirectoryFirst = 5;
constexpr uint8_t kASMTypeAliasDirectory = 11;
constexpr uint8_t kASMTypeIndirectExtents = 12;

// ---- disk header (block 0 of a member disk) ----
constexpr size_t kASMOffProvision = 32;
constexpr size_t kASMProvisionSize = 8;
constexpr size_t kASMOffCompat = 64;
constexpr size_t kASMOffDiskNumber = 68;
constexpr size_t kASMOffDiskName = 72;
constexpr size_t kASMOffGroupName = 104;
constexpr size_t kASMOffFailGroupName = 136;
constexpr size_t kASMNameSize = 32;
constexpr size_t kASMOffMetaBlockSize = 218;
constexpr size_t kASMOffAUSize = 220;
constexpr size_t kASMOffDiskSizeMB = 228;
constexpr size_t kASMOffF1B1Location = 244;

// ---- file directory entry (type 4) ----
constexpr size_t kASMOffFileSizeHigh = 44;
constexpr size_t kASMOffFileSizeLow = 48;
constexpr size_t kASMOffExtentCount = 52;
constexpr size_t kASMOffEndOfFile = 56;
constexpr size_t kASMOffFileFlags = 64;
constexpr size_t kASMOffFileType = 65;
constexpr size_t kASMOffAlias0 = 100;
constexpr size_t kASMOffAlias1 = 104;
constexpr size_t kASMOffSlotsUsed = 92;
constexpr size_t kASMOffDirectSlots = 94;
constexpr size_t kASMDirectoryExtentBase = 1216;

// ---- indirect extent block (type 12) ----
constexpr size_t kASMOffFirstExtentIndex = 32;
constexpr size_t kASMOffIndirectCount = 36;
constexpr size_t kASMIndirectExtentBase = 44;

// ---- extent pointer (8 bytes) ----
constexpr size_t kASMExtentSize = 8;
constexpr size_t kASMOffExtentAU = 0;
constexpr size_t kASMOffExtentDisk = 4;
constexpr size_t kASMOffExtentFlags = 6;
constexpr size_t kASMOffExtentCheck = 7;

// ---- alias directory block (type 11) ----
constexpr size_t kASMOffAliasParent = 52;
constexpr size_t kASMOffAliasFirstBlock = 60;
constexpr size_t kASMAliasEntryBase = 68;
constexpr size_t kASMAliasEntrySize = 76;
// Offsets within one alias entry.
constexpr size_t kASMOffAliasEntryWord = 4;
constexpr size_t kASMOffAliasRefer = 8;
constexpr size_t kASMOffAliasName = 16;
constexpr size_t kASMAliasNameSize = 48;
constexpr size_t kASMOffAliasFile = 64;
constexpr size_t kASMOffAliasIncarnation = 68;
constexpr size_t kASMOffAliasFlags = 72;

// The byte order of a metadata block, from its own byte 0.
inline uint8_t getASMByteOrder(const unsigned char* b, size_t n) {
  return readUB1(b, n, kASMOffByteOrder) == 0 ? kBigEndian : kLittleEndian;
}
inline uint8_t getASMBlockType(const unsigned char* b, size_t n) {
  return readUB1(b, n, kASMOffBlockType);
}
inline uint8_t getASMDataFormat(const unsigned char* b, size_t n) {
  return readUB1(b, n, kASMOffDataFormat);
}
inline uint32_t getASMBlockNumber(const unsigned char* b, size_t n) {
  return readUB4(b, n, kASMOffBlockNumber, getASMByteOrder(b, n));
}
inline uint32_t getASMObjectNumber(const unsigned char* b, size_t n) {
  return readUB4(b, n, kASMOffObjectNumber, getASMByteOrder(b, n));
}

inline uint32_t getASMDiskCompat(const unsigned char* b, size_t n) {
  return readUB4(b, n, kASMOffCompat, getASMByteOrder(b, n));
}
inline uint16_t getASMDiskNumber(const unsigned char* b, size_t n) {
  return readUB2(b, n, kASMOffDiskNumber, getASMByteOrder(b, n));
}
inline uint16_t getASMDiskBlockSize(const unsigned char* b, size_t n) {
  return readUB2(b, n, kASMOffMetaBlockSize, getASMByteOrder(b, n));
}
inline uint32_t getASMDiskAUSize(const unsigned char* b, size_t n) {
  return readUB4(b, n, kASMOffAUSize, getASMByteOrder(b, n));
}
inline uint32_t getASMDiskSizeMB(const unsigned char* b, size_t n) {
  return readUB4(b, n, kASMOffDiskSizeMB, getASMByteOrder(b, n));
}
inline uint32_t getASMDiskF1B1(const unsigned char* b, size_t n) {
  return readUB4(b, n, kASMOffF1B1Location, getASMByteOrder(b, n));
}

inline uint64_t getASMFileSize(const unsigned char* b, size_t n) {
  const uint8_t o = getASMByteOrder(b, n);
  return static_cast<uint64_t>(readUB4(b, n, kASMOffFileSizeHigh, o)) << 32 |
         readUB4(b, n, kASMOffFileSizeLow, o);
}
inline uint32_t getASMExtentCount(const unsigned char* b, size_t n) {
  return readUB4(b, n, kASMOffExtentCount, getASMByteOrder(b, n));
}
inline uint32_t getASMEndOfFile(const unsigned char* b, size_t n) {
  return readUB4(b, n, kASMOffEndOfFile, getASMByteOrder(b, n));
}
inline uint8_t getASMFileFlags(const unsigned char* b, size_t n) {
  return readUB1(b, n, kASMOffFileFlags);
}
inline uint8_t getASMFileType(const unsigned char* b, size_t n) {
  return readUB1(b, n, kASMOffFileType);
}
inline uint32_t getASMAlias0(const unsigned char* b, size_t n) {
  return readUB4(b, n, kASMOffAlias0, getASMByteOrder(b, n));
}
inline uint32_t getASMAlias1(const unsigned char* b, size_t n) {
  return readUB4(b, n, kASMOffAlias1, getASMByteOrder(b, n));
}
inline uint16_t getASMSlotsUsed(const unsigned char* b, size_t n) {
  return readUB2(b, n, kASMOffSlotsUsed, getASMByteOrder(b, n));
}
inline uint16_t getASMDirectSlots(const unsigned char* b, size_t n) {
  return readUB2(b, n, kASMOffDirectSlots, getASMByteOrder(b, n));
}

inline uint32_t getASMFirstExtentIndex(const unsigned char* b, size_t n) {
  return readUB4(b, n, kASMOffFirstExtentIndex, getASMByteOrder(b, n));
}
inline uint16_t getASMIndirectCount(const unsigned char* b, size_t n) {
  return readUB2(b, n, kASMOffIndirectCount, getASMByteOrder(b, n));
}

// Extent pointer at byte `at` of the block (the block's own byte order).
inline uint32_t getASMExtentAU(const unsigned char* b, size_t n, size_t at) {
  return readUB4(b, n, at + kASMOffExtentAU, getASMByteOrder(b, n));
}
inline uint16_t getASMExtentDisk(const unsigned char* b, size_t n, size_t at) {
  return readUB2(b, n, at + kASMOffExtentDisk, getASMByteOrder(b, n));
}
inline uint8_t getASMExtentFlags(const unsigned char* b, size_t n, size_t at) {
  return readUB1(b, n, at + kASMOffExtentFlags);
}
inline uint8_t getASMExtentCheck(const unsigned char* b, size_t n, size_t at) {
  return readUB1(b, n, at + kASMOffExtentCheck);
}

inline uint32_t getASMAliasParent(const unsigned char* b, size_t n) {
  return readUB4(b, n, kASMOffAliasParent, getASMByteOrder(b, n));
}
inline uint32_t getASMAliasFirstBlock(const unsigned char* b, size_t n) {
  return readUB4(b, n, kASMOffAliasFirstBlock, getASMByteOrder(b, n));
}
// Fields of alias entry l; `at` is the entry's offset in the block.
inline size_t getASMAliasEntryAt(uint32_t l) {
  return kASMAliasEntryBase + static_cast<size_t>(l) * kASMAliasEntrySize;
}
inline uint32_t getASMAliasEntryWord(const unsigned char* b, size_t n, size_t at) {
  return readUB4(b, n, at + kASMOffAliasEntryWord, getASMByteOrder(b, n));
}
inline uint32_t getASMAliasRefer(const unsigned char* b, size_t n, size_t at) {
  return readUB4(b, n, at + kASMOffAliasRefer, getASMByteOrder(b, n));
}
inline uint32_t getASMAliasFile(const unsigned char* b, size_t n, size_t at) {
  return readUB4(b, n, at + kASMOffAliasFile, getASMByteOrder(b, n));
}
inline uint32_t getASMAliasIncarnation(const unsigned char* b, size_t n, size_t at) {
  return readUB4(b, n, at + kASMOffAliasIncarnation, getASMByteOrder(b, n));
}
inline uint8_t getASMAliasFlags(const unsigned char* b, size_t n, size_t at) {
  return readUB1(b, n, at + kASMOffAliasFlags);
}
