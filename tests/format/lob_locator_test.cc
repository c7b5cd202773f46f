// LOB locators and extent list entries read from builder-made bytes: every
// layout and size width, the layouts that are refused, and lengths that
// overstate what the locator holds. Each locator is read from an exactly
// sized heap copy, so a read past it is caught by the sanitizer build.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "format/lob_layout.h"
#include "tests/support/lob_db.h"

namespace {

using mkdb::LocatorPlan;

LobLocator parse(const std::vector<uint8_t>& bytes) {
  const std::vector<unsigned char> copy(bytes.begin(), bytes.end());
  return parseLobLocator(copy.data(), copy.size());
}

LocatorPlan plan(LocatorPlan::Form form, uint8_t flags, uint8_t kind, uint32_t n, uint32_t l,
                 uint8_t sizeWidth = 4, uint8_t totalWidth = 4) {
  return locatorPlan(form, mkdb::lobIdOf(0x21), flags, kind, n, l, sizeWidth, totalWidth);
}

struct Readable {
  LocatorPlan plan;
  LobLocatorForm form;
  uint32_t dataOffset;
};

TEST(LobLocator, EveryLayoutGivesItsLengthsKindAndData) {
  const Readable cases[] = {
      {plan(LocatorPlan::kFixed, 0x09, 2, 7, 300), LobLocatorForm::kInRow, 36},
      {plan(LocatorPlan::kFixed, 0x05, 2, 0x01020304, 65535), LobLocatorForm::kInRow, 36},
      {plan(LocatorPlan::kSized, 0x08, 2, 200, 17, 1), LobLocatorForm::kInRow, 31},
      {plan(LocatorPlan::kSized, 0x0A, 2, 60000, 17, 2), LobLocatorForm::kInRow, 32},
      {plan(LocatorPlan::kSized, 0x0E, 2, 70000, 17, 4), LobLocatorForm::kInRow, 34},
      {plan(LocatorPlan::kExtentList, 0x00, 0, 3, 1000, 1, 2), LobLocatorForm::kExtentList, 32},
      {plan(LocatorPlan::kExtentList, 0x10, 0, 300, 100000, 2, 3), LobLocatorForm::kExtentList, 34},
      {plan(LocatorPlan::kExtentList, 0x00, 0, 70000, 5000000, 4, 4), LobLocatorForm::kExtentList, 37},
      {plan(LocatorPlan::kMapsOnly, 0x09, 0, 0, 0), LobLocatorForm::kMapsOnly, 0},
  };
  for (const Readable& c : cases) {
    const LobLocator loc = parse(mkdb::encodeLocator(c.plan));
    SCOPED_TRACE(testing::Message() << "flags " << int(c.plan.lobFlags) << " form "
                                    << int(c.plan.form));
    ASSERT_EQ(c.form, loc.form);
    EXPECT_EQ(0, memcmp(loc.lobId, c.plan.id.data(), kLobIdSize));
    if (c.form == LobLocatorForm::kMapsOnly) continue;
    EXPECT_EQ(c.plan.fullBlocks, loc.fullBlocks);
    EXPECT_EQ(c.plan.length, loc.length);
    EXPECT_EQ(c.dataOffset, loc.dataOffset);
    if (c.form == LobLocatorForm::kInRow) {
      EXPECT_EQ(c.plan.kind, loc.kind);
    }
  }
}

TEST(LobLocator, UnknownLayoutsAndCutLocatorsAreRefused) {
  std::vector<std::vector<uint8_t>> refused = {
      mkdb::encodeLocator(plan(LocatorPlan::kFixed, 0x03, 1, 0, 0)),   // F & 1, nibble 3
      mkdb::encodeLocator(plan(LocatorPlan::kFixed, 0x0D, 1, 0, 0)),   // F & 1, nibble 13
      mkdb::encodeLocator(plan(LocatorPlan::kFixed, 0x02, 1, 0, 0)),   // no kind byte named
      mkdb::encodeLocator(plan(LocatorPlan::kFixed, 0x04, 1, 0, 0)),
      mkdb::encodeLocator(plan(LocatorPlan::kFixed, 0x06, 1, 0, 0)),
      mkdb::encodeLocator(plan(LocatorPlan::kSized, 0x08, 1, 0, 0, 3)),  // size byte 3
      mkdb::encodeLocator(plan(LocatorPlan::kExtentList, 0x00, 0, 0, 0, 3, 2)),
      mkdb::encodeLocator(plan(LocatorPlan::kExtentList, 0x00, 0, 0, 0, 1, 5)),  // byte 26 0x24
      std::vector<uint8_t>(10, 0),
  };
  // Cut before the kind byte, and inside the lengths of each layout.
  std::vector<uint8_t> cut = mkdb::encodeLocator(plan(LocatorPlan::kFixed, 0x09, 1, 0, 0));
  cut.resize(35);
  refused.push_back(cut);
  cut = mkdb::encodeLocator(plan(LocatorPlan::kSized, 0x08, 1, 0, 0, 4));
  cut.resize(30);
  refused.push_back(cut);
  cut = mkdb::encodeLocator(plan(LocatorPlan::kExtentList, 0x00, 0, 0, 0, 4, 4));
  cut.resize(34);
  refused.push_back(cut);
  for (size_t i = 0; i < refused.size(); i++)
    EXPECT_EQ(LobLocatorForm::kInvalid, parse(refused[i]).form) << "case " << i;
}

TEST(LobLocator, AnInlineValueNeverReachesPastTheLocator) {
  LocatorPlan p = mkdb::inlineLocator(mkdb::lobIdOf(1), {'a', 'b', 'c', 'd'});
  p.length = 4000;
  const LobLocator loc = parse(mkdb::encodeLocator(p));
  EXPECT_EQ(LobLocatorForm::kInRow, loc.form);
  EXPECT_EQ(36u, loc.dataOffset);
  EXPECT_EQ(4u, loc.length);
}

TEST(LobLocator, ExtentEntriesOfSixAndSevenBytesAndNoCutOne) {
  LocatorPlan p = plan(LocatorPlan::kExtentList, 0x00, 0, 2, 999, 1, 2);
  p.extents = {{0x01000040, 3, false}, {0x01000050, 700, true}, {0x02000001, 255, false}};
  std::vector<uint8_t> bytes = mkdb::encodeLocator(p);
  bytes.resize(bytes.size() - 1);  // the last entry loses its count
  const LobLocator loc = parse(bytes);
  ASSERT_EQ(LobLocatorForm::kExtentList, loc.form);
  const std::vector<unsigned char> list(bytes.begin() + loc.dataOffset, bytes.end());
  size_t pos = 0;
  LobExtentEntry e;
  ASSERT_TRUE(nextLobExtent(list.data(), list.size(), &pos, e));
  EXPECT_EQ(0x01000040u, e.rdba);
  EXPECT_EQ(3u, e.blocks);
  EXPECT_EQ(6u, pos);
  ASSERT_TRUE(nextLobExtent(list.data(), list.size(), &pos, e));
  EXPECT_EQ(0x01000050u, e.rdba);
  EXPECT_EQ(700u, e.blocks);
  EXPECT_EQ(13u, pos);
  EXPECT_FALSE(nextLobExtent(list.data(), list.size(), &pos, e));
  EXPECT_EQ(13u, pos);
}

}  // namespace
