#include "cli/commands.h"

// Not in this build yet: the handler says so and changes nothing.
void runAsmCommand(ZUTState&) { reportCommandUnavailable("ASM"); }
