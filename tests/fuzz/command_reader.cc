// Feeds arbitrary bytes to the command readers as a stream and to the
// scanners as a command text: nothing may overrun the command buffer.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "cli/command_reader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (freopen("/dev/null", "w", stdout) == nullptr) return 1;  // prompts and echoes
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static CommandBuffer cmd;
  for (int script = 0; script < 2; script++) {
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (f == nullptr) return 0;
    for (int i = 0; i < 64; i++) {
      int rc = script ? readZUTCommand(f, cmd) : getZUTCommand(f, cmd);
      cmd.start = cmd.end = 0;
      while (scanNextWord(cmd) > 0) compareKeyword(cmd, "UNLOAD");
      cmd.start = cmd.end = 0;
      for (int k = 0; k < 64; k++) scanNextField(cmd);  // callers ask field by field
      if (rc == -1 || feof(f)) break;
    }
    fclose(f);
  }
  char src[256] = {}, dst[256] = {};
  size_t n = size < 255 ? size : 255;
  memcpy(src, data, n);
  memcpy(dst, src, n);
  convertOption(src, dst, 255);
  parseInteger(src);
  return 0;
}
