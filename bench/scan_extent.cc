// SCAN EXTENT and SCAN PARALLELEXT over four page-cached data files of
// 512 MiB each, beside `cat` of the same files in the same run. Prints the
// throughputs, the ratios to cat and the peak resident memory (the parent's
// and the largest child's). The files are written to /tmp and removed at the end.
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/common/bench_session.h"
#include "scan/extent_scan.h"
#include "tools/builder/datafile_builder.h"

namespace {

constexpr uint32_t kBlockSize = 8192;
constexpr uint32_t kBlocks = 65536 + 2;  // 512 MiB of data blocks after blocks 0 and 1
constexpr uint32_t kObjectRun = 1024;    // blocks per object before the next object starts
constexpr int kFiles = 4;
constexpr int kRounds = 3;

}  // namespace

int main() {
  const std::string dir = makeBenchDir("zut-bench");
  if (dir.empty()) return 1;
  std::vector<mkdb::FileImage> files(kFiles);
  std::vector<std::string> paths;
  bool written = true;
  for (int i = 0; i < kFiles; i++) {
    mkdb::FileImage& f = files[i];
    f.path = dir + "/data0" + std::to_string(i + 1) + ".dbf";
    f.blockSize = kBlockSize;
    f.rfn = f.fileNumber = static_cast<uint16_t>(i + 1);
    f.blocks = kBlocks;
    mkdb::addFileHeader(f);
    for (uint32_t b = 2, obj = 80000 + 100 * i; b < kBlocks; b += kObjectRun, obj++)
      mkdb::addDataRun(f, b, b + kObjectRun <= kBlocks ? kObjectRun : kBlocks - b, obj, 2);
    written = written && mkdb::writeDataFile(f) == 0;
    paths.push_back(f.path);
  }
  const std::string config = dir + "/bench.cfg";
  written = written && mkdb::writeConfigFile(config, files) == 0;
  int rc = 1;
  HarnessSession session;
  if (!written || chdir(dir.c_str()) != 0 || mkdir("ZUTDICT", 0777) != 0) {
    fprintf(stderr, "cannot write the benchmark files in %s\n", dir.c_str());
  } else if (openBenchSession(session, config, kBlockSize) != 0) {
    fprintf(stderr, "cannot open the benchmark files in %s\n", dir.c_str());
  } else {
    SessionContext& ctx = session.ctx;
    timeCat(paths);  // bring the files into the page cache
    double bestCat = 1e9, bestSerial = 1e9, bestParallel = 1e9;
    for (int r = 0; r < kRounds; r++) {
      const double c = timeCat(paths);
      if (c > 0 && c < bestCat) bestCat = c;
      emptyReadAheadCache(session.res.data);
      double t0 = now();
      FILE* out = fopen("ZUTDICT/ZUTEXT.TXT", "wb+");
      if (out == nullptr) break;
      listExtentMap(out, ctx);
      fclose(out);
      const double s = now() - t0;
      if (s < bestSerial) bestSerial = s;
      t0 = now();
      listExtentMapParallel(ctx);
      const double p = now() - t0;
      if (p < bestParallel) bestParallel = p;
    }
    struct stat st;
    const long lines = stat("ZUTDICT/ZUTEXT.TXT", &st) == 0 ? static_cast<long>(st.st_size) : -1;
    const double mib = static_cast<double>(kBlocks) * kBlockSize * kFiles / (1024.0 * 1024.0);
    printf("files: %d x %.0f MiB, blocks of %u bytes, %u-block objects\n", kFiles, mib / kFiles,
           kBlockSize, kObjectRun);
    printf("cat FILES > /dev/null : %7.3f s %9.1f MiB/s (best of %d)\n", bestCat, mib / bestCat,
           kRounds);
    printf("SCAN EXTENT           : %7.3f s %9.1f MiB/s  ratio to cat %.2f (target >= 0.50)\n",
           bestSerial, mib / bestSerial, bestCat / bestSerial);
    printf("SCAN PARALLELEXT      : %7.3f s %9.1f MiB/s  ratio to cat %.2f, speed-up over "
           "EXTENT %.2fx (target > 1)\n",
           bestParallel, mib / bestParallel, bestCat / bestParallel, bestSerial / bestParallel);
    printf("ZUTEXT.TXT: %ld bytes\n", lines);
    printf("peak RSS: parent %ld KiB, largest child %ld KiB\n", maxRssKiB(RUSAGE_SELF),
           maxRssKiB(RUSAGE_CHILDREN));
    rc = 0;
  }
  closeHarnessSession(session);
  for (const std::string& p : paths) unlink(p.c_str());
  unlink(config.c_str());
  system(("rm -rf '" + dir + "'").c_str());
  return rc;
}
