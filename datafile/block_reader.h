// Block reader state: read-ahead windows and the corrupt and skip lists.
#pragma once

#include <cstdint>

#include "cli/session_context.h"

// A window of consecutive blocks of one file.
struct ReadAheadCache {
  uint32_t size = 0;     // buffer size in bytes
  int16_t file = 0;      // file number of the window (0 = empty)
  uint32_t first = 0;    // first block number in the window
  uint16_t count = 0;    // whole blocks in the window
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
