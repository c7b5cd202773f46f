// ZUT entry point: creates the working directories and runs the interpreter
// on standard input, after the script of "zut @script.sql". "zut --version"
// and "zut --help" print the release line and the command summary.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "cli/interpreter.h"

int main(int argc, char** argv) {
  const char* script = nullptr;
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "--version") == 0) {
      printVersion();
      return 0;
    }
    if (strcmp(argv[i], "--help") == 0) {
      printCommandSummary();
      return 0;
    }
    if (argv[i][0] == '@' && argv[i][1] != 0 && script == nullptr) {
      script = argv[i] + 1;
      continue;
    }
    fprintf(stderr, "zut: unknown argument %s (zut [@script.sql] [--version] [--help])\n", argv[i]);
    return 2;
  }
  mkdir("ZUTDICT", 0777);   // an existing directory or a failure is ignored
  mkdir("LOBDATA", 0777);
  return runZUT(stdin, script);
}
