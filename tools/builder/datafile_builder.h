// The synthetic database builder: writes Oracle-format data files without an
// Oracle server, for the tests, the demo and the benchmarks.
//
// A file is described by a FileImage: its geometry (block size, byte order,
// format byte, OS header, relative file number, BIGFILE addressing) and a
// sparse set of block images. Each add* function makes one block image from
// the on-disk layout tables (never through the tool's readers, so that the
// two check each other); callers may change any byte of an image afterwards.
// writeDataFile lays the images out, fills runs of empty data blocks, leaves
// every other block zero, and sets the checksum of every block it writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace mkdb {

constexpr uint8_t kLittle = 0;
constexpr uint8_t kBig = 1;

using Block = std::vector<uint8_t>;

// Every block ends with a 4-byte tail: the SCN's low 16 bits, the block type
// and the sequence.
constexpr size_t kBlockTailSize = 4;

// ITL flag nibbles.
constexpr uint8_t kItlCommitted = 0x8;
constexpr uint8_t kItlUpperBound = 0x2;

// A run of empty data blocks (type 6) made while the file is written, so
// files of any size need no image per block.
struct DataRun {
  uint32_t first = 0;
  uint32_t count = 0;
  uint32_t objd = 0;
  uint8_t itls = 2;
};

struct FileImage {
  std::string path;                  // where writeDataFile puts the file
  std::string configName;            // name in the configuration file; path when empty
  uint32_t blockSize = 8192;         // 2048 ... 32768
  uint8_t byteOrder = kLittle;
  uint8_t format = 0xA2;             // block format byte of every block
  uint32_t hsize = 0;                // bytes of OS header in front of block 0
  uint16_t rfn = 1;                  // relative file number in every block address
  uint16_t fileNumber = 1;           // absolute file number in the header
  bool bigfile = false;              // block addresses are plain 32-bit block numbers
  int32_t tablespace = 0;
  std::string tablespaceName = "USERS";
  uint32_t blocks = 16;              // blocks in the file, block 0 included
  uint32_t headerBlockSize = 0;      // block size the header claims; 0: blockSize
  uint32_t dbid = 0x5A555401;
  std::string dbName = "ZUTDB";
  uint32_t softwareVersion = 0x0B200000;
  uint32_t compatibleVersion = 0x0B200000;
  uint32_t bootstrapRDBA = 0;
  uint16_t fuzzy = 0;                // fuzzy status flags of the header
  uint32_t scnBase = 0x00012345;
  uint16_t scnWrap = 0;
  std::map<uint32_t, Block> images;  // block number -> image
  std::vector<DataRun> runs;
};

struct Extent {
  uint32_t rdba = 0;    // first block
  uint32_t blocks = 0;  // number of blocks
};

struct SegmentPlan {
  uint8_t type = 16;                 // 16, 17 or 35
  uint32_t block = 0;                // where the segment header goes
  uint32_t objd = 0;
  std::vector<Extent> extents;       // the whole extent map, in order
  std::vector<uint32_t> mapBlocks;   // extent map blocks for what does not fit
  uint32_t perBlock = 0;             // extents per block; 0: as many as fit
  uint8_t mapType = 0;               // 18 or 36; 0: 18 for 16/17, 36 for 35
};

// Block address of block b of the file (BIGFILE: b itself).
uint32_t blockAddress(const FileImage& f, uint32_t block);
uint32_t makeAddress(uint32_t rfn, uint32_t block);
Extent extentAt(const FileImage& f, uint32_t firstBlock, uint32_t blocks);

// Field writers; writes that do not fit the block are dropped.
void putUB1(Block& b, size_t off, uint32_t v);
void putUB2(Block& b, size_t off, uint32_t v, uint8_t order);
void putUB4(Block& b, size_t off, uint32_t v, uint8_t order);

// A zeroed block image with its cache header (type, format, address, SCN,
// sequence) and tail, stored as block `block` of the file and returned.
Block& addBlock(FileImage& f, uint32_t block, uint8_t type);

// The image of a block, made first when it has none: the data block of a
// run when a run covers it, otherwise a zero block.
Block& blockImage(FileImage& f, uint32_t block);

// Block 0 (the OS block) and block 1, the data file header (type 11).
void addFileHeader(FileImage& f);
// A data block (type 6) of object objd with itls ITL entries.
Block& addDataBlock(FileImage& f, uint32_t block, uint32_t objd, uint8_t itls,
                    uint8_t dataType = 1);
// The same data block as an image of the file's geometry, not stored in the
// file, for the row and index layouts: byte 38 holds the header shift flag
// (0x32) or 0, and each ITL entry its flag nibble (missing entries:
// committed) and its lock count, the number of rowLocks (lock bytes, ITL
// entry + 1) that name it.
Block dataBlockImage(const FileImage& f, uint32_t block, uint32_t objd, uint8_t itls,
                     uint8_t dataType, bool headerShift, const std::vector<uint8_t>& itlFlags,
                     const std::vector<uint8_t>& rowLocks);
// Offset of the data layer behind the ITL entries: 44 + 24 × itls, plus 8
// with the header shift.
size_t dataLayerOffset(uint8_t itls, bool headerShift);
void addDataRun(FileImage& f, uint32_t first, uint32_t count, uint32_t objd, uint8_t itls = 2);
// A segment header whose extent map spills into the given extent map blocks.
// Returns 0, or 1 when the extents do not fit (nothing is added then).
int addSegmentHeader(FileImage& f, const SegmentPlan& s);

// Sets the checksum field so that the XOR of all 16-bit words is zero.
void setChecksum(Block& b);

// Writes the file; returns 0, or 1 when it cannot be written.
int writeDataFile(const FileImage& f);
// One line per file, "name [hsize]"; returns 0 or 1.
int writeConfigFile(const std::string& path, const std::vector<FileImage>& files);

// Test helpers on written files; each returns 0, or 1 on failure.
int flipFileByte(const std::string& path, uint64_t offset, uint8_t mask = 0xFF);
int fixFileChecksum(const FileImage& f, uint32_t block);
int truncateFile(const std::string& path, uint64_t length);

}  // namespace mkdb
