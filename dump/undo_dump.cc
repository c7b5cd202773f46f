#include "dump/undo_dump.h"

#include "dump/count_cut.h"
#include "format/undo_layout.h"

void printUndoBlockHeader(FILE* out, const SessionContext& ctx) {
  if (!isUndoBlock(ctx)) return;
  const uint32_t count = getUndoBlockCount(ctx);
  fprintf(out, "UNDO BLK: xid=0x%04x.%03x.%08x, seq=0x%04x\n", getUndoBlockXIDUSN(ctx),
          getUndoBlockXIDSLOT(ctx), getUndoBlockXIDWRAP(ctx), getUndoBlockUBAWRAP(ctx));
  fprintf(out, "          cnt=0x%04x=%u, irb=0x%02x, icl=%u, flag=0x%04x\n", count, count,
          getUndoBlockIRB(ctx), getUndoBlockICL(ctx), getUndoBlockFlag(ctx));
  fputs("       rec Offset Length        rec Offset Length        rec Offset Length \n"
        "---------- ------ ------ ---------- ------ ------ ---------- ------ ------ \n",
        out);
  if (count == 0) return;
  // Record h's length needs the entry before it, so every printed record's
  // two entries lie inside the block.
  const FittedCount n = fitCount(count, undoRecordsInBlock(ctx));
  const uint32_t shown = n.shown;
  for (uint32_t h = 1; h <= shown; h++) {
    fprintf(out, "  %03u/0x%02x 0x%04x %6u ", h, h, getUndoBlockRecordOffset(ctx, h - 1),
            getUndoBlockRecordLength(ctx, h - 1));
    if (h % 3 == 0) fputc('\n', out);
  }
  if (shown % 3 != 0) fputc('\n', out);
  reportCut(out, "records", n);
}

void printUndoSegmentHeader(FILE* out, const SessionContext& ctx) {
  if (!isUndoHeader(ctx)) return;
  const uint32_t s1 = getUndoHeaderSpare1(ctx), s2 = getUndoHeaderSpare2(ctx);
  const uint32_t s3 = getUndoHeaderSpare3(ctx), s4 = getUndoHeaderSpare4(ctx);
  fprintf(out, "UNDO SEG: spare1=0x%08x=%u, spare2=0x%08x=%u\n", s1, s1, s2, s2);
  fprintf(out, "          spare3=0x%08x=%u, spare4=0x%08x=%u\n", s3, s3, s4, s4);
  fprintf(out, "          extents=%u, blocks=%u, offset=%u\n", getUndoHeaderExtents(ctx),
          getUndoHeaderBlocks(ctx), getUndoHeaderOffset(ctx));
  const uint32_t hwm = getUndoHeaderHWMBlockRDBA(ctx);
  fprintf(out, "     HWM: rdba=0x%08x=%u, ext#=%u, blk#=%u, blocks=%u\n", hwm, hwm,
          getUndoHeaderHWMExtent(ctx), getUndoHeaderHWMBlock(ctx), getUndoHeaderHWMExtentSize(ctx));
  const uint32_t next = getUndoHeaderMapNext(ctx);
  const uint32_t entries = getUndoHeaderMapExtents(ctx);
  fprintf(out, "     MAP: rdba=0x%08x=%u, extents=%u, object=%u, flag=0x%08x\n", next, next, entries,
          getUndoHeaderMapObject(ctx), getUndoHeaderMapFlag(ctx));
  fputs("Extent Map \n"
        "   Ext       RDBA   Length    Timestamp   Ext       RDBA   Length    Timestamp\n"
        " ----- ---------- -------- ------------ ----- ---------- -------- ------------\n",
        out);
  const FittedCount extents = fitCount(entries, undoExtentsInBlock(ctx));
  uint32_t last = extents.shown;
  for (uint32_t i = 0; i < last; i++) {
    fprintf(out, " %5u 0x%08x %8u %12u", i + 1, getUndoHeaderExtentRDBA(ctx, i),
            getUndoHeaderExtentSize(ctx, i), getUndoHeaderExtentSCN(ctx, i));
    if (i % 2 == 1) fputc('\n', out);
  }
  if (last < entries) {
    // The cut line starts a line of its own; what follows sees an even count.
    if (last % 2 == 1) fputc('\n', out);
    reportCut(out, "extents", extents);
    last = 0;
  }
  if (ctx.transOffset != 0 || (undoDefaultTransOffset(ctx) & 0xFFFF) != 0) {
    fputc('\n', out);
    fprintf(out, "     TCL: scn=0x%04x.%08x, uba=0x%08x.%04x.%02x\n", getUndoHeaderTCLSCNWrap(ctx),
            getUndoHeaderTCLSCNBase(ctx), getUndoHeaderTCLUBABlock(ctx),
            getUndoHeaderTCLUBAWrap(ctx), getUndoHeaderTCLUBARecord(ctx));
    fputs("     TBL:\n"
          "  Slot   Wrap Sta       rdba   flag Next             scn     blocks   timstamp\n"
          "  ---- ------ --- ---------- ------ ---- --------------- ---------- ----------\n",
          out);
    const FittedCount slots = fitCount(getUndoHeaderTransCount(ctx), undoTransSlotsInBlock(ctx));
    for (uint32_t k = 0; k < slots.shown; k++) {
      fprintf(out, "  0x%02x 0x%04x %3d 0x%08x 0x%04x 0x%02x 0x%04x.%08x %10u %10u\n", k,
              getUndoHeaderTranSlotWrap(ctx, k), getUndoHeaderTranSlotState(ctx, k),
              getUndoHeaderTranSlotLastBlock(ctx, k), getUndoHeaderTranSlotFlag(ctx, k),
              getUndoHeaderTranSlotNext(ctx, k), getUndoHeaderTranSlotSCNWrap(ctx, k),
              getUndoHeaderTranSlotSCNBase(ctx, k), getUndoHeaderTranSlotBlockCount(ctx, k),
              getUndoHeaderTranSlotCommit(ctx, k));
    }
    reportCut(out, "transaction slots", slots);
    last = slots.shown < slots.stored ? 0 : slots.stored;
  }
  if ((last & 0xFF) % 2 == 1) fputc('\n', out);
}
