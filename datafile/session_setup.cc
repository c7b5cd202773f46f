#include "datafile/session_setup.h"

#include <sys/stat.h>

#include <cstdlib>

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
}

void endSession(SessionContext& ctx, SessionResources& r) {
  if (r.set != nullptr) closeDBFile(*r.set);
  r.set.reset();
  freeReadAheadCache(r.data);
  freeReadAheadCache(r.lob);
  free(ctx.blockBuffer);
  ctx.blockBuffer = nullptr;
  ctx.fileSet = nullptr;
  ctx.dataCache = ctx.lobCache = nullptr;
  ctx.corruptList = ctx.skipList = nullptr;
}

int openSessionFiles(SessionContext& ctx, FILE* config) {
  if (config == nullptr || ctx.fileSet == nullptr) return 1;
  closeDBFile(*ctx.fileSet);
  DataFileSet& set = *ctx.fileSet;
  struct stat st;
  set.configKnown = fstat(fileno(config), &st) == 0;
  set.configDevice = set.configKnown ? st.st_dev : 0;
  set.configInode = set.configKnown ? st.st_ino : 0;
  loadConfig(*ctx.fileSet, config);
  const bool opened = openDBFile(*ctx.fileSet, ctx.diskGroups);
  checkFileHeader(ctx);
  if (ctx.dataCache != nullptr) emptyReadAheadCache(*ctx.dataCache);
  return opened ? 0 : 1;
}

int openHarnessSession(HarnessSession& s, FILE* config, uint32_t blockSize, uint32_t windowBytes,
                       uint8_t byteOrder) {
  startSession(s.ctx, s.res, blockSize, windowBytes);
  s.ctx.byteOrder = byteOrder;
  return openSessionFiles(s.ctx, config);
}

void closeHarnessSession(HarnessSession& s) { endSession(s.ctx, s.res); }
