// Copying files out of an ASM disk group: by the file's own extent list, by
// an extent map file (the lines SCAN writes, for files whose extent lists
// are lost), and fine-striped files stripe by stripe. Every AU that cannot
// be read and every extent that is missing is written as zeros, so the rest
// of the file keeps its offsets; each is counted.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "asm/asm_file.h"

struct ASMDiskGroup;

struct ASMCopyResult {
  bool located = false;          // the file's directory entry was found
  uint64_t bytes = 0;            // written to the output
  uint64_t unreadAUs = 0;        // AUs (stripes for a striped copy) written as zeros
  uint64_t missingExtents = 0;   // extents no list names, written as zeros
  uint64_t ignoredLines = 0;     // map lines that are no extent line
  int writeError = 0;            // errno of the first failed write; the copy stops there
};

// Copies the extents of the file in order. The copy is cut at the file size
// the directory entry records when that size ends inside the last extent.
ASMCopyResult copyASMFileOut(FILE* out, ASMDiskGroup& g, ASMFileHandle& h);

// The lines of ASM file `file` with extent numbers in [first, last] of an
// extent map file, the first line naming an extent winning. Returns 1 when
// some line of the file names an extent past `last`, else 0 (also when the
// file cannot be opened: *opened is then false). Lines that are not four
// numbers, or name an extent, disk or AU no pointer can hold, or an extent
// past `most` (no file of the group has that many), are counted in
// *ignored.
int readFileExtentMap(const char* path, std::map<uint32_t, ASMExtent>& list, uint32_t file,
                      uint32_t first, uint32_t last, uint32_t most, uint64_t* ignored, bool* opened);
// Parses one map line; true for "file,extent,disk,au" within their ranges.
bool parseASMMapLine(const char* line, size_t length, uint32_t& file, uint32_t& extent,
                     ASMExtent& where);

// Copies the file from an extent map file: each extent once, at its own
// offset, missing extents as zeros. Nothing is written when the map cannot
// be read (located is then false).
ASMCopyResult copyASMFileOutWithMap(FILE* out, const char* mapPath, ASMDiskGroup& g, uint32_t file);

// Stripe `stripe` of a fine-striped file (stripe size and width of the
// group) into buffer; the stripe size, or 0.
uint32_t readASMStripFileData(ASMDiskGroup& g, ASMFileHandle& h, uint64_t stripe, unsigned char* buffer);
// Copies a fine-striped file stripe by stripe up to the AUs of its extents.
ASMCopyResult copyASMStripFileOut(FILE* out, ASMDiskGroup& g, ASMFileHandle& h);
