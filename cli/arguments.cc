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

ArgumentWord nextArgument(CommandBuffer& cmd, std::initializer_list<const char*> keywords,
                          int& selected) {
  if (scanNextWord(cmd) <= 0) return kArgumentsEnd;
  int position = 1;
  for (const char* k : keywords) {
    if (compareKeyword(cmd, k) == 0) {
      selected = position;
      return kArgumentKeyword;
    }
    position++;
  }
  return kArgumentValue;
}
