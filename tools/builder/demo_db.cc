#include "tools/builder/demo_db.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "tools/builder/index_builder.h"
#include "tools/builder/row_builder.h"

namespace mkdb {

namespace {

constexpr uint32_t kDemoTablespace = 4;
constexpr uint32_t kDemoBlocks = 512;
constexpr uint32_t kFirstObjId = 73180;
constexpr uint32_t kCharset = 1;  // US7ASCII, the tool's default CHARSET
constexpr uint32_t kNationalCharset = 2000;  // AL16UTF16

// Column types as COL$ numbers them.
constexpr uint32_t kVarchar2 = 1, kNumber = 2, kLong = 8, kDate = 12, kRaw = 23, kChar = 96,
                   kBinaryFloat = 100, kBinaryDouble = 101, kTimestamp = 180,
                   kTimestampTZ = 181, kIntervalYM = 182, kIntervalDS = 183,
                   kTimestampLTZ = 231;

DictColumnSpec number(const std::string& name, std::optional<int32_t> precision = std::nullopt,
                      std::optional<int32_t> scale = std::nullopt, bool notNull = false) {
  DictColumnSpec c;
  c.name = name;
  c.type = kNumber;
  c.length = 22;
  c.precision = precision;
  c.scale = scale;
  c.notNull = notNull;
  return c;
}

DictColumnSpec characters(const std::string& name, uint32_t type, uint32_t length) {
  DictColumnSpec c;
  c.name = name;
  c.type = type;
  c.length = length;
  c.charsetId = kCharset;
  c.charsetForm = 1;
  return c;
}

DictColumnSpec varchar2(const std::string& name, uint32_t length) {
  return characters(name, kVarchar2, length);
}

// A national column: AL16UTF16, length in bytes (two per character).
DictColumnSpec national(const std::string& name, uint32_t type, uint32_t characters) {
  DictColumnSpec c;
  c.name = name;
  c.type = type;
  c.length = characters * 2;
  c.charsetId = kNationalCharset;
  c.charsetForm = 2;
  return c;
}

DictColumnSpec other(const std::string& name, uint32_t type, uint32_t length,
                     std::optional<int32_t> scale = std::nullopt) {
  DictColumnSpec c;
  c.name = name;
  c.type = type;
  c.length = length;
  c.scale = scale;
  return c;
}

// "YYYY-MM-DD HH:MI:SS[.ffffff|.fffffffff]" → date and time, nanoseconds;
// false when the text is not in that form.
bool parseDateTime(const std::string& text, OracleDateTime& t, uint32_t& nanoseconds,
                   bool& hasFraction) {
  char tail[16] = {};
  const int n = sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%15s", &t.year, &t.month, &t.day, &t.hour,
                       &t.minute, &t.second, tail);
  if (n < 6) return false;
  hasFraction = n == 7;
  nanoseconds = 0;
  if (hasFraction) {
    const size_t digits = strlen(tail) - 1;
    if (tail[0] != '.' || (digits != 6 && digits != 9)) return false;
    nanoseconds = static_cast<uint32_t>(atoi(tail + 1)) * (digits == 6 ? 1000 : 1);
  }
  return true;
}

// "+YY-MM" (INTERVAL YEAR TO MONTH) and "+DD HH:MI:SS.ffffff[fff]" (INTERVAL
// DAY TO SECOND), "-" for a negative interval: every field is then negative.
bool encodeInterval(uint32_t type, const std::string& text, OracleBytes& out) {
  if (text.size() < 2 || (text[0] != '+' && text[0] != '-')) return false;
  const int sign = text[0] == '-' ? -1 : 1;
  unsigned lead = 0, month = 0, hour = 0, minute = 0, second = 0;
  char fraction[16] = {};
  int used = 0;
  if (type == kIntervalYM) {
    if (sscanf(text.c_str() + 1, "%u-%2u%n", &lead, &month, &used) != 2 ||
        static_cast<size_t>(used) + 1 != text.size())
      return false;
    out = encodeOracleIntervalYM(sign * static_cast<int32_t>(lead), sign * static_cast<int32_t>(month));
    return true;
  }
  if (sscanf(text.c_str() + 1, "%u %2u:%2u:%2u.%10[0-9]%n", &lead, &hour, &minute, &second,
             fraction, &used) != 5 ||
      static_cast<size_t>(used) + 1 != text.size())
    return false;
  const size_t digits = strlen(fraction);
  if (digits != 6 && digits != 9) return false;
  const int32_t ns = atoi(fraction) * (digits == 6 ? 1000 : 1);
  out = encodeOracleIntervalDS(sign * static_cast<int32_t>(lead), sign * static_cast<int32_t>(hour),
                               sign * static_cast<int32_t>(minute),
                               sign * static_cast<int32_t>(second), sign * ns);
  return true;
}

bool decodeHex(const std::string& text, OracleBytes& out) {
  if (text.size() % 2 != 0) return false;
  out.clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    char pair[3] = {text[i], text[i + 1], 0};
    char* end = nullptr;
    const unsigned long v = strtoul(pair, &end, 16);
    if (end != pair + 2) return false;
    out.push_back(static_cast<uint8_t>(v));
  }
  return true;
}

// The demo's own data is wrong: nothing sensible can be built.
[[noreturn]] void giveUp(const char* what) {
  fprintf(stderr, "demo database: %s\n", what);
  abort();
}

Value encodeOrDie(const DictColumnSpec& c, const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  OracleBytes b;
  if (!encodeDemoValue(c, *text, b)) {
    fprintf(stderr, "demo database: value '%s' does not fit column %s\n", text->c_str(),
            c.name.c_str());
    abort();
  }
  return b;
}

RowValues encodeRow(const std::vector<DictColumnSpec>& columns, const DemoRow& row) {
  RowValues values;
  for (size_t i = 0; i < row.size() && i < columns.size(); i++)
    values.push_back(encodeOrDie(columns[i], row[i]));
  return values;
}

std::string repeatText(const std::string& piece, size_t length) {
  std::string s;
  while (s.size() < length) s += piece;
  s.resize(length);
  return s;
}

struct Builder {
  DemoDatabase db;
  FileImage* file = nullptr;
  uint32_t nextBlock = 16;

  // A segment header at the next free block, its extent covering the header
  // and the given number of blocks after it.
  uint32_t addSegment(uint32_t objd, uint32_t blocks) {
    SegmentPlan s;
    s.type = 16;
    s.block = nextBlock;
    s.objd = objd;
    s.extents.push_back(extentAt(*file, nextBlock, blocks + 1));
    addSegmentHeader(*file, s);
    const uint32_t header = nextBlock;
    nextBlock += blocks + 1;
    return header;
  }

  DictStorage storage(uint32_t objd, uint32_t header, uint32_t cluster = 0) const {
    DictStorage st;
    st.dataObjId = objd;
    st.tablespace = kDemoTablespace;
    st.file = kDemoFileNumber;
    st.block = header;
    st.cluster = cluster;
    return st;
  }

  // A table whose rows fill dataBlocks blocks from the next free block on:
  // its segment header goes in front of them, its rows into the dictionary.
  DemoTable& addTable(DemoTable t, uint32_t dataBlocks) {
    t.headerBlock = addSegment(t.dataObjId, dataBlocks);
    addDictTable(db.dictionary, t.owner, t.name, storage(t.dataObjId, t.headerBlock), t.columns,
                 t.objId);
    db.tables.push_back(t);
    return db.tables.back();
  }

  // A heap table whose rows are packed from the block after its header.
  DemoTable& heapTable(DemoTable t, const std::vector<TableRow::Placement>& placements = {}) {
    std::vector<TableRow> rows;
    for (size_t i = 0; i < t.rows.size(); i++) {
      TableRow r;
      r.values = encodeRow(t.columns, t.rows[i]);
      if (i < placements.size()) r.placement = placements[i];
      r.pieces = 3;
      rows.push_back(r);
    }
    PackOptions options;
    options.objd = t.dataObjId;
    const uint32_t first = nextBlock + 1;
    const std::vector<uint32_t> used = packRows(*file, first, rows, options);
    uint32_t last = first;
    for (uint32_t b : used) last = b > last ? b : last;
    return addTable(t, used.empty() ? 1 : last - first + 1);
  }
};

// A table with a segment of its own (data object id = object id), no rows yet.
DemoTable ownSegmentTable(const char* name, uint32_t objId, std::vector<DictColumnSpec> columns) {
  DemoTable t;
  t.name = name;
  t.objId = t.dataObjId = objId;
  t.columns = std::move(columns);
  return t;
}

DemoTable dept() {
  DemoTable t = ownSegmentTable(
      "DEPT", kFirstObjId, {number("DEPTNO", 2, 0, true), varchar2("DNAME", 14), varchar2("LOC", 13)});
  t.rows = {{"10", "ACCOUNTING", "NEW YORK"},
            {"20", "RESEARCH", "DALLAS"},
            {"30", "SALES", "CHICAGO"},
            {"40", "OPERATIONS", "BOSTON"}};
  return t;
}

DemoTable emp() {
  DemoTable t = ownSegmentTable(
      "EMP", kFirstObjId + 1,
      {number("EMPNO", 4, 0, true), varchar2("ENAME", 10), varchar2("JOB", 9), number("MGR", 4, 0),
       other("HIREDATE", kDate, 7), number("SAL", 7, 2), number("COMM", 7, 2), number("DEPTNO", 2, 0)});
  const auto e = [](const char* no, const char* name, const char* job,
                    std::optional<std::string> mgr, const char* date, const char* sal,
                    std::optional<std::string> comm, const char* deptno) {
    return DemoRow{no, name, job, mgr, std::string(date) + " 00:00:00", sal, comm, deptno};
  };
  const std::nullopt_t none = std::nullopt;
  t.rows = {e("7369", "SMITH", "CLERK", "7902", "1980-12-17", "800", none, "20"),
            e("7499", "ALLEN", "SALESMAN", "7698", "1981-02-20", "1600", "300", "30"),
            e("7521", "WARD", "SALESMAN", "7698", "1981-02-22", "1250", "500", "30"),
            e("7566", "JONES", "MANAGER", "7839", "1981-04-02", "2975", none, "20"),
            e("7654", "MARTIN", "SALESMAN", "7698", "1981-09-28", "1250", "1400", "30"),
            e("7698", "BLAKE", "MANAGER", "7839", "1981-05-01", "2850", none, "30"),
            e("7782", "CLARK", "MANAGER", "7839", "1981-06-09", "2450", none, "10"),
            e("7788", "SCOTT", "ANALYST", "7566", "1987-04-19", "3000", none, "20"),
            e("7839", "KING", "PRESIDENT", none, "1981-11-17", "5000", none, "10"),
            e("7844", "TURNER", "SALESMAN", "7698", "1981-09-08", "1500", "0", "30"),
            e("7876", "ADAMS", "CLERK", "7788", "1987-05-23", "1100", none, "20"),
            e("7900", "JAMES", "CLERK", "7698", "1981-12-03", "950.5", none, "30"),
            e("7902", "FORD", "ANALYST", "7566", "1981-12-03", "3000", none, "20"),
            e("7934", "MILLER", "CLERK", "7782", "1982-01-23", "1300", none, "10")};
  return t;
}

DemoTable allTypes() {
  DemoTable t = ownSegmentTable("ALL_TYPES", kFirstObjId + 2,
                                {number("ID", 4, 0, true),
                                 varchar2("C_VARCHAR2", 20),
                                 characters("C_CHAR", kChar, 5),
                                 number("C_NUMBER"),
                                 number("C_DECIMAL", 10, 2),
                                 other("C_DATE", kDate, 7),
                                 other("C_TS", kTimestamp, 11, 6),
                                 other("C_TSTZ", kTimestampTZ, 13, 6),
                                 other("C_TSLTZ", kTimestampLTZ, 11, 6),
                                 other("C_BFLOAT", kBinaryFloat, 4),
                                 other("C_BDOUBLE", kBinaryDouble, 8),
                                 other("C_RAW", kRaw, 16),
                                 other("C_LONG", kLong, 0)});
  const std::nullopt_t none = std::nullopt;
  t.rows = {
      {"1", "hello", "AB", "3.14159", "1234.5", "2024-02-29 13:45:59",
       "2014-02-28 00:02:32.212000", "2014-02-28 00:02:32.212000 +00:00",
       "1999-12-31 23:59:59.999999", "3.5", "2.718282", "DEADBEEF", "a LONG value"},
      {"2", "x", none, "-0.001", "-99999999.99", "1900-01-01 00:00:00",
       "2000-01-01 00:00:00.000001", "1970-01-01 00:00:00.500000 +00:00", none, "-1.25",
       "-1e+06", "00FF", none},
      {"3"},
      {"4", "na\xc3\xafve caf\xc3\xa9", "ABCDE", "10000000000000000000000000000000000000000",
       "0.01", "2000-02-29 12:00:00", "2038-01-19 03:14:07.000100", none,
       "2024-06-30 08:00:00.250000", "0", "123456789.125", none, "last"},
  };
  return t;
}

// Values at the edges of their types, beside ALL_TYPES: floats that need
// every digit or an exponent, and the special values; fractional seconds
// that are not whole microseconds; intervals; national text (AL16UTF16),
// written as UTF-8 by default.
DemoTable moreTypes() {
  DemoTable t = ownSegmentTable(
      "MORE_TYPES", kFirstObjId + 14,
      {number("ID", 4, 0, true), other("C_BFLOAT", kBinaryFloat, 4),
       other("C_BDOUBLE", kBinaryDouble, 8), other("C_TS", kTimestamp, 11, 9),
       other("C_TSTZ", kTimestampTZ, 13, 9), other("C_TSLTZ", kTimestampLTZ, 11, 9),
       other("C_IYM", kIntervalYM, 5), other("C_IDS", kIntervalDS, 11, 9),
       national("C_NCHAR", kChar, 3), national("C_NVARCHAR2", kVarchar2, 20)});
  t.columns[6].precision = 9;  // INTERVAL YEAR(9) TO MONTH
  t.columns[7].precision = 9;  // INTERVAL DAY(9) TO SECOND(9)
  const std::nullopt_t none = std::nullopt;
  t.rows = {{"1", "0.12345679", "1e-10", "2014-02-28 00:02:32.212000001",
             "2014-02-28 00:02:32.000000001 +00:00", "1999-12-31 23:59:59.999999999", "+2021-10",
             "+02 12:23:34.456000", "\xe4\xb8\xad\xe6\x96\x87\xe5\xad\x97",
             "na\xc3\xafve caf\xc3\xa9 \xe4\xb8\xad\xe6\x96\x87 \xf0\x9f\x98\x80"},
            {"2", "Inf", "1.7e+308", "2000-01-01 00:00:00.123456789",
             "1970-01-01 00:00:00.500000 +00:00", "2024-06-30 08:00:00.250000", "-01-02",
             "-01 02:03:04.500000", "ABC", "plain"},
            {"3", "-Inf", "-0", "2038-01-19 03:14:07.000100", none, "2000-02-29 12:00:00.000000100",
             "+00-00", "+00 00:00:00.000000001"},
            {"4", "Nan", "2.718281828459045", "1900-01-01 00:00:00", none, none, "+999999999-11",
             "-123 23:59:59.999999999"},
            {"5", "3.4028235e+38", "5e-324", none, none, none, "-00-05",
             "+00 00:00:00.000000"}};
  return t;
}

DemoTable notes() {
  DemoTable t = ownSegmentTable("NOTES", kFirstObjId + 3,
                                {number("ID", 6, 0, true), varchar2("AUTHOR", 30),
                                 varchar2("PART1", 4000), varchar2("PART2", 4000)});
  const std::string fox = "The quick brown fox jumps over the lazy dog. ";
  t.rows = {{"1", "in place", "short", "row"},
            {"2", "migrated", repeatText(fox, 300), "moved to another block"},
            {"3", "chained in three", repeatText("0123456789", 3000), repeatText("abc", 700)},
            {"4", "chained by size", repeatText(fox, 4000), repeatText("Lorem ipsum ", 4000)},
            {"5", "migrated too", "body elsewhere", std::nullopt},
            {"6", "in place", std::nullopt, "after a NULL"}};
  return t;
}

DemoTable salesHist() {
  DemoTable t = ownSegmentTable("SALES_HIST", kFirstObjId + 4,
                                {number("SALE_ID", 8, 0, true), varchar2("REGION", 10),
                                 varchar2("PRODUCT", 20), number("QTY", 4, 0)});
  const char* regions[] = {"EAST", "WEST", "NORTH", "SOUTH"};
  const char* products[] = {"WIDGET", "GADGET", "SPROCKET"};
  for (int i = 1; i <= 600; i++)
    t.rows.push_back({std::to_string(i), regions[(i / 7) % 4], products[(i / 5) % 3],
                      std::to_string(i % 9 + 1)});
  return t;
}

void addCompressedTable(Builder& b, DemoTable t) {
  std::vector<RowValues> rows;
  for (const DemoRow& r : t.rows) rows.push_back(encodeRow(t.columns, r));
  CompressOptions options;
  uint32_t block = b.nextBlock + 1;
  for (size_t first = 0; first < rows.size(); block++) {
    const size_t taken = addCompressedBlock(*b.file, block, t.dataObjId, rows, first, options);
    if (taken == 0) giveUp("compressed rows do not fit");
    first += taken;
  }
  b.addTable(t, block - b.nextBlock - 1);
}

// Cluster EMP_DEPT_CLU keyed on DEPTNO: one block per key, holding the key
// row (table 0), the department (table 1, C_DEPT) and its employees (table
// 2, C_EMP).
void addCluster(Builder& b) {
  const uint32_t clusterId = kFirstObjId + 5;
  DemoTable d, e;
  d.name = "C_DEPT";
  d.objId = kFirstObjId + 6;
  d.cluster = 1;
  d.columns = {number("DEPTNO", 2, 0, true), varchar2("DNAME", 14)};
  e.name = "C_EMP";
  e.objId = kFirstObjId + 7;
  e.cluster = 2;
  e.columns = {number("DEPTNO", 2, 0), number("EMPNO", 4, 0, true), varchar2("ENAME", 10)};
  d.dataObjId = e.dataObjId = clusterId;
  struct Dept {
    const char* no;
    const char* name;
    std::vector<std::pair<const char*, const char*>> staff;
  };
  const std::vector<Dept> depts = {
      {"10", "ACCOUNTING", {{"7782", "CLARK"}, {"7839", "KING"}, {"7934", "MILLER"}}},
      {"20", "RESEARCH", {{"7369", "SMITH"}, {"7566", "JONES"}}},
      {"30", "SALES", {{"7499", "ALLEN"}, {"7521", "WARD"}, {"7900", "JAMES"}}}};
  uint32_t block = b.nextBlock + 1;
  for (const Dept& dept : depts) {
    DataBlockPlan plan;
    plan.objd = clusterId;
    RowPiece key;
    key.flag = kRowK | kRowWhole;
    key.columns = {encodeOrDie(d.columns[0], std::string(dept.no))};
    RowPiece member;
    member.flag = kRowC | kRowWhole;
    member.clusterKeyIndex = 0;
    member.columns = {encodeOrDie(d.columns[1], std::string(dept.name))};
    std::vector<RowPiece> staff;
    for (const auto& s : dept.staff) {
      RowPiece p;
      p.flag = kRowC | kRowWhole;
      p.clusterKeyIndex = 0;
      p.columns = {encodeOrDie(e.columns[1], std::string(s.first)),
                   encodeOrDie(e.columns[2], std::string(s.second))};
      staff.push_back(p);
      e.rows.push_back({dept.no, s.first, s.second});
    }
    plan.tables = {{key}, {member}, staff};
    d.rows.push_back({dept.no, dept.name});
    if (addRowBlock(*b.file, block++, plan) != 0) giveUp("cluster block does not fit");
  }
  const uint32_t header = b.addSegment(clusterId, block - b.nextBlock - 1);
  d.headerBlock = e.headerBlock = header;
  b.db.dictionary.objects.push_back(
      {clusterId, addDictUser(b.db.dictionary, "SCOTT"), "EMP_DEPT_CLU", "", 3, ""});
  addDictTable(b.db.dictionary, d.owner, d.name, b.storage(clusterId, header, 1), d.columns,
               d.objId);
  addDictTable(b.db.dictionary, e.owner, e.name, b.storage(clusterId, header, 2), e.columns,
               e.objId);
  b.db.tables.push_back(d);
  b.db.tables.push_back(e);
}

// COUNTRIES is index-organized: its TAB$ entry has no segment; the rows are
// in the index segment SYS_IOT_TOP_<obj#>, obj# + 1.
void addIndexOrganized(Builder& b) {
  DemoTable t;
  t.name = "COUNTRIES";
  t.objId = kFirstObjId + 8;
  t.dataObjId = t.objId + 1;
  t.columns = {varchar2("CODE", 2), varchar2("NAME", 40), number("POPULATION")};
  t.columns[0].notNull = true;
  t.rows = {{"AR", "Argentina", "45376763"}, {"BR", "Brazil", "212559417"},
            {"DE", "Germany", "83240525"},    {"FR", "France", std::nullopt},
            {"JP", "Japan", "125836021"},     {"NZ", "New Zealand", "5084300"}};
  std::vector<IotRow> rows;
  for (const DemoRow& r : t.rows) {
    IotRow row;
    row.values = encodeRow(t.columns, r);
    rows.push_back(row);
  }
  IotOptions options;
  options.objd = t.dataObjId;
  options.keyColumns = 1;
  const uint32_t first = b.nextBlock + 1;
  const IotLayout layout = packIndexOrganized(*b.file, first, rows, options);
  if (layout.leaves.empty()) giveUp("index-organized rows do not fit");
  uint32_t last = layout.root;
  for (uint32_t x : layout.leaves) last = x > last ? x : last;
  for (uint32_t x : layout.overflow) last = x > last ? x : last;
  t.headerBlock = b.addSegment(t.dataObjId, last - first + 1);
  addDictTable(b.db.dictionary, t.owner, t.name, b.storage(0, 0), t.columns, t.objId);
  DictionaryRows& dict = b.db.dictionary;
  dict.objects.push_back({t.dataObjId, addDictUser(dict, "SCOTT"),
                          "SYS_IOT_TOP_" + std::to_string(t.objId), "", 1, ""});
  dict.tabs.push_back({t.dataObjId, t.dataObjId, kDemoTablespace, kDemoFileNumber,
                       t.headerBlock, std::nullopt});
  b.db.tables.push_back(t);
}

// SALES_PART has two partitions, each a segment of its own; the table's
// TAB$ entry has none.
void addPartitioned(Builder& b) {
  DemoTable t;
  t.name = "SALES_PART";
  t.objId = kFirstObjId + 10;
  t.columns = {number("ID", 6, 0, true), varchar2("REGION", 10), number("AMOUNT", 10, 2)};
  addDictTable(b.db.dictionary, t.owner, t.name, b.storage(0, 0), t.columns, t.objId);
  const std::vector<std::pair<std::string, std::vector<DemoRow>>> parts = {
      {"P_EAST", {{"1", "EAST", "100.25"}, {"3", "EAST", "75"}}},
      {"P_WEST", {{"2", "WEST", "19.99"}, {"4", "WEST", "1000"}, {"5", "WEST", std::nullopt}}}};
  uint32_t objId = t.objId;
  for (const auto& [name, rows] : parts) {
    objId++;
    std::vector<TableRow> packed;
    for (const DemoRow& r : rows) {
      TableRow row;
      row.values = encodeRow(t.columns, r);
      packed.push_back(row);
      t.rows.push_back(r);
    }
    PackOptions options;
    options.objd = objId;
    const std::vector<uint32_t> used = packRows(*b.file, b.nextBlock + 1, packed, options);
    const uint32_t header = b.addSegment(objId, static_cast<uint32_t>(used.size()));
    addDictPartition(b.db.dictionary, t.owner, t.name, name, b.storage(objId, header), 19, objId);
    t.partitions.push_back(name);
  }
  b.db.tables.push_back(t);
}

}  // namespace

std::string demoTableText(const DemoTable& t) {
  std::string s;
  for (const DemoRow& r : t.rows) {
    size_t n = r.size();
    while (n > 0 && !r[n - 1]) n--;
    for (size_t i = 0; i < n; i++) s += (i ? "|" : "") + (r[i] ? *r[i] : "");
    s += "\r\n";
  }
  return s;
}

const DemoTable* DemoDatabase::table(const std::string& name) const {
  for (const DemoTable& t : tables)
    if (t.name == name) return &t;
  return nullptr;
}

bool encodeDemoValue(const DictColumnSpec& column, const std::string& text, OracleBytes& out) {
  out.clear();
  OracleDateTime t;
  uint32_t ns = 0;
  bool fraction = false;
  if (column.charsetForm == 2 && (column.type == kVarchar2 || column.type == kChar)) {
    if (!encodeUtf16(text, out) || out.size() > column.length) return false;
    if (column.type == kChar) {  // padded with blanks, U+0020 each
      while (out.size() + 2 <= column.length) out.insert(out.end(), {0x00, 0x20});
    }
    return true;
  }
  switch (column.type) {
    case kVarchar2:
    case 9:
    case kLong:
      out.assign(text.begin(), text.end());
      return true;
    case kChar:
      if (text.size() > column.length) return false;
      out.assign(text.begin(), text.end());
      out.resize(column.length, ' ');
      return true;
    case kNumber: return encodeOracleNumber(text, out);
    case kDate:
      if (!parseDateTime(text, t, ns, fraction) || fraction) return false;
      out = encodeOracleDate(t);
      return true;
    case kTimestamp:
    case kTimestampLTZ:
      if (!parseDateTime(text, t, ns, fraction)) return false;
      out = encodeOracleTimestamp(t, ns);
      return true;
    case kTimestampTZ: {
      const std::string zone = " +00:00";
      if (text.size() <= zone.size() || text.compare(text.size() - zone.size(), zone.size(), zone) != 0)
        return false;
      if (!parseDateTime(text.substr(0, text.size() - zone.size()), t, ns, fraction)) return false;
      out = encodeOracleTimestampTZ(t, ns, 0, 0);
      return true;
    }
    case kBinaryFloat: out = encodeOracleBinaryFloat(strtof(text.c_str(), nullptr)); return true;
    case kBinaryDouble: out = encodeOracleBinaryDouble(strtod(text.c_str(), nullptr)); return true;
    case kRaw: return decodeHex(text, out);
    case kIntervalYM:
    case kIntervalDS: return encodeInterval(column.type, text, out);
    default: return false;
  }
}

DemoDatabase buildDemoDatabase(const std::string& dir) {
  Builder b;
  FileImage f;
  f.path = dir.empty() ? "users01.dbf" : dir + "/users01.dbf";
  f.configName = "users01.dbf";
  f.rfn = kDemoFileNumber;
  f.fileNumber = kDemoFileNumber;
  f.tablespace = kDemoTablespace;
  f.tablespaceName = "USERS";
  f.blocks = kDemoBlocks;
  addFileHeader(f);
  b.db.files.push_back(f);
  b.file = &b.db.files.back();

  DictionaryRows& dict = b.db.dictionary;
  addDictUser(dict, "SYS");
  addDictUser(dict, "SYSTEM");
  addDictUser(dict, "SCOTT");

  b.heapTable(dept());
  b.heapTable(emp());
  b.heapTable(allTypes());
  using P = TableRow::Placement;
  b.heapTable(notes(), {P::kInPlace, P::kMigrated, P::kChained, P::kInPlace, P::kMigrated,
                        P::kInPlace});
  addCompressedTable(b, salesHist());
  addCluster(b);
  addIndexOrganized(b);
  addPartitioned(b);

  DemoTable pay = ownSegmentTable("PAY$HIST", kFirstObjId + 13,
                                  {number("ID", 6, 0, true), other("PAID", kDate, 7)});
  pay.rows = {{"1", "2023-01-31 00:00:00"}, {"2", "2023-02-28 00:00:00"}};
  b.heapTable(pay);
  b.heapTable(moreTypes());
  return b.db;
}

int writeDemoDatabase(const DemoDatabase& db, const std::string& dir, const std::string& config) {
  for (const FileImage& f : db.files)
    if (writeDataFile(f) != 0) return 1;
  const std::string prefix = dir.empty() ? "" : dir + "/";
  if (writeConfigFile(prefix + config, db.files) != 0) return 1;
  return writeDictionaryFiles(prefix + "ZUTDICT", db.dictionary) ? 0 : 1;
}

}  // namespace mkdb
