#include "rows/row_map.h"

namespace {

inline uint8_t blockByte(const SessionContext& ctx, size_t off) {
  return readUB1(ctx.blockBuffer, ctx.blockSize, off);
}

// Row addresses inside row headers are big-endian whatever the byte order.
inline uint32_t bigEndian32(const SessionContext& ctx, size_t off) {
  return readUB4(ctx.blockBuffer, ctx.blockSize, off, kBigEndian);
}
inline uint16_t bigEndian16(const SessionContext& ctx, size_t off) {
  return readUB2(ctx.blockBuffer, ctx.blockSize, off, kBigEndian);
}

// Size of a row piece header with the given flag: the optional parts in
// their stored order.
uint32_t pieceHeaderSize(uint8_t flag) {
  uint32_t size = kRowHeaderSize;
  if (flag & kRowClusterMember) size += 1;  // cluster key index
  if ((flag & kRowFirst) && !(flag & kRowHead)) size += kRowAddressSize;  // head row address
  if (!(flag & kRowLast)) size += kRowAddressSize;                       // next piece address
  constexpr uint8_t kKeyRow = kRowClusterKey | kRowHead | kRowFirst | kRowLast;
  if ((flag & kKeyRow) == kKeyRow) {
    size += kClusterKeyExtraSize;
    if ((flag & (kRowPrevious | kRowNext)) == (kRowPrevious | kRowNext)) {
      size += kClusterKeyChainedExtraSize;
    }
  }
  return size;
}

// Appends the columns of the piece of row r of table t. A cluster member maps
// its key row first; the key row's own cluster flag is not followed
// (depth 1), so rows that name each other as keys cannot recurse. Returns the
// piece's header start, or 0 when nothing could be read.
uint32_t mapPiece(SessionContext& ctx, uint32_t table, uint32_t row, int depth) {
  const uint32_t S = ctx.blockSize;
  const uint32_t start = getRowStart(ctx, table, row);
  if (start == 0) return 0;
  const uint8_t flag = blockByte(ctx, start);
  const uint32_t header = pieceHeaderSize(flag);
  if (static_cast<uint64_t>(start) + header > S) return 0;
  const uint32_t cc = blockByte(ctx, start + 2);
  if ((flag & kRowClusterMember) && depth == 0) {
    mapPiece(ctx, 0, blockByte(ctx, start + kRowHeaderSize), depth + 1);
  }
  uint32_t pos = start + header;
  for (uint32_t k = 0; k < cc; k++) {
    ColumnSpan c;
    pos = decodeColumn(ctx.blockBuffer, S, pos, ctx.byteOrder, c);
    if (pos == 0) break;
    if (!appendMappedColumn(ctx, c.data, c.length)) break;
  }
  return start;
}

}  // namespace

bool appendMappedColumn(SessionContext& ctx, uint32_t offset, uint32_t length) {
  if (ctx.mappedCount >= kMaxMappedColumns) return false;
  MappedColumn& m = ctx.columnMap[ctx.mappedCount++];
  m.offset = static_cast<uint16_t>(offset);
  m.length = static_cast<uint16_t>(length);
  return true;
}

void clampMappedColumns(SessionContext& ctx) {
  const uint32_t S = ctx.blockSize;
  for (uint32_t i = 0; i < ctx.mappedCount && i < kMaxMappedColumns; i++) {
    MappedColumn& m = ctx.columnMap[i];
    if (static_cast<uint32_t>(m.offset) + m.length + 1 >= S) {
      m.offset = static_cast<uint16_t>(S >= 2 ? S - 2 : 0);
      m.length = 0;
    }
  }
}

void mapNormalColumns(SessionContext& ctx, int table, int row) {
  ctx.rowFlag = 0;
  ctx.nextPieceRDBA = 0;
  ctx.nextPieceSlot = 0;
  ctx.headRowRDBA = 0;
  ctx.headRowSlot = 0;
  ctx.compressOrderCount = 0;
  if (ctx.blockBuffer == nullptr || table < 0 || row < 0) return;
  const uint32_t start = mapPiece(ctx, static_cast<uint32_t>(table), static_cast<uint32_t>(row), 0);
  if (start == 0) return;
  const uint8_t flag = ctx.blockBuffer[start];
  uint32_t pos = start + kRowHeaderSize + ((flag & kRowClusterMember) ? 1 : 0);
  if ((flag & kRowFirst) && !(flag & kRowHead)) {
    ctx.headRowRDBA = bigEndian32(ctx, pos);
    ctx.headRowSlot = bigEndian16(ctx, pos + 4);
    pos += kRowAddressSize;
  }
  if (!(flag & kRowLast)) {
    ctx.nextPieceRDBA = bigEndian32(ctx, pos);
    ctx.nextPieceSlot = bigEndian16(ctx, pos + 4);
  }
  ctx.rowFlag = flag;
  clampMappedColumns(ctx);
}
