// The brief block description the scans print, over any block: the input's
// first byte chooses the block size (1024 … 8192), the byte order and the
// row output mode; the rest is the block, cut or zero-padded to its size in
// an exactly sized heap buffer.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/session_context.h"
#include "dump/brief_header.h"

namespace {
constexpr uint32_t kSizes[] = {1024, 2048, 4096, 8192};
FILE* sink = nullptr;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (freopen("/dev/null", "w", stdout) == nullptr) return 1;
  sink = fopen("/dev/null", "w");
  return sink == nullptr;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  const uint32_t S = kSizes[mode & 3];
  unsigned char* block = static_cast<unsigned char*>(malloc(S));
  const size_t n = size - 1 < S ? size - 1 : S;
  memcpy(block, data + 1, n);
  memset(block + n, 0, S - n);
  SessionContext* ctx = new SessionContext;
  ctx->blockSize = static_cast<uint16_t>(S);
  ctx->blockBuffer = block;
  ctx->byteOrder = (mode >> 2) & 1;
  ctx->rowOutputMode = (mode >> 3) & 3;
  ctx->bigfile = (mode >> 5) & 1;
  printBriefHeader(sink, *ctx);
  printRDBALine(sink, *ctx, true);
  printBlockTypeLine(sink, *ctx);
  printDataSegObjLine(sink, *ctx);
  for (uint32_t t = 0; t < 4; t++) printTableDirectoryLine(sink, *ctx, t);
  fflush(sink);
  delete ctx;
  free(block);
  return 0;
}
