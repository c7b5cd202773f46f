// ROWID and SET CHARSET/NLSCHARSET at the prompt.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_util.h"

namespace {

std::string afterBanner(const std::string& input) {
  TempDir dir;
  RunResult r = runZut(dir.path(), input + "EXIT\n");
  EXPECT_EQ(0, r.status);
  const std::string banner = zutBanner();
  EXPECT_EQ(banner, r.out.substr(0, banner.size()));
  return r.out.substr(banner.size());
}

const std::string kListing74565 =
    "\nOBJD  = 74565\nRDBA  = 0x01000087 = 16777351\nRFN#  = 4\nBID#  = 135\nSLOT  = 0\n"
    "ROWID = AAASNFAAEAAAACHAAA\n\n";

TEST(RowidCommand, UsageCreateAndParse) {
  EXPECT_EQ("ZUT>   ROWID CREATE OBJECT objd {[FILE rfn BLOCK bid] | [RDBA rdba]} SLOT slot \n"
            "  ROWID PARSE  rowid\n"
            "ZUT> ",
            afterBanner("ROWID\n"));
  EXPECT_EQ("ZUT> " + kListing74565 + "ZUT> ",
            afterBanner("rowid create object 74565 file 4 block 135 slot 0\n"));
  EXPECT_EQ("ZUT> " + kListing74565 + "ZUT> ",
            afterBanner("ROWID CREATE SLOT 0 RDBA 0x01000087 OBJECT 74565\n"));
  // RDBA wins over FILE and BLOCK when it is not 0.
  EXPECT_EQ("ZUT> " + kListing74565 + "ZUT> ",
            afterBanner("ROWID CREATE OBJECT 74565 FILE 9 BLOCK 9 RDBA 16777351\n"));
  EXPECT_EQ("ZUT> \nOBJD  = 0\nRDBA  = 0x00000000 = 0\nRFN#  = 0\nBID#  = 0\nSLOT  = 0\n"
            "ROWID = AAAAAAAAAAAAAAAAAA\n\nZUT> ",
            afterBanner("ROWID CREATE\n"));
  EXPECT_EQ("ZUT> " + kListing74565 + "Invalid rowid value : - !\n" + kListing74565 + "ZUT> ",
            afterBanner("ROWID PARSE AAASNFAAEAAAACHAAA short AAASNFAAEAAAACH-AA "
                        "AAASNFAAEAAAACHAAA\n"));
  EXPECT_EQ("ZUT> ZUT> ZUT> ", afterBanner("ROWID PARSE AAASNFAAEAAAACHAA\nROWID SPLIT x\n"));
}

TEST(SetCharsetCommand, WholeNamesAndNumbers) {
  EXPECT_EQ("ZUT>   Current CHARSET is : 0x001f (31)\n"
            "ZUT>   Current CHARSET is : 0x0354 (852)\n"
            "ZUT>   Current CHARSET is : 0x0162 (354)\n"
            "ZUT>   Current NLSCHARSET is : 0x03e0 (992)\n"
            "ZUT>   Current NLSCHARSET is : 0x07d0 (2000)\n"
            "ZUT>   Current CHARSET is : 0x0000 (0)\n"
            "ZUT>   Current CHARSET is : 0x0369 (873)\n"
            "ZUT>   Current CHARSET is : 0x0369 (873)\n"
            "ZUT> ",
            afterBanner("SET CHARSET WE8ISO8859P1\nSET CHARSET zhs16gbk\n"
                        "SET CHARSET TH8MACTHAIS\nSET NLSCHARSET ZHT16HKSCS31\n"
                        "SET NLSCHARSET AL16UTF16\nSET CHARSET WE8ISO8859P\n"
                        "SET CHARSET 873\nSET CHARSET\n"));
}

}  // namespace
