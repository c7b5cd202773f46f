// The disks of an ASM disk group, read without any ASM instance: the one
// disk-group context the interpreter owns, the table of opened disks with
// the map from disk number to entry, the raw readers of metadata blocks and
// allocation units (AUs) with their three one-entry caches, the search of
// the F1B1 AU for the system files and the disk listing.
//
// Disks are inputs: they are opened read-only and never written.
#pragma once

#include <cstdint>
#include <cstdio>

#include "asm/asm_file.h"

constexpr int kASMMaxDisks = 2048;
constexpr int kASMDiskMapSize = 65536;
constexpr uint16_t kASMNoDisk = 0xFFFF;
constexpr uint32_t kASMNoAU = 0xFFFFFFFF;
constexpr size_t kASMPathSize = 256;
constexpr uint32_t kASMDefaultOracleBlock = 8192;
constexpr uint32_t kASMDefaultBlockSize = 4096;
constexpr uint32_t kASMDefaultAUSize = 1048576;
// Largest AU (and so AU buffer) the group accepts, and largest metadata block.
constexpr uint32_t kASMMaxAUSize = 0x7D8EFFF;
constexpr uint32_t kASMMaxBlockSize = 32768;
constexpr int kASMPolicyLevels = 4;
// Block indexes within an AU are 16-bit: AUs are walked that far at most.
constexpr uint32_t kASMMaxBlocksPerAU = 65536;

struct ASMDisk {
  uint16_t number = kASMNoDisk;
  uint16_t blockSize = 0;  // metadata block size of this disk
  uint32_t auSize = 0;     // AU size of this disk in bytes
  uint32_t sizeMB = 0xFFFFFFFF;
  char name[33] = {};      // at most 32 characters, always terminated
  char groupName[33] = {};
  char path[kASMPathSize] = {};
  FILE* stream = nullptr;  // read-only, unbuffered
  int fd = -1;
};

// One cached metadata block or AU: (disk, AU[, block]) is the key; a key of
// all ones is empty.
struct ASMCache {
  uint16_t disk = kASMNoDisk;
  uint32_t au = kASMNoAU;
  uint16_t block = 0xFFFF;
  uint32_t size = 0;  // bytes allocated
  unsigned char* buffer = nullptr;
};

struct ASMExtentPolicy {
  uint32_t last[kASMPolicyLevels];  // last extent number of each level
  uint32_t count[kASMPolicyLevels];  // AUs per extent of each level
};

struct ASMDiskGroup {
  uint32_t compat = 0;
  uint32_t oracleBlock = kASMDefaultOracleBlock;
  uint32_t blockSize = kASMDefaultBlockSize;
  uint32_t auSize = kASMDefaultAUSize;
  uint32_t stripWidth = 8;
  uint32_t stripSize = 131072;
  uint16_t diskCount = 0;
  uint16_t f1b1Disk = kASMNoDisk;
  uint32_t f1b1AU = kASMNoAU;
  uint16_t map[kASMDiskMapSize];
  ASMDisk disks[kASMMaxDisks];
  ASMCache blockCache, auCache, exCache;
  ASMFileHandle fileDir, diskDir, aliasDir;
  ASMExtentPolicy policy;
  uint64_t diskReads = 0;  // positioned reads of disks so far
};

// Sets every field to its initial value; no buffer is allocated.
void initASMDiskGroup(ASMDiskGroup& g);
// Reallocates the AU buffers and the block buffer for the sizes in force and
// empties the three caches.
void setDiskGroupCache(ASMDiskGroup& g);
// Closes every disk, forgets F1B1, the system files and the extent policy,
// frees the buffers; the size settings stay.
void closeDiskGroup(ASMDiskGroup& g);
void initASMDisk(ASMDisk& d);

// A group for a session: allocated, initialised, buffers ready; and its
// release.
ASMDiskGroup* newDiskGroup();
void deleteDiskGroup(ASMDiskGroup* g);

// Opens every disk named in a disk list file; messages (a disk that cannot
// be opened, one whose first block is no disk header) go to out.
void openDiskGroup(FILE* out, ASMDiskGroup& g, const char* listPath);
// Adds one disk under the given number (ASM ADD); size 0: from the header,
// else from the device. Says when the disk cannot be opened.
void openDiskGroupDisk(FILE* out, ASMDiskGroup& g, uint16_t number, const char* path,
                       uint32_t sizeMB);

// Entry of a disk number, or null when the number is unknown.
ASMDisk* findASMDisk(ASMDiskGroup& g, uint16_t number);

uint32_t readFromDisk(ASMDiskGroup& g, ASMDisk& d, uint64_t offset, unsigned char* buffer,
                      uint32_t length);
uint32_t readDiskGroup(ASMDiskGroup& g, uint16_t disk, uint32_t au, uint32_t block,
                       unsigned char* buffer, uint32_t length);
// Make the AU cache (the second AU cache) hold the AU; the AU size, or 0.
uint32_t readDiskGroupAU(ASMDiskGroup& g, uint16_t disk, uint32_t au);
uint32_t readDiskGroupEX(ASMDiskGroup& g, uint16_t disk, uint32_t au);
// Make the block cache hold metadata block `block` of the AU; the block
// size, or 0.
uint32_t readDiskGroupBlock(ASMDiskGroup& g, uint16_t disk, uint32_t au, uint32_t block);

// Looks for the system files' directory entries in the F1B1 AU.
void getASMSystemFileEntry(ASMDiskGroup& g);
// Blocks of the AU that sit where the first AU of a file directory has them.
uint32_t scoreASMFileEntryAU(ASMDiskGroup& g, uint16_t disk, uint32_t au);
void printDiskGroup(FILE* out, ASMDiskGroup& g);

// True when the file (device, inode) is one of the group's open disks.
bool isDiskGroupMember(const ASMDiskGroup* g, uint64_t device, uint64_t inode);
