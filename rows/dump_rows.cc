#include "rows/dump_rows.h"

#include <cstdlib>
#include <cstring>

#include "export/dmp_writer.h"
#include "format/block_layout.h"
#include "format/data_layout.h"
#include "lob/lob_value.h"
#include "rows/compress.h"
#include "rows/row_walk.h"

namespace {

// A carried value is written as one item, so it holds at most one item.
constexpr uint32_t kCarryOverLimit =
    kCarryOverSize < kMaxDmpItemLength ? kCarryOverSize : static_cast<uint32_t>(kMaxDmpItemLength);

inline bool isLongType(uint8_t type) { return type == kColLong || type == kColLongRaw; }

inline int tableColumns(const SessionContext& ctx) {
  return ctx.columnCount < kMaxColumns ? ctx.columnCount : kMaxColumns;
}

void appendCarry(SessionContext& ctx, const unsigned char* bytes, uint32_t length) {
  if (ctx.carryOver == nullptr || ctx.carryOverLength >= kCarryOverLimit) return;
  const uint32_t room = kCarryOverLimit - ctx.carryOverLength;
  const uint32_t take = length < room ? length : room;
  if (take > 0) memcpy(ctx.carryOver + ctx.carryOverLength, bytes, take);
  ctx.carryOverLength += take;
}

void writeValue(FILE* stream, SessionContext& ctx, int column, const unsigned char* bytes,
                uint32_t length) {
  const uint8_t type = ctx.columnTypes[column];
  if (length == 0) {
    printDmpNull(stream);
  } else if (type == kColClob || type == kColBlob) {
    dumpLOBValue(stream, ctx, bytes, length, type, ctx.columnCharsetForm[column]);
  } else {
    printDmpValue(stream, bytes, length);
  }
}

void closeLong(FILE* stream, SessionContext& ctx) {
  if (!(ctx.dmpLongValue & kDmpLongHasItems)) printDmpNull(stream);
  printDmpRecord(stream);
  ctx.dmpLongValue &= static_cast<uint8_t>(~(kDmpLongOpen | kDmpLongHasItems));
}

// The column that was to continue in this piece ends here with what it has.
void finishPending(FILE* stream, SessionContext& ctx, int column) {
  if (ctx.dmpLongValue & kDmpLongOpen) {
    closeLong(stream, ctx);
  } else if (column >= 0 && column < tableColumns(ctx)) {
    writeValue(stream, ctx, column, ctx.carryOver, ctx.carryOver ? ctx.carryOverLength : 0);
  }
  ctx.carryOverLength = 0;
  ctx.dmpLongValue = 0;
}

void writeColumn(FILE* stream, SessionContext& ctx, int column, const unsigned char* bytes,
                 uint32_t length, bool fromPrevious, bool intoNext) {
  uint8_t& state = ctx.dmpLongValue;
  if (isLongType(ctx.columnTypes[column])) {
    if (!fromPrevious || !(state & kDmpLongOpen)) {
      if (state & kDmpLongOpen) closeLong(stream, ctx);
      printDmpChain(stream);
      state |= kDmpLongOpen;
    }
    if (length > 0) {
      printDmpValue(stream, bytes, length);
      state |= kDmpLongHasItems;
    }
    if (intoNext) {
      state |= kDmpColumnPending;
    } else {
      closeLong(stream, ctx);
      state &= static_cast<uint8_t>(~kDmpColumnPending);
    }
    return;
  }
  // A long value is closed by its own column; one left open by a damaged
  // chain must not take in the columns after it.
  if (state & kDmpLongOpen) closeLong(stream, ctx);
  if (!fromPrevious) ctx.carryOverLength = 0;
  if (intoNext) {
    appendCarry(ctx, bytes, length);
    state |= kDmpColumnPending;
    return;
  }
  state &= static_cast<uint8_t>(~kDmpColumnPending);
  if (fromPrevious) {
    appendCarry(ctx, bytes, length);
    writeValue(stream, ctx, column, ctx.carryOver, ctx.carryOver ? ctx.carryOverLength : 0);
  } else {
    writeValue(stream, ctx, column, bytes, length);
  }
  ctx.carryOverLength = 0;
}

}  // namespace

int dumpMappedColumns(FILE* stream, SessionContext& ctx, int firstColumn, uint8_t pieceFlag,
                      bool compressed) {
  if (firstColumn <= 0) {
    firstColumn = 0;
    ctx.dmpLongValue = 0;
    ctx.carryOverLength = 0;
  }
  const int n = ctx.mappedCount < kMaxMappedColumns ? ctx.mappedCount : kMaxMappedColumns;
  int c = firstColumn;
  bool continues = false;
  if (ctx.dmpLongValue & kDmpColumnPending) {
    if ((pieceFlag & kRowPrevious) && n > 0) {
      c = firstColumn - 1;
      continues = true;
    } else {
      finishPending(stream, ctx, firstColumn - 1);
    }
  }
  const bool last = (pieceFlag & kRowLast) != 0;
  const int count = tableColumns(ctx);
  const uint32_t S = ctx.blockSize;
  for (int i = 0; i < n; i++) {
    const int column = c + i;
    const bool fromPrevious = i == 0 && continues;
    const bool intoNext = i == n - 1 && (pieceFlag & kRowNext) && !last;
    if (column >= count) {
      // Outside the table's columns: not written. A split column that
      // continued here is thereby closed.
      if (fromPrevious) {
        ctx.dmpLongValue = 0;
        ctx.carryOverLength = 0;
      }
      continue;
    }
    MappedColumn m = compressed ? getCompressColumn(ctx, i) : ctx.columnMap[i];
    if (ctx.blockBuffer == nullptr || static_cast<uint32_t>(m.offset) + m.length > S) m.length = 0;
    const unsigned char* bytes = m.length ? ctx.blockBuffer + m.offset : nullptr;
    writeColumn(stream, ctx, column, bytes, m.length, fromPrevious, intoNext);
  }
  if (last) {
    for (int column = c + n; column < count; column++) printDmpNull(stream);
    printDmpRecord(stream);
    ctx.dmpLongValue = 0;
    ctx.carryOverLength = 0;
  }
  return c + n;
}

int dumpDataRow2(FILE* stream, SessionContext& ctx, int table, int row, int firstColumn) {
  const bool compressed = (getDataFlag(ctx) & kDataFlagCompressed) != 0;
  mapRowPiece(ctx, table, row);
  return dumpMappedColumns(stream, ctx, firstColumn, ctx.rowFlag, compressed);
}

void endDumpRow(FILE* stream, SessionContext& ctx, int nextColumn) {
  if (ctx.dmpLongValue & kDmpColumnPending) {
    finishPending(stream, ctx, nextColumn - 1);
  } else if (ctx.dmpLongValue & kDmpLongOpen) {
    closeLong(stream, ctx);
  }
  for (int column = nextColumn < 0 ? 0 : nextColumn; column < tableColumns(ctx); column++) {
    printDmpNull(stream);
  }
  printDmpRecord(stream);
  ctx.dmpLongValue = 0;
  ctx.carryOverLength = 0;
}

void dumpDataRows2(FILE* stream, SessionContext& ctx, int table, int takeDeleted,
                   int committedOnly) {
  static const RowPieceWriter kDump = {dumpDataRow2, endDumpRow, true};
  DmpCarryOver carry(ctx);
  walkDataRows(stream, ctx, table, takeDeleted, committedOnly, kDump);
}

DmpCarryOver::DmpCarryOver(SessionContext& ctx) : ctx_(ctx) {
  if (ctx_.carryOver == nullptr) {
    own_ = static_cast<unsigned char*>(malloc(kCarryOverSize));
    ctx_.carryOver = own_;
  }
}

DmpCarryOver::~DmpCarryOver() {
  if (own_ != nullptr) {
    ctx_.carryOver = nullptr;
    free(own_);
  }
}
