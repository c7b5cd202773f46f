#include "tests/fuzz/common/harness_session.h"

#include <cstdlib>

int openHarnessSession(HarnessSession& s, FILE* config, uint32_t blockSize, uint32_t windowBytes,
                       uint8_t byteOrder) {
  s.set = new DataFileSet;
  resizeReadAheadCache(s.data, windowBytes);
  resizeReadAheadCache(s.lob, windowBytes);
  SessionContext& ctx = s.ctx;
  ctx.blockSize = static_cast<uint16_t>(blockSize);
  ctx.byteOrder = byteOrder;
  ctx.blockBuffer = static_cast<unsigned char*>(calloc(blockSize, 1));
  ctx.dataCache = &s.data;
  ctx.lobCache = &s.lob;
  ctx.corruptList = &s.corrupt;
  ctx.skipList = &s.skip;
  ctx.fileSet = s.set;
  if (config == nullptr) return 1;
  loadConfig(*s.set, config);
  const bool opened = openDBFile(*s.set, nullptr);
  checkFileHeader(ctx);
  return opened ? 0 : 1;
}

void closeHarnessSession(HarnessSession& s) {
  if (s.set != nullptr) {
    closeDBFile(*s.set);
    delete s.set;
    s.set = nullptr;
  }
  freeReadAheadCache(s.data);
  freeReadAheadCache(s.lob);
  free(s.ctx.blockBuffer);
  s.ctx.blockBuffer = nullptr;
  s.ctx.fileSet = nullptr;
}
