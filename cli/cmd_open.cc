// OPEN and CHECK: the configuration file and the listing of the data files.
#include <cstdio>

#include "cli/commands.h"
#include "cli/interpreter.h"
#include "datafile/data_file_set.h"
#include "datafile/session_setup.h"

// OPEN file: the name runs from the second word to the end of the command.
// No name, or a configuration file that cannot be opened, changes nothing.
void runOpenCommand(ZUTState& st) {
  CommandBuffer& cmd = st.cmd;
  if (scanNextWord(cmd) == 0) return;
  FILE* config = fopen(cmd.text + cmd.start, "r");
  if (config == nullptr) return;
  openSessionFiles(st.ctx, config);
  fclose(config);
}

void runCheckCommand(ZUTState& st) { checkFileHeader(st.ctx); }
