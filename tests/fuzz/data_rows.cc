// Feeds arbitrary data blocks, plain and compressed, through the data row
// decoders: the block walk with every selection option, the row mappers on
// every slot, and the live-row test. Nothing may read outside the block,
// recurse without bound or loop.
//
// Input: 10 control bytes, then the block (cut or zero-padded to its size).
//   byte 0: bits 0-1 block size (1024, 2048, 4096, 8192), bit 2 big-endian,
//           bit 3 deleted rows, bit 4 committed only, bit 5 ROW_ADDRESS,
//           bit 6 sampling mode, bit 7 UNLOAD ... INDEX
//   byte 1: bits 0-1 table number, bits 2-3 MAXCHAINS, bit 4 BLOCK_CHECK,
//           bit 5 national text through the national converter (to ISO-8859-1)
//   bytes 2-9: column type choices, repeated over the columns
// Chained pieces are read through an empty file set, so every read fails
// cleanly and no file is touched.
//
// The seeds in tests/fuzz/corpus/data_rows/ are builder blocks of 1 KiB:
// plain rows with NULLs and long columns, a cluster block, a compressed block
// with nested symbols, a run and a column order, and a chained row head.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "datafile/block_reader.h"
#include "datafile/data_file_set.h"
#include "rows/compress.h"
#include "rows/row_map.h"
#include "rows/text_rows.h"
#include "values/charset.h"

namespace {

constexpr size_t kControlBytes = 10;
constexpr uint32_t kSizes[] = {1024, 2048, 4096, 8192};
// Column types whose printers read only the value (LOB columns need the LOB
// maps and are left to their own tests).
constexpr uint8_t kTypeChoices[] = {kColSkip,        kColVarchar2,     kColNumber,    kColLong,
                                    kColVarchar,     kColDate,         kColRaw,       kColLongRaw,
                                    kColChar,        kColBinaryFloat,  kColBinaryDouble, kColNArray,
                                    kColVArray,      kColTimestamp,    kColTimestampTZ, kColTimestampLTZ,
                                    kColNotGiven,    kColNChar,        kColIntervalYM,
                                    kColIntervalDS};

struct Fixture {
  DataFileSet* set = new DataFileSet;
  ReadAheadCache data, lob;
  RdbaList corrupt, skip;
  FILE* out = fopen("/dev/null", "w");
  uint8_t nationalSourceUtf8 = 0;
  iconv_t national = open_national_converter(31, 2000, &nationalSourceUtf8);
  Fixture() {
    resizeReadAheadCache(data, 64 * 1024);
    resizeReadAheadCache(lob, 64 * 1024);
    setvbuf(out, nullptr, _IOFBF, 1 << 16);
  }
};

Fixture& fixture() {
  static Fixture* f = new Fixture;
  return *f;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (freopen("/dev/null", "w", stdout) == nullptr) return 1;  // warnings and messages
  fixture();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kControlBytes) return 0;
  Fixture& fx = fixture();
  const uint8_t mode = data[0], more = data[1];
  const uint32_t S = kSizes[mode & 3];
  // An exactly sized heap block: any read past it is caught.
  unsigned char* block = static_cast<unsigned char*>(malloc(S));
  const size_t n = size - kControlBytes < S ? size - kControlBytes : S;
  memcpy(block, data + kControlBytes, n);
  memset(block + n, 0, S - n);

  SessionContext* ctx = new SessionContext;
  ctx->blockSize = static_cast<uint16_t>(S);
  ctx->blockBuffer = block;
  ctx->byteOrder = (mode & 4) ? 1 : 0;
  ctx->rowAddress = (mode & 0x20) ? 1 : 0;
  ctx->rowOutputMode = (mode & 0x40) ? 2 : 0;
  ctx->indexNumber = (mode & 0x80) ? 1 : 0;
  ctx->maxChains = (more >> 2) & 3;
  ctx->blockCheck = (more >> 4) & 1;
  ctx->fileSet = fx.set;
  ctx->dataCache = &fx.data;
  ctx->lobCache = &fx.lob;
  ctx->corruptList = &fx.corrupt;
  ctx->skipList = &fx.skip;
  uint64_t unmapped = 0;
  if (more & 0x20) {
    ctx->nationalConverter = fx.national;
    ctx->nationalSourceUtf8 = fx.nationalSourceUtf8;
    ctx->nationalUnmapped = &unmapped;
  }
  for (int c = 0; c < kMaxColumns; c++) {
    ctx->columnTypes[c] = kTypeChoices[data[2 + c % 8] % sizeof kTypeChoices];
  }
  const int table = more & 3;

  printDataRows2(fx.out, *ctx, table, (mode >> 3) & 1, (mode >> 4) & 1);
  countDataRows(*ctx, table);

  // Every slot of the first tables through both mappers, whatever the flag.
  getCompressOrder(*ctx);
  for (int t = 0; t < 3; t++) {
    const uint32_t rows = getTableRowCount(*ctx, static_cast<uint32_t>(t));
    const uint32_t slots = rowSlotsInBlock(*ctx, static_cast<uint32_t>(t));
    for (uint32_t r = 0; r < rows && r < slots && r < 512; r++) {
      ctx->mappedCount = 0;
      mapNormalColumns(*ctx, t, static_cast<int>(r));
      ctx->mappedCount = 0;
      mapCompressColumns(*ctx, t, static_cast<int>(r));
      for (int i = 0; i < ctx->mappedCount; i++) {
        const MappedColumn m = getCompressColumn(*ctx, i);
        if (m.length != 0 && static_cast<uint32_t>(m.offset) + m.length >= S - 1) abort();
      }
    }
  }
  delete ctx;
  free(block);
  return 0;
}
