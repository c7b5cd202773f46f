// Damaged data file headers: the identification of a file when the set is
// opened (checkFileHeader, which lists every file) and the one-line header
// description (printFileHeader). A builder file of four blocks is damaged by
// the input (bytes after the first XORed into block 1, the header, and past
// it into block 0) and opened afresh each run.
//
// Input: byte 0 bit 0 block size (2048, 8192), bit 1 big-endian, bit 2 an OS
// header of one block in front of block 0; then the damage.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/fuzz/common/fuzz_session.h"
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
  scratch = new Scratch;
  scratch->dir = makeFuzzScratch("header");
  if (scratch->dir.empty()) return 1;
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

  // A fresh session each run, opened on the damaged file.
  HarnessSession* session = new HarnessSession;
  const std::string config = path + (hsize ? " " + std::to_string(hsize) : "") + "\n";
  openFuzzSession(*session, config, bs, 4, (g & 2) ? 1 : 0);
  // The header block as it stands, whatever the listing made of it.
  memcpy(session->ctx.blockBuffer, file.data() + hsize + bs, bs);
  printFileHeader(s.sink, session->ctx);
  fflush(s.sink);
  closeHarnessSession(*session);
  delete session;
  return 0;
}
