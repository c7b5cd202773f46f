#include "rows/compress.h"

#include "format/block_layout.h"
#include "format/data_layout.h"
#include "rows/row_map.h"

namespace {

inline uint8_t blockByte(const SessionContext& ctx, size_t off) {
  return readUB1(ctx.blockBuffer, ctx.blockSize, off);
}
inline uint16_t bigEndian16(const SessionContext& ctx, size_t off) {
  return readUB2(ctx.blockBuffer, ctx.blockSize, off, kBigEndian);
}

// State of one row expansion: where the symbol rows are (read once per row,
// since every reference looks one up), the symbol row count M and the unit
// budget shared by the row and every symbol row it reaches.
struct Expansion {
  SessionContext& ctx;
  uint32_t mecRows = 0;
  uint32_t d = 0;            // data header
  size_t symbolSlots = 0;    // row directory entry of symbol row 0
  uint32_t symbolCount = 0;  // rows of table 0
  uint32_t budget = kMaxUnitsPerRow;

  explicit Expansion(SessionContext& c) : ctx(c) {
    mecRows = getCompressMecRows(ctx);
    d = getDataBeginOffset(ctx);
    if (getTableCount(ctx) == 0) return;
    const size_t directory = getTableDirectoryOffset(ctx);
    symbolCount = getTableRowCount(ctx, 0);
    symbolSlots = directory + kTableEntrySize * static_cast<size_t>(getTableCount(ctx)) +
                  kRowEntrySize * static_cast<size_t>(getTableRowIndex(ctx, 0));
  }
  // Start of symbol row s; 0 when it is not there.
  uint32_t symbolStart(uint32_t s) const {
    if (s >= symbolCount) return 0;
    const size_t entry = symbolSlots + kRowEntrySize * static_cast<size_t>(s);
    if (entry + kRowEntrySize > ctx.blockSize) return 0;
    const uint16_t offset = sessionUB2(ctx, entry);
    if (offset == kEmptyRowSlot) return 0;
    const uint32_t start = d + offset;
    return start < ctx.blockSize ? start : 0;
  }
};

bool mapFull(const SessionContext& ctx) { return ctx.mappedCount >= kMaxMappedColumns; }

// Symbol row s: where its units start and how many columns it declares
// (its unit count below M, else 1). False when the row is not there.
bool symbolRow(const Expansion& e, uint32_t s, uint32_t& units, uint32_t& columns) {
  const SessionContext& ctx = e.ctx;
  const uint32_t start = e.symbolStart(s);
  if (start == 0) return false;
  const uint32_t header = s < e.mecRows ? 3 : 2;
  if (static_cast<uint64_t>(start) + header > ctx.blockSize) return false;
  columns = s < e.mecRows ? blockByte(ctx, start + 2) : 1;
  units = start + header;
  return true;
}

uint32_t declaredColumns(const Expansion& e, uint32_t s) {
  uint32_t units, columns;
  return symbolRow(e, s, units, columns) ? columns : 1;
}

void expandSymbol(Expansion& e, uint32_t s, int depth);

// A reference to symbol row s: its columns, or, when it cannot be followed,
// as many NULL columns as it declares (at least one).
void referSymbol(Expansion& e, uint32_t s, int depth, uint32_t at) {
  uint32_t units, columns;
  if (depth < kMaxSymbolDepth && symbolRow(e, s, units, columns)) {
    expandSymbol(e, s, depth + 1);
    return;
  }
  const uint32_t nulls = declaredColumns(e, s);
  for (uint32_t i = 0; i < (nulls ? nulls : 1); i++) {
    if (!appendMappedColumn(e.ctx, at, 0)) return;
  }
}

// Decodes one unit at pos that is not a reference or a run: an inline value
// or a NULL. Returns the position after it, or 0 when it runs past the block.
uint32_t inlineUnit(Expansion& e, uint32_t pos, uint8_t u) {
  const SessionContext& ctx = e.ctx;
  const uint32_t S = ctx.blockSize;
  if (u >= kUnitFirstNull) {
    appendMappedColumn(e.ctx, pos, 0);
    return pos + 1;
  }
  uint32_t data, length;
  if (u == kUnitLongInline) {
    if (static_cast<uint64_t>(pos) + 3 > S) return 0;
    length = bigEndian16(ctx, pos + 1);
    data = pos + 3;
  } else {
    length = u - kUnitInlineBase;
    data = pos + 1;
  }
  if (static_cast<uint64_t>(data) + length > S) return 0;
  appendMappedColumn(e.ctx, data, length);
  return data + length;
}

void expandSymbol(Expansion& e, uint32_t s, int depth) {
  uint32_t pos, columns;
  if (!symbolRow(e, s, pos, columns)) return;
  const uint32_t S = e.ctx.blockSize;
  uint32_t produced = 0;
  while (produced < columns && !mapFull(e.ctx) && e.budget > 0) {
    e.budget--;
    if (pos >= S) return;
    const uint8_t u = e.ctx.blockBuffer[pos];
    if (u <= kUnitMaxSymbol || u == kUnitLongSymbol) {
      uint32_t ref = u;
      if (u == kUnitLongSymbol) {
        if (static_cast<uint64_t>(pos) + 3 > S) return;
        ref = bigEndian16(e.ctx, pos + 1);
      }
      produced += declaredColumns(e, ref);
      referSymbol(e, ref, depth, pos);
      pos += u == kUnitLongSymbol ? 3 : 1;
      continue;
    }
    pos = inlineUnit(e, pos, u);  // 201 … 249 are always inline here
    if (pos == 0) return;
    produced++;
  }
}

// Entry k of the column length table; 0 past its end.
int32_t lengthEntry(const SessionContext& ctx, uint32_t k) {
  return k < ctx.compressLengthCount ? ctx.compressLengths[k] : 0;
}

// A run of n columns whose lengths come from the column length table, data
// starting at pos. Returns the position after the data, or 0 when it runs past
// the block.
uint32_t runUnit(Expansion& e, uint32_t pos, uint32_t n) {
  SessionContext& ctx = e.ctx;
  uint32_t k = ctx.mappedCount;
  int32_t base = lengthEntry(ctx, k);
  if (base < 0) {
    base = 0;
    for (uint32_t j = k; j-- > 0;) {
      if (lengthEntry(ctx, j) >= 0) {
        base = lengthEntry(ctx, j);
        break;
      }
    }
  }
  for (uint32_t j = 0; j < n; j++) {
    int32_t length = k + 1 < ctx.compressLengthCount ? lengthEntry(ctx, k + 1) - base : 0;
    if (length < 0) length = 0;
    if (static_cast<uint64_t>(pos) + static_cast<uint32_t>(length) > ctx.blockSize) return 0;
    if (!appendMappedColumn(ctx, pos, static_cast<uint32_t>(length))) return 0;
    pos += static_cast<uint32_t>(length);
    base += length;
    k++;
  }
  return pos;
}

void expandDataRow(Expansion& e, uint32_t table, uint32_t row) {
  SessionContext& ctx = e.ctx;
  const uint32_t S = ctx.blockSize;
  const uint32_t start = getRowStart(ctx, table, row);
  if (start == 0) return;
  const uint8_t flag = blockByte(ctx, start);
  uint32_t header = 3 + (ctx.compressLengthCount != 0 ? 1 : 0);
  const uint32_t headAt = start + header;
  if (!(flag & kRowFirst)) header += kRowAddressSize;
  const uint32_t nextAt = start + header;
  if (!(flag & kRowLast)) header += kRowAddressSize;
  if (static_cast<uint64_t>(start) + header > S) return;
  ctx.rowFlag = flag;
  if (!(flag & kRowFirst)) {
    ctx.headRowRDBA = readUB4(ctx.blockBuffer, S, headAt, kBigEndian);
    ctx.headRowSlot = bigEndian16(ctx, headAt + 4);
  }
  if (!(flag & kRowLast)) {
    ctx.nextPieceRDBA = readUB4(ctx.blockBuffer, S, nextAt, kBigEndian);
    ctx.nextPieceSlot = bigEndian16(ctx, nextAt + 4);
  }
  const uint32_t units = blockByte(ctx, start + 2);
  uint32_t pos = start + header;
  for (uint32_t i = 0; i < units && !mapFull(ctx) && e.budget > 0; i++) {
    e.budget--;
    if (pos >= S) return;
    const uint8_t u = ctx.blockBuffer[pos];
    if (u <= kUnitMaxSymbol) {
      referSymbol(e, u, 0, pos);
      pos += 1;
    } else if (u == kUnitLongSymbol) {
      if (static_cast<uint64_t>(pos) + 3 > S) return;
      referSymbol(e, bigEndian16(ctx, pos + 1), 0, pos);
      pos += 3;
    } else if (u <= kUnitMaxInline &&
               static_cast<int>(ctx.mappedCount) < static_cast<int>(ctx.compressLengthCount) - 1) {
      pos = runUnit(e, pos + 1, u - kUnitInlineBase);
      if (pos == 0) return;
    } else {
      pos = inlineUnit(e, pos, u);
      if (pos == 0) return;
    }
  }
}

}  // namespace

void getCompressOrder(SessionContext& ctx) {
  ctx.compressLengthCount = 0;
  ctx.compressOrderCount = 0;
  if (getCompressOffset(ctx) == 0) return;
  const uint32_t d = getDataBeginOffset(ctx);
  const uint8_t nl = blockByte(ctx, d + kCompressLengthCountOffset);
  const uint8_t no = blockByte(ctx, d + kCompressOrderCountOffset);
  const size_t table = d + kCompressLengthTableOffset;
  for (uint32_t k = 0; k < nl; k++) {
    ctx.compressLengths[k] = static_cast<int16_t>(sessionUB2(ctx, table + 2 * k));
  }
  for (uint32_t i = 0; i < no; i++) ctx.compressOrder[i] = blockByte(ctx, table + 2 * nl + i);
  ctx.compressLengthCount = nl;
  ctx.compressOrderCount = no;
}

void mapCompressColumns(SessionContext& ctx, int table, int row) {
  ctx.rowFlag = 0;
  ctx.nextPieceRDBA = 0;
  ctx.nextPieceSlot = 0;
  ctx.headRowRDBA = 0;
  ctx.headRowSlot = 0;
  if (ctx.blockBuffer == nullptr || table < 0 || row < 0) return;
  Expansion e(ctx);
  if (table == 0) {
    expandSymbol(e, static_cast<uint32_t>(row), 0);
  } else {
    expandDataRow(e, static_cast<uint32_t>(table), static_cast<uint32_t>(row));
  }
  clampMappedColumns(ctx);
}

MappedColumn getCompressColumn(const SessionContext& ctx, int i) {
  const int count = ctx.mappedCount;
  int entry = i;
  if (i >= 0 && i < ctx.compressOrderCount) entry = ctx.compressOrder[i];
  if (entry < 0 || entry >= count || entry >= kMaxMappedColumns) {
    MappedColumn none;
    none.offset = static_cast<uint16_t>(ctx.blockSize >= 2 ? ctx.blockSize - 2 : 0);
    return none;
  }
  return ctx.columnMap[entry];
}
