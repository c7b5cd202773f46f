// A SYSTEM tablespace data file for the dictionary build: the rows of a
// dictionary description (users, objects, tables, columns, column types)
// stored in the Oracle tables they come from, in Oracle's layout:
//
//   C_USER#  cluster, objd 10: table 0 the key USER#, table 1 USER$
//   OBJ$     heap, objd 18
//   C_OBJ#   cluster, objd 2: table 0 the key, 1 TAB$ (key OBJ#), 2 CLU$
//            (empty), 3 IND$ (key BO#), 4 ICOL$ (empty), 5 COL$ (key OBJ#)
//   TABPART$, INDPART$, TABSUBPART$, INDSUBPART$, COLTYPE$, UNDO$   heaps
//   RECYCLEBIN$   heap, only when the description has recycle bin rows
//
// each with a segment header and an extent map. The SYSTEM tables have OBJ$
// and TAB$ rows of their own under SYS (user 0), so the follow-on tables
// can be found by name. Each row carries the real column order of its table
// (past the last column the dictionary keeps), so the row positions the
// dictionary readers print are checked against Oracle's layout.
//
// Alongside the file the builder gives the text each dictionary file must
// hold after UNLOAD TABLE DICT$: the kept columns of every row in storage
// order, "," between them and after the last one when more columns are
// stored, a line feed after each row.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/builder/datafile_builder.h"
#include "tools/builder/dict_files.h"

namespace mkdb {

// Object ids of the SYSTEM tables (data object id = object id).
constexpr uint32_t kSysClusterObjId = 2;      // C_OBJ#
constexpr uint32_t kSysTabObjId = 4;          // TAB$
constexpr uint32_t kSysUserClusterObjId = 10; // C_USER#
constexpr uint32_t kSysUndoObjId = 15;        // UNDO$
constexpr uint32_t kSysObjObjId = 18;         // OBJ$
constexpr uint32_t kSysIndObjId = 19;         // IND$
constexpr uint32_t kSysColObjId = 21;         // COL$
constexpr uint32_t kSysUserObjId = 22;        // USER$
constexpr uint32_t kSysColTypeObjId = 280;    // COLTYPE$
constexpr uint32_t kSysTabPartObjId = 566;    // TABPART$
constexpr uint32_t kSysIndPartObjId = 571;    // INDPART$
constexpr uint32_t kSysTabSubpartObjId = 579; // TABSUBPART$
constexpr uint32_t kSysIndSubpartObjId = 583; // INDSUBPART$
constexpr uint32_t kSysRecycleBinObjId = 496; // RECYCLEBIN$ (only with recycle bin rows)

struct SystemFileOptions {
  std::string path = "system01.dbf";
  std::string configName;  // name in the configuration file; path when empty
  uint32_t blockSize = 8192;
  uint8_t byteOrder = kLittle;
  uint16_t rfn = 1;
  // USER$ rows stored marked deleted, and rows locked by a transaction that
  // has not committed (ITL entry 1, flag 0), by user#.
  std::set<uint32_t> deletedUsers;
  std::set<uint32_t> uncommittedUsers;
};

// The dictionary files as the build must write them.
struct ExpectedDictionary {
  std::string users;        // ZUTUSR.TXT (deleted USER$ rows left out)
  std::string objects;      // ZUTOBJ.TXT
  std::string tables;       // ZUTTAB.TXT: TAB$, then IND$ and the partition tables
  std::string tabRows;      // the TAB$ lines alone, the start of tables
  std::string columns;      // ZUTCOL.TXT
  std::string columnTypes;  // ZUTTYP.TXT
  std::string undo;         // ZUTUNDO.TXT: the UNDO$ rows
  std::string recycleBin;   // ZUTRCB.TXT: the RECYCLEBIN$ rows (empty without them)
};

struct SystemDatabase {
  FileImage file;
  DictionaryRows rows;  // the description plus SYS and the SYSTEM tables
  // Segment header block of each segment: "C_OBJ#", "C_USER#", "OBJ$",
  // "TABPART$", "INDPART$", "TABSUBPART$", "INDSUBPART$", "COLTYPE$", "UNDO$"
  // (and "RECYCLEBIN$" when there are recycle bin rows).
  std::map<std::string, uint32_t> headers;
  // The data blocks of each segment, in order.
  std::map<std::string, std::vector<uint32_t>> dataBlocks;
  ExpectedDictionary expected;
};

// Builds the SYSTEM file image for the description. User 0 is SYS (added
// when the description has no user 0). TAB$ rows with a table number go to
// TAB$; rows without one go by their object's type# to IND$ (1), TABPART$
// (19), INDPART$ (20), TABSUBPART$ (34) or INDSUBPART$ (35). The undo
// segments of the description are the rows of UNDO$. Returns false
// when the rows do not fit the blocks.
bool buildSystemDatabase(const DictionaryRows& description, const SystemFileOptions& options,
                         SystemDatabase& out);

// The lines of a ZUTCOL.TXT text whose obj# modulo 100 is bucket, in order.
std::string columnBucketText(const std::string& columns, int bucket);

}  // namespace mkdb
