// OPEN and CHECK through the built program, on files zut-mkdb writes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "format/block_layout.h"
#include "tests/support/session_fixture.h"

namespace {

// Runs zut-mkdb on a description in dir; returns its exit status.
int mkdb(const TempDir& dir, const std::string& description) {
  dir.write("db.txt", description);
  std::string cmd = std::string("'") + ZUT_MKDB + "' -C '" + dir.path() + "' db.txt 2>/dev/null";
  int st = system(cmd.c_str());
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// The outputs of the commands of a session, one per prompt.
std::vector<std::string> commandOutputs(const TempDir& dir, const std::string& input) {
  RunResult r = runZut(dir.path(), input);
  EXPECT_EQ(0, r.status);
  std::string out = r.out.substr(zutBanner().size());
  std::vector<std::string> parts;
  size_t at = 0;
  while ((at = out.find("ZUT> ", at)) != std::string::npos) {
    at += 5;
    size_t next = out.find("ZUT> ", at);
    parts.push_back(out.substr(at, next == std::string::npos ? std::string::npos : next - at));
  }
  return parts;
}

std::string row(char marker, int ts, int rfn, const char* ver, int bsize, unsigned blocks,
                int sizemb, int hsize, const std::string& name) {
  char line[1024];
  snprintf(line, sizeof line, "%c %4d %4d %s  %5d %10u %8d %5d %s\n", marker, ts, rfn, ver, bsize,
           blocks, sizemb, hsize, name.c_str());
  return line;
}

TEST(OpenCommand, EveryBlockSizeAndByteOrder) {
  for (int size = 2048; size <= 32768; size *= 2) {
    for (const char* order : {"little", "big"}) {
      TempDir dir;
      const std::string description =
          "blocksize " + std::to_string(size) + "\nbyteorder " + order +
          "\nconfig db.cfg\n"
          "file system01.dbf rfn 1 ts 0 tsname SYSTEM blocks 300\n"
          "segment 2 objd 2 extents 3:8,11:8\n"
          "data 3 16 objd 2 itl 3\n"
          "file users01.dbf rfn 4 ts 4 tsname USERS blocks 2049 hsize " +
          std::to_string(size) +
          "\n"
          "format 0x02\n"
          "file old01.dbf rfn 1000 ts 77 tsname OLD blocks 33\n";
      ASSERT_EQ(0, mkdb(dir, description));
      const std::string ord = std::string(order) == "big" ? "BIG" : "LITTLE";
      std::vector<std::string> out =
          commandOutputs(dir, "SET BLOCK_SIZE " + std::to_string(size) + "\nSET BYTE_ORDER " +
                                  ord + "\nOPEN db.cfg\nCHECK\nEXIT\n");
      ASSERT_EQ(5u, out.size());
      const int perMB = 1048576 / size;
      const std::string listing =
          listingHeading() + row('Y', 0, 1, "a2", size, 299, 300 / perMB, 0, "system01.dbf") +
          row('Y', 4, 4, "a2", size, 2048, 2049 / perMB, size, "users01.dbf") +
          row('Y', 77, 1000, "02", size, 32, 33 / perMB, 0, "old01.dbf");
      EXPECT_EQ(listing, out[2]) << size << " " << order;
      EXPECT_EQ(listing, out[3]) << size << " " << order;
      // Never set, both come from the first header; the defaults say nothing.
      out = commandOutputs(dir, "OPEN db.cfg\nSET BLOCK_SIZE\nSET BYTE_ORDER\nEXIT\n");
      ASSERT_EQ(4u, out.size());
      const std::string taken = "Block size " + std::to_string(size) + ", byte order " + ord +
                                " taken from the header of system01.dbf.\n";
      EXPECT_EQ((size == 8192 && ord == "LITTLE" ? "" : taken) + listing, out[0]) << size << order;
      EXPECT_EQ("  Current BLOCK_SIZE is : " + std::to_string(size) + "\n", out[1]);
      EXPECT_EQ("  Current BYTE_ORDER is : " + ord + "\n", out[2]);
    }
  }
}

TEST(OpenCommand, HeadersThatDisagreeAreWarnedAbout) {
  TempDir dir;
  ASSERT_EQ(0, mkdb(dir,
                    "blocksize 16384\nbyteorder big\nconfig ab.cfg\n"
                    "file a16.dbf rfn 1 ts 1 blocks 10\n"
                    "blocksize 8192\nbyteorder little\n"
                    "file b8.dbf rfn 2 ts 2 blocks 2\n"));
  dir.write("b.cfg", "b8.dbf\n");
  const std::string a16Size = "Warning: a16.dbf has block size 16384 in its header; BLOCK_SIZE is 8192.\n";
  const std::string a16Order = "Warning: a16.dbf has byte order BIG in its header; BYTE_ORDER is LITTLE.\n";
  const std::string b8Order = "Warning: b8.dbf has byte order LITTLE in its header; BYTE_ORDER is BIG.\n";
  const std::string b8Row = row('Y', 2, 2, "a2", 8192, 1, 0, 0, "b8.dbf");
  struct Case {
    std::string init, typed, before;  // init.sql, commands before OPEN, lines before the listing
  } cases[] = {
      {"", "",
       "Block size 16384, byte order BIG taken from the header of a16.dbf.\n"
       "Warning: b8.dbf has block size 8192 in its header; BLOCK_SIZE is 16384.\n" + b8Order},
      {"SET BLOCK_SIZE 8192\n", "", a16Size + a16Order},
      {"", "SET BYTE_ORDER BIG\n", a16Size + b8Order},
      {"", "SET BLOCK_SIZE 16384\nSET BYTE_ORDER BIG\n",
       "Warning: b8.dbf has block size 8192 in its header; BLOCK_SIZE is 16384.\n" + b8Order},
  };
  for (const Case& c : cases) {
    dir.write("init.sql", c.init);
    std::vector<std::string> out = commandOutputs(dir, c.typed + "OPEN ab.cfg\nOPEN b.cfg\nEXIT\n");
    ASSERT_LE(3u, out.size());
    const std::string& open = out[out.size() - 3];
    EXPECT_EQ(c.before, open.substr(0, open.find(listingHeading()))) << c.init << c.typed;
    if (c.init.empty() && c.typed.empty()) {
      EXPECT_NE(std::string::npos,
                open.find(row('Y', 1, 1, "a2", 16384, 9, 0, 0, "a16.dbf")));
      // Taken from a header is not set by the user: the next OPEN takes again.
      EXPECT_EQ("Block size 8192, byte order LITTLE taken from the header of b8.dbf.\n" +
                    listingHeading() + b8Row,
                out[out.size() - 2]);
    } else if (c.typed.find("BIG") == std::string::npos) {
      EXPECT_EQ(listingHeading() + b8Row, out[out.size() - 2]) << c.init << c.typed;
    }
  }
}

TEST(OpenCommand, OneFileOnce) {
  TempDir dir;
  ASSERT_EQ(0, mkdb(dir,
                    "config good.cfg\n"
                    "file a.dbf rfn 3 ts 5 blocks 100\n"
                    "file b.dbf rfn 4 ts 5 blocks 50\n"
                    "file c.dbf rfn 3 ts 6 blocks 20 name c.dbf\n"));
  ASSERT_EQ(0, symlink("a.dbf", dir.file("sl.dbf").c_str()));
  ASSERT_EQ(0, link(dir.file("b.dbf").c_str(), dir.file("hl.dbf").c_str()));
  dir.write("short.dbf", "x");
  dir.write("dup.cfg", "a.dbf\nb.dbf\nsl.dbf\n./a.dbf\nhl.dbf\nc.dbf\nshort.dbf\n");
  const std::string kept = row('Y', 5, 3, "a2", 8192, 99, 0, 0, "a.dbf") +
                           row('Y', 5, 4, "a2", 8192, 49, 0, 0, "b.dbf");
  std::vector<std::string> out = commandOutputs(dir, "OPEN dup.cfg\nCHECK\nEXIT\n");
  ASSERT_EQ(3u, out.size());
  // Left-out entries are gone before the listing; the unidentified entry
  // keeps position + 1 as its number.
  const std::string listing =
      listingHeading() + kept + row('N', 0, 3, "00", 0, 0, 0, 0, "short.dbf");
  EXPECT_EQ("  sl.dbf is the same file as a.dbf; left out.\n"
            "  ./a.dbf is the same file as a.dbf; left out.\n"
            "  hl.dbf is the same file as b.dbf; left out.\n"
            "  c.dbf carries relative file number 3 like a.dbf; left out.\n" +
                listing,
            out[0]);
  EXPECT_EQ(listing, out[1]);
}

TEST(OpenCommand, FailedOpensEndTheSessionUnderWheneverErrorExit) {
  TempDir dir;
  ASSERT_EQ(0, mkdb(dir, "config good.cfg\nfile a.dbf rfn 3 ts 5 blocks 100\n"));
  dir.write("dup.cfg", "a.dbf\na.dbf\n");
  const std::string good = listingHeading() + row('Y', 5, 3, "a2", 8192, 99, 0, 0, "a.dbf");
  struct Case {
    std::string open, shown;
  } cases[] = {
      {"OPEN dup.cfg", "  a.dbf is the same file as a.dbf; left out.\n" + good},
      {"OPEN none.cfg", "Cannot open configuration file none.cfg: No such file or directory\n"},
  };
  for (const Case& c : cases) {
    RunResult r = runZut(dir.path(), "WHENEVER ERROR EXIT 5\nOPEN good.cfg\n" + c.open + "\nHELP\n");
    EXPECT_EQ(5, r.status) << c.open;
    EXPECT_EQ(zutBanner() + "ZUT> ZUT> " + good + "ZUT> " + c.shown, r.out) << c.open;
  }
}

TEST(OpenCommand, WrongSessionSettingsMissingFilesAndNoConfiguration) {
  TempDir dir;
  ASSERT_EQ(0, mkdb(dir,
                    "config db.cfg\n"
                    "file a.dbf rfn 3 ts 5 blocks 100\n"
                    "file gone.dbf rfn 9\n"
                    "file +7 rfn 4\n"));
  // The builder wrote "+7" as a plain file; the configuration names an ASM
  // file, which this build cannot find: it gets no handle and no message.
  std::vector<std::string> out = commandOutputs(
      dir, "! rm gone.dbf\nOPEN nothing.cfg\nOPEN\nCHECK\nOPEN db.cfg\nSET BYTE_ORDER BIG\nCHECK\nEXIT\n");
  ASSERT_EQ(8u, out.size());
  EXPECT_EQ("Cannot open configuration file nothing.cfg: No such file or directory\n", out[1]);
  EXPECT_EQ("", out[2]);
  EXPECT_EQ(listingHeading(), out[3]);
  EXPECT_EQ("Cannot open file : gone.dbf \n" + listingHeading() +
                row('Y', 5, 3, "a2", 8192, 99, 0, 0, "a.dbf") +
                row('N', 0, 2, "00", 0, 0, 0, 0, "gone.dbf") + row('N', 0, 3, "00", 0, 0, 0, 0, "+7"),
            out[4]);
  // Read big-endian, the little-endian header gives a block address that is
  // no longer block 1 and a block size that is not 8192: the header is still
  // accepted by its type, but only as an ordinary block.
  EXPECT_EQ(listingHeading() + row('Y', 0, 4, "a2", 8192, 99, 0, 0, "a.dbf") +
                row('N', 0, 2, "00", 0, 0, 0, 0, "gone.dbf") + row('N', 0, 3, "00", 0, 0, 0, 0, "+7"),
            out[6]);
}

TEST(OpenCommand, MkdbDescriptionReadBack) {
  TempDir dir;
  ASSERT_EQ(0, mkdb(dir,
                    "blocksize 4096\nbyteorder big\nconfig db.cfg\n"
                    "file system01.dbf rfn 1 ts 0 tsname SYSTEM blocks 64 bootstrap 0x00400208\n"
                    "segment 10 objd 5000 type 16 extents 11:8,19:8,27:8 maps 40,41 perblock 2\n"
                    "data 11 24 objd 5000 itl 3\n"
                    "poke 12 100 c0ffee\n"
                    "file users01.dbf rfn 4 ts 4 tsname USERS blocks 30 hsize 8192\n"));
  TestSession s(4096, 1);
  EXPECT_EQ("system01.dbf\nusers01.dbf 8192\n", dir.read("db.cfg"));
  const std::string sys = dir.file("system01.dbf"), users = dir.file("users01.dbf");
  EXPECT_EQ(listingHeading() + row('Y', 0, 1, "a2", 4096, 63, 0, 0, sys) +
                row('Y', 4, 4, "a2", 4096, 29, 0, 8192, users),
            s.open(dir, sys + "\n" + users + " 8192\n"));
  for (uint32_t b = 0; b < 64; b++) {
    ASSERT_EQ(4096u, readBlock(s.set, s.ctx, 1, b));
    EXPECT_EQ(0, do_checksum(4096, s.ctx.blockBuffer)) << b;
    const uint8_t type = getBlockType(s.ctx);
    if (b == 1) EXPECT_EQ(11, type);
    else if (b == 10) EXPECT_EQ(16, type);
    else if (b == 40) EXPECT_EQ(18, type);
    else if (b >= 11 && b < 35) EXPECT_EQ(6, type) << b;
    else EXPECT_EQ(0, type) << b;
  }
  ASSERT_EQ(4096u, readBlock(s.set, s.ctx, 1, 12));
  EXPECT_EQ(5000u, getDataObjectID(s.ctx));
  EXPECT_EQ(3, getITLCount(s.ctx));
  EXPECT_EQ(0xC0FFEEu, readUB4(s.ctx.blockBuffer, 4096, 100, kBigEndian) >> 8);
  ASSERT_EQ(4096u, readBlock(s.set, s.ctx, 1, 10));
  EXPECT_EQ(3u, getSegExtentCount(s.ctx));
  EXPECT_EQ(2u, getBlockExtentCount(s.ctx));
  EXPECT_EQ(makeRDBA(1, 40), getSegNextMapRDBA(s.ctx));
  ASSERT_EQ(4096u, readRDBA(s.set, s.ctx, getSegNextMapRDBA(s.ctx)));
  EXPECT_EQ(makeRDBA(1, 27), getSegExtentRDBA(s.ctx, 0));
  EXPECT_EQ(0u, getSegNextMapRDBA(s.ctx));
  ASSERT_EQ(4096u, readBlock(s.set, s.ctx, 1, 1));
  char text[256];
  FILE* out = fmemopen(text, sizeof text, "w");
  printFileHeader(out, s.ctx);
  fclose(out);
  EXPECT_STREQ("DBID=0x5a555401=1515541505,db=ZUTDB,ts#=0,ts=SYSTEM,file#=1,blksiz=4096,blks=63,"
               "ver=0x0b200000,fzy=----, bs=4194824\n",
               text);
  ASSERT_EQ(4096u, readBlock(s.set, s.ctx, 4, 1));
  EXPECT_EQ(makeRDBA(4, 1), getBlockRDBA(s.ctx));
  ASSERT_EQ(4096u, readBlock(s.set, s.ctx, 4, 29));
  EXPECT_EQ(0u, getBlockRDBA(s.ctx)) << "blocks without an image are zero";
}

TEST(OpenCommand, MkdbRejectsBadDescriptions) {
  TempDir dir;
  EXPECT_EQ(1, mkdb(dir, "blocksize 5000\n"));
  EXPECT_EQ(1, mkdb(dir, "segment 2 objd 1 extents 3:8\n"));
  EXPECT_EQ(1, mkdb(dir, "file a.dbf rfn x\n"));
  EXPECT_EQ(1, mkdb(dir, "file a.dbf\nsegment 2 objd 1 extents 3:8,4:1,5:1 perblock 1 maps 9\n"));
  EXPECT_EQ(1, mkdb(dir, "frobnicate\n"));
  EXPECT_EQ(0, mkdb(dir, "# only a comment\n\nfile a.dbf blocks 4 # trailing comment\n"));
}

}  // namespace
