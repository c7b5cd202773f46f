#include "datafile/block_reader.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "core/progress.h"
#include "format/block_layout.h"
#include "datafile/data_file_set.h"

void resizeReadAheadCache(ReadAheadCache& cache, uint32_t bytes) {
  free(cache.buffer);
  cache.buffer = static_cast<unsigned char*>(calloc(bytes, 1));
  cache.size = cache.buffer ? bytes : 0;
  emptyReadAheadCache(cache);
}

void emptyReadAheadCache(ReadAheadCache& cache) {
  cache.file = 0;
  cache.first = 0;
  cache.count = 0;
  cache.blockSize = 0;
}

void freeReadAheadCache(ReadAheadCache& cache) {
  free(cache.buffer);
  cache.buffer = nullptr;
  cache.size = 0;
  emptyReadAheadCache(cache);
}

namespace {

// A resolved request: the entry position and the block number within it.
struct BlockAddress {
  int position = -1;
  uint32_t file = 0;   // file number as the window records it
  uint32_t block = 0;
};

// BIGFILE folds the file number into the block number and looks up file 0.
bool resolveAddress(DataFileSet& set, const SessionContext& ctx, uint32_t f, uint32_t b,
                    BlockAddress& at) {
  if (ctx.bigfile) {
    b = (f << 22) + b;
    f = 0;
  }
  at.file = f;
  at.block = b;
  at.position = getFileIndex(set, f);
  return at.position >= 0 && at.position != kNoFileEntry;
}

// A window filled under another block size (BLOCK_SIZE changed since) holds
// nothing usable.
bool inWindow(const ReadAheadCache& w, const SessionContext& ctx, uint32_t f, uint32_t b) {
  return w.count > 0 && w.file == f && w.blockSize == ctx.blockSize && b >= w.first &&
         b - w.first < w.count &&
         static_cast<uint64_t>(b - w.first + 1) * ctx.blockSize <= w.size;
}

void copyFromWindow(const ReadAheadCache& w, SessionContext& ctx, uint32_t b) {
  memcpy(ctx.blockBuffer, w.buffer + static_cast<size_t>(b - w.first) * ctx.blockSize,
         ctx.blockSize);
}

bool entryHasHandle(const DataFileSet& set, int p) {
  if (p < 0 || p >= set.count) return false;
  const DataFileEntry& e = set.entries[p];
  return e.file != nullptr || e.asmHandle != nullptr;
}

uint32_t readDirect(DataFileSet& set, SessionContext& ctx, const BlockAddress& at) {
  if (!entryHasHandle(set, at.position)) return 0;
  return readEntryBlocks(set, ctx, at.position, at.block, ctx.blockBuffer, ctx.blockSize);
}

// The block's place in a filled window, or null when the window cannot
// hold it or it cannot be read.
const unsigned char* blockInWindow(DataFileSet& set, const SessionContext& ctx, ReadAheadCache& w,
                                   const BlockAddress& at) {
  if (inWindow(w, ctx, at.file, at.block))
    return w.buffer + static_cast<size_t>(at.block - w.first) * ctx.blockSize;
  if (!entryHasHandle(set, at.position)) {
    emptyReadAheadCache(w);
    return nullptr;
  }
  const uint32_t got = readEntryBlocks(set, ctx, at.position, at.block, w.buffer, w.size);
  const uint32_t whole = got / ctx.blockSize;
  if (whole == 0) {
    emptyReadAheadCache(w);
    return nullptr;
  }
  w.file = static_cast<uint16_t>(at.file);
  w.first = at.block;
  w.blockSize = ctx.blockSize;
  w.count = static_cast<uint16_t>(whole > 0xFFFF ? 0xFFFF : whole);
  // A window whose file number cannot be told apart from "empty" or from
  // another file keeps nothing for later requests.
  if (w.file != at.file) w.count = 0;
  return w.buffer;
}

inline bool usableWindow(const ReadAheadCache* w, const SessionContext& ctx) {
  return w != nullptr && w->buffer != nullptr && w->size >= ctx.blockSize;
}

uint32_t readThroughWindow(DataFileSet* set, SessionContext& ctx, ReadAheadCache* w, uint32_t f,
                           uint32_t b) {
  if (set == nullptr || ctx.blockBuffer == nullptr || ctx.blockSize == 0) return 0;
  BlockAddress at;
  if (!resolveAddress(*set, ctx, f, b, at)) return 0;
  // A session without a usable window reads block by block.
  if (!usableWindow(w, ctx)) return readDirect(*set, ctx, at);
  const unsigned char* p = blockInWindow(*set, ctx, *w, at);
  if (p == nullptr) return 0;
  memcpy(ctx.blockBuffer, p, ctx.blockSize);
  return ctx.blockSize;
}

}  // namespace

uint32_t readBlock(DataFileSet* set, SessionContext& ctx, uint32_t file, uint32_t block) {
  noteBlockRead(ctx);
  return readThroughWindow(set, ctx, ctx.dataCache, file, block);
}

uint32_t readRDBA(DataFileSet* set, SessionContext& ctx, uint32_t rdba) {
  return readBlock(set, ctx, rdbaFile(rdba), rdbaBlock(rdba));
}

uint32_t readLOBBlock(DataFileSet* set, SessionContext& ctx, uint32_t file, uint32_t block) {
  return readThroughWindow(set, ctx, ctx.lobCache, file, block);
}

uint32_t readLOBRDBA(DataFileSet* set, SessionContext& ctx, uint32_t rdba) {
  return readLOBBlock(set, ctx, rdbaFile(rdba), rdbaBlock(rdba));
}

const unsigned char* peekLOBBlock(DataFileSet* set, const SessionContext& ctx, uint32_t file,
                                  uint32_t block) {
  if (set == nullptr || ctx.blockSize == 0 || !usableWindow(ctx.lobCache, ctx)) return nullptr;
  BlockAddress at;
  if (!resolveAddress(*set, ctx, file, block, at)) return nullptr;
  return blockInWindow(*set, ctx, *ctx.lobCache, at);
}

uint32_t readSingleBlock(DataFileSet* set, SessionContext& ctx, uint32_t file, uint32_t block) {
  if (set == nullptr || ctx.blockBuffer == nullptr || ctx.blockSize == 0) return 0;
  BlockAddress at;
  if (!resolveAddress(*set, ctx, file, block, at)) return 0;
  const ReadAheadCache* w = ctx.dataCache;
  if (w != nullptr && w->buffer != nullptr && inWindow(*w, ctx, at.file, at.block)) {
    copyFromWindow(*w, ctx, at.block);
    return ctx.blockSize;
  }
  return readDirect(*set, ctx, at);
}

int copyBlock(const SessionContext& ctx, SessionContext& copy) {
  copy = ctx;
  copy.blockBuffer = static_cast<unsigned char*>(malloc(ctx.blockSize ? ctx.blockSize : 1));
  if (copy.blockBuffer == nullptr) return 1;
  if (ctx.blockBuffer != nullptr) memcpy(copy.blockBuffer, ctx.blockBuffer, ctx.blockSize);
  else memset(copy.blockBuffer, 0, ctx.blockSize);
  return 0;
}

uint16_t do_checksum(uint32_t length, const unsigned char* block) {
  if (block == nullptr) return 0;
  // XOR of every 16-byte quarter of every 64-byte chunk, kept as two 64-bit
  // halves of the 16-byte accumulator.
  uint64_t acc[2] = {0, 0};
  const uint32_t chunks = length / 64;
  for (uint32_t c = 0; c < chunks; c++) {
    uint64_t w[8];
    memcpy(w, block + static_cast<size_t>(c) * 64, 64);
    acc[0] ^= w[0] ^ w[2] ^ w[4] ^ w[6];
    acc[1] ^= w[1] ^ w[3] ^ w[5] ^ w[7];
  }
  uint32_t words[4];
  memcpy(words, acc, sizeof words);
  uint32_t x = words[0] ^ words[1] ^ words[2] ^ words[3];
  x ^= x >> 16;
  return static_cast<uint16_t>(x & 0xFFFF);
}

BlockVerdict blockVerdict(const SessionContext& ctx, uint32_t bytesRead) {
  if (ctx.blockBuffer == nullptr || ctx.blockSize == 0 || bytesRead != ctx.blockSize)
    return kBlockUnreadable;
  const uint32_t rdba = getBlockRDBA(ctx);
  if (isRDBAInList(ctx.corruptList, rdba)) return kBlockCorrupt;
  if (ctx.blockCheck && do_checksum(ctx.blockSize, ctx.blockBuffer) != 0) return kBlockChecksum;
  if (isRDBAInList(ctx.skipList, rdba)) return kBlockSkipped;
  return kBlockUsable;
}

BlockVerdict blockVerdict(const SessionContext& ctx) { return blockVerdict(ctx, ctx.blockSize); }

int matchBlockTail(const SessionContext& ctx) {
  const BlockVerdict v = blockVerdict(ctx);
  return v == kBlockCorrupt || v == kBlockChecksum ? 1 : 0;
}

void printBlock(FILE* out, const unsigned char* buffer, uint32_t length) {
  static const char kHeading[] =
      "     /0x  : -0-1 -2-3 -4-5 -6-7 -8-9 -a-b -c-d -e-f  0123456789abcdef\n"
      "-----/----: ---------------------------------------  ----------------\n";
  static const char kHex[] = "0123456789abcdef";
  fputs(kHeading, out);
  char text[17] = {};
  char row[64];
  size_t used = 0;
  for (uint32_t i = 0; i < length; i++) {
    if (i % 16 == 0) {
      if (i != 0) {
        fwrite(row, 1, used, out);
        fprintf(out, "  %s\n", text);
        if (i % 256 == 0) {
          fputc('\n', out);
          fputs(kHeading, out);
        }
      }
      used = static_cast<size_t>(snprintf(row, sizeof row, "%05u/%04x:", i, i));
      memset(text, 0, sizeof text);
    }
    if (i % 2 == 0) row[used++] = ' ';
    const unsigned char b = buffer[i];
    row[used++] = kHex[b >> 4];
    row[used++] = kHex[b & 0x0F];
    text[i % 16] = (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
  }
  fwrite(row, 1, used, out);
  fprintf(out, "  %s\n", text);
}

bool findRDBAArray(const uint32_t* values, uint32_t count, uint32_t rdba) {
  if (values == nullptr) return false;
  uint32_t lo = 0, hi = count;
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    if (values[mid] == rdba) return true;
    if (values[mid] < rdba) lo = mid + 1;
    else hi = mid;
  }
  return false;
}

int sortRDBAList(const void* a, const void* b) {
  const uint32_t x = *static_cast<const uint32_t*>(a);
  const uint32_t y = *static_cast<const uint32_t*>(b);
  return x < y ? -1 : x > y ? 1 : 0;
}

bool isRDBAInList(const RdbaList* list, uint32_t rdba) {
  if (list == nullptr) return false;
  const uint32_t n = list->count < kMaxRdbaListSize ? list->count : kMaxRdbaListSize;
  return findRDBAArray(list->rdba, n, rdba);
}
