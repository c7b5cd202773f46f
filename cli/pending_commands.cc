// Handlers of commands whose work is not in this build yet. Each says so in
// one line and changes nothing; a handler moves to its own file when its
// command is built.
#include <cstdio>

#include "cli/commands.h"
#include "cli/interpreter.h"

namespace {
void notAvailable(const char* command) {
  printf("  %s is not available in this build.\n", command);
}
}  // namespace

void runOpenCommand(ZUTState&) { notAvailable("OPEN"); }
void runCheckCommand(ZUTState&) { notAvailable("CHECK"); }
void runOsdumpCommand(ZUTState&) { notAvailable("OSDUMP"); }
void runBcheckCommand(ZUTState&) { notAvailable("BCHECK"); }
void runCorruptCommand(ZUTState&) { notAvailable("CORRUPT"); }
void runSkipCommand(ZUTState&) { notAvailable("SKIP"); }
void runOradumpCommand(ZUTState&) { notAvailable("ORADUMP"); }
void runListCommand(ZUTState&) { notAvailable("LIST"); }
void runLoadCommand(ZUTState&) { notAvailable("LOAD"); }
void runSampleCommand(ZUTState&) { notAvailable("SAMPLE"); }
void runUnloadCommand(ZUTState&) { notAvailable("UNLOAD"); }
void runDescCommand(ZUTState&) { notAvailable("DESC"); }
void runRowidCommand(ZUTState&) { notAvailable("ROWID"); }
void runScanCommand(ZUTState&) { notAvailable("SCAN"); }
void runAsmCommand(ZUTState&) { notAvailable("ASM"); }
