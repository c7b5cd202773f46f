// Block layout accessors: both byte orders, every family, bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "format/block_layout.h"
#include "datafile/data_file_set.h"
#include "tools/builder/datafile_builder.h"

namespace {

// A session whose block buffer is exactly the given block, so that any read
// past it is caught by the sanitizer build.
struct BlockSession {
  std::vector<unsigned char> bytes;
  SessionContext ctx;
  BlockSession(const std::vector<uint8_t>& block, uint8_t order) : bytes(block.begin(), block.end()) {
    ctx.blockBuffer = bytes.data();
    ctx.blockSize = static_cast<uint16_t>(bytes.size());
    ctx.byteOrder = order;
  }
};

TEST(BlockLayout, AddressInBothByteOrders) {
  std::vector<uint8_t> b(2048, 0);
  b[4] = 0x00, b[5] = 0x40, b[6] = 0x00, b[7] = 0x05;
  BlockSession big(b, kBigEndian), little(b, kLittleEndian), other(b, 2);
  EXPECT_EQ(1u, rdbaFile(getBlockRDBA(big.ctx)));
  EXPECT_EQ(5u, rdbaBlock(getBlockRDBA(big.ctx)));
  EXPECT_EQ(20u, rdbaFile(getBlockRDBA(little.ctx)));
  EXPECT_EQ(16384u, rdbaBlock(getBlockRDBA(little.ctx)));
  EXPECT_EQ(0u, getBlockRDBA(other.ctx));
  EXPECT_EQ(0x0140000Au, makeRDBA(5, 10));
}

TEST(BlockLayout, PrimitiveReadersStayInsideTheBuffer) {
  const unsigned char p[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(0x0201, readUB2(p, 6, 0, kLittleEndian));
  EXPECT_EQ(0x0506, readUB2(p, 6, 4, kBigEndian));
  EXPECT_EQ(0, readUB2(p, 6, 5, kBigEndian));
  EXPECT_EQ(0x03040506u, readUB4(p, 6, 2, kBigEndian));
  EXPECT_EQ(0u, readUB4(p, 6, 3, kLittleEndian));
  EXPECT_EQ(0u, readUB4(p, 3, 0, kLittleEndian));
  EXPECT_EQ(0u, readUB4(p, 6, SIZE_MAX - 1, kLittleEndian));
  EXPECT_EQ(0u, readUB8(p, 6, 0, kLittleEndian));
  EXPECT_EQ(0, readUB1(p, 6, 6));
  EXPECT_EQ(0, readUB1(nullptr, 6, 0));
  EXPECT_EQ(0u, readUB4(p, 6, 0, 7));
}

TEST(BlockLayout, DataBlockFromBuilderInBothOrders) {
  for (uint8_t order : {mkdb::kLittle, mkdb::kBig}) {
    mkdb::FileImage f;
    f.blockSize = 4096;
    f.byteOrder = order;
    f.rfn = 7;
    mkdb::Block b = mkdb::addDataBlock(f, 300, 0x12345, 3);
    mkdb::setChecksum(b);
    BlockSession s(b, order);
    const SessionContext& c = s.ctx;
    EXPECT_EQ(6, getBlockType(c));
    EXPECT_EQ(0xA2, getBlockFormat(c));
    EXPECT_EQ(makeRDBA(7, 300), getBlockRDBA(c));
    EXPECT_EQ(f.scnBase, getSCNBase(c));
    EXPECT_EQ(1, getBlockSequence(c));
    EXPECT_EQ(1, getDataType(c));
    EXPECT_EQ(0x12345u, getDataObjectID(c));
    EXPECT_EQ(f.scnBase - 1, getCleanSCNBase(c));
    ASSERT_EQ(3, getITLCount(c));
    for (uint32_t i = 0; i < 3; i++) {
      EXPECT_EQ(1 + i, getITLXIDUsn(c, i));
      EXPECT_EQ(0x10 + i, getITLXIDSlot(c, i));
      EXPECT_EQ(0x100 + i, getITLXIDWrap(c, i));
      EXPECT_EQ(makeRDBA(3, 0x200 + i), getITLUndoRDBA(c, i));
      EXPECT_EQ(0x20 + i, getITLUndoSeq(c, i));
      EXPECT_EQ(0x30 + i, getITLUndoRecord(c, i));
      EXPECT_EQ(0x8, getITLFlag(c, i));
      EXPECT_EQ(i, getITLLock(c, i));
      EXPECT_EQ(f.scnBase - 2 - i, getITLSCN(c, i));
    }
    // Index wrap-around: XID/undo/SCN modulo 256, flag and lock modulo 65536.
    EXPECT_EQ(getITLXIDUsn(c, 1), getITLXIDUsn(c, 257));
    EXPECT_EQ(getITLSCN(c, 2), getITLSCN(c, 258));
    EXPECT_EQ(getITLLock(c, 2), getITLLock(c, 65538));
    // Entry 200 lies past a 4096-byte block for 16-bit reads near its end.
    EXPECT_EQ(0u, getITLSCN(c, 200));
    EXPECT_EQ(0, getITLFlag(c, 5000));
  }
}

TEST(BlockLayout, ITLCountUsesOnlyTheLowByte) {
  std::vector<uint8_t> b(2048, 0);
  b[36] = 5, b[37] = 7;
  EXPECT_EQ(5, getITLCount(BlockSession(b, kLittleEndian).ctx));
  EXPECT_EQ(7, getITLCount(BlockSession(b, kBigEndian).ctx));
  EXPECT_EQ(0, getITLCount(BlockSession(b, 3).ctx));
}

TEST(BlockLayout, DataObjectIdFollowsTheBlockType) {
  std::vector<uint8_t> b(2048, 0);
  const std::pair<size_t, uint8_t> places[] = {{24, 1}, {100, 2}, {28, 3}, {20, 4}, {272, 5}};
  for (auto [off, v] : places) b[off] = v;
  const std::pair<uint8_t, uint32_t> expect[] = {{6, 1},  {16, 2}, {17, 2}, {18, 3}, {27, 4},
                                                 {40, 4}, {35, 5}, {36, 0}, {11, 0}, {2, 0}};
  for (auto [type, id] : expect) {
    b[0] = type;
    EXPECT_EQ(id, getDataObjectID(BlockSession(b, kLittleEndian).ctx)) << int(type);
  }
}

TEST(BlockLayout, SegmentFieldsAnswerOnlyForSegmentHeaders) {
  std::vector<uint8_t> b(2048, 0);
  for (size_t i = 36; i < 120; i++) b[i] = static_cast<uint8_t>(i);
  b[0] = 6;
  BlockSession data(b, kLittleEndian);
  EXPECT_EQ(0u, getSegHWMBlocks(data.ctx));
  EXPECT_EQ(0u, getSegExtentCount(data.ctx));
  EXPECT_EQ(0u, getSegNextMapRDBA(data.ctx));
  EXPECT_EQ(0x5F5E5D5Cu, getBlockExtentCount(data.ctx));  // offset 92 for any type
  for (uint8_t type : {16, 17, 35}) {
    b[0] = type;
    BlockSession big(b, kBigEndian);
    EXPECT_EQ(0x34353637u, getSegHWMBlocks(big.ctx));
    EXPECT_EQ(0x28292A2Bu, getSegBlockCount(big.ctx));
    EXPECT_EQ(0x68696A6Bu, getSegMapFlag(big.ctx));
    EXPECT_EQ(0x24252627u, getSegExtentCount(big.ctx));
  }
}

TEST(BlockLayout, SegmentHeaderAndExtentMapsFromBuilder) {
  for (uint8_t order : {mkdb::kLittle, mkdb::kBig}) {
    for (uint8_t type : {16, 35}) {
      mkdb::FileImage f;
      f.blockSize = 2048;
      f.byteOrder = order;
      f.rfn = 9;
      mkdb::SegmentPlan s;
      s.type = type;
      s.block = 20;
      s.objd = 777;
      s.perBlock = 3;
      for (uint32_t i = 0; i < 8; i++) s.extents.push_back(mkdb::extentAt(f, 100 + 10 * i, 5 + i));
      s.mapBlocks = {30, 31, 32};
      ASSERT_EQ(0, mkdb::addSegmentHeader(f, s));
      EXPECT_EQ(0u, f.images.count(32)) << "only two map blocks are needed";

      BlockSession h(f.images[20], order);
      EXPECT_EQ(type, getBlockType(h.ctx));
      EXPECT_EQ(777u, getDataObjectID(h.ctx));
      EXPECT_EQ(8u, getSegExtentCount(h.ctx));
      EXPECT_EQ(3u, getBlockExtentCount(h.ctx));
      EXPECT_EQ(5u * 8 + 28, getSegBlockCount(h.ctx));
      EXPECT_EQ(makeRDBA(9, 30), getSegNextMapRDBA(h.ctx));
      EXPECT_EQ(makeRDBA(9, 120), getSegExtentRDBA(h.ctx, 2));
      EXPECT_EQ(7u, getSegExtentBlocks(h.ctx, 2));

      const uint8_t mapType = type == 16 ? 18 : 36;
      BlockSession m1(f.images[30], order), m2(f.images[31], order);
      EXPECT_EQ(mapType, getBlockType(m1.ctx));
      EXPECT_EQ(3u, getSegExtentCount(m1.ctx));
      EXPECT_EQ(3u, getBlockExtentCount(m1.ctx));
      EXPECT_EQ(makeRDBA(9, 31), getSegNextMapRDBA(m1.ctx));
      EXPECT_EQ(makeRDBA(9, 130), getSegExtentRDBA(m1.ctx, 0));
      EXPECT_EQ(2u, getBlockExtentCount(m2.ctx));
      EXPECT_EQ(0u, getSegNextMapRDBA(m2.ctx));
      EXPECT_EQ(makeRDBA(9, 170), getSegExtentRDBA(m2.ctx, 1));
      EXPECT_EQ(12u, getSegExtentBlocks(m2.ctx, 1));
      EXPECT_EQ(type == 16 ? 777u : 0u, getDataObjectID(m1.ctx));
      // Entries past the block read as 0.
      EXPECT_EQ(0u, getSegExtentBlocks(h.ctx, extentEntriesInBlock(h.ctx)));
      EXPECT_EQ(0u, getSegExtentRDBA(h.ctx, extentEntriesInBlock(h.ctx) + 1));
      EXPECT_EQ(0u, getSegExtentBlocks(m1.ctx, 0xFFFFFFFF));
    }
  }
  mkdb::FileImage f;
  mkdb::SegmentPlan tooMany;
  tooMany.block = 3;
  tooMany.perBlock = 2;
  tooMany.extents.resize(5);
  tooMany.mapBlocks = {4};
  EXPECT_EQ(1, mkdb::addSegmentHeader(f, tooMany));
  EXPECT_TRUE(f.images.empty());
}

std::string headerLine(const mkdb::FileImage& f) {
  mkdb::Block b = f.images.at(1);
  BlockSession s(b, f.byteOrder);
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  printFileHeader(out, s.ctx);
  fclose(out);
  std::string line(text, size);
  free(text);
  return line;
}

TEST(BlockLayout, FileHeaderFieldsMoveWithTheFormatByte) {
  for (uint8_t order : {mkdb::kLittle, mkdb::kBig}) {
    for (uint8_t format : {0x02, 0xA2, 0xC2}) {
      mkdb::FileImage f;
      f.blockSize = 8192;
      f.byteOrder = order;
      f.format = format;
      f.fileNumber = 12;
      f.tablespace = 6;
      f.tablespaceName = "UNDOTBS1";
      f.blocks = 1280;
      f.dbid = 0x8D2E5A01;
      f.dbName = "ORCL";
      f.compatibleVersion = 0x0A200300;
      f.bootstrapRDBA = makeRDBA(1, 520);
      f.fuzzy = 0x0055;
      mkdb::addFileHeader(f);
      EXPECT_EQ("DBID=0x8d2e5a01=2368625153,db=ORCL,ts#=6,ts=UNDOTBS1,file#=12,blksiz=8192,"
                "blks=1279,ver=0x0a200300,fzy=AROH, bs=4194824\n",
                headerLine(f))
          << int(order) << " " << int(format);
      f.fuzzy = 0x0010;
      f.tablespaceName = std::string(30, 'T');
      mkdb::addFileHeader(f);
      EXPECT_NE(std::string::npos, headerLine(f).find(",ts=" + std::string(30, 'T') + ",file#"));
      EXPECT_NE(std::string::npos, headerLine(f).find("fzy=-R--,"));
    }
  }
}

TEST(BlockLayout, FileHeaderWithoutNameOrByteOrder) {
  mkdb::FileImage f;
  f.tablespaceName = "";
  mkdb::addFileHeader(f);
  EXPECT_NE(std::string::npos, headerLine(f).find(",ts=(null),"));
  // A stored name length above 30 means no name.
  mkdb::Block& h = f.images[1];
  mkdb::putUB2(h, 336, 31, mkdb::kLittle);
  EXPECT_NE(std::string::npos, headerLine(f).find(",ts=(null),"));

  BlockSession other(f.images[1], 5);
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  printFileHeader(out, other.ctx);
  fclose(out);
  EXPECT_EQ("DBID=0x00000000=0,db=ZUTDB,ts#=0,ts=(null),file#=0,blksiz=0,blks=0,ver=0x00000000,"
            "fzy=----, bs=0\n",
            std::string(text, size));
  free(text);
}

TEST(BlockLayout, HeaderNameNearTheEndOfASmallBuffer) {
  // A name length that would run past the buffer gives no name.
  std::vector<uint8_t> b(340, 0);
  b[1] = 0xA2;
  b[336] = 20;
  char name[kMaxTablespaceNameLength + 1];
  EXPECT_EQ(0u, getTablespaceName(BlockSession(b, kLittleEndian).ctx, name));
  EXPECT_STREQ("", name);
}

// Reference reader: the field when it lies wholly inside the block, else 0.
uint32_t referenceField(const std::vector<uint8_t>& b, size_t off, int width, uint8_t order) {
  if (order > 1 || off + width > b.size()) return 0;
  uint32_t v = 0;
  for (int i = 0; i < width; i++) v |= uint32_t(b[off + i]) << (order ? 8 * (width - 1 - i) : 8 * i);
  return v;
}

TEST(BlockLayout, HostileBlocksOfAnySize) {
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1103515245 + 12345, (seed >> 16) & 0xFF; };
  for (size_t size : {0, 1, 5, 23, 47, 100, 109, 283, 2048}) {
    for (int round = 0; round < 40; round++) {
      std::vector<uint8_t> b(size);
      for (uint8_t& c : b) c = static_cast<uint8_t>(next());
      if (size > 0) b[0] = static_cast<uint8_t>(round % 2 ? 16 + round % 3 : 35 + round % 2);
      const uint8_t order = static_cast<uint8_t>(round % 3);
      BlockSession s(b, order);
      const SessionContext& c = s.ctx;
      const size_t first = firstExtentOffset(getBlockType(c));
      for (uint32_t i : {0u, 1u, 7u, 250u, 255u, 256u, 4000u, 65535u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        ASSERT_EQ(referenceField(b, first + 8 * size_t(i), 4, order), getSegExtentRDBA(c, i));
        ASSERT_EQ(referenceField(b, first + 8 * size_t(i) + 4, 4, order), getSegExtentBlocks(c, i));
        ASSERT_EQ(referenceField(b, 44 + 24 * size_t(i & 0xFF) + 20, 4, order), getITLSCN(c, i));
        ASSERT_EQ(referenceField(b, 44 + 24 * size_t(i & 0xFFFF) + 16, 2, order) & 0xFFF,
                  getITLLock(c, i));
        ASSERT_EQ(referenceField(b, 44 + 24 * size_t(i & 0xFF) + 14, 1, 0), getITLUndoRecord(c, i));
      }
      ASSERT_EQ(referenceField(b, 4, 4, order), getBlockRDBA(c));
      ASSERT_EQ(referenceField(b, 36, 4, order), getSegExtentCount(c));
      ASSERT_EQ(referenceField(b, 138, 2, order), getFuzzyStatus(c));
      ASSERT_EQ(referenceField(b, tablespaceNumberOffset(getBlockFormat(c)), 4, order),
                getTablespaceNumber(c));
      char name[kMaxTablespaceNameLength + 1];
      const uint32_t len = getTablespaceName(c, name);
      ASSERT_LE(len, kMaxTablespaceNameLength);
      ASSERT_LE(strlen(name), len);
      char* text = nullptr;
      size_t textSize = 0;
      FILE* out = open_memstream(&text, &textSize);
      printFileHeader(out, c);
      fclose(out);
      ASSERT_EQ(0, strncmp(text, "DBID=0x", 7));
      free(text);
    }
  }
}

TEST(BlockLayout, BlockTypeNames) {
  EXPECT_STREQ("Unknown Block", get_ora_block_name(11));
  EXPECT_STREQ("Unknown Block", get_ora_block_name(0));
  EXPECT_STREQ("trans data", get_ora_block_name(6));
  EXPECT_STREQ("KTU UNDO HEADER W/UNLIMITED EXTENTS", get_ora_block_name(14));
  EXPECT_STREQ("PAGETABLE SEGMENT HEADER", get_ora_block_name(35));
  EXPECT_STREQ("Stats bitmap", get_ora_block_name(84));
  EXPECT_STREQ("Unknown Block", get_ora_block_name(255));
}

}  // namespace
