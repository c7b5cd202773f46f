// The value of one mapped column, held in the session block buffer, written
// by its type: LOB locators go to the LOB reader (lob/lob_value.h), every
// other type to the value printers (values/value_format.h).
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/session_context.h"

// True when a value at (offset, length) of the session block buffer is one
// printField writes: not empty, and ending at least 3 bytes before the end
// of the block.
inline bool isFieldInBlock(const SessionContext& ctx, uint32_t offset, uint32_t length) {
  return length != 0 && ctx.blockBuffer != nullptr &&
         static_cast<uint64_t>(offset) + length + 3 < ctx.blockSize;
}

// Writes one column value held in the session block buffer at (offset,
// length); nothing when isFieldInBlock says no.
void printField(FILE* stream, SessionContext& ctx, uint32_t offset, uint32_t length,
                uint8_t type, uint16_t charsetForm);
