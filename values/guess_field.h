// Column type guessing from sampled rows.
//
// While the row decoders run with a non-zero row output mode they hand every
// column value to guessField instead of writing it. Each column of the
// segment then collects evidence: which forms its values cannot have
// (exclusion flags, set once and never cleared), how many values it had, the
// length of the first one, and the type guessed so far. SAMPLE and SCAN
// TABLE print the result as the COLUMN list of an UNLOAD OBJECT command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/session_context.h"

// Exclusion flags of a column.
enum GuessExclusion : uint8_t {
  kGuessLengthVaries = 0x01,  // values of different lengths were seen
  kGuessNotNumber = 0x02,
  kGuessNotDate = 0x04,       // not a DATE or TIMESTAMP
  kGuessNotClob = 0x08,       // not a CLOB locator
  kGuessNotBlob = 0x10,       // not a BLOB locator
  kGuessNotChar = 0x20,       // not character data
};

// The guess state of one segment, columns indexed from 0.
struct ColumnStats {
  uint32_t objd = 0;          // data object id of the sampled segment
  uint16_t columnCount = 0;   // highest column index seen plus 1
  uint8_t flags[kMaxColumns] = {};
  uint8_t type[kMaxColumns] = {};         // guessed type code
  uint16_t count[kMaxColumns] = {};       // non-NULL values seen (stops at 65535)
  uint16_t firstLength[kMaxColumns] = {}; // length of the first non-NULL value
};

// Clears the state for a new segment: no columns, every guessed type RAW (23),
// every count, length and flag 0.
void resetColumnStats(ColumnStats& stats);

// Value tests on raw bytes.
bool isGuessValidNumber(const unsigned char* bytes, size_t length);
bool isGuessValidDate(const unsigned char* bytes, size_t length);
bool isGuessValidCLOB(const unsigned char* bytes, size_t length);
bool isGuessValidBLOB(const unsigned char* bytes, size_t length);
bool isGuessValidChar(const unsigned char* bytes, size_t length);

// The same on a value in the session block buffer; false when the value does
// not lie inside the block.
bool isGuessValidNumber(const SessionContext& ctx, uint32_t offset, uint32_t length);
bool isGuessValidDate(const SessionContext& ctx, uint32_t offset, uint32_t length);
bool isGuessValidCLOB(const SessionContext& ctx, uint32_t offset, uint32_t length);
bool isGuessValidBLOB(const SessionContext& ctx, uint32_t offset, uint32_t length);
bool isGuessValidChar(const SessionContext& ctx, uint32_t offset, uint32_t length);

// Adds one column value (offset and length in the session block buffer,
// length 0 for NULL) of table column `column` to ctx.columnStats. Does
// nothing when the session has no guess state, for a column index past the
// 1024 the state holds, and for a value that reaches the last 3 bytes of the
// block or beyond.
void guessField(SessionContext& ctx, uint32_t offset, uint32_t length, uint32_t column);

// The COLUMN keyword of a guessed type (" NUMBER", " VARCHAR", ...); a type
// without a keyword is " RAW" when the column had values, else " UNKNOWN".
const char* getGuessTypeWord(uint8_t type, uint16_t firstLength);

// Writes the guessed COLUMN list: " \n      " before the 1st, 11th, 21st ...
// type word, and once more after the last when the column count modulo 10 is
// 0 or 5 to 9.
void printGuessedColumns(FILE* out, const ColumnStats& stats);
