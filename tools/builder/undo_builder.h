// Undo blocks and undo segment headers for the synthetic database builder,
// written from the on-disk undo layouts (never through the tool's readers):
//   - an undo block (type 2): its transaction id, sequence, record count and
//     the record directory, records laid from the end of the block downward;
//   - an undo segment header (type 14, or 38 for automatic undo): spares,
//     high-water mark, extent map (with a timestamp per extent for type 38)
//     and the transaction table, its control and its 40-byte slots.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/builder/datafile_builder.h"

namespace mkdb {

struct UndoBlockPlan {
  uint16_t xidUsn = 0;
  uint16_t xidSlotWord = 0;          // the whole 16-bit word: slot in the low 12 bits
  uint32_t xidWrap = 0;
  uint16_t sequence = 0;
  uint8_t irb = 0;
  uint8_t icl = 0;                   // byte 32
  uint8_t flag = 0;                  // byte 33
  std::vector<uint16_t> recordLengths;  // record 1 first
  int32_t countOverride = -1;        // the record count as stored when not -1
};

// Lays out the block; returns it.
Block& addUndoBlock(FileImage& f, uint32_t block, const UndoBlockPlan& plan);

// One transaction table slot as stored.
struct UndoSlot {
  uint16_t wrap = 0;
  uint8_t state = 0;                 // E+16
  uint8_t cflags = 0;                // E+17: 0x80 active, 0x10 dead
  uint32_t lastBlock = 0;            // last undo block address
  uint32_t scnBase = 0;
  uint16_t scnWrap = 0;
  uint16_t next = 0;                 // next slot
  uint32_t blocks = 0;
  uint32_t commitTime = 0;
};

struct UndoHeaderPlan {
  uint8_t type = 14;                 // 14 or 38
  uint32_t spare[4] = {};
  uint32_t extentsTotal = 0;         // the extents field at 36
  uint32_t blocks = 0;
  uint16_t offset = 0;               // 16-bit field at 44
  uint32_t hwmExtent = 0, hwmBlock = 0, hwmExtentSize = 0, hwmAddress = 0;
  uint32_t mapNext = 0, object = 0, mapFlag = 0;
  std::vector<Extent> extents;       // the map stored in this block
  std::vector<uint32_t> timestamps;  // type 38: one per extent, at offset + 20
  int64_t mapCountOverride = -1;     // the map entry count as stored when not -1
  // Where the transaction table starts: 0 puts it where the type puts it
  // (type 14: offset + 20; type 38: 6096 in 8192-byte blocks, else 20).
  uint32_t tableBase = 0;
  uint32_t tclScnBase = 0;
  uint16_t tclScnWrap = 0;
  uint32_t tclUbaBlock = 0;
  uint16_t tclUbaSequence = 0;
  uint8_t tclUbaRecord = 0;
  std::vector<UndoSlot> slots;
};

// The transaction table base the plan's block gets.
uint32_t undoTableBase(const FileImage& f, const UndoHeaderPlan& plan);
// Lays out the header; returns it.
Block& addUndoHeader(FileImage& f, uint32_t block, const UndoHeaderPlan& plan);

}  // namespace mkdb
