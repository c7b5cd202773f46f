// UNLOAD of a table whose rows each hold a 64 KiB out-of-line CLOB, end to
// end through the interpreter, in INLINE mode (values into the text output)
// and FILE mode (one file a value under LOBDATA/), beside `cat FILE >
// /dev/null` on the same page-cached data file. Reports MB of LOB data per
// second; the goal for INLINE without conversion is at least half of cat.
// A third run converts the text (a CHARSET AL32UTF8 database: UTF-16 to
// UTF-8).
//
// The table (ID NUMBER, C CLOB), object 90200, has 4096 rows; each CLOB is
// 9 LOB blocks of 8 KiB in the block map (its locator carries N and L), the
// maps made by SCAN LOB before the timed runs. Everything is written under
// /tmp and removed at the end.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/common/bench_session.h"
#include "tools/builder/datafile_builder.h"
#include "tools/builder/lob_builder.h"
#include "tools/builder/oracle_values.h"
#include "tools/builder/row_builder.h"

namespace {

constexpr uint32_t kBlockSize = 8192;
constexpr uint32_t kRows = 4096;
constexpr size_t kValueBytes = 64 * 1024;
constexpr uint32_t kObjd = 90200;
constexpr uint16_t kRfn = 4;
constexpr uint32_t kHeaderBlock = 2;
constexpr uint32_t kFirstData = 3;
constexpr uint32_t kDataBlocks = 64;
constexpr uint32_t kFirstLob = kFirstData + kDataBlocks;
constexpr int kRounds = 3;

mkdb::LobId lobId(uint32_t row) {
  mkdb::LobId id{};
  id[0] = 0x4C;
  for (int i = 0; i < 4; i++) id[6 + i] = static_cast<uint8_t>(row >> (8 * (3 - i)));
  return id;
}

bool writeTable(const std::string& dir, const std::string& file) {
  std::vector<uint8_t> value(kValueBytes);
  for (size_t i = 0; i < value.size(); i++) value[i] = static_cast<uint8_t>('A' + i % 26);
  const size_t room = mkdb::lobPayloadRoom(kBlockSize);
  const uint32_t perValue = static_cast<uint32_t>((kValueBytes + room - 1) / room);

  mkdb::FileImage f;
  f.path = file;
  f.configName = "lob01.dbf";
  f.blockSize = kBlockSize;
  f.rfn = f.fileNumber = kRfn;
  f.tablespace = 4;
  f.blocks = kFirstLob + kRows * perValue;
  mkdb::addFileHeader(f);
  std::vector<mkdb::TableRow> rows(kRows);
  mkdb::FileImage scratch = f;
  for (uint32_t r = 0; r < kRows; r++) {
    // The value's blocks are made in a scratch image and written later, one
    // value at a time, so the whole table is never in memory.
    const mkdb::StoredLob s = mkdb::addLobValue(scratch, kFirstLob, kObjd + 1, lobId(r), value);
    OracleBytes id;
    encodeOracleNumber(std::to_string(r + 1), id);
    rows[r].values = {id, mkdb::encodeLocator(mkdb::mappedLocator(lobId(r), s))};
  }
  mkdb::PackOptions options;
  options.objd = kObjd;
  const std::vector<uint32_t> used = mkdb::packRows(f, kFirstData, rows, options);
  if (used.empty() || used.back() >= kFirstLob) return false;
  mkdb::SegmentPlan seg;
  seg.block = kHeaderBlock;
  seg.objd = kObjd;
  seg.extents = {mkdb::extentAt(f, kFirstData, kDataBlocks)};
  if (mkdb::addSegmentHeader(f, seg) != 0 || mkdb::writeDataFile(f) != 0 ||
      mkdb::writeConfigFile(dir + "/bench.cfg", {f}) != 0)
    return false;

  const int fd = open(file.c_str(), O_WRONLY);
  if (fd < 0) return false;
  bool ok = true;
  std::vector<uint8_t> chunk;
  for (uint32_t r = 0; r < kRows && ok; r++) {
    scratch.images.clear();
    const uint32_t first = kFirstLob + r * perValue;
    mkdb::addLobValue(scratch, first, kObjd + 1, lobId(r), value);
    chunk.clear();
    for (uint32_t b = 0; b < perValue; b++) {
      mkdb::Block& blk = scratch.images[first + b];
      mkdb::setChecksum(blk);
      chunk.insert(chunk.end(), blk.begin(), blk.end());
    }
    ok = pwrite(fd, chunk.data(), chunk.size(), static_cast<off_t>(first) * kBlockSize) ==
         static_cast<ssize_t>(chunk.size());
  }
  return close(fd) == 0 && ok;
}

// The commands in a child process running the interpreter; seconds, or -1
// when it failed. The transcript is kept in dir/run.log.
double runCommands(const std::string& dir, const std::string& commands, std::string* log) {
  const std::string logPath = dir + "/run.log";
  const double t0 = now();
  const pid_t pid = startInterpreter(dir, commands, logPath);
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0)
    return -1;
  const double seconds = now() - t0;
  if (log != nullptr) {
    log->clear();
    FILE* f = fopen(logPath.c_str(), "r");
    char line[256];
    while (f != nullptr && fgets(line, sizeof line, f))
      if (strncmp(line, "Sucessfully", 11) == 0 || strncmp(line, "Warning", 7) == 0) *log += line;
    if (f != nullptr) fclose(f);
  }
  return seconds;
}

struct Mode {
  const char* name;
  const char* settings;
  const char* target;
};

}  // namespace

int main() {
  const std::string dir = makeBenchDir("zut-bench-lob");
  if (dir.empty()) return 1;
  const std::string file = dir + "/lob01.dbf";
  int rc = 1;
  const std::string unload =
      "UNLOAD OBJECT 90200 COLUMN NUMBER CLOB FILE 4 BLOCK 2 TO ";
  // The maps go to ZUTDICT/, which the program makes at its start.
  std::filesystem::create_directory(dir + "/ZUTDICT");
  if (!writeTable(dir, file) ||
      runCommands(dir, "OPEN bench.cfg\nSCAN LOB\n", nullptr) < 0) {
    fprintf(stderr, "cannot write the benchmark table in %s\n", dir.c_str());
  } else {
    const double mb = static_cast<double>(kRows) * kValueBytes / 1e6;
    const Mode modes[] = {{"INLINE TO /dev/null", "", "/dev/null"},
                          {"INLINE TO lob.txt", "", "lob.txt"},
                          {"FILE (LOBDATA/)", "SET LOB_STORAGE 1\n", "lob.txt"},
                          {"INLINE, UTF-16 to UTF-8", "SET CHARSET AL32UTF8\n", "/dev/null"}};
    timeCat({file});
    double bestCat = 1e9;
    for (int r = 0; r < kRounds; r++) {
      const double c = timeCat({file});
      if (c > 0 && c < bestCat) bestCat = c;
    }
    printf("table: %u rows, one %zu-byte CLOB each in %u-byte blocks (%.0f MB of LOB data)\n",
           kRows, kValueBytes, kBlockSize, mb);
    printf("cat FILE > /dev/null       : %7.3f s  %8.1f MB/s (best of %d)\n", bestCat,
           mb / bestCat, kRounds);
    rc = 0;
    for (const Mode& m : modes) {
      double best = -1;
      std::string log;
      for (int r = 0; r < kRounds; r++) {
        std::error_code ec;
        std::filesystem::remove_all(dir + "/LOBDATA", ec);
        const double s = runCommands(
            dir, std::string("OPEN bench.cfg\n") + m.settings + unload + m.target + ";\n", &log);
        if (s > 0 && (best < 0 || s < best)) best = s;
      }
      // Every value must have been written: into lob.txt, or under LOBDATA/.
      std::error_code ec;
      uintmax_t written = 0;
      if (strcmp(m.target, "lob.txt") == 0) written = std::filesystem::file_size(dir + "/lob.txt", ec);
      for (auto it = std::filesystem::recursive_directory_iterator(dir + "/LOBDATA", ec);
           !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file()) written += it->file_size();
      const bool whole = strcmp(m.target, "lob.txt") != 0 || written >= kRows * kValueBytes;
      if (best < 0 || !whole || log.find(" " + std::to_string(kRows) + " rows") == std::string::npos ||
          log.find("Warning") != std::string::npos) {
        fprintf(stderr, "%s: the unload failed: %s\n", m.name, log.c_str());
        rc = 1;
        continue;
      }
      printf("%-27s: %7.3f s  %8.1f MB/s of LOB data, %.2f x cat\n", m.name, best, mb / best,
             bestCat / best);
    }
    printf("goal                       : INLINE without conversion >= 0.5 x cat\n");
  }
  std::error_code ec;
  if (getenv("ZUT_BENCH_KEEP") == nullptr) std::filesystem::remove_all(dir, ec);
  else fprintf(stderr, "kept %s\n", dir.c_str());
  return rc;
}
