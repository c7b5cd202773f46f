#include "unload/unload_segment.h"

#include "core/field_scanner.h"
#include "scan/extent_scan.h"
#include "unload/unload_drivers.h"

namespace {

constexpr size_t kExtentLineSize = 1024;

}  // namespace

int unloadByExtentList(FILE* out, SessionContext& ctx, const char* listName,
                       const UnloadSegment& s, int deleted, int committed) {
  if (listName == nullptr || listName[0] == 0) return 0;
  FILE* list = fopen(listName, "r");
  if (list == nullptr) return 0;
  int matched = 0;
  char line[kExtentLineSize];
  size_t length = 0;
  while (readDictLine(list, line, sizeof line, &length)) {
    if (line[0] == 0 || line[0] == '\n' || line[0] == '\r') continue;
    FieldScanner cursor;
    cursor.text = line;
    cursor.length = static_cast<int32_t>(length < sizeof line ? length : sizeof line - 1);
    OraExtent e;
    if (parseORAEXTENT(e, cursor) != 0 || e.objd != s.objd) continue;
    matched++;
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

UnloadRoute unloadBySegmentHeader(FILE* out, SessionContext& ctx, const UnloadSegment& s,
                                  int deleted, int committed, uint16_t scanFile,
                                  uint32_t scanBlock) {
  if (scanSegmentHeader(out, ctx, s.objd, s.file, s.block)) {
    printExtentRows(out, ctx, s.objd, s.cluster, deleted, committed);
    return kRouteSegmentHeader;
  }
  scanTableRows(out, ctx, s.objd, s.cluster, deleted, committed, scanFile, scanBlock);
  return kRouteFullScan;
}

UnloadRoute unloadSegment(FILE* out, SessionContext& ctx, const char* listName,
                          const UnloadSegment& s, int deleted, int committed, uint16_t scanFile,
                          uint32_t scanBlock) {
  if (unloadByExtentList(out, ctx, listName, s, deleted, committed) != 0) return kRouteExtentList;
  return unloadBySegmentHeader(out, ctx, s, deleted, committed, scanFile, scanBlock);
}
