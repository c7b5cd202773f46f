#include "datafile/session_setup.h"

#include <sys/stat.h>

#include <cstdlib>
#include <vector>

#include "asm/asm_disk.h"
#include "core/bytes.h"

void startSession(SessionContext& ctx, SessionResources& r, uint32_t blockSize,
                  uint32_t windowBytes) {
  r.set = std::make_unique<DataFileSet>();
  resizeReadAheadCache(r.data, windowBytes);
  resizeReadAheadCache(r.lob, windowBytes);
  ctx.blockSize = static_cast<uint16_t>(blockSize);
  ctx.blockBuffer = static_cast<unsigned char*>(calloc(blockSize ? blockSize : 1, 1));
  ctx.dataCache = &r.data;
  ctx.lobCache = &r.lob;
  ctx.corruptList = &r.corrupt;
  ctx.skipList = &r.skip;
  ctx.fileSet = r.set.get();
  r.diskGroup = newDiskGroup();
  ctx.diskGroups = r.diskGroup;
}

void endSession(SessionContext& ctx, SessionResources& r) {
  if (r.set != nullptr) closeDBFile(*r.set);
  r.set.reset();
  deleteDiskGroup(r.diskGroup);
  r.diskGroup = nullptr;
  ctx.diskGroups = nullptr;
  freeReadAheadCache(r.data);
  freeReadAheadCache(r.lob);
  free(ctx.blockBuffer);
  ctx.blockBuffer = nullptr;
  ctx.fileSet = nullptr;
  ctx.dataCache = ctx.lobCache = nullptr;
  ctx.corruptList = ctx.skipList = nullptr;
}

namespace {

const char* byteOrderName(uint8_t order) { return order == kBigEndian ? "BIG" : "LITTLE"; }

// The block size and byte order of the first header found, when they differ
// from the session's: the block buffer is resized as SET BLOCK_SIZE does it.
void adoptFirstHeader(SessionContext& ctx, const DataFileSet& set,
                      const std::vector<FileHeaderLayout>& headers) {
  for (int p = 0; p < set.count; p++) {
    const FileHeaderLayout& h = headers[p];
    if (!h.found) continue;
    if (h.blockSize == ctx.blockSize && h.byteOrder == ctx.byteOrder) return;
    if (h.blockSize != ctx.blockSize) {
      unsigned char* buffer = static_cast<unsigned char*>(calloc(h.blockSize, 1));
      if (buffer == nullptr) return;
      free(ctx.blockBuffer);
      ctx.blockBuffer = buffer;
      ctx.blockSize = h.blockSize;
      if (ctx.dataCache != nullptr) emptyReadAheadCache(*ctx.dataCache);
    }
    ctx.byteOrder = h.byteOrder;
    printf("Block size %u, byte order %s taken from the header of %s.\n", h.blockSize,
           byteOrderName(h.byteOrder), set.entries[p].name);
    return;
  }
}

// The header may be the damaged part, so a file whose header disagrees with
// the session's settings only gets a warning.
void warnHeaderMismatches(const SessionContext& ctx, const DataFileSet& set,
                          const std::vector<FileHeaderLayout>& headers) {
  for (int p = 0; p < set.count; p++) {
    const FileHeaderLayout& h = headers[p];
    if (!h.found) continue;
    if (h.blockSize != ctx.blockSize)
      printf("Warning: %s has block size %u in its header; BLOCK_SIZE is %u.\n",
             set.entries[p].name, h.blockSize, ctx.blockSize);
    if (h.byteOrder != ctx.byteOrder)
      printf("Warning: %s has byte order %s in its header; BYTE_ORDER is %s.\n",
             set.entries[p].name, byteOrderName(h.byteOrder), byteOrderName(ctx.byteOrder));
  }
}

}  // namespace

int openSessionFiles(SessionContext& ctx, FILE* config, bool adoptHeaderLayout) {
  if (config == nullptr || ctx.fileSet == nullptr) return kOpenFileMissing;
  closeDBFile(*ctx.fileSet);
  DataFileSet& set = *ctx.fileSet;
  struct stat st;
  set.configKnown = fstat(fileno(config), &st) == 0;
  set.configDevice = set.configKnown ? st.st_dev : 0;
  set.configInode = set.configKnown ? st.st_ino : 0;
  loadConfig(set, config);
  int result = openDBFile(set, ctx.diskGroups) ? 0 : kOpenFileMissing;
  // Entries left out are taken off the set before identification, so the
  // listing shows only the files that are read; the lines above it name them.
  int leftOut = leaveOutSameFiles(set);
  std::vector<FileHeaderLayout> headers(set.count);
  for (int p = 0; p < set.count; p++) headers[p] = findFileHeader(set, ctx.diskGroups, p);
  leftOut += leaveOutRepeatedFileNumbers(set, headers.data());
  warnUnreadableASMFiles(ctx);
  if (leftOut > 0) result |= kOpenLeftOut;
  if (adoptHeaderLayout) adoptFirstHeader(ctx, set, headers);
  warnHeaderMismatches(ctx, set, headers);
  checkFileHeader(ctx);
  if (ctx.dataCache != nullptr) emptyReadAheadCache(*ctx.dataCache);
  return result;
}

int openHarnessSession(HarnessSession& s, FILE* config, uint32_t blockSize, uint32_t windowBytes,
                       uint8_t byteOrder) {
  startSession(s.ctx, s.res, blockSize, windowBytes);
  s.ctx.byteOrder = byteOrder;
  return openSessionFiles(s.ctx, config);
}

void closeHarnessSession(HarnessSession& s) { endSession(s.ctx, s.res); }
