// Sequential readBlock walk over a page-cached data file of 1 GiB, beside
// `cat FILE > /dev/null` on the same file in the same run. Prints both
// throughputs and their ratio (walk / cat); the aim is at least 0.8 with the
// default 256 KiB window. The file is written to /tmp and removed at the end.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "bench/common/bench_session.h"
#include "format/block_layout.h"
#include "tools/builder/datafile_builder.h"

namespace {

constexpr uint32_t kBlockSize = 8192;
constexpr uint32_t kBlocks = 131072 + 2;  // 1 GiB of data blocks after blocks 0 and 1
constexpr int kRounds = 5;

// Reads every block in order; returns the seconds taken, or -1 when a read
// failed. The addresses are summed so the walk cannot be optimised away.
double timeWalk(DataFileSet* set, SessionContext& ctx, uint64_t& checksum) {
  emptyReadAheadCache(*ctx.dataCache);
  const double t0 = now();
  for (uint32_t b = 0; b < kBlocks; b++) {
    if (readBlock(set, ctx, 1, b) != kBlockSize) return -1;
    checksum += getBlockRDBA(ctx);
  }
  return now() - t0;
}

}  // namespace

int main() {
  const std::string dir = makeBenchDir("zut-bench");
  if (dir.empty()) return 1;
  mkdb::FileImage f;
  f.path = dir + "/bench01.dbf";
  f.blockSize = kBlockSize;
  f.rfn = f.fileNumber = 1;
  f.blocks = kBlocks;
  mkdb::addFileHeader(f);
  mkdb::addDataRun(f, 2, kBlocks - 2, 90001, 2);
  const std::string config = dir + "/bench.cfg";
  int rc = 1;
  HarnessSession session;
  if (mkdb::writeDataFile(f) != 0 || mkdb::writeConfigFile(config, {f}) != 0) {
    fprintf(stderr, "cannot write the benchmark file in %s\n", dir.c_str());
  } else if (openBenchSession(session, config, kBlockSize) != 0) {
    fprintf(stderr, "cannot open the benchmark file in %s\n", dir.c_str());
  } else {
    SessionContext& ctx = session.ctx;
    DataFileSet* set = session.ctx.fileSet;
    timeCat({f.path});  // bring the file into the page cache
    double bestCat = 1e9, bestWalk = 1e9;
    uint64_t checksum = 0, reads = 0;
    bool ok = true;
    for (int r = 0; r < kRounds && ok; r++) {
      const double c = timeCat({f.path});
      const uint64_t before = set->positionedReads;
      const double w = timeWalk(set, ctx, checksum);
      reads = set->positionedReads - before;
      ok = c > 0 && w > 0;
      if (c < bestCat) bestCat = c;
      if (w < bestWalk) bestWalk = w;
    }
    if (ok) {
      const double mib = static_cast<double>(kBlocks) * kBlockSize / (1024.0 * 1024.0);
      printf("file: %.0f MiB, %u blocks of %u bytes, window %u KiB\n", mib, kBlocks, kBlockSize,
             kDefaultCacheSize / 1024);
      printf("cat FILE > /dev/null : %8.3f s  %8.1f MiB/s (best of %d)\n", bestCat, mib / bestCat,
             kRounds);
      printf("readBlock walk       : %8.3f s  %8.1f MiB/s (best of %d, %llu positioned reads)\n",
             bestWalk, mib / bestWalk, kRounds, static_cast<unsigned long long>(reads));
      printf("ratio walk/cat       : %8.2f (target >= 0.80)\n", bestCat / bestWalk);
      printf("(address sum %llu)\n", static_cast<unsigned long long>(checksum));
      rc = 0;
    } else {
      fprintf(stderr, "a read failed during the benchmark\n");
    }
  }
  closeHarnessSession(session);
  unlink(f.path.c_str());
  unlink(config.c_str());
  rmdir(dir.c_str());
  return rc;
}
