// Listings of an ASM disk group: the file directory (FILE), the alias
// directory (ALIAS), the extents of one file (FMAP, FMAP2), the directory
// entries found in single AUs (LSAU) and the extent pointers found in single
// AUs or in the whole group (SCAN), whose lines "file,extent,disk,au" make
// the extent map file a damaged file is copied out with.
#pragma once

#include <cstdint>
#include <cstdio>

#include "asm/asm_file.h"

struct ASMDiskGroup;

void listASMFileEntry(FILE* out, ASMDiskGroup& g, const ASMFileHandle& directory);
void listASMAliasEntry(FILE* out, ASMDiskGroup& g, const ASMFileHandle& aliases);
void listASMFileExtent(FILE* out, ASMDiskGroup& g, const ASMFileHandle& file);
void listASMFileExtent2(FILE* out, ASMDiskGroup& g, ASMFileHandle& file, uint32_t firstExtent);

// LSAU and SCAN of AUs first ... first + count - 1 of one disk; the range
// ends at the end of the disk and never wraps past the last AU number.
void listASMFileEntryAU(FILE* out, ASMDiskGroup& g, uint16_t disk, uint32_t first, uint32_t count);
void listASMFileExtentMap(FILE* out, ASMDiskGroup& g, uint16_t disk, uint32_t first, uint32_t count);
// SCAN of every AU of every opened disk, each disk to its end.
void scanASMFileExtentMap(FILE* out, ASMDiskGroup& g);
