// The block reader: relative file and block number (or RDBA) to the bytes of
// the block in the session block buffer, through read-ahead windows that
// fetch many consecutive blocks with one positioned read. Also the block
// checksum, the bad-block test, the corrupt and skip lists, the hexadecimal
// block dump and the worker copy of the session used by nested readers.
//
// Every reader returns the number of bytes delivered into the block buffer:
// the block size on success, anything else (normally 0) on failure. No reader
// prints anything.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/session_context.h"

// A window of consecutive blocks of one file.
struct ReadAheadCache {
  uint32_t size = 0;     // buffer size in bytes
  uint16_t file = 0;     // file number of the window (0 = empty; always 0 in BIGFILE mode)
  uint32_t first = 0;    // first block number in the window
  uint16_t count = 0;    // whole blocks in the window
  uint32_t blockSize = 0;  // block size the window was filled with
  unsigned char* buffer = nullptr;
};

constexpr int kMaxRdbaListSize = 1024;

// Sorted (ascending unsigned) list of block addresses.
struct RdbaList {
  uint16_t count = 0;
  uint32_t rdba[kMaxRdbaListSize] = {};
};

// Releases the window's buffer and allocates a new one of the given size,
// leaving the window empty.
void resizeReadAheadCache(ReadAheadCache& cache, uint32_t bytes);
void emptyReadAheadCache(ReadAheadCache& cache);
void freeReadAheadCache(ReadAheadCache& cache);

// Cached read through the data window.
uint32_t readBlock(DataFileSet* set, SessionContext& ctx, uint32_t file, uint32_t block);
uint32_t readRDBA(DataFileSet* set, SessionContext& ctx, uint32_t rdba);
// The same through the LOB window, so LOB reads do not evict the table window.
uint32_t readLOBBlock(DataFileSet* set, SessionContext& ctx, uint32_t file, uint32_t block);
uint32_t readLOBRDBA(DataFileSet* set, SessionContext& ctx, uint32_t rdba);
// The block through the LOB window without a copy: a pointer into the
// window, good until the next read through it; null when the block cannot
// be read or the session has no usable LOB window (readLOBBlock then).
const unsigned char* peekLOBBlock(DataFileSet* set, const SessionContext& ctx, uint32_t file,
                                  uint32_t block);
// One block, served from the data window when it holds it, otherwise read
// alone without touching any window; returns the bytes read.
uint32_t readSingleBlock(DataFileSet* set, SessionContext& ctx, uint32_t file, uint32_t block);

// Fills copy with every setting and shared pointer of ctx and a block buffer
// of its own holding a copy of ctx's block. The caller frees
// copy.blockBuffer. Returns 0, or 1 when the buffer could not be allocated
// (copy.blockBuffer is then null).
int copyBlock(const SessionContext& ctx, SessionContext& copy);

// XOR-fold checksum of a block whose length is a multiple of 64; 0 when the
// stored checksum is right. Bytes past the last whole 64-byte chunk are not
// looked at.
uint16_t do_checksum(uint32_t length, const unsigned char* block);
// What a reader may do with a block: use it, or why not. A block that did
// not read in full is unreadable; one whose address is on the corrupt list is
// corrupt; with BLOCK_CHECK on, one whose checksum does not verify fails the
// checksum; one whose address is on the skip list is skipped. The first that
// applies, in that order, is the verdict.
enum BlockVerdict : uint8_t {
  kBlockUsable = 0,
  kBlockUnreadable,
  kBlockCorrupt,
  kBlockChecksum,
  kBlockSkipped,
};
// The verdict on the block in the session buffer, given the bytes the read
// delivered.
BlockVerdict blockVerdict(const SessionContext& ctx, uint32_t bytesRead);
// The same for a block known to have read in full.
BlockVerdict blockVerdict(const SessionContext& ctx);
// 1 when the verdict on the block in the session buffer is corrupt or
// checksum, else 0: the skip list does not count here.
int matchBlockTail(const SessionContext& ctx);

// Hexadecimal dump, 16 bytes a row, headings every 256 bytes.
void printBlock(FILE* out, const unsigned char* buffer, uint32_t length);

// Binary search of a sorted array.
bool findRDBAArray(const uint32_t* values, uint32_t count, uint32_t rdba);
// qsort comparator: ascending unsigned order of 32-bit addresses.
int sortRDBAList(const void* a, const void* b);
// findRDBAArray over a list, with its count bounded by the array; false for
// no list.
bool isRDBAInList(const RdbaList* list, uint32_t rdba);
