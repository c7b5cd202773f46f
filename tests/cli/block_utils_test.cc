// OSDUMP, BCHECK, CORRUPT and SKIP at the prompt, on files the builder writes.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_util.h"
#include "tools/builder/datafile_builder.h"

namespace {

std::string afterBanner(const RunResult& r) {
  EXPECT_EQ(0, r.status);
  return r.out.substr(zutBanner().size());
}

// A one-file database: file 5, with data blocks 90 to 100.
void buildFile(const TempDir& dir, uint8_t order = mkdb::kLittle) {
  mkdb::FileImage f;
  f.path = dir.file("users01.dbf");
  f.rfn = 5;
  f.blocks = 128;
  f.byteOrder = order;
  mkdb::addFileHeader(f);
  mkdb::addDataRun(f, 90, 10, 77);
  mkdb::addDataBlock(f, 100, 77, 2);
  ASSERT_EQ(0, mkdb::writeDataFile(f));
  ASSERT_EQ(0, mkdb::writeConfigFile(dir.file("db.cfg"), {f}));
}

TEST(BlockLists, AddListClearAndOrder) {
  TempDir d;
  std::string out = afterBanner(runZut(
      d.path(),
      "CORRUPT FILE 5 BLOCK 100\nCORRUPT RDBA 20971620\nCORRUPT RDBA 0x00400010\n"
      "CORRUPT RDBA 4294967295\nCORRUPT LIST\nCORRUPT LIST CLEAR\nCORRUPT CLEAR LIST\n"
      "SKIP\nSKIP FILE 5\nSKIP LIST\nEXIT\n"));
  EXPECT_EQ(
      "ZUT> ZUT> ZUT> ZUT> ZUT>  Corrupted Blocks List:\n"
      "  RDBA = 4194320 , FILE = 1 , BLOCK = 16\n"
      "  RDBA = 20971620 , FILE = 5 , BLOCK = 100\n"
      "  RDBA = 4294967295 , FILE = 1023 , BLOCK = 4194303\n"  // unsigned order
      "ZUT> ZUT>  Corrupted Blocks List:\n"
      "ZUT>   SKIP  CLEAR \n  SKIP  LIST \n  SKIP  RDBA     rdba \n"
      "  SKIP  FILE rfn BLOCK blockid \n  SKIP  LOAD file \n"
      "ZUT>   SKIP  CLEAR \n  SKIP  LIST \n  SKIP  RDBA     rdba \n"
      "  SKIP  FILE rfn BLOCK blockid \n  SKIP  LOAD file \n"
      "ZUT>  Skipped Blocks List:\nZUT> ",
      out);
}

TEST(BlockLists, LoadFileAndBound) {
  TempDir d;
  d.write("list.txt", "0x01400064\n20971620\n0\n\n0X0140006A\n99999999999\n");
  std::string big;
  for (int i = 1; i <= 1030; i++) big += std::to_string(i) + "\n";
  d.write("big.txt", big);
  std::string out = afterBanner(runZut(
      d.path(), "SKIP LOAD list.txt\nSKIP LIST\nSKIP LOAD missing.txt\nCORRUPT LOAD big.txt\n"
                "CORRUPT LIST\nEXIT\n"));
  const std::string skipped =
      " Skipped Blocks List:\n"
      "  RDBA = 20971620 , FILE = 5 , BLOCK = 100\n"
      "  RDBA = 20971626 , FILE = 5 , BLOCK = 106\n";
  ASSERT_NE(std::string::npos, out.find(skipped));
  // The list holds at most 1024 entries; later ones are refused silently.
  EXPECT_NE(std::string::npos, out.find("  RDBA = 1024 , FILE = 0 , BLOCK = 1024\n"));
  EXPECT_EQ(std::string::npos, out.find("  RDBA = 1025 ,"));
}

TEST(BlockCommands, UsageLines) {
  TempDir d;
  EXPECT_EQ(
      "ZUT>   OSDUMP RDBA     rdba [TO filename]\n  OSDUMP FILE rfn BLOCK blockid [TO filename]\n"
      "ZUT>   BCHECK RDBA     rdba [TO filename]\n  BCHECK FILE rfn BLOCK blockid [TO filename]\n"
      "ZUT>   CORRUPT CLEAR \n  CORRUPT LIST \n  CORRUPT RDBA     rdba \n"
      "  CORRUPT FILE rfn BLOCK blockid \n  CORRUPT LOAD     file \nZUT> ",
      afterBanner(runZut(d.path(), "OSDUMP\nBCHECK FILE 1\nCORRUPT BLOCK 7\nEXIT\n")));
}

TEST(BlockCommands, OsdumpAndBcheckOnBuilderFiles) {
  for (uint8_t order : {mkdb::kLittle, mkdb::kBig}) {
    TempDir d;
    buildFile(d, order);
    const std::string byteOrder = order == mkdb::kBig ? "BIG" : "LITTLE";
    // Break the checksum of block 100 by flipping one byte in its body.
    ASSERT_EQ(0, mkdb::flipFileByte(d.file("users01.dbf"), 100ull * 8192 + 4000, 0x01));
    std::string out = afterBanner(runZut(
        d.path(), "SET BYTE_ORDER " + byteOrder +
                      "\nOPEN db.cfg\nOSDUMP FILE 5 BLOCK 100 TO b100.txt\nOSDUMP FILE 5\n"
                      "BCHECK FILE 5 BLOCK 100\nSET BLOCK_CHECK 1\nBCHECK FILE 5 BLOCK 100\n"
                      "BCHECK RDBA 0x01400063\nCORRUPT FILE 5 BLOCK 99\nBCHECK RDBA 0x01400063\n"
                      "BCHECK FILE 5 BLOCK 500\nOSDUMP FILE 9 BLOCK 1\nEXIT\n"));
    EXPECT_NE(std::string::npos,
              out.find("ZUT> Block Tail Matched!\nZUT>   Current BLOCK_CHECK is : 1\n"
                       "ZUT> Block Tail Unmatched!\n"  // checksum now checked
                       "ZUT> Block Tail Matched!\n"    // block 99 is a good empty block
                       "ZUT> ZUT> Block Tail Unmatched!\n"  // on the corrupt list
                       "ZUT>   Read Error\nZUT>   Read Error\nZUT> "))
        << out;
    // The dump of block 100 went to the TO file; block 0 of file 5 to stdout.
    const std::string dump = d.read("b100.txt");
    EXPECT_NE(std::string::npos, dump.find("00000/0000: 06a2 ")) << dump.substr(0, 300);
    EXPECT_NE(std::string::npos, dump.find("08176/1ff0: ")) << "the dump covers the whole block";
    // Only the dump of block 0 went to standard output.
    size_t first = out.find("00000/0000: ");
    ASSERT_NE(std::string::npos, first);
    EXPECT_EQ(std::string::npos, out.find("00000/0000: ", first + 1));
  }
}

}  // namespace
