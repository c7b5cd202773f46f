// A file inside an ASM disk group, as the data file set and the block reader
// see it: a handle that locates the file's directory entry and caches a
// window of its extents, a lookup by ASM file number and a block read.
#pragma once

#include <cstdint>

struct ASMDiskGroup;

constexpr uint32_t kASMNoFile = 0xFFFFFFFF;
constexpr int kASMExtentWindow = 1024;

struct ASMFileHandle {
  uint32_t fileNumber = kASMNoFile;  // ASM file number; kASMNoFile when unset
  uint16_t disk = 0xFFFF;            // location of the directory entry
  uint32_t au = 0xFFFFFFFF;
  uint16_t block = 0;
  // Extent cache window: extent number e lives in entry e AND 0x3FF.
  uint32_t extentNumber[kASMExtentWindow] = {};
  uint16_t extentDisk[kASMExtentWindow] = {};
  uint32_t extentAU[kASMExtentWindow] = {};
};

// Resets a handle to the fresh state: no file, no known location, every cache
// entry holding extent number 0 (which no extent has).
void initASMFileHandle(ASMFileHandle& handle);

// Finds the directory entry of ASM file fileNumber and records it in the
// handle. On failure the handle is left as it was: callers compare the
// handle's file number with the one they asked for.
void getASMFileEntry(ASMDiskGroup* group, ASMFileHandle& handle, uint32_t fileNumber);

// Reads count consecutive Oracle blocks of blockSize bytes starting at
// firstBlock into buffer; returns the bytes read, a multiple of blockSize
// (0 on failure).
uint32_t readASMOracleBlock(ASMDiskGroup* group, ASMFileHandle& handle, uint32_t firstBlock,
                            uint32_t blockSize, unsigned char* buffer, uint32_t count);
