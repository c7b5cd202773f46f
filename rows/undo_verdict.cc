#include "rows/undo_verdict.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/bytes.h"
#include "datafile/block_reader.h"
#include "format/block_layout.h"
#include "format/data_layout.h"
#include "format/undo_layout.h"

namespace {

// Reads a decimal field ended by ',' or the end of the line; false when
// there is no digit or the value passes max.
bool readField(const char*& p, uint32_t max, uint32_t& value) {
  if (*p < '0' || *p > '9') return false;
  uint64_t v = 0;
  while (*p >= '0' && *p <= '9') {
    v = v * 10 + static_cast<uint32_t>(*p - '0');
    if (v > max) return false;
    p++;
  }
  if (*p == ',') {
    p++;
  } else if (*p != 0 && *p != '\n' && *p != '\r') {
    return false;
  }
  value = static_cast<uint32_t>(v);
  return true;
}

// The transaction table of the header of usn, read and decoded on first use.
const UndoSegmentSlots& segmentSlots(UndoTable& table, const SessionContext& ctx, uint16_t usn) {
  auto found = table.decoded.find(usn);
  if (found != table.decoded.end()) return found->second;
  UndoSegmentSlots& seg = table.decoded[usn];
  const auto where = table.headers.find(usn);
  if (where == table.headers.end() || ctx.fileSet == nullptr || ctx.blockSize == 0) return seg;
  std::unique_ptr<SessionContext> w(new SessionContext);
  if (copyBlock(ctx, *w) != 0) return seg;
  const uint16_t file = where->second.first;
  const uint32_t block = where->second.second;
  const uint32_t got = readSingleBlock(ctx.fileSet, *w, file, block);
  const uint32_t rdba = ctx.bigfile ? block : makeRDBA(file, block);
  if (blockVerdict(*w, got) == kBlockUsable && isUndoHeader(*w) && getBlockRDBA(*w) == rdba) {
    // Only the slots that the header says it has and that lie in the block.
    uint32_t count = getUndoHeaderTransCount(*w);
    const uint32_t room = undoTransSlotsInBlock(*w);
    if (count > room) count = room;
    seg.readable = getUndoHeaderTransOffset(*w) != 0;
    for (uint32_t k = 0; seg.readable && k < count; k++) {
      UndoSlotState s;
      s.wrap = getUndoHeaderTranSlotWrap(*w, k);
      s.state = getUndoHeaderTranSlotState(*w, k);
      s.scnBase = getUndoHeaderTranSlotSCNBase(*w, k);
      s.scnWrap = getUndoHeaderTranSlotSCNWrap(*w, k);
      seg.slots.push_back(s);
    }
  }
  free(w->blockBuffer);
  return seg;
}

}  // namespace

bool parseUndoSegmentLine(const char* line, uint16_t& usn, uint16_t& file, uint32_t& block) {
  uint32_t u = 0, f = 0, b = 0;
  const char* p = line;
  if (!readField(p, 0xFFFF, u) || !readField(p, 0x3FF, f) || !readField(p, 0xFFFFFFFFu, b)) return false;
  usn = static_cast<uint16_t>(u);
  file = static_cast<uint16_t>(f);
  block = b;
  return true;
}

bool loadUndoSegmentList(UndoTable& table, const char* path) {
  FILE* in = fopen(path, "r");
  if (in == nullptr) return false;
  char line[512];
  while (fgets(line, sizeof line, in) != nullptr) {
    uint16_t usn = 0, file = 0;
    uint32_t block = 0;
    // A header without a place (block 0) is an undo segment that was dropped.
    if (parseUndoSegmentLine(line, usn, file, block) && block != 0)
      table.headers[usn] = std::make_pair(file, block);
  }
  fclose(in);
  return true;
}

ItlDecision decideITL(UndoTable& table, const SessionContext& ctx, uint32_t itl) {
  ItlDecision d;
  if (itl >= getITLCount(ctx)) return d;
  const uint16_t usn = getITLXIDUsn(ctx, itl);
  const uint16_t slot = getITLXIDSlot(ctx, itl);
  const uint32_t wrap = getITLXIDWrap(ctx, itl);
  d.slot = slot;
  // An entry without a transaction (all zero) names no slot to ask.
  if (usn == 0 && slot == 0 && wrap == 0) return d;
  const UndoSegmentSlots& seg = segmentSlots(table, ctx, usn);
  if (!seg.readable || slot >= seg.slots.size()) return d;
  const UndoSlotState& s = seg.slots[slot];
  d.wrap = s.wrap;
  d.scnBase = s.scnBase;
  d.scnWrap = s.scnWrap;
  if (s.wrap == wrap) {
    if (s.state == kUndoSlotCommitted) d.verdict = ItlVerdict::kCommitted;
    if (s.state == kUndoSlotActive) d.verdict = ItlVerdict::kOpen;
  } else if (s.wrap > wrap) {
    d.verdict = ItlVerdict::kCommitted;
    d.reused = true;
  }
  return d;
}

bool undoKeepsRow(SessionContext& ctx, uint8_t lock) {
  UndoTable& table = *ctx.undoTable;
  ItlVerdict v = ItlVerdict::kUndecided;
  if (lock != 0 && lock <= getITLCount(ctx)) {
    const uint32_t rdba = getBlockRDBA(ctx);
    if (!table.memoValid || table.memoRDBA != rdba) {
      memset(table.memo, 0, sizeof table.memo);
      table.memoRDBA = rdba;
      table.memoValid = true;
    }
    ItlVerdict& m = table.memo[lock - 1u];
    if (m == ItlVerdict::kNotAsked) m = decideITL(table, ctx, lock - 1u).verdict;
    v = m;
  }
  switch (v) {
    case ItlVerdict::kCommitted: table.rowsKept++; return true;
    case ItlVerdict::kOpen: table.rowsOpen++; return false;
    default: table.rowsUndecided++; return false;
  }
}

void printUndoSummary(FILE* out, const UndoTable& table) {
  if (table.rowsKept + table.rowsOpen + table.rowsUndecided == 0) return;
  fprintf(out,
          "Undo: %llu rows of committed transactions kept (delayed cleanout), %llu rows of open "
          "transactions left out, %llu rows undecided (undo segment header not found or older "
          "than the block).\n",
          static_cast<unsigned long long>(table.rowsKept), static_cast<unsigned long long>(table.rowsOpen),
          static_cast<unsigned long long>(table.rowsUndecided));
}
