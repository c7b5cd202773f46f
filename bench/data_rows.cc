// Rows decoded and written per second: a page-cached table of mixed NUMBER,
// VARCHAR2 and DATE columns (about 100 bytes a row), walked block by block
// with readBlock and written by printDataRows2 into a fully buffered stream
// (256 KiB buffer, its bytes counted and dropped). Also the same decode on blocks already in
// memory, without the reads. One thread: the figures are per core. The aim
// is at least 3 million rows per second. The file is written to /tmp and
// removed at the end.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/common/bench_session.h"
#include "rows/text_rows.h"
#include "tools/builder/row_builder.h"

namespace {

constexpr uint32_t kBlockSize = 8192;
constexpr uint16_t kRfn = 1;
constexpr size_t kRows = 400000;
constexpr int kRounds = 5;

mkdb::Value text(std::mt19937& rng, size_t minLength, size_t spread) {
  std::string s(minLength + rng() % spread, 'a');
  for (char& c : s) c = static_cast<char>('a' + rng() % 26);
  return OracleBytes(s.begin(), s.end());
}

mkdb::Value number(const std::string& t) {
  OracleBytes b;
  encodeOracleNumber(t, b);
  return b;
}

// id, amount, created, name, city, status, note: about 100 stored bytes.
std::vector<mkdb::TableRow> makeRows() {
  std::mt19937 rng(7);
  std::vector<mkdb::TableRow> rows(kRows);
  for (size_t i = 0; i < kRows; i++) {
    mkdb::RowValues& v = rows[i].values;
    v.push_back(number(std::to_string(i + 1)));
    v.push_back(number(std::to_string(rng() % 1000000) + "." + std::to_string(10 + rng() % 90)));
    v.push_back(encodeOracleDate({1990 + static_cast<int>(rng() % 35), 1 + static_cast<int>(rng() % 12),
                                  1 + static_cast<int>(rng() % 28), static_cast<int>(rng() % 24),
                                  static_cast<int>(rng() % 60), static_cast<int>(rng() % 60)}));
    v.push_back(text(rng, 12, 16));
    v.push_back(text(rng, 6, 10));
    v.push_back(number(std::to_string(rng() % 5)));
    v.push_back(text(rng, 25, 30));
  }
  return rows;
}

// A stream that counts what it is given and keeps nothing.
ssize_t countBytes(void* cookie, const char*, size_t n) {
  *static_cast<uint64_t*>(cookie) += n;
  return static_cast<ssize_t>(n);
}

void setUp(SessionContext& ctx) {
  const uint8_t types[] = {kColNumber, kColNumber, kColDate, kColVarchar2, kColVarchar2, kColNumber,
                           kColVarchar2};
  for (size_t c = 0; c < sizeof types; c++) ctx.columnTypes[c] = types[c];
  ctx.columnCount = sizeof types;
}

}  // namespace

int main() {
  const std::string dir = makeBenchDir("zut-bench");
  if (dir.empty()) return 1;
  mkdb::FileImage f;
  f.path = dir + "/rows01.dbf";
  f.blockSize = kBlockSize;
  f.rfn = f.fileNumber = kRfn;
  mkdb::PackOptions pack;
  pack.objd = 90002;
  const std::vector<uint32_t> blocks = mkdb::packRows(f, 2, makeRows(), pack);
  f.blocks = blocks.empty() ? 2 : blocks.back() + 1;
  mkdb::addFileHeader(f);
  const std::string config = dir + "/bench.cfg";
  int rc = 1;
  HarnessSession session;
  if (blocks.empty() || mkdb::writeDataFile(f) != 0 || mkdb::writeConfigFile(config, {f}) != 0) {
    fprintf(stderr, "cannot write the benchmark file in %s\n", dir.c_str());
  } else if (openBenchSession(session, config, kBlockSize) != 0) {
    fprintf(stderr, "cannot open the benchmark file in %s\n", dir.c_str());
  } else {
    SessionContext& ctx = session.ctx;
    DataFileSet* set = session.ctx.fileSet;
    setUp(ctx);

    uint64_t bytesOut = 0;
    cookie_io_functions_t io{};
    io.write = countBytes;
    FILE* out = fopencookie(&bytesOut, "w", io);
    static char buffer[256 * 1024];
    setvbuf(out, buffer, _IOFBF, sizeof buffer);

    // Blocks held in memory for the decode-only figure.
    std::vector<unsigned char> image(static_cast<size_t>(blocks.size()) * kBlockSize);
    bool ok = true;
    for (size_t i = 0; i < blocks.size() && ok; i++) {
      ok = readBlock(set, ctx, kRfn, blocks[i]) == kBlockSize;
      if (ok) memcpy(image.data() + i * kBlockSize, ctx.blockBuffer, kBlockSize);
    }

    double bestWalk = 1e9, bestDecode = 1e9;
    uint64_t written = 0;
    for (int r = 0; r < kRounds && ok; r++) {
      emptyReadAheadCache(session.res.data);
      ctx.rowsUnloaded = 0;
      const uint64_t before = bytesOut;
      double t0 = now();
      for (uint32_t b : blocks) {
        if (readBlock(set, ctx, kRfn, b) != kBlockSize) {
          ok = false;
          break;
        }
        printDataRows2(out, ctx, 0, 0, 0);
      }
      fflush(out);
      const double walk = now() - t0;
      ok = ok && ctx.rowsUnloaded == kRows;
      written = bytesOut - before;

      ctx.rowsUnloaded = 0;
      t0 = now();
      for (size_t i = 0; i < blocks.size(); i++) {
        memcpy(ctx.blockBuffer, image.data() + i * kBlockSize, kBlockSize);
        printDataRows2(out, ctx, 0, 0, 0);
      }
      fflush(out);
      const double decode = now() - t0;
      ok = ok && ctx.rowsUnloaded == kRows;
      if (walk < bestWalk) bestWalk = walk;
      if (decode < bestDecode) bestDecode = decode;
    }
    if (ok) {
      const double mib = static_cast<double>(blocks.size()) * kBlockSize / (1024.0 * 1024.0);
      printf("table: %zu rows in %zu blocks of %u bytes (%.1f MiB), %.1f stored bytes a row\n", kRows,
             blocks.size(), kBlockSize, mib, mib * 1024 * 1024 / static_cast<double>(kRows));
      printf("text written per pass: %llu bytes (%.1f a row)\n", static_cast<unsigned long long>(written),
             static_cast<double>(written) / kRows);
      printf("readBlock + printDataRows2 : %8.3f s  %6.2f M rows/s (best of %d)\n", bestWalk,
             static_cast<double>(kRows) / bestWalk / 1e6, kRounds);
      printf("printDataRows2 only        : %8.3f s  %6.2f M rows/s (best of %d)\n", bestDecode,
             static_cast<double>(kRows) / bestDecode / 1e6, kRounds);
      printf("target                     : >= 3.00 M rows/s per core\n");
      rc = 0;
    } else {
      fprintf(stderr, "a read or a row count failed during the benchmark\n");
    }
    fclose(out);
  }
  closeHarnessSession(session);
  unlink(f.path.c_str());
  unlink(config.c_str());
  rmdir(dir.c_str());
  return rc;
}
