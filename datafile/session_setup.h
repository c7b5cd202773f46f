// Setting up a session for reading data files: the file set, both read-ahead
// windows, the corrupt and skip lists and the block buffer that the session
// record points at, and opening the files of a configuration. The
// interpreter, the tests, the fuzz targets and the benchmarks all set their
// sessions up through here, so they read blocks exactly as OPEN does.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "core/session_context.h"
#include "datafile/block_reader.h"
#include "datafile/data_file_set.h"

// What the session record points at; owned here, not by the record.
struct SessionResources {
  std::unique_ptr<DataFileSet> set;
  ReadAheadCache data, lob;
  RdbaList corrupt, skip;
  ASMDiskGroup* diskGroup = nullptr;  // the one ASM disk-group context
};

// Points ctx at r's empty file set, an empty ASM disk group, its two read-ahead windows (windowBytes
// each) and its lists, and gives ctx a zeroed block buffer of blockSize bytes
// (freed by endSession, or by whoever replaces it).
void startSession(SessionContext& ctx, SessionResources& r, uint32_t blockSize,
                  uint32_t windowBytes);
// Closes the data files and frees the windows, the file set and the block
// buffer; clears ctx's pointers to them.
void endSession(SessionContext& ctx, SessionResources& r);

// What openSessionFiles returns: 0, or these bits.
constexpr int kOpenFileMissing = 1;  // the stream is null or a file did not open
constexpr int kOpenLeftOut = 2;      // an entry repeated an earlier file and was left out

// Replaces the session's files by those of the configuration stream and
// identifies them: closeDBFile, loadConfig, openDBFile, leaves out the
// entries that repeat an earlier file, checks each file's own header against
// the session's block size and byte order, then checkFileHeader (which
// prints the file listing) and empties the data window. With
// adoptHeaderLayout (the user never chose a block size or byte order) the
// session takes both from the first header found, saying so when that
// changes them; otherwise they stay. Either way each file whose header
// shows other values is warned about.
int openSessionFiles(SessionContext& ctx, FILE* config, bool adoptHeaderLayout = false);

// A session on its own, for the programs that drive the decoders outside the
// interpreter: the fuzz targets, the tests and the benchmarks.
struct HarnessSession {
  SessionContext ctx;
  SessionResources res;
};

// startSession with the byte order, then openSessionFiles keeping both
// settings. Returns what openSessionFiles returns; closeHarnessSession
// releases the session either way.
int openHarnessSession(HarnessSession& s, FILE* config, uint32_t blockSize, uint32_t windowBytes,
                       uint8_t byteOrder);
void closeHarnessSession(HarnessSession& s);
