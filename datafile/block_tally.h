// The account of the blocks an unload was told to read and of those it
// could not read: the extent maps, extent lists and LOB values of one unload
// count into one tally, which the unload reports at its end.
#pragma once

#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "core/session_context.h"

// Why a block an extent map or extent list names could not be read.
enum UnreadableCause : uint8_t {
  kUnreadableNoFile = 0,   // its file is not in the open set
  kUnreadableBeyondEnd,    // it lies past the end of its file
  kUnreadableReadFailed,   // the read failed or came back short
  kUnreadableChecksum,     // BLOCK_CHECK rejected its checksum
  kUnreadableForeign,      // a LOB block read, but another block was found there
  kUnreadableCauses,
};
constexpr int kUnreadableExamples = 4;

// The account of one unload, kept while the session's blockTally points at
// it: every block the extent maps and extent lists named (each once), and
// those that could not be read, by cause, with the first few of each as
// relative file and block number. Blocks that read but hold no rows, and
// blocks the user marked corrupt or to be skipped, are not unreadable.
struct BlockTally {
  uint64_t named = 0;
  uint64_t unreadable[kUnreadableCauses] = {};
  uint32_t exampleFile[kUnreadableCauses][kUnreadableExamples] = {};
  uint32_t exampleBlock[kUnreadableCauses][kUnreadableExamples] = {};
  // Address ranges [first, end) already read through an extent list, so
  // that the segment header's extents read after it add only the rest.
  std::vector<std::pair<uint64_t, uint64_t>> listed;
  bool skipListed = false;  // set while the segment header's extents are read
};
uint64_t unreadableBlocks(const BlockTally& tally);
// "Warning: N of M blocks could not be read; rows stored in them are
// missing." when any block could not be read, and with VERBOSE one line per
// cause with its count and first blocks. Prints nothing otherwise.
void printBlockTally(FILE* out, const BlockTally& tally, bool verbose);

// Counts count blocks from file/block on as unreadable for the cause in the
// session's tally; nothing when nobody is counting.
void tallyUnreadable(SessionContext& ctx, UnreadableCause cause, uint32_t file, uint32_t block,
                     uint64_t count = 1);

// Highest block number of the data file that the block reader finds for
// relative file number `file` (in BIGFILE mode the one file of the set); -1
// when there is no such file. A file whose size was never probed counts as
// reaching the largest block number.
int64_t highestBlock(const SessionContext& ctx, uint32_t file);
