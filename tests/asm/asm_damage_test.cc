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

uint32_t readLE4(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// A damaged directory: the disk header that names the F1B1 AU wiped (ADD,
// LSAU, SET F1B1 find the directory again), then the directory's first AU
// destroyed (the entry of the file given by hand).
TEST(AsmDamage, DamagedFileDirectory) {
  AsmDemo d(AsmLayout{});
  d.dir.write("copy.cfg", "copy.dbf\n");
  zeroFileBytes(d.group.disks[0].path, 0, 4096);
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
  zeroFileBytes(e.group.disks[0].path, 2u << 20, 1u << 20);
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
  zeroFileBytes(d.group.disks[disk].path, static_cast<uint64_t>(au) * d.group.auSize + block * 4096ull, 4096);
  // Indirect block i (one extent each, the stale copy second) lies in AU
  // 4095 - i / 16 of disk 0.
  zeroFileBytes(d.group.disks[0].path, (4095ull - lost / 16) * d.group.auSize + (lost % 16) * 4096ull, 4096);
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

namespace {

struct PatternGroup {
  TempDir dir;
  mkdb::AsmGroup g;
  mkdb::AsmFile big, huge, striped;
  std::vector<uint8_t> bigBytes, stripedBytes;
  static constexpr uint32_t kAU = 64u << 10, kStripe = 16u << 10, kWidth = 8;
  static constexpr uint16_t kAbsentDisk = 9;

  PatternGroup() {
    g = mkdb::asmGroup(dir.path(), 2, 0, kAU, 96);
    for (uint32_t au = 900; g.directory.extents.size() * (kAU / 4096) <= 302; au++) g.directory.extents.push_back({0, au});
    // 1100 extents: more than one window of 1024.
    big.number = 300;
    big.extents = mkdb::spreadExtents(g, 1100ull * kAU, 10);
    big.size = 1100ull * kAU;
    big.indirectAUs = {{1, 1000}};
    bigBytes.resize(big.size);
    for (size_t i = 0; i < bigBytes.size(); i++) bigBytes[i] = static_cast<uint8_t>(i * 31 + i / kAU);
    // Recorded as exactly 4 GiB: only the high word of its size is set.
    huge.number = 301;
    huge.extents = {{0, 1100}, {1, 1100}};
    huge.size = 4ull << 30;
    // 16 AUs striped 8 wide in 16 KiB stripes; its third extent on a disk
    // that is not there.
    striped.number = 302;
    striped.extents = mkdb::spreadExtents(g, 16ull * kAU, 1200);
    striped.extents[2].disk = kAbsentDisk;
    striped.size = 16ull * kAU;
    g.files = {big, huge, striped};
    EXPECT_EQ(0, mkdb::writeAsmGroup(g));
    EXPECT_EQ(0, mkdb::writeAsmFileBytes(g, big, 0, bigBytes));
    stripedBytes.resize(striped.size);
    std::mt19937 rng(5);
    for (uint8_t& b : stripedBytes) b = static_cast<uint8_t>(rng());
    const uint64_t perSet = kWidth * kAU / kStripe;
    for (uint64_t k = 0; k * kStripe < striped.size; k++) {
      const uint64_t q = k / perSet, m = k % perSet, au = q * kWidth + m % kWidth;
      const std::vector<uint8_t> piece(stripedBytes.begin() + static_cast<long>(k * kStripe),
                                       stripedBytes.begin() + static_cast<long>((k + 1) * kStripe));
      if (au == 2)
        std::fill(stripedBytes.begin() + static_cast<long>(k * kStripe),
                  stripedBytes.begin() + static_cast<long>((k + 1) * kStripe), 0);
      else
        EXPECT_EQ(0, mkdb::writeAsmFileBytes(g, striped, au * kAU + (m / kWidth) * kStripe, piece));
    }
    EXPECT_EQ(0, mkdb::writeAsmDiskList(g, dir.file("disks.lst")));
  }
};

// A hand-written map: extents out of order, extent 5 missing, extent 7
// named twice (the first line wins), extent 9 on a disk that is not open,
// and lines no extent can have.
TEST(AsmDamage, CopyWithAHandWrittenMap) {
  PatternGroup p;
  std::vector<std::string> lines;
  for (uint32_t e = 1; e <= p.big.extents.size(); e++) {
    const mkdb::AsmExtent& x = p.big.extents[e - 1];
    if (e == 5) continue;
    lines.push_back("300," + std::to_string(e) + "," + std::to_string(e == 9 ? 7 : x.disk) + "," + std::to_string(x.au));
  }
  std::shuffle(lines.begin(), lines.end(), std::mt19937(3));
  std::string map = "# scanned\n\n";
  for (const std::string& l : lines) {
    map += l + (l.size() % 2 ? "\r\n" : "\n");
    if (l.rfind("300,7,", 0) == 0) map += "300,7,0,12\n301,7,0,13\n";
  }
  map += "300,4294967295,0,5\n300,-1,0,5\n300,3,70000,5\n300,3,0,4294967296\n300,0,0,5\nabc\n300,2,0\n" +
         std::string(300, '1') + ",1,0,5\n300,18446744073709551616,0,5\n300,100000,0,5\n";
  p.dir.write("map.txt", map);
  const RunResult r = runZut(p.dir.path(), "ASM SET AU_SIZE 65536\nASM OPEN disks.lst\n"
                                           "ASM COPY FILE 300 MAP map.txt TO copy.dbf\n"
                                           "ASM COPY FILE 300 MAP nomap.txt TO none.dbf\nEXIT\n");
  std::vector<uint8_t> want = p.bigBytes;
  for (uint32_t e : {5u, 9u})
    std::fill(want.begin() + (e - 1) * PatternGroup::kAU, want.begin() + e * PatternGroup::kAU, 0);
  EXPECT_EQ(want, readWholeFile(p.dir.file("copy.dbf")));
  EXPECT_NE(std::string::npos,
            r.out.find("  1 AUs could not be read and were written as zeros.\n"
                       "  1 extents are missing from the extent list and were written as zeros.\n"
                       "  10 lines of map.txt were ignored: not file,extent,disk,au with numbers an extent can have.\n"
                       "  Copied " + std::to_string(want.size()) + " bytes to copy.dbf.\n"))
      << r.out;
  EXPECT_NE(std::string::npos, r.out.find("  Cannot open extent map file nomap.txt: No such file or directory\n"));
  EXPECT_NE(0, access(p.dir.file("none.dbf").c_str(), F_OK));
}

// LSAU sees a file of exactly 4 GiB; LSAU and SCAN ranges stop at the end of
// the disk and of the AU numbers; copies never overwrite a disk and say when
// a write fails; SCOPY reads a striped file and writes the stripes of an
// AU it cannot read as zeros.
TEST(AsmDamage, EdgesOfRangesOutputsAndStripes) {
  PatternGroup p;
  const mkdb::AsmExtent entry = p.g.directory.extents[301 / 16];  // 16 entries an AU
  const std::string at = "DISK " + std::to_string(entry.disk) + " AU " + std::to_string(entry.au);
  const RunResult r = runZut(
      p.dir.path(), "ASM SET AU_SIZE 65536\nASM OPEN disks.lst\nASM LSAU " + at + " TO lsau.txt\n"
                    "ASM LSAU DISK 0 AU 4294967295 COUNT 4294967295\nASM SCAN DISK 0 AU 4294967290 COUNT 100\n"
                    "ASM LSAU DISK 0 AU 1530 COUNT 4294967295\nASM SCAN DISK 1 AU 1000 COUNT 4294967295 TO scan.txt\n"
                    "ASM COPY FILE 300 TO disk0.img\nASM COPY FILE 300 TO /dev/full\n"
                    "ASM SET STRIP_SIZE 16\nASM SCOPY FILE 302 TO striped.dbf\n"
                    "ASM FMAP2 FILE 300 OFFSET 1000 TO window.txt\nASM COPY FILE 300 TO " + std::string(300, 'a') +
                    "\nEXIT\n");
  EXPECT_EQ(0, r.status);
  EXPECT_NE(std::string::npos,
            p.dir.read("lsau.txt").find("fileid=301, disk=" + std::to_string(entry.disk) + ", au=" +
                                        std::to_string(entry.au) + ", block=13, size=4294967296, aus=2, flags=0, type=0\n"))
      << p.dir.read("lsau.txt");
  // AU 1000 of disk 1 holds the big file's indirect blocks, the rest of the
  // disk data.
  const std::string scan = p.dir.read("scan.txt");
  EXPECT_EQ(p.big.extents.size() - 60, countOf(scan, "\n") ) << scan.substr(0, 200);
  EXPECT_EQ(0u, scan.find("300,61,"));
  EXPECT_NE(std::string::npos, r.out.find("  disk0.img is an input file of this session; nothing written.\n"));
  EXPECT_NE(std::string::npos, r.out.find("  Write error on /dev/full: No space left on device\n")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("  4 stripes could not be read and were written as zeros.\n")) << r.out;
  EXPECT_EQ(p.stripedBytes, readWholeFile(p.dir.file("striped.dbf")));
  // The window from extent 1000, in entry order (extent number modulo 1024).
  std::string window;
  for (uint32_t e : {1024u, 1000u})
    for (uint32_t x = e; x < e + (e == 1024 ? 77 : 24); x++)
      window += "extentid=" + std::to_string(x) + ", disk=" + std::to_string(p.big.extents[x - 1].disk) +
                ", au=" + std::to_string(p.big.extents[x - 1].au) + "\n";
  EXPECT_EQ(window, p.dir.read("window.txt"));
  EXPECT_NE(std::string::npos,
            r.out.find("  A word of 300 characters is longer than an ASM argument can be (255); nothing done.\n"));
  EXPECT_NE(0, access(p.dir.file(std::string(255, 'a')).c_str(), F_OK));
  // No output of the ranges past the ends.
  EXPECT_EQ(std::string::npos, r.out.find("fileid=")) << r.out;
}

}  // namespace
