#include "cli/commands.h"

// Not in this build yet: the handler says so and changes nothing.
void runLoadCommand(ZUTState&) { reportCommandUnavailable("LOAD"); }
void runSampleCommand(ZUTState&) { reportCommandUnavailable("SAMPLE"); }
