// Counts read from a block (extents, row slots, index rows, ITL entries,
// undo records and slots) are cut to the entries that lie inside it before
// the dumps walk them; after the entries a line says so.
#pragma once

#include <cstdint>
#include <cstdio>

struct FittedCount {
  uint32_t stored;  // the count as the block holds it
  uint32_t shown;   // the entries that lie inside the block
};

inline FittedCount fitCount(uint32_t stored, uint32_t fit) {
  return {stored, stored < fit ? stored : fit};
}

// "  <what>: <stored> stored, only <shown> fit in the block\n" when the count
// was cut; nothing otherwise.
inline void reportCut(FILE* out, const char* what, const FittedCount& n) {
  if (n.shown < n.stored) fprintf(out, "  %s: %u stored, only %u fit in the block\n", what, n.stored, n.shown);
}
