#include "tools/builder/system_db.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <sstream>
#include <vector>

#include "tools/builder/oracle_values.h"
#include "tools/builder/row_builder.h"

namespace mkdb {

namespace {

// One stored column value and the text the dictionary file shows for it.
struct Cell {
  Value value;
  std::string text;
};
using Cells = std::map<std::string, Cell>;
using StoredRow = std::vector<Cell>;

Cell num(int64_t v) {
  OracleBytes b;
  encodeOracleNumber(std::to_string(v), b);
  return {b, std::to_string(v)};
}
Cell optionalNum(const std::optional<int32_t>& v) { return v ? num(*v) : Cell{}; }
// 0 stands for NULL.
Cell nonZero(uint64_t v) { return v ? num(static_cast<int64_t>(v)) : Cell{}; }
Cell chars(const std::string& s) {
  if (s.empty()) return {};
  return {OracleBytes(s.begin(), s.end()), s};
}
Cell raw(const std::string& hex) {
  if (hex.empty() || hex.size() % 2 != 0) return {};
  OracleBytes b;
  std::string upper;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const std::string pair = hex.substr(i, 2);
    if (!isxdigit(static_cast<unsigned char>(pair[0])) ||
        !isxdigit(static_cast<unsigned char>(pair[1])))
      return {};
    b.push_back(static_cast<uint8_t>(strtoul(pair.c_str(), nullptr, 16)));
  }
  for (char c : hex) upper += static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return {b, upper};
}
Cell date(int year, int month, int day) {
  OracleDateTime t;
  t.year = year;
  t.month = month;
  t.day = day;
  t.hour = 10;
  return {encodeOracleDate(t), ""};
}

// A SYSTEM table: its columns in row order (for a clustered table the
// cluster key first, then the columns the member row stores) and the
// columns the dictionary files keep.
struct SysTable {
  std::vector<std::string> columns;
  std::set<std::string> kept;
};

const SysTable kUser = {
    {"USER#", "NAME", "TYPE#", "PASSWORD", "DATATS#", "TEMPTS#", "CTIME", "PTIME", "EXPTIME",
     "LTIME", "RESOURCE$", "AUDIT$", "DEFROLE", "DEFGRP#", "DEFGRP_SEQ#", "ASTATUS", "LCOUNT"},
    {"USER#", "NAME"}};
const SysTable kObj = {
    {"OBJ#", "DATAOBJ#", "OWNER#", "NAME", "NAMESPACE", "SUBNAME", "TYPE#", "CTIME", "MTIME",
     "STIME", "STATUS", "REMOTEOWNER", "LINKNAME", "FLAGS", "OID$", "SPARE1", "SPARE2", "SPARE3"},
    {"OBJ#", "OWNER#", "NAME", "SUBNAME", "TYPE#", "OID$"}};
const SysTable kTab = {
    {"OBJ#", "DATAOBJ#", "TS#", "FILE#", "BLOCK#", "BOBJ#", "TAB#", "COLS", "CLUCOLS", "PCTFREE$",
     "PCTUSED$", "INITRANS", "MAXTRANS", "FLAGS"},
    {"OBJ#", "DATAOBJ#", "TS#", "FILE#", "BLOCK#", "TAB#"}};
// The cluster key of IND$ is BO#, the base table.
const SysTable kInd = {
    {"BO#", "OBJ#", "DATAOBJ#", "TS#", "FILE#", "BLOCK#", "INDMETHOD#", "COLS", "PCTFREE$",
     "INITRANS", "MAXTRANS", "PCTTHRES$", "TYPE#", "FLAGS", "PROPERTY"},
    {"OBJ#", "DATAOBJ#", "TS#", "FILE#", "BLOCK#"}};
const SysTable kCol = {
    {"OBJ#", "COL#", "SEGCOL#", "SEGCOLLENGTH", "OFFSET", "NAME", "TYPE#", "LENGTH",
     "FIXEDSTORAGE", "PRECISION#", "SCALE", "NULL$", "DEFLENGTH", "DEFAULT$", "INTCOL#",
     "PROPERTY", "CHARSETID", "CHARSETFORM", "SPARE1", "SPARE2", "SPARE3"},
    {"OBJ#", "COL#", "SEGCOL#", "NAME", "TYPE#", "LENGTH", "PRECISION#", "SCALE", "NULL$",
     "INTCOL#", "PROPERTY", "CHARSETID", "CHARSETFORM"}};
const std::set<std::string> kSegmentKept = {"OBJ#", "DATAOBJ#", "TS#", "FILE#", "BLOCK#"};
const SysTable kTabPart = {
    {"OBJ#", "DATAOBJ#", "BO#", "PART#", "HIBOUNDLEN", "HIBOUNDVAL", "TS#", "FILE#", "BLOCK#",
     "PCTFREE$", "PCTUSED$", "INITRANS", "MAXTRANS", "FLAGS"},
    kSegmentKept};
const SysTable kIndPart = {
    {"OBJ#", "DATAOBJ#", "BO#", "PART#", "HIBOUNDLEN", "HIBOUNDVAL", "FLAGS", "TS#", "FILE#",
     "BLOCK#", "PCTFREE$", "PCTTHRES$", "INITRANS", "MAXTRANS"},
    kSegmentKept};
const SysTable kTabSubpart = {
    {"OBJ#", "DATAOBJ#", "POBJ#", "SUBPART#", "FLAGS", "TS#", "FILE#", "BLOCK#", "PCTFREE$",
     "PCTUSED$", "INITRANS", "MAXTRANS"},
    kSegmentKept};
const SysTable kIndSubpart = {
    {"OBJ#", "DATAOBJ#", "POBJ#", "SUBPART#", "FLAGS", "TS#", "FILE#", "BLOCK#", "PCTFREE$",
     "PCTTHRES$", "INITRANS", "MAXTRANS"},
    kSegmentKept};
const SysTable kColType = {
    {"OBJ#", "COL#", "INTCOL#", "TOID", "VERSION#", "PACKED", "INTCOLS", "INTCOL#S", "FLAGS",
     "TYPIDCOL#", "SYNOBJ#"},
    {"OBJ#", "COL#", "INTCOL#", "TOID", "VERSION#", "PACKED", "SYNOBJ#"}};

const SysTable kUndo = {
    {"US#", "NAME", "USER#", "FILE#", "BLOCK#", "SCNBAS", "SCNWRP", "XACTSQN", "UNDOSQN", "INST#",
     "STATUS$", "TS#", "UGRP#", "KEEP", "OPTIMAL", "FLAGS"},
    {"US#", "FILE#", "BLOCK#", "STATUS$", "TS#"}};

const SysTable kRecycleBin = {
    {"OBJ#", "OWNER#", "ORIGINAL_NAME", "OPERATION", "TYPE#", "TS#", "FILE#", "BLOCK#",
     "DROPTIME", "DROPSCN", "PARTITION_NAME", "FLAGS", "RELATED", "BO", "PURGEOBJ", "BASE_TS#",
     "BASE_OWNER#", "SPACE", "CON#", "SPARE1", "SPARE2", "SPARE3"},
    {"OBJ#", "OWNER#", "ORIGINAL_NAME", "OPERATION", "TYPE#"}};

// The row in the table's column order; trailing NULL columns are not stored.
StoredRow layRow(const SysTable& t, const Cells& cells) {
  for (const auto& [name, cell] : cells)
    if (std::find(t.columns.begin(), t.columns.end(), name) == t.columns.end()) {
      fprintf(stderr, "system database: no column %s\n", name.c_str());
      abort();
    }
  StoredRow row;
  for (const std::string& c : t.columns) {
    auto it = cells.find(c);
    row.push_back(it != cells.end() ? it->second : Cell{});
  }
  while (!row.empty() && !row.back().value) row.pop_back();
  return row;
}

// What the dictionary file holds for the row: each kept column's text, a
// "," after it unless it is the row's last stored column, a line feed.
std::string expectedLine(const SysTable& t, const StoredRow& row) {
  std::string line;
  for (size_t i = 0; i < row.size(); i++) {
    if (t.kept.count(t.columns[i]) == 0) continue;
    if (row[i].value) line += row[i].text;
    if (i + 1 < row.size()) line += ',';
  }
  return line + "\n";
}

RowValues valuesOf(const StoredRow& row, size_t from = 0) {
  RowValues v;
  for (size_t i = from; i < row.size(); i++) v.push_back(row[i].value);
  return v;
}

// Blocks of an index cluster: key rows in table 0, member rows in the
// other tables, each member pointing at its key row in the same block. A
// key whose members spill over into the next block gets a key row there
// too.
struct ClusterPacker {
  FileImage& file;
  uint32_t objd;
  size_t tableCount;
  uint32_t next;  // the block the current plan becomes
  std::vector<uint32_t> written;
  DataBlockPlan plan;
  std::vector<uint8_t> itlFlags;
  Value key;
  int keyIndex = -1;  // the current key's row in table 0 of this block

  ClusterPacker(FileImage& f, uint32_t o, size_t tables, uint32_t first)
      : file(f), objd(o), tableCount(tables), next(first) {
    reset();
  }
  void reset() {
    plan = DataBlockPlan{};
    plan.objd = objd;
    plan.itlFlags = itlFlags;
    plan.tables.assign(tableCount, {});
    keyIndex = -1;
  }
  bool empty() const {
    for (const auto& t : plan.tables)
      if (!t.empty()) return false;
    return true;
  }
  bool fits() const {
    Block scratch;
    return encodeRowBlock(file, next, plan, scratch) == 0;
  }
  bool flush() {
    if (empty()) return true;
    if (addRowBlock(file, next, plan) != 0) return false;
    written.push_back(next++);
    reset();
    return true;
  }
  void beginKey(const Value& k) {
    key = k;
    keyIndex = -1;
  }
  bool addMember(size_t table, const RowValues& own, uint8_t extraFlags = 0, uint8_t lock = 0) {
    for (int attempt = 0; attempt < 2; attempt++) {
      if (keyIndex < 0 && plan.tables[0].size() >= 255 && !flush()) return false;
      const bool newKey = keyIndex < 0;
      if (newKey) {
        RowPiece k;
        k.flag = kRowK | kRowWhole;
        k.columns = {key};
        plan.tables[0].push_back(k);
        keyIndex = static_cast<int>(plan.tables[0].size() - 1);
      }
      RowPiece m;
      m.flag = kRowC | kRowWhole | extraFlags;
      m.lock = lock;
      m.clusterKeyIndex = static_cast<uint8_t>(keyIndex);
      m.columns = own;
      plan.tables[table].push_back(m);
      if (fits()) return true;
      plan.tables[table].pop_back();
      if (newKey) {
        plan.tables[0].pop_back();
        keyIndex = -1;
      }
      if (empty() || !flush()) return false;
      keyIndex = -1;
    }
    return false;
  }
};

// Data blocks of one heap segment from block first on: the rows packed, or
// one empty data block when there are none. Returns the blocks, empty when
// the rows do not fit.
std::vector<uint32_t> heapBlocks(FileImage& f, uint32_t first, uint32_t objd,
                                 const std::vector<StoredRow>& rows) {
  if (rows.empty()) {
    addDataBlock(f, first, objd, 2);
    return {first};
  }
  std::vector<TableRow> packed;
  for (const StoredRow& r : rows) {
    TableRow t;
    t.values = valuesOf(r);
    packed.push_back(t);
  }
  PackOptions options;
  options.objd = objd;
  return packRows(f, first, packed, options);
}

bool addSegment(FileImage& f, uint32_t header, uint32_t objd, const std::vector<uint32_t>& blocks) {
  if (blocks.empty()) return false;
  const uint32_t first = *std::min_element(blocks.begin(), blocks.end());
  const uint32_t last = *std::max_element(blocks.begin(), blocks.end());
  SegmentPlan s;
  s.type = 16;
  s.block = header;
  s.objd = objd;
  s.extents = {extentAt(f, header, 1), extentAt(f, first, last - first + 1)};
  return addSegmentHeader(f, s) == 0;
}

const DictObjectRow* findObject(const DictionaryRows& rows, uint32_t objId) {
  for (const DictObjectRow& o : rows.objects)
    if (o.objId == objId) return &o;
  return nullptr;
}

// The obj# of the whole table or index a partition belongs to; 0 if none.
uint32_t baseObject(const DictionaryRows& rows, const DictObjectRow& part, uint32_t wholeType) {
  for (const DictObjectRow& o : rows.objects)
    if (o.ownerId == part.ownerId && o.name == part.name && o.subname.empty() &&
        o.type == wholeType)
      return o.objId;
  return 0;
}

// The table an index belongs to: for the top index of an index-organized
// table its name says it (SYS_IOT_TOP_<obj#>); 0 otherwise.
uint32_t indexBase(const DictObjectRow* index) {
  const std::string prefix = "SYS_IOT_TOP_";
  if (index == nullptr || index->name.compare(0, prefix.size(), prefix) != 0) return 0;
  return static_cast<uint32_t>(strtoul(index->name.c_str() + prefix.size(), nullptr, 10));
}

// A row of one of the segment tables and where it goes.
struct SegmentRow {
  const SysTable* table;
  StoredRow row;
};

}  // namespace

std::string columnBucketText(const std::string& columns, int bucket) {
  std::istringstream in(columns);
  std::string line, out;
  while (std::getline(in, line)) {
    if (line.size() <= 9) continue;
    if (strtoul(line.c_str(), nullptr, 10) % 100 == static_cast<unsigned long>(bucket))
      out += line + "\n";
  }
  return out;
}

bool buildSystemDatabase(const DictionaryRows& description, const SystemFileOptions& options,
                         SystemDatabase& out) {
  out = SystemDatabase{};
  FileImage& f = out.file;
  f.path = options.path;
  f.configName = options.configName;
  f.blockSize = options.blockSize;
  f.byteOrder = options.byteOrder;
  f.rfn = f.fileNumber = options.rfn;
  f.tablespace = 0;
  f.tablespaceName = "SYSTEM";
  addFileHeader(f);

  // Segment headers in front, data after them.
  std::map<std::string, uint32_t>& h = out.headers;
  const char* segments[] = {"C_USER#", "OBJ$", "C_OBJ#", "TABPART$", "INDPART$",
                            "TABSUBPART$", "INDSUBPART$", "COLTYPE$", "UNDO$"};
  uint32_t block = 16;
  for (const char* s : segments) h[s] = block++;
  const bool recycleBin = !description.recycleBin.empty();
  if (recycleBin) h["RECYCLEBIN$"] = block++;
  uint32_t next = 32;

  DictionaryRows rows = description;
  bool hasSys = false;
  for (const DictUserRow& u : rows.users) hasSys = hasSys || u.userId == 0;
  if (!hasSys) rows.users.insert(rows.users.begin(), {0, "SYS"});

  // The SYSTEM tables themselves, under SYS.
  struct SysObject {
    uint32_t objId;
    const char* name;
    uint32_t type;
    uint32_t dataObjId;
    const char* segment;
    uint32_t tab;
  };
  const SysObject sysObjects[] = {
      {kSysClusterObjId, "C_OBJ#", 3, kSysClusterObjId, "C_OBJ#", 0},
      {kSysTabObjId, "TAB$", 2, kSysClusterObjId, "C_OBJ#", 1},
      {kSysUserClusterObjId, "C_USER#", 3, kSysUserClusterObjId, "C_USER#", 0},
      {kSysUndoObjId, "UNDO$", 2, kSysUndoObjId, "UNDO$", 0},
      {kSysObjObjId, "OBJ$", 2, kSysObjObjId, "OBJ$", 0},
      {kSysIndObjId, "IND$", 2, kSysClusterObjId, "C_OBJ#", 3},
      {kSysColObjId, "COL$", 2, kSysClusterObjId, "C_OBJ#", 5},
      {kSysUserObjId, "USER$", 2, kSysUserClusterObjId, "C_USER#", 1},
      {kSysColTypeObjId, "COLTYPE$", 2, kSysColTypeObjId, "COLTYPE$", 0},
      {kSysTabPartObjId, "TABPART$", 2, kSysTabPartObjId, "TABPART$", 0},
      {kSysIndPartObjId, "INDPART$", 2, kSysIndPartObjId, "INDPART$", 0},
      {kSysTabSubpartObjId, "TABSUBPART$", 2, kSysTabSubpartObjId, "TABSUBPART$", 0},
      {kSysIndSubpartObjId, "INDSUBPART$", 2, kSysIndSubpartObjId, "INDSUBPART$", 0},
  };
  std::vector<DictObjectRow> objects;
  std::vector<DictTabRow> tabs;
  std::vector<SysObject> sysList(std::begin(sysObjects), std::end(sysObjects));
  if (recycleBin)
    sysList.push_back({kSysRecycleBinObjId, "RECYCLEBIN$", 2, kSysRecycleBinObjId, "RECYCLEBIN$", 0});
  for (const SysObject& s : sysList) {
    objects.push_back({s.objId, 0, s.name, "", s.type, ""});
    if (s.type == 2)
      tabs.push_back({s.objId, s.dataObjId, 0, options.rfn, h[s.segment], s.tab});
  }
  rows.objects.insert(rows.objects.begin(), objects.begin(), objects.end());
  rows.tabs.insert(rows.tabs.begin(), tabs.begin(), tabs.end());

  // Data object id of each object as OBJ$ keeps it.
  std::map<uint32_t, uint32_t> dataObjIds;
  for (const DictTabRow& t : rows.tabs)
    if (t.dataObjId != 0 && dataObjIds.count(t.objId) == 0) dataObjIds[t.objId] = t.dataObjId;
  for (const DictObjectRow& o : rows.objects)
    if (o.type == 3 && dataObjIds.count(o.objId) == 0) dataObjIds[o.objId] = o.objId;
  std::map<uint32_t, uint32_t> columnCounts;
  for (const DictColRow& c : rows.columns) columnCounts[c.objId]++;

  // USER$ in C_USER#: one key per user.
  {
    ClusterPacker p(f, kSysUserClusterObjId, 2, next);
    p.itlFlags = {0, kItlCommitted};  // ITL entry 1 holds an open transaction
    p.reset();
    for (const DictUserRow& u : rows.users) {
      const StoredRow r = layRow(kUser, {{"USER#", num(u.userId)},
                                         {"NAME", chars(u.name)},
                                         {"TYPE#", num(1)},
                                         {"PASSWORD", chars("4A3BA55E08595C81")},
                                         {"DATATS#", num(0)},
                                         {"TEMPTS#", num(0)},
                                         {"CTIME", date(2024, 1, 15)},
                                         {"PTIME", date(2024, 1, 15)},
                                         {"RESOURCE$", num(0)},
                                         {"DEFROLE", num(1)},
                                         {"ASTATUS", num(0)},
                                         {"LCOUNT", num(0)}});
      const bool deleted = options.deletedUsers.count(u.userId) != 0;
      const uint8_t lock = options.uncommittedUsers.count(u.userId) != 0 ? 1 : 0;
      p.beginKey(r[0].value);
      if (!p.addMember(1, valuesOf(r, 1), deleted ? kRowD : 0, lock)) return false;
      if (!deleted) out.expected.users += expectedLine(kUser, r);
    }
    if (!p.flush() || p.written.empty()) return false;
    if (!addSegment(f, h["C_USER#"], kSysUserClusterObjId, p.written)) return false;
    out.dataBlocks["C_USER#"] = p.written;
    next = p.next;
  }

  // OBJ$.
  {
    std::vector<StoredRow> stored;
    for (const DictObjectRow& o : rows.objects) {
      auto d = dataObjIds.find(o.objId);
      const StoredRow r = layRow(
          kObj, {{"OBJ#", num(o.objId)},
                 {"DATAOBJ#", d != dataObjIds.end() ? num(d->second) : Cell{}},
                 {"OWNER#", num(o.ownerId)},
                 {"NAME", chars(o.name)},
                 {"NAMESPACE", num(o.type == 1 || o.type == 20 || o.type == 35 ? 4 : 1)},
                 {"SUBNAME", chars(o.subname)},
                 {"TYPE#", num(o.type)},
                 {"CTIME", date(2024, 2, 1)},
                 {"MTIME", date(2024, 2, 2)},
                 {"STIME", date(2024, 2, 2)},
                 {"STATUS", num(1)},
                 {"FLAGS", num(0)},
                 {"OID$", raw(o.oid)},
                 {"SPARE1", num(6)},
                 {"SPARE2", num(1)},
                 {"SPARE3", num(o.ownerId)}});
      stored.push_back(r);
      out.expected.objects += expectedLine(kObj, r);
    }
    const std::vector<uint32_t> used = heapBlocks(f, next, kSysObjObjId, stored);
    if (!addSegment(f, h["OBJ$"], kSysObjObjId, used)) return false;
    out.dataBlocks["OBJ$"] = used;
    next = *std::max_element(used.begin(), used.end()) + 1;
  }

  // TAB$ rows with a table number go to TAB$, the others by their object's
  // type to IND$ or a partition table.
  std::map<uint32_t, std::vector<StoredRow>> tabByKey, indByKey, colByKey;
  std::vector<StoredRow> tabPart, indPart, tabSubpart, indSubpart;
  std::map<uint32_t, uint32_t> partNumbers;
  for (const DictTabRow& t : rows.tabs) {
    if (t.cluster) {
      const bool clustered = *t.cluster != 0;
      tabByKey[t.objId].push_back(
          layRow(kTab, {{"OBJ#", num(t.objId)},
                        {"DATAOBJ#", nonZero(t.dataObjId)},
                        {"TS#", num(t.tablespace)},
                        {"FILE#", num(t.file)},
                        {"BLOCK#", num(t.block)},
                        {"BOBJ#", clustered ? nonZero(t.dataObjId) : Cell{}},
                        {"TAB#", clustered ? num(*t.cluster) : Cell{}},
                        {"COLS", num(columnCounts[t.objId])},
                        {"CLUCOLS", clustered ? num(1) : Cell{}},
                        {"PCTFREE$", num(10)},
                        {"PCTUSED$", num(40)},
                        {"INITRANS", num(1)},
                        {"MAXTRANS", num(255)},
                        {"FLAGS", num(1)}}));
      continue;
    }
    const DictObjectRow* o = findObject(rows, t.objId);
    const uint32_t type = o ? o->type : 1;
    Cells common = {{"OBJ#", num(t.objId)},    {"DATAOBJ#", nonZero(t.dataObjId)},
                    {"TS#", num(t.tablespace)}, {"FILE#", num(t.file)},
                    {"BLOCK#", num(t.block)},   {"INITRANS", num(1)},
                    {"MAXTRANS", num(255)},     {"PCTFREE$", num(10)}};
    if (type == 19 || type == 20) {
      const uint32_t base = baseObject(rows, *o, type == 19 ? 2 : 1);
      common["BO#"] = num(base);
      common["PART#"] = num(10 * ++partNumbers[base]);
      common["HIBOUNDLEN"] = num(8);
      common["HIBOUNDVAL"] = chars("MAXVALUE");
      common["FLAGS"] = num(0);
      if (type == 19) {
        common["PCTUSED$"] = num(40);
        tabPart.push_back(layRow(kTabPart, common));
      } else {
        indPart.push_back(layRow(kIndPart, common));
      }
    } else if (type == 34 || type == 35) {
      const uint32_t base = baseObject(rows, *o, type == 34 ? 2 : 1);
      common["POBJ#"] = num(base);
      common["SUBPART#"] = num(++partNumbers[base]);
      common["FLAGS"] = num(0);
      if (type == 34) {
        common["PCTUSED$"] = num(40);
        tabSubpart.push_back(layRow(kTabSubpart, common));
      } else {
        indSubpart.push_back(layRow(kIndSubpart, common));
      }
    } else {
      const uint32_t base = indexBase(o);
      common["BO#"] = num(base);
      common["INDMETHOD#"] = num(0);
      common["COLS"] = num(1);
      common["TYPE#"] = num(base != 0 ? 4 : 1);
      common["FLAGS"] = num(0);
      common["PROPERTY"] = num(base != 0 ? 1 : 0);
      indByKey[base].push_back(layRow(kInd, common));
    }
  }
  for (const DictColRow& c : rows.columns)
    colByKey[c.objId].push_back(layRow(kCol, {{"OBJ#", num(c.objId)},
                                              {"COL#", num(c.colId)},
                                              {"SEGCOL#", num(c.segColId)},
                                              {"SEGCOLLENGTH", num(c.length)},
                                              {"OFFSET", num(0)},
                                              {"NAME", chars(c.name)},
                                              {"TYPE#", num(c.type)},
                                              {"LENGTH", num(c.length)},
                                              {"FIXEDSTORAGE", num(0)},
                                              {"PRECISION#", optionalNum(c.precision)},
                                              {"SCALE", optionalNum(c.scale)},
                                              {"NULL$", num(c.nullable)},
                                              {"INTCOL#", num(c.intColId)},
                                              {"PROPERTY", num(c.property)},
                                              {"CHARSETID", num(c.charsetId)},
                                              {"CHARSETFORM", num(c.charsetForm)},
                                              {"SPARE1", num(0)},
                                              {"SPARE3", num(0)}}));

  // C_OBJ#: per key (an obj#, ascending) its TAB$ row, the IND$ rows of its
  // indexes and its COL$ rows.
  {
    std::set<uint32_t> keys;
    for (const auto& [k, v] : tabByKey) keys.insert(k);
    for (const auto& [k, v] : indByKey) keys.insert(k);
    for (const auto& [k, v] : colByKey) keys.insert(k);
    ClusterPacker p(f, kSysClusterObjId, 6, next);
    std::string tabText, indText;
    for (uint32_t k : keys) {
      p.beginKey(num(k).value);
      for (const StoredRow& r : tabByKey[k]) {
        if (!p.addMember(1, valuesOf(r, 1))) return false;
        tabText += expectedLine(kTab, r);
      }
      for (const StoredRow& r : indByKey[k]) {
        if (!p.addMember(3, valuesOf(r, 1))) return false;
        indText += expectedLine(kInd, r);
      }
      for (const StoredRow& r : colByKey[k]) {
        if (!p.addMember(5, valuesOf(r, 1))) return false;
        out.expected.columns += expectedLine(kCol, r);
      }
    }
    if (!p.flush() || p.written.empty()) return false;
    if (!addSegment(f, h["C_OBJ#"], kSysClusterObjId, p.written)) return false;
    out.dataBlocks["C_OBJ#"] = p.written;
    next = p.next;
    out.expected.tabRows = tabText;
    out.expected.tables = tabText + indText;
  }

  // The heap segment tables.
  std::vector<StoredRow> colTypes;
  for (const DictColTypeRow& c : rows.columnTypes)
    colTypes.push_back(layRow(kColType, {{"OBJ#", num(c.objId)},
                                         {"COL#", num(c.colId)},
                                         {"INTCOL#", num(c.intColId)},
                                         {"TOID", raw(c.toid)},
                                         {"VERSION#", num(c.version)},
                                         {"PACKED", num(c.packed)},
                                         {"INTCOLS", num(1)},
                                         {"FLAGS", num(0)},
                                         {"SYNOBJ#", nonZero(c.synObjId)}}));
  std::vector<StoredRow> undo;
  for (const DictUndoRow& u : rows.undoSegments)
    undo.push_back(layRow(kUndo, {{"US#", num(u.usn)},
                                  {"NAME", chars(u.usn == 0 ? "SYSTEM" : "_SYSSMU" + std::to_string(u.usn) + "$")},
                                  {"USER#", num(1)},
                                  {"FILE#", num(u.file)},
                                  {"BLOCK#", num(u.block)},
                                  {"SCNBAS", num(0x80e000 + u.usn)},
                                  {"SCNWRP", num(0)},
                                  {"XACTSQN", num(0x273)},
                                  {"UNDOSQN", num(7)},
                                  {"INST#", num(0)},
                                  {"STATUS$", num(u.status)},
                                  {"TS#", num(u.tablespace)},
                                  {"UGRP#", num(1)},
                                  {"KEEP", num(0)},
                                  {"FLAGS", num(0)}}));
  std::vector<StoredRow> recycled;
  for (const DictRecycleBinRow& r : rows.recycleBin)
    recycled.push_back(layRow(kRecycleBin, {{"OBJ#", num(r.objId)},
                                            {"OWNER#", num(r.ownerId)},
                                            {"ORIGINAL_NAME", chars(r.originalName)},
                                            {"OPERATION", num(r.operation)},
                                            {"TYPE#", num(r.type)},
                                            {"TS#", num(r.tablespace)},
                                            {"FILE#", num(r.file)},
                                            {"BLOCK#", num(r.block)},
                                            {"DROPTIME", date(2024, 3, 1)},
                                            {"DROPSCN", num(0x81000 + r.objId)},
                                            {"FLAGS", num(30)},
                                            {"RELATED", num(r.objId)},
                                            {"BO", num(r.objId)},
                                            {"PURGEOBJ", num(r.objId)},
                                            {"BASE_TS#", num(r.tablespace)},
                                            {"BASE_OWNER#", num(r.ownerId)},
                                            {"SPACE", num(8)}}));
  struct Heap {
    const char* segment;
    uint32_t objd;
    const SysTable* table;
    const std::vector<StoredRow>* rows;
    std::string* text;
  };
  const Heap heaps[] = {
      {"TABPART$", kSysTabPartObjId, &kTabPart, &tabPart, &out.expected.tables},
      {"INDPART$", kSysIndPartObjId, &kIndPart, &indPart, &out.expected.tables},
      {"TABSUBPART$", kSysTabSubpartObjId, &kTabSubpart, &tabSubpart, &out.expected.tables},
      {"INDSUBPART$", kSysIndSubpartObjId, &kIndSubpart, &indSubpart, &out.expected.tables},
      {"COLTYPE$", kSysColTypeObjId, &kColType, &colTypes, &out.expected.columnTypes},
      {"UNDO$", kSysUndoObjId, &kUndo, &undo, &out.expected.undo},
  };
  std::vector<Heap> heapList(std::begin(heaps), std::end(heaps));
  if (recycleBin)
    heapList.push_back({"RECYCLEBIN$", kSysRecycleBinObjId, &kRecycleBin, &recycled,
                        &out.expected.recycleBin});
  for (const Heap& heap : heapList) {
    const std::vector<uint32_t> used = heapBlocks(f, next, heap.objd, *heap.rows);
    if (!addSegment(f, h[heap.segment], heap.objd, used)) return false;
    out.dataBlocks[heap.segment] = used;
    next = *std::max_element(used.begin(), used.end()) + 1;
    for (const StoredRow& r : *heap.rows) *heap.text += expectedLine(*heap.table, r);
  }
  // The undo segment list puts ts# before status$, unlike UNDO$ itself.
  out.expected.undo.clear();
  for (const DictUndoRow& u : rows.undoSegments) out.expected.undo += dictUndoLine(u, true);

  f.blocks = next + 8;
  out.rows = rows;
  return true;
}

}  // namespace mkdb
