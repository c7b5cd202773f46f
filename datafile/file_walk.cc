#include "datafile/file_walk.h"

#include "core/progress.h"
#include "datafile/block_reader.h"

namespace {

bool entryOpen(const DataFileEntry& e) { return e.file != nullptr || e.asmHandle != nullptr; }

}  // namespace

bool fileWalkReady(const SessionContext& ctx) {
  return ctx.fileSet != nullptr && ctx.blockBuffer != nullptr && ctx.blockSize != 0;
}

bool fileWalkEligible(const SessionContext& ctx, int p, uint16_t file) {
  if (!fileWalkReady(ctx) || p < 0 || p >= ctx.fileSet->count) return false;
  const DataFileEntry& e = ctx.fileSet->entries[p];
  return entryOpen(e) && (file == 0 || ctx.bigfile || e.rfn == file);
}

bool startFileWalk(SessionContext& ctx, int p, FileWalk& walk) {
  if (!fileWalkEligible(ctx, p, 0)) return false;
  DataFileSet& set = *ctx.fileSet;
  walk.position = p;
  walk.rfn = set.entries[p].rfn;
  walk.lookup = ctx.bigfile ? 0 : walk.rfn;
  walk.direct = getFileIndex(set, walk.lookup) != p;
  walk.last = set.entries[p].blocks;
  return true;
}

bool readFileWalkBlock(SessionContext& ctx, const FileWalk& walk, uint32_t block) {
  if (walk.direct) noteBlockRead(ctx);
  const uint32_t got =
      walk.direct
          ? readEntryBlocks(*ctx.fileSet, ctx, walk.position, block, ctx.blockBuffer, ctx.blockSize)
          : readBlock(ctx.fileSet, ctx, walk.lookup, block);
  return got == ctx.blockSize;
}

uint64_t countWalkBlocks(SessionContext& ctx, uint16_t file) {
  uint64_t blocks = 0;
  if (!fileWalkReady(ctx)) return 0;
  for (int p = 0; p < ctx.fileSet->count; p++) {
    FileWalk w;
    if (fileWalkEligible(ctx, p, file) && startFileWalk(ctx, p, w) && w.last >= 2)
      blocks += w.last - 1;
  }
  return blocks;
}
