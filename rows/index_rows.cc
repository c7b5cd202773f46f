#include "rows/index_rows.h"

#include "format/block_layout.h"
#include "datafile/block_reader.h"
#include "rows/row_map.h"
#include "rows/row_walk.h"
#include "rows/text_output.h"
#include "rows/text_rows.h"
#include "rows/dump_rows.h"

namespace {

// Decodes up to `count` columns from pos, appending them to the map. Returns
// the position after the last column decoded, or 0 when a length byte or a
// column would leave the block (the columns before it stay mapped).
uint32_t mapIndexRowColumns(SessionContext& ctx, uint32_t pos, uint32_t count) {
  for (uint32_t k = 0; k < count; k++) {
    ColumnSpan c;
    pos = decodeColumn(ctx.blockBuffer, ctx.blockSize, pos, ctx.byteOrder, c);
    if (pos == 0) return 0;
    if (!appendMappedColumn(ctx, c.data, c.length)) return 0;
  }
  return pos;
}

// What the walk does with one selected row: the text or the dump form.
struct IndexRowForm {
  void (*writeRow)(FILE* stream, SessionContext& ctx, ChainWorker& worker, int row);
  bool dumpForm;
};

void writeTextRow(FILE* stream, SessionContext& ctx, ChainWorker& worker, int row) {
  const bool text = ctx.rowOutputMode == 0;
  printMappedColumns(stream, ctx, 0, row, 0, false);
  int column = ctx.mappedCount;
  if (ctx.nextPieceRDBA == 0) {
    if (text) endTextRecord(stream, ctx);
    return;
  }
  // The non-key part goes on in an overflow block: a new column there,
  // unless its last column is split and continues in the next piece.
  if (text && !(ctx.rowFlag & kRowNext) && ctx.textOutput == nullptr)
    writeTag(stream, ctx.fieldTag, ctx.fieldTagLength);
  static const RowPieceWriter kText = {printDataRow2, endTextRow, false};
  if (!followRowChain(stream, ctx, worker, 0, row, column, kText, false)) {
    endTextRow(stream, ctx, column);
  }
}

void writeDumpRow(FILE* stream, SessionContext& ctx, ChainWorker& worker, int row) {
  const bool chained = ctx.nextPieceRDBA != 0;
  // The leaf part is the first piece of the row; without an overflow piece it
  // is also the last.
  const uint8_t flag = chained ? (ctx.rowFlag & kRowNext) : kRowLast;
  int column = dumpMappedColumns(stream, ctx, 0, flag, false);
  if (!chained) return;
  static const RowPieceWriter kDump = {dumpDataRow2, endDumpRow, true};
  if (!followRowChain(stream, ctx, worker, 0, row, column, kDump, false)) {
    endDumpRow(stream, ctx, column);
  }
}

void walkIndexRows(FILE* stream, SessionContext& ctx, int takeDeleted, int committedOnly,
                   const IndexRowForm& form) {
  if (ctx.blockBuffer == nullptr || ctx.blockSize == 0) return;
  if (getIndexColev(ctx) != 0) return;
  if (!checkRowBlock(ctx)) return;
  const uint32_t rdba = getBlockRDBA(ctx);
  ChainWorker worker;
  for (uint32_t i = 0; i < getIndexRowCount(ctx); i++) {
    if (ctx.rowsUnloaded >= ctx.rowLimit) break;
    if (ctx.rowOutputMode != 0 && ctx.rowsUnloaded >= ctx.guessSize) break;
    const uint32_t start = getIndexRowStart(ctx, i);
    if (start == 0) continue;
    const uint8_t flag = ctx.blockBuffer[start];
    if (committedOnly && !committedOnlyKeeps(ctx, ctx.blockBuffer[start + 1])) continue;
    if ((flag & kIndexRowDeletedFlag) && !takeDeleted) continue;
    if (!form.dumpForm && ctx.rowAddress && ctx.rowOutputMode == 0) {
      writeRowAddress(stream, ctx, static_cast<int32_t>(rdba), 0, static_cast<int>(i));
    }
    mapIndexColumns(ctx, 0, static_cast<int>(i));
    ctx.rowsUnloaded++;
    form.writeRow(stream, ctx, worker, static_cast<int>(i));
  }
}

}  // namespace

// ---- mapping ----

void mapIndexColumns(SessionContext& ctx, int, int row) {
  ctx.mappedCount = 0;
  ctx.rowFlag = 0;
  ctx.nextPieceRDBA = 0;
  ctx.nextPieceSlot = 0;
  ctx.headRowRDBA = 0;
  ctx.headRowSlot = 0;
  ctx.compressOrderCount = 0;
  if (ctx.blockBuffer == nullptr || row < 0) return;
  const uint32_t S = ctx.blockSize;
  const uint32_t start = getIndexRowStart(ctx, static_cast<uint32_t>(row));
  if (start == 0) return;
  const uint8_t flag = ctx.blockBuffer[start];
  uint32_t pos = start + kIndexRowHeaderSize + getIndexLedsz(ctx);
  pos = mapIndexRowColumns(ctx, pos, getIndexColumnCount(ctx));
  if (pos != 0 && (flag & kIndexRowNonKey) && static_cast<uint64_t>(pos) + kRowHeaderSize <= S) {
    const uint8_t pieceFlag = ctx.blockBuffer[pos];
    const uint32_t cc = ctx.blockBuffer[pos + 2];
    pos += kRowHeaderSize;
    bool readable = true;
    if (!(pieceFlag & kRowLast)) {
      if (static_cast<uint64_t>(pos) + kRowAddressSize > S) {
        readable = false;
      } else {
        ctx.nextPieceRDBA = readUB4(ctx.blockBuffer, S, pos, kBigEndian);
        ctx.nextPieceSlot = readUB2(ctx.blockBuffer, S, pos + 4, kBigEndian);
        pos += kRowAddressSize;
      }
    }
    if (readable) {
      ctx.rowFlag = pieceFlag;
      mapIndexRowColumns(ctx, pos, cc);
    }
  }
  clampMappedColumns(ctx);
}

// ---- output ----

void printIndexRow2(FILE* stream, SessionContext& ctx, int takeDeleted, int committedOnly) {
  static const IndexRowForm kText = {writeTextRow, false};
  walkIndexRows(stream, ctx, takeDeleted, committedOnly, kText);
}

void dumpIndexRow2(FILE* stream, SessionContext& ctx, int takeDeleted, int committedOnly) {
  static const IndexRowForm kDump = {writeDumpRow, true};
  DmpCarryOver carry(ctx);
  walkIndexRows(stream, ctx, takeDeleted, committedOnly, kDump);
}
