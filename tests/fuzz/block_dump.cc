// The field-by-field block dump (ORADUMP) over damaged blocks of every type:
// data and cluster blocks, compressed blocks, index leaf and branch blocks,
// segment headers, extent map blocks, file headers, undo blocks and undo
// segment headers. Nothing may be read outside the block, and the output
// stays bounded: every count read from the block is cut to what fits.
//
// Input: 6 control bytes, then the block (cut or zero-padded to its size,
// in an exactly sized heap buffer).
//   byte 0: bits 0-1 block size (1024, 2048, 4096, 8192), bit 2 big-endian,
//           bit 3 an unknown byte order, bit 4 the brief form too
//   byte 1: 0 keeps the block type; otherwise it chooses one of the types
//           the dump knows (or one it does not)
//   bytes 2-3: TRANS_OFFSET, bytes 4-5: TRANS_COUNT (little-endian)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/session_context.h"
#include "dump/block_dump.h"
#include "dump/brief_header.h"

namespace {

constexpr size_t kControlBytes = 6;
constexpr uint32_t kSizes[] = {1024, 2048, 4096, 8192};
constexpr uint8_t kTypes[] = {2, 6, 11, 14, 16, 17, 18, 35, 36, 38, 27, 0x99};
// Far more than any dump of one block prints; more means a count was not cut.
constexpr uint64_t kMaxOutput = 256u << 20;

uint64_t written = 0;

ssize_t countWrite(void*, const char*, size_t size) {
  written += size;
  return static_cast<ssize_t>(size);
}

FILE* sink = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (freopen("/dev/null", "w", stdout) == nullptr) return 1;
  cookie_io_functions_t io = {nullptr, countWrite, nullptr, nullptr};
  sink = fopencookie(nullptr, "w", io);
  if (sink == nullptr) return 1;
  setvbuf(sink, nullptr, _IOFBF, 1 << 16);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kControlBytes) return 0;
  const uint8_t mode = data[0];
  const uint32_t S = kSizes[mode & 3];
  unsigned char* block = static_cast<unsigned char*>(malloc(S));
  const size_t n = size - kControlBytes < S ? size - kControlBytes : S;
  memcpy(block, data + kControlBytes, n);
  memset(block + n, 0, S - n);
  if (data[1] != 0) block[0] = kTypes[data[1] % sizeof kTypes];
  SessionContext* ctx = new SessionContext;
  ctx->blockSize = static_cast<uint16_t>(S);
  ctx->blockBuffer = block;
  ctx->byteOrder = (mode & 8) ? 2 : (mode >> 2) & 1;
  ctx->transOffset = static_cast<uint16_t>(data[2] | data[3] << 8);
  ctx->transCount = static_cast<uint16_t>(data[4] | data[5] << 8);
  written = 0;
  printHeader(sink, *ctx);
  if (mode & 16) printBriefHeader(sink, *ctx);
  fflush(sink);
  if (written > kMaxOutput) __builtin_trap();
  delete ctx;
  free(block);
  return 0;
}
