// Shared by the fuzz targets: a scratch directory removed at exit, a session
// opened on scratch data files, and the run of the row fuzzers that damage
// block 2 of a builder data file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "datafile/session_setup.h"
#include "tools/builder/row_builder.h"

// Sends standard output (listings and messages) to /dev/null and makes
// /tmp/zut-fuzz-<name>-XXXXXX, removed when the process exits. Returns its
// path, or "" when it cannot be made. One scratch directory per process.
std::string makeFuzzScratch(const char* name);

// Opens the files of the configuration text (one line a file) into s, with
// read-ahead windows of windowBlocks blocks. Returns what openHarnessSession
// returns; closeHarnessSession releases the session.
int openFuzzSession(HarnessSession& s, const std::string& config, uint32_t blockSize,
                    uint32_t windowBlocks, uint8_t byteOrder = 0);

// The row fuzzers' file: 8 blocks of kDamagedBlockSize bytes, relative file
// number kDamagedFileRfn, whose rows the target adds; the input damages
// block 2, and chains lead on to block 3.
constexpr uint32_t kDamagedBlockSize = 2048;
constexpr uint16_t kDamagedFileRfn = 4;
constexpr size_t kDamagedHeadBytes = 16;

struct DamagedBlockFuzz {
  HarnessSession session;
  std::vector<uint8_t> base;  // block 2 as built
  int fd = -1;                // the file, open for writing block 2
};

// Makes the scratch directory, writes the file with the rows buildFile adds
// and opens the session on it. Returns 0 or 1.
int initDamagedBlockFuzz(DamagedBlockFuzz& z, const char* name, void (*buildFile)(mkdb::FileImage&));

// One run: writes block 2 with the input bytes after the first 16 XORed into
// it, takes the column count and types, MAXCHAINS and the row limit from the
// first 16 (head, zero padded) and reads block 2 into the session buffer.
// Returns 1 when the block is in the buffer, else 0.
int loadDamagedBlock(DamagedBlockFuzz& z, const uint8_t* data, size_t size,
                     uint8_t (&head)[kDamagedHeadBytes]);

// True when the export dump row stream holds whole rows: every row exactly
// `columns` items, every long value closed.
bool wholeDumpRows(const std::string& s, int columns);

// Runs write(FILE*) on a memory stream and traps unless it wrote whole dump
// rows of `columns` items.
template <class Write>
void requireWholeDumpRows(int columns, Write write) {
  char* out = nullptr;
  size_t length = 0;
  FILE* f = open_memstream(&out, &length);
  if (f == nullptr) return;
  write(f);
  fclose(f);
  const bool whole = wholeDumpRows(std::string(out, length), columns);
  free(out);
  if (!whole) __builtin_trap();
}

// Builder values and row pieces.
mkdb::Value textValue(const std::string& s);
mkdb::RowPiece rowPiece(std::vector<mkdb::Value> columns, uint8_t flag, mkdb::RowAddress next = {});
