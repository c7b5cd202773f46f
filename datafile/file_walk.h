// The walk over the blocks of the open data files, shared by every scan that
// reads whole files: the segment header search, the SCAN listings, the
// extent and LOB maps and the full-scan unload.
//
// A walk visits the open files in file-set order and, in each, blocks 2 up to
// the file's highest block; a non-zero file number restricts it to the files
// carrying that number, except in BIGFILE mode. A block that does not read in
// full is passed over without a message.
#pragma once

#include <cstdint>

#include "core/progress.h"
#include "core/session_context.h"
#include "datafile/data_file_set.h"

// How the blocks of the open file at entry position p are read. Normally
// through the data window by file number; when that number leads to another
// entry (two files carrying the same number, or a BIGFILE file not
// registered as file 0), the entry is read directly so that the walk still
// sees this file's own blocks.
struct FileWalk {
  int position = 0;
  uint16_t rfn = 0;
  uint32_t lookup = 0;  // file number handed to readBlock
  bool direct = false;
  uint64_t last = 0;    // highest block number of the file
};

// True when the session has a file set, a block buffer and a block size.
bool fileWalkReady(const SessionContext& ctx);
// True when entry p is open and, for a non-zero file number outside BIGFILE
// mode, carries that number.
bool fileWalkEligible(const SessionContext& ctx, int p, uint16_t file);
// False when the session has no file set or buffer, or p is not an open file.
bool startFileWalk(SessionContext& ctx, int p, FileWalk& walk);
// True when the block read in full into the session block buffer.
bool readFileWalkBlock(SessionContext& ctx, const FileWalk& walk, uint32_t block);

// The blocks a walk over the eligible files visits.
uint64_t countWalkBlocks(SessionContext& ctx, uint16_t file);

// Calls visit(walk, block) for every block of every eligible file that reads
// in full; visit returns false to end the walk, and so does Ctrl-C. The walk
// tells the progress line how many blocks it reads.
template <class Visit>
void walkFileBlocks(SessionContext& ctx, uint16_t file, Visit&& visit) {
  if (!fileWalkReady(ctx)) return;
  setProgressTotal(countWalkBlocks(ctx, file));
  for (int p = 0; p < ctx.fileSet->count; p++) {
    if (!fileWalkEligible(ctx, p, file)) continue;
    FileWalk w;
    if (!startFileWalk(ctx, p, w)) continue;
    for (uint64_t b = 2; b <= w.last; b++) {
      if (cancelRequested()) return;
      if (!readFileWalkBlock(ctx, w, static_cast<uint32_t>(b))) continue;
      if (!visit(w, static_cast<uint32_t>(b))) return;
    }
  }
}
