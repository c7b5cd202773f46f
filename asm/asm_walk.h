// The walks the readers, listings and copies of ASM files share: private
// copies of metadata blocks, the block-by-block visit of an AU that still
// works when the AU cannot be read whole, and the walk of a file's extents
// in extent order through its directory entry and indirect extent blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "asm/asm_file.h"

struct ASMDiskGroup;

// A private copy of the metadata block at (disk, AU, block) when it reads in
// full: later reads may replace the block cache.
bool copyMetadataBlock(ASMDiskGroup& g, uint16_t disk, uint32_t au, uint32_t block,
                       std::vector<unsigned char>& out);
// A private copy of a file's directory entry: a full block of type 4 whose
// block number is the handle's file number.
bool copyFileEntry(ASMDiskGroup& g, const ASMFileHandle& h, std::vector<unsigned char>& out);

// Slots of a directory entry: the direct extents (the smaller of the slots
// used and the direct slots), all slots used, and the slots of an indirect
// block; never more than the block holds.
uint32_t directExtents(const unsigned char* b, size_t n);
uint32_t usedSlots(const unsigned char* b, size_t n);
uint32_t indirectCount(const unsigned char* b, size_t n);

// The byte length of the disk as it is (image or device), 0 when unknown.
uint64_t diskGroupDiskBytes(ASMDiskGroup& g, uint16_t disk);

// The AUs of all opened disks together: no file has more extents.
uint64_t diskGroupAUs(ASMDiskGroup& g);

// Visits each full metadata block of AU (disk, au) with its index, read into
// a buffer of the walk's own (so visitors may use every cache). An AU that
// does not read whole is visited block by block, skipping blocks that do
// not read; one that begins past the end of its disk is not visited. The
// visitor returns false to stop. Returns false when nothing could be read.
using ASMBlockVisit = std::function<bool(uint32_t index, const unsigned char* block, size_t length)>;
bool visitBlocksOfAU(ASMDiskGroup& g, uint16_t disk, uint32_t au, const ASMBlockVisit& visit);

// The extents of a file, in extent order, from its directory entry (a
// private copy): direct slots first, then the slots of the indirect extent
// blocks whose first extent index continues the run. An indirect block that
// starts later than the run reports the extents in between as missing; one
// that starts earlier is an older copy and is passed over, and so is one
// that starts past the extents the entry's indirect slots can hold. At most
// `limit` extents (the entry's extent count, or less) are visited. The
// visitors return false to stop the walk.
struct ASMExtentWalk {
  std::function<bool(uint64_t extent, const ASMExtent& where)> extent;
  std::function<bool(uint64_t first, uint64_t count)> missing;
};
void walkFileExtents(ASMDiskGroup& g, const unsigned char* entry, size_t n, uint32_t fileNumber,
                     uint64_t limit, const ASMExtentWalk& walk);
