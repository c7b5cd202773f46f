// Files the tool writes. Every command that creates or truncates a file
// (unload outputs and their scripts, listings, samples, scan maps,
// dictionary files) goes through createOutputFile, which refuses any file
// that is one of the session's inputs: an open data file, a disk of the open
// ASM disk group or the open configuration file, compared by device and inode so that another name, a
// symbolic link or a hard link of the same file is refused too.
#pragma once

#include <cstdio>

#include "core/session_context.h"

// True when path names (after symbolic links) a file the session reads.
bool isSessionInput(const SessionContext& ctx, const char* path);

enum OutputRefusal : int {
  kOutputCreated = 0,
  kOutputIsInput,      // "  <path> is an input file of this session; nothing written."
  kOutputNotCreated,   // fopen failed; errno tells why
};

// Opens path for writing with fopen's mode after the input check. On a
// refusal prints the input message and returns null with *why set (when why
// is given); when fopen fails returns null with errno from fopen and prints
// nothing.
FILE* createOutputFile(const SessionContext& ctx, const char* path, const char* mode,
                       OutputRefusal* why = nullptr);
