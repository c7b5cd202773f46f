// LOB column values from their locators: as text (inline in the output, or
// written to files under LOBDATA) and as export dump values. A LOB column
// holds a locator; the value it points at lies inline in the locator, in LOB
// blocks found through the LOB maps, or in the blocks a LOB index names.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/session_context.h"

// LOB columns: the locator at (offset, length) in the session block buffer.
void printBLOB(FILE* stream, SessionContext& ctx, uint32_t offset, uint32_t length);
void printCLOB(FILE* stream, SessionContext& ctx, uint32_t offset, uint32_t length);
void printNCLOB(FILE* stream, SessionContext& ctx, uint32_t offset, uint32_t length);

// Export dump value of a LOB column from its locator (types 112 and 113).
void dumpLOBValue(FILE* stream, SessionContext& ctx, const unsigned char* locator,
                  uint32_t length, uint8_t type, uint16_t charsetForm);
