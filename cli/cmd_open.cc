// OPEN and CHECK: the configuration file and the listing of the data files.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "cli/interpreter.h"
#include "datafile/data_file_set.h"
#include "datafile/session_setup.h"

// OPEN file: the name runs from the second word to the end of the command.
// No name changes nothing; a configuration file that cannot be opened
// changes nothing either, but says why and fails the command, as does an
// entry left out for repeating an earlier file.
void runOpenCommand(ZUTState& st) {
  CommandBuffer& cmd = st.cmd;
  if (scanNextWord(cmd) == 0) return;
  const char* name = cmd.text + cmd.start;
  FILE* config = fopen(name, "r");
  if (config == nullptr) {
    printf("Cannot open configuration file %s: %s\n", name, strerror(errno));
    st.commandFailed = true;
    return;
  }
  const int result = openSessionFiles(st.ctx, config, !st.user.blockLayoutSet);
  fclose(config);
  if (result & kOpenLeftOut) st.commandFailed = true;
}

void runCheckCommand(ZUTState& st) { checkFileHeader(st.ctx); }
