// Files inside an ASM disk group: the file directory entry and its extents
// (direct in the entry, the rest in indirect extent blocks), a handle that
// locates a file's directory entry and caches a window of 1024 of its
// extents, the variable extent size policy and the reads of bytes and of
// Oracle blocks of a file, across AU and extent boundaries.
#pragma once

#include <cstdint>
#include <cstdio>

struct ASMDiskGroup;
struct ASMExtentPolicy;

constexpr uint32_t kASMNoFile = 0xFFFFFFFF;
constexpr int kASMExtentWindow = 1024;
constexpr uint32_t kASMNoExtent = 0xFFFFFFFF;

struct ASMFileHandle {
  uint32_t fileNumber = kASMNoFile;  // ASM file number; kASMNoFile when unset
  uint16_t disk = 0xFFFF;            // location of the directory entry
  uint32_t au = 0xFFFFFFFF;
  uint16_t block = 0;
  // Extent cache window: extent number e lives in entry e AND 0x3FF; an
  // entry with number kASMNoExtent is empty, one with disk 0xFFFF and AU
  // 0xFFFFFFFF is a hole the indirect blocks skip.
  uint32_t extentNumber[kASMExtentWindow] = {};
  uint16_t extentDisk[kASMExtentWindow] = {};
  uint32_t extentAU[kASMExtentWindow] = {};
};

// An extent pointer: AU number and disk number.
struct ASMExtent {
  uint32_t au = 0;
  uint16_t disk = 0;
  uint8_t flags = 0;
  uint8_t check = 0;
};

// Where a byte offset of a file lies: the 0-based extent index, the AU count
// of that extent and the byte offset of the file at which it starts.
struct ASMFileOffset {
  uint32_t extent = 0;
  uint32_t auCount = 0;
  uint64_t start = 0;
};

// Resets a handle to the fresh state: no file, no known location, every cache
// entry holding extent number 0 (which no extent has).
void initASMFileHandle(ASMFileHandle& handle);

// Slot s of a file directory block (type 4) or an indirect extent block
// (type 12); all zero for another type or a slot past the block's end.
ASMExtent getASMFileExtent(const unsigned char* block, size_t length, uint32_t slot);

// Finds the directory entry of ASM file fileNumber and records it in the
// handle. On failure the handle is left as it was: callers compare the
// handle's file number with the one they asked for.
void getASMFileEntry(ASMDiskGroup* group, ASMFileHandle& handle, uint32_t fileNumber);
// Makes the handle's window cover extents [first, first + 1024) as far as
// the file has them.
void readFileExtentCache(ASMDiskGroup& group, ASMFileHandle& handle, uint32_t first);

uint32_t getExtentAUCount(const ASMExtentPolicy& policy, uint32_t extent);
void setExtentAUCount(ASMExtentPolicy& policy, uint32_t level, uint32_t last, uint32_t count);
void listASMExtentPolicy(FILE* out, const ASMDiskGroup& group);
void getASMFileOffsetAU(const ASMDiskGroup& group, ASMFileOffset& result, uint64_t offset);

// Reads length bytes (at most one AU) at byte unit × unitSize of the file;
// returns length or 0.
uint32_t readASMFileData(ASMDiskGroup& group, ASMFileHandle& handle, uint64_t unit,
                         uint32_t unitSize, unsigned char* buffer, uint32_t length);
// Reads count Oracle blocks (at most one AU of them) from firstBlock; the
// bytes read, whole blocks only.
uint32_t readASMOracleBlock2(ASMDiskGroup& group, ASMFileHandle& handle, uint32_t firstBlock,
                             uint32_t blockSize, unsigned char* buffer, uint32_t count);
// Reads count consecutive Oracle blocks of blockSize bytes starting at
// firstBlock into buffer; returns the bytes read, a multiple of blockSize
// (0 on failure).
uint32_t readASMOracleBlock(ASMDiskGroup* group, ASMFileHandle& handle, uint32_t firstBlock,
                            uint32_t blockSize, unsigned char* buffer, uint32_t count);
