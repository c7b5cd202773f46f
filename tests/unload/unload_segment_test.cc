// The recovery rule of a segment unload: the extent list when it lists the
// object, else the segment header, else every block of every file. Whichever
// way is taken, every row the object holds comes out once and no other.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

#include "scan/extent_scan.h"
#include "unload/unload_segment.h"
#include "tests/support/data_rows_util.h"

namespace {

constexpr uint32_t kObjd = 500, kOther = 501;
constexpr uint16_t kRfn = 4;
constexpr uint32_t kHeader = 5, kOtherHeader = 6;

enum class List { kListed, kStale, kMissing, kNullName, kEmptyName };
enum class Header { kNamed, kSearched, kZeroed, kDataBlock, kOtherObject, kAbsent };

struct Case {
  const char* what;
  List list;
  Header header;
  UnloadRoute route;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

std::vector<std::string> sortedLines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    lines.push_back(text.substr(at, end - at));
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Object kObjd: three rows in each block of two extents, its segment header
// at kHeader. Object kOther: rows between and after them, its header at
// kOtherHeader. The case then damages or hides what it names.
class UnloadSegmentRule : public testing::TestWithParam<Case> {
 protected:
  TempDir dir;
  TestSession s;
  mkdb::FileImage f = builtFile(dir, "a.dbf", 60, kRfn);
  std::vector<std::string> stored;  // the rows of kObjd, as the unload writes them
  UnloadSegment segment{kObjd, kRfn, kHeader, 0};

  void rowsAt(uint32_t block, uint32_t objd, int rows) {
    mkdb::DataBlockPlan plan;
    plan.objd = objd;
    plan.tables.emplace_back();
    for (int r = 0; r < rows; r++) {
      const std::string tag = objd == kObjd ? "r" + std::to_string(r) : "other";
      plan.tables[0].push_back(piece({num(std::to_string(block)), str(tag)}));
      if (objd == kObjd) stored.push_back(std::to_string(block) + "|" + tag);
    }
    ASSERT_EQ(0, mkdb::addRowBlock(f, block, plan));
  }
  void header(uint32_t block, uint32_t objd, std::vector<mkdb::Extent> extents) {
    mkdb::SegmentPlan plan;
    plan.block = block;
    plan.objd = objd;
    plan.extents = std::move(extents);
    ASSERT_EQ(0, mkdb::addSegmentHeader(f, plan));
  }

  void SetUp() override {
    setTypes(s.ctx, {kColNumber, kColVarchar2});
    for (uint32_t b = 10; b < 14; b++) rowsAt(b, kObjd, 3);
    for (uint32_t b = 20; b < 23; b++) rowsAt(b, kObjd, 3);
    for (uint32_t b : {14u, 15u, 30u}) rowsAt(b, kOther, 2);
    std::sort(stored.begin(), stored.end());
    header(kOtherHeader, kOther, {mkdb::extentAt(f, 14, 2), mkdb::extentAt(f, 30, 1)});
    const Header h = GetParam().header;
    if (h != Header::kAbsent)
      header(kHeader, kObjd, {mkdb::extentAt(f, 10, 4), mkdb::extentAt(f, 20, 3)});
    if (h == Header::kZeroed) f.images[kHeader] = mkdb::Block(f.blockSize, 0);
    if (h == Header::kSearched || h == Header::kAbsent) segment.file = segment.block = 0;
    if (h == Header::kDataBlock) segment.block = 10;
    if (h == Header::kOtherObject) segment.block = kOtherHeader;
    ASSERT_EQ(0, mkdb::writeDataFile(f));
    s.open(dir, f.path + "\n");
  }

  // The list file for the case, made from the extent map of the built file;
  // its name as the unload is given it.
  const char* listName() {
    const std::string all = capture([&](FILE* out) { listExtentMap(out, s.ctx); });
    EXPECT_NE(std::string::npos, all.find(std::to_string(kObjd) + ","));
    std::string stale;
    for (const std::string& line : sortedLines(all))
      if (line.rfind(std::to_string(kObjd) + ",", 0) != 0) stale += line + "\r\n";
    const List l = GetParam().list;
    if (l != List::kMissing) dir.write("list.txt", l == List::kStale ? stale : all);
    name = dir.file("list.txt");
    return l == List::kNullName ? nullptr : l == List::kEmptyName ? "" : name.c_str();
  }
  std::string name;
};

TEST_P(UnloadSegmentRule, TakesTheFirstWayThatFindsTheObjectAndWritesEveryRowOnce) {
  const char* list = listName();
  UnloadRoute route{};
  const std::string text = capture(
      [&](FILE* out) { route = unloadSegment(out, s.ctx, list, segment, 0, 0, 0, 0); });
  EXPECT_EQ(GetParam().route, route);
  EXPECT_EQ(stored, sortedLines(text));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, UnloadSegmentRule,
    testing::Values(
        Case{"listed", List::kListed, Header::kNamed, kRouteExtentList},
        Case{"listed, header zeroed", List::kListed, Header::kZeroed, kRouteExtentList},
        Case{"no list file", List::kMissing, Header::kNamed, kRouteSegmentHeader},
        Case{"stale list", List::kStale, Header::kNamed, kRouteSegmentHeader},
        Case{"stale list, header searched", List::kStale, Header::kSearched, kRouteSegmentHeader},
        Case{"null name", List::kNullName, Header::kNamed, kRouteSegmentHeader},
        Case{"empty name", List::kEmptyName, Header::kSearched, kRouteSegmentHeader},
        Case{"no list file, header zeroed", List::kMissing, Header::kZeroed, kRouteFullScan},
        Case{"stale list, named block holds rows", List::kStale, Header::kDataBlock, kRouteFullScan},
        Case{"no list file, named header of another object", List::kMissing,
             Header::kOtherObject, kRouteFullScan},
        Case{"stale list, no header anywhere", List::kStale, Header::kAbsent, kRouteFullScan},
        Case{"null name, no header anywhere", List::kNullName, Header::kAbsent, kRouteFullScan}));

}  // namespace
