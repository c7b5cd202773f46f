#include "tools/builder/index_builder.h"

#include <algorithm>

namespace mkdb {

namespace {

// On-disk layout of index blocks, kept apart from the tool's accessors.
namespace at {
// index header, from D
constexpr size_t kLevel = 0;
constexpr size_t kOpcode = 2;
constexpr size_t kKeyColumns = 3;
constexpr size_t kRowCount = 8;
constexpr size_t kFreeBegin = 10;
constexpr size_t kFreeEnd = 12;
constexpr size_t kAvailable = 14;
constexpr size_t kLeafDeleted = 18;
constexpr size_t kLeafNext = 20;
constexpr size_t kLeafPrevious = 24;
constexpr size_t kLeafPrefix = 28;
constexpr size_t kLeafBlockSize = 32;
constexpr size_t kLeafDirectory = 36;
constexpr size_t kBranchLeftmost = 16;
constexpr size_t kBranchBlockSize = 24;
constexpr size_t kBranchDirectory = 28;
}  // namespace at

size_t dataOffset(const IndexBlockPlan& plan) { return dataLayerOffset(plan.itls, plan.headerShift); }

}  // namespace

std::vector<uint8_t> encodeIndexRow(const IndexRow& row, uint8_t byteOrder) {
  if (!row.raw.empty()) return row.raw;
  std::vector<uint8_t> out;
  out.push_back(static_cast<uint8_t>(row.flag | (row.hasNonKey ? kIndexNonKey : 0)));
  out.push_back(row.lock);
  out.insert(out.end(), row.prefix.begin(), row.prefix.end());
  for (const Value& v : row.key) appendColumn(out, v, byteOrder);
  if (row.hasNonKey) {
    const std::vector<uint8_t> part = encodeRowPiece(row.nonKey, byteOrder);
    out.insert(out.end(), part.begin(), part.end());
  }
  return out;
}

int encodeIndexBlock(const FileImage& f, uint32_t block, const IndexBlockPlan& plan, Block& out) {
  std::vector<uint8_t> locks;
  for (const IndexRow& r : plan.rows) locks.push_back(r.lock);
  Block b = dataBlockImage(f, block, plan.objd, plan.itls, 2, plan.headerShift, plan.itlFlags, locks);
  putItlXids(f, b, plan.itls, plan.itlXids);
  const uint8_t o = f.byteOrder;
  const size_t S = f.blockSize;
  const size_t d = dataOffset(plan);
  const bool leaf = plan.level == 0;
  const size_t directory = d + (leaf ? at::kLeafDirectory : at::kBranchDirectory);
  const size_t n = leaf ? plan.rows.size() : plan.children.size();
  const size_t directoryEnd = directory + 2 * n;
  if (n > 0xFFFF || directoryEnd + kBlockTailSize > S) return 1;
  // The header area the data block layout left behind is cleared first.
  std::fill(b.begin() + static_cast<std::ptrdiff_t>(d), b.begin() + static_cast<std::ptrdiff_t>(directory), 0);
  size_t pos = S - kBlockTailSize;
  uint32_t deleted = 0;
  for (size_t k = 0; k < n; k++) {
    std::vector<uint8_t> bytes;
    if (leaf) {
      bytes = encodeIndexRow(plan.rows[k], o);
      deleted += (plan.rows[k].flag & kIndexDeleted) ? 1 : 0;
    } else {
      bytes.resize(4);
      putUB4(bytes, 0, plan.children[k].first, o);
      appendColumn(bytes, plan.children[k].second, o);
    }
    if (bytes.size() > pos || pos - bytes.size() < directoryEnd) return 1;
    pos -= bytes.size();
    std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(pos));
    putUB2(b, directory + 2 * k, static_cast<uint32_t>(pos - d), o);
  }
  putUB1(b, d + at::kLevel, plan.level);
  putUB1(b, d + at::kOpcode, plan.opcode);
  putUB1(b, d + at::kKeyColumns, plan.keyColumns);
  putUB2(b, d + at::kRowCount,
         plan.rowCountOverride >= 0 ? static_cast<uint32_t>(plan.rowCountOverride) : static_cast<uint32_t>(n), o);
  putUB2(b, d + at::kFreeBegin, static_cast<uint32_t>(directoryEnd - d), o);
  putUB2(b, d + at::kFreeEnd, static_cast<uint32_t>(pos - d), o);
  putUB2(b, d + at::kAvailable, static_cast<uint32_t>(pos - directoryEnd), o);
  if (leaf) {
    putUB2(b, d + at::kLeafDeleted, deleted, o);
    putUB4(b, d + at::kLeafNext, plan.next, o);
    putUB4(b, d + at::kLeafPrevious, plan.previous, o);
    putUB1(b, d + at::kLeafPrefix, plan.prefixSize);
    putUB2(b, d + at::kLeafBlockSize, static_cast<uint32_t>(S - kBlockTailSize - d), o);
  } else {
    putUB4(b, d + at::kBranchLeftmost, plan.leftmostChild, o);
    putUB2(b, d + at::kBranchBlockSize, static_cast<uint32_t>(S - kBlockTailSize - d), o);
  }
  out = std::move(b);
  return 0;
}

int addIndexBlock(FileImage& f, uint32_t block, const IndexBlockPlan& plan) {
  Block b;
  if (encodeIndexBlock(f, block, plan, b) != 0) return 1;
  f.images[block] = std::move(b);
  return 0;
}

IotLayout packIndexOrganized(FileImage& f, uint32_t firstBlock, const std::vector<IotRow>& rows,
                             const IotOptions& options) {
  IotLayout layout;
  const size_t S = f.blockSize;
  IndexBlockPlan shape;
  shape.itls = options.itls;
  shape.itlFlags = options.itlFlags;
  shape.itlXids = options.itlXids;
  shape.headerShift = options.headerShift;
  const size_t leafRoom = S - kBlockTailSize - dataOffset(shape) - at::kLeafDirectory;

  // Leaf rows (with the overflow address left for later) and overflow pieces.
  struct Placed {
    IndexRow row;
    bool overflow = false;
    RowPiece piece;
  };
  std::vector<Placed> placed;
  for (const IotRow& r : rows) {
    Placed p;
    p.row.flag = r.deleted ? kIndexDeleted : 0;
    p.row.lock = r.lock;
    p.row.prefix.assign(options.prefixSize, 0xA5);
    const size_t keys = std::min<size_t>(options.keyColumns, r.values.size());
    p.row.key.assign(r.values.begin(), r.values.begin() + static_cast<std::ptrdiff_t>(keys));
    while (p.row.key.size() < options.keyColumns) p.row.key.push_back(std::nullopt);
    std::vector<Value> rest(r.values.begin() + static_cast<std::ptrdiff_t>(keys), r.values.end());
    while (!rest.empty() && !rest.back()) rest.pop_back();
    const size_t from = r.overflowFrom > keys ? r.overflowFrom - keys : 0;
    std::vector<Value> inLeaf = rest, outside;
    if (from < rest.size()) {
      inLeaf.assign(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(from));
      outside.assign(rest.begin() + static_cast<std::ptrdiff_t>(from), rest.end());
    }
    if (!inLeaf.empty() || !outside.empty()) {
      p.row.hasNonKey = true;
      p.row.nonKey.flag = kRowH | kRowF;
      p.row.nonKey.columns = inLeaf;
      if (outside.empty()) {
        p.row.nonKey.flag |= kRowL;
      } else {
        p.overflow = true;
        p.piece.flag = kRowL;
        p.piece.columns = outside;
        // A split column: its head stays in the leaf, the rest opens the
        // overflow piece.
        if (r.splitAt > 0 && !inLeaf.empty() && inLeaf.back() && r.splitAt < inLeaf.back()->size()) {
          const OracleBytes whole = *inLeaf.back();
          p.row.nonKey.columns.back() = OracleBytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(r.splitAt));
          p.piece.columns.insert(p.piece.columns.begin(),
                                 OracleBytes(whole.begin() + static_cast<std::ptrdiff_t>(r.splitAt), whole.end()));
          p.row.nonKey.flag |= kRowN;
          p.piece.flag |= kRowP;
        }
      }
    }
    placed.push_back(std::move(p));
  }

  // Leaves: rows in order, as many per leaf as fit (or as asked).
  std::vector<std::vector<size_t>> leaves(1);
  size_t used = 0;
  for (size_t i = 0; i < placed.size(); i++) {
    IndexRow probe = placed[i].row;
    if (placed[i].overflow) probe.nonKey.next = RowAddress{0xFFFFFFFF, 0xFFFF};
    const size_t need = encodeIndexRow(probe, f.byteOrder).size() + 2;
    if (need > leafRoom) return {};
    const bool full = options.rowsPerLeaf != 0 && leaves.back().size() >= options.rowsPerLeaf;
    if ((used + need > leafRoom || full) && !leaves.back().empty()) {
      leaves.emplace_back();
      used = 0;
    }
    leaves.back().push_back(i);
    used += need;
  }
  layout.root = firstBlock;
  for (size_t k = 0; k < leaves.size(); k++) layout.leaves.push_back(firstBlock + 1 + static_cast<uint32_t>(k));

  // Overflow pieces, packed into data blocks after the leaves.
  uint32_t next = firstBlock + 1 + static_cast<uint32_t>(leaves.size());
  std::vector<RowPiece> pieces;
  size_t pieceBytes = 0;
  DataBlockPlan overflowShape;
  overflowShape.itls = options.itls;
  overflowShape.itlFlags = options.itlFlags;
  overflowShape.itlXids = options.itlXids;
  overflowShape.headerShift = options.headerShift;
  const size_t overflowRoom = S - kBlockTailSize - dataOffset(shape) - 14 - 4;
  auto flush = [&]() -> bool {
    if (pieces.empty()) return true;
    DataBlockPlan plan = overflowShape;
    plan.objd = options.overflowObjd;
    plan.tables.push_back(pieces);
    if (addRowBlock(f, next, plan) != 0) return false;
    layout.overflow.push_back(next++);
    pieces.clear();
    pieceBytes = 0;
    return true;
  };
  layout.rowBlocks.resize(placed.size());
  for (size_t k = 0; k < leaves.size(); k++)
    for (size_t i : leaves[k]) layout.rowBlocks[i].push_back(layout.leaves[k]);
  for (size_t i = 0; i < placed.size(); i++) {
    Placed& p = placed[i];
    if (!p.overflow) continue;
    size_t need = 2 + 3;
    for (const Value& v : p.piece.columns) need += columnSize(v);
    if (need > overflowRoom) return {};
    if (pieceBytes + need > overflowRoom && !flush()) return {};
    p.row.nonKey.next = RowAddress{blockAddress(f, next), static_cast<uint16_t>(pieces.size())};
    layout.rowBlocks[i].push_back(next);
    pieces.push_back(p.piece);
    pieceBytes += need;
  }
  if (!flush()) return {};

  for (size_t k = 0; k < leaves.size(); k++) {
    IndexBlockPlan plan = shape;
    plan.objd = options.objd;
    plan.keyColumns = options.keyColumns;
    plan.prefixSize = options.prefixSize;
    plan.previous = k > 0 ? blockAddress(f, layout.leaves[k - 1]) : 0;
    plan.next = k + 1 < leaves.size() ? blockAddress(f, layout.leaves[k + 1]) : 0;
    for (size_t i : leaves[k]) plan.rows.push_back(placed[i].row);
    if (addIndexBlock(f, layout.leaves[k], plan) != 0) return {};
  }
  IndexBlockPlan root = shape;
  root.objd = options.objd;
  root.level = 1;
  root.keyColumns = options.keyColumns;
  root.leftmostChild = blockAddress(f, layout.leaves[0]);
  for (size_t k = 1; k < leaves.size(); k++) {
    const Value& key = placed[leaves[k].front()].row.key.front();
    root.children.emplace_back(blockAddress(f, layout.leaves[k]), key ? *key : OracleBytes{});
  }
  if (addIndexBlock(f, layout.root, root) != 0) return {};
  return layout;
}

}  // namespace mkdb
