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

