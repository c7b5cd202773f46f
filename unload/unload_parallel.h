// One segment unloaded by several processes. The blocks the recovery rule
// reads (extent list, segment header, full scan; unload/unload_segment.h)
// are numbered in walk order and split into contiguous shares, each a
// little larger than the one before; each worker process walks the same way
// but decodes only its share, into a piece file beside the output (the
// first worker straight into the output), with its standard output in a
// file of its own. Once a worker is done the parent copies the next piece
// into place while its worker still writes it (the smaller share before
// leaves a core for that). Then it replays the workers' messages in order
// (the per-column limit of unknown-type warnings applied as one process
// would), and adds up what they counted: rows, blocks named and unreadable,
// the longest text of each column and the values holding a tag, national
// characters written as "?", LOB values that did not convert or could not
// be written. Rows are written
// by the worker that holds their head piece; chained pieces are followed
// wherever they lie. So the output and the messages are those of one
// process.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/session_context.h"
#include "unload/unload_segment.h"

// Copies a piece file into the output at offset at while its worker still
// writes it, until the worker's result pipe (result) is readable or closed
// and the piece is copied whole; the piece's length goes to length. False
// when a copy fails.
bool followPiece(int piece, int result, int output, uint64_t at, uint64_t& length);

// Workers for SET PARALLEL 0: one per online core.
int onlineCores();

// unloadSegment with `workers` processes (at least 2): the first writes into
// out, the others pieces beside outputPath (outputPath.partN) copied into
// it. False, after a line saying why, when a piece could not be created, a
// worker could not be started, died or could not write; nothing of that
// segment is then in out, and no piece file is left behind.
bool unloadSegmentParallel(FILE* out, const char* outputPath, SessionContext& ctx, int workers,
                           const char* listName, const UnloadSegment& s, int deleted,
                           int committed, uint16_t scanFile, uint32_t scanBlock);
