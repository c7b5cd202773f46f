// The data files of the open configuration: the configuration file reader,
// opening and closing the files, identifying each file from its own blocks,
// the OPEN/CHECK listing and the index from relative file number to entry.
#pragma once

#include <cstdint>
#include <cstdio>

#include "asm/asm_file.h"
#include "core/session_context.h"

constexpr int kMaxDataFiles = 1023;
constexpr int kMaxFileNameLength = 512;
constexpr int kConfigLineSize = 1024;
constexpr int kFileIndexSlots = 1024;
constexpr uint16_t kNoFileEntry = 0xFFFF;

struct DataFileEntry {
  char name[kMaxFileNameLength + 1] = {};  // path, or "+N" for ASM file N
  uint32_t hsize = 0;           // bytes in front of block 0 (raw device header)
  uint16_t rfn = 0;             // relative file number; position + 1 until identified
  int32_t tablespace = 0;       // ts#; 0 when unknown
  uint64_t absoluteFile = 0;    // file number from the header (or the block address)
  uint8_t version = 0;          // format byte of the identifying block; 0 when none
  uint16_t blockSize = 0;
  uint32_t blocks = 0;          // highest readable block number found by probing
  int32_t sizeMB = 0;
  FILE* file = nullptr;         // plain file, read-only and unbuffered
  int fd = -1;                  // its descriptor, for positioned reads
  ASMFileHandle* asmHandle = nullptr;  // file inside an ASM disk group
};

struct FileIndexNode {
  uint16_t rfn = 0;
  int32_t tablespace = 0;
  uint16_t position = kNoFileEntry;  // entry position; kNoFileEntry: no file
  FileIndexNode* next = nullptr;
};

struct DataFileSet {
  uint16_t count = 0;
  DataFileEntry entries[kMaxDataFiles];
  // File-number index: slot rfn AND 0x3FF heads a chain, newest first. The
  // nodes come from a pool with one node per entry.
  FileIndexNode* slots[kFileIndexSlots] = {};
  FileIndexNode nodes[kMaxDataFiles];
  uint16_t nodeCount = 0;
  FileIndexNode* lastHit = nullptr;
  // Positioned reads issued so far (plain files and ASM reads alike).
  uint64_t positionedReads = 0;
  // The configuration file the set was loaded from (device and inode), so
  // that no command ever writes over it; configKnown is false before OPEN.
  bool configKnown = false;
  uint64_t configDevice = 0;
  uint64_t configInode = 0;
};

// Where an entry's own file header (block 1, type 11) lies: the block size
// and byte order under which its block size field names the block size it
// was read at, and the relative file number of its block address (0 in a
// BIGFILE header). found is false when no block size and byte order fit.
struct FileHeaderLayout {
  bool found = false;
  uint16_t blockSize = 0;
  uint8_t byteOrder = 0;
  uint16_t rfn = 0;
};

// Reads the configuration stream into the set; returns the entry count.
int loadConfig(DataFileSet& set, FILE* config);
// Opens every entry; true when every plain file opened.
bool openDBFile(DataFileSet& set, ASMDiskGroup* group);
void closeDBFile(DataFileSet& set);

// Looks for entry p's file header at each block size from 2048 to 32768 in
// both byte orders, after the entry's OS header, with reads of its own.
FileHeaderLayout findFileHeader(DataFileSet& set, ASMDiskGroup* group, int p);
// Closes entry p and moves the later entries (and their headers, when
// headers is given) up; each keeps position + 1 as its number until it is
// identified.
void removeEntry(DataFileSet& set, int p, FileHeaderLayout* headers = nullptr);
// A file listed twice would be read twice (an unload would write its rows
// twice), so these leave the later entry out of the set, printing one line
// that names both entries: an entry that is the same file (device and inode:
// the same path, a symbolic or hard link) as an earlier one, and one whose
// header (headers[p], one per entry) carries the relative file number of an
// earlier header. Each returns how many entries it left out.
int leaveOutSameFiles(DataFileSet& set);
int leaveOutRepeatedFileNumbers(DataFileSet& set, FileHeaderLayout* headers);

// Says, one line each, which "+N" entries cannot be read because the
// session block size does not divide the disk group's AU size; returns how
// many.
int warnUnreadableASMFiles(const SessionContext& ctx);
// After the disk group changed (ASM OPEN, ADD, a new F1B1): looks every
// "+N" entry up again, identifies the entries that gained a file, rebuilds
// the index and empties the data window. Returns the "+N" entries found.
int reattachASMFiles(SessionContext& ctx);

// Rebuilds the file-number index from the entries.
void buildFileIndex(DataFileSet& set);
// Entry position of relative file number rfn through the last-hit node and
// the index; -1 when no entry carries it (the last-hit node is then cleared).
int getFileIndex(DataFileSet& set, uint32_t rfn);

// Identifies entry p from its own blocks (type, format, address, header).
void checkFileStatus(SessionContext& ctx, int p);
// Prints the file listing, identifying each file just before its row, and
// rebuilds the index. 0 when the session has no file set, else 1.
int checkFileHeader(SessionContext& ctx);

// One line describing the data file header block in the session buffer.
void printFileHeader(FILE* out, const SessionContext& ctx);

// Reads bytes (a whole number of blocks of the session block size) of entry
// position p starting at block b into buf, with one positioned read (or one
// ASM read). Returns the bytes read; 0 on any failure.
uint32_t readEntryBlocks(DataFileSet& set, const SessionContext& ctx, int p, uint32_t b,
                         unsigned char* buf, uint32_t bytes);
