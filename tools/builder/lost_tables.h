// A SYSTEM data file holding the three ways a table gets lost, for SCAN
// ORPHANS, UNLOAD TABLE ... TRUNCATED, the recycle bin and UNLOAD OBJECT
// ... LIKE. The dictionary (built by buildSystemDatabase, RECYCLEBIN$
// included) and the user segments share the one file:
//
//   SCOTT.STAFF     truncated after rows were written: TAB$ carries the new
//                   data object id; the segment header (the same block) and
//                   the first data blocks, reused by the new segment, carry
//                   it too and hold the new rows; the other old data blocks
//                   still carry the old data object id and the old rows.
//   SCOTT.BIN$...   DEPT_HIST dropped into the recycle bin: renamed in OBJ$,
//                   its RECYCLEBIN$ row keeps the original name; its segment
//                   is untouched.
//   ORDERS          dropped with PURGE: no OBJ$, TAB$ or COL$ row, only its
//                   blocks; then created again, empty, with the same columns
//                   (the table SCAN ORPHANS should name for the old blocks).
//   SCOTT.STAFF_ARCHIVE  STAFF's columns and one more, no segment: a second,
//                   weaker candidate for the old STAFF blocks.
//
// Each row's values come as the text an unload writes, one string per
// column (DATE as YYYY-MM-DD HH24:MI:SS... see dateText).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/builder/system_db.h"

namespace mkdb {

struct LostTablesOptions {
  std::string path = "system01.dbf";
  std::string configName;
  uint8_t byteOrder = kLittle;
  uint32_t blockSize = 8192;
  uint16_t rfn = 1;
};

using TextRow = std::vector<std::string>;

struct LostTablesDatabase {
  SystemDatabase sys;  // sys.file holds the user segments too
  std::string owner = "SCOTT";

  // The truncated table.
  std::string truncatedTable = "STAFF";
  uint32_t truncatedObjId = 0;
  uint32_t oldDataObjId = 0;  // before TRUNCATE
  uint32_t newDataObjId = 0;  // TAB$ now
  std::vector<TextRow> oldRows;        // every row written before TRUNCATE
  std::vector<TextRow> survivingRows;  // those in old blocks that were not reused
  std::vector<TextRow> newRows;        // written after TRUNCATE
  std::vector<uint32_t> oldBlocks;     // data blocks of the old segment
  std::vector<uint32_t> reusedBlocks;  // of those, the ones the new segment took

  // The recycle bin table.
  std::string binName = "BIN$Hq3v5Kx9Tq2dH8wZ+pE0Ag==$0";
  std::string originalName = "DEPT_HIST";
  uint32_t binObjId = 0;
  std::vector<TextRow> binRows;

  // The purged table and its empty successor of the same columns.
  std::string purgedTable = "ORDERS";
  uint32_t purgedDataObjId = 0;
  uint32_t recreatedObjId = 0;
  std::vector<TextRow> purgedRows;
};

// Text of a DATE as the unload writes it by default.
std::string dateText(int year, int month, int day);

// Builds the file image (not written). False when something does not fit.
bool buildLostTablesDatabase(const LostTablesOptions& options, LostTablesDatabase& out);

}  // namespace mkdb
