// Field-by-field dumps of undo blocks (type 2) and undo segment headers
// (types 14 and 38), printed after the two common header lines of the block
// dumps. The layouts are format/undo_layout.h.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/session_context.h"

// The undo block header and its record directory; nothing for another type.
void printUndoBlockHeader(FILE* out, const SessionContext& ctx);
// The undo segment header: spares, HWM, extent map and, where the
// transaction table has a base, its control and slots; nothing for another
// type.
void printUndoSegmentHeader(FILE* out, const SessionContext& ctx);
