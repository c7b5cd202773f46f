#include "rows/text_rows.h"

#include "format/block_layout.h"
#include "format/data_layout.h"
#include "rows/compress.h"
#include "rows/print_field.h"
#include "rows/text_output.h"
#include "values/guess_field.h"

void warnUnknownType(SessionContext& ctx, int column, int table, int row, const MappedColumn& m) {
  if (column < 0 || column >= kMaxColumns) return;
  if (ctx.unknownTypeWarnings[column] >= kUnknownTypeWarnings) return;
  ctx.unknownTypeWarnings[column]++;
  printf("Warnings : UNKNOWN column type %d at %d.%d.%d value 0x", column + 1,
         static_cast<int32_t>(getBlockRDBA(ctx)), table, row);
  static const char kHex[] = "0123456789ABCDEF";
  for (uint32_t i = 0; i < m.length && static_cast<uint32_t>(m.offset) + i < ctx.blockSize; i++) {
    const uint8_t b = ctx.blockBuffer[m.offset + i];
    putchar(kHex[b >> 4]);
    putchar(kHex[b & 0x0F]);
  }
  putchar('\n');
}

int printMappedColumns(FILE* stream, SessionContext& ctx, int table, int row, int firstColumn,
                       bool compressed) {
  const int n = ctx.mappedCount;
  const bool text = ctx.rowOutputMode == 0;
  if (text && ctx.textOutput != nullptr)
    return writeTextColumns(stream, ctx, table, row, firstColumn, compressed);
  for (int i = 0; i < n; i++) {
    const int c = firstColumn + i;
    const MappedColumn m = compressed ? getCompressColumn(ctx, i) : ctx.columnMap[i];
    // Sampling looks at every column: the types are what it is finding out.
    if (!text) {
      guessField(ctx, m.offset, m.length, static_cast<uint32_t>(c));
      continue;
    }
    // Columns past the type array (a chain longer than any real row) are
    // treated as skipped.
    const uint8_t type = c < kMaxColumns ? ctx.columnTypes[c] : static_cast<uint8_t>(kColSkip);
    if (type == kColSkip) continue;
    if (m.length != 0) {
      if (ctx.indexNumber != 0 || type == kColNotGiven) fprintf(stream, "C%d=", c + 1);
      if (type == kColNotGiven) warnUnknownType(ctx, c, table, row, m);
      printField(stream, ctx, m.offset, m.length, type, ctx.columnCharsetForm[c]);
    }
    if (i + 1 < n) writeTag(stream, ctx.fieldTag, ctx.fieldTagLength);
  }
  return firstColumn + n;
}

int printDataRow2(FILE* stream, SessionContext& ctx, int table, int row, int firstColumn) {
  const bool compressed = (getDataFlag(ctx) & kDataFlagCompressed) != 0;
  mapRowPiece(ctx, table, row);
  int first = firstColumn;
  if ((ctx.rowFlag & kRowPrevious) && first > 0) first--;
  const int next = printMappedColumns(stream, ctx, table, row, first, compressed);
  if (ctx.rowOutputMode == 0) {
    if (ctx.rowFlag & kRowLast) {
      endTextRecord(stream, ctx);
    } else if (!(ctx.rowFlag & kRowNext) && ctx.textOutput == nullptr) {
      writeTag(stream, ctx.fieldTag, ctx.fieldTagLength);
    }
  }
  return next;
}

void endTextRow(FILE* stream, SessionContext& ctx, int) {
  if (ctx.rowOutputMode == 0) endTextRecord(stream, ctx);
}

void printDataRows2(FILE* stream, SessionContext& ctx, int table, int takeDeleted,
                    int committedOnly) {
  static const RowPieceWriter kText = {printDataRow2, endTextRow, false};
  walkDataRows(stream, ctx, table, takeDeleted, committedOnly, kText);
}
