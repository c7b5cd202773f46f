// Command handlers, one per entry of the interpreter's command table. Each
// reads its own words from st.cmd (the first word is already scanned).
#pragma once

#include <cstdio>

struct ZUTState;

void runSetCommand(ZUTState& st);
void runOpenCommand(ZUTState& st);
void runCheckCommand(ZUTState& st);
void runOsdumpCommand(ZUTState& st);
void runBcheckCommand(ZUTState& st);
void runCorruptCommand(ZUTState& st);
void runSkipCommand(ZUTState& st);
void runOradumpCommand(ZUTState& st);
void runListCommand(ZUTState& st);
void runLoadCommand(ZUTState& st);
void runSampleCommand(ZUTState& st);
void runUnloadCommand(ZUTState& st);
void runDescCommand(ZUTState& st);
void runRowidCommand(ZUTState& st);
void runScanCommand(ZUTState& st);
void runAsmCommand(ZUTState& st);

// One line saying the command is not in this build; for commands to come.
void reportCommandUnavailable(const char* command);

// Opens the file named by TO (mode "wb+"); standard output when the name is
// empty or the file cannot be created.
FILE* openOutputFile(const char* name);
void closeOutputFile(FILE* f);
