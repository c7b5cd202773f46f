#include "format/lob_layout.h"

#include "format/block_layout.h"

bool isLobBlockType(uint8_t type) {
  return type == kBlockTypeLobClob || type == kBlockTypeLobBlob;
}

bool getLobBlockInfo(const SessionContext& ctx, LobBlockInfo& info) {
  const unsigned char* b = ctx.blockBuffer;
  const size_t S = ctx.blockSize;
  if (b == nullptr || S < kLobPayloadOffset + kLobPayloadTrailer) return false;
  if (!isLobBlockType(getBlockType(ctx))) return false;
  info.objd = getDataObjectID(ctx);
  for (size_t i = 0; i < kLobIdSize; i++) info.lobId[i] = readUB1(b, S, kLobIdOffset + i);
  info.version = readUB4(b, S, kLobVersionOffset, ctx.byteOrder);
  info.page = readUB4(b, S, kLobPageOffset, ctx.byteOrder);
  return true;
}

void formatLobId(const unsigned char* id, char* text) {
  static const char kHex[] = "0123456789ABCDEF";
  for (size_t i = 0; i < kLobIdSize; i++) {
    text[2 * i] = kHex[id[i] >> 4];
    text[2 * i + 1] = kHex[id[i] & 0x0F];
  }
  text[kLobIdTextSize] = 0;
}

namespace {

// A big-endian number of width bytes at off, when it lies inside the limit.
bool readBigEndian(const unsigned char* p, size_t limit, size_t off, size_t width,
                   uint32_t& value) {
  if (off > limit || width > limit - off) return false;
  value = 0;
  for (size_t i = 0; i < width; i++) value = value << 8 | p[off + i];
  return true;
}

inline bool isSizeWidth(uint8_t s) { return s == 1 || s == 2 || s == 4; }

}  // namespace

LobLocator parseLobLocator(const unsigned char* p, size_t length) {
  LobLocator loc;
  if (p == nullptr || length < kLocatorLobFlagsOffset + 1) return loc;
  for (size_t i = 0; i < kLobIdSize; i++) loc.lobId[i] = p[kLocatorLobIdOffset + i];
  loc.lobFlags = p[kLocatorLobFlagsOffset];
  if (!(p[kLocatorFlagsOffset] & kLocatorInRowInfo)) {
    loc.form = LobLocatorForm::kMapsOnly;
    return loc;
  }
  const uint8_t nibble = loc.lobFlags & kLobFlagsNibble;
  uint32_t full = 0, last = 0, kind = 0;
  size_t data = 0;
  LobLocatorForm form = LobLocatorForm::kInRow;
  if (loc.lobFlags & kLobFlagsInRowLengths) {
    if (nibble != 5 && nibble != 9) return loc;
    if (!readBigEndian(p, length, kLocatorFixedFullOffset, 4, full) ||
        !readBigEndian(p, length, kLocatorFixedLastOffset, 2, last) ||
        !readBigEndian(p, length, kLocatorFixedKindOffset, 1, kind))
      return loc;
    data = kLocatorFixedDataOffset;
  } else if (loc.lobFlags & kLobFlagsSizedLengths) {
    if (length <= kLocatorSizeByteOffset) return loc;
    const uint8_t s = p[kLocatorSizeByteOffset];
    if (!isSizeWidth(s)) return loc;
    const size_t at = kLocatorSizedFullOffset;
    if (!readBigEndian(p, length, at, s, full) || !readBigEndian(p, length, at + s, 2, last) ||
        !readBigEndian(p, length, at + s + 2, 1, kind))
      return loc;
    data = at + s + 3;
  } else if (nibble == 0) {
    if (length <= kLocatorListLengthKindOffset) return loc;
    const uint8_t lk = p[kLocatorListLengthKindOffset];
    if (lk < kLocatorListLengthKindFirst || lk > kLocatorListLengthKindLast) return loc;
    const size_t b = static_cast<size_t>(lk - kLocatorListLengthKindFirst) + 2;
    uint32_t s = 0;
    if (!readBigEndian(p, length, kLocatorListTotalOffset, b, last) ||
        !readBigEndian(p, length, kLocatorListTotalOffset + b, 1, s) ||
        !isSizeWidth(static_cast<uint8_t>(s)) ||
        !readBigEndian(p, length, kLocatorListTotalOffset + b + 1, s, full))
      return loc;
    data = kLocatorListTotalOffset + b + 1 + s;
    form = LobLocatorForm::kExtentList;
  } else {
    return loc;  // a nibble that names no kind byte
  }
  if (data > length) return loc;
  loc.form = form;
  loc.fullBlocks = full;
  loc.length = last;
  loc.kind = static_cast<uint8_t>(kind);
  loc.dataOffset = static_cast<uint32_t>(data);
  // An inline value never reaches past the locator.
  if (form == LobLocatorForm::kInRow && loc.kind == kLobKindInline && loc.length > length - data)
    loc.length = static_cast<uint32_t>(length - data);
  return loc;
}

bool nextLobExtent(const unsigned char* list, size_t limit, size_t* pos, LobExtentEntry& entry) {
  if (list == nullptr || *pos >= limit) return false;
  const size_t width = (list[*pos] & kLobExtentWideCount) ? 2 : 1;
  uint32_t rdba = 0, blocks = 0;
  if (!readBigEndian(list, limit, *pos + 1, 4, rdba) ||
      !readBigEndian(list, limit, *pos + kLobExtentEntryHead, width, blocks))
    return false;
  entry.rdba = rdba;
  entry.blocks = blocks;
  *pos += kLobExtentEntryHead + width;
  return true;
}
