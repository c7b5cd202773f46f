// Corruption survival. A builder database (a heap table with chained,
// migrated and long rows over several extents and extent map blocks, a
// basic-compressed table, a clustered table and an index-organized table with
// overflow rows), in both byte orders and at several block sizes, is
// damaged in many seeded ways and unloaded through every path a user has:
//   - the recovery path: the extent map of all data blocks (SCAN EXTENT),
//     then every extent of the object from that list (UNLOAD OBJECT with an
//     extent list);
//   - the segment header search and its extent map, falling back to the full
//     scan when no segment header of the object is found (UNLOAD TABLE and
//     UNLOAD OBJECT without a list);
//   - the full scan of every block (no index-organized rows);
//   - the extent list and the full scan again with BLOCK_CHECK on, which
//     must pass over every damaged block without a row from it.
// Each case runs in a child process, so a crash, a sanitizer report or an
// endless loop is counted instead of ending the suite. Every row stored
// wholly in undamaged blocks must come out of the recovery path exactly as
// the builder wrote it; the other paths must write every such row they can
// reach. The summary line gives the cases, rows expected and recovered and
// the crashes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "datafile/block_reader.h"
#include "datafile/data_file_set.h"
#include "unload/unload_drivers.h"
#include "scan/extent_scan.h"
#include "tests/support/test_util.h"
#include "tools/builder/index_builder.h"
#include "tools/builder/row_builder.h"

namespace {

constexpr uint16_t kRfn = 6;
constexpr uint32_t kFileBlocks = 420;
// Output far beyond the database's rows means a runaway decoder.
constexpr size_t kOutputLimit = 8u << 20;
constexpr int kChildSeconds = 240;

struct Row {
  std::string line;              // the text the row must come back as
  std::vector<uint32_t> blocks;  // blocks holding its pieces, the head first
};

struct Table {
  const char* name = "";
  uint32_t objd = 0;
  int tableNumber = 0;
  bool indexOrganized = false;
  std::vector<uint8_t> types;
  uint32_t header = 0;
  std::vector<mkdb::Extent> extents;
  std::vector<uint32_t> mapBlocks;  // in chain order
  uint32_t perBlock = 3;            // extents in the header and in each map block
  std::vector<Row> rows;
};

struct Database {
  uint8_t order = mkdb::kLittle;
  uint32_t blockSize = 2048;
  std::vector<Table> tables;
  std::vector<uint8_t> bytes;        // the whole intact file
  std::vector<uint32_t> dataBlocks;  // blocks holding rows of some table
};

mkdb::Value num(int v) {
  OracleBytes b;
  encodeOracleNumber(std::to_string(v), b);
  return b;
}
mkdb::Value str(const std::string& s) { return OracleBytes(s.begin(), s.end()); }

std::string lineOf(const std::vector<std::string>& texts) {
  std::string s;
  for (size_t i = 0; i < texts.size(); i++) s += (i ? "|" : "") + texts[i];
  return s + "\r\n";
}

class Builder {
 public:
  mkdb::FileImage f;
  std::mt19937 rng{777};
  uint32_t nextFree = 10;
  uint32_t blockSize = 2048;

  std::string letters(size_t n) {
    std::string out;
    for (size_t i = 0; i < n; i++) out += static_cast<char>('a' + rng() % 26);
    return out;
  }

  void segment(Table& t, uint32_t first, uint32_t end) {
    // Shorter extents in bigger blocks, so that every table still has
    // several of them and the heap spills into map blocks.
    const uint32_t length = std::max(2u, 16384u / blockSize);
    for (uint32_t b = first; b < end; b += length)
      t.extents.push_back(mkdb::extentAt(f, b, std::min(length, end - b)));
    mkdb::SegmentPlan plan;
    plan.block = t.header = nextFree++;
    plan.objd = t.objd;
    plan.extents = t.extents;
    plan.perBlock = t.perBlock;
    for (size_t k = 0; t.perBlock * (k + 1) < t.extents.size(); k++)
      plan.mapBlocks.push_back(nextFree++);
    t.mapBlocks = plan.mapBlocks;
    ASSERT_EQ(0, mkdb::addSegmentHeader(f, plan));
  }

  Table heap() {
    Table t;
    t.name = "heap";
    t.objd = 7001;
    t.types = {kColNumber, kColVarchar2, kColVarchar2};
    std::vector<mkdb::TableRow> rows;
    std::vector<std::string> lines;
    for (int i = 0; i < 260; i++) {
      mkdb::TableRow r;
      const std::string a = "h" + std::to_string(i) + letters(rng() % 30);
      const std::string b = letters(i % 40 == 9 ? 2 * blockSize + rng() % 1000 : 1 + rng() % 60);
      r.values = {num(i), str(a), str(b)};
      if (i % 13 == 4) r.placement = mkdb::TableRow::kMigrated;
      if (i % 19 == 7) {
        r.placement = mkdb::TableRow::kChained;
        r.pieces = 2 + i % 2;
      }
      rows.push_back(r);
      lines.push_back(lineOf({std::to_string(i), a, b}));
    }
    mkdb::PackOptions options;
    options.objd = t.objd;
    const uint32_t first = nextFree + 40;
    std::vector<std::vector<uint32_t>> placement;
    const std::vector<uint32_t> blocks = mkdb::packRows(f, first, rows, options, &placement);
    EXPECT_FALSE(blocks.empty());
    for (size_t i = 0; i < rows.size(); i++) t.rows.push_back({lines[i], placement[i]});
    segment(t, first, blocks.empty() ? first : blocks.back() + 1);
    nextFree = blocks.empty() ? first : blocks.back() + 1;
    return t;
  }

  Table compressed() {
    Table t;
    t.name = "compressed";
    t.objd = 7002;
    t.types = {kColNumber, kColVarchar2, kColVarchar2};
    std::vector<mkdb::RowValues> rows;
    std::vector<std::string> lines;
    const std::string groups[] = {"north", "south", "east-west", "centre"};
    for (int i = 0; i < 200; i++) {
      const std::string g = groups[i % 4], tag = "tag" + std::to_string(i % 7);
      rows.push_back({num(i), str(g), str(tag)});
      lines.push_back(lineOf({std::to_string(i), g, tag}));
    }
    mkdb::CompressOptions options;
    options.fixedRun = false;
    const uint32_t first = nextFree;
    uint32_t block = first;
    for (size_t at = 0; at < rows.size(); block++) {
      const size_t taken = mkdb::addCompressedBlock(f, block, t.objd, rows, at, options);
      EXPECT_GT(taken, 0u);
      if (taken == 0) break;
      for (size_t i = at; i < at + taken; i++) t.rows.push_back({lines[i], {block}});
      at += taken;
    }
    nextFree = block;
    segment(t, first, block);
    return t;
  }

  // Table 1 of the cluster, its key column first.
  Table cluster() {
    Table t;
    t.name = "cluster";
    t.objd = 7003;
    t.tableNumber = 1;
    t.types = {kColNumber, kColVarchar2, kColNumber};
    const uint32_t first = nextFree;
    for (uint32_t b = 0; b < 4; b++) {
      mkdb::DataBlockPlan plan;
      plan.objd = t.objd;
      std::vector<mkdb::RowPiece> keys, members;
      for (uint8_t k = 0; k < 4; k++) {
        const int dept = static_cast<int>(10 * (4 * b + k + 1));
        mkdb::RowPiece key;
        key.flag = mkdb::kRowK | mkdb::kRowWhole;
        key.columns = {num(dept)};
        keys.push_back(key);
        for (int m = 0; m < 3; m++) {
          const std::string name = "m" + letters(1 + rng() % 12);
          const int sal = static_cast<int>(rng() % 9000) + 1;
          mkdb::RowPiece member;
          member.flag = mkdb::kRowC | mkdb::kRowWhole;
          member.columns = {str(name), num(sal)};
          member.clusterKeyIndex = k;
          members.push_back(member);
          t.rows.push_back(
              {lineOf({std::to_string(dept), name, std::to_string(sal)}), {first + b}});
        }
      }
      plan.tables = {keys, members};
      EXPECT_EQ(0, mkdb::addRowBlock(f, first + b, plan));
    }
    nextFree = first + 4;
    segment(t, first, first + 4);
    return t;
  }

  Table indexOrganized() {
    Table t;
    t.name = "index-organized";
    t.objd = 7004;
    t.indexOrganized = true;
    t.types = {kColNumber, kColVarchar2, kColVarchar2};
    constexpr size_t kPerLeaf = 15;
    std::vector<mkdb::IotRow> rows;
    std::vector<std::string> lines;
    for (int i = 0; i < 120; i++) {
      mkdb::IotRow r;
      const std::string a = "k" + letters(1 + rng() % 20), b = letters(1 + rng() % 40);
      r.values = {num(i), str(a), str(b)};
      // Some rows keep their last column in the overflow segment, some
      // also split the middle one between the leaf and the overflow piece.
      if (i % 3 == 0) r.overflowFrom = 2;
      if (i % 10 == 5) {
        r.overflowFrom = 2;
        r.splitAt = 1;
      }
      rows.push_back(r);
      lines.push_back(lineOf({std::to_string(i), a, b}));
    }
    mkdb::IotOptions options;
    options.objd = t.objd;
    options.overflowObjd = t.objd + 1;
    options.rowsPerLeaf = kPerLeaf;
    const uint32_t first = nextFree;
    const mkdb::IotLayout layout = mkdb::packIndexOrganized(f, first, rows, options);
    EXPECT_EQ((rows.size() + kPerLeaf - 1) / kPerLeaf, layout.leaves.size());
    EXPECT_FALSE(layout.overflow.empty());
    for (size_t i = 0; i < layout.rowBlocks.size(); i++) t.rows.push_back({lines[i], layout.rowBlocks[i]});
    nextFree = first + 1 + static_cast<uint32_t>(layout.leaves.size() + layout.overflow.size());
    segment(t, first, first + 1 + static_cast<uint32_t>(layout.leaves.size()));
    return t;
  }
};

Database* buildDatabase(uint8_t order, uint32_t blockSize) {
  auto* d = new Database;
  d->order = order;
  d->blockSize = blockSize;
  TempDir dir;
  Builder b;
  b.blockSize = blockSize;
  b.f.path = dir.file("intact.dbf");
  b.f.byteOrder = order;
  b.f.blockSize = blockSize;
  b.f.rfn = b.f.fileNumber = kRfn;
  b.f.blocks = kFileBlocks;
  mkdb::addFileHeader(b.f);
  d->tables = {b.heap(), b.compressed(), b.cluster(), b.indexOrganized()};
  EXPECT_LT(b.nextFree, kFileBlocks);
  EXPECT_EQ(0, mkdb::writeDataFile(b.f));
  std::ifstream in(b.f.path, std::ios::binary);
  d->bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  std::set<uint32_t> blocks;
  for (const Table& t : d->tables)
    for (const Row& r : t.rows) blocks.insert(r.blocks.begin(), r.blocks.end());
  d->dataBlocks.assign(blocks.begin(), blocks.end());
  return d;
}

// The databases the suite damages: byte order and block size.
constexpr int kDatabases = 4;
const Database& database(int which) {
  static Database* db[kDatabases] = {
      buildDatabase(mkdb::kLittle, 2048), buildDatabase(mkdb::kBig, 2048),
      buildDatabase(mkdb::kLittle, 8192), buildDatabase(mkdb::kBig, 16384)};
  return *db[which];
}

enum Kind {
  kNone,
  kRandomBlock,
  kZeroBlock,
  kTornBlock,
  kDirectoryBits,
  kRowBits,
  kSegmentHeader,
  kMapBlockLost,
  kTruncated,
  kFileHeader,
  kMovedBlocks,
  kSeveralBlocks,
  kKinds
};
const char* const kKindNames[kKinds] = {"intact",         "random block",   "zeroed block",
                                        "torn block",     "directory bits", "row bits",
                                        "segment header", "map block lost", "truncated file",
                                        "file header",    "moved blocks",   "several blocks"};

// One damaged file and the blocks the damage made unusable. checked: every
// damaged block still in the file fails its checksum, is all zeros or holds
// rows of the intact database (moved), so BLOCK_CHECK lets no damaged row
// through.
struct Damage {
  std::vector<uint8_t> bytes;
  std::set<uint32_t> blocks;
  bool checked = true;
};

bool verifies(const uint8_t* b, uint32_t blockSize) {
  uint16_t x = 0;
  bool zero = true;
  for (uint32_t i = 0; i < blockSize; i += 2) {
    x ^= static_cast<uint16_t>(b[i] | b[i + 1] << 8);
    zero = zero && b[i] == 0 && b[i + 1] == 0;
  }
  return x == 0 && !zero;
}

Damage damage(const Database& db, Kind kind, uint32_t seed) {
  Damage d{db.bytes, {}};
  const uint32_t blockSize = db.blockSize;
  std::mt19937 rng(seed * 7919u + kind);
  const auto pick = [&](const std::vector<uint32_t>& v) { return v[rng() % v.size()]; };
  const auto at = [&](uint32_t block) {
    return d.bytes.data() + static_cast<size_t>(block) * blockSize;
  };
  const auto flipBits = [&](uint32_t block, uint32_t from, uint32_t to) {
    const int flips = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < flips; i++)
      at(block)[from + rng() % (to - from)] ^= static_cast<uint8_t>(1u << (rng() % 8));
    d.blocks.insert(block);
  };
  const uint32_t block = pick(db.dataBlocks);
  switch (kind) {
    case kNone:
    case kKinds:
      break;
    case kRandomBlock:
      for (uint32_t i = 0; i < blockSize; i++) at(block)[i] = static_cast<uint8_t>(rng());
      d.blocks.insert(block);
      break;
    case kZeroBlock:
      std::fill(at(block), at(block) + blockSize, 0);
      d.blocks.insert(block);
      break;
    case kTornBlock: {
      uint32_t other = pick(db.dataBlocks);
      if (other == block)
        other = db.dataBlocks[(std::find(db.dataBlocks.begin(), db.dataBlocks.end(), block) -
                               db.dataBlocks.begin() + 1) %
                              db.dataBlocks.size()];
      std::copy(at(other) + blockSize / 2, at(other) + blockSize, at(block) + blockSize / 2);
      d.blocks.insert(block);
      break;
    }
    case kDirectoryBits:  // cache and transaction headers, table and row
                          // directories
      flipBits(block, 20, 260);
      break;
    case kRowBits:  // row headers, column lengths and next piece addresses
      flipBits(block, blockSize / 2, blockSize - 4);
      break;
    case kSegmentHeader: {
      const uint32_t header = db.tables[rng() % db.tables.size()].header;
      for (uint32_t i = 0; i < blockSize; i++) at(header)[i] = static_cast<uint8_t>(rng());
      d.blocks.insert(header);
      break;
    }
    case kMapBlockLost: {
      const Table& t = db.tables[0];
      const uint32_t map = pick(t.mapBlocks);
      std::fill(at(map), at(map) + blockSize, 0);
      d.blocks.insert(map);
      break;
    }
    case kTruncated: {
      const uint32_t keep = block;
      d.bytes.resize(static_cast<size_t>(keep) * blockSize + rng() % blockSize);
      for (uint32_t b = keep; b < kFileBlocks; b++) d.blocks.insert(b);
      break;
    }
    case kFileHeader:
      for (uint32_t i = 0; i < blockSize; i++) at(1)[i] = static_cast<uint8_t>(rng());
      d.blocks.insert(1);
      break;
    case kMovedBlocks: {
      uint32_t other = pick(db.dataBlocks);
      if (other == block) other = block + 1;
      std::swap_ranges(at(block), at(block) + blockSize, at(other));
      d.blocks.insert(block);
      d.blocks.insert(other);
      return d;
    }
    case kSeveralBlocks:  // a damaged region: random, zeroed and bit-flipped
                          // blocks
      for (int n = 3 + static_cast<int>(rng() % 6); n > 0; n--) {
        const uint32_t b = pick(db.dataBlocks);
        switch (rng() % 3) {
          case 0:
            for (uint32_t i = 0; i < blockSize; i++) at(b)[i] = static_cast<uint8_t>(rng());
            break;
          case 1:
            std::fill(at(b), at(b) + blockSize, 0);
            break;
          default:
            for (int i = 0; i < 6; i++)
              at(b)[20 + rng() % (blockSize - 24)] ^= static_cast<uint8_t>(1u << (rng() % 8));
        }
        d.blocks.insert(b);
      }
      break;
  }
  for (uint32_t b : d.blocks) {
    if (static_cast<size_t>(b + 1) * blockSize <= d.bytes.size() && verifies(at(b), blockSize))
      d.checked = false;
  }
  return d;
}

bool intact(const Row& r, const std::set<uint32_t>& damaged) {
  return std::none_of(r.blocks.begin(), r.blocks.end(),
                      [&](uint32_t b) { return damaged.count(b) != 0; });
}

// Rows the segment header's extent map still leads to: the header and the
// map blocks up to the first damaged one.
std::set<uint32_t> reachableBlocks(const Table& t, const std::set<uint32_t>& damaged) {
  std::set<uint32_t> blocks;
  for (size_t e = 0; e < t.extents.size(); e++) {
    const size_t holder = e / t.perBlock;
    bool cut = false;
    for (size_t k = 0; k < holder && !cut; k++) cut = damaged.count(t.mapBlocks[k]) != 0;
    if (cut) break;
    const uint32_t first = t.extents[e].rdba & 0x3FFFFF;
    for (uint32_t b = first; b < first + t.extents[e].blocks; b++) blocks.insert(b);
  }
  return blocks;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The child: opens the damaged file and writes, per table, the rows of each
// path to <dir>/<path>.<objd>, and the messages to <dir>/messages.
[[noreturn]] void unloadAll(const Database& db, const std::string& dir) {
  if (freopen((dir + "/messages").c_str(), "w", stdout) == nullptr) _exit(3);
  DataFileSet set;
  ReadAheadCache cache, lob;
  RdbaList corrupt, skip;
  resizeReadAheadCache(cache, kDefaultCacheSize);
  resizeReadAheadCache(lob, kDefaultCacheSize);
  SessionContext ctx;
  ctx.blockSize = db.blockSize;
  ctx.byteOrder = db.order;
  ctx.blockBuffer = static_cast<unsigned char*>(calloc(db.blockSize, 1));
  ctx.dataCache = &cache;
  ctx.lobCache = &lob;
  ctx.corruptList = &corrupt;
  ctx.skipList = &skip;
  ctx.fileSet = &set;
  const std::string config = dir + "/data.dbf\n";
  FILE* c = fmemopen(const_cast<char*>(config.data()), config.size(), "r");
  loadConfig(set, c);
  fclose(c);
  openDBFile(set, nullptr);
  checkFileHeader(ctx);

  char* listing = nullptr;
  size_t listingSize = 0;
  FILE* l = open_memstream(&listing, &listingSize);
  listExtentMap(l, ctx);
  fclose(l);
  std::vector<OraExtent> extents;
  std::istringstream lines(std::string(listing, listingSize));
  free(listing);
  for (std::string line; std::getline(lines, line);) {
    line += "\n";
    FieldScanner cursor;
    cursor.text = line.c_str();
    cursor.length = static_cast<int32_t>(line.size());
    OraExtent e;
    if (parseORAEXTENT(e, cursor) == 0) extents.push_back(e);
  }

  for (const Table& t : db.tables) {
    memset(ctx.columnTypes, 0, sizeof ctx.columnTypes);
    for (size_t i = 0; i < t.types.size(); i++) ctx.columnTypes[i] = t.types[i];
    ctx.columnCount = static_cast<uint16_t>(t.types.size());
    const auto run = [&](const char* path, auto unload) {
      FILE* out = fopen((dir + "/" + path + "." + std::to_string(t.objd)).c_str(), "w");
      if (out == nullptr) _exit(3);
      ctx.rowsUnloaded = 0;
      emptyReadAheadCache(cache);
      unload(out);
      fclose(out);
    };
    run("extents", [&](FILE* out) {
      for (const OraExtent& e : extents) {
        if (e.objd == t.objd)
          printRowByExtent(out, ctx, t.objd, t.tableNumber, 0, 0,
                           UnloadExtent{e.objd, e.file, e.block, e.blocks});
      }
    });
    run("segment", [&](FILE* out) {
      if (scanSegmentHeader(ctx, t.objd, 0))
        printExtentRows(out, ctx, t.objd, t.tableNumber, 0, 0);
      else
        scanTableRows(out, ctx, t.objd, t.tableNumber, 0, 0, 0, 0);
    });
    run("full", [&](FILE* out) { scanTableRows(out, ctx, t.objd, t.tableNumber, 0, 0, 0, 0); });
    ctx.blockCheck = 1;
    run("checked", [&](FILE* out) {
      for (const OraExtent& e : extents) {
        if (e.objd == t.objd)
          printRowByExtent(out, ctx, t.objd, t.tableNumber, 0, 0,
                           UnloadExtent{e.objd, e.file, e.block, e.blocks});
      }
      scanTableRows(out, ctx, t.objd, t.tableNumber, 0, 0, 0, 0);
    });
    ctx.blockCheck = 0;
  }
  fflush(stdout);
  _exit(0);
}

// 0 when the child ended normally; 1 for a crash, a sanitizer report or a
// child that did not end in time. The child arms its own alarm, so one that
// runs past kChildSeconds dies by SIGALRM and the parent simply blocks in
// waitpid until it ends either way.
int runChild(const Database& db, const std::string& dir) {
  fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    sigset_t alarmOnly;
    sigemptyset(&alarmOnly);
    sigaddset(&alarmOnly, SIGALRM);
    sigprocmask(SIG_UNBLOCK, &alarmOnly, nullptr);
    signal(SIGALRM, SIG_DFL);
    alarm(kChildSeconds);
    unloadAll(db, dir);
  }
  if (pid < 0) return 1;
  int status = 0;
  pid_t r;
  do {
    r = waitpid(pid, &status, 0);
  } while (r < 0 && errno == EINTR);
  if (r != pid) return 1;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}

struct Tally {
  int cases = 0;
  size_t expected = 0;
  size_t recovered = 0;
  int crashes = 0;
};

// Seeds per damage kind and database. Every kind runs on every byte order
// and block size whatever the number; the default keeps the suite quick: 4
// seeds (180 cases), 2 under the sanitizers (92 cases). ZUT_CORRUPTION_SEEDS
// sets any other number, e.g. ZUT_CORRUPTION_SEEDS=150 for a long run.
uint32_t seedsPerKind() {
  if (const char* e = getenv("ZUT_CORRUPTION_SEEDS")) return static_cast<uint32_t>(atoi(e));
#if defined(__SANITIZE_ADDRESS__)
  return 2;
#else
  return 4;
#endif
}

TEST(CorruptionSurvival, EveryIntactRowComesBackThroughEveryPath) {
  Tally tally;
  const uint32_t seeds = seedsPerKind();
  for (int which = 0; which < kDatabases; which++) {
    const Database& db = database(which);
    ASSERT_FALSE(db.bytes.empty());
    ASSERT_EQ(4u, db.tables.size());
    for (int kind = kNone; kind < kKinds; kind++) {
      for (uint32_t seed = 0; seed < (kind == kNone ? 1 : seeds); seed++) {
        const Damage d = damage(db, static_cast<Kind>(kind), seed);
        SCOPED_TRACE(testing::Message()
                     << (db.order ? "big-endian " : "") << db.blockSize << " bytes "
                     << kKindNames[kind] << " seed " << seed
                     << " blocks " << testing::PrintToString(d.blocks));
        TempDir dir;
        {
          std::ofstream out(dir.file("data.dbf"), std::ios::binary);
          out.write(reinterpret_cast<const char*>(d.bytes.data()),
                    static_cast<std::streamsize>(d.bytes.size()));
        }
        tally.cases++;
        const int crashed = runChild(db, dir.path());
        tally.crashes += crashed;
        EXPECT_EQ(0, crashed);
        if (crashed) continue;
        EXPECT_LT(slurp(dir.file("messages")).size(), kOutputLimit);
        for (const Table& t : db.tables) {
          SCOPED_TRACE(t.name);
          const std::string suffix = "." + std::to_string(t.objd);
          const std::string extents = slurp(dir.file("extents" + suffix)),
                            segment = slurp(dir.file("segment" + suffix)),
                            full = slurp(dir.file("full" + suffix)),
                            checked = slurp(dir.file("checked" + suffix));
          EXPECT_LT(extents.size() + segment.size() + full.size() + checked.size(), kOutputLimit);
          const bool headerFound = d.blocks.count(t.header) == 0;
          const std::set<uint32_t> reachable = reachableBlocks(t, d.blocks);
          size_t missing[4] = {};
          std::set<std::string> source;
          for (const Row& r : t.rows) {
            if (!intact(r, d.blocks)) continue;
            tally.expected++;
            const bool recovered = extents.find(r.line) != std::string::npos;
            tally.recovered += recovered;
            missing[0] += !recovered;
            const bool viaSegment =
                headerFound ? reachable.count(r.blocks[0]) != 0 : !t.indexOrganized;
            if (viaSegment && segment.find(r.line) == std::string::npos) missing[1]++;
            if (!t.indexOrganized && full.find(r.line) == std::string::npos) missing[2]++;
            if (checked.find(r.line) == std::string::npos) missing[3]++;
          }
          for (const Row& r : t.rows) source.insert(r.line);
          // With BLOCK_CHECK nothing but source rows comes out, and rows whose
          // chain leads into a damaged block, ended early: the start of such a
          // row.
          size_t foreign = 0;
          for (size_t at = 0; at < checked.size();) {
            const size_t end = checked.find("\r\n", at);
            const size_t next = end == std::string::npos ? checked.size() : end + 2;
            const std::string line = checked.substr(at, next - at);
            if (source.count(line) == 0) {
              const std::string start =
                  line.substr(0, end == std::string::npos ? line.size() : line.size() - 2);
              foreign += std::none_of(t.rows.begin(), t.rows.end(), [&](const Row& r) {
                return r.blocks.size() > 1 && !intact(r, d.blocks) &&
                       r.line.compare(0, start.size(), start) == 0;
              });
            }
            at = next;
          }
          EXPECT_EQ(0u, d.checked ? foreign : 0u) << "rows from damaged blocks despite BLOCK_CHECK";
          EXPECT_EQ(0u, missing[0]) << "rows missing from the extent list unload";
          EXPECT_EQ(0u, missing[1]) << "rows missing from the segment header unload";
          EXPECT_EQ(0u, missing[2]) << "rows missing from the full scan";
          EXPECT_EQ(0u, missing[3]) << "rows missing with BLOCK_CHECK";
        }
      }
    }
  }
  printf(
      "corruption survival: %d cases run, %zu rows expected, %zu rows "
      "recovered, %d crashes\n",
      tally.cases, tally.expected, tally.recovered, tally.crashes);
  EXPECT_EQ(0, tally.crashes);
  EXPECT_EQ(tally.expected, tally.recovered);
}

}  // namespace
