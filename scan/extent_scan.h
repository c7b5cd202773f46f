// Block-walking searches and listings over every configured data file: the
// segment header search by data object id, the SCAN listings of segment
// headers, data blocks and block types, and the extent map of all data blocks
// (ZUTDICT/ZUTEXT.TXT), written serially or by four child processes.
//
// Every walk visits the open files in file-index order and, in each, blocks 2
// up to the file's block count; a non-zero file number restricts the walk to
// the files carrying it, except in BIGFILE mode. A block that does not read in
// full is passed over without a message.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "cli/command_reader.h"
#include "cli/session_context.h"
#include "datafile/block_reader.h"

constexpr const char* kExtentMapPath = "ZUTDICT/ZUTEXT.TXT";
constexpr int kExtentWorkers = 4;
constexpr uint32_t kExtentWorkerCacheSize = 1048576;
// An extent map line is 5 to 128 characters; a field has at most 20 digits.
constexpr int kExtentLineMin = 5;
constexpr int kExtentLineMax = 128;
constexpr int kExtentFieldDigits = 20;

// One line of the extent map: a run of consecutive data blocks of one object.
struct OraExtent {
  uint32_t objd = 0;
  uint16_t file = 0;
  uint32_t block = 0;
  uint32_t blocks = 0;
};

// Segment header search. With a block number and either a file number or
// BIGFILE, only that block of the first eligible file is read; otherwise the
// files are walked, passing over skip-listed blocks and blocks that fail the
// corrupt list or, with BLOCK_CHECK, the checksum. True when a segment header
// of the object was found; it is then in the session block buffer. out is the
// stream of the caller's rows: the search itself writes nothing.
bool scanSegmentHeader(FILE* out, SessionContext& ctx, uint32_t objd, uint16_t file,
                       uint32_t block);
// The same search, always walking the files.
bool scanSegmentHeader(SessionContext& ctx, uint32_t objd, uint16_t file);

// SCAN HEADER: the brief header of every segment header, or only of the
// first one of object objd when objd is not 0.
void listSegmentHeader(FILE* out, SessionContext& ctx, uint32_t objd, uint16_t file);
// SCAN DATA: the brief header of data blocks; with objd, the first `blocks`
// blocks of that object (at least one); without, the first `blocks` blocks of
// every run of one object (every block when blocks is 0).
void listDataBlock(FILE* out, SessionContext& ctx, uint32_t objd, uint16_t file,
                   uint32_t blocks);
// SCAN BLOCK: every block type met with up to ten example addresses.
void listDataBlockType(FILE* out, SessionContext& ctx, uint16_t file);

// Extent map lines ("%u,%u,%u,%u\r\n") of the file at entry position p.
void listExtentByFile(FILE* out, SessionContext& ctx, int p);
// Extent map lines of every open file, in file-index order.
void listExtentMap(FILE* out, SessionContext& ctx);

// ---- the walk of one file, shared by the block-map scans ----

// How the blocks of the open file at entry position p are read. Normally
// through the data window by file number; when that number leads to another
// entry (two files carrying the same number, or a BIGFILE file not
// registered as file 0), the entry is read directly so that the walk still
// sees this file's own blocks.
struct FileWalk {
  int position = 0;
  uint16_t rfn = 0;
  uint32_t lookup = 0;  // file number handed to readBlock
  bool direct = false;
  uint64_t last = 0;    // highest block number of the file
};
// False when the session has no file set or buffer, or p is not an open file.
bool startFileWalk(SessionContext& ctx, int p, FileWalk& walk);
// True when the block read in full into the session block buffer.
bool readFileWalkBlock(SessionContext& ctx, const FileWalk& walk, uint32_t block);

// ---- the four worker processes of the parallel scans ----

// One worker's share: the session to copy and the worker number 0 to 3; it
// scans the open files whose entry position modulo 4 equals the number.
struct ExtentWorker {
  const SessionContext* ctx = nullptr;
  int worker = 0;
};
// A worker's own copy of the session: every setting and shared pointer, a
// block buffer of its own and a 1 MB data window.
struct WorkerSession {
  std::unique_ptr<SessionContext> ctx;
  ReadAheadCache cache;
  WorkerSession() = default;
  WorkerSession(const WorkerSession&) = delete;
  WorkerSession& operator=(const WorkerSession&) = delete;
  ~WorkerSession();
};
// False when the copy could not be made.
bool startWorkerSession(const SessionContext& from, WorkerSession& w);
// Runs work for workers 0 to 3, each in a child process started one after
// another, and waits for them in start order; done[k] tells whether worker
// k ended with status 0. A worker that cannot be forked runs in this process.
void runScanWorkers(const SessionContext& ctx, int (*work)(const ExtentWorker&),
                    bool done[kExtentWorkers]);
// Appends the piece file at path to out; false when it cannot be opened.
bool appendPieceFile(const char* path, FILE* out);

// One worker of the parallel extent scan: its files go to
// ZUTDICT/ZUTEXT.%02d.TXT. Returns 0, or 1 when the piece file could not be
// created.
int listExtentMapSerial(const ExtentWorker& w);
// Four child processes, one per worker, then the pieces merged in worker
// order into ZUTDICT/ZUTEXT.TXT. Returns the number of workers that failed.
int listExtentMapParallel(SessionContext& ctx);
// Path of worker k's piece file.
void extentPiecePath(int worker, char* path, size_t size);

// Parses one extent map line held by the cursor (text and length). Returns 0
// when the line is accepted, 1 when it is rejected: outside 5 to 128
// characters, a missing or empty field, a field that is not decimal digits or
// has more than 20 of them, or a value too large for its field.
int parseORAEXTENT(OraExtent& extent, FieldScanner& cursor);
