#include "dump/block_dump.h"

#include <memory>

#include "datafile/data_file_set.h"
#include "dump/block_listings.h"
#include "dump/brief_header.h"
#include "dump/count_cut.h"
#include "dump/undo_dump.h"
#include "format/block_layout.h"
#include "format/data_layout.h"
#include "format/index_layout.h"
#include "format/undo_layout.h"
#include "rows/compress.h"
#include "rows/index_rows.h"
#include "rows/row_walk.h"
#include "rows/undo_verdict.h"

namespace {

// The columns of the session column map: offset, length and bytes.
void printMappedColumns(FILE* out, const SessionContext& ctx) {
  for (uint32_t c = 0; c < ctx.mappedCount && c < kMaxMappedColumns; c++) {
    const MappedColumn& m = ctx.columnMap[c];
    fprintf(out, "     col[%3d] offs=%5d len=%5d : ", static_cast<int>(c), m.offset, m.length);
    if (m.length == 0) {
      fputs("*NULL*\n", out);
      continue;
    }
    for (uint32_t i = 0; i < m.length && static_cast<size_t>(m.offset) + i < ctx.blockSize; i++)
      fprintf(out, "%02x ", readUB1(ctx.blockBuffer, ctx.blockSize, m.offset + i));
    fputc('\n', out);
  }
}

// How many entries of `size` bytes from `first` on lie inside the block.
uint32_t entriesInBlock(const SessionContext& ctx, size_t first, size_t size) {
  return ctx.blockSize > first ? static_cast<uint32_t>((ctx.blockSize - first) / size) : 0;
}

char flagLetter(uint16_t flag, uint16_t bit, char letter) { return (flag & bit) ? letter : '-'; }

void printRowSlot(FILE* out, SessionContext& ctx, uint32_t table, uint32_t row, uint32_t hdsz,
                  uint16_t nrow) {
  const uint16_t o = getTableRowOffset(ctx, table, row);
  if (o == kEmptyRowSlot || o < nrow) {
    fprintf(out, "    row#=%4d  offs=0x%04x=%5d\n", static_cast<int>(row), o, o);
    return;
  }
  const uint32_t a = hdsz + o;
  mapRowPiece(ctx, static_cast<int>(table), static_cast<int>(row));
  const uint8_t f = readUB1(ctx.blockBuffer, ctx.blockSize, a);
  fprintf(out, "    row#=%4d  offs=0x%04x=%5d+%4d=0x%04x=%5d cc=%3d  flag=%c%c%c%c%c%c%c%c\n",
          static_cast<int>(row), o, o, hdsz, a, a, ctx.mappedCount,
          flagLetter(f, kRowClusterKey, 'K'), flagLetter(f, kRowClusterMember, 'C'),
          flagLetter(f, kRowHead, 'H'), flagLetter(f, kRowDeleted, 'D'),
          flagLetter(f, kRowFirst, 'F'), flagLetter(f, kRowLast, 'L'),
          flagLetter(f, kRowPrevious, 'P'), flagLetter(f, kRowNext, 'N'));
  printMappedColumns(out, ctx);
}

}  // namespace

namespace {

// What the undo segment header says of an ITL entry without a commit flag,
// on the line after the entry; nothing when it cannot say.
void printITLVerdict(FILE* out, uint32_t id, const ItlDecision& d) {
  switch (d.verdict) {
    case ItlVerdict::kCommitted:
      if (d.reused) {
        fprintf(out, "     itl 0x%02x: committed, undo slot reused since (undo slot 0x%02x, wrap 0x%x)\n", id,
                d.slot, d.wrap);
      } else {
        fprintf(out, "     itl 0x%02x: committed at scn 0x%04x.%08x (undo slot 0x%02x, wrap 0x%x)\n", id,
                d.scnWrap, d.scnBase, d.slot, d.wrap);
      }
      break;
    case ItlVerdict::kOpen:
      fprintf(out, "     itl 0x%02x: not committed (undo slot 0x%02x, wrap 0x%x)\n", id, d.slot, d.wrap);
      break;
    default: break;
  }
}

}  // namespace

void printITL(FILE* out, const SessionContext& ctx) {
  fputs("id   xid-usn.slot.wrap   uba-rdba.row.seq   flag lock fsc/scn        \n"
        "---- ------------------- ------------------ ---- ---- ---------------\n",
        out);
  if (getBlockType(ctx) != kBlockTypeData) return;
  const FittedCount n = fitCount(getITLCount(ctx), entriesInBlock(ctx, kFirstITLOffset, kITLSize));
  std::unique_ptr<UndoTable> undo;  // read on the first entry that needs it
  for (uint32_t i = 0; i < n.shown; i++) {
    const uint16_t flag = getITLFlag(ctx, i);
    fprintf(out, "0x%02x 0x%04x.%03x.%08x 0x%08x.%04x.%02x %c%c%c%c %4d 0x%04x.%08x\n", i + 1,
            getITLXIDUsn(ctx, i), getITLXIDSlot(ctx, i), getITLXIDWrap(ctx, i),
            getITLUndoRDBA(ctx, i), getITLUndoSeq(ctx, i), getITLUndoRecord(ctx, i),
            flagLetter(flag, kITLCommitted, 'C'), flagLetter(flag, kITLUndoForEntry, 'B'),
            flagLetter(flag, kITLUpperBoundCommit, 'U'), flagLetter(flag, kITLActiveAtCleanout, 'T'),
            getITLLock(ctx, i), getITLFSC(ctx, i), getITLSCN(ctx, i));
    // An entry without a commit flag: ask its undo segment header, through
    // the undo segment list when there is one (an empty entry is not asked).
    if ((flag & (kITLCommitted | kITLUpperBoundCommit)) != 0) continue;
    if (undo == nullptr) {
      undo.reset(new UndoTable);
      loadUndoSegmentList(*undo, kUndoSegmentListPath);
    }
    printITLVerdict(out, i + 1, decideITL(*undo, ctx, i));
  }
  reportCut(out, "ITL entries", n);
}

void printRowHeader(FILE* out, SessionContext& ctx) {
  const uint32_t hdsz = getDataBeginOffset(ctx);
  const uint16_t nrow = getRecordCount(ctx);
  fprintf(out, "hdsz=%u\n", hdsz);
  fprintf(out, "flag=0x%02x\n", getDataFlag(ctx));
  fprintf(out, "ntab=%u\n", getTableCount(ctx));
  fprintf(out, "nrow=%u\n", nrow);
  fprintf(out, "ffre=%u\n", getFirstFreeRowEntry(ctx));
  const uint32_t fsbo = hdsz + getFreeSpaceBeginOffset(ctx);
  const uint32_t fseo = hdsz + getFreeSpaceEndOffset(ctx);
  fprintf(out, "fsbo=0x%04x=%u\n", fsbo, fsbo);
  fprintf(out, "fseo=0x%04x=%u\n", fseo, fseo);
  fprintf(out, "avsp=0x%04x=%u\n", getCurrentFreeSpace(ctx), getCurrentFreeSpace(ctx));
  fprintf(out, "tosp=0x%04x=%u\n", getTotalFreeSpace(ctx), getTotalFreeSpace(ctx));
  getCompressOrder(ctx);
  const FittedCount tables =
      fitCount(getTableCount(ctx), entriesInBlock(ctx, getTableDirectoryOffset(ctx), kTableEntrySize));
  for (uint32_t t = 0; t < tables.shown; t++) {
    printTableDirectoryLine(out, ctx, t);
    const FittedCount rows = fitCount(getTableRowCount(ctx, t), rowSlotsInBlock(ctx, t));
    for (uint32_t r = 0; r < rows.shown; r++) printRowSlot(out, ctx, t, r, hdsz, nrow);
    reportCut(out, "row slots", rows);
  }
  reportCut(out, "tables", tables);
}

void printIndexRows(FILE* out, SessionContext& ctx) {
  const uint32_t hdsz = getDataBeginOffset(ctx);
  const bool leaf = getIndexColev(ctx) == 0;
  printIndexRowHeader(out, ctx);
  fputs("Index Rows:\n", out);
  const size_t directory = hdsz + (leaf ? kIndexLeafDirectory : kIndexBranchDirectory);
  const FittedCount n = fitCount(getIndexRowCount(ctx), entriesInBlock(ctx, directory, kRowEntrySize));
  // Only leaf rows carry a data prefix; in a branch block that byte is
  // something else.
  const uint32_t prefix = leaf ? getIndexLedsz(ctx) : 0;
  for (uint32_t r = 0; r < n.shown; r++) {
    const uint16_t o = getIndexOffset(ctx, r);
    fprintf(out, "    row#=%u offset=0x%04x=%u+%u=0x%04x=%u\n", r, o, o, hdsz, hdsz + o, hdsz + o);
    if (prefix != 0) {
      fputs("     data=", out);
      for (uint32_t j = 0; j < prefix; j++) {
        const size_t at = static_cast<size_t>(hdsz) + o + kIndexRowHeaderSize + j;
        if (at >= ctx.blockSize) break;
        if (j % 4 == 0) fputc(' ', out);
        fprintf(out, "%02X", readUB1(ctx.blockBuffer, ctx.blockSize, at));
      }
      fputc('\n', out);
    }
    if (!leaf) continue;
    mapIndexColumns(ctx, 1, static_cast<int>(r));
    printMappedColumns(out, ctx);
  }
  reportCut(out, "index rows", n);
}

void printSegmentHeader(FILE* out, const SessionContext& ctx) {
  const uint32_t objd = getDataObjectID(ctx);
  fprintf(out, "seg/obj=0x%08x=%u,exts=%u,blks=%u\n", objd, objd, getSegExtentCount(ctx),
          getSegBlockCount(ctx));
  const uint32_t hwm = getSegHWMAddress(ctx);
  fprintf(out, "hwm=%u/%u,ext#=%u,blks=%u,size=%u,free=%u,used=%u\n", rdbaFile(hwm), rdbaBlock(hwm),
          getSegHWMExtent(ctx), getSegHWMBlocks(ctx), getSegHWMExtSize(ctx), getSegFLGBlocks(ctx),
          getSegFLGBellow(ctx));
  const uint32_t map = getSegNextMapRDBA(ctx);
  fprintf(out, "map=0x%08x=%u\n", map, map);
  fputs("extents:\n", out);
  const FittedCount n = fitCount(getBlockExtentCount(ctx), extentEntriesInBlock(ctx));
  for (uint32_t i = 0; i < n.shown; i++) {
    const uint32_t rdba = getSegExtentRDBA(ctx, i);
    fprintf(out, "%4d %8d %8d\n", rdbaFile(rdba), rdbaBlock(rdba), getSegExtentBlocks(ctx, i));
  }
  reportCut(out, "extents", n);
}

void printHeader(FILE* out, SessionContext& ctx) {
  const uint8_t type = getBlockType(ctx);
  printRDBALine(out, ctx, type == kBlockTypeData);
  printBlockTypeLine(out, ctx);
  switch (type) {
    case kBlockTypeUndo:
      printUndoBlockHeader(out, ctx);
      return;
    case kBlockTypeUndoHeader:
    case kBlockTypeUndoSMUHeader:
      printUndoSegmentHeader(out, ctx);
      return;
    case kBlockTypeData: {
      printDataSegObjLine(out, ctx);
      const uint32_t next = getFreeListNext(ctx);
      fprintf(out, "FLG=0x%02x, fls=%u, nxt=0x%08x(%u/%u)=%u\n", getFreeListGroup(ctx),
              getFreeLists(ctx), next, rdbaFile(next), rdbaBlock(next), next);
      fputs("Transaction Slot:\n", out);
      printITL(out, ctx);
      const uint8_t layer = getDataType(ctx);
      if (layer == kDataTypeTable) {
        fputs("Block Data:\n", out);
        printRowHeader(out, ctx);
      } else if (layer == kDataTypeIndex) {
        printIndexRows(out, ctx);
      }
      break;
    }
    case kBlockTypeFileHeader:
      printFileHeader(out, ctx);
      break;
    case kBlockTypeSegHeader:
    case kBlockTypeSegHeader17:
    case kBlockTypePageTableSeg:
    case kBlockTypeExtentMap:
    case kBlockTypeExtentMap36:
      printSegmentHeader(out, ctx);
      break;
    default:
      break;
  }
  fputc('\n', out);
}
