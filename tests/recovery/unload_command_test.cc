// The UNLOAD command on a damaged demo database, through the built binary.
// One data block (or a segment header, or a pair of blocks swapped) is
// damaged in seeded ways; every table is then unloaded by UNLOAD TABLE
// through its segment header, and again after SCAN EXTENT through the
// extent list. The tool must end normally with bounded output, report every
// unload, and write every row of each table the damage does not touch
// exactly as the builder wrote it.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/support/test_util.h"
#include "tools/builder/demo_db.h"

namespace {

constexpr size_t kTranscriptLimit = 1u << 20;

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

enum Kind { kRandomBlock, kZeroBlock, kFlippedBits, kSegmentHeader, kSwapped, kKinds };

TEST(DamagedUnload, UntouchedTablesUnloadWholeThroughBothPaths) {
#if defined(__SANITIZE_ADDRESS__)
  const uint32_t seeds = 2;
#else
  const uint32_t seeds = 3;
#endif
  int cases = 0;
  for (int kind = 0; kind < kKinds; kind++) {
    for (uint32_t seed = 0; seed < seeds; seed++) {
      TempDir dir;
      const mkdb::DemoDatabase db = mkdb::buildDemoDatabase(dir.path());
      ASSERT_EQ(0, mkdb::writeDemoDatabase(db, dir.path(), "demo.cfg"));
      const mkdb::FileImage& f = db.files.at(0);
      const std::string path = dir.file("users01.dbf");
      std::vector<uint8_t> bytes = readFile(path);
      const uint32_t bs = f.blockSize;
      // Data blocks (type 6) and segment headers of the tables, by block.
      std::vector<uint32_t> data, headers;
      for (uint32_t b = 2; static_cast<size_t>(b + 1) * bs <= bytes.size(); b++) {
        if (bytes[static_cast<size_t>(b) * bs] == 6 && le32(&bytes[static_cast<size_t>(b) * bs + 24]) != 0) data.push_back(b);
      }
      for (const mkdb::DemoTable& t : db.tables)
        if (t.headerBlock) headers.push_back(t.headerBlock);
      ASSERT_FALSE(data.empty());
      std::mt19937 rng(seed * 131u + static_cast<uint32_t>(kind));
      const uint32_t victim = kind == kSegmentHeader ? headers[rng() % headers.size()] : data[rng() % data.size()];
      uint8_t* at = &bytes[static_cast<size_t>(victim) * bs];
      std::set<uint32_t> touched = {le32(at + 24)};  // objd of a data block
      std::set<uint32_t> touchedHeaders;
      switch (kind) {
        case kRandomBlock:
          for (uint32_t i = 0; i < bs; i++) at[i] = static_cast<uint8_t>(rng());
          break;
        case kZeroBlock:
          std::fill(at, at + bs, 0);
          break;
        case kFlippedBits:
          for (int i = 0; i < 8; i++) at[20 + rng() % (bs - 24)] ^= static_cast<uint8_t>(1u << (rng() % 8));
          break;
        case kSegmentHeader:
          touched.clear();
          touchedHeaders.insert(victim);
          for (uint32_t i = 0; i < bs; i++) at[i] = static_cast<uint8_t>(rng());
          break;
        case kSwapped: {
          const uint32_t other = data[rng() % data.size()];
          uint8_t* to = &bytes[static_cast<size_t>(other) * bs];
          touched.insert(le32(to + 24));
          std::swap_ranges(at, at + bs, to);
          break;
        }
      }
      writeFile(path, bytes);
      SCOPED_TRACE(testing::Message() << "kind " << kind << " seed " << seed << " block " << victim);
      for (const bool extentList : {false, true}) {
        std::string input = "OPEN demo.cfg\n";
        if (extentList) input += "SCAN EXTENT\n";
        std::vector<const mkdb::DemoTable*> checked;
        for (const mkdb::DemoTable& t : db.tables) {
          input += "UNLOAD TABLE " + t.owner + "." + t.name + " TO t_" + t.name + ".txt;\n";
          // An index-organized table's overflow segment follows its own.
          const bool hit = t.dataObjId == 0 || touchedHeaders.count(t.headerBlock) ||
                           touched.count(t.dataObjId) || touched.count(t.dataObjId + 1);
          if (!hit) checked.push_back(&t);
        }
        const RunResult r = runZut(dir.path(), input + "EXIT\n");
        cases++;
        SCOPED_TRACE(extentList ? "after SCAN EXTENT" : "through segment headers");
        EXPECT_EQ(0, r.status) << r.out.substr(0, 4000);
        EXPECT_LT(r.out.size(), kTranscriptLimit);
        size_t reports = 0;
        for (size_t p = r.out.find("Sucessfully unload"); p != std::string::npos; p = r.out.find("Sucessfully unload", p + 1)) reports++;
        EXPECT_EQ(db.tables.size(), reports);
        EXPECT_GE(checked.size(), 3u);  // the case checks something
        for (const mkdb::DemoTable* t : checked) {
          EXPECT_EQ(mkdb::demoTableText(*t), dir.read("t_" + t->name + ".txt")) << t->name;
        }
      }
    }
  }
  printf("damaged unload: %d transcripts\n", cases);
}

}  // namespace
