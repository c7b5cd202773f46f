// Files copied out of ASM disk groups whose metadata is damaged: a lost
// disk header or directory AU (LSAU, SET F1B1, a directory entry given by
// hand), lost extent lists (SCAN of the whole group, COPY with MAP), and
// the hard edges: hand-written maps with gaps, duplicates and bad lines,
// ranges at the end of the numbers, outputs that are inputs or fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tests/support/asm_fixture.h"

namespace {

void zeroBytes(const std::string& path, uint64_t at, uint64_t length) {
  FILE* f = fopen(path.c_str(), "r+b");
  ASSERT_NE(nullptr, f);
  const std::vector<char> zeros(length, 0);
  ASSERT_EQ(0, fseeko(f, static_cast<off_t>(at), SEEK_SET));
  ASSERT_EQ(length, fwrite(zeros.data(), 1, length, f));
  ASSERT_EQ(0, fclose(f));
}

uint32_t readLE4(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// A damaged directory: the disk header that names the F1B1 AU wiped (ADD,
// LSAU, SET F1B1 find the directory again), then the directory's first AU
// destroyed (the entry of the file given by hand).
TEST(AsmDamage, DamagedFileDirectory) {
  AsmDemo d(AsmLayout{});
  d.dir.write("copy.cfg", "copy.dbf\n");
  zeroBytes(d.group.disks[0].path, 0, 4096);
  RunResult r = runZut(d.dir.path(), "ASM OPEN disks.lst\nASM ADD DISK 0 PATH disk0.img\nASM FILE\n"
                                     "ASM LSAU DISK 0 AU 0 COUNT 8 TO lsau.txt\nASM SET F1B1_DISK 0\n"
                                     "ASM SET F1B1_AU 2\nASM FILE TO files.txt\nASM COPY FILE 256 TO copy.dbf\n"
                                     "OPEN copy.cfg\nUNLOAD TABLE SCOTT.EMP TO emp.txt;\nEXIT\n");
  EXPECT_EQ(0u, countOf(r.out, "    file  disk")) << r.out;
  EXPECT_EQ("fileid=1, disk=0, au=2, block=1, size=2097152, aus=2, flags=0, type=0\n", d.dir.read("lsau.txt"));
  EXPECT_NE(std::string::npos, d.dir.read("files.txt").find("     256     1        3   0        4    0    0 0,0\n"))
      << d.dir.read("files.txt");
  EXPECT_EQ(d.bytes, readWholeFile(d.dir.file("copy.dbf")));
  EXPECT_EQ(mkdb::demoTableText(d.table("EMP")), d.dir.read("emp.txt")) << r.out;

  AsmDemo e(AsmLayout{});
  e.dir.write("copy.cfg", "copy.dbf\n");
  zeroBytes(e.group.disks[0].path, 2u << 20, 1u << 20);
  r = runZut(e.dir.path(), "ASM OPEN disks.lst\nASM FILE\nASM COPY FILE 256 TO lost.dbf\n"
                           "ASM LSAU DISK 1 AU 0 COUNT 10 TO lsau.txt\n"
                           "ASM FMAP FILE 256 DISK 1 AU 3 BLOCK 0 TO fmap.txt\n"
                           "ASM COPY FILE 256 DISK 1 AU 3 BLOCK 0 TO copy.dbf\n"
                           "OPEN copy.cfg\nUNLOAD TABLE SCOTT.EMP TO emp.txt;\nEXIT\n");
  EXPECT_EQ(0u, countOf(r.out, "    file  disk")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("  ASM file 256 was not found; nothing written.\n"));
  EXPECT_NE(0, access(e.dir.file("lost.dbf").c_str(), F_OK));
  EXPECT_EQ("fileid=256, disk=1, au=3, block=0, size=" + std::to_string(e.bytes.size()) + ", aus=" +
                std::to_string(e.file().extents.size()) + ", flags=0, type=0\n",
            e.dir.read("lsau.txt"));
  EXPECT_EQ(0u, e.dir.read("fmap.txt").find("fid=256, disk=1, au=3, block=0\n"));
  EXPECT_EQ(e.bytes, readWholeFile(e.dir.file("copy.dbf")));
  EXPECT_EQ(mkdb::demoTableText(e.table("EMP")), e.dir.read("emp.txt")) << r.out;
}

// Lost extent lists: the file's directory entry and one of its indirect
// blocks destroyed. SCAN finds the rest (and a stale copy of the first
// indirect block after the current one); COPY with MAP writes every
// surviving extent at its place and the lost one as zeros, and the tables
// whose blocks all survive unload whole.
TEST(AsmDamage, LostExtentLists) {
  AsmDemo d(AsmLayout{2, 1, 64, 0, 1, true, 0, 0});
  const uint32_t B = 8192, perExtent = 8;
  const mkdb::DemoTable& emp = d.table("EMP");
  const mkdb::DemoTable& dept = d.table("DEPT");
  // An extent past the file header holding rows of another table only.
  uint32_t lost = 0;
  for (uint32_t k = 2; k <= d.file().extents.size() && lost == 0; k++) {
    bool other = false, kept = false;
    for (uint32_t b = (k - 1) * perExtent; b < k * perExtent && (b + 1) * B <= d.bytes.size(); b++) {
      const uint32_t objd = readLE4(d.bytes, static_cast<size_t>(b) * B + 24);
      const bool data = d.bytes[static_cast<size_t>(b) * B] == 6;
      kept = kept || b == emp.headerBlock || b == dept.headerBlock ||
             (data && (objd == emp.dataObjId || objd == dept.dataObjId));
      other = other || data;
    }
    if (other && !kept) lost = k;
  }
  ASSERT_NE(0u, lost);
  const auto [disk, au, block] = d.entryOf(256);
  zeroBytes(d.group.disks[disk].path, static_cast<uint64_t>(au) * d.group.auSize + block * 4096ull, 4096);
  // Indirect block i (one extent each, the stale copy second) lies in AU
  // 4095 - i / 16 of disk 0.
  zeroBytes(d.group.disks[0].path, (4095ull - lost / 16) * d.group.auSize + (lost % 16) * 4096ull, 4096);
  d.dir.write("mapped.cfg", "mapped.dbf\n");
  const RunResult r = runZut(d.dir.path(), d.openCommands() + "ASM COPY FILE 256 TO lost.dbf\nASM SCAN TO map.txt\n"
                                                              "ASM COPY FILE 256 MAP map.txt TO mapped.dbf\n"
                                                              "OPEN mapped.cfg\nUNLOAD TABLE SCOTT.EMP TO emp.txt;\n"
                                                              "UNLOAD TABLE SCOTT.DEPT TO dept.txt;\nEXIT\n");
  EXPECT_NE(std::string::npos, r.out.find("  ASM file 256 was not found; nothing written.\n"));
  EXPECT_NE(std::string::npos, r.out.find("  1 extents are missing from the extent list and were written as zeros.\n"))
      << r.out;
  std::vector<uint8_t> want = d.bytes;
  const size_t from = static_cast<size_t>(lost - 1) * d.group.auSize;
  std::fill(want.begin() + static_cast<long>(from),
            want.begin() + static_cast<long>(std::min<size_t>(from + d.group.auSize, want.size())), 0);
  const std::vector<uint8_t> got = readWholeFile(d.dir.file("mapped.dbf"));
  ASSERT_GE(got.size(), want.size());
  EXPECT_TRUE(std::equal(want.begin(), want.end(), got.begin()));
  EXPECT_EQ(mkdb::demoTableText(emp), d.dir.read("emp.txt")) << r.out;
  EXPECT_EQ(mkdb::demoTableText(dept), d.dir.read("dept.txt"));
}

}  // namespace
