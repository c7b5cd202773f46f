// A small database whose one table has rows under every kind of ITL entry a
// committed-only unload meets, with the undo segment headers that answer for
// them. One data file (relative file 4) holds the table TXN_ROWS (segment
// header and one data block) and the undo segment headers; ZUTDICT describes
// the table and lists the undo segments (ZUTUNDO.TXT).
//
// The ITL entries of the data block, and what their undo slot says:
//   clean       commit flag set                         kept without asking
//   delayed     no flag; slot has the same wrap, state 9    committed
//   active      no flag; slot has the same wrap, state 10   open
//   reused      no flag; slot wrap greater (type 38 header) committed
//   lost        no flag; its undo segment's header is not there
//   older       no flag; slot wrap smaller than the entry's
//   no transaction  no flag and an all-zero XID (slot 0 of the SYSTEM undo
//               segment, which does have a header, has wrap 0 and state 9)
// and some rows are not locked at all. The index-organized TXN_IOT holds the
// same rows under the same ITL entries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/builder/datafile_builder.h"
#include "tools/builder/dict_files.h"

namespace mkdb {

enum class RowFate : uint8_t { kUnlocked, kClean, kDelayed, kActive, kReused, kLost, kOlder, kNoTransaction };

struct TxnRow {
  std::string id;     // NUMBER, as the tool writes it
  std::string note;   // VARCHAR2
  RowFate fate = RowFate::kUnlocked;
  uint16_t usn = 0;   // undo segment of its ITL entry's transaction (locked rows)
};

struct TxnDatabase {
  FileImage file;
  DictionaryRows dictionary;
  std::vector<TxnRow> rows;         // in slot order
  uint32_t dataObjId = 0;
  uint32_t segmentHeader = 0;
  uint32_t dataBlock = 0;
  std::vector<uint32_t> undoHeaders;  // blocks of the undo segment headers written
};

// True for the rows a committed-only unload must write.
bool txnRowCommitted(RowFate fate);

TxnDatabase buildTxnDatabase(const std::string& dir, uint8_t byteOrder);
// Writes the data file, dir/config and dir/ZUTDICT. 0, or 1 on a failed write.
int writeTxnDatabase(const TxnDatabase& db, const std::string& dir, const std::string& config);

}  // namespace mkdb
