// ASM COPY of a 1 GiB file stored over two disk images (1 MiB AUs, extents
// alternating between the disks, most of them listed by indirect extent
// blocks), beside `cat` of both images to /dev/null in the same run. The
// copy goes to /dev/null (the read side, as cat's) and once to a file under
// /tmp; prints the throughputs and the ratio copy/cat, the aim being at
// least 0.5. Everything is written under /tmp and removed at the end.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "asm/asm_copy.h"
#include "asm/asm_disk.h"
#include "bench/common/bench_session.h"
#include "tools/builder/asm_builder.h"

namespace {

constexpr uint64_t kFileBytes = 1ull << 30;
constexpr int kRounds = 3;

double timeCopy(ASMDiskGroup& g, ASMFileHandle& h, const char* path, uint64_t& bytes) {
  FILE* out = fopen(path, "wb");
  if (out == nullptr) return -1;
  setvbuf(out, nullptr, _IONBF, 0);
  const double t0 = now();
  const ASMCopyResult r = copyASMFileOut(out, g, h);
  const double t = now() - t0;
  bytes = r.bytes;
  if (fclose(out) != 0 || !r.located || r.writeError != 0 || r.unreadAUs != 0) return -1;
  return t;
}

}  // namespace

int main() {
  const std::string dir = makeBenchDir("zut-bench-asm");
  if (dir.empty()) return 1;
  mkdb::AsmGroup group = mkdb::asmGroup(dir, 2, 1, 1u << 20, 520);
  mkdb::AsmFile f;
  f.number = 256;
  f.size = kFileBytes;
  f.extents = mkdb::spreadExtents(group, kFileBytes, 4);
  f.indirectAUs = {{0, 518}};
  group.files = {f};
  int rc = 1;
  bool written = mkdb::writeAsmGroup(group) == 0 && mkdb::writeAsmDiskList(group, dir + "/disks.lst") == 0;
  std::vector<uint8_t> chunk(64u << 20);
  for (uint64_t at = 0; written && at < kFileBytes; at += chunk.size()) {
    for (size_t i = 0; i < chunk.size(); i += 4096) chunk[i] = static_cast<uint8_t>((at + i) >> 12);
    written = mkdb::writeAsmFileBytes(group, f, at, chunk) == 0;
  }
  ASMDiskGroup* g = newDiskGroup();
  auto h = std::make_unique<ASMFileHandle>();
  initASMFileHandle(*h);
  if (!written) {
    fprintf(stderr, "cannot write the disk images in %s\n", dir.c_str());
  } else {
    FILE* quiet = fopen("/dev/null", "w");
    openDiskGroup(quiet != nullptr ? quiet : stderr, *g, (dir + "/disks.lst").c_str());
    if (quiet != nullptr) fclose(quiet);
    getASMFileEntry(g, *h, 256);
    const std::vector<std::string> disks = {group.disks[0].path, group.disks[1].path};
    timeCat(disks);  // into the page cache
    double bestCat = 1e9, bestCopy = 1e9, toFile = -1;
    uint64_t bytes = 0;
    bool ok = h->fileNumber == 256;
    for (int r = 0; r < kRounds && ok; r++) {
      const double c = timeCat(disks), k = timeCopy(*g, *h, "/dev/null", bytes);
      ok = c > 0 && k > 0 && bytes == kFileBytes;
      if (c < bestCat) bestCat = c;
      if (k < bestCopy) bestCopy = k;
    }
    const std::string copy = dir + "/copy.dbf";
    if (ok) toFile = timeCopy(*g, *h, copy.c_str(), bytes);
    if (ok && toFile > 0) {
      const double mib = kFileBytes / (1024.0 * 1024.0);
      printf("ASM file: %.0f MiB in %zu extents of 1 MiB over 2 disks\n", mib, f.extents.size());
      printf("cat DISKS > /dev/null      : %8.3f s  %8.1f MiB/s (best of %d)\n", bestCat, mib / bestCat, kRounds);
      printf("ASM COPY > /dev/null       : %8.3f s  %8.1f MiB/s (best of %d)\n", bestCopy, mib / bestCopy, kRounds);
      printf("ASM COPY > file under /tmp : %8.3f s  %8.1f MiB/s\n", toFile, mib / toFile);
      printf("ratio copy/cat             : %8.2f (target >= 0.50)\n", bestCat / bestCopy);
      rc = 0;
    } else {
      fprintf(stderr, "the copy failed during the benchmark\n");
    }
    unlink(copy.c_str());
  }
  deleteDiskGroup(g);
  for (const mkdb::AsmDiskImage& d : group.disks) unlink(d.path.c_str());
  unlink((dir + "/disks.lst").c_str());
  rmdir(dir.c_str());
  return rc;
}
