// The segment unload drivers: they find every block that holds rows of one
// object (its data object id, OBJD) and hand each to the row decoders, as
// text or, with OUTPUT_STYLE DMP (ctx.outputStyle 1), as export dump rows.
//
//   printExtentRows   walks the extent map of the segment header in the
//                     session buffer and the extent map blocks it chains to;
//   printRowByExtent  reads one extent of an extent list (ZUTEXT.TXT line);
//   scanTableRows     reads every block of every data file, or one block.
//
// Common arguments: the output stream, the session, the OBJD, the table
// number within the block (cluster tables; 0 otherwise), whether deleted rows
// are taken (DELETED_ROW) and whether only committed rows are (COMMITED_ONLY),
// both 0 or 1.
//
// Dispatch: only a block of type 6 whose data object id is OBJD is decoded;
// transaction-layer type 1 (table data) goes to printDataRows2 /
// dumpDataRows2, type 2 (index, the rows of index-organized tables) to
// printIndexRow2 / dumpIndexRow2; anything else is passed over silently.
//
// Every driver stops once the session's unloaded-row counter reaches the row
// limit: before each block it would read, and so before each extent map
// block, extent and data file.
//
// Damaged maps: an extent map chain that comes back to a block it has
// already read ends the walk, and so does a next map address that does not
// read as an extent map block (type 18 or 36) at that address. An extent
// whose block range overflows 32 bits is passed over; an extent never
// reaches past the end of its data file (the highest readable block found
// when the file was opened) nor, outside BIGFILE mode, past the last block
// number of its file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/session_context.h"
#include "datafile/block_tally.h"

// One extent of an extent list: the data object id (0 = no extent), the
// relative file number, the first block number and the number of blocks.
struct UnloadExtent {
  uint32_t objd = 0;
  uint16_t file = 0;
  uint32_t block = 0;
  uint32_t blocks = 0;
};

// A share of a segment's blocks for one of several unload processes: every
// walk numbers each block it would read (next), in the same order in every
// process, and reads only the blocks numbered [begin, end). A share with
// begin == end reads nothing and only counts the blocks.
struct BlockShare {
  uint64_t next = 0;
  uint64_t begin = 0;
  uint64_t end = UINT64_MAX;
};

// Decodes the block in the session buffer when it is a type 6 block of OBJD:
// table data and, when indexBlocks is set, index blocks.
void unloadBlockRows(FILE* stream, SessionContext& ctx, uint32_t objd, int table, int deleted,
                     int committed, bool indexBlocks = true);

// The segment header (type 16, 17 or 35) must be in the session buffer. Does
// nothing when its address is corrupt-listed or, with BLOCK_CHECK, its
// checksum fails. Extent blocks are read through the read-ahead window and
// must carry their own address; map blocks are read with readSingleBlock
// into a copy of the session, which leaves the window alone.
void printExtentRows(FILE* stream, SessionContext& ctx, uint32_t objd, int table, int deleted,
                     int committed);

// Reads blocks extent.block … extent.block + extent.blocks − 1 of relative
// file extent.file and dispatches each that reads whole, is not
// corrupt-listed, passes the checksum (BLOCK_CHECK) and carries its own
// address. Does nothing for an extent of object 0, of file 0 outside BIGFILE
// mode, or of no blocks.
void printRowByExtent(FILE* stream, SessionContext& ctx, uint32_t objd, int table, int deleted,
                      int committed, const UnloadExtent& extent);

// Full scan of the data files in the order of the file set: with a block
// number and a file number (or in BIGFILE mode, any file), only that block of
// each matching file, table data and index blocks alike; otherwise blocks 2
// up to each file's highest block, table data only, wherever the block lies.
// A file number of 0 means every file; in BIGFILE mode the file number does
// not select files.
void scanTableRows(FILE* stream, SessionContext& ctx, uint32_t objd, int table, int deleted,
                   int committed, uint16_t file, uint32_t block);
