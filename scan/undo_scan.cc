#include "scan/undo_scan.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "core/bytes.h"
#include "datafile/block_reader.h"
#include "datafile/file_walk.h"
#include "format/block_layout.h"
#include "format/undo_layout.h"

namespace {

// Most candidate addresses tried for one header: the control's UBA block,
// the high-water mark and every slot's last block.
constexpr uint32_t kMaxCandidates = 2 + 256;

struct HeaderSeen {
  FoundUndoHeader where;
  std::vector<uint32_t> candidates;  // undo block addresses, in the order tried
};

// The addresses the header in ctx points to, without repeats or zeros.
std::vector<uint32_t> undoCandidates(const SessionContext& ctx) {
  std::vector<uint32_t> c;
  auto add = [&](uint32_t rdba) {
    if (rdba != 0 && c.size() < kMaxCandidates && std::find(c.begin(), c.end(), rdba) == c.end())
      c.push_back(rdba);
  };
  add(getUndoHeaderTCLUBABlock(ctx));
  uint32_t slots = getUndoHeaderTransCount(ctx);
  const uint32_t room = undoTransSlotsInBlock(ctx);
  if (slots > room) slots = room;
  for (uint32_t k = 0; k < slots; k++) add(getUndoHeaderTranSlotLastBlock(ctx, k));
  add(getUndoHeaderHWMBlockRDBA(ctx));
  return c;
}

// The usn of the first candidate that is an undo block at its own address.
bool identify(SessionContext& w, const HeaderSeen& h, uint16_t& usn) {
  for (uint32_t rdba : h.candidates) {
    const uint32_t file = w.bigfile ? h.where.file : rdbaFile(rdba);
    const uint32_t block = w.bigfile ? rdba : rdbaBlock(rdba);
    const uint32_t got = readSingleBlock(w.fileSet, w, file, block);
    if (blockVerdict(w, got) != kBlockUsable || !isUndoBlock(w) || getBlockRDBA(w) != rdba) continue;
    usn = getUndoBlockXIDUSN(w);
    return true;
  }
  return false;
}

}  // namespace

UndoScanResult scanUndoHeaders(SessionContext& ctx, uint16_t file) {
  UndoScanResult result;
  std::vector<HeaderSeen> seen;
  walkFileBlocks(ctx, file, [&](const FileWalk& walk, uint32_t block) {
    if (isUndoHeader(ctx) && blockVerdict(ctx) == kBlockUsable) {
      HeaderSeen h;
      h.where.file = walk.rfn;
      h.where.block = block;
      h.where.tablespace = ctx.fileSet->entries[walk.position].tablespace;
      h.candidates = undoCandidates(ctx);
      seen.push_back(h);
    }
    return true;
  });
  if (seen.empty()) return result;
  std::unique_ptr<SessionContext> w(new SessionContext);
  if (copyBlock(ctx, *w) != 0) {
    result.unidentified = static_cast<uint32_t>(seen.size());
    return result;
  }
  for (const HeaderSeen& h : seen) {
    FoundUndoHeader found = h.where;
    if (identify(*w, h, found.usn)) {
      result.headers.push_back(found);
    } else {
      result.unidentified++;
    }
  }
  free(w->blockBuffer);
  std::sort(result.headers.begin(), result.headers.end(), [](const FoundUndoHeader& a, const FoundUndoHeader& b) {
    if (a.usn != b.usn) return a.usn < b.usn;
    if (a.file != b.file) return a.file < b.file;
    return a.block < b.block;
  });
  return result;
}

void writeUndoSegmentList(FILE* out, const UndoScanResult& found) {
  for (const FoundUndoHeader& h : found.headers)
    fprintf(out, "%u,%u,%u,%d,,\n", h.usn, h.file, h.block, h.tablespace);
}
