#include "cli/commands.h"

// Not in this build yet: the handler says so and changes nothing.
void runOsdumpCommand(ZUTState&) { reportCommandUnavailable("OSDUMP"); }
void runBcheckCommand(ZUTState&) { reportCommandUnavailable("BCHECK"); }
void runCorruptCommand(ZUTState&) { reportCommandUnavailable("CORRUPT"); }
void runSkipCommand(ZUTState&) { reportCommandUnavailable("SKIP"); }
