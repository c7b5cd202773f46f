// Command arguments: the keyword-value rule every command reads its words
// by, and the numbers in them. Every command reads its words here, so every
// command treats them, and a number too large for its field, the same way.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "cli/command_reader.h"

constexpr int kNoKeyword = 0;

enum ArgumentWord : uint8_t {
  kArgumentsEnd = 0,
  kArgumentKeyword,
  kArgumentValue,
};

// The next word of the command. A word equal to one of the keywords (any
// case) selects it: selected becomes its position in the list plus 1, and
// kArgumentKeyword is returned. Any other word is a value for the keyword
// selected (kNoKeyword when none is; selected is left to the caller, who
// usually clears it after one value): kArgumentValue, the word being the
// command's current token. kArgumentsEnd after the last word.
ArgumentWord nextArgument(CommandBuffer& cmd, std::initializer_list<const char*> keywords,
                          int& selected);

// The value of the leading decimal digits of a word (0 when it does not
// start with a digit, so "-5" is 0), held at max when it is larger: a number
// too large for its field never wraps round to name some other object, file
// or block. fits, when given, tells whether the word was all digits (at
// least one) and not above max; commands that refuse such words look at it.
uint64_t decimalArgument(const char* word, uint64_t max, bool* fits = nullptr);
