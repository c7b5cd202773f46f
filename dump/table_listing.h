// SCAN TABLE: for every object of the extent list (ZUTDICT/ZUTEXT.TXT), the
// column types guessed from a sample of its rows and a ready-to-run UNLOAD
// OBJECT command, one per table of a cluster.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/session_context.h"

// Lists every object of the extent list; with objd, only that object, with
// file, only objects whose extents in that file hold rows. Reads through a
// private copy of the session, so the session's block buffer is left as it
// was. Prints nothing when there is no extent list. Standard output when out
// is null.
void listTableHeader(FILE* out, SessionContext& ctx, uint32_t objd = 0, uint16_t file = 0);
