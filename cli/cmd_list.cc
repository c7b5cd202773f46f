#include "cli/commands.h"

// Not in this build yet: the handler says so and changes nothing.
void runListCommand(ZUTState&) { reportCommandUnavailable("LIST"); }
