// Unload of a page-cached heap table through printExtentRows to text, output
// to a file, beside `cat FILE > /dev/null` of the same data file in the same
// run. The table is 1 GiB of 8 KiB data blocks (131072 blocks, 1024 extents
// of 128 blocks, so the extent map goes on in an extent map block), rows of
// NUMBER, VARCHAR2, DATE and NUMBER columns. Reports MB/s of data blocks,
// rows/s and the peak resident memory, first for a table of 1/8 the size,
// then for the whole one, so that the two peaks show whether memory grows
// with the table. Aims: at least 300 MB/s per core, peak RSS under 64 MiB.
// The unload is also timed into a file in /dev/shm and into /dev/null, to
// tell the decoding apart from the kernel's handling of the text written.
//
// The data blocks are written from a few builder-made templates whose block
// addresses are patched, so building the file needs little memory of its own.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/common/bench_session.h"
#include "unload/unload_drivers.h"
#include "tools/builder/row_builder.h"

namespace {

constexpr uint32_t kBlockSize = 8192;
constexpr uint32_t kFirstData = 16;
constexpr uint32_t kExtentBlocks = 128;
constexpr uint32_t kTemplates = 16;
constexpr uint32_t kObjd = 90210;

// Block images of full data blocks (as block kFirstData) with varied rows.
std::vector<mkdb::Block> templates() {
  mkdb::FileImage scratch;
  scratch.blockSize = kBlockSize;
  scratch.rfn = scratch.fileNumber = 1;
  std::vector<mkdb::TableRow> rows;
  uint32_t seed = 12345;
  const auto next = [&] { return seed = seed * 1103515245u + 12345u; };
  for (int i = 0; i < 4000; i++) {
    mkdb::TableRow r;
    OracleBytes id, amount;
    encodeOracleNumber(std::to_string(100000 + i * 7), id);
    encodeOracleNumber(std::to_string(next() % 100000) + "." + std::to_string(next() % 100), amount);
    std::string name = "customer-" + std::to_string(next() % 1000000);
    name.resize(12 + next() % 28, 'x');
    OracleDateTime d{2000 + static_cast<int>(next() % 25), 1 + static_cast<int>(next() % 12),
                     1 + static_cast<int>(next() % 28), static_cast<int>(next() % 24),
                     static_cast<int>(next() % 60), static_cast<int>(next() % 60)};
    r.values = {id, OracleBytes(name.begin(), name.end()), encodeOracleDate(d), amount};
    rows.push_back(r);
  }
  mkdb::PackOptions options;
  options.objd = kObjd;
  const std::vector<uint32_t> blocks = mkdb::packRows(scratch, kFirstData, rows, options);
  // Full blocks only: the last one may be partly empty.
  std::vector<mkdb::Block> out;
  for (uint32_t k = 0; k < kTemplates && k + 1 < blocks.size(); k++) out.push_back(scratch.images[blocks[k]]);
  return out;
}

// Writes the file: header blocks from the builder, then the data blocks from
// the templates with their own addresses. Returns 0 or 1.
int writeTable(const std::string& path, uint32_t dataBlocks, const std::vector<mkdb::Block>& tmpl) {
  mkdb::FileImage f;
  f.path = path;
  f.blockSize = kBlockSize;
  f.rfn = f.fileNumber = 1;
  f.blocks = kFirstData + dataBlocks;
  mkdb::addFileHeader(f);
  mkdb::SegmentPlan plan;
  plan.block = 2;
  plan.objd = kObjd;
  for (uint32_t b = 0; b < dataBlocks; b += kExtentBlocks) plan.extents.push_back(mkdb::extentAt(f, kFirstData + b, kExtentBlocks));
  plan.mapBlocks = {3, 4, 5, 6};
  if (mkdb::addSegmentHeader(f, plan) != 0 || mkdb::writeDataFile(f) != 0) return 1;
  const int fd = open(path.c_str(), O_WRONLY);
  if (fd < 0) return 1;
  std::vector<uint8_t> run(static_cast<size_t>(kExtentBlocks) * kBlockSize);
  int rc = 0;
  for (uint32_t b = 0; b < dataBlocks && rc == 0; b += kExtentBlocks) {
    for (uint32_t k = 0; k < kExtentBlocks; k++) {
      mkdb::Block block = tmpl[(b + k) % tmpl.size()];
      mkdb::putUB4(block, 4, mkdb::blockAddress(f, kFirstData + b + k), mkdb::kLittle);
      mkdb::setChecksum(block);
      std::copy(block.begin(), block.end(), run.begin() + static_cast<std::ptrdiff_t>(k) * kBlockSize);
    }
    const off_t at = static_cast<off_t>(kFirstData + b) * kBlockSize;
    if (pwrite(fd, run.data(), run.size(), at) != static_cast<ssize_t>(run.size())) rc = 1;
  }
  close(fd);
  return rc;
}

double cpuSeconds() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

struct Result {
  double seconds = 0;
  double cpu = 0;
  uint64_t rows = 0;
  long peakKiB = 0;
};

// Opens the file and unloads the table through its segment header to out.
bool unloadTable(const std::string& dir, const std::string& path, const std::string& outPath, Result& r) {
  r = Result{};
  const std::string config = dir + "/bench.cfg";
  FILE* cfg = fopen(config.c_str(), "w");
  if (cfg == nullptr) return false;
  fprintf(cfg, "%s\n", path.c_str());
  fclose(cfg);
  HarnessSession session;
  const bool opened = openBenchSession(session, config, kBlockSize) == 0;
  SessionContext& ctx = session.ctx;
  ctx.fieldTagLength = 1;
  ctx.fieldTag[0] = ',';
  ctx.recordTagLength = 1;
  ctx.recordTag[0] = '\n';
  const uint8_t types[] = {kColNumber, kColVarchar2, kColDate, kColNumber};
  for (int i = 0; i < 4; i++) ctx.columnTypes[i] = types[i];
  ctx.columnCount = 4;
  bool ok = false;
  FILE* out = opened ? fopen(outPath.c_str(), "wb+") : nullptr;
  if (out != nullptr) {
    static char buffer[256 * 1024];
    setvbuf(out, buffer, _IOFBF, sizeof buffer);
    const double t0 = now(), c0 = cpuSeconds();
    if (readBlock(session.ctx.fileSet, ctx, 1, 2) == kBlockSize) {
      printExtentRows(out, ctx, kObjd, 0, 0, 0);
      fflush(out);
      ok = true;
    }
    r.seconds = now() - t0;
    r.cpu = cpuSeconds() - c0;
    fclose(out);
  }
  r.rows = ctx.rowsUnloaded;
  r.peakKiB = maxRssKiB(RUSAGE_SELF);
  closeHarnessSession(session);
  unlink(config.c_str());
  return ok;
}

}  // namespace

int main() {
  const std::string dir = makeBenchDir("zut-bench-unload");
  if (dir.empty()) return 1;
  const std::string path = dir + "/table01.dbf", outPath = dir + "/table.txt";
  // The file listing of OPEN goes to standard output: the report goes to a
  // copy of it, standard output itself to /dev/null.
  FILE* report = fdopen(dup(1), "w");
  if (report == nullptr || freopen("/dev/null", "w", stdout) == nullptr) return 1;
  const std::vector<mkdb::Block> tmpl = templates();
  int rc = 0;
  const uint32_t sizes[] = {131072 / 8, 131072};
  for (uint32_t dataBlocks : sizes) {
    if (tmpl.size() < 2 || writeTable(path, dataBlocks, tmpl) != 0) {
      fprintf(report, "cannot write the benchmark table in %s\n", dir.c_str());
      rc = 1;
      break;
    }
    timeCat({path});  // into the page cache
    const double cat = timeCat({path});
    Result r;
    if (!unloadTable(dir, path, outPath, r) || cat <= 0) {
      fprintf(report, "the unload failed\n");
      rc = 1;
      break;
    }
    const double mb = static_cast<double>(dataBlocks) * kBlockSize / 1e6;
    FILE* o = fopen(outPath.c_str(), "rb");
    long textBytes = 0;
    if (o != nullptr) {
      fseek(o, 0, SEEK_END);
      textBytes = ftell(o);
      fclose(o);
    }
    fprintf(report, "table: %u data blocks of %u bytes (%.0f MB), %u extents, %llu rows, %.0f MB of text\n",
            dataBlocks, kBlockSize, mb, dataBlocks / kExtentBlocks, static_cast<unsigned long long>(r.rows),
            static_cast<double>(textBytes) / 1e6);
    fprintf(report, "cat FILE > /dev/null      : %7.3f s  %8.1f MB/s\n", cat, mb / cat);
    fprintf(report, "printExtentRows to text   : %7.3f s  %8.1f MB/s of data blocks, %.2f M rows/s\n",
            r.seconds, mb / r.seconds, static_cast<double>(r.rows) / r.seconds / 1e6);
    fprintf(report, "  per core (CPU time)     : %7.3f s  %8.1f MB/s (target >= 300 MB/s)\n", r.cpu, mb / r.cpu);
    // The same into a file in memory (tmpfs), which takes the disk's
    // writeback of a gigabyte of text out of the figure.
    Result shm;
    const std::string shmPath = "/dev/shm/zut-bench-unload.txt";
    if (unloadTable(dir, path, shmPath, shm)) {
      fprintf(report, "the same to a file in /dev/shm: %7.3f s  %8.1f MB/s, CPU %.3f s\n", shm.seconds,
              mb / shm.seconds, shm.cpu);
    }
    unlink(shmPath.c_str());
    Result null;
    if (unloadTable(dir, path, "/dev/null", null)) {
      fprintf(report, "the same to /dev/null     : %7.3f s  %8.1f MB/s, CPU %.3f s\n", null.seconds,
              mb / null.seconds, null.cpu);
    }
    fprintf(report, "peak resident memory      : %7.1f MiB so far in the run (target < 64 MiB)\n\n",
            r.peakKiB / 1024.0);
    unlink(outPath.c_str());
  }
  unlink(path.c_str());
  unlink(outPath.c_str());
  rmdir(dir.c_str());
  fclose(report);
  return rc;
}
