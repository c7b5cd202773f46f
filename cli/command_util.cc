#include <cstdio>

#include "cli/commands.h"

FILE* openOutputFile(const char* name) {
  if (name == nullptr || name[0] == 0) return stdout;
  FILE* f = fopen(name, "wb+");
  return f ? f : stdout;
}

void closeOutputFile(FILE* f) {
  if (f == nullptr) return;
  if (f == stdout) fflush(stdout);
  else fclose(f);
}

void reportCommandUnavailable(const char* command) {
  printf("  %s is not available in this build.\n", command);
}
