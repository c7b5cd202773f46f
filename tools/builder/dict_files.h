// Dictionary text files for the tables the builder makes: the rows of USER$,
// OBJ$, TAB$ (with IND$ and partition rows appended), COL$ and COLTYPE$ as the
// dictionary build writes them from SYSTEM, one comma-separated line per row,
// plus the 100 column bucket files split by obj# modulo 100. Written from the
// file layout alone, without the tool's parsers, so that the two check each
// other.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mkdb {

struct DictUserRow {
  uint32_t userId = 0;
  std::string name;
};

struct DictObjectRow {
  uint32_t objId = 0;
  uint32_t ownerId = 0;
  std::string name;
  std::string subname;  // partition or subpartition name, empty for a whole object
  uint32_t type = 2;    // OBJ$ TYPE#
  std::string oid;      // upper-case hexadecimal, empty for none
};

struct DictTabRow {
  uint32_t objId = 0;
  uint32_t dataObjId = 0;  // 0 is written as an empty field (no segment)
  uint32_t tablespace = 0;
  uint32_t file = 0;
  uint32_t block = 0;
  std::optional<uint32_t> cluster = 0;  // none: an IND$/partition row (5 fields)
};

struct DictColRow {
  uint32_t objId = 0;
  uint32_t colId = 0;
  uint32_t segColId = 0;
  std::string name;
  uint32_t type = 0;
  uint32_t length = 0;
  std::optional<int32_t> precision;  // none: NULL (empty field)
  std::optional<int32_t> scale;
  uint32_t nullable = 0;  // null$
  uint32_t intColId = 0;
  uint32_t property = 0;
  uint32_t charsetId = 0;
  uint32_t charsetForm = 0;
};

struct DictColTypeRow {
  uint32_t objId = 0;
  uint32_t colId = 0;
  uint32_t intColId = 0;
  std::string toid;
  uint32_t version = 1;
  uint32_t packed = 0;
  uint32_t synObjId = 0;  // 0 is written as an empty field
};

// One undo segment (UNDO$): its number, where its header lies, its
// tablespace and status. Its line in ZUTUNDO.TXT: us#, file#, block#, ts#,
// status$.
struct DictUndoRow {
  uint32_t usn = 0;
  uint32_t file = 0;
  uint32_t block = 0;
  uint32_t tablespace = 0;
  uint32_t status = 3;
};

// One row of SYS.RECYCLEBIN$: a dropped object kept under its BIN$ name
// (obj# still in OBJ$), its owner, the name it had, the operation (0 DROP)
// and its type# (1 TABLE); its line in ZUTRCB.TXT keeps these five columns
// in RECYCLEBIN$ order.
struct DictRecycleBinRow {
  uint32_t objId = 0;
  uint32_t ownerId = 0;
  std::string originalName;
  uint32_t operation = 0;
  uint32_t type = 1;
  uint32_t tablespace = 0;
  uint32_t file = 0;
  uint32_t block = 0;
};

// The rows of one dictionary, in file order.
struct DictionaryRows {
  std::vector<DictUserRow> users;
  std::vector<DictObjectRow> objects;
  std::vector<DictTabRow> tabs;
  std::vector<DictColRow> columns;
  std::vector<DictColTypeRow> columnTypes;
  std::vector<DictUndoRow> undoSegments;  // ZUTUNDO.TXT, written when not empty
  // RECYCLEBIN$ rows; the SYSTEM builder stores the table only when there
  // are some.
  std::vector<DictRecycleBinRow> recycleBin;
  // Lines end with "," as the row printer writes them when more columns of
  // the SYSTEM row follow the last one kept.
  bool trailingSeparator = true;
};

// One line each, line feed included.
std::string dictUserLine(const DictUserRow& r, bool trailing = true);
std::string dictObjectLine(const DictObjectRow& r, bool trailing = true);
std::string dictTabLine(const DictTabRow& r, bool trailing = true);
std::string dictColumnLine(const DictColRow& r, bool trailing = true);
std::string dictColumnTypeLine(const DictColTypeRow& r, bool trailing = true);
std::string dictUndoLine(const DictUndoRow& r, bool trailing = true);

// Writes ZUTUSR.TXT, ZUTOBJ.TXT, ZUTTAB.TXT, ZUTCOL.TXT, ZUTTYP.TXT and
// ZUTCOLMAP00.TXT .. ZUTCOLMAP99.TXT into dir (created when missing).
// Returns false when a file cannot be written.
bool writeDictionaryFiles(const std::string& dir, const DictionaryRows& rows);

// A column of a table being described, in col# order.
struct DictColumnSpec {
  std::string name;
  uint32_t type = 1;
  uint32_t length = 0;
  std::optional<int32_t> precision;
  std::optional<int32_t> scale;
  bool notNull = false;
  uint32_t charsetId = 0;
  uint32_t charsetForm = 0;
  bool stored = true;  // false: no storage of its own (segcol# 0)
};

// Where a table's segment header lies.
struct DictStorage {
  uint32_t dataObjId = 0;
  uint32_t tablespace = 0;
  uint32_t file = 0;
  uint32_t block = 0;
  uint32_t cluster = 0;
};

// Adds a user (when no user of that name is there yet) and returns its user#.
uint32_t addDictUser(DictionaryRows& rows, const std::string& name);
// Adds a table object, its TAB$ row and its columns (col#, intcol# and segcol#
// numbered in order, segcol# skipping columns without storage). objId 0
// takes the next free obj#. Returns the table's obj#.
uint32_t addDictTable(DictionaryRows& rows, const std::string& owner, const std::string& name,
                      const DictStorage& storage, const std::vector<DictColumnSpec>& columns,
                      uint32_t objId = 0);
// Adds a partition (type 19) or subpartition (type 34) of an existing table
// with its own TAB$ row (appended, 5 fields). Returns its obj#.
uint32_t addDictPartition(DictionaryRows& rows, const std::string& owner,
                          const std::string& table, const std::string& partition,
                          const DictStorage& storage, uint32_t type = 19, uint32_t objId = 0);

}  // namespace mkdb
