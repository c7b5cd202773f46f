// LOB layouts: the LOB data blocks (types 0x28 and 0x1B) that hold the pages
// of out-of-line LOB values, and the leaf entries of the LOB index that name
// a LOB's blocks. Constants and accessors only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/session_context.h"

constexpr size_t kLobIdSize = 10;
constexpr size_t kLobIdTextSize = 2 * kLobIdSize;  // hex digits, without the NUL

// ---- LOB data blocks (type 0x28 or 0x1B) ----

constexpr size_t kLobIdOffset = 24;
constexpr size_t kLobVersionOffset = 40;
constexpr size_t kLobPageOffset = 44;
constexpr size_t kLobPayloadOffset = 56;
constexpr size_t kLobPayloadTrailer = 4;  // payload is block size minus 60 bytes

// ---- LOB index leaf entries ----
// Key: the 10-byte LOB id and a 4-byte offset; the 32 data bytes of the
// first entry of a LOB begin with 00 20 03 00.

constexpr uint8_t kLobIndexDataSize = 32;   // kdxledsz of a LOB index leaf
constexpr size_t kLobIndexKeyIdLength = 10;
constexpr size_t kLobIndexKeyOffsetLength = 4;
constexpr size_t kLobIndexFullBlocksOffset = 4;  // within the 32 data bytes, big-endian
constexpr size_t kLobIndexLastLengthOffset = 8;
constexpr unsigned char kLobIndexMagic[4] = {0x00, 0x20, 0x03, 0x00};

struct LobBlockInfo {
  uint32_t objd = 0;
  unsigned char lobId[kLobIdSize] = {};
  uint32_t version = 0;
  uint32_t page = 0;
};

bool isLobBlockType(uint8_t type);
// The fields of the LOB block in the session block buffer; false when it is
// not a LOB block or too short to hold them.
bool getLobBlockInfo(const SessionContext& ctx, LobBlockInfo& info);
// 20 upper-case hex digits and a NUL into text (at least 21 bytes).
void formatLobId(const unsigned char* id, char* text);


// ---- LOB locators (the bytes a LOB column holds in the row) ----
// Multi-byte numbers of a locator are big-endian whatever the byte order of
// the data files.

constexpr size_t kLocatorFlagsOffset = 5;
constexpr uint8_t kLocatorInRowInfo = 0x04;  // clear: the maps give the lengths
constexpr size_t kLocatorLobIdOffset = 10;
constexpr size_t kLocatorLobFlagsOffset = 22;  // F; only its low nibble counts
constexpr uint8_t kLobFlagsNibble = 0x0F;
constexpr uint8_t kLobFlagsInRowLengths = 0x01;   // N, L and K at fixed offsets
constexpr uint8_t kLobFlagsSizedLengths = 0x08;   // N sized by the byte at 26
// F & 1 with the nibble 5 or 9.
constexpr size_t kLocatorFixedFullOffset = 24;   // N, 4 bytes
constexpr size_t kLocatorFixedLastOffset = 28;   // L, 2 bytes
constexpr size_t kLocatorFixedKindOffset = 35;
constexpr size_t kLocatorFixedDataOffset = 36;
// F & 8 (F & 1 clear): s = byte 26; N (s bytes) at 27, L (2 bytes) at
// 27 + s, K at 29 + s, the data at 30 + s.
constexpr size_t kLocatorSizeByteOffset = 26;
constexpr size_t kLocatorSizedFullOffset = 27;
// Nibble 0: byte 26 is 0x21, 0x22 or 0x23 for a total length of b = 2, 3
// or 4 bytes at 28; s = byte 28 + b; N (s bytes) at 29 + b; the extent list
// from 29 + b + s to the end of the locator.
constexpr size_t kLocatorListLengthKindOffset = 26;
constexpr uint8_t kLocatorListLengthKindFirst = 0x21;  // b = 2
constexpr uint8_t kLocatorListLengthKindLast = 0x23;   // b = 4
constexpr size_t kLocatorListTotalOffset = 28;
// Extent list entries: a flag byte, a 4-byte RDBA and a block count of 2
// bytes when the flag has 0x20, else of 1 byte.
constexpr uint8_t kLobExtentWideCount = 0x20;
constexpr size_t kLobExtentEntryHead = 5;
// Payload of a block an extent list names: from 128 up to the 4-byte tail.
constexpr size_t kLobListPayloadOffset = 128;

// Kind byte K of the in-row information.
constexpr uint8_t kLobKindInline = 1;   // the value follows in the locator
constexpr uint8_t kLobKindBlocks = 2;   // the value lies in blocks of the block map

enum class LobLocatorForm : uint8_t {
  kInvalid,     // a layout we do not know, or a locator too short for its layout
  kMapsOnly,    // no in-row information: the maps give blocks and lengths
  kInRow,       // N, L and K in the locator (K = 1 inline, 2 block map, other: unknown)
  kExtentList,  // an extent list follows; L is the total length
};

// What a locator says. Offsets and lengths are clamped to the locator:
// for an inline value, dataOffset + length never passes its end.
struct LobLocator {
  LobLocatorForm form = LobLocatorForm::kInvalid;
  unsigned char lobId[kLobIdSize] = {};
  uint8_t lobFlags = 0;
  uint8_t kind = 0;
  uint32_t fullBlocks = 0;  // N
  uint32_t length = 0;      // L: last-block length, inline length, or total length
  uint32_t dataOffset = 0;  // D: the inline value or the extent list
};

// Reads the locator of the given length; its form is kInvalid when the
// layout is unknown or the bytes it names lie outside the locator.
LobLocator parseLobLocator(const unsigned char* locator, size_t length);

struct LobExtentEntry {
  uint32_t rdba = 0;
  uint32_t blocks = 0;
};
// The extent list entry at *pos of the list [0, limit); advances *pos.
// False when no whole entry is left there (a cut-off entry is not read).
bool nextLobExtent(const unsigned char* list, size_t limit, size_t* pos, LobExtentEntry& entry);

// Payload of a LOB block of the block map (from 56) and of one an extent
// list names (from 128), up to the 4-byte tail; sizes are 0 for blocks too
// small to hold any.
inline const unsigned char* lobMapPayload(const unsigned char* block) {
  return block + kLobPayloadOffset;
}
inline const unsigned char* lobListPayload(const unsigned char* block) {
  return block + kLobListPayloadOffset;
}
inline size_t lobMapPayloadSize(size_t blockSize) {
  return blockSize > kLobPayloadOffset + kLobPayloadTrailer
             ? blockSize - kLobPayloadOffset - kLobPayloadTrailer
             : 0;
}
inline size_t lobListPayloadSize(size_t blockSize) {
  return blockSize > kLobListPayloadOffset + kLobPayloadTrailer
             ? blockSize - kLobListPayloadOffset - kLobPayloadTrailer
             : 0;
}
