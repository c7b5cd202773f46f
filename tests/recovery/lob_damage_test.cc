// Damaged LOB data: one LOB block destroyed (zeroed, overwritten with noise,
// or cut off with the end of the file) under a table whose rows hold CLOBs
// in the block map and BLOBs in extent lists. Every other value must come
// back exactly; the damaged one is short by that block's bytes alone, and
// the unload counts the block with its unreadable ones.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/support/lob_db.h"

namespace {

enum class Damage { kZeroed, kNoise, kTruncated };

struct DamageCase {
  Damage damage;
  uint32_t blockSize;
  uint8_t order;
};

class LobDamage : public testing::TestWithParam<DamageCase> {};

TEST_P(LobDamage, OnlyTheDamagedValueIsShort) {
  const DamageCase& c = GetParam();
  TempDir dir;
  LobDb db(dir, c.blockSize, c.order);
  const size_t room = db.room();
  std::vector<Bytes> clobs, blobs;
  std::vector<mkdb::StoredLob> stored;
  std::vector<Bytes> locators[2];
  for (uint32_t r = 0; r < 4; r++) {
    blobs.push_back(lobBytes(db.listRoom() + 40 * r, 50 + r, false));
    const auto e = db.storeList(blobs[r], {1, 1}, r % 2 == 0);
    mkdb::LocatorPlan list = locatorPlan(
        mkdb::LocatorPlan::kExtentList, db.newId(), 0x00, 0, static_cast<uint32_t>(e.size()) - 1,
        static_cast<uint32_t>(blobs[r].size()), 4, 4, true);
    list.extents = e;
    locators[1].push_back(mkdb::encodeLocator(list));
  }
  // The CLOBs come last, so that cutting the file's end touches the last one.
  for (uint32_t r = 0; r < 4; r++) {
    clobs.push_back(lobBytes(3 * room + 10 * r + 1, 60 + r));
    const mkdb::LobId id = db.newId();
    stored.push_back(db.store(id, clobs[r]));
    locators[0].push_back(mkdb::encodeLocator(mkdb::mappedLocator(id, stored.back())));
  }
  // The victim: the middle block of the second CLOB, or the last block of
  // the last one when the file is cut.
  const size_t victim = c.damage == Damage::kTruncated ? 3 : 1;
  const size_t part = c.damage == Damage::kTruncated ? 3 : 1;
  std::string shortened = asText(clobs[victim]);
  shortened.erase(part * room, room);
  for (uint32_t r = 0; r < 4; r++)
    db.row(locators[0][r], r == victim ? shortened : asText(clobs[r]), locators[1][r],
           asText(blobs[r]));
  const uint32_t block = stored[victim].blocks[part];
  db.write(dir);
  // The maps are made from the whole file, before the damage.
  ASSERT_EQ(0, runZut(dir.path(), "OPEN db.cfg\nSCAN LOB\nEXIT\n").status);
  mkdb::Block& image = db.f.images[block];
  const uint64_t at = static_cast<uint64_t>(block) * c.blockSize;
  switch (c.damage) {
    case Damage::kZeroed:
      for (uint32_t i = 0; i < c.blockSize; i++)
        ASSERT_EQ(0, mkdb::flipFileByte(db.f.path, at + i, image[i]));
      break;
    case Damage::kNoise: {
      std::mt19937 rng(block);
      for (uint32_t i = 0; i < c.blockSize; i++)
        ASSERT_EQ(0, mkdb::flipFileByte(db.f.path, at + i, static_cast<uint8_t>(rng() | 1)));
      break;
    }
    case Damage::kTruncated: ASSERT_EQ(0, mkdb::truncateFile(db.f.path, at)); break;
  }
  const std::string unload = "OPEN db.cfg\n" + std::string(kLobUnloadCommand) + "EXIT\n";
  const RunResult u = runZut(dir.path(), unload);
  EXPECT_EQ(db.expected, dir.read("lobs.txt"));
  EXPECT_NE(std::string::npos, u.out.find("Warning: 1 of ")) << u.out;
  EXPECT_NE(std::string::npos, u.out.find("Sucessfully unload 4 rows")) << u.out;
  // Maps made after the damage no longer name the block: the value is as
  // short, and the blocks after it keep their places.
  ASSERT_EQ(0, runZut(dir.path(), "OPEN db.cfg\nSCAN LOB\nEXIT\n").status);
  runZut(dir.path(), unload);
  EXPECT_EQ(db.expected, dir.read("lobs.txt"));
}

INSTANTIATE_TEST_SUITE_P(Kinds, LobDamage,
                         testing::Values(DamageCase{Damage::kZeroed, 2048, mkdb::kLittle},
                                         DamageCase{Damage::kNoise, 16384, mkdb::kBig},
                                         DamageCase{Damage::kTruncated, 8192, mkdb::kLittle},
                                         DamageCase{Damage::kZeroed, 8192, mkdb::kBig}));

}  // namespace
