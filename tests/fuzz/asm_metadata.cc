// Damaged ASM metadata: the disk header, the F1B1 AU (the directory's first
// AU, with the entries of the system files and of a data file), the
// directory's second AU and the AU of the data file's indirect extent
// blocks. The disk group is opened afresh each run, listed, the file looked
// up and read block by block, the directory, its extents and the AUs
// listed and scanned, the file copied out by its extent list, as a
// striped file and by an extent map made of the input; nothing may crash
// and the work stays bounded.
//
// Input: byte 0 bit 0 big-endian metadata; then groups of four bytes, each
// a region (low two bits), an offset in it (16 bits) and a byte XORed there.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "asm/asm_copy.h"
#include "asm/asm_disk.h"
#include "asm/asm_listing.h"
#include "tests/fuzz/common/fuzz_session.h"
#include "tools/builder/asm_builder.h"

namespace {

constexpr uint32_t kAU = 65536, kBlock = 4096;

struct Region {
  int disk;
  uint64_t offset, length;
};
const Region kRegions[] = {{0, 0, kBlock}, {0, 2 * kAU, kAU}, {1, 3 * kAU, kAU}, {0, 5 * kAU, kAU}};

struct Scratch {
  std::string dir;
  std::vector<uint8_t> base[2][2];  // [byte order][disk]
  std::string paths[2];
  FILE* sink = nullptr;
};
Scratch* scratch = nullptr;

std::vector<uint8_t> slurp(const std::string& path) {
  std::vector<uint8_t> b;
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return b;
  b.resize(1u << 20);
  b.resize(fread(b.data(), 1, b.size(), f));
  fclose(f);
  return b;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  scratch = new Scratch;
  scratch->dir = makeFuzzScratch("asm");
  if (scratch->dir.empty()) return 1;
  for (int order = 0; order < 2; order++) {
    mkdb::AsmGroup g = mkdb::asmGroup(scratch->dir, 2, static_cast<uint8_t>(order), kAU, 1);
    mkdb::AsmFile f;
    f.number = 20;
    f.extents = mkdb::spreadExtents(g, 6 * kAU, 6);
    f.size = 6 * kAU;
    f.directSlots = 2;
    f.perIndirectBlock = 1;
    f.holes = {4};
    f.staleCopy = true;
    f.staleTarget = {1, 7};
    f.indirectAUs = {{0, 5}};
    g.files = {f};
    if (mkdb::writeAsmGroup(g) != 0) return 1;
    std::vector<uint8_t> data(6 * kAU);
    for (size_t i = 0; i < data.size(); i++) data[i] = static_cast<uint8_t>(i * 13);
    if (mkdb::writeAsmFileBytes(g, f, 0, data) != 0) return 1;
    for (int d = 0; d < 2; d++) {
      scratch->paths[d] = g.disks[d].path;
      scratch->base[order][d] = slurp(g.disks[d].path);
    }
    if (mkdb::writeAsmDiskList(g, scratch->dir + "/disks.lst") != 0) return 1;
  }
  scratch->sink = fopen("/dev/null", "w");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  Scratch& s = *scratch;
  const int order = data[0] & 1;
  std::vector<uint8_t> disk[2] = {s.base[order][0], s.base[order][1]};
  for (size_t i = 1; i + 4 <= size; i += 4) {
    const Region& r = kRegions[data[i] & 3];
    const uint64_t at = r.offset + (static_cast<uint64_t>(data[i + 1] << 8 | data[i + 2]) % r.length);
    if (at < disk[r.disk].size()) disk[r.disk][at] ^= data[i + 3];
  }
  for (int d = 0; d < 2; d++) {
    FILE* out = fopen(s.paths[d].c_str(), "wb");
    if (out == nullptr) return 0;
    fwrite(disk[d].data(), 1, disk[d].size(), out);
    fclose(out);
  }
  ASMDiskGroup* g = newDiskGroup();
  g->auSize = kAU;
  setDiskGroupCache(*g);
  openDiskGroup(s.sink, *g, (s.dir + "/disks.lst").c_str());
  printDiskGroup(s.sink, *g);
  auto h = std::make_unique<ASMFileHandle>();
  initASMFileHandle(*h);
  getASMFileEntry(g, *h, 20);
  std::vector<unsigned char> buffer(8 * kAU);
  for (uint32_t b = 0; b < 6 * kAU / 8192 + 2; b += 3)
    readASMOracleBlock(g, *h, b, 8192, buffer.data(), 3);
  readASMOracleBlock(g, *h, 0, 8192, buffer.data(), static_cast<uint32_t>(buffer.size() / 8192));
  readFileExtentCache(*g, *h, 2000);
  listASMFileEntry(s.sink, *g, g->fileDir);
  listASMAliasEntry(s.sink, *g, g->aliasDir);
  listASMFileExtent(s.sink, *g, *h);
  listASMFileExtent2(s.sink, *g, *h, 1);
  listASMFileEntryAU(s.sink, *g, 0, 0, 8);
  scanASMFileExtentMap(s.sink, *g);
  copyASMFileOut(s.sink, *g, *h);
  copyASMStripFileOut(s.sink, *g, *h);
  // The input as an extent map file: its lines parsed, the file copied by
  // them.
  const std::string map = s.dir + "/map.txt";
  if (FILE* m = fopen(map.c_str(), "wb")) {
    fwrite(data, 1, size, m);
    fclose(m);
    copyASMFileOutWithMap(s.sink, map.c_str(), *g, 20);
  }
  fflush(s.sink);
  deleteDiskGroup(g);
  return 0;
}
