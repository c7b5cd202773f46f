#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "cli/interpreter.h"
#include "datafile/output_file.h"

FILE* openOutputFile(ZUTState& st, const char* name) {
  if (name == nullptr || name[0] == 0) return stdout;
  OutputRefusal why = kOutputCreated;
  FILE* f = createOutputFile(st.ctx, name, "wb+", &why);
  if (f != nullptr) return f;
  st.commandFailed = true;
  if (why == kOutputIsInput) return nullptr;
  printf("Cannot create %s: %s\n", name, strerror(errno));
  return stdout;
}

bool closeOutputFile(ZUTState& st, FILE* f, const char* name) {
  if (f == nullptr) return false;
  if (f == stdout) {
    fflush(stdout);
    return true;
  }
  int error = 0;
  if (fflush(f) != 0) error = errno;
  if (ferror(f) && error == 0) error = errno != 0 ? errno : EIO;
  if (fclose(f) != 0 && error == 0) error = errno;
  if (error == 0) return true;
  printf("  Write error on %s: %s\n", name != nullptr ? name : "", strerror(error));
  st.commandFailed = true;
  return false;
}

void reportCommandUnavailable(const char* command) {
  printf("  %s is not available in this build.\n", command);
}
