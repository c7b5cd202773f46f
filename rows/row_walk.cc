#include "rows/row_walk.h"

#include <cstdlib>
#include <cstring>

#include "datafile/block_reader.h"
#include "format/block_layout.h"
#include "format/data_layout.h"
#include "format/index_layout.h"
#include "rows/compress.h"
#include "rows/row_map.h"
#include "rows/text_output.h"
#include "rows/undo_verdict.h"

namespace {

inline uint8_t blockByte(const SessionContext& ctx, size_t off) {
  return readUB1(ctx.blockBuffer, ctx.blockSize, off);
}

// Row selection test of one slot: the offset must be a real row start.
bool isRowSlotUsable(const SessionContext& ctx, uint32_t d, uint16_t offset) {
  if (offset == kEmptyRowSlot) return false;
  if (offset < getRecordCount(ctx) || offset < getFreeSpaceEndOffset(ctx)) return false;
  return d < ctx.blockSize && offset < ctx.blockSize - d;
}

// The per-row state that lives in the record and must pass between the
// session and the worker copy that prints a chained piece.
void carryRowState(const SessionContext& from, SessionContext& to) {
  to.dmpLongValue = from.dmpLongValue;
  to.carryOverLength = from.carryOverLength;
  memcpy(to.unknownTypeWarnings, from.unknownTypeWarnings, sizeof to.unknownTypeWarnings);
}

}  // namespace

void mapRowPiece(SessionContext& ctx, int table, int row) {
  ctx.mappedCount = 0;
  if (getDataFlag(ctx) & kDataFlagCompressed) {
    mapCompressColumns(ctx, table, row);
  } else {
    mapNormalColumns(ctx, table, row);
  }
}

bool isRowCommitted(const SessionContext& ctx, uint8_t lock) {
  if (lock == 0) return true;
  if (lock > getITLCount(ctx)) return false;
  const uint16_t flag = getITLFlag(ctx, lock - 1u);
  return (flag & (kITLCommitted | kITLUpperBoundCommit)) != 0;
}

bool committedOnlyKeeps(SessionContext& ctx, uint8_t lock) {
  return isRowCommitted(ctx, lock) || (ctx.undoTable != nullptr && undoKeepsRow(ctx, lock));
}

ChainWorker::~ChainWorker() {
  if (ctx != nullptr) {
    free(ctx->blockBuffer);
    delete ctx;
  }
}

SessionContext* ChainWorker::get(const SessionContext& from) {
  if (ctx == nullptr) {
    ctx = new SessionContext;
    if (copyBlock(from, *ctx) != 0) {
      delete ctx;
      ctx = nullptr;
    }
  }
  return ctx;
}

// A chain is finite only if its addresses never repeat. MAXCHAINS may be 0
// (no limit), so a loop is caught by Brent's cycle detection over the
// (RDBA, slot) pairs visited: exact, constant memory, and at most about twice
// the loop's length in extra hops before it is noticed.
bool followRowChain(FILE* stream, SessionContext& ctx, ChainWorker& worker, int table, int row,
                    int& column, const RowPieceWriter& writer, bool dataRows) {
  const uint32_t headRDBA = getBlockRDBA(ctx);
  const uint32_t objd = getDataObjectID(ctx);
  uint32_t next = ctx.nextPieceRDBA;
  uint16_t slot = ctx.nextPieceSlot;
  uint64_t checkpoint = static_cast<uint64_t>(headRDBA) << 16 | static_cast<uint16_t>(row);
  uint64_t power = 1, steps = 0;
  uint32_t hops = 0;
  while (next != 0) {
    hops++;
    if (dataRows && ctx.maxChains != 0 && hops > ctx.maxChains) {
      printf("Max chained block reached, RDBA=%u ...\n", headRDBA);
      return false;
    }
    const uint64_t here = static_cast<uint64_t>(next) << 16 | slot;
    if (here == checkpoint) {
      printf("Chained row loops back, RDBA=%u ...\n", headRDBA);
      return false;
    }
    if (++steps == power) {
      checkpoint = here;
      power *= 2;
      steps = 0;
    }
    SessionContext* w = worker.get(ctx);
    if (w == nullptr) return false;
    const uint32_t got = readSingleBlock(ctx.fileSet, *w, rdbaFile(next), rdbaBlock(next));
    if (ctx.verbose) printf("Recover rows from chained block RDBA=%u ...\n", next);
    if (got != ctx.blockSize) return false;
    if (matchBlockTail(*w)) {
      if (writer.dumpForm || !dataRows) printf("Block check failured at RDBA=0x%08x=%u\n", next, next);
      return false;
    }
    if (getBlockType(*w) != kBlockTypeData) return false;
    // A block found at the address but carrying another address was moved
    // there: its slot holds a piece of some other row.
    if (getBlockRDBA(*w) != next) return false;
    if (dataRows && getDataObjectID(*w) != objd) return false;
    int pieceTable = table;
    if (getDataFlag(*w) & kDataFlagCompressed) {
      getCompressOrder(*w);
      pieceTable = 1;
    }
    // A slot that holds no row ends the row like an unreadable block.
    if (getRowStart(*w, static_cast<uint32_t>(pieceTable), slot) == 0) return false;
    carryRowState(ctx, *w);
    w->mappedCount = 0;
    column = writer.writePiece(stream, *w, pieceTable, slot, column);
    carryRowState(*w, ctx);
    if (w->rowFlag & kRowLast) return true;
    next = w->nextPieceRDBA;
    slot = w->nextPieceSlot;
  }
  return false;
}

bool checkRowBlock(const SessionContext& ctx) {
  const uint32_t rdba = getBlockRDBA(ctx);
  if (ctx.verbose) printf("Recover rows from RDBA=%u ...\n", rdba);
  switch (blockVerdict(ctx)) {
    case kBlockUsable: return true;
    case kBlockSkipped: printf("Block skipped at RDBA=0x%08x=%u\n", rdba, rdba); return false;
    default: printf("Block check failured at RDBA=0x%08x=%u\n", rdba, rdba); return false;
  }
}

void walkDataRows(FILE* stream, SessionContext& ctx, int table, int takeDeleted,
                  int committedOnly, const RowPieceWriter& writer) {
  if (ctx.blockBuffer == nullptr || ctx.blockSize == 0) return;
  if (!checkRowBlock(ctx)) return;
  const uint32_t rdba = getBlockRDBA(ctx);
  if (getBlockType(ctx) != kBlockTypeData) return;
  const uint8_t ntab = getTableCount(ctx);
  if (table < 0 || ntab == 0 || table >= ntab) return;
  int dataTable = table;
  if (getDataFlag(ctx) & kDataFlagCompressed) {
    if (ntab < 2) return;
    dataTable = 1;
    getCompressOrder(ctx);
  }
  const uint32_t d = getDataBeginOffset(ctx);
  const uint32_t slots = rowSlotsInBlock(ctx, static_cast<uint32_t>(dataTable));
  ChainWorker worker;
  // Chained pieces are read into the worker's copy, so this block and its
  // directory stay as they are for the whole walk.
  const RowDirectory directory = getRowDirectory(ctx, static_cast<uint32_t>(dataTable));
  for (uint32_t r = 0; r < directory.rows && r < slots; r++) {
    if (ctx.rowsUnloaded >= ctx.rowLimit) break;
    // Sampling stops after GUESS_SIZE rows whatever non-zero mode it runs in.
    if (ctx.rowOutputMode != 0 && ctx.rowsUnloaded >= ctx.guessSize) break;
    const uint16_t offset = getRowDirectoryEntry(ctx, directory, r);
    if (!isRowSlotUsable(ctx, d, offset)) continue;
    const uint32_t start = d + offset;
    const uint8_t flag = blockByte(ctx, start);
    if ((flag & kRowDeleted) && !takeDeleted) continue;
    if (!(flag & kRowHead)) continue;
    if (committedOnly && !committedOnlyKeeps(ctx, blockByte(ctx, start + 1))) continue;

    ctx.mappedCount = 0;
    if (!writer.dumpForm && ctx.rowAddress && ctx.rowOutputMode == 0) {
      writeRowAddress(stream, ctx, static_cast<int32_t>(rdba), dataTable, static_cast<int>(r));
    }
    int column = 0;
    bool closed = false;
    if (flag & kRowFirst) {
      column = writer.writePiece(stream, ctx, dataTable, static_cast<int>(r), 0);
      closed = (ctx.rowFlag & kRowLast) != 0;
    } else {
      // The head of a migrated row holds no columns, only where its body is.
      mapRowPiece(ctx, dataTable, static_cast<int>(r));
      ctx.mappedCount = 0;
    }
    ctx.rowsUnloaded++;
    if (!closed) {
      closed = followRowChain(stream, ctx, worker, dataTable, static_cast<int>(r), column, writer, true);
    }
    if (!closed) writer.endRowEarly(stream, ctx, column);
  }
}

int countDataRows(const SessionContext& ctx, int table) {
  if (ctx.blockBuffer == nullptr || getBlockType(ctx) != kBlockTypeData) return 0;
  const uint32_t d = getDataBeginOffset(ctx);
  const uint8_t dataType = getDataType(ctx);
  if (dataType == kDataTypeTable) {
    const uint8_t ntab = getTableCount(ctx);
    if (ntab == 0) return 0;
    const uint32_t t = (table < 0 || table >= ntab) ? ntab - 1u : static_cast<uint32_t>(table);
    const uint32_t rows = getTableRowCount(ctx, t);
    const uint32_t slots = rowSlotsInBlock(ctx, t);
    for (uint32_t r = 0; r < rows && r < slots; r++) {
      const uint16_t offset = getTableRowOffset(ctx, t, r);
      if (!isRowSlotUsable(ctx, d, offset)) continue;
      const uint32_t start = d + offset;
      const uint8_t flag = blockByte(ctx, start);
      if ((flag & kRowHead) && !(flag & kRowDeleted) && blockByte(ctx, start + 2) > 0) return 1;
    }
    return 0;
  }
  // An index-organized leaf: a live row is any row not marked deleted.
  if (dataType == kDataTypeIndex) {
    if (getIndexColev(ctx) != 0 || !(getIndexCoopc(ctx) & kIndexOpcodeIOTRows)) return 0;
    for (uint32_t i = 0; i < getIndexRowCount(ctx); i++) {
      const uint32_t start = getIndexRowStart(ctx, i);
      if (start != 0 && !(ctx.blockBuffer[start] & kIndexRowDeletedFlag)) return 1;
    }
  }
  return 0;
}
