#include "rows/index_block.h"

#include "datafile/block_layout.h"
#include "datafile/block_reader.h"
#include "rows/data_block.h"
#include "rows/dump_rows.h"

namespace {

inline uint8_t indexUB1(const SessionContext& ctx, size_t off) {
  return sessionUB1(ctx, getDataBeginOffset(ctx) + off);
}
inline uint16_t indexUB2(const SessionContext& ctx, size_t off) {
  return sessionUB2(ctx, getDataBeginOffset(ctx) + off);
}
inline uint32_t indexUB4(const SessionContext& ctx, size_t off) {
  return sessionUB4(ctx, getDataBeginOffset(ctx) + off);
}

// Decodes up to `count` columns from pos, appending them to the map. Returns
// the position after the last column decoded, or 0 when a length byte or a
// column would leave the block (the columns before it stay mapped).
uint32_t mapIndexRowColumns(SessionContext& ctx, uint32_t pos, uint32_t count) {
  const uint32_t S = ctx.blockSize;
  for (uint32_t k = 0; k < count; k++) {
    if (pos >= S) return 0;
    const uint8_t l = ctx.blockBuffer[pos];
    uint32_t data = pos + 1;
    uint32_t length = 0;
    if (l == kColumnLongLength) {
      if (static_cast<uint64_t>(pos) + 3 > S) return 0;
      length = readUB2(ctx.blockBuffer, S, pos + 1, ctx.byteOrder);
      data = pos + 3;
    } else if (l != kColumnNull) {
      length = l;
    }
    if (static_cast<uint64_t>(data) + length > S) return 0;
    if (!appendMappedColumn(ctx, data, length)) return 0;
    pos = data + length;
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
    if (text) writeTag(stream, ctx.recordTag, ctx.recordTagLength);
    return;
  }
  // The non-key part goes on in an overflow block: a new column there,
  // unless its last column is split and continues in the next piece.
  if (text && !(ctx.rowFlag & kRowNext)) writeTag(stream, ctx.fieldTag, ctx.fieldTagLength);
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
    if (committedOnly && !isRowCommitted(ctx, ctx.blockBuffer[start + 1])) continue;
    if ((flag & kIndexRowDeletedFlag) && !takeDeleted) continue;
    if (!form.dumpForm && ctx.rowAddress && ctx.rowOutputMode == 0) {
      fprintf(stream, "%d.%d.%d", static_cast<int32_t>(rdba), 0, static_cast<int>(i));
      writeTag(stream, ctx.fieldTag, ctx.fieldTagLength);
    }
    mapIndexColumns(ctx, 0, static_cast<int>(i));
    ctx.rowsUnloaded++;
    form.writeRow(stream, ctx, worker, static_cast<int>(i));
  }
}

}  // namespace

// ---- accessors ----

uint8_t getIndexColev(const SessionContext& ctx) { return indexUB1(ctx, kIndexColevOffset); }
uint8_t getIndexColok(const SessionContext& ctx) { return indexUB1(ctx, kIndexColokOffset); }
uint8_t getIndexCoopc(const SessionContext& ctx) { return indexUB1(ctx, kIndexCoopcOffset); }
uint8_t getIndexOpcode(const SessionContext& ctx) { return indexUB1(ctx, kIndexCoopcOffset); }
uint8_t getIndexColumnCount(const SessionContext& ctx) { return indexUB1(ctx, kIndexConcoOffset); }
uint32_t getIndexCosdc(const SessionContext& ctx) { return indexUB4(ctx, kIndexCosdcOffset); }
uint16_t getIndexRowCount(const SessionContext& ctx) { return indexUB2(ctx, kIndexConroOffset); }
uint16_t getIndexFreeSpaceBegin(const SessionContext& ctx) { return indexUB2(ctx, kIndexCofboOffset); }
uint16_t getIndexFreeSpaceEnd(const SessionContext& ctx) { return indexUB2(ctx, kIndexCofeoOffset); }
uint16_t getIndexFreeSpace(const SessionContext& ctx) { return indexUB2(ctx, kIndexCoavsOffset); }
uint16_t getIndexLespl(const SessionContext& ctx) { return indexUB2(ctx, kIndexLesplOffset); }
uint16_t getIndexLende(const SessionContext& ctx) { return indexUB2(ctx, kIndexLendeOffset); }
uint32_t getIndexLenxt(const SessionContext& ctx) { return indexUB4(ctx, kIndexLenxtOffset); }
uint32_t getIndexLeprv(const SessionContext& ctx) { return indexUB4(ctx, kIndexLeprvOffset); }
uint8_t getIndexLedsz(const SessionContext& ctx) { return indexUB1(ctx, kIndexLedszOffset); }
uint16_t getIndexLebksz(const SessionContext& ctx) { return indexUB2(ctx, kIndexLebkszOffset); }
uint32_t getIndexBrlmc(const SessionContext& ctx) { return indexUB4(ctx, kIndexBrlmcOffset); }
uint32_t getIndexBrsno(const SessionContext& ctx) { return indexUB4(ctx, kIndexBrsnoOffset); }
uint16_t getIndexBrbksz(const SessionContext& ctx) { return indexUB2(ctx, kIndexBrbkszOffset); }

uint16_t getIndexOffset(const SessionContext& ctx, uint32_t i) {
  const size_t directory = getIndexColev(ctx) == 0 ? kIndexLeafDirectory : kIndexBranchDirectory;
  const size_t entry = getDataBeginOffset(ctx) + directory + kRowEntrySize * static_cast<size_t>(i);
  if (ctx.blockBuffer == nullptr || entry + kRowEntrySize > ctx.blockSize) return kEmptyRowSlot;
  return sessionUB2(ctx, entry);
}

uint32_t getIndexRowStart(const SessionContext& ctx, uint32_t i) {
  const uint16_t offset = getIndexOffset(ctx, i);
  if (offset == kEmptyRowSlot) return 0;
  const uint64_t start = static_cast<uint64_t>(getDataBeginOffset(ctx)) + offset;
  return start + kIndexRowHeaderSize <= ctx.blockSize ? static_cast<uint32_t>(start) : 0;
}

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

void printIndexRowHeader(FILE* stream, const SessionContext& ctx) {
  fprintf(stream, "kdxcolev=%u\n", getIndexColev(ctx));
  fprintf(stream, "kdxcolok=%u\n", getIndexColok(ctx));
  fprintf(stream, "kdxcoopc=0x%02x opcode=%u\n", getIndexCoopc(ctx), getIndexOpcode(ctx));
  fprintf(stream, "kdxconco=%u\n", getIndexColumnCount(ctx));
  fprintf(stream, "kdxcosdc=%u\n", getIndexCosdc(ctx));
  fprintf(stream, "kdxconro=%u\n", getIndexRowCount(ctx));
  fprintf(stream, "kdxcofbo=%u=0x%04x\n", getIndexFreeSpaceBegin(ctx), getIndexFreeSpaceBegin(ctx));
  fprintf(stream, "kdxcofeo=%u=0x%04x\n", getIndexFreeSpaceEnd(ctx), getIndexFreeSpaceEnd(ctx));
  fprintf(stream, "kdxcoavs=%u\n", getIndexFreeSpace(ctx));
  if (getIndexColev(ctx) != 0) {
    fprintf(stream, "kdxbrlmc=%u=0x%08x\n", getIndexBrlmc(ctx), getIndexBrlmc(ctx));
    fprintf(stream, "kdxbrsno=%u\n", getIndexBrsno(ctx));
    fprintf(stream, "kdxbrbksz=%u\n", getIndexBrbksz(ctx));
    return;
  }
  fprintf(stream, "kdxlespl=%u\n", getIndexLespl(ctx));
  fprintf(stream, "kdxlende=%u\n", getIndexLende(ctx));
  fprintf(stream, "kdxlenxt=0x%08x=%u,kdxleprv=0x%08x=%u\n", getIndexLenxt(ctx), getIndexLenxt(ctx),
          getIndexLeprv(ctx), getIndexLeprv(ctx));
  fprintf(stream, "kdxledsz=%u\n", getIndexLedsz(ctx));
  fprintf(stream, "kdxlebksz=%u\n", getIndexLebksz(ctx));
}
