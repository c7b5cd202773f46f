#include "cli/arguments.h"

uint64_t decimalArgument(const char* word, uint64_t max, bool* fits) {
  uint64_t v = 0;
  const char* p = word;
  bool over = false;
  for (; p != nullptr && *p >= '0' && *p <= '9'; p++) {
    const uint64_t digit = static_cast<uint64_t>(*p - '0');
    if (over || v > (max - digit) / 10) {  // past max, and never past 64 bits
      over = true;
      continue;
    }
    v = v * 10 + digit;
  }
  if (fits != nullptr) *fits = !over && p != word && p != nullptr && *p == 0;
  return over ? max : v;
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
