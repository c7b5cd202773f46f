// ASM disk images for the tests: the member disks of one disk group with
// their disk headers, the file directory (ASM file 1) and the directory
// entries of the files, their extents direct in the entry or in indirect
// extent blocks (with holes and stale older copies on request), and the
// bytes of the files laid out over their extents.
//
// Written from the on-disk layout of ASM metadata, never through the tool's
// readers. Disk images are sparse files of the disk's size.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace mkdb {

struct AsmExtent {
  uint16_t disk = 0;
  uint32_t au = 0;
};

struct AsmDiskImage {
  std::string path;
  uint16_t number = 0;
  std::string name;     // disk name, at most 32 bytes kept
  uint32_t sizeMB = 64;
};

struct AsmFile {
  uint32_t number = 0;
  uint64_t size = 0;                   // bytes, as the directory entry says
  std::vector<AsmExtent> extents;      // extent 1, 2, ... in order
  uint32_t directSlots = 60;           // extents held in the entry itself
  std::vector<AsmExtent> indirectAUs;  // AUs for the indirect extent blocks
  uint32_t perIndirectBlock = 0;       // extents per indirect block; 0: as many as fit
  std::set<uint32_t> holes;            // extent numbers no indirect block lists
  bool staleCopy = false;              // an older copy of the first indirect block after it
  AsmExtent staleTarget;               // where the stale copy's extents point
};

// An entry of the alias directory (ASM file 6).
struct AsmAlias {
  std::string name;          // at most 48 bytes kept
  uint32_t file = 0, incarnation = 0, refer = 0;
  uint8_t flags = 18;
};

// AU count of extent e (1-based); every extent one AU when not given.
using AsmExtentSizes = std::function<uint32_t(uint32_t)>;

struct AsmGroup {
  uint8_t byteOrder = 1;            // 0 big-endian, 1 little-endian (byte 0 of every block)
  uint32_t auSize = 1u << 20;
  uint32_t blockSize = 4096;
  uint32_t compat = 0x0B200000;
  std::string name = "DATA";
  std::vector<AsmDiskImage> disks;
  uint16_t f1b1Disk = 0;            // the disk whose header names the F1B1 AU
  uint32_t f1b1AU = 2;
  // ASM file 1: its extent 1 must be (f1b1Disk, f1b1AU). Its directory
  // entry is written like any other file's; entries of files 0 ... up to
  // what its extents hold are all written (empty ones for unknown files).
  AsmFile directory;
  std::vector<AsmFile> files;       // the other files
  // The alias directory: its entries, 53 to a block, in the blocks of its
  // extents (ASM file 6, written when there are aliases).
  std::vector<AsmAlias> aliases;
  std::vector<AsmExtent> aliasExtents;
};

// A group with n disks of sizeMB each under dir (disk0.img ...), the
// directory in the F1B1 AU 2 of disk 0 plus AU 3 of disk 1 (files up to
// twice the entries one AU holds).
AsmGroup asmGroup(const std::string& dir, int disks, uint8_t byteOrder, uint32_t auSize,
                  uint32_t sizeMB);

// Writes every disk image: headers, directory entries, indirect blocks.
// Returns 0, or 1 when something cannot be written.
int writeAsmGroup(const AsmGroup& g);
// Writes bytes at byte offset `at` of the file over its extents. Bytes that
// fall into holes or past the extents are not written.
int writeAsmFileBytes(const AsmGroup& g, const AsmFile& f, uint64_t at,
                      const std::vector<uint8_t>& bytes, const AsmExtentSizes& sizes = nullptr);
// The extents a file of `bytes` needs, AU after AU round-robin over the
// disks from AU `firstAU` on each, with the given extent sizes.
std::vector<AsmExtent> spreadExtents(const AsmGroup& g, uint64_t bytes, uint32_t firstAU,
                                     const AsmExtentSizes& sizes = nullptr);
// The disk list file naming every disk (one path a line).
int writeAsmDiskList(const AsmGroup& g, const std::string& path, const std::string& extra = "");

}  // namespace mkdb
