// SAMPLE (guess the column types of a data object from one block and write
// an UNLOAD OBJECT command that uses them) and LOAD TABLE (load one user's
// table layouts from the dictionary files for naming sampled segments).
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/interpreter.h"
#include "format/block_layout.h"
#include "datafile/block_reader.h"
#include "dict/dict_files.h"
#include "values/guess_field.h"
#include "dict/guess_table.h"
#include "unload/unload_drivers.h"

namespace {

struct SampleArgs {
  uint32_t objd = 0;
  uint8_t cluster = 0;
  uint16_t file = 0;
  uint32_t block = 0;
  std::string to;
};

uint32_t decimalWord(const char* text, uint32_t max) {
  return static_cast<uint32_t>(decimalArgument(text, max));
}

SampleArgs parseSampleArgs(CommandBuffer& cmd) {
  enum Sel { kNone, kObject, kCluster, kTo, kFile, kBlock, kRdba };
  int sel = kNone;
  SampleArgs a;
  ArgumentWord got;
  while ((got = nextArgument(cmd, {"OBJECT", "CLUSTER", "TO", "FILE", "BLOCK", "RDBA"}, sel)) !=
         kArgumentsEnd) {
    if (got == kArgumentKeyword) continue;
    const std::string w(cmd.text + cmd.start, cmd.end - cmd.start);
    switch (sel) {
      case kObject: a.objd = decimalWord(w.c_str(), 0xFFFFFFFFu); break;
      case kCluster: a.cluster = static_cast<uint8_t>(decimalWord(w.c_str(), 0xFF)); break;
      case kTo: a.to = w; break;
      case kFile: a.file = static_cast<uint16_t>(decimalWord(w.c_str(), 0xFFFF)); break;
      case kBlock: a.block = decimalWord(w.c_str(), 0xFFFFFFFFu); break;
      case kRdba: {
        // An address that does not fit 32 bits names no block.
        const uint64_t v = parseInteger(w.c_str());
        const uint32_t rdba = v > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(v);
        a.file = static_cast<uint16_t>(rdba >> 22);
        a.block = rdba & 0x3FFFFF;
        break;
      }
      default: break;
    }
    sel = kNone;
  }
  return a;
}

}  // namespace

void runLoadCommand(ZUTState& st) {
  CommandBuffer& cmd = st.cmd;
  if (scanNextWord(cmd) <= 0 || compareKeyword(cmd, "TABLE") != 0 || scanNextWord(cmd) <= 0) {
    fputs("  LOAD TABLE username\n", stdout);
    return;
  }
  const std::string user(cmd.text + cmd.start, cmd.end - cmd.start);
  if (st.ctx.guessedTables == nullptr) allocGuessState(st.ctx);
  loadGuessTable(user.c_str(), *st.ctx.guessedTables);
  fflush(stdout);
}

void runSampleCommand(ZUTState& st) {
  SessionContext& ctx = st.ctx;
  memset(st.fileName, 0, sizeof st.fileName);
  if (ctx.columnStats == nullptr) allocGuessState(ctx);
  ColumnStats& stats = *ctx.columnStats;
  resetColumnStats(stats);
  if (ctx.dataCache) emptyReadAheadCache(*ctx.dataCache);
  const SampleArgs a = parseSampleArgs(st.cmd);
  if (a.objd == 0 || a.block == 0 || (a.file == 0 && !ctx.bigfile)) {
    fputs("  SAMPLE OBJECT objd RDBA rdba FILE rfn BLOCK blockid \n"
          "         [CLUSTER clusterid] [TO filename]\n",
          stdout);
    return;
  }
  if (a.to.size() >= sizeof st.fileName) {
    fputs("  File name too long.\n", stdout);
    return;
  }
  memcpy(st.fileName, a.to.data(), a.to.size());

  copyUserTags(ctx, st.user);
  const uint8_t savedStyle = ctx.outputStyle;
  ctx.outputStyle = 0;
  // The row decoders stop sampling once the row counter reaches GUESS_SIZE;
  // the count of an earlier unload must not cut this sample short.
  ctx.rowsUnloaded = 0;
  ctx.rowOutputMode = 2;
  stats.objd = a.objd;

  FILE* out = openOutputFile(st, st.fileName);
  if (out == nullptr) {
    ctx.outputStyle = savedStyle;
    ctx.rowOutputMode = 0;
    return;
  }
  if (out != stdout) {
    memset(st.outputBuffer, 0, kOutputBufferSize);
    setvbuf(out, st.outputBuffer, _IOFBF, kOutputBufferSize);
  }
  scanTableRows(out, ctx, a.objd, a.cluster, st.user.deletedRow & 1, st.user.commitedOnly & 1,
                a.file, a.block);
  fprintf(out, "#// Column Count=%u\n", stats.columnCount);
  fprintf(out, "UNLOAD OBJECT %u COLUMN ", getDataObjectID(ctx));
  printGuessedColumns(out, stats);
  fprintf(out, " TO OBJD%010uC%03u.txt; \n", a.objd, a.cluster);
  fputc('\n', out);
  closeOutputFile(st, out, st.fileName);
  ctx.outputStyle = savedStyle;
  ctx.rowOutputMode = 0;
}
