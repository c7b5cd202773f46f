// Line editing and history for a session typed at a terminal: arrow keys,
// Ctrl-A/E/R and the other editline bindings, and the last 1000 lines kept
// in ~/.zut_history across sessions. When standard input is not a terminal
// nothing changes: lines are read with fgets as before.
#pragma once

#include <cstddef>
#include <cstdio>

// Turns editing on when `in` is standard input and a terminal, and loads
// the history.
void startLineEditing(FILE* in);
// True when lines of `in` are read through the editor.
bool isLineEdited(FILE* in);
// The next piece of the typed line, as fgets would give it (at most size - 1
// characters, the line's end as "\n"): a new line is read with prompt shown
// when the previous one was handed out whole. Returns its length; 0 at the
// end of input (Ctrl-D).
size_t readEditedPiece(char* piece, size_t size, const char* prompt);
