// Lines of a damaged extent map file (ZUTDICT/ZUTEXT.TXT) through
// parseORAEXTENT. The input is the line, in an exactly sized buffer. An
// accepted line must hold 5 to 128 characters and print back, with its
// line end cut, to what it parsed from when it is four fields without leading
// zeros (anything after a fourth comma is not read).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "scan/extent_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  char* line = static_cast<char*>(malloc(size ? size : 1));
  memcpy(line, data, size);
  FieldScanner cursor;
  cursor.text = line;
  cursor.length = static_cast<int32_t>(size);
  OraExtent e;
  const int rejected = parseORAEXTENT(e, cursor);
  if (rejected == 0) {
    if (size < static_cast<size_t>(kExtentLineMin) || size > static_cast<size_t>(kExtentLineMax))
      __builtin_trap();
    char back[128];
    snprintf(back, sizeof back, "%u,%u,%u,%u", e.objd, e.file, e.block, e.blocks);
    std::string given(line, size);
    while (!given.empty() && (given.back() == '\n' || given.back() == '\r')) given.pop_back();
    size_t commas = 0;
    for (char ch : given) commas += ch == ',';
    const bool plain = commas == 3 && given.find(",0") == std::string::npos && given[0] != '0' &&
                       given.find_first_not_of("0123456789,") == std::string::npos;
    if (plain && given != back) __builtin_trap();
  }
  free(line);
  return 0;
}
