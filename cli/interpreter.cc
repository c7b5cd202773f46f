#include "cli/interpreter.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <strings.h>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "datafile/session_setup.h"
#include "dict/guess_table.h"
#include "lob/lob_value.h"

namespace {

constexpr const char* kBannerLine1 = "ZUT: Oracle Data Rescue Tool, Release 0.1.0";
constexpr const char* kBannerLine2 =
    "Reads data files of databases that cannot be opened and unloads their tables.";

void printHelp() {
  fputs("  SET     -- Change setting\n"
        "  CHECK   -- Check data file header\n"
        "  OPEN    -- Open configuration file\n"
        "  OSDUMP  -- OS dump (HEX display)\n"
        "  ORADUMP -- Oracle dump (block information)\n"
        "  UNLOAD  -- Unload data to text file\n"
        "  SCAN    -- Scan segment header or object\n"
        "  DESC    -- Describe table structure\n"
        "  ROWID   -- Inteprete or construct ROWID\n"
        "  BCHECK  -- Check whether the block tail matchs\n"
        "  CORRUPT -- Mark data block as corrupted\n"
        "  SKIP    -- Mark data block as skipped\n"
        "  EXIT    -- Exit application\n",
        stdout);
}

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

struct CommandEntry {
  const char* word;
  void (*run)(ZUTState&);
};

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

const CommandEntry kCommands[] = {
    {"SET", runSetCommand},         {"OPEN", runOpenCommand},
    {"OSDUMP", runOsdumpCommand},   {"BCHECK", runBcheckCommand},
    {"CORRUPT", runCorruptCommand}, {"SKIP", runSkipCommand},
    {"ORADUMP", runOradumpCommand}, {"LIST", runListCommand},
    {"LOAD", runLoadCommand},       {"SAMPLE", runSampleCommand},
    {"UNLOAD", runUnloadCommand},   {"CHECK", runCheckCommand},
    {"REM", runNothing},            {"DESC", runDescCommand},
    {"DESCRIBE", runDescCommand},   {"ROWID", runRowidCommand},
    {"SCAN", runScanCommand},       {"WHENEVER", runWhenever},
};

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
  if (compareKeyword(cmd, "HELP") == 0) return printHelp();
  if (compareKeyword(cmd, "ASM") == 0) return runAsmCommand(st);
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

int runZUT(FILE* in) {
  ZUTState* state = new ZUTState;
  ZUTState& st = *state;
  setUpState(st);

  printf("%s\n\n%s\n\n", kBannerLine1, kBannerLine2);
  st.script = fopen("init.sql", "r");

  st.user.charset = 1;
  st.user.nlsCharset = 2000;
  st.user.fixedCharset = st.user.deletedRow = st.user.commitedOnly = 0;
  st.user.tablespace = 0;

  int status = 0;
  for (;;) {
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
    dispatchCommand(st);
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
