#include "tools/builder/lost_tables.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "tools/builder/oracle_values.h"
#include "tools/builder/row_builder.h"

namespace mkdb {

namespace {

// Where the user segments lie: well past the dictionary's blocks.
constexpr uint32_t kStaffHeader = 400;
constexpr uint32_t kStaffExtent = 24;
constexpr uint32_t kBinHeader = 440;
constexpr uint32_t kPurgedHeader = 460;
constexpr uint32_t kRecreatedHeader = 500;
constexpr uint32_t kLastBlock = 520;

constexpr uint32_t kTypeVarchar2 = 1;
constexpr uint32_t kTypeNumber = 2;
constexpr uint32_t kTypeDate = 12;

Value number(int64_t v) {
  OracleBytes b;
  encodeOracleNumber(std::to_string(v), b);
  return b;
}
Value decimal(const std::string& text) {
  OracleBytes b;
  encodeOracleNumber(text, b);
  return b;
}
Value text(const std::string& s) { return OracleBytes(s.begin(), s.end()); }
Value dateValue(int year, int month, int day) {
  OracleDateTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  return encodeOracleDate(t);
}

// One segment: header with one extent from the header on, rows packed after
// it. Returns the data blocks (and each row's blocks through placement).
std::vector<uint32_t> segmentWithRows(FileImage& f, uint32_t header, uint32_t extentBlocks,
                                      uint32_t objd, const std::vector<TableRow>& rows,
                                      std::vector<std::vector<uint32_t>>* placement = nullptr) {
  SegmentPlan s;
  s.type = 16;
  s.block = header;
  s.objd = objd;
  s.extents = {extentAt(f, header, extentBlocks)};
  if (addSegmentHeader(f, s) != 0) return {};
  if (rows.empty()) {
    addDataBlock(f, header + 1, objd, 2);
    return {header + 1};
  }
  PackOptions o;
  o.objd = objd;
  return packRows(f, header + 1, rows, o, placement);
}

std::string numberText(int64_t v) { return std::to_string(v); }

DictColumnSpec column(const std::string& name, uint32_t type, uint32_t length,
                      bool notNull = false) {
  DictColumnSpec c;
  c.name = name;
  c.type = type;
  c.length = length;
  c.notNull = notNull;
  return c;
}

}  // namespace

std::string dateText(int year, int month, int day) {
  char buf[32];
  snprintf(buf, sizeof buf, "%04d-%02d-%02d 00:00:00", year, month, day);
  return buf;
}

bool buildLostTablesDatabase(const LostTablesOptions& options, LostTablesDatabase& out) {
  out = LostTablesDatabase{};
  DictionaryRows rows;
  addDictUser(rows, "SYS");
  addDictUser(rows, "SYSTEM");
  const uint32_t scott = addDictUser(rows, out.owner);
  const uint32_t rfn = options.rfn;

  // STAFF: obj# 80010, its first segment 80010, after TRUNCATE 80014.
  out.truncatedObjId = 80010;
  out.oldDataObjId = 80010;
  out.newDataObjId = 80014;
  addDictTable(rows, out.owner, out.truncatedTable, {out.newDataObjId, 0, rfn, kStaffHeader, 0},
               {column("ID", kTypeNumber, 22, true), column("NAME", kTypeVarchar2, 30),
                column("HIRED", kTypeDate, 7)},
               out.truncatedObjId);

  // A table of STAFF's columns and one more, without a segment: the second
  // candidate for the old STAFF blocks.
  addDictTable(rows, out.owner, "STAFF_ARCHIVE", {0, 0, 0, 0, 0},
               {column("ID", kTypeNumber, 22, true), column("NAME", kTypeVarchar2, 30),
                column("HIRED", kTypeDate, 7), column("NOTE", kTypeVarchar2, 80)},
               80012);

  // DEPT_HIST in the recycle bin.
  out.binObjId = 80020;
  addDictTable(rows, out.owner, out.binName, {out.binObjId, 0, rfn, kBinHeader, 0},
               {column("DEPTNO", kTypeNumber, 22, true), column("DNAME", kTypeVarchar2, 20),
                column("LOC", kTypeVarchar2, 20)},
               out.binObjId);
  DictRecycleBinRow bin;
  bin.objId = out.binObjId;
  bin.ownerId = scott;
  bin.originalName = out.originalName;
  bin.file = rfn;
  bin.block = kBinHeader;
  rows.recycleBin.push_back(bin);

  // ORDERS purged (80030, no dictionary rows), then created again as 80040.
  out.purgedDataObjId = 80030;
  out.recreatedObjId = 80040;
  addDictTable(rows, out.owner, out.purgedTable, {out.recreatedObjId, 0, rfn, kRecreatedHeader, 0},
               {column("ORDER_ID", kTypeNumber, 22, true), column("CUSTOMER", kTypeVarchar2, 40),
                column("QTY", kTypeNumber, 22), column("PRICE", kTypeNumber, 22),
                column("PLACED", kTypeDate, 7)},
               out.recreatedObjId);

  SystemFileOptions so;
  so.path = options.path;
  so.configName = options.configName;
  so.byteOrder = options.byteOrder;
  so.blockSize = options.blockSize;
  so.rfn = options.rfn;
  if (!buildSystemDatabase(rows, so, out.sys)) return false;
  FileImage& f = out.sys.file;
  if (f.blocks > kStaffHeader) return false;  // the dictionary must end before the users

  // STAFF before TRUNCATE: the old rows from the first data block on.
  std::vector<TableRow> old;
  for (int id = 1; id <= 900; id++) {
    char name[32];
    snprintf(name, sizeof name, "Staff member %03d", id);
    const int y = 2015 + id % 9, m = 1 + id % 12, d = 1 + id % 28;
    old.push_back({{number(id), text(name), dateValue(y, m, d)}});
    out.oldRows.push_back({numberText(id), name, dateText(y, m, d)});
  }
  std::vector<std::vector<uint32_t>> placement;
  out.oldBlocks = segmentWithRows(f, kStaffHeader, kStaffExtent, out.oldDataObjId, old, &placement);
  if (out.oldBlocks.size() < 3 || out.oldBlocks.back() >= kStaffHeader + kStaffExtent)
    return false;
  // After TRUNCATE: the header and the first blocks belong to the new
  // segment, which writes its rows there; the rest keep the old rows.
  std::vector<TableRow> fresh;
  for (int id = 5001; id <= 5200; id++) {
    char name[32];
    snprintf(name, sizeof name, "New hire %03d", id - 5000);
    fresh.push_back({{number(id), text(name), dateValue(2025, 1 + id % 12, 1 + id % 28)}});
    out.newRows.push_back({numberText(id), name, dateText(2025, 1 + id % 12, 1 + id % 28)});
  }
  out.reusedBlocks = segmentWithRows(f, kStaffHeader, kStaffExtent, out.newDataObjId, fresh);
  if (out.reusedBlocks.empty() || out.reusedBlocks.size() >= out.oldBlocks.size()) return false;
  const std::set<uint32_t> reused(out.reusedBlocks.begin(), out.reusedBlocks.end());
  for (size_t i = 0; i < old.size(); i++) {
    bool kept = true;
    for (uint32_t b : placement[i]) kept = kept && reused.count(b) == 0;
    if (kept) out.survivingRows.push_back(out.oldRows[i]);
  }

  // The recycle bin table keeps its segment.
  std::vector<TableRow> dept;
  const char* cities[] = {"NEW YORK", "DALLAS", "CHICAGO", "BOSTON"};
  for (int n = 1; n <= 40; n++) {
    const std::string dname = "DEPT " + std::to_string(n * 10);
    dept.push_back({{number(n * 10), text(dname), text(cities[n % 4])}});
    out.binRows.push_back({numberText(n * 10), dname, cities[n % 4]});
  }
  if (segmentWithRows(f, kBinHeader, 8, out.binObjId, dept).empty()) return false;

  // The purged ORDERS: its blocks (a header too) under 80030, nothing in
  // the dictionary names them.
  std::vector<TableRow> orders;
  for (int id = 1; id <= 900; id++) {
    const std::string customer = "Customer " + std::to_string(1000 + id * 7 % 300);
    const int qty = 1 + id % 9;
    // Cents never end in 0, so the text is the number as it prints.
    int cents = 11 + id % 89;
    if (cents % 10 == 0) cents++;
    const std::string price = std::to_string(id % 200 + 1) + "." + std::to_string(cents);
    const int y = 2023, m = 1 + id % 12, d = 1 + id % 28;
    orders.push_back(
        {{number(id), text(customer), number(qty), decimal(price), dateValue(y, m, d)}});
    out.purgedRows.push_back({numberText(id), customer, numberText(qty), price, dateText(y, m, d)});
  }
  const std::vector<uint32_t> purged =
      segmentWithRows(f, kPurgedHeader, 32, out.purgedDataObjId, orders);
  if (purged.empty() || purged.back() >= kRecreatedHeader) return false;
  // ORDERS created again, with no rows yet.
  if (segmentWithRows(f, kRecreatedHeader, 8, out.recreatedObjId, {}).empty()) return false;

  f.blocks = kLastBlock;
  return true;
}

}  // namespace mkdb
