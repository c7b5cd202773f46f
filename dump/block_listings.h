// The block listings of SCAN HEADER, SCAN DATA and SCAN BLOCK over every
// configured data file (the file walk of datafile/file_walk.h), and the index
// header listing of the block dumps.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/session_context.h"

// SCAN HEADER: the brief header of every segment header, or only of the
// first one of object objd when objd is not 0.
void listSegmentHeader(FILE* out, SessionContext& ctx, uint32_t objd, uint16_t file);
// SCAN DATA: the brief header of data blocks; with objd, the first `blocks`
// blocks of that object (at least one); without, the first `blocks` blocks of
// every run of one object (every block when blocks is 0).
void listDataBlock(FILE* out, SessionContext& ctx, uint32_t objd, uint16_t file,
                   uint32_t blocks);
// SCAN BLOCK: every block type met with up to ten example addresses.
void listDataBlockType(FILE* out, SessionContext& ctx, uint16_t file);

// The index header listing of the block dumps, one field a line.
void printIndexRowHeader(FILE* stream, const SessionContext& ctx);
