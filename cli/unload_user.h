// UNLOAD USER, and the one table unload it repeats for every table.
#pragma once

#include <cstdint>
#include <vector>

#include "cli/unload_args.h"

struct ZUTState;

// What one table unload came to. Left as it starts when the table was not
// found or its output could not be opened.
struct TableUnloadResult {
  std::vector<uint32_t> dataObjects;  // the segments read, in order
  uint64_t rows = 0;
  uint64_t unreadableBlocks = 0;
  uint64_t warnings = 0;   // warning lines the unload wrote at its end
  bool written = false;    // every row went out, and the scripts with them
  bool cancelled = false;  // Ctrl-C stopped it
  // The dictionary files give it no segment: created and never filled
  // (deferred segment creation), or its TAB$ entry is damaged.
  bool noSegment = false;
};

// The table args.table as UNLOAD TABLE unloads it, from a cleared
// per-command state.
TableUnloadResult unloadNamedTable(ZUTState& st, const UnloadArgs& args);

// UNLOAD USER owner|* [TO directory] [PARALLEL n] [EXTENT list].
void unloadUser(ZUTState& st, const UnloadArgs& args);
