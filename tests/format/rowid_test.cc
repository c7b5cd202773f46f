// ROWID listing, encoding and parsing.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "format/rowid.h"
#include "tests/support/render_util.h"

namespace {

std::string listing(uint32_t objd, uint32_t rdba, uint16_t slot) {
  return captureOutput([&](FILE* f) { RowidCreate(f, objd, rdba, slot); });
}

std::string parsed(const char* text) {
  return captureOutput([&](FILE* f) { RowidParse(f, text); });
}

std::string rowidOf(const std::string& list) {
  size_t at = list.find("ROWID = ");
  return at == std::string::npos ? "" : list.substr(at + 8, 18);
}

TEST(Rowid, KnownValues) {
  EXPECT_EQ("\nOBJD  = 0\nRDBA  = 0x00000000 = 0\nRFN#  = 0\nBID#  = 0\nSLOT  = 0\n"
            "ROWID = AAAAAAAAAAAAAAAAAA\n\n",
            listing(0, 0, 0));
  const std::string expected =
      "\nOBJD  = 74565\nRDBA  = 0x01000087 = 16777351\nRFN#  = 4\nBID#  = 135\nSLOT  = 0\n"
      "ROWID = AAASNFAAEAAAACHAAA\n\n";
  EXPECT_EQ(expected, listing(74565, 4u << 22 | 135, 0));
  EXPECT_EQ(expected, parsed("AAASNFAAEAAAACHAAA"));
  EXPECT_EQ("D/////AP/AAP///P//", rowidOf(listing(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFF)));
}

TEST(Rowid, RandomPartsRoundTrip) {
  std::mt19937 rng(3);
  for (int i = 0; i < 20000; i++) {
    const uint32_t objd = static_cast<uint32_t>(rng());
    const uint32_t file = rng() % 1024;
    const uint32_t block = rng() & 0x3FFFFF;
    const uint16_t slot = static_cast<uint16_t>(rng());
    const std::string list = listing(objd, file << 22 | block, slot);
    const std::string rowid = rowidOf(list);
    ASSERT_EQ(18u, rowid.size());
    ASSERT_EQ(list, parsed(rowid.c_str()));
    ASSERT_NE(std::string::npos, list.find("RFN#  = " + std::to_string(file) + "\n"));
    ASSERT_NE(std::string::npos, list.find("BID#  = " + std::to_string(block) + "\n"));
    ASSERT_NE(std::string::npos, list.find("SLOT  = " + std::to_string(slot) + "\n"));
  }
}

TEST(Rowid, ErrorMessages) {
  EXPECT_EQ("Invalid rowid length!\n", parsed("AAASNFAAEAAAACHAA"));
  EXPECT_EQ("Invalid rowid length!\n", parsed("AAASNFAAEAAAACHAAAA"));
  EXPECT_EQ("Invalid rowid length!\n", parsed(""));
  EXPECT_EQ("Invalid rowid value : - !\n", parsed("AAASNF-AEAAAACHA.A"));
  EXPECT_EQ("Invalid rowid value : . !\n", parsed("AAASNFAAEAAAACHA.-"));
}

TEST(Rowid, Alphabet) {
  const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (uint32_t v = 0; v < 64; v++) {
    EXPECT_EQ(digits[v], INDEX2CHAR(v));
    EXPECT_EQ(v, CHAR2INDEX(digits[v]));
  }
  EXPECT_EQ('A', INDEX2CHAR(64));
  EXPECT_EQ(0u, CHAR2INDEX('-'));
  EXPECT_EQ("BAA", captureOutput([](FILE* f) { printRowidUB4(f, 4096, 3); }));
  EXPECT_EQ("AD/", captureOutput([](FILE* f) { printRowidUB4(f, 255, 3); }));
}

}  // namespace
