#include "unload/unload_drivers.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_set>

#include "core/progress.h"
#include "format/block_layout.h"
#include "datafile/block_reader.h"
#include "datafile/data_file_set.h"
#include "datafile/file_walk.h"
#include "format/data_layout.h"
#include "rows/dump_rows.h"
#include "rows/index_rows.h"
#include "rows/text_rows.h"

namespace {

constexpr uint32_t kBlocksPerFile = 0x400000;  // block numbers of one relative file

// The row limit, or Ctrl-C: either ends the walk before its next block.
inline bool limitReached(const SessionContext& ctx) {
  return ctx.rowsUnloaded >= ctx.rowLimit || cancelRequested();
}

// An unload ends at its row limit, and at the first failed write of its
// output (the caller reports it).
inline bool unloadStopped(FILE* stream, const SessionContext& ctx) {
  return limitReached(ctx) || (stream != nullptr && ferror(stream));
}

// The address a block carries, as the drivers compare it: its RDBA, or in
// BIGFILE mode the block number plus the file number shifted by 22 bits.
inline uint64_t ownAddress(const SessionContext& ctx, uint32_t file, uint32_t block) {
  return ctx.bigfile ? static_cast<uint64_t>(block) + (static_cast<uint64_t>(file) << 22)
                     : static_cast<uint64_t>(makeRDBA(file, block));
}

// True when the block was already read through the extent list of this
// unload (the segment header's extents then add only the rest).
bool readThroughList(const SessionContext& ctx, uint64_t address) {
  const BlockTally* t = ctx.blockTally;
  if (t == nullptr || !t->skipListed) return false;
  auto it = std::upper_bound(t->listed.begin(), t->listed.end(),
                             std::make_pair(address, UINT64_MAX));
  if (it == t->listed.begin()) return false;
  --it;
  return address >= it->first && address < it->second;
}

// True when the next block the walk would read is in this process's share.
inline bool inShare(SessionContext& ctx) {
  BlockShare* s = ctx.blockShare;
  if (s == nullptr) return true;
  const uint64_t i = s->next++;
  return i >= s->begin && i < s->end;
}

// The blocks of an extent past the end of its file, or of a file that is not
// open, counted at once (a damaged map may name billions of them); of a
// share, only the part in it.
void tallyMissing(SessionContext& ctx, bool noFile, uint32_t file, uint32_t first, uint64_t count) {
  if (BlockShare* s = ctx.blockShare) {
    const uint64_t from = s->next;
    s->next += count;
    const uint64_t lo = std::max(from, s->begin), hi = std::min(from + count, s->end);
    if (lo >= hi) return;
    first += static_cast<uint32_t>(lo - from);
    count = hi - lo;
  }
  if (ctx.blockTally == nullptr || count == 0) return;
  ctx.blockTally->named += count;
  tallyUnreadable(ctx, noFile ? kUnreadableNoFile : kUnreadableBeyondEnd, file, first, count);
}

// Counts a named block; false when it was read through the list already.
bool nameBlock(SessionContext& ctx, uint64_t address) {
  if (ctx.blockTally == nullptr) return true;
  if (readThroughList(ctx, address)) return false;
  ctx.blockTally->named++;
  return true;
}

// Reads one named block into the session buffer and says whether it can be
// decoded; an unreadable one is counted.
bool readNamedBlock(SessionContext& ctx, uint32_t got, uint32_t file, uint32_t block) {
  if (got != ctx.blockSize) {
    tallyUnreadable(ctx, kUnreadableReadFailed, file, block);
    return false;
  }
  if (ctx.blockCheck && blockVerdict(ctx) == kBlockChecksum)
    tallyUnreadable(ctx, kUnreadableChecksum, file, block);
  return true;
}

// Number of blocks of an extent from in-file block `start` that the file can
// hold: at most count, never past the file's highest block.
uint32_t blocksInFile(int64_t highest, uint64_t start, uint32_t count) {
  if (highest < 0 || start > static_cast<uint64_t>(highest)) return 0;
  const uint64_t room = static_cast<uint64_t>(highest) - start + 1;
  return room < count ? static_cast<uint32_t>(room) : count;
}

// Reads the blocks of one extent map entry through the read-ahead window and
// dispatches those that carry their own address.
void unloadMapExtent(FILE* stream, SessionContext& ctx, uint32_t objd, int table, int deleted,
                     int committed, uint32_t first, uint32_t count) {
  if (count == 0 || static_cast<uint64_t>(first) + count > 0x100000000ULL) return;
  const uint32_t file = ctx.bigfile ? 0 : rdbaFile(first);
  const uint32_t start = ctx.bigfile ? first : rdbaBlock(first);
  const uint32_t inFile =
      ctx.bigfile ? count : (kBlocksPerFile - start < count ? kBlocksPerFile - start : count);
  const int64_t highest = highestBlock(ctx, file);
  const uint32_t blocks = blocksInFile(highest, start, inFile);
  tallyMissing(ctx, highest < 0, file, start + blocks, inFile - blocks);
  for (uint32_t j = 0; j < blocks; j++) {
    if (unloadStopped(stream, ctx)) return;
    if (!inShare(ctx)) continue;
    const uint32_t rdba = first + j;
    if (!nameBlock(ctx, rdba)) continue;
    if (!readNamedBlock(ctx, readRDBA(ctx.fileSet, ctx, rdba), file, start + j)) continue;
    if (getBlockRDBA(ctx) != rdba) continue;
    unloadBlockRows(stream, ctx, objd, table, deleted, committed);
  }
}

inline bool isExtentMapType(uint8_t type) {
  return type == kBlockTypeExtentMap || type == kBlockTypeExtentMap36;
}

}  // namespace

void unloadBlockRows(FILE* stream, SessionContext& ctx, uint32_t objd, int table, int deleted,
                     int committed, bool indexBlocks) {
  if (getBlockType(ctx) != kBlockTypeData || getDataObjectID(ctx) != objd) return;
  const bool dump = ctx.outputStyle == 1;
  switch (getDataType(ctx)) {
    case kDataTypeTable:
      if (dump) {
        dumpDataRows2(stream, ctx, table, deleted, committed);
      } else {
        printDataRows2(stream, ctx, table, deleted, committed);
      }
      break;
    case kDataTypeIndex:
      if (!indexBlocks) break;
      if (dump) {
        dumpIndexRow2(stream, ctx, deleted, committed);
      } else {
        printIndexRow2(stream, ctx, deleted, committed);
      }
      break;
    default: break;
  }
}

void printExtentRows(FILE* stream, SessionContext& ctx, uint32_t objd, int table, int deleted,
                     int committed) {
  if (ctx.blockBuffer == nullptr || ctx.blockSize == 0) return;
  if (!isSegmentHeaderType(getBlockType(ctx))) return;
  if (matchBlockTail(ctx)) return;
  SessionContext map;
  if (copyBlock(ctx, map) != 0) return;
  // A damaged chain may come back to a map block already read; reading it
  // again would unload its extents twice, so every address is remembered.
  std::unordered_set<uint32_t> visited{getBlockRDBA(map)};
  for (;;) {
    uint32_t count = getBlockExtentCount(map);
    const uint32_t fit = extentEntriesInBlock(map);
    if (count > fit) count = fit;
    for (uint32_t i = 0; i < count && !unloadStopped(stream, ctx); i++) {
      unloadMapExtent(stream, ctx, objd, table, deleted, committed, getSegExtentRDBA(map, i),
                      getSegExtentBlocks(map, i));
    }
    const uint32_t next = getSegNextMapRDBA(map);
    if (next == 0 || unloadStopped(stream, ctx) || !visited.insert(next).second) break;
    if (readSingleBlock(ctx.fileSet, map, rdbaFile(next), rdbaBlock(next)) != map.blockSize) break;
    if (!isExtentMapType(getBlockType(map)) || getBlockRDBA(map) != next) break;
  }
  free(map.blockBuffer);
}

void printRowByExtent(FILE* stream, SessionContext& ctx, uint32_t objd, int table, int deleted,
                      int committed, const UnloadExtent& extent) {
  if (ctx.blockBuffer == nullptr || ctx.blockSize == 0) return;
  if (extent.objd == 0 || (extent.file == 0 && !ctx.bigfile)) return;
  if (extent.block == 0 || extent.blocks == 0) return;
  if (static_cast<uint64_t>(extent.block) + extent.blocks > 0xFFFFFFFFULL) return;
  if (unloadStopped(stream, ctx)) return;
  const uint32_t file = extent.file;
  // The block reader reads block (file << 22) + b in BIGFILE mode.
  const uint64_t base = ctx.bigfile ? static_cast<uint64_t>(file) << 22 : 0;
  const int64_t highest = highestBlock(ctx, file);
  const uint32_t blocks = blocksInFile(highest, base + extent.block, extent.blocks);
  tallyMissing(ctx, highest < 0, file, extent.block + blocks, extent.blocks - blocks);
  for (uint32_t k = 0; k < blocks; k++) {
    if (unloadStopped(stream, ctx)) return;
    if (!inShare(ctx)) continue;
    const uint32_t b = extent.block + k;
    if (!nameBlock(ctx, ownAddress(ctx, file, b))) continue;
    if (!readNamedBlock(ctx, readBlock(ctx.fileSet, ctx, file, b), file, b)) continue;
    if (matchBlockTail(ctx)) continue;
    const uint32_t own = ctx.bigfile ? b + (file << 22) : (file << 22) | b;
    if (getBlockRDBA(ctx) != own) continue;
    unloadBlockRows(stream, ctx, objd, table, deleted, committed);
  }
}

void scanTableRows(FILE* stream, SessionContext& ctx, uint32_t objd, int table, int deleted,
                   int committed, uint16_t file, uint32_t block) {
  if (!fileWalkReady(ctx)) return;
  for (int p = 0; p < ctx.fileSet->count && p < kMaxDataFiles; p++) {
    if (limitReached(ctx)) return;
    FileWalk walk;
    if (!fileWalkEligible(ctx, p, file) || !startFileWalk(ctx, p, walk)) continue;
    if (block != 0 && (file != 0 || ctx.bigfile)) {
      if (!inShare(ctx)) continue;
      if (!readFileWalkBlock(ctx, walk, block) || matchBlockTail(ctx)) continue;
      unloadBlockRows(stream, ctx, objd, table, deleted, committed);
      continue;
    }
    for (uint64_t b = 2; b <= walk.last; b++) {
      if (limitReached(ctx)) return;
      if (!inShare(ctx)) continue;
      if (!readFileWalkBlock(ctx, walk, static_cast<uint32_t>(b))) continue;
      if (matchBlockTail(ctx) || getDataType(ctx) != kDataTypeTable) continue;
      unloadBlockRows(stream, ctx, objd, table, deleted, committed, false);
    }
  }
}
