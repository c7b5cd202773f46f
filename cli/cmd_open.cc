#include "cli/commands.h"

// Not in this build yet: the handler says so and changes nothing.
void runOpenCommand(ZUTState&) { reportCommandUnavailable("OPEN"); }
void runCheckCommand(ZUTState&) { reportCommandUnavailable("CHECK"); }
