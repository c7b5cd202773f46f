// The recovery rule of every segment unload: the blocks of a segment are
// found through the extent list when it lists the object, else through the
// segment header, else by reading every block of every data file. So a
// segment whose header is damaged still comes out, and a stale extent list
// (one that does not list the object) does no harm.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/session_context.h"

// One segment to unload and where to look for its blocks.
struct UnloadSegment {
  uint32_t objd = 0;
  uint16_t file = 0;   // segment header; 0 when unknown
  uint32_t block = 0;
  uint8_t cluster = 0;
  bool noHeader = false;  // already searched for in every file and not found
};

// Which way the rows of a segment were found.
enum UnloadRoute : uint8_t {
  kRouteExtentList = 1,
  kRouteSegmentHeader = 2,
  kRouteFullScan = 3,
};

// Rows of one segment through the extent list file listName. Returns the
// number of list lines of the object; 0 when the list is missing or does not
// list it, so the caller looks elsewhere.
int unloadByExtentList(FILE* out, SessionContext& ctx, const char* listName,
                       const UnloadSegment& s, int deleted, int committed);

// Rows of one segment through its header (found at s.file / s.block, or by
// searching the files), or every block of the files when no header of the
// object is found; the full scan is restricted to scanFile / scanBlock as
// scanTableRows describes. Returns the route taken.
UnloadRoute unloadBySegmentHeader(FILE* out, SessionContext& ctx, const UnloadSegment& s,
                                  int deleted, int committed, uint16_t scanFile,
                                  uint32_t scanBlock);

// Whether the extent list file listName (null or empty: none) lists objd.
bool extentListHasObject(const char* listName, uint32_t objd);

// The whole rule: the extent list (unless listName is null or empty), then
// the segment header, then the full scan. When the list lists the object and
// the segment header is at the known s.file / s.block, the blocks the header
// names beyond the list are read too, each block once. Returns the route
// taken (the extent list for such a union).
UnloadRoute unloadSegment(FILE* out, SessionContext& ctx, const char* listName,
                          const UnloadSegment& s, int deleted, int committed, uint16_t scanFile,
                          uint32_t scanBlock);
