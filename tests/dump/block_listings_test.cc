// The SCAN HEADER, SCAN DATA and SCAN BLOCK listings over builder files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dump/block_listings.h"
#include "tests/support/scan_files.h"

namespace {

TEST(SegmentHeaders, ListingWithAndWithoutObject) {
  HeaderFiles h;
  const std::string all = capture([&](FILE* out) { listSegmentHeader(out, h.s.ctx, 0, 0); });
  EXPECT_EQ((std::vector<std::string>{"0x0100000a(4/10)", "0x0100001e(4/30)", "0x01400014(5/20)",
                                      "0x01400032(5/50)"}),
            rdbaLines(all));
  EXPECT_NE(std::string::npos, all.find("type=0x11 "));
  EXPECT_NE(std::string::npos, all.find("seg/obj=0x00012113=74003\n"));
  // With an object only its first header, though file 5 has another.
  EXPECT_EQ((std::vector<std::string>{"0x0100001e(4/30)"}),
            rdbaLines(capture([&](FILE* out) { listSegmentHeader(out, h.s.ctx, 74001, 0); })));
  EXPECT_EQ((std::vector<std::string>{"0x01400014(5/20)"}),
            rdbaLines(capture([&](FILE* out) { listSegmentHeader(out, h.s.ctx, 74001, 5); })));
  EXPECT_EQ((std::vector<std::string>{"0x01400014(5/20)", "0x01400032(5/50)"}),
            rdbaLines(capture([&](FILE* out) { listSegmentHeader(out, h.s.ctx, 0, 5); })));
  EXPECT_EQ("", capture([&](FILE* out) { listSegmentHeader(out, h.s.ctx, 0, 9); }));
}

TEST(DataBlocks, BlocksPerRunWithoutObject) {
  HeaderFiles h;
  auto listed = [&](uint32_t objd, uint16_t file, uint32_t blocks) {
    return rdbaLines(capture([&](FILE* out) { listDataBlock(out, h.s.ctx, objd, file, blocks); }));
  };
  // Runs: 74001 x5 (4/40-44), 74002 x2, 74001 x1, then 74001 x3 in file 5.
  // The object of the last block printed carries over into the next file.
  EXPECT_EQ((std::vector<std::string>{"0x01000028(4/40)", "0x0100002d(4/45)", "0x0100002f(4/47)"}),
            listed(0, 0, 1));
  EXPECT_EQ((std::vector<std::string>{"0x01000028(4/40)", "0x01000029(4/41)", "0x0100002d(4/45)",
                                      "0x0100002e(4/46)", "0x0100002f(4/47)", "0x0140003c(5/60)"}),
            listed(0, 0, 2));
  EXPECT_EQ(11u, listed(0, 0, 0).size()) << "BLOCKS 0 lists every data block";
  EXPECT_EQ(3u, listed(0, 5, 0).size());
}

TEST(DataBlocks, FirstBlocksOfOneObject) {
  HeaderFiles h;
  auto listed = [&](uint32_t objd, uint16_t file, uint32_t blocks) {
    return rdbaLines(capture([&](FILE* out) { listDataBlock(out, h.s.ctx, objd, file, blocks); }));
  };
  EXPECT_EQ((std::vector<std::string>{"0x01000028(4/40)"}), listed(74001, 0, 0));
  EXPECT_EQ((std::vector<std::string>{"0x01000028(4/40)"}), listed(74001, 0, 1));
  const std::vector<std::string> seven = listed(74001, 0, 7);
  ASSERT_EQ(7u, seven.size());
  EXPECT_EQ("0x0100002f(4/47)", seven[5]);
  EXPECT_EQ("0x0140003c(5/60)", seven[6]);
  EXPECT_EQ(9u, listed(74001, 0, 100).size());
  EXPECT_EQ((std::vector<std::string>{"0x0140003c(5/60)"}), listed(74001, 5, 0));
  EXPECT_TRUE(listed(74009, 0, 5).empty());
  // Segment headers of the object are not data blocks.
  EXPECT_TRUE(listed(74000, 0, 5).empty());
}

TEST(BlockTypes, ExamplesPerTypeInAscendingOrder) {
  HeaderFiles h;
  const std::string five = capture([&](FILE* out) { listDataBlockType(out, h.s.ctx, 5); });
  EXPECT_EQ(0u, five.find("type=0x00 (Unknown Block) \n"
                          "  rdba=0x01400002, 0x01400003, 0x01400004, 0x01400005, 0x01400006, "
                          "0x01400007, 0x01400008, 0x01400009, 0x0140000a, 0x0140000b\n"
                          "type=0x06 (trans data) \n  rdba=0x0140003c, 0x0140003d, 0x0140003e\n"
                          "type=0x10 (DATA SEGMENT HEADER - UNLIMITED) \n  rdba=0x01400014\n"
                          "type=0x23 (PAGETABLE SEGMENT HEADER) \n  rdba=0x01400032\n"));
  EXPECT_EQ(std::string::npos, five.find("0x010000"));
  const std::string all = capture([&](FILE* out) { listDataBlockType(out, h.s.ctx, 0); });
  EXPECT_NE(std::string::npos, all.find("type=0x11 (Unknown Block) \n  rdba=0x0100001e\n"));
  EXPECT_NE(std::string::npos,
            all.find("type=0x10 (DATA SEGMENT HEADER - UNLIMITED) \n  rdba=0x0100000a, 0x01400014\n"));
}

}  // namespace
