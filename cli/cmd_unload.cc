#include "cli/commands.h"

// Not in this build yet: the handler says so and changes nothing.
void runUnloadCommand(ZUTState&) { reportCommandUnavailable("UNLOAD"); }
void runDescCommand(ZUTState&) { reportCommandUnavailable("DESC"); }
