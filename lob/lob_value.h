// LOB column values from their locators: as text (inline in the output, or
// written to files under LOBDATA) and as export dump values. A LOB column
// holds a locator; the value it points at lies inline in the locator, in LOB
// blocks found through the LOB maps, or in the blocks of an extent list
// written in the locator.
//
// An unload starts the reader (beginLobUnload) before its first row and
// ends it after its last: the reader holds the LOB maps, one block buffer
// for every LOB block the unload reads, the CLOB and NCLOB converters and
// what went wrong on the way (LOB files not created or not written,
// characters that did not convert). Unreadable LOB blocks count with the
// unload's unreadable blocks (the session's block tally).
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/session_context.h"
#include "lob/lob_map.h"
#include "values/charset.h"

struct LobReader {
  LobHashMap map;
  bool active = false;
  SessionContext blocks;               // the unload's settings, reading into buffer
  std::vector<unsigned char> buffer;   // one LOB block
  TextStream clob;                     // CLOB text: ICONV_CLOB, or UTF-16 to UTF-8
  TextStream nclob;                    // NCLOB text: ICONV_NCLOB, or the national converter
  // FILE mode: how many values were lost because their file could not be
  // created, or its writes failed (the first of each is reported).
  uint64_t filesNotCreated = 0;
  uint64_t filesNotWritten = 0;
  std::vector<unsigned char> value;    // a converted inline value for the dump
};

// Opens the LOB maps when they exist (ZUTDICT/ZUTLOB.TXT) and sets the
// reader up for an unload with the session's block size and settings; the
// session points at it until endLobUnload. The converters are set by the
// caller afterwards (setTextStream on reader.clob and reader.nclob).
void beginLobUnload(LobReader& reader, SessionContext& ctx);
// Closes the maps; the session no longer points at the reader.
void endLobUnload(LobReader& reader, SessionContext& ctx);

// LOB columns: the locator at (offset, length) in the session block buffer.
void printBLOB(FILE* stream, SessionContext& ctx, uint32_t offset, uint32_t length);
void printCLOB(FILE* stream, SessionContext& ctx, uint32_t offset, uint32_t length);
void printNCLOB(FILE* stream, SessionContext& ctx, uint32_t offset, uint32_t length);

// Export dump value of a LOB column from its locator (types 112 and 113):
// an inline value as one value item, a value in blocks as a chained value,
// and a NULL item for LOB_STORAGE NONE and for a locator we cannot read.
void dumpLOBValue(FILE* stream, SessionContext& ctx, const unsigned char* locator,
                  uint32_t length, uint8_t type, uint16_t charsetForm);
