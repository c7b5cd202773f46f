// Numbers in command arguments. Every command reads its decimal words here,
// so every command treats a number too large for its field the same way.
#pragma once

#include <cstdint>

// The value of the leading decimal digits of a word (0 when it does not
// start with a digit, so "-5" is 0), held at max when it is larger: a number
// too large for its field never wraps round to name some other object, file
// or block.
uint64_t decimalArgument(const char* word, uint64_t max);
