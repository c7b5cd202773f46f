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
