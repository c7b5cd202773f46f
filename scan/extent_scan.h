// Searches over every configured data file: the segment header search by data
// object id, and the extent map of all data blocks (ZUTDICT/ZUTEXT.TXT),
// written serially or by four child processes that the LOB scan shares. The
// extent list lines are parsed here too.
//
// Every walk is the file walk of datafile/file_walk.h.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "core/field_scanner.h"
#include "core/session_context.h"
#include "datafile/block_reader.h"
#include "datafile/file_walk.h"

constexpr const char* kExtentMapPath = "ZUTDICT/ZUTEXT.TXT";
constexpr int kExtentWorkers = 4;
constexpr uint32_t kExtentWorkerCacheSize = 1048576;
// An extent map line is 5 to 128 characters; a field has at most 20 digits.
constexpr int kExtentLineMin = 5;
constexpr int kExtentLineMax = 128;
constexpr int kExtentFieldDigits = 20;
// Room for one line read from an extent list.
constexpr size_t kExtentListLineSize = 1024;

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
// The walking search alone: the file-set position of the file holding the
// header (its block number in block), or -1 when none was found.
int findSegmentHeader(SessionContext& ctx, uint32_t objd, uint16_t file, uint32_t& block);

// Extent map lines ("%u,%u,%u,%u\r\n") of the file at entry position p.
void listExtentByFile(FILE* out, SessionContext& ctx, int p);
// Extent map lines of every open file, in file-index order.
void listExtentMap(FILE* out, SessionContext& ctx);

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
// Reads lines of an extent list (up to 1023 characters each) until one is
// accepted by parseORAEXTENT; empty and rejected lines are passed over.
// False at the end of the file.
bool readORAEXTENT(FILE* f, OraExtent& extent);
