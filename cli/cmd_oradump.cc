#include "cli/commands.h"

// Not in this build yet: the handler says so and changes nothing.
void runOradumpCommand(ZUTState&) { reportCommandUnavailable("ORADUMP"); }
