// The short block description of the scans, on block images the builder
// makes from its own layout tables, in both byte orders and on damaged blocks.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/session_context.h"
#include "dump/brief_header.h"
#include "tools/builder/datafile_builder.h"

namespace {

struct BlockSession {
  SessionContext ctx;
  explicit BlockSession(const mkdb::Block& b, uint8_t order = mkdb::kLittle) {
    ctx.blockSize = static_cast<uint16_t>(b.size());
    ctx.byteOrder = order;
    ctx.blockBuffer = static_cast<unsigned char*>(malloc(b.size()));
    memcpy(ctx.blockBuffer, b.data(), b.size());
  }
  ~BlockSession() { free(ctx.blockBuffer); }
  BlockSession(const BlockSession&) = delete;
  BlockSession& operator=(const BlockSession&) = delete;
};

std::string brief(const mkdb::Block& b, uint8_t order = mkdb::kLittle, uint8_t mode = 0) {
  BlockSession s(b, order);
  s.ctx.rowOutputMode = mode;
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  printBriefHeader(out, s.ctx);
  fclose(out);
  std::string r(text, size);
  free(text);
  return r;
}

mkdb::FileImage fileImage(uint8_t order = mkdb::kLittle, uint32_t blockSize = 8192) {
  mkdb::FileImage f;
  f.rfn = 4;
  f.byteOrder = order;
  f.blockSize = blockSize;
  f.blocks = 400;
  return f;
}

// Data header start of a builder data block: its flag byte at 38 is 0x32,
// which moves the header 8 bytes past the ITL entries.
size_t dataHeader(uint8_t itls) { return 44 + 24 * itls + 8; }

// Writes a table directory of the given {first slot, row count} entries.
void putTables(mkdb::Block& b, size_t d, const std::vector<std::pair<uint16_t, uint16_t>>& tables,
               uint8_t order) {
  mkdb::putUB1(b, d + 1, static_cast<uint32_t>(tables.size()));
  for (size_t t = 0; t < tables.size(); t++) {
    mkdb::putUB2(b, d + 14 + 4 * t, tables[t].first, order);
    mkdb::putUB2(b, d + 16 + 4 * t, tables[t].second, order);
  }
}

TEST(BriefHeader, SegmentHeaderHasTrailingBlankAndUnmarkedSegObj) {
  mkdb::FileImage f = fileImage();
  mkdb::SegmentPlan s;
  s.block = 10;
  s.objd = 74000;
  s.extents = {mkdb::extentAt(f, 11, 8)};
  ASSERT_EQ(0, mkdb::addSegmentHeader(f, s));
  const std::string type = "type=0x10 (DATA SEGMENT HEADER - UNLIMITED),fmt=0xa2,seq=0x01,flag=0x04 \n";
  EXPECT_EQ("RDBA=0x0100000a(4/10), " + type + "seg/obj=0x00012110=74000\n\n", brief(f.images[10]));
  EXPECT_EQ("## RDBA=0x0100000a(4/10), " + type + "seg/obj=0x00012110=74000\n\n",
            brief(f.images[10], mkdb::kLittle, 1));

  mkdb::FileImage p = fileImage(mkdb::kBig);
  s.type = 35;
  s.objd = 0x01020304;
  ASSERT_EQ(0, mkdb::addSegmentHeader(p, s));
  EXPECT_EQ("RDBA=0x0100000a(4/10), type=0x23 (PAGETABLE SEGMENT HEADER),fmt=0xa2,seq=0x01,flag=0x04 \n"
            "seg/obj=0x01020304=16909060\n\n",
            brief(p.images[10], mkdb::kBig));
}

TEST(BriefHeader, ExtentMapBlockMarksItsSegObjLine) {
  mkdb::FileImage f = fileImage();
  mkdb::SegmentPlan s;
  s.block = 10;
  s.objd = 5000;
  s.perBlock = 1;
  s.extents = {mkdb::extentAt(f, 11, 8), mkdb::extentAt(f, 19, 8)};
  s.mapBlocks = {40};
  ASSERT_EQ(0, mkdb::addSegmentHeader(f, s));
  const std::string tail = "type=0x12 (Unknown Block),fmt=0xa2,seq=0x01,flag=0x04 \n";
  const std::string text = brief(f.images[40], mkdb::kLittle, 2);
  EXPECT_EQ("## RDBA=0x01000028(4/40)," + tail + "## seg/obj=0x00001388=5000\n\n", text);
}

TEST(BriefHeader, DataBlockTablesInBothByteOrders) {
  for (uint8_t order : {mkdb::kLittle, mkdb::kBig}) {
    mkdb::FileImage f = fileImage(order);
    mkdb::Block& b = mkdb::addDataBlock(f, 130, 74000, 3);
    putTables(b, dataHeader(3), {{0, 1}, {1, 12}, {13, 0}}, order);
    const std::string head =
        "RDBA=0x01000082(4/130),type=0x06 (trans data),fmt=0xa2,seq=0x01,flag=0x04 \n";
    const std::string segobj =
        "seg/obj=0x00012110=74000,csc=0x0000.00012344,itc=3,typ=1 - DATA  \n";
    const std::string tabs =
        "tab#=  0     nrow=   1     offs=   0\n"
        "tab#=  1     nrow=  12     offs=   1\n"
        "tab#=  2     nrow=   0     offs=  13\n";
    EXPECT_EQ(head + segobj + tabs + "\n", brief(b, order)) << int(order);
    EXPECT_EQ("## " + head + "## " + segobj + "## tab#=  0     nrow=   1     offs=   0\n"
              "## tab#=  1     nrow=  12     offs=   1\n## tab#=  2     nrow=   0     offs=  13\n\n",
              brief(b, order, 1));
  }
}

TEST(BriefHeader, IndexBlocksNameIndexOrganizedRows) {
  mkdb::FileImage f = fileImage();
  mkdb::Block& iot = mkdb::addDataBlock(f, 131, 9, 2, 2);
  mkdb::putUB1(iot, dataHeader(2) + 2, 0x10 | 0x03);
  EXPECT_NE(std::string::npos, brief(iot).find(",itc=2,typ=2 - INDEX IOT\n"));
  mkdb::Block& plain = mkdb::addDataBlock(f, 132, 9, 2, 2);
  mkdb::putUB1(plain, dataHeader(2) + 2, 0x03);
  EXPECT_NE(std::string::npos, brief(plain).find(",itc=2,typ=2 - INDEX  \n"));
  mkdb::Block& other = mkdb::addDataBlock(f, 133, 9, 2, 7);
  mkdb::putUB1(other, dataHeader(2) + 2, 0x10);
  EXPECT_NE(std::string::npos, brief(other).find(",itc=2,typ=7 - INDEX  \n"));
}

TEST(BriefHeader, FileHeaderUndoAndUnknownTypes) {
  mkdb::FileImage f = fileImage();
  f.tablespace = 4;
  mkdb::addFileHeader(f);
  const std::string header = brief(f.images[1], mkdb::kLittle, 1);
  EXPECT_EQ(0u, header.find("## RDBA=0x01000001(4/1),type=0x0b (Unknown Block),"));
  EXPECT_NE(std::string::npos,
            header.find("\nDBID=0x5a555401=1515541505,db=ZUTDB,ts#=4,ts=USERS,file#=1,blksiz=8192,"));
  EXPECT_EQ("\n\n", header.substr(header.size() - 2));

  // Undo blocks and headers go on with their own dump, other types end.
  for (uint8_t type : {2, 14, 38, 0x99}) {
    mkdb::Block& b = mkdb::addBlock(f, 200, type);
    char expected[256];
    snprintf(expected, sizeof expected,
             "RDBA=0x010000c8(4/200),type=0x%02x (%s),fmt=0xa2,seq=0x01,flag=0x04 \n%s", type,
             type == 2 ? "KTU UNDO BLOCK"
             : type == 14 ? "KTU UNDO HEADER W/UNLIMITED EXTENTS"
             : type == 38 ? "KTU SMU HEADER BLOCK"
                          : "Unknown Block",
             type == 2 ? "UNDO BLK: " : type == 0x99 ? "\n" : "UNDO SEG: ");
    EXPECT_EQ(expected, brief(b).substr(0, strlen(expected))) << int(type);
    if (type == 0x99) {
      EXPECT_EQ(expected, brief(b));
    }
  }
}

TEST(BriefHeader, UnknownByteOrderPrintsZeros) {
  mkdb::FileImage f = fileImage();
  mkdb::Block& b = mkdb::addDataBlock(f, 130, 74000, 2);
  putTables(b, dataHeader(2), {{7, 3}}, mkdb::kLittle);
  // Multi-byte fields read as 0 (the ITL count too, so the header is looked
  // for right after the transaction header); single bytes are still bytes.
  const std::string text = brief(b, 2);
  const std::string head =
      "RDBA=0x00000000(0/0),type=0x06 (trans data),fmt=0xa2,seq=0x01,flag=0x04 \n"
      "seg/obj=0x00000000=0,csc=0x0000.00000000,itc=0,typ=1 - DATA  \n";
  ASSERT_EQ(head, text.substr(0, head.size()));
  for (size_t at = text.find("tab#="); at != std::string::npos; at = text.find("tab#=", at + 1))
    EXPECT_EQ("nrow=   0     offs=   0\n", text.substr(at + 13, 24));
  EXPECT_EQ("\n\n", text.substr(text.size() - 2));
}

TEST(BriefHeader, HostileDataHeadersStayInsideTheBlock) {
  // Every ITL count and table count on a small block: the header may lie
  // past the end, or its directory may run off it; nothing is read outside
  // (the sanitizer build checks) and no table line is invented.
  mkdb::FileImage f = fileImage(mkdb::kLittle, 2048);
  for (uint32_t itls : {0u, 1u, 80u, 83u, 84u, 255u}) {
    mkdb::Block& b = mkdb::addDataBlock(f, 130, 1, 0);
    mkdb::putUB2(b, 36, itls, mkdb::kLittle);
    const size_t d = dataHeader(static_cast<uint8_t>(itls));
    for (size_t i = d; i < b.size(); i++) b[i] = 0xFF;
    const std::string text = brief(b);
    size_t lines = 0;
    for (size_t at = text.find("tab#="); at != std::string::npos; at = text.find("tab#=", at + 1))
      lines++;
    if (d + 1 < b.size()) EXPECT_EQ(255u, lines) << itls;
    else EXPECT_EQ(0u, lines) << itls;
    EXPECT_EQ("\n\n", text.substr(text.size() - 2));
  }
}

}  // namespace
