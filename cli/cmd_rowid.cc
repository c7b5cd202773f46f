#include "cli/commands.h"

// Not in this build yet: the handler says so and changes nothing.
void runRowidCommand(ZUTState&) { reportCommandUnavailable("ROWID"); }
