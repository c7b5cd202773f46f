// LOB storage for the synthetic database builder, written from the on-disk
// layouts, never through the tool's decoders:
//   - LOB data blocks (type 0x28 or 0x1B): data object id at 20, the 10-byte
//     LOB id at 24, version at 40 and page number at 44 (both in the file's
//     byte order), payload from 56 up to the 4-byte tail;
//   - LOB index leaf blocks: index leaves with two key columns (LOB id,
//     4-byte offset) and 32 bytes of entry data before the key, beginning
//     00 20 03 00 and holding the full-block count (big-endian, 4 bytes) at 4
//     and the last-block length (big-endian, 2 bytes) at 8.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/builder/datafile_builder.h"
#include "tools/builder/index_builder.h"

namespace mkdb {

constexpr uint8_t kLobBlockClob = 0x28;
constexpr uint8_t kLobBlockBlob = 0x1B;
constexpr size_t kLobEntryDataSize = 32;

using LobId = std::array<uint8_t, 10>;

// A LOB id whose bytes are seed, seed + 1, ... (mod 256).
LobId lobIdOf(uint8_t seed);
// Its 20 upper-case hexadecimal digits.
std::string lobIdHex(const LobId& id);

struct LobBlockPlan {
  uint8_t type = kLobBlockClob;
  uint32_t objd = 0;
  LobId id{};
  uint32_t version = 0;
  uint32_t page = 0;
  std::vector<uint8_t> payload;  // cut to the block's payload room
};

// Bytes of payload a LOB block of this size holds.
size_t lobPayloadRoom(uint32_t blockSize);
Block& addLobBlock(FileImage& f, uint32_t block, const LobBlockPlan& plan);

// One LOB index leaf entry. data holds the 32 entry bytes as stored; made by
// lobEntryData unless a test wants other bytes.
struct LobIndexEntry {
  LobId id{};
  uint32_t offset = 0;  // key column 2, big-endian; 0 for the first entry of a LOB
  std::vector<uint8_t> data;
};
// 00 20 03 00, the full-block count and the last-block length.
std::vector<uint8_t> lobEntryData(uint32_t fullBlocks, uint16_t lastLength);
LobIndexEntry lobIndexEntry(const LobId& id, uint32_t fullBlocks, uint16_t lastLength,
                            uint32_t offset = 0);

// The index block plan of a LOB index leaf holding the entries in order;
// callers may change it (raw rows, counts) before laying it out.
IndexBlockPlan lobIndexLeafPlan(uint32_t objd, const std::vector<LobIndexEntry>& entries);
// Lays out the leaf as block `block`; 0, or 1 when the entries do not fit.
int addLobIndexLeaf(FileImage& f, uint32_t block, uint32_t objd,
                    const std::vector<LobIndexEntry>& entries);

// ---- LOB values ----

// A value stored out of line, one LOB block per page (pages 0, 1, ...):
// fullBlocks blocks are full, the last holds lastLength bytes (1 ... room;
// an empty value has no block). blocks lists the blocks written.
struct StoredLob {
  uint32_t fullBlocks = 0;
  uint32_t lastLength = 0;
  std::vector<uint32_t> blocks;
};
// Writes the value in LOB blocks first, first + 1, ... of the file.
StoredLob addLobValue(FileImage& f, uint32_t first, uint32_t objd, const LobId& id,
                      const std::vector<uint8_t>& value, uint8_t type = kLobBlockClob,
                      uint32_t version = 1, uint32_t firstPage = 0);

// Blocks an extent list names hold their bytes from offset 128 up to the tail.
size_t lobListPayloadRoom(uint32_t blockSize);
// Writes the value into LOB blocks first, first + 1, ... in the extent list
// layout; returns the blocks written.
std::vector<uint32_t> addLobListValue(FileImage& f, uint32_t first, uint32_t objd,
                                      const std::vector<uint8_t>& value);

// The LOB locator a row holds. Bytes 0-9: 00 54 00 01, a byte, the flags
// byte (0x04: in-row information follows), 00 00, and 00 02 for a CLOB or
// 00 01 for a BLOB; 10-19 the LOB id; 20-21 the locator length minus 20
// (big-endian); 22 the LOB flags F; then by form:
//   kFixed      (F 0x05 or 0x09)  N (4) at 24, L (2) at 28, K at 35, data at 36
//   kSized      (F 0x08)          s at 26, N (s) at 27, L (2), K, data
//   kExtentList (F 0x00)          0x1F + b at 26, total (b) at 28, s, N (s),
//                                 then entries: flag, RDBA (4), count (1, or
//                                 2 when the flag has 0x20)
//   kMapsOnly                     the flags byte without 0x04, and 16 zero bytes
// All numbers big-endian. Fields that do not fit their width are cut.
struct LobExtentSpec {
  uint32_t rdba = 0;
  uint32_t blocks = 0;
  bool wide = false;  // 2-byte count, flag 0x20
};
struct LocatorPlan {
  enum Form : uint8_t { kFixed, kSized, kExtentList, kMapsOnly } form = kFixed;
  bool blob = false;
  LobId id{};
  uint8_t lobFlags = 0x09;          // F as written (kSized: 0x08, kExtentList: 0x00)
  uint8_t kind = 1;                 // K
  uint32_t fullBlocks = 0;          // N (entries - 1 for an extent list)
  uint32_t length = 0;              // L, or the total length of an extent list
  uint8_t sizeWidth = 4;            // s
  uint8_t totalWidth = 4;           // b
  std::vector<uint8_t> data;        // K = 1: the value
  std::vector<LobExtentSpec> extents;
};
std::vector<uint8_t> encodeLocator(const LocatorPlan& plan);
// Shorthands: an inline value (kFixed, K = 1, L its length) and a value in
// the block map (kFixed with F 0x05, K = 2, N and L of the stored value).
LocatorPlan inlineLocator(const LobId& id, const std::vector<uint8_t>& value, bool blob = false);
LocatorPlan mappedLocator(const LobId& id, const StoredLob& stored, bool blob = false);

}  // namespace mkdb
