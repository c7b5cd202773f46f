#include "cli/interpreter.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <strings.h>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/line_editor.h"
#include "core/progress.h"
#include "datafile/session_setup.h"
#include "dict/guess_table.h"
#include "lob/lob_value.h"

namespace {

constexpr const char* kBannerLine1 = "ZUT: Oracle Data Rescue Tool, Release 0.1.0";
constexpr const char* kBannerLine2 =
    "Reads data files of databases that cannot be opened and unloads their tables.";

void setUpState(ZUTState& st) {
  st.user = UserSettings{};
  startSession(st.ctx, st.resources, kDefaultBlockSize, kDefaultCacheSize);
  copyUserTags(st.ctx, st.user);
  st.ctx.carryOver = static_cast<unsigned char*>(calloc(kCarryOverSize, 1));
  allocGuessState(st.ctx);
  st.scratch = static_cast<char*>(calloc(kScratchSize, 1));
  st.outputBuffer = static_cast<char*>(calloc(kOutputBufferSize, 1));
  st.lobReader = new LobReader;
}

void releaseState(ZUTState& st) {
  endSession(st.ctx, st.resources);
  free(st.ctx.carryOver);
  freeGuessState(st.ctx);
  free(st.scratch);
  free(st.outputBuffer);
  delete st.lobReader;
  st.lobReader = nullptr;
  st.ctx = SessionContext{};
  if (st.script) fclose(st.script);
  st.script = nullptr;
}

void closeConverters(SessionContext& ctx) {
  for (iconv_t* cv : {&ctx.ncharConverter, &ctx.nclobConverter, &ctx.clobConverter,
                      &ctx.nationalConverter}) {
    if (*cv != kNoConverter) iconv_close(*cv);
    *cv = kNoConverter;
  }
}

// "@file": the name is everything after "@" to the end of the command.
void runScript(ZUTState& st) {
  if (st.script != nullptr) {
    fputs(" Cannot using @script.sql in script file.\n", stdout);
    return;
  }
  const char* name = st.cmd.text + st.cmd.start + 1;
  // Opened for reading only, so that a read-only script runs too.
  st.script = fopen(name, "r");
}

// HOST and "!": the shell command is the rest of the command after the first
// word; "!" written together with a command ("!ls") runs that command. With
// no command an interactive shell starts.
void runHost(ZUTState& st, bool bang) {
  CommandBuffer& cmd = st.cmd;
  const char* command = nullptr;
  if (bang && cmd.end - cmd.start > 1) {
    command = cmd.text + cmd.start + 1;
  } else if (scanNextWord(cmd) > 0) {
    command = cmd.text + cmd.start;
  }
  fflush(stdout);
  int rc = system(command ? command : "sh");
  (void)rc;  // the shell's status is not reported
}

bool firstWordHasPrefix(const CommandBuffer& cmd, const char* prefix) {
  size_t n = strlen(prefix);
  return cmd.end - cmd.start >= n && strncasecmp(cmd.text + cmd.start, prefix, n) == 0;
}

void runNothing(ZUTState&) {}

// WHENEVER ERROR EXIT [n] | WHENEVER ERROR CONTINUE: whether a failed command
// ends the session (with status n, default 1) or the session goes on.
void runWhenever(ZUTState& st) {
  CommandBuffer& cmd = st.cmd;
  bool understood = false;
  if (scanNextWord(cmd) > 0 && compareKeyword(cmd, "ERROR") == 0 && scanNextWord(cmd) > 0) {
    if (compareKeyword(cmd, "CONTINUE") == 0) {
      st.exitOnError = -1;
      understood = true;
    } else if (compareKeyword(cmd, "EXIT") == 0) {
      st.exitOnError = 1;
      if (scanNextWord(cmd) > 0)
        st.exitOnError = static_cast<int>(decimalArgument(cmd.text + cmd.start, 255));
      understood = true;
    }
  }
  if (!understood) fputs("  WHENEVER ERROR EXIT [n] | WHENEVER ERROR CONTINUE\n", stdout);
}

// The status an EXIT command asks for: its number (0 to 255), 0 without one;
// given tells whether a number was there.
int exitStatus(CommandBuffer& cmd, bool* given) {
  cmd.start = cmd.end = 0;
  *given = false;
  if (scanNextWord(cmd) == 0 || scanNextWord(cmd) == 0) return 0;
  const char c = cmd.text[cmd.start];
  if (c < '0' || c > '9') return 0;
  *given = true;
  return static_cast<int>(decimalArgument(cmd.text + cmd.start, 255));
}

struct CommandEntry {
  const char* word;
  void (*run)(ZUTState&);
  const char* help;  // the HELP line; null for a second name of a command
};

void printHelp(ZUTState&);

// The command table. HELP prints its lines in this order; the first ones
// are the long-standing summary.
const CommandEntry kCommands[] = {
    {"SET", runSetCommand, "  SET     -- Change setting"},
    {"CHECK", runCheckCommand, "  CHECK   -- Check data file header"},
    {"OPEN", runOpenCommand, "  OPEN    -- Open configuration file"},
    {"OSDUMP", runOsdumpCommand, "  OSDUMP  -- OS dump (HEX display)"},
    {"ORADUMP", runOradumpCommand, "  ORADUMP -- Oracle dump (block information)"},
    {"UNLOAD", runUnloadCommand, "  UNLOAD  -- Unload data to text file"},
    {"SCAN", runScanCommand, "  SCAN    -- Scan segment header or object"},
    {"DESC", runDescCommand, "  DESC    -- Describe table structure"},
    {"DESCRIBE", runDescCommand, nullptr},
    {"ROWID", runRowidCommand, "  ROWID   -- Inteprete or construct ROWID"},
    {"BCHECK", runBcheckCommand, "  BCHECK  -- Check whether the block tail matchs"},
    {"CORRUPT", runCorruptCommand, "  CORRUPT -- Mark data block as corrupted"},
    {"SKIP", runSkipCommand, "  SKIP    -- Mark data block as skipped"},
    {"LIST", runListCommand, "  LIST    -- List users, tables and other objects of the dictionary"},
    {"SAMPLE", runSampleCommand, "  SAMPLE  -- Guess the column types of an object from its rows"},
    {"LOAD", runLoadCommand, "  LOAD    -- LOAD TABLE user: tables to match sampled objects against"},
    {"ASM", runAsmCommand, "  ASM     -- Read disk groups and the files in them (ASM HELP)"},
    {"WHENEVER", runWhenever, "  WHENEVER -- WHENEVER ERROR EXIT [n] | CONTINUE: on a failed command"},
    {"REM", runNothing, "  REM     -- Comment"},
    {"HELP", printHelp, "  HELP    -- This summary and the settings"},
};

// Commands the dispatcher recognises before the table, with their lines.
struct OtherCommand {
  const char* word;
  const char* help;
};
const OtherCommand kOtherCommands[] = {
    {"@file", "  @file   -- Run the commands of a script file"},
    {"HOST", "  HOST    -- Run a shell command (alone: a shell); also !command"},
    {"EXIT", "  EXIT    -- Exit application"},
};

void printHelp(ZUTState&) {
  for (const CommandEntry& e : kCommands)
    if (e.help != nullptr && e.run != printHelp) printf("%s\n", e.help);
  for (const OtherCommand& c : kOtherCommands) printf("%s\n", c.help);
  for (const CommandEntry& e : kCommands)
    if (e.run == printHelp) printf("%s\n", e.help);
  fputs("  Settings (SET name value; SET name shows it):\n", stdout);
  printSettingsHelp(stdout);
}

void dispatchCommand(ZUTState& st) {
  CommandBuffer& cmd = st.cmd;
  const char first = cmd.text[cmd.start];
  if (first == '@') return runScript(st);
  if (firstWordHasPrefix(cmd, "HOST")) return runHost(st, false);
  if (first == '!') return runHost(st, true);
  for (const CommandEntry& e : kCommands)
    if (compareKeyword(cmd, e.word) == 0) return e.run(st);
  if (compareKeyword(cmd, "EXIT") == 0) {
    // EXIT that reached the dispatcher (typed with ";") ends at once.
    bool given;
    const int status = exitStatus(cmd, &given);
    fflush(stdout);
    exit(status);
  }
  fputs("  Unknown command!\n", stdout);
}

}  // namespace

void printDate() {
  time_t now = time(nullptr);
  struct tm t;
  localtime_r(&now, &t);
  printf("%04d-%02d-%02d %02d:%02d:%02d\n", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
         t.tm_min, t.tm_sec);
}

std::vector<std::string> commandWords() {
  std::vector<std::string> words;
  for (const CommandEntry& e : kCommands)
    if (e.help != nullptr) words.push_back(e.word);
  for (const OtherCommand& c : kOtherCommands) words.push_back(c.word);
  return words;
}

void printVersion() { printf("%s\n", kBannerLine1); }

void printCommandSummary() {
  ZUTState* state = new ZUTState;
  printHelp(*state);
  delete state;
}

int runZUT(FILE* in, const char* firstScript) {
  ZUTState* state = new ZUTState;
  ZUTState& st = *state;
  setUpState(st);
  startLineEditing(in);
  installInterruptHandler();

  printf("%s\n\n%s\n\n", kBannerLine1, kBannerLine2);
  st.script = fopen("init.sql", "r");
  // A script named on the command line runs after init.sql, before the
  // commands of standard input.
  const char* pendingScript = firstScript;

  st.user.charset = 1;
  st.user.nlsCharset = 2000;
  st.user.fixedCharset = st.user.deletedRow = st.user.commitedOnly = 0;
  st.user.tablespace = 0;

  int status = 0;
  for (;;) {
    if (st.script == nullptr && pendingScript != nullptr) {
      st.script = fopen(pendingScript, "r");
      if (st.script == nullptr) {
        printf("  Cannot open %s: %s\n", pendingScript, strerror(errno));
        fflush(stdout);
      }
      pendingScript = nullptr;
    }
    if (st.script != nullptr) {
      // A script's EXIT hands one command to the terminal, unless it names
      // an exit status: then the session ends with it.
      if (readZUTCommand(st.script, st.cmd) == -1) {
        bool given;
        status = exitStatus(st.cmd, &given);
        if (given || getZUTCommand(in, st.cmd) == -1) {
          if (!given) status = exitStatus(st.cmd, &given);
          break;
        }
      }
    } else if (getZUTCommand(in, st.cmd) == -1) {
      bool given;
      status = exitStatus(st.cmd, &given);
      break;
    }
    st.ctx.indexNumber = 0;
    st.ctx.rowLimit = kNoRowLimit;
    if (st.script != nullptr && feof(st.script)) {
      fclose(st.script);
      st.script = nullptr;
    }
    st.cmd.start = st.cmd.end = 0;
    if (scanNextWord(st.cmd) == 0) continue;
    st.commandFailed = false;
    beginCommand();
    dispatchCommand(st);
    endCommand();
    // A command that does not report Ctrl-C itself (UNLOAD does) is
    // reported here.
    if (takeCancel()) {
      fputs("  Cancelled.\n", stdout);
      st.commandFailed = true;
    }
    fflush(stdout);
    if (st.commandFailed && st.exitOnError >= 0) {
      status = st.exitOnError;
      break;
    }
  }

  closeConverters(st.ctx);
  releaseState(st);
  delete state;
  return status;
}
