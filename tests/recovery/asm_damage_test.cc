// ASM disk groups damaged in seeded ways: the directory AU that opens the
// file directory destroyed, an indirect extent block lost, a member disk
// missing. The file is copied out by its extent list (its entry given by
// hand when the directory AU is gone) and by the map a SCAN of the whole
// group writes; every extent whose pointer and AU survive must reach both
// copies at its own offset, and what is lost must come out as zeros.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/support/asm_fixture.h"

namespace {

constexpr uint32_t kAU = 64u << 10;

// Each extent of the copy: the stored bytes, or zeros (or nothing past the
// end) for a lost one.
void expectExtents(const std::vector<uint8_t>& stored, const std::set<uint32_t>& lost, const std::string& path) {
  const std::vector<uint8_t> got = readWholeFile(path);
  for (uint32_t e = 1; e * static_cast<size_t>(kAU) <= stored.size(); e++) {
    const size_t from = (e - 1) * static_cast<size_t>(kAU);
    if (lost.count(e)) {
      if (got.size() > from) {
        EXPECT_TRUE(std::all_of(got.begin() + from, got.begin() + std::min(got.size(), from + kAU),
                                [](uint8_t b) { return b == 0; }))
            << path << " extent " << e;
      }
      continue;
    }
    ASSERT_GE(got.size(), from + kAU) << path << " extent " << e;
    EXPECT_TRUE(std::equal(stored.begin() + from, stored.begin() + from + kAU, got.begin() + from))
        << path << " extent " << e;
  }
}

TEST(AsmCorruption, EveryExtentThatSurvivesReachesTheCopy) {
  for (uint32_t seed = 0; seed < 9; seed++) {
    std::mt19937 rng(seed);
    const int kind = static_cast<int>(seed % 3);
    TempDir dir;
    mkdb::AsmGroup g = mkdb::asmGroup(dir.path(), 4, static_cast<uint8_t>(rng() % 2), kAU, 16);
    mkdb::AsmFile f;
    f.number = 20;  // its entry in the directory's second AU (disk 1, AU 3)
    f.extents = mkdb::spreadExtents(g, 40ull * kAU, 10);
    f.size = 40ull * kAU;
    f.directSlots = rng() % 6;
    f.perIndirectBlock = 1 + rng() % 4;
    f.staleCopy = rng() % 2;
    f.staleTarget = {3, 200};
    f.indirectAUs = {{0, 100}, {1, 101}, {0, 102}};
    g.files = {f};
    ASSERT_EQ(0, mkdb::writeAsmGroup(g));
    std::vector<uint8_t> stored(f.size);
    for (uint8_t& b : stored) b = static_cast<uint8_t>(rng() | 1);
    ASSERT_EQ(0, mkdb::writeAsmFileBytes(g, f, 0, stored));
    SCOPED_TRACE(testing::Message() << "seed " << seed << " kind " << kind << " direct " << f.directSlots
                                    << " per block " << f.perIndirectBlock << " stale " << f.staleCopy);
    std::set<uint32_t> lost;
    std::string disks = g.disks[0].path + "\n" + g.disks[1].path + "\n", entry = "";
    if (kind == 0) {  // the directory's first AU
      zeroFileBytes(g.disks[0].path, 2ull * kAU, kAU);
      entry = " DISK 1 AU 3 BLOCK 4";
    }
    const uint32_t direct = std::min<uint32_t>(40, f.directSlots), per = f.perIndirectBlock;
    if (kind == 1) {  // one indirect block of the current ones
      const uint32_t blocks = (40 - direct + per - 1) / per, i = rng() % blocks;
      const uint32_t at = i + (f.staleCopy && i > 0);  // the stale copy follows block 0
      zeroFileBytes(g.disks[f.indirectAUs[at / 16].disk].path, f.indirectAUs[at / 16].au * uint64_t{kAU} + (at % 16) * 4096ull,
           4096);
      for (uint32_t e = direct + i * per + 1; e <= std::min(40u, direct + (i + 1) * per); e++) lost.insert(e);
    }
    const int gone = kind == 2 ? 2 + static_cast<int>(rng() % 2) : -1;
    for (int d = 2; d < 4; d++)
      if (d != gone) disks += g.disks[d].path + "\n";
    for (uint32_t e = 1; e <= 40; e++)
      if (f.extents[e - 1].disk == gone) lost.insert(e);
    dir.write("disks.lst", disks);
    const RunResult r = runZut(dir.path(), "ASM SET AU_SIZE 65536\nASM OPEN disks.lst\nASM COPY FILE 20" + entry +
                                               " TO copy.dbf\nASM SCAN TO map.txt\n"
                                               "ASM COPY FILE 20 MAP map.txt TO mapped.dbf\nEXIT\n");
    EXPECT_EQ(0, r.status) << r.out;
    expectExtents(stored, lost, dir.file("copy.dbf"));
    // The map of a destroyed directory AU still names every extent: the
    // file's entry lies in the directory's second AU.
    expectExtents(stored, lost, dir.file("mapped.dbf"));
  }
}

}  // namespace
