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

// One line per SET option for HELP: its values and default.
void printSettingsHelp(FILE* out);

// One line saying the command is not in this build; for commands to come.
void reportCommandUnavailable(const char* command);

// Opens the file named by TO (mode "wb+"), never one of the session's input
// files. Standard output when the name is empty. When the file cannot be
// created, says "Cannot create <path>: <strerror>" and returns standard
// output. Null when the name is an input of the session (the refusal is
// printed): the command then does nothing else. Sets st.commandFailed in
// both failures.
FILE* openOutputFile(ZUTState& st, const char* name);
// Flushes and closes what openOutputFile opened (standard output is only
// flushed). False, after "  Write error on <path>: <strerror>" and setting
// st.commandFailed, when any write, the flush or the close failed.
bool closeOutputFile(ZUTState& st, FILE* f, const char* name);
