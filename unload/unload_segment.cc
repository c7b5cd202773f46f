#include "unload/unload_segment.h"

#include <algorithm>

#include "core/field_scanner.h"
#include "format/block_layout.h"
#include "scan/extent_scan.h"
#include "unload/unload_drivers.h"

int unloadByExtentList(FILE* out, SessionContext& ctx, const char* listName,
                       const UnloadSegment& s, int deleted, int committed) {
  if (listName == nullptr || listName[0] == 0) return 0;
  FILE* list = fopen(listName, "r");
  if (list == nullptr) return 0;
  int matched = 0;
  OraExtent e;
  while (readORAEXTENT(list, e)) {
    if (e.objd != s.objd) continue;
    matched++;
    if (ctx.blockTally != nullptr) {
      const uint64_t first = ctx.bigfile
                                 ? static_cast<uint64_t>(e.block) + (static_cast<uint64_t>(e.file) << 22)
                                 : static_cast<uint64_t>(makeRDBA(e.file, e.block));
      ctx.blockTally->listed.emplace_back(first, first + e.blocks);
    }
    UnloadExtent extent;
    extent.objd = e.objd;
    extent.file = e.file;
    extent.block = e.block;
    extent.blocks = e.blocks;
    printRowByExtent(out, ctx, s.objd, s.cluster, deleted, committed, extent);
  }
  fclose(list);
  return matched;
}

bool extentListHasObject(const char* listName, uint32_t objd) {
  if (listName == nullptr || listName[0] == 0) return false;
  FILE* list = fopen(listName, "r");
  if (list == nullptr) return false;
  OraExtent e;
  bool found = false;
  while (!found && readORAEXTENT(list, e)) found = e.objd == objd;
  fclose(list);
  return found;
}

UnloadRoute unloadBySegmentHeader(FILE* out, SessionContext& ctx, const UnloadSegment& s,
                                  int deleted, int committed, uint16_t scanFile,
                                  uint32_t scanBlock) {
  if (!s.noHeader && scanSegmentHeader(out, ctx, s.objd, s.file, s.block)) {
    printExtentRows(out, ctx, s.objd, s.cluster, deleted, committed);
    return kRouteSegmentHeader;
  }
  scanTableRows(out, ctx, s.objd, s.cluster, deleted, committed, scanFile, scanBlock);
  return kRouteFullScan;
}

UnloadRoute unloadSegment(FILE* out, SessionContext& ctx, const char* listName,
                          const UnloadSegment& s, int deleted, int committed, uint16_t scanFile,
                          uint32_t scanBlock) {
  BlockTally local;
  BlockTally* const outer = ctx.blockTally;
  if (outer == nullptr) ctx.blockTally = &local;
  BlockTally& tally = *ctx.blockTally;
  tally.listed.clear();
  UnloadRoute route = kRouteExtentList;
  if (unloadByExtentList(out, ctx, listName, s, deleted, committed) == 0) {
    route = unloadBySegmentHeader(out, ctx, s, deleted, committed, scanFile, scanBlock);
  } else if (s.block != 0 && (s.file != 0 || ctx.bigfile) &&
             scanSegmentHeader(out, ctx, s.objd, s.file, s.block)) {
    // A list written while a file was missing (or before the segment grew)
    // lacks extents its segment header knows: those are read too, each block
    // once. The header is only read where its address is known; searching
    // every file for it would cost the full scan the list is there to avoid.
    std::sort(tally.listed.begin(), tally.listed.end());
    tally.skipListed = true;
    printExtentRows(out, ctx, s.objd, s.cluster, deleted, committed);
    tally.skipListed = false;
  }
  tally.listed.clear();
  ctx.blockTally = outer;
  return route;
}
