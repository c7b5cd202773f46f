// Listings and copies of ASM files through the binary: FILE, FMAP, LSAU and
// SCAN compared byte for byte with what the builder laid out, COPY by the
// extent list and by a scanned extent map compared with the file stored,
// and the copy opened as a plain data file and unloaded.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/asm_fixture.h"

namespace {

std::string fmt(const char* format, auto... args) {
  char line[512];
  snprintf(line, sizeof line, format, args...);
  return line;
}

uint32_t directOf(const mkdb::AsmFile& f) {
  return std::min<uint32_t>(static_cast<uint32_t>(f.extents.size()), f.directSlots);
}

uint32_t perIndirectOf(const mkdb::AsmGroup& g, const mkdb::AsmFile& f) {
  const uint32_t fit = (g.blockSize - 44) / 8;
  return f.perIndirectBlock && f.perIndirectBlock < fit ? f.perIndirectBlock : fit;
}

// The lines SCAN writes for a file, as the builder laid its extents out:
// direct slots, indirect slots, and the stale copy of the first indirect
// block pointing at its target.
std::multiset<std::string> scanLinesOf(const mkdb::AsmGroup& g, const mkdb::AsmFile& f) {
  std::multiset<std::string> lines;
  const uint32_t direct = directOf(f);
  for (uint32_t e = 1; e <= f.extents.size(); e++) {
    const mkdb::AsmExtent& x = f.extents[e - 1];
    if (e > direct && f.holes.count(e)) continue;
    lines.insert(fmt("%u,%u,%u,%u", f.number, e, x.disk, x.au));
  }
  if (f.staleCopy && f.extents.size() > direct)
    for (uint32_t e = direct + 1; e <= std::min<uint32_t>(f.extents.size(), direct + perIndirectOf(g, f)); e++)
      lines.insert(fmt("%u,%u,%u,%u", f.number, e, f.staleTarget.disk, f.staleTarget.au));
  return lines;
}

std::multiset<std::string> linesOf(const std::string& text) {
  std::multiset<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    lines.insert(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

std::string fmapOf(const AsmDemo& d) {
  const mkdb::AsmFile& f = d.file();
  const auto [disk, au, block] = d.entryOf(f.number);
  std::string s = fmt("fid=%d, disk=%d, au=%d, block=%d\n", f.number, disk, au, block) +
                  fmt("siz=%lld, ecnt=%d, eeof=0, flags=0, type=0, alias=0,0\n",
                      static_cast<long long>(f.size >> 20), static_cast<int>(f.extents.size())) +
                  "     extid  disk       auid  cnt flg chk\n========== ===== ========== ==== === ===\n";
  const mkdb::AsmExtentSizes sizes = d.sizes();
  for (uint32_t e = 1; e <= f.extents.size(); e++)
    s += fmt("%10d %5d %10d %4d   0   0\n", e, f.extents[e - 1].disk, f.extents[e - 1].au, sizes ? sizes(e) : 1);
  return s;
}

std::string fileListingOf(const AsmDemo& d) {
  std::string s = "    file  disk       au blk     size flag type alias0,alias1              \n"
                  "======== ===== ======== === ======== ==== ==== ===========================\n";
  for (const mkdb::AsmFile* f : {&d.group.directory, &d.file()}) {
    const auto [disk, au, block] = d.entryOf(f->number);
    s += fmt("%8d %5d %8d %3d %8lld    0    0 0,0\n", f->number, disk, au, block,
             static_cast<long long>(f->size >> 20));
  }
  return s;
}

// The bytes of `path`: the stored file first, then zeros only.
void expectFileThenZeros(const std::vector<uint8_t>& want, const std::string& path) {
  const std::vector<uint8_t> got = readWholeFile(path);
  ASSERT_GE(got.size(), want.size()) << path;
  EXPECT_TRUE(std::equal(want.begin(), want.end(), got.begin())) << path;
  EXPECT_TRUE(std::all_of(got.begin() + static_cast<long>(want.size()), got.end(), [](uint8_t b) { return b == 0; }))
      << path;
}

// Intact metadata: the listings, COPY by number and by a scanned map, and
// unloads from the copy opened as a plain file, for one disk and several,
// both byte orders, direct and indirect extents, stale indirect copies and
// variable extents.
TEST(AsmCopy, ListingsAndCopiesOfAnIntactGroup) {
  const AsmLayout layouts[] = {
      {1, 1, 1024, 60, 0, false, 0, 0},
      {3, 0, 64, 0, 1, true, 0, 0},
      {2, 1, 64, 2, 3, true, 4, 2},
      {2, 0, 64, 5, 0, false, 0, 0},
  };
  for (const AsmLayout& l : layouts) {
    SCOPED_TRACE(testing::Message() << "disks " << l.disks << " order " << int(l.byteOrder) << " au " << l.auKB
                                    << " direct " << l.directSlots);
    AsmDemo d(l);
    const auto [disk, au, block] = d.entryOf(256);
    d.dir.write("copy.cfg", "copy.dbf\n");
    d.dir.write("mapped.cfg", "mapped.dbf\n");
    const std::string at = " DISK " + std::to_string(disk) + " AU " + std::to_string(au);
    const RunResult r = runZut(d.dir.path(), d.openCommands() +
                                                 "ASM FILE TO files.txt\nASM FMAP FILE 256 TO fmap.txt\n"
                                                 "ASM LSAU" + at + " COUNT 1 TO lsau.txt\n"
                                                 "ASM COPY FILE 256 TO copy.dbf\nASM SCAN TO map.txt\n"
                                                 "ASM COPY FILE 256 MAP map.txt TO mapped.dbf\n"
                                                 "OPEN copy.cfg\nUNLOAD TABLE SCOTT.EMP TO emp.txt;\n"
                                                 "OPEN mapped.cfg\nUNLOAD TABLE SCOTT.SALES_PART TO part.txt;\nEXIT\n");
    EXPECT_EQ(0, r.status) << r.out;
    EXPECT_EQ(fileListingOf(d), d.dir.read("files.txt"));
    EXPECT_EQ(fmapOf(d), d.dir.read("fmap.txt"));
    EXPECT_EQ(fmt("fileid=256, disk=%d, au=%d, block=%d, size=%lld, aus=%d, flags=0, type=0\n", disk, au, block,
                  static_cast<long long>(d.bytes.size()), static_cast<int>(d.file().extents.size())),
              d.dir.read("lsau.txt"));
    std::multiset<std::string> scanned = scanLinesOf(d.group, d.file());
    const std::multiset<std::string> directory = scanLinesOf(d.group, d.group.directory);
    scanned.insert(directory.begin(), directory.end());
    EXPECT_EQ(scanned, linesOf(d.dir.read("map.txt")));
    EXPECT_EQ(d.bytes, readWholeFile(d.dir.file("copy.dbf")));
    expectFileThenZeros(d.bytes, d.dir.file("mapped.dbf"));
    EXPECT_NE(std::string::npos, r.out.find(fmt("  Copied %zu bytes to copy.dbf.\n", d.bytes.size()))) << r.out;
    EXPECT_EQ(mkdb::demoTableText(d.table("EMP")), d.dir.read("emp.txt"));
    EXPECT_EQ(mkdb::demoTableText(d.table("SALES_PART")), d.dir.read("part.txt"));
  }
}

// ALIAS in both byte orders: entries over two blocks, only flags 4 and 18
// listed, a name of exactly 48 characters whole, the heading before each
// direct extent of the alias directory.
TEST(AsmCopy, AliasListing) {
  for (const uint8_t order : {0, 1}) {
    TempDir dir;
    mkdb::AsmGroup g = mkdb::asmGroup(dir.path(), 2, order, 1u << 20, 16);
    std::string want;
    const std::string heading =
        "    file          inc parent fstblk flag  refer alias                     \n"
        "======== ============ ====== ====== ==== ====== ==========================\n";
    for (uint32_t i = 0; i < 60; i++) {
      mkdb::AsmAlias a;
      a.name = i == 58 ? std::string(48, 'Z') : "DATAFILE_" + std::to_string(i);
      a.file = 256 + i;
      a.incarnation = 1000000 + i * 7;
      a.refer = i * 3;
      a.flags = i % 10 == 3 ? 1 : i % 10 == 4 ? 4 : 18;
      g.aliases.push_back(a);
      if (a.flags != 1)
        want += fmt("%8d %12d %6d %6d %4d %6d %s\n", a.file, a.incarnation, 7, 2 + i / 53, a.flags, a.refer,
                    a.name.c_str());
    }
    g.aliasExtents = {{1, 5}, {0, 6}};
    ASSERT_EQ(0, mkdb::writeAsmGroup(g));
    ASSERT_EQ(0, mkdb::writeAsmDiskList(g, dir.file("disks.lst")));
    runZut(dir.path(), "ASM OPEN disks.lst\nASM ALIAS TO alias.txt\nEXIT\n");
    EXPECT_EQ(heading + want + heading, dir.read("alias.txt"));
  }
}

// Extents the indirect blocks skip: FMAP says so and numbers on after the
// gap, COPY writes the skipped extent as zeros; and a member disk left out
// of the list: its AUs become zeros in both copies, every extent on the
// other disks comes out.
TEST(AsmCopy, HolesAndAMissingDisk) {
  TempDir dir;
  mkdb::AsmGroup g = mkdb::asmGroup(dir.path(), 3, 1, 1u << 20, 32);
  mkdb::AsmFile f;
  f.number = 260;
  f.extents = mkdb::spreadExtents(g, 9u << 20, 10);
  f.size = 9u << 20;
  f.directSlots = 2;
  f.perIndirectBlock = 2;
  f.holes = {4};
  f.indirectAUs = {{0, 8}};
  g.files = {f};
  ASSERT_EQ(0, mkdb::writeAsmGroup(g));
  std::vector<uint8_t> bytes(f.size);
  for (size_t i = 0; i < bytes.size(); i++) bytes[i] = static_cast<uint8_t>(i / 4096 + i * 3);
  ASSERT_EQ(0, mkdb::writeAsmFileBytes(g, f, 0, bytes));
  dir.write("two.lst", g.disks[0].path + "\n" + g.disks[1].path + "\n");
  const RunResult r = runZut(dir.path(), "ASM OPEN two.lst\nASM FMAP FILE 260 TO fmap.txt\n"
                                         "ASM COPY FILE 260 TO copy.dbf\nASM SCAN TO map.txt\n"
                                         "ASM COPY FILE 260 MAP map.txt TO mapped.dbf\nEXIT\n");
  std::string fmap = "fid=260, disk=1, au=3, block=4\nsiz=9, ecnt=9, eeof=0, flags=0, type=0, alias=0,0\n"
                     "     extid  disk       auid  cnt flg chk\n========== ===== ========== ==== === ===\n";
  std::vector<uint8_t> want = bytes;
  for (uint32_t e = 1; e <= f.extents.size(); e++) {
    if (e == 4) fmap += "ERROR: missing (1) extents\n";
    else fmap += fmt("%10d %5d %10d    1   0   0\n", e, f.extents[e - 1].disk, f.extents[e - 1].au);
    if (e == 4 || f.extents[e - 1].disk == 2) std::fill(want.begin() + ((e - 1) << 20), want.begin() + (e << 20), 0);
  }
  EXPECT_EQ(fmap, dir.read("fmap.txt"));
  EXPECT_EQ(want, readWholeFile(dir.file("copy.dbf")));
  // The map names no extent past the last one on a disk that is there.
  want.resize(8u << 20);
  EXPECT_EQ(want, readWholeFile(dir.file("mapped.dbf")));
  EXPECT_NE(std::string::npos, r.out.find("  3 AUs could not be read and were written as zeros.\n"
                                          "  1 extents are missing from the extent list and were written as zeros.\n"))
      << r.out;
}

// Disk numbers with a gap (0 and 5): SCAN keeps the pointers to disk 5, so
// the copy by the map is whole.
TEST(AsmCopy, ScanKeepsDisksNumberedPastTheDiskCount) {
  TempDir dir;
  mkdb::AsmGroup g = mkdb::asmGroup(dir.path(), 2, 1, 1u << 20, 16);
  g.disks[1].number = 5;
  g.directory.extents[1].disk = 5;
  mkdb::AsmFile f;
  f.number = 270;
  f.extents = mkdb::spreadExtents(g, 4u << 20, 6);
  f.size = 4u << 20;
  g.files = {f};
  ASSERT_EQ(0, mkdb::writeAsmGroup(g));
  std::vector<uint8_t> bytes(f.size);
  for (size_t i = 0; i < bytes.size(); i++) bytes[i] = static_cast<uint8_t>(i * 5 + i / 1000);
  ASSERT_EQ(0, mkdb::writeAsmFileBytes(g, f, 0, bytes));
  ASSERT_EQ(0, mkdb::writeAsmDiskList(g, dir.file("disks.lst")));
  runZut(dir.path(), "ASM OPEN disks.lst\nASM SCAN TO map.txt\nASM COPY FILE 270 MAP map.txt TO copy.dbf\nEXIT\n");
  EXPECT_EQ(1u, countOf(dir.read("map.txt"), "270,2,5,6\n")) << dir.read("map.txt");
  EXPECT_EQ(bytes, readWholeFile(dir.file("copy.dbf")));
}

}  // namespace
