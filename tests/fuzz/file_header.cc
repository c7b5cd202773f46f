// Damaged data file headers: the identification of a file when the set is
// opened (checkFileHeader, which lists every file) and the one-line header
// description (printFileHeader). A builder file of four blocks is damaged by
// the input (bytes after the first XORed into block 1, the header, and past
// it into block 0) and opened afresh each run.
//
// Input: byte 0 bit 0 block size (2048, 8192), bit 1 big-endian, bit 2 an OS
// header of one block in front of block 0; then the damage.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "datafile/block_reader.h"
#include "datafile/data_file_set.h"
#include "tools/builder/datafile_builder.h"

namespace {

struct Scratch {
  std::string dir;
  std::vector<uint8_t> base[8];  // whole files by geometry choice
  FILE* sink = nullptr;
};
Scratch* scratch = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (freopen("/dev/null", "w", stdout) == nullptr) return 1;
  char tmpl[] = "/tmp/zut-fuzz-header-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return 1;
  scratch = new Scratch;
  scratch->dir = tmpl;
  atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(scratch->dir, ec);
  });
  for (int g = 0; g < 8; g++) {
    mkdb::FileImage f;
    f.path = scratch->dir + "/h.dbf";
    f.blockSize = (g & 1) ? 8192 : 2048;
    f.byteOrder = (g & 2) ? mkdb::kBig : mkdb::kLittle;
    f.hsize = (g & 4) ? f.blockSize : 0;
    f.rfn = f.fileNumber = 5;
    f.blocks = 4;
    mkdb::addFileHeader(f);
    if (mkdb::writeDataFile(f) != 0) return 1;
    FILE* in = fopen(f.path.c_str(), "rb");
    if (in == nullptr) return 1;
    std::vector<uint8_t>& b = scratch->base[g];
    b.resize(f.hsize + 4 * f.blockSize);
    b.resize(fread(b.data(), 1, b.size(), in));
    fclose(in);
  }
  scratch->sink = fopen("/dev/null", "w");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  Scratch& s = *scratch;
  const int g = data[0] & 7;
  const uint32_t bs = (g & 1) ? 8192 : 2048, hsize = (g & 4) ? bs : 0;
  std::vector<uint8_t> file = s.base[g];
  for (size_t i = 1; i < size; i++) {
    const size_t at = i - 1 < bs ? hsize + bs + (i - 1) : hsize + (i - 1 - bs) % bs;
    if (at < file.size()) file[at] ^= data[i];
  }
  const std::string path = s.dir + "/h.dbf";
  FILE* out = fopen(path.c_str(), "wb");
  if (out == nullptr) return 0;
  fwrite(file.data(), 1, file.size(), out);
  fclose(out);

  DataFileSet* set = new DataFileSet;
  ReadAheadCache cache;
  RdbaList corrupt, skip;
  resizeReadAheadCache(cache, 4 * bs);
  SessionContext* ctx = new SessionContext;
  ctx->blockSize = static_cast<uint16_t>(bs);
  ctx->byteOrder = (g & 2) ? 1 : 0;
  ctx->blockBuffer = static_cast<unsigned char*>(malloc(bs));
  ctx->dataCache = &cache;
  ctx->corruptList = &corrupt;
  ctx->skipList = &skip;
  ctx->fileSet = set;
  const std::string config = path + (hsize ? " " + std::to_string(hsize) : "") + "\n";
  FILE* c = fmemopen(const_cast<char*>(config.data()), config.size(), "r");
  loadConfig(*set, c);
  fclose(c);
  openDBFile(*set, nullptr);
  checkFileHeader(*ctx);
  // The header block as it stands, whatever the listing made of it.
  memcpy(ctx->blockBuffer, file.data() + hsize + bs, bs);
  printFileHeader(s.sink, *ctx);
  fflush(s.sink);
  closeDBFile(*set);
  delete set;
  freeReadAheadCache(cache);
  free(ctx->blockBuffer);
  delete ctx;
  return 0;
}
