// The interpreter: start-up, the read-dispatch loop with its command table,
// scripts, shell escapes, HELP, EXIT and the orderly release at the end.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_reader.h"
#include "core/session_context.h"
#include "datafile/session_setup.h"

constexpr size_t kScratchSize = 64 * 1024;
constexpr size_t kOutputBufferSize = 256 * 1024;
constexpr size_t kNameBufferSize = 1024;

// Everything the interpreter owns for the whole run.
struct ZUTState {
  CommandBuffer cmd;
  SessionContext ctx;
  SessionResources resources;  // what ctx points at
  UserSettings user;
  FILE* script = nullptr;
  char* scratch = nullptr;       // 64 KiB work area
  char* outputBuffer = nullptr;  // the stdio buffer shared by unload outputs
  char fileName[kNameBufferSize] = {};   // the current TO file name
  char ownerName[kNameBufferSize] = {};  // an owner or user name
  // The command just run failed (a refused or failed OPEN, an unload that
  // failed or could not read every block, a write error); the handlers set
  // it, the interpreter clears it before each command.
  bool commandFailed = false;
  // The LOB value reader every unload starts and ends (lob/lob_value.h).
  LobReader* lobReader = nullptr;
  // The iconv names ICONV_CLOB and ICONV_NCLOB were set with (from, to).
  std::string clobIconv[2];
  std::string nclobIconv[2];
  // WHENEVER ERROR EXIT n: the exit status to end the session with when a
  // command fails; -1 for WHENEVER ERROR CONTINUE (the default).
  int exitOnError = -1;
};

// Runs the session on the commands of `in`, after init.sql and the script
// firstScript (when not null); returns its exit status (0, or EXIT n, or
// the status of WHENEVER ERROR EXIT n after a failed command).
int runZUT(FILE* in, const char* firstScript = nullptr);

// The first words of the commands the interpreter runs, as HELP names
// them ("@file" as "@file").
std::vector<std::string> commandWords();

// zut --version: the release line. zut --help: the command summary.
void printVersion();
void printCommandSummary();

// Writes the local date and time as "YYYY-MM-DD hh:mm:ss\n".
void printDate();
