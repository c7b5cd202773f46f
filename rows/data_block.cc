#include "rows/data_block.h"

#include <cstdlib>
#include <cstring>

#include "datafile/block_layout.h"
#include "datafile/block_reader.h"
#include "rows/compress.h"
#include "rows/guess_field.h"
#include "rows/index_block.h"
#include "rows/value_format.h"

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
    if (pos >= S) break;
    const uint8_t l = ctx.blockBuffer[pos];
    uint32_t data;
    uint32_t length;
    if (l == kColumnNull) {
      data = pos;
      length = 0;
      pos += 1;
    } else if (l == kColumnLongLength) {
      if (static_cast<uint64_t>(pos) + 3 > S) break;
      length = readUB2(ctx.blockBuffer, S, pos + 1, ctx.byteOrder);
      data = pos + 3;
      if (static_cast<uint64_t>(data) + length > S) break;
      pos = data + length;
    } else {
      length = l;
      data = pos + 1;
      if (static_cast<uint64_t>(data) + length > S) break;
      pos = data + length;
    }
    if (!appendMappedColumn(ctx, data, length)) break;
  }
  return start;
}

// Shows the first values of a column of unknown type on standard output.
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

void mapPieceOf(SessionContext& ctx, int table, int row) {
  ctx.mappedCount = 0;
  if (getDataFlag(ctx) & kDataFlagCompressed) {
    mapCompressColumns(ctx, table, row);
  } else {
    mapNormalColumns(ctx, table, row);
  }
}

}  // namespace

// ---- accessors ----

uint32_t getDataBeginOffset(const SessionContext& ctx) {
  uint32_t d = kDataHeaderBase + kDataHeaderITLSize * getITLCount(ctx);
  if (blockByte(ctx, kDataHeaderShiftFlagOffset) == kDataHeaderShiftFlag) d += kDataHeaderShift;
  return d;
}

uint8_t getDataFlag(const SessionContext& ctx) {
  return blockByte(ctx, getDataBeginOffset(ctx) + kDataFlagOffset);
}
uint8_t getTableCount(const SessionContext& ctx) {
  return blockByte(ctx, getDataBeginOffset(ctx) + kTableCountOffset);
}
uint16_t getRecordCount(const SessionContext& ctx) {
  return sessionUB2(ctx, getDataBeginOffset(ctx) + kRecordCountOffset);
}
uint16_t getFirstFreeRowEntry(const SessionContext& ctx) {
  return sessionUB2(ctx, getDataBeginOffset(ctx) + kFirstFreeRowEntryOffset);
}
uint16_t getFreeSpaceBeginOffset(const SessionContext& ctx) {
  return sessionUB2(ctx, getDataBeginOffset(ctx) + kFreeSpaceBeginOffset);
}
uint16_t getFreeSpaceEndOffset(const SessionContext& ctx) {
  return sessionUB2(ctx, getDataBeginOffset(ctx) + kFreeSpaceEndOffset);
}
uint16_t getCurrentFreeSpace(const SessionContext& ctx) {
  return sessionUB2(ctx, getDataBeginOffset(ctx) + kCurrentFreeSpaceOffset);
}
uint16_t getTotalFreeSpace(const SessionContext& ctx) {
  return sessionUB2(ctx, getDataBeginOffset(ctx) + kTotalFreeSpaceOffset);
}

uint32_t getTableDirectoryOffset(const SessionContext& ctx) {
  return getDataBeginOffset(ctx) + kTableDirectoryOffset + getCompressOffset(ctx);
}

uint16_t getTableRowIndex(const SessionContext& ctx, uint32_t table) {
  return sessionUB2(ctx, getTableDirectoryOffset(ctx) + static_cast<size_t>(kTableEntrySize) * table);
}

uint16_t getTableRowCount(const SessionContext& ctx, uint32_t table) {
  return sessionUB2(ctx,
                    getTableDirectoryOffset(ctx) + static_cast<size_t>(kTableEntrySize) * table + 2);
}

// Rows past the table's own row count, and tables past the table count, are
// treated as empty slots rather than read from whatever follows.
uint16_t getTableRowOffset(const SessionContext& ctx, uint32_t table, uint32_t row) {
  const uint8_t ntab = getTableCount(ctx);
  if (ctx.blockBuffer == nullptr || table >= ntab) return kEmptyRowSlot;
  const size_t directory = getTableDirectoryOffset(ctx);
  const size_t tableEntry = directory + kTableEntrySize * static_cast<size_t>(table);
  if (row >= sessionUB2(ctx, tableEntry + 2)) return kEmptyRowSlot;
  const size_t first = sessionUB2(ctx, tableEntry);
  const size_t entry = directory + kTableEntrySize * static_cast<size_t>(ntab) + kRowEntrySize * (first + row);
  if (entry + kRowEntrySize > ctx.blockSize) return kEmptyRowSlot;
  return sessionUB2(ctx, entry);
}

// How many row directory entries of table t, from its first slot on, lie
// inside the block: a bound for any walk over a row count that may be damaged.
uint32_t rowSlotsInBlock(const SessionContext& ctx, uint32_t table) {
  const size_t directory = getTableDirectoryOffset(ctx);
  const size_t first = directory + kTableEntrySize * static_cast<size_t>(getTableCount(ctx)) +
                       kRowEntrySize * static_cast<size_t>(getTableRowIndex(ctx, table));
  return first < ctx.blockSize ? static_cast<uint32_t>((ctx.blockSize - first) / kRowEntrySize) : 0;
}

// ---- mapping ----

uint32_t getRowStart(const SessionContext& ctx, uint32_t table, uint32_t row) {
  const uint16_t offset = getTableRowOffset(ctx, table, row);
  if (offset == kEmptyRowSlot) return 0;
  const uint32_t start = getDataBeginOffset(ctx) + offset;
  return start < ctx.blockSize ? start : 0;
}

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

// ---- output ----

int printMappedColumns(FILE* stream, SessionContext& ctx, int table, int row, int firstColumn,
                       bool compressed) {
  const int n = ctx.mappedCount;
  const bool text = ctx.rowOutputMode == 0;
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
  mapPieceOf(ctx, table, row);
  int first = firstColumn;
  if ((ctx.rowFlag & kRowPrevious) && first > 0) first--;
  const int next = printMappedColumns(stream, ctx, table, row, first, compressed);
  if (ctx.rowOutputMode == 0) {
    if (ctx.rowFlag & kRowLast) {
      writeTag(stream, ctx.recordTag, ctx.recordTagLength);
    } else if (!(ctx.rowFlag & kRowNext)) {
      writeTag(stream, ctx.fieldTag, ctx.fieldTagLength);
    }
  }
  return next;
}

void endTextRow(FILE* stream, SessionContext& ctx, int) {
  if (ctx.rowOutputMode == 0) writeTag(stream, ctx.recordTag, ctx.recordTagLength);
}

bool isRowCommitted(const SessionContext& ctx, uint8_t lock) {
  if (lock == 0) return true;
  if (lock > getITLCount(ctx)) return false;
  const uint16_t flag = getITLFlag(ctx, lock - 1u);
  return (flag & (kITLCommitted | kITLUpperBoundCommit)) != 0;
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
  if (matchBlockTail(ctx)) {
    printf("Block check failured at RDBA=0x%08x=%u\n", rdba, rdba);
    return false;
  }
  if (isRDBAInList(ctx.skipList, rdba)) {
    printf("Block skipped at RDBA=0x%08x=%u\n", rdba, rdba);
    return false;
  }
  return true;
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
  for (uint32_t r = 0; r < getTableRowCount(ctx, dataTable) && r < slots; r++) {
    if (ctx.rowsUnloaded >= ctx.rowLimit) break;
    // Sampling stops after GUESS_SIZE rows whatever non-zero mode it runs in.
    if (ctx.rowOutputMode != 0 && ctx.rowsUnloaded >= ctx.guessSize) break;
    const uint16_t offset = getTableRowOffset(ctx, dataTable, r);
    if (!isRowSlotUsable(ctx, d, offset)) continue;
    const uint32_t start = d + offset;
    const uint8_t flag = blockByte(ctx, start);
    if (committedOnly && !isRowCommitted(ctx, blockByte(ctx, start + 1))) continue;
    if ((flag & kRowDeleted) && !takeDeleted) continue;
    if (!(flag & kRowHead)) continue;

    ctx.mappedCount = 0;
    if (!writer.dumpForm && ctx.rowAddress && ctx.rowOutputMode == 0) {
      fprintf(stream, "%d.%d.%d", static_cast<int32_t>(rdba), dataTable, static_cast<int>(r));
      writeTag(stream, ctx.fieldTag, ctx.fieldTagLength);
    }
    int column = 0;
    bool closed = false;
    if (flag & kRowFirst) {
      column = writer.writePiece(stream, ctx, dataTable, static_cast<int>(r), 0);
      closed = (ctx.rowFlag & kRowLast) != 0;
    } else {
      // The head of a migrated row holds no columns, only where its body is.
      mapPieceOf(ctx, dataTable, static_cast<int>(r));
      ctx.mappedCount = 0;
    }
    ctx.rowsUnloaded++;
    if (!closed) {
      closed = followRowChain(stream, ctx, worker, dataTable, static_cast<int>(r), column, writer, true);
    }
    if (!closed) writer.endRowEarly(stream, ctx, column);
  }
}

void printDataRows2(FILE* stream, SessionContext& ctx, int table, int takeDeleted,
                    int committedOnly) {
  static const RowPieceWriter kText = {printDataRow2, endTextRow, false};
  walkDataRows(stream, ctx, table, takeDeleted, committedOnly, kText);
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
