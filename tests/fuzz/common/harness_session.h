// A session opened on data files the way OPEN opens them, for the programs
// that drive the decoders outside the interpreter: the fuzz targets and the
// benchmarks.
#pragma once

#include <cstdint>
#include <cstdio>

#include "cli/session_context.h"
#include "datafile/block_reader.h"
#include "datafile/data_file_set.h"

struct HarnessSession {
  SessionContext ctx;
  DataFileSet* set = nullptr;
  ReadAheadCache data, lob;
  RdbaList corrupt, skip;
};

// Reads the configuration stream into s and opens and identifies its files
// (loadConfig, openDBFile, checkFileHeader, which prints the file listing).
// The session gets a block buffer of blockSize and both read-ahead windows
// of windowBytes. Returns 0, or 1 when the stream is null or a file did not
// open; closeHarnessSession releases the session either way.
int openHarnessSession(HarnessSession& s, FILE* config, uint32_t blockSize, uint32_t windowBytes,
                       uint8_t byteOrder);
void closeHarnessSession(HarnessSession& s);
