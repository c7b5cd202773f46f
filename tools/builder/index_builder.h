// Index-organized tables for the synthetic database builder: index blocks
// (block type 6, transaction-layer type 2) written from the on-disk index
// layout, never through the tool's decoders.
//
// Two levels:
//   - addIndexBlock lays out one leaf or branch block from an explicit plan:
//     header fields, leaf rows with any flags, lock bytes, key columns, an
//     optional non-key part (its own flag, next piece address and columns)
//     and raw (possibly damaged) row bytes;
//   - packIndexOrganized lays out a whole table: a branch (root) block,
//     leaf blocks, and overflow data blocks (of another data object id) for
//     the non-key columns that do not stay in the leaf, a column split
//     between the leaf and its overflow piece when asked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/builder/datafile_builder.h"
#include "tools/builder/row_builder.h"

namespace mkdb {

// Leaf row flags.
constexpr uint8_t kIndexDeleted = 0x01;
constexpr uint8_t kIndexNonKey = 0x04;
constexpr uint8_t kIndexOpcodeIot = 0x10;

// One leaf row as stored. kIndexNonKey is set in the stored flag when the row
// has a non-key part.
struct IndexRow {
  uint8_t flag = 0;                  // kIndexDeleted and any other bits
  uint8_t lock = 0;                  // ITL entry + 1; 0 unlocked
  std::vector<uint8_t> prefix;       // the kdxledsz bytes before the key
  std::vector<Value> key;            // stored whatever the block's key count says
  bool hasNonKey = false;
  RowPiece nonKey;                   // flag, lock, next (when L is clear), columns
  std::vector<uint8_t> raw;          // when set: the stored bytes, as given
};

struct IndexBlockPlan {
  uint32_t objd = 0;
  uint8_t itls = 2;
  std::vector<uint8_t> itlFlags;     // flag nibble per ITL entry; missing: committed
  std::vector<ItlXid> itlXids;       // XID per ITL entry; missing: all zero
  bool headerShift = true;
  uint8_t level = 0;                 // 0 leaf, else branch
  uint8_t opcode = kIndexOpcodeIot;
  uint8_t keyColumns = 1;            // kdxconco
  uint8_t prefixSize = 0;            // kdxledsz (leaf)
  uint32_t next = 0, previous = 0;   // kdxlenxt, kdxleprv (leaf)
  uint32_t leftmostChild = 0;        // kdxbrlmc (branch)
  std::vector<IndexRow> rows;        // leaf rows
  // Branch rows: child block address and the separator key.
  std::vector<std::pair<uint32_t, OracleBytes>> children;
  int32_t rowCountOverride = -1;     // kdxconro as stored when not -1
};

// Stored bytes of one leaf row.
std::vector<uint8_t> encodeIndexRow(const IndexRow& row, uint8_t byteOrder);

// Lays out an index block as block `block` of the file. Rows go from the end
// of the block downward, in directory order. Returns 0, or 1 when they do not
// fit (nothing is added then).
int addIndexBlock(FileImage& f, uint32_t block, const IndexBlockPlan& plan);
int encodeIndexBlock(const FileImage& f, uint32_t block, const IndexBlockPlan& plan, Block& out);

// ---- a whole index-organized table ----

struct IotRow {
  RowValues values;                  // key columns first
  bool deleted = false;
  uint8_t lock = 0;
  // Columns from this index on go to the overflow segment (when any of them
  // is not NULL); values.size() or more keeps the row in the leaf.
  size_t overflowFrom = SIZE_MAX;
  // The column at overflowFrom − 1 is split: its first splitAt bytes stay in
  // the leaf (flag N there, P on the overflow piece). 0: no split.
  size_t splitAt = 0;
};

struct IotOptions {
  uint32_t objd = 0;                 // index segment
  uint32_t overflowObjd = 0;         // overflow segment
  uint8_t keyColumns = 1;
  uint8_t prefixSize = 0;
  uint8_t itls = 2;
  std::vector<uint8_t> itlFlags;     // of every block written; missing: committed
  std::vector<ItlXid> itlXids;
  bool headerShift = true;
  size_t rowsPerLeaf = 0;            // 0: as many as fit
};

struct IotLayout {
  uint32_t root = 0;                 // branch block
  std::vector<uint32_t> leaves;
  std::vector<uint32_t> overflow;    // overflow data blocks
  // Per row, in input order: its leaf, then its overflow block if it has one.
  std::vector<std::vector<uint32_t>> rowBlocks;
};

// Writes the branch block at firstBlock, the leaves after it and then the
// overflow blocks. Trailing NULL non-key columns are not stored. Returns the
// layout; leaves is empty when a row cannot be placed.
IotLayout packIndexOrganized(FileImage& f, uint32_t firstBlock, const std::vector<IotRow>& rows,
                             const IotOptions& options);

}  // namespace mkdb
