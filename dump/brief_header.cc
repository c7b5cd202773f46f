#include "dump/brief_header.h"

#include "format/block_layout.h"
#include "datafile/data_file_set.h"
#include "rows/row_walk.h"
#include "rows/index_rows.h"
#include "dump/undo_dump.h"
#include "format/undo_layout.h"

namespace {

// Lines that identify a block carry "## " while rows are being sampled, so
// the listing can be told apart from the rows around it.
void mark(FILE* out, const SessionContext& ctx) {
  if (ctx.rowOutputMode != 0) fputs("## ", out);
}

}  // namespace

void printRDBALine(FILE* out, const SessionContext& ctx, bool withDecimal) {
  const uint32_t rdba = getBlockRDBA(ctx);
  if (withDecimal)
    fprintf(out, "RDBA=0x%08x(%u/%u)=%u,", rdba, rdbaFile(rdba), rdbaBlock(rdba), rdba);
  else
    fprintf(out, "RDBA=0x%08x(%u/%u),", rdba, rdbaFile(rdba), rdbaBlock(rdba));
}

void printBlockTypeLine(FILE* out, const SessionContext& ctx) {
  const uint8_t type = getBlockType(ctx);
  fprintf(out, "type=0x%02x (%s),fmt=0x%02x,seq=0x%02x,flag=0x%02x \n", type,
          get_ora_block_name(type), getBlockFormat(ctx), getBlockSequence(ctx),
          getBlockFlag(ctx));
}

void printDataSegObjLine(FILE* out, const SessionContext& ctx) {
  const uint8_t layer = getDataType(ctx);
  const char* word = layer == kDataTypeTable ? "DATA" : "INDEX";
  const char* qualifier = " ";
  if (layer == kDataTypeIndex && (getIndexCoopc(ctx) & kIndexOpcodeIOTRows) != 0)
    qualifier = "IOT";
  const uint32_t objd = getDataObjectID(ctx);
  fprintf(out, "seg/obj=0x%08x=%u,csc=0x%04x.%08x,itc=%u,typ=%u - %s %s\n", objd, objd,
          getCleanSCNWrap(ctx), getCleanSCNBase(ctx), getITLCount(ctx), layer, word, qualifier);
}

void printTableDirectoryLine(FILE* out, const SessionContext& ctx, uint32_t table) {
  fprintf(out, "tab#=%3d     nrow=%4d     offs=%4d\n", static_cast<int>(table),
          static_cast<int>(getTableRowCount(ctx, table)),
          static_cast<int>(getTableRowIndex(ctx, table)));
}

void printBriefHeader(FILE* out, const SessionContext& ctx) {
  const uint8_t type = getBlockType(ctx);
  switch (type) {
    case kBlockTypeData: {
      mark(out, ctx);
      printRDBALine(out, ctx, false);
      printBlockTypeLine(out, ctx);
      mark(out, ctx);
      printDataSegObjLine(out, ctx);
      const uint32_t tables = getTableCount(ctx);
      for (uint32_t t = 0; t < tables; t++) {
        mark(out, ctx);
        printTableDirectoryLine(out, ctx, t);
      }
      fputc('\n', out);
      return;
    }
    case kBlockTypeFileHeader:
      mark(out, ctx);
      printRDBALine(out, ctx, false);
      printBlockTypeLine(out, ctx);
      printFileHeader(out, ctx);
      fputc('\n', out);
      return;
    case kBlockTypeSegHeader:
    case kBlockTypeSegHeader17:
    case kBlockTypePageTableSeg: {
      const uint32_t objd = getDataObjectID(ctx);
      mark(out, ctx);
      printRDBALine(out, ctx, false);
      fputc(' ', out);
      printBlockTypeLine(out, ctx);
      fprintf(out, "seg/obj=0x%08x=%u\n\n", objd, objd);
      return;
    }
    case kBlockTypeExtentMap: {
      const uint32_t objd = getDataObjectID(ctx);
      mark(out, ctx);
      printRDBALine(out, ctx, false);
      printBlockTypeLine(out, ctx);
      mark(out, ctx);
      fprintf(out, "seg/obj=0x%08x=%u\n\n", objd, objd);
      return;
    }
    case kBlockTypeUndo:
    case kBlockTypeUndoHeader:
    case kBlockTypeUndoSMUHeader:
      // Each undo dump prints nothing for the other types.
      mark(out, ctx);
      printRDBALine(out, ctx, false);
      printBlockTypeLine(out, ctx);
      printUndoBlockHeader(out, ctx);
      printUndoSegmentHeader(out, ctx);
      return;
    default:
      mark(out, ctx);
      printRDBALine(out, ctx, false);
      printBlockTypeLine(out, ctx);
      fputc('\n', out);
      return;
  }
}
