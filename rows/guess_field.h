// The hook through which the row decoders hand sampled column values to the
// column type guesser instead of writing them (row output mode not 0).
#pragma once

#include <cstdint>

#include "cli/session_context.h"

// Adds one column value (offset and length in the session block buffer,
// length 0 for NULL) of table column `column` to the guess state.
void guessField(SessionContext& ctx, uint32_t offset, uint32_t length, uint32_t column);
