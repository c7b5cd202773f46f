// Block reads, read-ahead windows, BIGFILE addresses, checksums, the block
// lists and the hexadecimal dump.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "format/block_layout.h"
#include "tests/support/session_fixture.h"

namespace {

struct OpenFile {
  TempDir dir;
  TestSession s;
  mkdb::FileImage f;
  OpenFile(uint32_t blocks, uint16_t rfn = 4, uint32_t blockSize = 8192)
      : s(static_cast<uint16_t>(blockSize)), f(builtFile(dir, "f.dbf", blocks, rfn, blockSize)) {
    EXPECT_EQ(0, mkdb::writeDataFile(f));
    s.open(dir, f.path + "\n");
  }
};

TEST(ReadBlock, ThirtyTwoConsecutiveBlocksCostOneRead) {
  OpenFile o(400);
  uint64_t reads = o.s.set->positionedReads;
  for (uint32_t b = 100; b <= 131; b++) {
    ASSERT_EQ(8192u, readBlock(o.s.set, o.s.ctx, 4, b));
    EXPECT_EQ(makeRDBA(4, b), o.s.blockRDBA());
  }
  EXPECT_EQ(reads + 1, o.s.set->positionedReads);
  EXPECT_EQ(32, o.s.data.count);
  ASSERT_EQ(8192u, readBlock(o.s.set, o.s.ctx, 4, 132));
  EXPECT_EQ(reads + 2, o.s.set->positionedReads);
  EXPECT_EQ(132u, o.s.data.first);
  // Going back to a block before the window reads again.
  ASSERT_EQ(8192u, readRDBA(o.s.set, o.s.ctx, makeRDBA(4, 131)));
  EXPECT_EQ(reads + 3, o.s.set->positionedReads);
  EXPECT_EQ(makeRDBA(4, 131), o.s.blockRDBA());
}

TEST(ReadBlock, ShortLastWindowAndEndOfFile) {
  OpenFile o(40);
  ASSERT_EQ(8192u, readBlock(o.s.set, o.s.ctx, 4, 20));
  EXPECT_EQ(20, o.s.data.count);
  ASSERT_EQ(8192u, readBlock(o.s.set, o.s.ctx, 4, 39));
  EXPECT_EQ(makeRDBA(4, 39), o.s.blockRDBA());
  EXPECT_EQ(0u, readBlock(o.s.set, o.s.ctx, 4, 40));
  EXPECT_EQ(0, o.s.data.count);
  EXPECT_EQ(8192u, readBlock(o.s.set, o.s.ctx, 4, 39));
  EXPECT_EQ(1, o.s.data.count);
  // A last block cut short is not a block.
  ASSERT_EQ(0, mkdb::truncateFile(o.f.path, 39 * 8192 + 5000));
  emptyReadAheadCache(o.s.data);
  EXPECT_EQ(0u, readBlock(o.s.set, o.s.ctx, 4, 39));
  EXPECT_EQ(8192u, readBlock(o.s.set, o.s.ctx, 4, 30));
  EXPECT_EQ(9, o.s.data.count);
  EXPECT_EQ(0u, readSingleBlock(o.s.set, o.s.ctx, 4, 40));
  EXPECT_EQ(5000u, readSingleBlock(o.s.set, o.s.ctx, 4, 39)) << "bytes read, not a block";
}

TEST(ReadBlock, UnknownFilesAndMissingHandles) {
  OpenFile o(10);
  ASSERT_EQ(8192u, readBlock(o.s.set, o.s.ctx, 4, 2));
  EXPECT_EQ(0u, readBlock(o.s.set, o.s.ctx, 5, 2));
  EXPECT_EQ(nullptr, o.s.set->lastHit);
  EXPECT_EQ(0u, readBlock(nullptr, o.s.ctx, 4, 2));
  // An entry without a handle (file gone, or an unknown ASM number) empties
  // the window and reads nothing.
  EXPECT_NE(std::string::npos,
            o.s.open(o.dir, o.f.path + "\n" + o.dir.file("none.dbf") + "\n+3\n")
                .find("Cannot open file : " + o.dir.file("none.dbf") + " \n"));
  ASSERT_EQ(8192u, readBlock(o.s.set, o.s.ctx, 4, 2));
  EXPECT_EQ(0u, readBlock(o.s.set, o.s.ctx, 2, 2));
  EXPECT_EQ(0, o.s.data.count);
  EXPECT_EQ(0u, readBlock(o.s.set, o.s.ctx, 3, 2));
  EXPECT_EQ(0u, readSingleBlock(o.s.set, o.s.ctx, 3, 2));
}

TEST(ReadBlock, SingleAndLOBReadsKeepTheDataWindow) {
  OpenFile o(200);
  ASSERT_EQ(8192u, readBlock(o.s.set, o.s.ctx, 4, 50));
  const uint64_t reads = o.s.set->positionedReads;
  ASSERT_EQ(8192u, readSingleBlock(o.s.set, o.s.ctx, 4, 60));  // inside the window
  EXPECT_EQ(reads, o.s.set->positionedReads);
  EXPECT_EQ(makeRDBA(4, 60), o.s.blockRDBA());
  ASSERT_EQ(8192u, readSingleBlock(o.s.set, o.s.ctx, 4, 150));  // outside
  EXPECT_EQ(reads + 1, o.s.set->positionedReads);
  EXPECT_EQ(makeRDBA(4, 150), o.s.blockRDBA());
  ASSERT_EQ(8192u, readLOBRDBA(o.s.set, o.s.ctx, makeRDBA(4, 170)));
  EXPECT_EQ(makeRDBA(4, 170), o.s.blockRDBA());
  EXPECT_EQ(170u, o.s.lob.first);
  EXPECT_EQ(50u, o.s.data.first);
  EXPECT_EQ(32, o.s.data.count);
  ASSERT_EQ(8192u, readLOBBlock(o.s.set, o.s.ctx, 4, 171));
  EXPECT_EQ(reads + 2, o.s.set->positionedReads);
}

TEST(ReadBlock, WindowSizesThatAreNotAWholeNumberOfBlocks) {
  OpenFile o(100, 2, 6144);
  resizeReadAheadCache(o.s.data, 64 * 1024);  // 10 blocks and a piece
  ASSERT_EQ(6144u, readBlock(o.s.set, o.s.ctx, 2, 7));
  EXPECT_EQ(10, o.s.data.count);
  for (uint32_t b = 8; b <= 16; b++) ASSERT_EQ(6144u, readBlock(o.s.set, o.s.ctx, 2, b));
  EXPECT_EQ(makeRDBA(2, 16), o.s.blockRDBA());
  EXPECT_EQ(7u, o.s.data.first);
  // No window at all: every read goes to the file.
  o.s.ctx.dataCache = nullptr;
  const uint64_t reads = o.s.set->positionedReads;
  ASSERT_EQ(6144u, readBlock(o.s.set, o.s.ctx, 2, 9));
  EXPECT_EQ(reads + 1, o.s.set->positionedReads);
}

TEST(ReadBlock, WindowsFilledUnderAnotherBlockSizeAreNotUsed) {
  OpenFile o(64, 4, 2048);
  resizeReadAheadCache(o.s.lob, 64 * 1024);
  ASSERT_EQ(2048u, readLOBBlock(o.s.set, o.s.ctx, 4, 10));
  EXPECT_EQ(32, o.s.lob.count);
  // Only the data window is emptied when the block size changes.
  o.s.ctx.blockSize = 8192;
  free(o.s.ctx.blockBuffer);
  o.s.ctx.blockBuffer = static_cast<unsigned char*>(calloc(8192, 1));
  const uint64_t reads = o.s.set->positionedReads;
  ASSERT_EQ(8192u, readLOBBlock(o.s.set, o.s.ctx, 4, 13));
  EXPECT_EQ(reads + 1, o.s.set->positionedReads);
  // Block 13 of 8 KiB is block 52 of the 2 KiB file.
  EXPECT_EQ(makeRDBA(4, 52), o.s.blockRDBA());
  EXPECT_EQ(3, o.s.lob.count);
}

TEST(ReadBlock, BigfileFoldsTheFileNumberIntoTheBlock) {
  TempDir dir;
  TestSession s(2048);
  s.ctx.bigfile = 1;
  mkdb::FileImage f = builtFile(dir, "bf.dbf", 64, 1024, 2048);
  f.bigfile = true;
  mkdb::addFileHeader(f);
  const uint32_t far = (3u << 22) + 5;
  mkdb::addDataBlock(f, far, 4242, 2);
  ASSERT_EQ(0, mkdb::writeDataFile(f));
  s.open(dir, f.path + "\n");
  ASSERT_EQ(2048u, readBlock(s.set, s.ctx, 3, 5));
  EXPECT_EQ(far, getBlockRDBA(s.ctx));
  EXPECT_EQ(4242u, getDataObjectID(s.ctx));
  EXPECT_EQ(0, s.data.file);
  EXPECT_EQ(far, s.data.first);
  ASSERT_EQ(2048u, readRDBA(s.set, s.ctx, 17));
  EXPECT_EQ(17u, getBlockRDBA(s.ctx));
  ASSERT_EQ(2048u, readSingleBlock(s.set, s.ctx, 0, 63));
  EXPECT_EQ(63u, getBlockRDBA(s.ctx));
  s.ctx.bigfile = 0;
  EXPECT_EQ(0u, readBlock(s.set, s.ctx, 3, 5)) << "no entry has relative file 3";
}

TEST(WorkerCopy, OwnBufferSharedEverythingElse) {
  OpenFile o(10);
  ASSERT_EQ(8192u, readBlock(o.s.set, o.s.ctx, 4, 3));
  o.s.ctx.columnCount = 7;
  SessionContext copy;
  ASSERT_EQ(0, copyBlock(o.s.ctx, copy));
  EXPECT_NE(o.s.ctx.blockBuffer, copy.blockBuffer);
  EXPECT_EQ(0, memcmp(o.s.ctx.blockBuffer, copy.blockBuffer, 8192));
  EXPECT_EQ(o.s.ctx.fileSet, copy.fileSet);
  EXPECT_EQ(o.s.ctx.dataCache, copy.dataCache);
  EXPECT_EQ(o.s.ctx.corruptList, copy.corruptList);
  EXPECT_EQ(7, copy.columnCount);
  ASSERT_EQ(8192u, readBlock(copy.fileSet, copy, 4, 5));
  EXPECT_EQ(makeRDBA(4, 3), o.s.blockRDBA()) << "the caller's block stays";
  free(copy.blockBuffer);
}

TEST(Checksum, BuilderBlocksVerifyInEverySizeAndOrder) {
  std::vector<unsigned char> zero(8192, 0);
  EXPECT_EQ(0, do_checksum(8192, zero.data()));
  for (uint32_t size = 2048; size <= 32768; size *= 2) {
    for (uint8_t order : {mkdb::kLittle, mkdb::kBig}) {
      mkdb::FileImage f;
      f.blockSize = size;
      f.byteOrder = order;
      mkdb::addFileHeader(f);
      mkdb::Block b = mkdb::addDataBlock(f, 9, 1234, 5);
      for (mkdb::Block* x : {&b, &f.images[1]}) {
        mkdb::setChecksum(*x);
        EXPECT_EQ(0, do_checksum(size, x->data())) << size;
        (*x)[size - 7] ^= 0x40;
        EXPECT_NE(0, do_checksum(size, x->data())) << size;
      }
    }
  }
}

TEST(Checksum, BadBlockTest) {
  OpenFile o(12);
  ASSERT_EQ(0, mkdb::flipFileByte(o.f.path, 5 * 8192 + 1000, 0x10));
  emptyReadAheadCache(o.s.data);
  ASSERT_EQ(8192u, readBlock(o.s.set, o.s.ctx, 4, 5));
  EXPECT_EQ(0, matchBlockTail(o.s.ctx)) << "checksums are not looked at without BLOCK_CHECK";
  o.s.ctx.blockCheck = 1;
  EXPECT_NE(0, matchBlockTail(o.s.ctx));
  ASSERT_EQ(0, mkdb::fixFileChecksum(o.f, 5));
  emptyReadAheadCache(o.s.data);
  ASSERT_EQ(8192u, readBlock(o.s.set, o.s.ctx, 4, 5));
  EXPECT_EQ(0, matchBlockTail(o.s.ctx));
  o.s.corrupt.rdba[0] = makeRDBA(4, 2);
  o.s.corrupt.rdba[1] = makeRDBA(4, 5);
  o.s.corrupt.count = 2;
  o.s.ctx.blockCheck = 0;
  EXPECT_EQ(1, matchBlockTail(o.s.ctx));
}

TEST(RdbaLists, SortAndSearchUnsigned) {
  RdbaList l;
  const uint32_t values[] = {0xFFFFFFFF, 20971620, 5, 0x80000000, 0};
  for (uint32_t v : values) l.rdba[l.count++] = v;
  qsort(l.rdba, l.count, sizeof l.rdba[0], sortRDBAList);
  EXPECT_EQ(0u, l.rdba[0]);
  EXPECT_EQ(5u, l.rdba[1]);
  EXPECT_EQ(20971620u, l.rdba[2]);
  EXPECT_EQ(0x80000000u, l.rdba[3]);
  EXPECT_EQ(0xFFFFFFFFu, l.rdba[4]);
  for (uint32_t v : values) EXPECT_TRUE(findRDBAArray(l.rdba, l.count, v)) << v;
  EXPECT_FALSE(findRDBAArray(l.rdba, l.count, 6));
  EXPECT_FALSE(findRDBAArray(l.rdba, 0, 0));
  EXPECT_FALSE(isRDBAInList(nullptr, 5));
  l.count = 60000;  // a damaged count never searches past the array
  EXPECT_FALSE(isRDBAInList(&l, 7));
}

std::string dump(const std::vector<unsigned char>& bytes) {
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  printBlock(out, bytes.data(), static_cast<uint32_t>(bytes.size()));
  fclose(out);
  std::string s(text, size);
  free(text);
  return s;
}

const std::string kDumpHeading =
    "     /0x  : -0-1 -2-3 -4-5 -6-7 -8-9 -a-b -c-d -e-f  0123456789abcdef\n"
    "-----/----: ---------------------------------------  ----------------\n";

TEST(HexDump, RowsTextAndRepeatedHeadings) {
  std::vector<unsigned char> b(32);
  for (int i = 0; i < 32; i++) b[i] = static_cast<unsigned char>(i < 16 ? 0x41 + i : i * 9);
  EXPECT_EQ(kDumpHeading +
                "00000/0000: 4142 4344 4546 4748 494a 4b4c 4d4e 4f50  ABCDEFGHIJKLMNOP\n"
                "00016/0010: 9099 a2ab b4bd c6cf d8e1 eaf3 fc05 0e17  ................\n",
            dump(b));

  std::vector<unsigned char> big(259, 0x7e);
  const std::string out = dump(big);
  const std::string row = " 7e7e 7e7e 7e7e 7e7e 7e7e 7e7e 7e7e 7e7e  ~~~~~~~~~~~~~~~~\n";
  std::string expect = kDumpHeading;
  for (int r = 0; r < 16; r++) {
    char label[16];
    snprintf(label, sizeof label, "%05d/%04x:", r * 16, r * 16);
    expect += label + row;
  }
  expect += "\n" + kDumpHeading + "00256/0100: 7e7e 7e  ~~~\n";
  EXPECT_EQ(expect, out);
}

TEST(HexDump, EmptyBuffer) { EXPECT_EQ(kDumpHeading + "  \n", dump({})); }

}  // namespace
