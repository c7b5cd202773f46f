#include "tools/builder/row_builder.h"

#include <algorithm>
#include <map>
#include <utility>

namespace mkdb {

namespace {

// Data block layout as the builder writes it, kept apart from the tool's
// accessors on purpose.
namespace at {
// data header, from D
constexpr size_t kFlag = 0;
constexpr size_t kTables = 1;
constexpr size_t kRows = 2;
constexpr size_t kFirstFree = 4;
constexpr size_t kFreeBegin = 6;
constexpr size_t kFreeEnd = 8;
constexpr size_t kAvailable = 10;
constexpr size_t kTotal = 12;
constexpr size_t kDirectory = 14;
// compression extension, from D
constexpr size_t kMecRows = 16;
constexpr size_t kLengthCount = 19;
constexpr size_t kOrderCount = 20;
constexpr size_t kLengthTable = 22;
constexpr size_t kExtensionBase = 8;
// ITL entries, 24 bytes each from 44: XID usn, slot, wrap
constexpr size_t kFirstItl = 44;
constexpr size_t kItlSize = 24;
constexpr size_t kItlUsn = 0;
constexpr size_t kItlSlot = 2;
constexpr size_t kItlWrap = 4;
}  // namespace at

constexpr uint8_t kCompressedFlag = 0x40;
constexpr uint8_t kSymbolRowFlag = kRowWhole;
constexpr size_t kAddressSize = 6;
constexpr size_t kMaxPieceColumns = 255;
constexpr size_t kMaxShortLength = 250;  // longer values take 0xFE and a 2-byte length

void pushBig16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x >> 8));
  v.push_back(static_cast<uint8_t>(x));
}

void pushAddress(std::vector<uint8_t>& v, const RowAddress& a) {
  pushBig16(v, a.rdba >> 16);
  pushBig16(v, a.rdba & 0xFFFF);
  pushBig16(v, a.slot);
}

size_t headerSize(uint8_t flag) {
  size_t n = 3;
  if (flag & kRowC) n += 1;
  if ((flag & kRowF) && !(flag & kRowH)) n += kAddressSize;
  if (!(flag & kRowL)) n += kAddressSize;
  const uint8_t key = kRowK | kRowH | kRowF | kRowL;
  if ((flag & key) == key) n += 16 + (((flag & (kRowP | kRowN)) == (kRowP | kRowN)) ? 6 : 0);
  return n;
}

size_t pieceSize(const RowPiece& p) {
  if (!p.raw.empty()) return p.raw.size();
  size_t n = headerSize(p.flag);
  for (const Value& v : p.columns) n += columnSize(v);
  return n;
}

uint32_t extensionSize(const DataBlockPlan& plan) {
  if (!plan.compressed) return 0;
  const uint32_t nl = static_cast<uint32_t>(plan.compress.lengths.size());
  const uint32_t no = static_cast<uint32_t>(plan.compress.order.size());
  return static_cast<uint32_t>(at::kExtensionBase) + 2 * nl + no + (no & 1);
}

void encodeUnit(std::vector<uint8_t>& out, const Unit& u) {
  switch (u.kind) {
    case Unit::kSymbol:
      if (u.symbol <= 200) {
        out.push_back(static_cast<uint8_t>(u.symbol));
      } else {
        out.push_back(251);
        pushBig16(out, u.symbol);
      }
      break;
    case Unit::kInline:
      if (!u.value.empty() && u.value.size() <= 49) {
        out.push_back(static_cast<uint8_t>(200 + u.value.size()));
      } else {
        out.push_back(250);
        pushBig16(out, static_cast<uint32_t>(u.value.size()));
      }
      out.insert(out.end(), u.value.begin(), u.value.end());
      break;
    case Unit::kNull:
      out.push_back(u.nullByte);
      break;
    case Unit::kRun:
      out.push_back(static_cast<uint8_t>(200 + u.run.size()));
      for (const OracleBytes& v : u.run) out.insert(out.end(), v.begin(), v.end());
      break;
  }
}

// ---- packing one table ----

struct BlockFill {
  std::vector<RowPiece> pieces;
  size_t used = 0;  // bytes of rows and row directory entries
};

struct Packer {
  FileImage& f;
  uint32_t firstBlock;
  size_t capacity;  // bytes for rows and directory entries in one block
  std::vector<BlockFill> blocks;

  bool fits(size_t b, size_t need) {
    while (blocks.size() <= b) blocks.emplace_back();
    return blocks[b].used + need <= capacity;
  }
  // Places a piece in the first block from `from` on with room for it.
  std::pair<size_t, uint16_t> place(size_t from, RowPiece piece) {
    const size_t need = pieceSize(piece) + 2;
    size_t b = from;
    while (!fits(b, need)) b++;
    blocks[b].used += need;
    blocks[b].pieces.push_back(std::move(piece));
    return {b, static_cast<uint16_t>(blocks[b].pieces.size() - 1)};
  }
  RowAddress address(std::pair<size_t, uint16_t> at) const {
    return RowAddress{blockAddress(f, firstBlock + static_cast<uint32_t>(at.first)), at.second};
  }
  RowPiece& piece(std::pair<size_t, uint16_t> at) { return blocks[at.first].pieces[at.second]; }
};

// Splits columns into pieces of at most maxBody column bytes, splitting a
// column across pieces only when it is larger than one piece can hold.
std::vector<RowPiece> splitBySize(const std::vector<Value>& cols, size_t maxBody) {
  std::vector<RowPiece> out(1);
  out[0].flag = 0;
  size_t room = maxBody;
  auto newPiece = [&](bool continues) {
    RowPiece p;
    p.flag = continues ? kRowP : 0;
    if (continues) out.back().flag |= kRowN;
    out.push_back(p);
    room = maxBody;
  };
  for (const Value& v : cols) {
    if (out.back().columns.size() >= kMaxPieceColumns) newPiece(false);
    const size_t size = columnSize(v);
    if (size <= room) {
      out.back().columns.push_back(v);
      room -= size;
      continue;
    }
    if (size <= maxBody) {
      newPiece(false);
      out.back().columns.push_back(v);
      room -= size;
      continue;
    }
    // A value larger than a piece: as much as fits here, the rest after.
    size_t done = 0;
    const OracleBytes& bytes = *v;
    while (done < bytes.size()) {
      const size_t left = bytes.size() - done;
      if (room <= 3 || out.back().columns.size() >= kMaxPieceColumns) {
        newPiece(done > 0);
        continue;
      }
      // A part of at most 250 bytes takes a 1-byte length, a longer one 3.
      size_t take = std::min(left, room - 1);
      size_t overhead = 1;
      if (take > kMaxShortLength) {
        take = std::min(left, room - 3);
        overhead = take > kMaxShortLength ? 3 : 1;
      }
      out.back().columns.push_back(OracleBytes(bytes.begin() + done, bytes.begin() + done + take));
      room -= overhead + take;
      done += take;
      if (done < bytes.size()) newPiece(true);
    }
  }
  return out;
}

std::vector<RowPiece> splitByCount(const std::vector<Value>& cols, size_t pieces) {
  std::vector<RowPiece> out(pieces);
  for (size_t i = 0; i < pieces; i++) {
    const size_t from = cols.size() * i / pieces, to = cols.size() * (i + 1) / pieces;
    out[i].flag = 0;
    out[i].columns.assign(cols.begin() + from, cols.begin() + to);
  }
  return out;
}

// ---- compression ----

bool buildCompressedPlan(const std::vector<RowValues>& rows, size_t first, size_t count,
                         uint32_t objd, const CompressOptions& options, DataBlockPlan& plan) {
  size_t ncols = 0;
  for (size_t r = first; r < first + count; r++) ncols = std::max(ncols, rows[r].size());
  if (ncols == 0 || ncols > 250) return false;
  std::vector<size_t> order(ncols);
  for (size_t j = 0; j < ncols; j++) order[j] = j;
  bool permuted = false;
  if (options.storageOrder.size() == ncols) {
    std::vector<bool> seen(ncols, false);
    for (size_t j = 0; j < ncols; j++) {
      const size_t c = options.storageOrder[j];
      if (c >= ncols || seen[c]) return false;
      seen[c] = true;
      order[j] = c;
      permuted = permuted || c != j;
    }
  }
  const auto stored = [&](size_t r, size_t j) -> const Value& {
    static const Value none;
    const RowValues& row = rows[r];
    return order[j] < row.size() ? row[order[j]] : none;
  };

  // Leading fixed-length columns: a run through the length table.
  size_t fixed = 0;
  std::vector<int16_t> lengths;
  if (options.fixedRun) {
    int32_t offset = 0;
    lengths.push_back(0);
    for (size_t j = 0; j < ncols && fixed < 49; j++) {
      const Value& v0 = stored(first, j);
      if (!v0 || v0->empty()) break;
      bool same = true;
      for (size_t r = first; r < first + count && same; r++) {
        const Value& v = stored(r, j);
        same = v && v->size() == v0->size();
      }
      if (!same) break;
      offset += static_cast<int32_t>(v0->size());
      lengths.push_back(static_cast<int16_t>(offset));
      fixed++;
    }
    if (fixed == 0) lengths.clear();
  }

  // Repeated pairs of the first two free columns: nested two-column symbols.
  std::map<std::pair<OracleBytes, OracleBytes>, uint16_t> pairs;
  std::vector<std::pair<OracleBytes, OracleBytes>> pairOrder;
  const size_t pairAt = fixed;
  const bool usePairs = options.pairSymbols && pairAt + 1 < ncols;
  if (usePairs) {
    std::map<std::pair<OracleBytes, OracleBytes>, int> seen;
    for (size_t r = first; r < first + count; r++) {
      const Value& a = stored(r, pairAt);
      const Value& b = stored(r, pairAt + 1);
      if (!a || !b || a->empty() || b->empty()) continue;
      auto key = std::make_pair(*a, *b);
      if (++seen[key] == 2) {
        pairs[key] = static_cast<uint16_t>(pairOrder.size());
        pairOrder.push_back(key);
      }
    }
  }
  const size_t mec = pairOrder.size();

  // Repeated single values, and every value a pair symbol names.
  std::map<OracleBytes, int> uses;
  for (size_t r = first; r < first + count; r++) {
    for (size_t j = fixed; j < ncols; j++) {
      const Value& v = stored(r, j);
      if (v && !v->empty()) uses[*v]++;
    }
  }
  std::map<OracleBytes, uint16_t> singles;
  std::vector<OracleBytes> singleOrder;
  const auto addSingle = [&](const OracleBytes& v) {
    if (singles.count(v)) return;
    singles[v] = static_cast<uint16_t>(mec + singleOrder.size());
    singleOrder.push_back(v);
  };
  for (const auto& key : pairOrder) {
    addSingle(key.first);
    addSingle(key.second);
  }
  for (size_t r = first; r < first + count; r++) {
    for (size_t j = fixed; j < ncols; j++) {
      const Value& v = stored(r, j);
      if (v && !v->empty() && uses[*v] >= 2) addSingle(*v);
    }
  }
  if (mec + singleOrder.size() > 0xFFFF) return false;

  plan = DataBlockPlan();
  plan.objd = objd;
  plan.itls = options.itls;
  plan.headerShift = options.headerShift;
  plan.compressed = true;
  plan.compress.mecRows = static_cast<uint16_t>(mec);
  plan.compress.lengths = lengths;
  if (permuted) {
    plan.compress.order.resize(ncols);
    for (size_t j = 0; j < ncols; j++) plan.compress.order[order[j]] = static_cast<uint8_t>(j);
  }
  plan.tables.resize(2);
  for (const auto& key : pairOrder) {
    RowPiece p;
    p.raw = encodeSymbolRow({symbolUnit(singles[key.first]), symbolUnit(singles[key.second])}, true);
    plan.tables[0].push_back(p);
  }
  for (const OracleBytes& v : singleOrder) {
    RowPiece p;
    p.raw = encodeSymbolRow({inlineUnit(v)}, false);
    plan.tables[0].push_back(p);
  }
  for (size_t r = first; r < first + count; r++) {
    std::vector<Unit> units;
    if (fixed > 0) {
      std::vector<OracleBytes> run;
      for (size_t j = 0; j < fixed; j++) run.push_back(*stored(r, j));
      units.push_back(runUnit(run));
    }
    for (size_t j = fixed; j < ncols; j++) {
      if (usePairs && j == pairAt) {
        const Value& a = stored(r, j);
        const Value& b = stored(r, j + 1);
        if (a && b) {
          auto it = pairs.find(std::make_pair(*a, *b));
          if (it != pairs.end()) {
            units.push_back(symbolUnit(it->second));
            j++;
            continue;
          }
        }
      }
      const Value& v = stored(r, j);
      if (!v || v->empty()) {
        units.push_back(nullUnit(static_cast<uint8_t>(252 + (r + j) % 4)));
      } else if (singles.count(*v)) {
        units.push_back(symbolUnit(singles[*v]));
      } else {
        units.push_back(inlineUnit(*v));
      }
    }
    RowPiece p;
    p.raw = encodeCompressedRow(kRowWhole, 0, units, !lengths.empty());
    plan.tables[1].push_back(p);
  }
  return true;
}

}  // namespace

std::vector<uint8_t> encodeRowPiece(const RowPiece& p, uint8_t order) {
  if (!p.raw.empty()) return p.raw;
  std::vector<uint8_t> v;
  v.reserve(pieceSize(p));
  v.push_back(p.flag);
  v.push_back(p.lock);
  v.push_back(static_cast<uint8_t>(p.columns.size()));
  if (p.flag & kRowC) v.push_back(p.clusterKeyIndex);
  if ((p.flag & kRowF) && !(p.flag & kRowH)) pushAddress(v, p.head);
  if (!(p.flag & kRowL)) pushAddress(v, p.next);
  const uint8_t key = kRowK | kRowH | kRowF | kRowL;
  if ((p.flag & key) == key) {
    if ((p.flag & (kRowP | kRowN)) == (kRowP | kRowN)) v.insert(v.end(), 6, 0);
    v.insert(v.end(), 16, 0);
  }
  for (const Value& c : p.columns) appendColumn(v, c, order);
  return v;
}

void appendColumn(std::vector<uint8_t>& out, const Value& v, uint8_t byteOrder) {
  if (!v) {
    out.push_back(0xFF);
    return;
  }
  const size_t n = v->size();
  if (n <= kMaxShortLength) {
    out.push_back(static_cast<uint8_t>(n));
  } else {
    out.push_back(0xFE);
    out.resize(out.size() + 2);
    putUB2(out, out.size() - 2, static_cast<uint32_t>(n), byteOrder);
  }
  out.insert(out.end(), v->begin(), v->end());
}

size_t columnSize(const Value& v) {
  if (!v) return 1;
  return (v->size() <= kMaxShortLength ? 1 : 3) + v->size();
}

uint32_t dataHeaderOffset(const DataBlockPlan& plan) {
  return static_cast<uint32_t>(dataLayerOffset(plan.itls, plan.headerShift));
}

void putItlXids(const FileImage& f, Block& b, uint8_t itls, const std::vector<ItlXid>& xids) {
  for (size_t i = 0; i < xids.size() && i < itls; i++) {
    const size_t itl = at::kFirstItl + at::kItlSize * i;
    putUB2(b, itl + at::kItlUsn, xids[i].usn, f.byteOrder);
    putUB2(b, itl + at::kItlSlot, xids[i].slot, f.byteOrder);
    putUB4(b, itl + at::kItlWrap, xids[i].wrap, f.byteOrder);
  }
}

int encodeRowBlock(const FileImage& f, uint32_t block, const DataBlockPlan& plan, Block& out) {
  std::vector<uint8_t> locks;
  for (const auto& t : plan.tables)
    for (const RowPiece& p : t) locks.push_back(p.lock);
  Block b = dataBlockImage(f, block, plan.objd, plan.itls, 1, plan.headerShift, plan.itlFlags, locks);
  putItlXids(f, b, plan.itls, plan.itlXids);
  const uint8_t o = f.byteOrder;
  const size_t S = f.blockSize;
  const size_t d = dataHeaderOffset(plan);
  const size_t directory = d + at::kDirectory + extensionSize(plan);
  size_t rows = 0;
  for (const auto& t : plan.tables) rows += t.size();
  const size_t rowDirectory = directory + 4 * plan.tables.size();
  const size_t directoryEnd = rowDirectory + 2 * rows;
  if (plan.tables.size() > 255 || rows > 0xFFFF || directoryEnd + kBlockTailSize > S) return 1;
  size_t pos = S - kBlockTailSize;
  size_t slot = 0;
  for (size_t t = 0; t < plan.tables.size(); t++) {
    putUB2(b, directory + 4 * t, static_cast<uint32_t>(slot), o);
    putUB2(b, directory + 4 * t + 2, static_cast<uint32_t>(plan.tables[t].size()), o);
    for (const RowPiece& p : plan.tables[t]) {
      if (p.empty) {
        putUB2(b, rowDirectory + 2 * slot++, 0xFFFF, o);
        continue;
      }
      const std::vector<uint8_t> bytes = encodeRowPiece(p, o);
      if (bytes.size() > pos || pos - bytes.size() < directoryEnd) return 1;
      pos -= bytes.size();
      std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(pos));
      putUB2(b, rowDirectory + 2 * slot++, static_cast<uint32_t>(pos - d), o);
    }
  }
  putUB1(b, d + at::kFlag, plan.compressed ? kCompressedFlag : 0);
  putUB1(b, d + at::kTables, static_cast<uint32_t>(plan.tables.size()));
  putUB2(b, d + at::kRows, static_cast<uint32_t>(rows), o);
  putUB2(b, d + at::kFirstFree, 0xFFFF, o);
  putUB2(b, d + at::kFreeBegin, static_cast<uint32_t>(directoryEnd - d), o);
  putUB2(b, d + at::kFreeEnd, static_cast<uint32_t>(pos - d), o);
  putUB2(b, d + at::kAvailable, static_cast<uint32_t>(pos - directoryEnd), o);
  putUB2(b, d + at::kTotal, static_cast<uint32_t>(pos - directoryEnd), o);
  if (plan.compressed) {
    const CompressHeader& c = plan.compress;
    if (c.lengths.size() > 255 || c.order.size() > 255) return 1;
    putUB2(b, d + at::kMecRows, c.mecRows, o);
    putUB1(b, d + at::kLengthCount, static_cast<uint32_t>(c.lengths.size()));
    putUB1(b, d + at::kOrderCount, static_cast<uint32_t>(c.order.size()));
    for (size_t k = 0; k < c.lengths.size(); k++) {
      putUB2(b, d + at::kLengthTable + 2 * k, static_cast<uint16_t>(c.lengths[k]), o);
    }
    for (size_t i = 0; i < c.order.size(); i++) {
      putUB1(b, d + at::kLengthTable + 2 * c.lengths.size() + i, c.order[i]);
    }
  }
  out = std::move(b);
  return 0;
}

int addRowBlock(FileImage& f, uint32_t block, const DataBlockPlan& plan) {
  Block b;
  if (encodeRowBlock(f, block, plan, b) != 0) return 1;
  f.images[block] = std::move(b);
  return 0;
}

std::vector<uint32_t> packRows(FileImage& f, uint32_t firstBlock, const std::vector<TableRow>& rows,
                               const PackOptions& options,
                               std::vector<std::vector<uint32_t>>* placement) {
  if (placement) placement->assign(rows.size(), {});
  const auto placed = [&](size_t row, std::pair<size_t, uint16_t> at) {
    if (placement) (*placement)[row].push_back(firstBlock + static_cast<uint32_t>(at.first));
  };
  DataBlockPlan shape;
  shape.itls = options.itls;
  shape.headerShift = options.headerShift;
  const size_t overhead = dataHeaderOffset(shape) + at::kDirectory + 4 + kBlockTailSize;
  if (f.blockSize <= overhead + 64) return {};
  Packer pk{f, firstBlock, f.blockSize - overhead, {}};
  // Column bytes that fit one piece with a header and a next piece address.
  const size_t maxBody = pk.capacity - 2 - 3 - 2 * kAddressSize;
  size_t cur = 0;
  for (size_t i = 0; i < rows.size(); i++) {
    const TableRow& row = rows[i];
    std::vector<Value> cols = row.values;
    while (!cols.empty() && !cols.back()) cols.pop_back();
    if (cols.size() > 1000) return {};
    if (options.emptySlotEvery && i % options.emptySlotEvery == options.emptySlotEvery - 1) {
      RowPiece gap;
      gap.empty = true;
      cur = pk.place(cur, gap).first;
    }
    const uint8_t deleted = row.deleted ? kRowD : 0;

    RowPiece whole;
    whole.flag = kRowWhole | deleted;
    whole.lock = row.lock;
    whole.columns = cols;
    const bool fitsOne = pieceSize(whole) + 2 <= pk.capacity && cols.size() <= kMaxPieceColumns;

    if (row.placement == TableRow::kMigrated && fitsOne) {
      RowPiece head;
      head.flag = kRowH | deleted;
      head.lock = row.lock;
      const auto headAt = pk.place(cur, head);
      cur = headAt.first;
      RowPiece body;
      body.flag = kRowF | kRowL;
      body.columns = cols;
      body.head = pk.address(headAt);
      const auto bodyAt = pk.place(cur + 1, body);
      pk.piece(headAt).next = pk.address(bodyAt);
      placed(i, headAt);
      placed(i, bodyAt);
      continue;
    }
    if (row.placement == TableRow::kInPlace && fitsOne) {
      const auto wholeAt = pk.place(cur, whole);
      cur = wholeAt.first;
      placed(i, wholeAt);
      continue;
    }
    // A chained row: by request in that many pieces, or by size.
    std::vector<RowPiece> pieces;
    const size_t wanted = std::min<size_t>(std::max<size_t>(row.pieces, 2), cols.size());
    if (row.placement == TableRow::kChained && wanted >= 2) {
      pieces = splitByCount(cols, wanted);
      for (const RowPiece& p : pieces) {
        if (pieceSize(p) + 2 * kAddressSize + 2 > pk.capacity || p.columns.size() > kMaxPieceColumns) {
          pieces.clear();
          break;
        }
      }
    }
    if (pieces.empty()) pieces = splitBySize(cols, maxBody);
    pieces.front().flag |= kRowH | kRowF | deleted;
    pieces.front().lock = row.lock;
    pieces.back().flag |= kRowL;
    std::vector<std::pair<size_t, uint16_t>> at;
    for (size_t k = 0; k < pieces.size(); k++) {
      at.push_back(pk.place(k == 0 ? cur : at.back().first + 1, pieces[k]));
      placed(i, at.back());
    }
    cur = at.front().first;
    for (size_t k = 0; k + 1 < at.size(); k++) pk.piece(at[k]).next = pk.address(at[k + 1]);
  }
  std::vector<uint32_t> written;
  for (size_t b = 0; b < pk.blocks.size(); b++) {
    DataBlockPlan plan;
    plan.objd = options.objd;
    plan.itls = options.itls;
    plan.itlFlags = options.itlFlags;
    plan.itlXids = options.itlXids;
    plan.headerShift = options.headerShift;
    plan.tables.push_back(pk.blocks[b].pieces);
    const uint32_t block = firstBlock + static_cast<uint32_t>(b);
    if (addRowBlock(f, block, plan) != 0) return {};
    written.push_back(block);
  }
  return written;
}

Unit symbolUnit(uint16_t symbol) {
  Unit u;
  u.kind = Unit::kSymbol;
  u.symbol = symbol;
  return u;
}

Unit inlineUnit(const OracleBytes& value) {
  Unit u;
  u.kind = Unit::kInline;
  u.value = value;
  return u;
}

Unit nullUnit(uint8_t byte) {
  Unit u;
  u.kind = Unit::kNull;
  u.nullByte = byte < 252 ? 0xFF : byte;
  return u;
}

Unit runUnit(const std::vector<OracleBytes>& values) {
  Unit u;
  u.kind = Unit::kRun;
  u.run = values;
  return u;
}

std::vector<uint8_t> encodeSymbolRow(const std::vector<Unit>& units, bool multi) {
  std::vector<uint8_t> v{kSymbolRowFlag, 0};
  if (multi) {
    v.push_back(static_cast<uint8_t>(units.size()));
    for (const Unit& u : units) encodeUnit(v, u);
  } else if (!units.empty()) {
    encodeUnit(v, units.front());
  }
  return v;
}

std::vector<uint8_t> encodeCompressedRow(uint8_t flag, uint8_t lock, const std::vector<Unit>& units,
                                         bool hasLengthTable, RowAddress head, RowAddress next) {
  std::vector<uint8_t> v{flag, lock, static_cast<uint8_t>(units.size())};
  if (hasLengthTable) v.push_back(0);
  if (!(flag & kRowF)) pushAddress(v, head);
  if (!(flag & kRowL)) pushAddress(v, next);
  for (const Unit& u : units) encodeUnit(v, u);
  return v;
}

size_t addCompressedBlock(FileImage& f, uint32_t block, uint32_t objd,
                          const std::vector<RowValues>& rows, size_t first,
                          const CompressOptions& options) {
  if (first >= rows.size()) return 0;
  const auto fits = [&](size_t n, Block& out) {
    DataBlockPlan plan;
    return buildCompressedPlan(rows, first, n, objd, options, plan) &&
           encodeRowBlock(f, block, plan, out) == 0;
  };
  // The largest count that fits: doubling, then halving the gap.
  const size_t left = rows.size() - first;
  Block image, trial;
  if (!fits(1, image)) return 0;
  size_t good = 1;
  while (good < left) {
    const size_t next = std::min(left, good * 2);
    if (!fits(next, trial)) break;
    good = next;
    image.swap(trial);
  }
  size_t bad = std::min(left, good * 2);  // fails, unless everything fit
  while (good < left && good + 1 < bad) {
    const size_t mid = (good + bad) / 2;
    if (fits(mid, trial)) {
      good = mid;
      image.swap(trial);
    } else {
      bad = mid;
    }
  }
  f.images[block] = std::move(image);
  return good;
}

}  // namespace mkdb
