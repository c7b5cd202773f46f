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

}  // namespace mkdb
