// The ASM layer on builder disk images, called directly: where a byte
// offset of a file lies under the extent policy, the directory search (its
// indirect pass, a handle that already points at its entry), reads across
// AU and extent boundaries and into holes, and a failed AU read that must
// not leave a stale cache key behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <random>
#include <vector>

#include "asm/asm_disk.h"
#include "tests/support/test_util.h"
#include "tools/builder/asm_builder.h"

namespace {

struct Group {
  ASMDiskGroup* g = newDiskGroup();
  ~Group() { deleteDiskGroup(g); }
};

std::unique_ptr<ASMFileHandle> handleFor(ASMDiskGroup* g, uint32_t file) {
  auto h = std::make_unique<ASMFileHandle>();
  initASMFileHandle(*h);
  getASMFileEntry(g, *h, file);
  return h;
}

// Extent index (0-based) and first AU of the extent holding AU r, counted
// extent by extent.
std::pair<uint64_t, uint64_t> walkToAU(uint64_t r, uint32_t last0, uint32_t count0, uint32_t last1,
                                       uint32_t count1) {
  uint64_t au = 0;
  for (uint64_t e = 1;; e++) {
    const uint64_t c = e <= last0 ? count0 : e <= last1 ? count1 : 1;
    if (r < au + c) return {e - 1, au};
    au += c;
  }
}

TEST(AsmLayer, OffsetToExtentUnderThePolicy) {
  Group s;
  ASMDiskGroup& g = *s.g;
  const uint64_t U = g.auSize;
  ASMFileOffset at;
  getASMFileOffsetAU(g, at, 5 * U + 77);  // every extent one AU
  EXPECT_EQ(5u, at.extent);
  EXPECT_EQ(5 * U, at.start);
  setExtentAUCount(g.policy, 1, 20000, 1);
  setExtentAUCount(g.policy, 2, 40000, 4);
  getASMFileOffsetAU(g, at, 20004 * U);
  EXPECT_EQ(20001u, at.extent);
  EXPECT_EQ(4u, at.auCount);
  EXPECT_EQ(20004 * U, at.start);
  std::mt19937 rng(7);
  for (int i = 0; i < 200; i++) {
    const uint64_t r = rng() % 110000;
    const auto [extent, first] = walkToAU(r, 20000, 1, 40000, 4);
    getASMFileOffsetAU(g, at, r * U + rng() % U);
    ASSERT_EQ(extent, at.extent) << r;
    ASSERT_EQ(first * U, at.start) << r;
    EXPECT_EQ(getExtentAUCount(g.policy, static_cast<uint32_t>(extent + 1)), at.auCount) << r;
  }
}

struct Disks {
  TempDir dir;
  mkdb::AsmGroup group;
  std::vector<uint8_t> pattern;
  Disks() {
    group = mkdb::asmGroup(dir.path(), 2, 0, 1u << 20, 24);
    // Directory extent 2 (files 256 ...) is listed in an indirect block.
    group.directory.directSlots = 1;
    group.directory.indirectAUs = {{0, 4}};
    mkdb::AsmFile f;
    f.number = 256;
    f.extents = mkdb::spreadExtents(group, 6u << 20, 6);
    f.size = 6u << 20;
    f.directSlots = 2;
    f.perIndirectBlock = 1;
    f.holes = {5};
    f.staleCopy = true;
    f.staleTarget = {1, 20};
    f.indirectAUs = {{1, 4}};
    group.files = {f};
    EXPECT_EQ(0, mkdb::writeAsmGroup(group));
    pattern.resize(6u << 20);
    for (size_t i = 0; i < pattern.size(); i++) pattern[i] = static_cast<uint8_t>(i / 8192 + i * 3);
    EXPECT_EQ(0, mkdb::writeAsmFileBytes(group, f, 0, pattern));
    EXPECT_EQ(0, mkdb::writeAsmDiskList(group, dir.file("disks.lst")));
  }
};

TEST(AsmLayer, DirectorySearchAndReadsAcrossBoundaries) {
  Disks d;
  Group s;
  FILE* null = fopen("/dev/null", "w");
  openDiskGroup(null, *s.g, d.dir.file("disks.lst").c_str());
  fclose(null);
  auto h = handleFor(s.g, 256);
  ASSERT_EQ(256u, h->fileNumber);  // found through the directory's indirect extent
  EXPECT_EQ(1, h->disk);
  EXPECT_EQ(3u, h->au);
  EXPECT_EQ(0, h->block);
  EXPECT_EQ(kASMNoFile, handleFor(s.g, 600)->fileNumber);
  // 128 blocks from 8 blocks before the end of the first AU: the rest comes
  // from the next extent; the stale indirect copy is passed over.
  std::vector<uint8_t> buf(1u << 20);
  const uint32_t first = 128 - 8;
  ASSERT_EQ(1u << 20, readASMOracleBlock(s.g, *h, first, 8192, buf.data(), 128));
  EXPECT_TRUE(std::equal(buf.begin(), buf.end(), d.pattern.begin() + first * 8192));
  ASSERT_EQ(8192u, readASMOracleBlock(s.g, *h, 3 * 128 + 1, 8192, buf.data(), 1));
  EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 8192, d.pattern.begin() + (3 * 128 + 1) * 8192));
  EXPECT_EQ(0u, readASMOracleBlock(s.g, *h, 4 * 128 + 1, 8192, buf.data(), 1));  // the hole
  // Up to the hole, then stop: whole blocks before it.
  EXPECT_EQ(8u * 8192, readASMOracleBlock(s.g, *h, 4 * 128 - 8, 8192, buf.data(), 16));
  // A block size that does not divide the AU reads nothing.
  EXPECT_EQ(0u, readASMOracleBlock(s.g, *h, 0, 3000, buf.data(), 1));

  // With F1B1 forgotten, a handle that points at the entry is still used.
  s.g->f1b1Disk = kASMNoDisk;
  s.g->f1b1AU = kASMNoAU;
  auto direct = std::make_unique<ASMFileHandle>();
  initASMFileHandle(*direct);
  direct->fileNumber = 256;
  direct->disk = 1;
  direct->au = 3;
  getASMFileEntry(s.g, *direct, 256);
  ASSERT_EQ(8192u, readASMOracleBlock(s.g, *direct, 7, 8192, buf.data(), 1));
  EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 8192, d.pattern.begin() + 7 * 8192));
}

// A directory AU that cannot be read whole (the disk ends inside it) is
// still searched block by block: file 256's entry, in its first block, is
// found.
TEST(AsmLayer, DirectoryAUReadShortIsSearchedBlockByBlock) {
  Disks d;
  ASSERT_EQ(0, truncate(d.group.disks[1].path.c_str(), (3u << 20) + 8192));
  Group s;
  FILE* null = fopen("/dev/null", "w");
  openDiskGroup(null, *s.g, d.dir.file("disks.lst").c_str());
  fclose(null);
  EXPECT_EQ(0u, readDiskGroupAU(*s.g, 1, 3));
  auto h = handleFor(s.g, 256);
  EXPECT_EQ(256u, h->fileNumber);
  EXPECT_EQ(3u, h->au);
}

// A short AU read at the end of a disk overwrites the cache's buffer: the
// AU cached before must not be served from it afterwards.
TEST(AsmLayer, FailedReadEmptiesTheCache) {
  Disks d;
  ASSERT_EQ(0, truncate(d.group.disks[0].path.c_str(), (24u << 20) + 8192));
  Group s;
  FILE* null = fopen("/dev/null", "w");
  openDiskGroup(null, *s.g, d.dir.file("disks.lst").c_str());
  fclose(null);
  for (auto read : {readDiskGroupAU, readDiskGroupEX}) {
    ASSERT_EQ(1u << 20, read(*s.g, 0, 2));
    EXPECT_EQ(0u, read(*s.g, 0, 24));  // 8 KiB there, then the end of the disk
    EXPECT_EQ(4096u, readDiskGroupBlock(*s.g, 0, 2, 1));
    EXPECT_EQ(4, s.g->blockCache.buffer[2]);  // the directory entry of file 1
    EXPECT_EQ(1, s.g->blockCache.buffer[7]);
    readDiskGroupBlock(*s.g, 0, 2, 3);  // the block cache moves on
  }
}

}  // namespace
