#include "cli/arguments.h"

uint64_t decimalArgument(const char* word, uint64_t max) {
  uint64_t v = 0;
  for (const char* p = word; p != nullptr && *p >= '0' && *p <= '9'; p++) {
    const uint64_t digit = static_cast<uint64_t>(*p - '0');
    if (v > (max - digit) / 10) return max;  // past max, and never past 64 bits
    v = v * 10 + digit;
  }
  return v;
}
