// The ASM commands and "+N" data files through the built binary, on disk
// images written by the builder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/asm_fixture.h"
#include "tools/builder/system_db.h"

namespace {

std::string rowsOf(const mkdb::DemoTable& t) { return mkdb::demoTableText(t); }

// A transcript with each date line as "<date>" and no line feed after it.
std::string dated(const std::string& out) {
  std::string s = maskDateLines(out);
  for (size_t at = s.find("<date>\n"); at != std::string::npos; at = s.find("<date>\n", at))
    s.erase(at + 6, 1);
  return s;
}

// The bytes of a hexadecimal block dump, read back from its rows.
std::vector<uint8_t> dumpedBytes(const std::string& out) {
  std::vector<uint8_t> bytes;
  size_t at = 0;
  while ((at = out.find('\n', at)) != std::string::npos) {
    at++;
    if (at + 11 > out.size() || out[at + 5] != '/' || out[at + 10] != ':' || !isdigit(static_cast<unsigned char>(out[at])))
      continue;
    // Groups of four hex digits after one blank; two blanks start the text.
    const auto hex = [&](size_t i) { return i < out.size() && isxdigit(static_cast<unsigned char>(out[i])); };
    for (size_t p = at + 11;;) {
      if (out[p] == ' ' && hex(p + 1)) p++;
      if (!hex(p) || !hex(p + 1)) break;
      bytes.push_back(static_cast<uint8_t>(std::stoul(out.substr(p, 2), nullptr, 16)));
      p += 2;
    }
  }
  return bytes;
}

// An unloaded table and an object unloaded by data object id, each compared
// with the rows the builder wrote, for every layout.
TEST(AsmFiles, TablesStoredInAsmUnloadExactly) {
  const AsmLayout layouts[] = {
      {2, 1, 1024, 60, 0, false, 0, 0},  // little-endian metadata, direct extents
      {3, 0, 1024, 1, 1, true, 0, 0},    // big-endian, indirect blocks, a stale copy
      // 64 KiB AUs: the tables' blocks lie in extents listed by indirect
      // blocks (one extent each, a stale copy after the first), or in
      // variable extents.
      {3, 0, 64, 0, 1, true, 0, 0},
      {2, 1, 64, 2, 3, false, 4, 2},
      {1, 1, 4096, 60, 0, false, 0, 0},  // 4 MiB AUs
  };
  for (const AsmLayout& l : layouts) {
    SCOPED_TRACE(testing::Message() << "disks " << l.disks << " order " << int(l.byteOrder)
                                    << " au " << l.auKB << " direct " << l.directSlots);
    AsmDemo d(l);
    const mkdb::DemoTable& dept = d.table("DEPT");
    const std::string input = d.openCommands() + "OPEN asm.cfg\n" +
                              "UNLOAD TABLE SCOTT.EMP TO emp.txt;\n"
                              "UNLOAD TABLE SCOTT.SALES_PART TO part.txt;\n"
                              "UNLOAD OBJECT " + std::to_string(dept.dataObjId) +
                              " COLUMN NUMBER VARCHAR2 VARCHAR2 TO dept.txt;\nEXIT\n";
    const RunResult r = runZut(d.dir.path(), input);
    EXPECT_EQ(0, r.status) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("Y    4    4 a2   8192        511        4     0 +256\n"))
        << r.out;
    EXPECT_EQ(rowsOf(d.table("EMP")), d.dir.read("emp.txt"));
    EXPECT_EQ(rowsOf(d.table("SALES_PART")), d.dir.read("part.txt"));
    EXPECT_EQ(rowsOf(dept), d.dir.read("dept.txt"));
  }
}

// The configuration opened before the disk group: the "+N" file is found
// when the group opens, and outputs never overwrite a disk.
TEST(AsmFiles, ConfigurationBeforeGroupAndDisksAreNeverOutputs) {
  AsmDemo d(AsmLayout{});
  const RunResult r = runZut(d.dir.path(),
                             "OPEN asm.cfg\nASM OPEN disks.lst\nUNLOAD TABLE SCOTT.DEPT TO d.txt;\n"
                             "UNLOAD TABLE SCOTT.DEPT TO disk1.img;\nASM LIST TO disk0.img\n"
                             "CHECK\nDESC SCOTT.EMP\nSCAN EXTENT\nUNLOAD TABLE SCOTT.EMP TO e.txt;\nEXIT\n");
  EXPECT_EQ(rowsOf(d.table("DEPT")), d.dir.read("d.txt"));
  // Through the extent list SCAN EXTENT wrote from the blocks in ASM.
  EXPECT_NE(std::string::npos, d.dir.read("ZUTDICT/ZUTEXT.TXT").find(std::to_string(d.table("EMP").dataObjId)));
  EXPECT_EQ(rowsOf(d.table("EMP")), d.dir.read("e.txt"));
  // Identified when the group opened: CHECK lists it.
  EXPECT_EQ(1u, countOf(r.out, "Y    4    4 a2   8192        511        4     0 +256\n")) << r.out;
  EXPECT_EQ(2u, countOf(r.out, " is an input file of this session; nothing written.\n"));
  const std::vector<uint8_t> disk0 = readWholeFile(d.dir.file("disk0.img"));
  ASSERT_GT(disk0.size(), 4096u);
  EXPECT_EQ(1, disk0[2]);  // still a disk header
}

std::string listing(const mkdb::AsmGroup& g, const std::string& dir, int score) {
  std::string s = "Total Disks = " + std::to_string(g.disks.size()) +
                  ", ausize=" + std::to_string(g.auSize) + ", blksize=4096\n\n" +
                  " disk     size block disk name        disk group   disk path               \n"
                  "===== ======== ===== ================ ============ ========================\n";
  char line[512];
  for (const mkdb::AsmDiskImage& k : g.disks) {
    snprintf(line, sizeof line, "%5d %8d  4096 %-16s %-12s %s/%s\n", k.number, k.sizeMB,
             k.name.substr(0, 32).c_str(), g.name.c_str(), dir.c_str(),
             k.path.substr(k.path.rfind('/') + 1).c_str());
    s += line;
  }
  snprintf(line, sizeof line, "\nf1b1disk = 0, f1b1au = 2, score=%d, compat=0x0b200000\n", score);
  return s + line + "file=(1,0,2,1), disk=(2,0,2,2), alias=(6,0,2,6)\n";
}

// OPEN and LIST in both byte orders, with a list file holding comments,
// blank lines, trailing blanks and a carriage return, a disk that is no
// disk, a short one and a path that does not exist; the list is read-only.
TEST(AsmCommands, OpenAndListInBothByteOrders) {
  for (const uint8_t order : {0, 1}) {
    TempDir dir;
    mkdb::AsmGroup g = mkdb::asmGroup(dir.path(), 3, order, 1u << 20, 16);
    g.disks[2].name = std::string(32, 'N');  // a full name field, not terminated
    ASSERT_EQ(0, mkdb::writeAsmGroup(g));
    dir.write("zero.img", std::string(8192, '\0'));
    dir.write("short.img", std::string(100, '\1'));
    dir.write("disks.lst", "# the DATA group\n\n" + g.disks[0].path + "   \n" + g.disks[1].path +
                               "\r\n" + dir.file("zero.img") + "\n" + dir.file("short.img") +
                               "\n" + dir.file("gone.img") + "\n" + g.disks[2].path + "\n");
    ASSERT_EQ(0, chmod(dir.file("disks.lst").c_str(), 0444));
    const RunResult r = runZut(dir.path(), "ASM LIST\nASM OPEN disks.lst\nASM LIST\nEXIT\n");
    EXPECT_EQ(zutBanner() + "ZUT> <date><date>ZUT> <date>Invalid Disk : " + dir.file("zero.img") +
                  "\nInvalid Disk : " + dir.file("short.img") + "\nCannot open disk " + dir.file("gone.img") +
                  ": No such file or directory\n<date>ZUT> <date>" +
                  listing(g, dir.path(), 256) + "<date>ZUT> ",
              dated(r.out));
  }
}

// ADD: a disk whose header cannot be read takes the group's sizes and the
// image's size; adding a member disk that does not hold the directory keeps
// the F1B1 found; the holder of the directory finds it on an empty group.
TEST(AsmCommands, AddDisks) {
  TempDir dir;
  mkdb::AsmGroup g = mkdb::asmGroup(dir.path(), 2, 1, 1u << 20, 16);
  ASSERT_EQ(0, mkdb::writeAsmGroup(g));
  dir.write("blank.img", std::string(3 << 20, '\0'));
  const RunResult r = runZut(
      dir.path(), "ASM ADD DISK 0 PATH " + g.disks[0].path + "\nASM ADD DISK 1 PATH " +
                      g.disks[1].path + "\nASM ADD DISK 9 PATH blank.img\nASM ADD DISK 12 PATH gone.img\n"
                      "ASM ADD DISK 5\nASM LIST\nEXIT\n");
  const std::string out = dated(r.out);
  EXPECT_NE(std::string::npos, out.find("Cannot open disk gone.img: No such file or directory\n")) << out;
  EXPECT_NE(std::string::npos, out.find("Total Disks = 3, ausize=1048576, blksize=4096\n")) << out;
  EXPECT_NE(std::string::npos, out.find("    9        3  4096                               blank.img\n")) << out;
  EXPECT_NE(std::string::npos, out.find("f1b1disk = 0, f1b1au = 2, score=256,")) << out;
  EXPECT_NE(std::string::npos, out.find("file=(1,0,2,1), disk=(2,0,2,2), alias=(6,0,2,6)\n")) << out;
  // Only a disk that does not hold the directory: F1B1 stays unknown.
  const std::string alone =
      dated(runZut(dir.path(), "ASM ADD DISK 1 PATH " + g.disks[1].path + "\nASM LIST\nEXIT\n").out);
  EXPECT_NE(std::string::npos, alone.find("\nf1b1disk = 65535, f1b1au = -1, score=0, compat=0x0b200000\n"
                                          "file=(-1,65535,-1,0), disk=(-1,65535,-1,0), alias=(-1,65535,-1,0)\n"))
      << alone;
}

// SET: each option, the refusals of sizes that cannot work, and buffers
// that follow the sizes: a group of 4 MiB AUs read after SET AU_SIZE 4.
TEST(AsmCommands, SetOptionsAndRefusals) {
  TempDir dir;
  const RunResult r = runZut(dir.path(),
                             "ASM\nASM SET\nASM SET COLOUR 3\nASM SET AU_SIZE 4\nASM SET AU_SIZE 65\n"
                             "ASM SET AU_SIZE 0\nASM SET AU_SIZE 200000000\nASM SET AU_SIZE 5000000000\n"
                             "ASM SET STRIP_SIZE 128\nASM SET STRIP_SIZE 0\nASM SET STRIP_WIDTH 0\n"
                             "ASM SET BLOCK_SIZE 40000\nASM SET BLOCK_SIZE 0\nASM SET ORACLE_BLOCK 0\n"
                             "ASM SET BLOCK_SIZE 2048\nASM SET ORACLE_BLOCK\nASM SET F1B1_DISK 3\n"
                             "ASM SET F1B1_AU 7\nASM BOGUS\nASM HELP\nEXIT\n");
  const std::string expected =
      "ZUT> ZUT>  Valid options ORACLE_BLOCK BLOCK_SIZE, AU_SIZE, F1B1_DISK, F1B1_AU\n"
      "ZUT>  Invalid option to set.\n"
      "ZUT>  AU_SIZE = 4194304\n"
      "ZUT>  AU_SIZE = 65\n"
      "ZUT>  AU_SIZE 0 refused: it must be from 1 to 131657727 bytes.\n AU_SIZE = 65\n"
      "ZUT>  AU_SIZE 200000000 refused: it must be from 1 to 131657727 bytes.\n AU_SIZE = 65\n"
      "ZUT>  AU_SIZE 5000000000 refused: it must be from 1 to 131657727 bytes.\n AU_SIZE = 65\n"
      "ZUT>  STRIP_SIZE = 131072\n"
      "ZUT>  STRIP_SIZE 0 refused: it must be from 1 to 4194303 kilobytes.\n STRIP_SIZE = 131072\n"
      "ZUT>  STRIP_WIDTH 0 refused: it must be from 1 to 65535 AUs.\n STRIP_WIDTH = 8\n"
      "ZUT>  BLOCK_SIZE 40000 refused: it must be from 1 to 32768 bytes.\n BLOCK_SIZE = 4096\n"
      "ZUT>  BLOCK_SIZE 0 refused: it must be from 1 to 32768 bytes.\n BLOCK_SIZE = 4096\n"
      "ZUT>  ORACLE_BLOCK 0 refused: it must be from 1 to 65535 bytes.\n ORACLE_BLOCK = 8192\n"
      "ZUT>  BLOCK_SIZE = 2048\n"
      "ZUT>  ORACLE_BLOCK = 8192\n"
      "ZUT>  F1B1_DISK = 3\n"
      "ZUT>  F1B1_AU = 7\n"
      "ZUT> Invalid command, run ASM HELP for command list\n"
      "ZUT>   SET     -- set options (AU_SIZE, STRIP_SIZE, STRIP_WIDTH, F1B1_DISK, F1B1_AU)\n"
      "  OPEN    -- open data file\n"
      "  ADD     -- add disk with customized disk num (disk, path)\n"
      "  LIST    -- list opened disks information (to)\n"
      "  LSAU    -- list file of given AU (disk, au, count)\n"
      "  SCAN    -- scan file extent of given AU (disk, au, count)\n"
      "  FILE    -- list all file entries in ASM (file, [disk, au, block]).\n"
      "  ALIAS   -- list all alias entries in ASM (file, [disk, au, block]).\n"
      "  EXTENT  -- list or adjust variable extent (level, au, count).\n"
      "  FMAP    -- list file extent (file, [disk, au, block], to)\n"
      "  DUMP    -- dump file extent (file, [disk, au, block], offset, to)\n"
      "  COPY    -- copy file to os  (file, [disk, au, block], to)\n"
      "  SCOPY   -- copy stripped file to os  (file, [disk, au, block], to)\n"
      "ZUT> ";
  EXPECT_EQ(zutBanner() + expected, r.out);
  // 4 MiB AUs read after the size was set (and the buffers grew with it).
  AsmLayout big;
  big.auKB = 4096;
  AsmDemo d(big);
  const RunResult u = runZut(d.dir.path(), "ASM SET AU_SIZE 1\nASM SET AU_SIZE 4\nASM OPEN disks.lst\n"
                                           "OPEN asm.cfg\nUNLOAD TABLE SCOTT.DEPT TO d.txt;\nEXIT\n");
  EXPECT_EQ(rowsOf(d.table("DEPT")), d.dir.read("d.txt")) << u.out;
}

// EXTENT: levels set in order, a level refused before the one below it was
// lowered, and the listing.
TEST(AsmCommands, ExtentLevels) {
  TempDir dir;
  const RunResult r = runZut(dir.path(),
                             "ASM EXTENT LEVEL 2 AU 40000 COUNT 4\nASM EXTENT LEVEL 1 AU 20000 COUNT 1\n"
                             "ASM EXTENT LEVEL 2 AU 40000 COUNT 4\nASM EXTENT LEVEL 3 AU 30000 COUNT 8\n"
                             "EXIT\n");
  const std::string head = "    au start       au end    aunum\n============ ============ ========\n";
  EXPECT_EQ(zutBanner() + "ZUT> <date>" + head + "           1   4294967295        1\n<date>" +
                "ZUT> <date>" + head + "           1        20000        1\n       20001   4294967295        1\n<date>" +
                "ZUT> <date>" + head + "           1        20000        1\n       20001        40000        4\n"
                "       40001   4294967295        1\n<date>" +
                "ZUT> <date>" + head + "           1        20000        1\n       20001        40000        4\n"
                "       40001   4294967295        1\n<date>ZUT> ",
            dated(r.out));
}

// A file of 20,002 extents spread over four disks (offsets past 4 GiB on
// every disk), with the levels (20000, 1) and (40000, 4): the file's AU
// 20004 is the first AU of extent 20002. A second file skips extent 3 in
// its indirect blocks. DUMP reads single blocks, across AU boundaries.
TEST(AsmCommands, DumpLargeFilesHolesAndAUBoundaries) {
  TempDir dir;
  mkdb::AsmGroup g = mkdb::asmGroup(dir.path(), 4, 0, 1u << 20, 6000);
  const mkdb::AsmExtentSizes sizes = [](uint32_t e) { return e <= 20000 ? 1u : 4u; };
  mkdb::AsmFile big;
  big.number = 300;
  big.extents = mkdb::spreadExtents(g, (20000ull + 8) << 20, 10, sizes);
  ASSERT_EQ(20002u, big.extents.size());
  big.size = (20000ull + 8) << 20;
  big.indirectAUs = {{2, 4}};
  mkdb::AsmFile holes;
  holes.number = 301;
  holes.extents = mkdb::spreadExtents(g, 5u << 20, 5010);
  holes.size = 5u << 20;
  holes.directSlots = 1;
  holes.perIndirectBlock = 1;
  holes.holes = {3};
  holes.indirectAUs = {{3, 4}};
  g.files = {big, holes};
  ASSERT_EQ(0, mkdb::writeAsmGroup(g));
  std::vector<uint8_t> pattern(3u << 20);
  for (size_t i = 0; i < pattern.size(); i++) pattern[i] = static_cast<uint8_t>(i * 7 + i / 8192);
  // AUs 20003 ... 20005 of the big file; extents 3 to 5 of the small one.
  ASSERT_EQ(0, mkdb::writeAsmFileBytes(g, big, 20003ull << 20, pattern, sizes));
  ASSERT_EQ(0, mkdb::writeAsmFileBytes(g, holes, 2u << 20, pattern));
  ASSERT_EQ(0, mkdb::writeAsmDiskList(g, dir.file("disks.lst")));
  struct Case {
    uint32_t file, oracleBlock;
    uint64_t offset;  // block number
    uint64_t at;      // byte offset of the block in `pattern`, or -1: no output
  };
  const uint64_t none = ~0ull;
  const Case cases[] = {
      {300, 8192, (20003ull << 20) / 8192 + 127, 127 * 8192},  // last block of an AU
      {300, 8192, (20004ull << 20) / 8192, 1u << 20},           // first of extent 20002
      {300, 3000, (20004ull << 20) / 3000, (20004ull << 20) / 3000 * 3000 - (20003ull << 20)},
      {301, 8192, 128 * 2 + 5, none},                           // inside the hole
      {301, 8192, 128 * 3 + 5, (1u << 20) + 5 * 8192},
  };
  std::string input = "ASM OPEN disks.lst\nASM EXTENT LEVEL 1 AU 20000 COUNT 1\n"
                      "ASM EXTENT LEVEL 2 AU 40000 COUNT 4\n";
  for (const Case& c : cases)
    input += "ASM SET ORACLE_BLOCK " + std::to_string(c.oracleBlock) + "\nASM DUMP FILE " +
             std::to_string(c.file) + " OFFSET " + std::to_string(c.offset) + " TO dump" +
             std::to_string(&c - cases) + ".txt\n";
  const RunResult r = runZut(dir.path(), input + "EXIT\n");
  ASSERT_EQ(0, r.status);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
    const std::vector<uint8_t> got = dumpedBytes(dir.read("dump" + std::to_string(&c - cases) + ".txt"));
    if (c.at == none) {
      EXPECT_TRUE(got.empty());
      continue;
    }
    ASSERT_LE(c.at + c.oracleBlock, pattern.size());
    const std::vector<uint8_t> want(pattern.begin() + c.at, pattern.begin() + c.at + c.oracleBlock);
    // The dump shows whole rows of 16 bytes.
    ASSERT_GE(got.size(), want.size());
    EXPECT_TRUE(std::equal(want.begin(), want.end(), got.begin()));
  }
}

// A block size that does not divide the AU size: OPEN says so.
TEST(AsmFiles, BlockSizeThatDoesNotDivideTheAU) {
  AsmDemo d(AsmLayout{});
  const RunResult r = runZut(d.dir.path(), "ASM SET AU_SIZE 1000000\nASM OPEN disks.lst\nOPEN asm.cfg\nEXIT\n");
  EXPECT_NE(std::string::npos,
            r.out.find("  +256 cannot be read: block size 8192 does not divide the ASM AU size 1000000.\n"))
      << r.out;
}

}  // namespace

namespace {

// The dictionary built from a SYSTEM file stored in ASM (big-endian
// metadata), then a demo table unloaded by name from the file beside it.
TEST(AsmFiles, DictionaryBuildFromAsm) {
  TempDir dir;
  const mkdb::DemoDatabase demo = mkdb::buildDemoDatabase(dir.path());
  mkdb::SystemFileOptions o;
  o.path = dir.file("system01.dbf");
  mkdb::SystemDatabase sys;
  ASSERT_TRUE(mkdb::buildSystemDatabase(demo.dictionary, o, sys));
  ASSERT_EQ(0, mkdb::writeDataFile(sys.file));
  ASSERT_EQ(0, mkdb::writeDataFile(demo.files.at(0)));
  mkdb::AsmGroup g = mkdb::asmGroup(dir.path(), 2, 0, 1u << 20, 64);
  std::vector<std::vector<uint8_t>> contents;
  uint32_t firstAU = 8;
  for (const char* name : {"system01.dbf", "users01.dbf"}) {
    contents.push_back(readWholeFile(dir.file(name)));
    mkdb::AsmFile f;
    f.number = 256 + static_cast<uint32_t>(g.files.size());
    f.size = contents.back().size();
    f.extents = mkdb::spreadExtents(g, f.size, firstAU);
    f.directSlots = 3;
    f.indirectAUs = {{1, firstAU - 1}};
    firstAU += static_cast<uint32_t>(f.extents.size()) + 1;
    g.files.push_back(f);
    ASSERT_EQ(0, remove(dir.file(name).c_str()));
  }
  ASSERT_EQ(0, mkdb::writeAsmGroup(g));
  for (size_t i = 0; i < g.files.size(); i++)
    ASSERT_EQ(0, mkdb::writeAsmFileBytes(g, g.files[i], 0, contents[i]));
  ASSERT_EQ(0, mkdb::writeAsmDiskList(g, dir.file("disks.lst")));
  dir.write("asm.cfg", "+256\n+257\n");
  const RunResult r = runZut(dir.path(), "ASM OPEN disks.lst\nOPEN asm.cfg\nUNLOAD TABLE DICT$;\n"
                                         "UNLOAD TABLE SCOTT.EMP TO emp.txt;\nEXIT\n");
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(sys.expected.users, dir.read("ZUTDICT/ZUTUSR.TXT"));
  EXPECT_EQ(sys.expected.objects, dir.read("ZUTDICT/ZUTOBJ.TXT"));
  EXPECT_EQ(sys.expected.tables, dir.read("ZUTDICT/ZUTTAB.TXT"));
  EXPECT_EQ(mkdb::demoTableText(*demo.table("EMP")), dir.read("emp.txt")) << r.out;
}

}  // namespace

namespace {

// A member disk whose header was wiped, brought in with ADD under its
// number: read with the group's sizes, so the rows on it come back; a list
// file that cannot be opened is said.
TEST(AsmCommands, AddADiskWithAWipedHeader) {
  AsmDemo d(AsmLayout{});
  FILE* disk1 = fopen(d.group.disks[1].path.c_str(), "r+b");
  ASSERT_NE(nullptr, disk1);
  ASSERT_EQ(4096u, fwrite(std::string(4096, '\0').data(), 1, 4096, disk1));
  ASSERT_EQ(0, fclose(disk1));
  d.dir.write("one.lst", d.group.disks[0].path + "\n");
  const RunResult r = runZut(d.dir.path(), "ASM OPEN nolist.lst\nASM OPEN one.lst\nASM ADD DISK 1 PATH disk1.img\n"
                                           "OPEN asm.cfg\nUNLOAD TABLE SCOTT.EMP TO emp.txt;\nEXIT\n");
  EXPECT_NE(std::string::npos, r.out.find("Cannot open disk list file (nolist.lst)!\n"));
  EXPECT_EQ(rowsOf(d.table("EMP")), d.dir.read("emp.txt")) << r.out;
}

}  // namespace
