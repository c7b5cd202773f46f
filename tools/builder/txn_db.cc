#include "tools/builder/txn_db.h"

#include "tools/builder/index_builder.h"
#include "tools/builder/oracle_values.h"
#include "tools/builder/row_builder.h"
#include "tools/builder/undo_builder.h"

namespace mkdb {

namespace {

constexpr uint16_t kTxnFile = 4;
constexpr uint32_t kTxnTablespace = 4;
constexpr uint32_t kUndoTablespace = 2;
constexpr uint32_t kTxnObjId = 74100;
constexpr uint32_t kSegmentBlock = 16;
constexpr uint32_t kDataBlock = 17;
// TXN_IOT: the same rows, index-organized (segment header, root, one leaf).
constexpr uint32_t kIotObjId = 74102;
constexpr uint32_t kIotSegmentBlock = 20;
// Undo segment 1: type 14 header and an undo block of its own; segment 3:
// type 38 header and its undo block; segment 2 is listed at a block that
// holds no header.
constexpr uint32_t kUndo1Header = 30, kUndo1Block = 31;
constexpr uint32_t kUndo3Header = 32, kUndo3Block = 33;
constexpr uint32_t kUndo2Missing = 34;
constexpr uint32_t kUndo0Header = 36, kUndo0Block = 37;  // the SYSTEM undo segment
constexpr uint8_t kSlotCommitted = 9, kSlotActive = 10;

// ITL entry of each locked fate: lock byte = entry + 1.
uint8_t lockOf(RowFate fate) {
  switch (fate) {
    case RowFate::kClean: return 1;
    case RowFate::kDelayed: return 2;
    case RowFate::kActive: return 3;
    case RowFate::kReused: return 4;
    case RowFate::kLost: return 5;
    case RowFate::kOlder: return 6;
    case RowFate::kNoTransaction: return 7;
    default: return 0;
  }
}

UndoSlot slot(uint16_t wrap, uint8_t state, uint32_t scn) {
  UndoSlot s;
  s.wrap = wrap;
  s.state = state;
  s.scnBase = scn;
  return s;
}

// tclBlock: where the transaction control's UBA points (0: nowhere); the
// high-water mark always names the segment's undo block.
void addUndoSegment(FileImage& f, uint8_t type, uint32_t header, uint32_t undoBlock, uint16_t usn,
                    uint32_t tclBlock, const std::vector<std::pair<uint32_t, UndoSlot>>& slots) {
  UndoHeaderPlan h;
  h.type = type;
  h.offset = 2000;
  h.extentsTotal = 1;
  h.blocks = 8;
  h.extents.push_back(extentAt(f, header, 8));
  if (type == 38) h.timestamps.push_back(0x5F000000u + usn);
  h.hwmAddress = blockAddress(f, undoBlock);
  h.hwmBlock = undoBlock - header;
  h.hwmExtentSize = 8;
  h.tclUbaBlock = tclBlock != 0 ? blockAddress(f, tclBlock) : 0;
  h.tclUbaSequence = 1;
  const uint32_t count = type == 14 ? 98 : 34;
  for (uint32_t k = 0; k < count; k++) h.slots.push_back(slot(1, kSlotCommitted, 0x1000 + k));
  for (const auto& s : slots) h.slots[s.first] = s.second;
  addUndoHeader(f, header, h);
  UndoBlockPlan b;
  b.xidUsn = usn;
  b.xidSlotWord = 1;
  b.xidWrap = 1;
  b.sequence = 1;
  b.recordLengths = {40};
  addUndoBlock(f, undoBlock, b);
}

}  // namespace

bool txnRowCommitted(RowFate fate) {
  return fate == RowFate::kUnlocked || fate == RowFate::kClean || fate == RowFate::kDelayed ||
         fate == RowFate::kReused;
}

TxnDatabase buildTxnDatabase(const std::string& dir, uint8_t byteOrder) {
  TxnDatabase db;
  FileImage& f = db.file;
  f.path = dir.empty() ? "txn01.dbf" : dir + "/txn01.dbf";
  f.configName = "txn01.dbf";
  f.byteOrder = byteOrder;
  f.rfn = kTxnFile;
  f.fileNumber = kTxnFile;
  f.tablespace = static_cast<int32_t>(kTxnTablespace);
  f.blocks = 64;
  addFileHeader(f);

  db.rows = {{"1", "plain", RowFate::kUnlocked},     {"2", "clean a", RowFate::kClean},
             {"3", "delayed a", RowFate::kDelayed},  {"4", "active a", RowFate::kActive},
             {"5", "reused a", RowFate::kReused},    {"6", "lost a", RowFate::kLost},
             {"7", "older a", RowFate::kOlder},      {"8", "delayed b", RowFate::kDelayed},
             {"9", "clean b", RowFate::kClean},      {"10", "lost b", RowFate::kLost},
             {"11", "no transaction", RowFate::kNoTransaction}};
  std::vector<TableRow> rows;
  for (const TxnRow& r : db.rows) {
    TableRow t;
    OracleBytes id;
    encodeOracleNumber(r.id, id);
    t.values = {id, OracleBytes(r.note.begin(), r.note.end())};
    t.lock = lockOf(r.fate);
    rows.push_back(t);
  }
  PackOptions options;
  options.objd = kTxnObjId;
  options.itls = 7;
  options.itlFlags = {kItlCommitted, 0, 0, 0, 0, 0, 0};
  options.itlXids = {{1, 0, 1}, {1, 3, 0x273}, {1, 4, 0x10}, {3, 2, 0x20}, {2, 1, 5}, {1, 6, 0x30}, {0, 0, 0}};
  for (TxnRow& r : db.rows)
    if (lockOf(r.fate) != 0) r.usn = options.itlXids[lockOf(r.fate) - 1u].usn;
  packRows(f, kDataBlock, rows, options);

  std::vector<IotRow> iotRows;
  for (const TableRow& t : rows) {
    IotRow r;
    r.values = t.values;
    r.lock = t.lock;
    iotRows.push_back(r);
  }
  IotOptions iot;
  iot.objd = kIotObjId + 1;
  iot.itls = options.itls;
  iot.itlFlags = options.itlFlags;
  iot.itlXids = options.itlXids;
  packIndexOrganized(f, kIotSegmentBlock + 1, iotRows, iot);
  SegmentPlan iotSegment;
  iotSegment.block = kIotSegmentBlock;
  iotSegment.objd = iot.objd;
  iotSegment.extents.push_back(extentAt(f, kIotSegmentBlock, 3));
  addSegmentHeader(f, iotSegment);

  SegmentPlan s;
  s.block = kSegmentBlock;
  s.objd = kTxnObjId;
  s.extents.push_back(extentAt(f, kSegmentBlock, 2));
  addSegmentHeader(f, s);
  db.dataObjId = kTxnObjId;
  db.segmentHeader = kSegmentBlock;
  db.dataBlock = kDataBlock;

  // Segment 1: its control points at the data block, not an undo block; the
  // last undo block of slot 3 is its own. Segment 3: only the high-water
  // mark leads to its undo block.
  UndoSlot delayed = slot(0x273, kSlotCommitted, 0x0080e5e1);
  delayed.lastBlock = blockAddress(f, kUndo1Block);
  addUndoSegment(f, 14, kUndo1Header, kUndo1Block, 1, kDataBlock,
                 {{0, slot(1, kSlotCommitted, 0x2000)},
                  {3, delayed},
                  {4, slot(0x10, kSlotActive, 0)},
                  {6, slot(0x2f, kSlotCommitted, 0x3000)}});
  addUndoSegment(f, 38, kUndo3Header, kUndo3Block, 3, 0, {{2, slot(0x21, kSlotActive, 0)}});
  addUndoSegment(f, 14, kUndo0Header, kUndo0Block, 0, kUndo0Block, {{0, slot(0, kSlotCommitted, 0x100)}});
  db.undoHeaders = {kUndo0Header, kUndo1Header, kUndo3Header};

  DictionaryRows& d = db.dictionary;
  addDictUser(d, "SYS");
  addDictUser(d, "SCOTT");
  DictColumnSpec id;
  id.name = "ID";
  id.type = 2;
  id.length = 22;
  DictColumnSpec note;
  note.name = "NOTE";
  note.type = 1;
  note.length = 20;
  note.charsetId = 1;
  note.charsetForm = 1;
  DictStorage st;
  st.dataObjId = kTxnObjId;
  st.tablespace = kTxnTablespace;
  st.file = kTxnFile;
  st.block = kSegmentBlock;
  addDictTable(d, "SCOTT", "TXN_ROWS", st, {id, note}, kTxnObjId);
  addDictTable(d, "SCOTT", "TXN_IOT", DictStorage{}, {id, note}, kIotObjId);
  d.objects.push_back({iot.objd, addDictUser(d, "SCOTT"), "SYS_IOT_TOP_" + std::to_string(kIotObjId), "", 1, ""});
  d.tabs.push_back({iot.objd, iot.objd, kTxnTablespace, kTxnFile, kIotSegmentBlock, std::nullopt});
  d.undoSegments = {{0, kTxnFile, kUndo0Header, 0, 3},
                    {1, kTxnFile, kUndo1Header, kUndoTablespace, 3},
                    {2, kTxnFile, kUndo2Missing, kUndoTablespace, 3},
                    {3, kTxnFile, kUndo3Header, kUndoTablespace, 3}};
  return db;
}

int writeTxnDatabase(const TxnDatabase& db, const std::string& dir, const std::string& config) {
  if (writeDataFile(db.file) != 0) return 1;
  const std::string prefix = dir.empty() ? "" : dir + "/";
  if (writeConfigFile(prefix + config, {db.file}) != 0) return 1;
  return writeDictionaryFiles(prefix + "ZUTDICT", db.dictionary) ? 0 : 1;
}

}  // namespace mkdb
