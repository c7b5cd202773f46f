#include "datafile/block_tally.h"

#include "datafile/data_file_set.h"

void tallyUnreadable(SessionContext& ctx, UnreadableCause cause, uint32_t file, uint32_t block,
                     uint64_t count) {
  BlockTally* t = ctx.blockTally;
  if (t == nullptr || count == 0) return;
  for (uint64_t i = 0; i < count && t->unreadable[cause] + i < kUnreadableExamples; i++) {
    t->exampleFile[cause][t->unreadable[cause] + i] = file;
    t->exampleBlock[cause][t->unreadable[cause] + i] = block + static_cast<uint32_t>(i);
  }
  t->unreadable[cause] += count;
}

int64_t highestBlock(const SessionContext& ctx, uint32_t file) {
  if (ctx.fileSet == nullptr) return -1;
  DataFileSet& set = *ctx.fileSet;
  const int p = getFileIndex(set, ctx.bigfile ? 0 : file);
  if (p < 0 || p >= set.count) return -1;
  const DataFileEntry& e = set.entries[p];
  if (e.file == nullptr && e.asmHandle == nullptr) return -1;
  return e.blocks != 0 ? e.blocks : 0xFFFFFFFFLL;
}

uint64_t unreadableBlocks(const BlockTally& tally) {
  uint64_t n = 0;
  for (uint64_t c : tally.unreadable) n += c;
  return n;
}

void printBlockTally(FILE* out, const BlockTally& tally, bool verbose) {
  const uint64_t n = unreadableBlocks(tally);
  if (n == 0) return;
  fprintf(out, "Warning: %llu of %llu blocks could not be read; rows stored in them are missing.\n",
          static_cast<unsigned long long>(n), static_cast<unsigned long long>(tally.named));
  if (!verbose) return;
  static const char* const kCause[kUnreadableCauses] = {
      "file not open", "beyond the end of its file", "read failed", "checksum rejected",
      "not the LOB block expected"};
  for (int c = 0; c < kUnreadableCauses; c++) {
    if (tally.unreadable[c] == 0) continue;
    fprintf(out, "  %s: %llu blocks, first", kCause[c],
            static_cast<unsigned long long>(tally.unreadable[c]));
    for (uint64_t i = 0; i < tally.unreadable[c] && i < kUnreadableExamples; i++)
      fprintf(out, " %u/%u", tally.exampleFile[c][i], tally.exampleBlock[c][i]);
    fputc('\n', out);
  }
}

