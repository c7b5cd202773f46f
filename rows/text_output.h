// The text a table or object unload writes, field by field, and what the
// unload learns from it: the longest text of each column (the control file,
// written after the rows, admits it), the values that hold the field or
// record tag (they would shift or split rows at load time) and, in CSV
// style, which fields need double quotes.
//
// Most values are written straight from the block: the text of CHAR,
// VARCHAR2 and LONG values is their stored bytes, looked at where they lie,
// and numbers, dates and hexadecimal are made of digits, signs and a few
// letters, which cannot form a tag or need quotes unless the tags are made
// of such characters. National text and collections are rendered into a
// scratch buffer first; LOB values go through a filter stream that counts
// them, and in CSV encloses them in quotes whatever they hold (their length
// is not known before they are written).
//
// A field is preceded by FIELD_TAG unless it is the first of its row, so a
// row has one field per column written; in CSV a row is filled up to its
// width with empty fields. The dictionary build and SAMPLE do not use this
// (SessionContext::textOutput is null for them) and keep writing FIELD_TAG
// after each column.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/session_context.h"

struct TextOutput {
  bool csv = false;
  // Fields of a CSV row: the row address and each column that is not
  // skipped; 0 when the columns are not known.
  uint32_t rowWidth = 0;
  // Text style: values holding FIELD_TAG or RECORD_TAG.
  uint64_t taggedValues = 0;
  // Longest text written per table column, in bytes (quotes included).
  uint32_t longest[kMaxColumns] = {};

  // The row being written.
  uint32_t fieldsInRow = 0;
  // The value that goes on in the next row piece: its column (-1: none),
  // its text so far and whether that held a tag.
  int openColumn = -1;
  uint32_t openLength = 0;
  bool openTagged = false;
  // CSV: a value continued in the next row piece is held here until its
  // last piece, so that it is quoted as a whole.
  bool holding = false;
  std::string held;

  // Set by the constructor from the session's tags and column types, which
  // stay as they are for the whole unload.
  bool fixedTextNeedsLook = false;  // digits and signs can form a tag
  uint8_t kind[kMaxColumns] = {};   // how each column's text is come by
  unsigned char tagStart[2] = {};   // first bytes of FIELD_TAG and RECORD_TAG
  FILE* scratch = nullptr;          // renders into `rendered`
  std::string rendered;
  FILE* lobFilter = nullptr;        // counts, checks and quotes into lobTarget
  FILE* lobTarget = nullptr;
  uint64_t lobBytes = 0;
  bool lobTagged = false;
  std::string lobTail;              // last bytes of the previous LOB piece

  const SessionContext* ctx = nullptr;

  TextOutput(const SessionContext& session, bool csvStyle);
  ~TextOutput();
  TextOutput(const TextOutput&) = delete;
  TextOutput& operator=(const TextOutput&) = delete;
  // False when a stream could not be made; the unload should not start.
  bool ready() const { return scratch != nullptr && lobFilter != nullptr; }
};

// The text form of printMappedColumns (rows/text_rows.h) for a table or
// object unload: the mapped columns of a piece, starting at table column
// firstColumn, each the next field of the row, or, for the piece's first
// column when the piece goes on from the previous one (flag P), the rest of
// the field before it. Returns firstColumn + the columns.
int writeTextColumns(FILE* stream, SessionContext& ctx, int table, int row, int firstColumn,
                     bool compressed);

// The row address "rdba.table.slot" as the first field of a row.
void writeRowAddress(FILE* stream, SessionContext& ctx, int32_t rdba, int table, int row);

// The end of a row: a held value written, a CSV row filled up to its width,
// and RECORD_TAG. Without a TextOutput, RECORD_TAG alone.
void endTextRecord(FILE* stream, SessionContext& ctx);

// A CSV field as RFC 4180 writes it: enclosed in double quotes, inner quotes
// doubled, when it holds the separator, a quote, CR or LF, or begins or ends
// with a blank; else as it is. Returns the bytes written.
size_t writeCsvField(FILE* stream, const SessionContext& ctx, const char* text, size_t length);
// The same with the separator given.
size_t writeCsvField(FILE* stream, const char* separator, uint16_t separatorLength,
                     const char* text, size_t length);

// The first line of a CSV file: the column names as fields.
void writeCsvHeader(FILE* stream, const SessionContext& ctx,
                    const std::vector<std::string>& names);

// True when text holds FIELD_TAG or RECORD_TAG of ctx.
bool holdsTag(const SessionContext& ctx, const char* text, size_t length);
