// ZUT entry point: creates the working directories and runs the interpreter
// on standard input.
#include <sys/stat.h>

#include <cstdio>

#include "cli/interpreter.h"

int main() {
  mkdir("ZUTDICT", 0777);   // an existing directory or a failure is ignored
  mkdir("LOBDATA", 0777);
  return runZUT(stdin);
}
