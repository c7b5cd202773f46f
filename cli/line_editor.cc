#include "cli/line_editor.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include <editline/readline.h>

namespace {

constexpr int kHistoryLines = 1000;

bool gEditing = false;
std::string gHistoryPath;  // empty: no history file
std::string gLine;         // the line being handed out, with its "\n"
size_t gHandedOut = 0;

}  // namespace

void startLineEditing(FILE* in) {
  if (in != stdin || isatty(STDIN_FILENO) != 1) return;
  gEditing = true;
  using_history();
  stifle_history(kHistoryLines);
  if (const char* home = getenv("HOME"); home != nullptr && home[0] != 0) {
    gHistoryPath = std::string(home) + "/.zut_history";
    read_history(gHistoryPath.c_str());
  }
}

bool isLineEdited(FILE* in) { return gEditing && in == stdin; }

size_t readEditedPiece(char* piece, size_t size, const char* prompt) {
  if (size == 0) return 0;
  if (gHandedOut >= gLine.size()) {
    fflush(stdout);
    char* typed = readline(prompt);
    if (typed == nullptr) return 0;
    if (typed[0] != 0) {
      add_history(typed);
      // Saved at once: Ctrl-C at the prompt ends the session without a
      // chance to save later.
      if (!gHistoryPath.empty()) write_history(gHistoryPath.c_str());
    }
    gLine.assign(typed);
    gLine.push_back('\n');
    free(typed);
    gHandedOut = 0;
  }
  const size_t n = std::min(size - 1, gLine.size() - gHandedOut);
  memcpy(piece, gLine.data() + gHandedOut, n);
  piece[n] = 0;
  gHandedOut += n;
  return n;
}
