#include "datafile/block_reader.h"

#include <cstdlib>

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
}

void freeReadAheadCache(ReadAheadCache& cache) {
  free(cache.buffer);
  cache.buffer = nullptr;
  cache.size = 0;
  emptyReadAheadCache(cache);
}
