// Long work seen from the console: the progress line a long command shows
// on a terminal, and Ctrl-C, which cancels the running command rather than
// the session.
//
// The interpreter brackets every command with beginCommand / endCommand.
// Block reads report to noteBlockRead; once a command has run for about a
// second and standard error is a terminal, one self-rewriting line there
// shows blocks done (of the total when known), MB/s, rows written, the time
// spent and, with a total, the time left. endCommand erases it. Nothing is
// written to standard error when it is not a terminal.
//
// Loops that read block after block ask cancelRequested() before each block
// and stop when it is true; the command then finishes the files it writes
// and says it was cancelled.
#pragma once

#include <cstdint>

#include "core/session_context.h"

// SIGINT: while a command runs it asks the command to stop; at the prompt it
// ends the session as EXIT does (status 0).
void installInterruptHandler();

void beginCommand();
void endCommand();

// Set by Ctrl-C while the current command runs.
bool cancelRequested();
// Whether the current command was cancelled, clearing the request: the
// command (or the interpreter after it) reports it once.
bool takeCancel();

// The number of blocks the current command has still to read, when a walk
// knows it.
void setProgressTotal(uint64_t blocks);
// Erases the progress line, so that a message can be printed; it comes back
// at the next redraw.
void clearProgressLine();
// One block read into ctx; may redraw the progress line.
void noteBlockRead(const SessionContext& ctx);
