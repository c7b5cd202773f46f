#include "dump/table_listing.h"

#include <algorithm>
#include <vector>

#include "datafile/block_reader.h"
#include "dict/guess_table.h"
#include "format/block_layout.h"
#include "format/data_layout.h"
#include "format/index_layout.h"
#include "rows/row_walk.h"
#include "scan/extent_scan.h"
#include "unload/unload_drivers.h"
#include "values/guess_field.h"

namespace {

// Objects listed at most, and the most the done list keeps.
constexpr size_t kMaxListedObjects = 1683;
constexpr size_t kMaxDoneObjects = 16384;

std::vector<OraExtent> readExtentList(FILE* f) {
  std::vector<OraExtent> list;
  OraExtent e;
  while (readORAEXTENT(f, e)) list.push_back(e);
  return list;
}

bool readWhole(SessionContext& copy, uint16_t file, uint32_t block) {
  return readBlock(copy.fileSet, copy, file, block) == copy.blockSize;
}

// The tables of the block in copy that hold rows of objd: table 0 of a
// block with one table, else tables 1 and on (table 0 of a cluster block
// holds the cluster keys); an index block counts as one table.
std::vector<int> tablesWithRows(const SessionContext& copy, uint32_t objd) {
  std::vector<int> tables;
  if (getBlockType(copy) != kBlockTypeData || getDataObjectID(copy) != objd) return tables;
  const uint8_t layer = getDataType(copy);
  if (layer == kDataTypeIndex) {
    if (getIndexRowCount(copy) != 0) tables.push_back(0);
    return tables;
  }
  if (layer != kDataTypeTable) return tables;
  const int n = getTableCount(copy);
  for (int t = n == 1 ? 0 : 1; t < n; t++)
    if (getTableRowCount(copy, static_cast<uint32_t>(t)) != 0) tables.push_back(t);
  return tables;
}

// Samples one table of objd over every extent of the object and prints its
// object line and UNLOAD command. False when the table has no live row in
// the block the search found (then nothing is printed).
bool listOneTable(FILE* out, SessionContext& copy, const std::vector<OraExtent>& list,
                  const OraExtent& found, uint32_t foundBlock, int table, int cluster,
                  std::vector<uint32_t>& done) {
  ColumnStats& stats = *copy.columnStats;
  resetColumnStats(stats);
  stats.objd = found.objd;
  // Each table is sampled from an empty counter: the row decoders stop
  // once it reaches GUESS_SIZE.
  copy.rowsUnloaded = 0;
  copy.rowOutputMode = 1;
  if (!readWhole(copy, found.file, foundBlock) || countDataRows(copy, table) == 0) return false;
  const auto at = std::lower_bound(done.begin(), done.end(), found.objd);
  if ((at == done.end() || *at != found.objd) && done.size() < kMaxDoneObjects)
    done.insert(at, found.objd);
  uint64_t blocks = 0;
  for (const OraExtent& e : list) {
    if (e.objd != found.objd) continue;
    blocks += e.blocks;
    for (uint64_t b = e.block; b < static_cast<uint64_t>(e.block) + e.blocks; b++) {
      if (copy.rowsUnloaded >= copy.guessSize) break;
      scanTableRows(out, copy, found.objd, cluster, 0, 0, e.file, static_cast<uint32_t>(b));
    }
  }
  fprintf(out, "## Object = %u.%u, Columns = %u, Sample = %llu, Blocks = %llu, Size = %.2f mb\n",
          found.objd, static_cast<unsigned>(cluster), stats.columnCount,
          static_cast<unsigned long long>(copy.rowsUnloaded), static_cast<unsigned long long>(blocks),
          static_cast<double>(blocks) * copy.blockSize / 1048576.0);
  if (copy.guessedTables != nullptr) findGuessTable(out, stats, *copy.guessedTables);
  fprintf(out, "UNLOAD OBJECT %u CLUSTER %d COLUMN ", found.objd, cluster);
  printGuessedColumns(out, stats);
  fprintf(out, " TO OBJD%010uC%03u.txt; \n\n", found.objd, static_cast<unsigned>(cluster));
  return true;
}

}  // namespace

void listTableHeader(FILE* out, SessionContext& ctx, uint32_t objd, uint16_t file) {
  if (out == nullptr) out = stdout;
  FILE* f = fopen(kExtentMapPath, "rb");
  if (f == nullptr) return;
  const std::vector<OraExtent> list = readExtentList(f);
  fclose(f);
  if (ctx.columnStats == nullptr) allocGuessState(ctx);
  if (ctx.columnStats == nullptr) return;
  SessionContext* copy = new SessionContext;
  if (copyBlock(ctx, *copy) != 0) {
    delete copy;
    return;
  }
  std::vector<uint32_t> done;
  for (const OraExtent& e : list) {
    if (done.size() > kMaxListedObjects) break;
    if ((objd != 0 && e.objd != objd) || (file != 0 && e.file != file)) continue;
    if (std::binary_search(done.begin(), done.end(), e.objd)) continue;
    for (uint64_t b = e.block; b < static_cast<uint64_t>(e.block) + e.blocks; b++) {
      const uint32_t block = static_cast<uint32_t>(b);
      if (!readWhole(*copy, e.file, block)) continue;
      const std::vector<int> tables = tablesWithRows(*copy, e.objd);
      if (tables.empty()) continue;
      const int n = getDataType(*copy) == kDataTypeTable ? getTableCount(*copy) : 1;
      for (int t : tables) listOneTable(out, *copy, list, e, block, t, n == 1 ? 0 : t, done);
      break;
    }
  }
  free(copy->blockBuffer);
  delete copy;
}
