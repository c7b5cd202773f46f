// OSDUMP, ORADUMP, BCHECK, CORRUPT and SKIP: single-block dumps and checks,
// and the corrupt and skip lists that the block reader consults.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/interpreter.h"
#include "datafile/block_reader.h"
#include "dump/block_dump.h"

namespace {

// The words of one block command, by the keyword-value rule.
struct BlockArgs {
  uint32_t rdba = 0;
  uint16_t file = 0;
  uint32_t block = 0;
  std::string to;
  std::string load;
  bool tooLong = false;  // a file name that does not fit the name buffer
  enum Last { kOther, kClear, kList } last = kOther;
};

// Addresses and block numbers that do not fit 32 bits read as 0 (not given),
// never as some other block.
uint32_t addressWord(const std::string& w) {
  uint64_t v = parseInteger(w.c_str());
  return v > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(v);
}

uint32_t decimalWord(const std::string& w, uint32_t max) {
  return static_cast<uint32_t>(decimalArgument(w.c_str(), max));
}

BlockArgs parseBlockArgs(CommandBuffer& cmd) {
  enum Sel { kNone, kRdba, kFile, kBlock, kTo, kLoad, kClear, kList };
  int sel = kNone;
  BlockArgs a;
  ArgumentWord got;
  while ((got = nextArgument(cmd, {"RDBA", "FILE", "BLOCK", "TO", "LOAD", "CLEAR", "LIST"}, sel)) !=
         kArgumentsEnd) {
    a.last = BlockArgs::kOther;
    if (got == kArgumentKeyword) {
      if (sel == kClear) a.last = BlockArgs::kClear, sel = kNone;
      if (sel == kList) a.last = BlockArgs::kList, sel = kNone;
      continue;
    }
    const std::string w(cmd.text + cmd.start, cmd.end - cmd.start);
    switch (sel) {
      case kRdba: a.rdba = addressWord(w); break;
      case kFile: a.file = static_cast<uint16_t>(decimalWord(w, 0xFFFF)); break;
      case kBlock: a.block = decimalWord(w, 0xFFFFFFFF); break;
      case kTo: a.to = w; break;
      case kLoad: a.load = w; break;
      default: break;
    }
    if ((sel == kTo || sel == kLoad) && w.size() >= kNameBufferSize) a.tooLong = true;
    sel = kNone;
  }
  return a;
}

bool refuseLongName(const BlockArgs& a) {
  if (a.tooLong) fputs("  File name too long.\n", stdout);
  return a.tooLong;
}

// Which FILE and BLOCK words name a block: OSDUMP takes block 0 of a file,
// BCHECK needs both numbers, ORADUMP needs a block and a file unless the
// session is in BIGFILE mode (file 0 is then the one file).
enum class BlockRule { kBlockZero, kBoth, kBigfile };

bool namesBlock(const SessionContext& ctx, const BlockArgs& a, BlockRule rule) {
  if (a.rdba != 0) return true;
  switch (rule) {
    case BlockRule::kBlockZero: return a.file != 0;
    case BlockRule::kBoth: return a.file != 0 && a.block != 0;
    case BlockRule::kBigfile: return a.block != 0 && (a.file != 0 || ctx.bigfile);
  }
  return false;
}

// Reads the block the arguments name into the session buffer: by RDBA, else
// by FILE and BLOCK as the rule allows. Returns false without reading when
// the arguments name no block.
bool readNamedBlock(ZUTState& st, const BlockArgs& a, BlockRule rule, bool* ok) {
  SessionContext& ctx = st.ctx;
  emptyReadAheadCache(*ctx.dataCache);
  uint32_t got;
  if (!namesBlock(ctx, a, rule)) return false;
  if (a.rdba != 0) got = readRDBA(ctx.fileSet, ctx, a.rdba);
  else got = readBlock(ctx.fileSet, ctx, a.file, a.block);
  *ok = got == ctx.blockSize;
  if (!*ok) fputs("  Read Error\n", stdout);
  return true;
}

void addToList(RdbaList& list, uint32_t rdba) {
  if (list.count > kMaxRdbaListSize - 1) return;  // full: silently refused
  if (findRDBAArray(list.rdba, list.count, rdba)) return;
  list.rdba[list.count++] = rdba;
}

void loadListFile(RdbaList& list, const std::string& name) {
  FILE* f = fopen(name.c_str(), "r");
  if (f == nullptr) return;
  char line[64];
  for (;;) {
    memset(line, 0, sizeof line);
    if (fgets(line, 63, f) == nullptr) break;
    if (line[0] == 0) continue;
    const bool hex = line[0] == '0' && (line[1] == 'x' || line[1] == 'X');
    unsigned long long v = strtoull(hex ? line + 2 : line, nullptr, hex ? 16 : 10);
    if (v != 0 && v <= 0xFFFFFFFFu) addToList(list, static_cast<uint32_t>(v));
  }
  fclose(f);
}

void runListCommand(ZUTState& st, RdbaList& list, const char* heading, const char* const* usage) {
  BlockArgs a = parseBlockArgs(st.cmd);
  if (a.last == BlockArgs::kClear) {
    list.count = 0;
    return;
  }
  if (a.last == BlockArgs::kList) {
    fputs(heading, stdout);
    for (uint16_t i = 0; i < list.count && i < kMaxRdbaListSize; i++)
      printf("  RDBA = %u , FILE = %u , BLOCK = %u\n", list.rdba[i], list.rdba[i] >> 22,
             list.rdba[i] & 0x3FFFFF);
    fflush(stdout);
    return;
  }
  if (a.rdba != 0) {
    addToList(list, a.rdba);
  } else if (a.file != 0 && a.block != 0) {
    addToList(list, static_cast<uint32_t>(a.file) << 22 | (a.block & 0x3FFFFF));
  } else if (!a.load.empty()) {
    if (refuseLongName(a)) return;
    loadListFile(list, a.load);
  } else {
    for (int i = 0; usage[i]; i++) fputs(usage[i], stdout);
    return;
  }
  qsort(list.rdba, list.count, sizeof list.rdba[0], sortRDBAList);
}

// OSDUMP and ORADUMP: the usage lines unless the words name a block, else
// the block read and printed to the TO file or standard output.
void runDumpCommand(ZUTState& st, BlockRule rule, const char* usage,
                    void (*print)(FILE*, SessionContext&)) {
  BlockArgs a = parseBlockArgs(st.cmd);
  if (refuseLongName(a)) return;
  if (!namesBlock(st.ctx, a, rule)) {
    fputs(usage, stdout);
    return;
  }
  FILE* out = openOutputFile(st, a.to.c_str());
  if (out == nullptr) return;
  bool ok = false;
  readNamedBlock(st, a, rule, &ok);
  if (ok) print(out, st.ctx);
  closeOutputFile(st, out, a.to.c_str());
}

}  // namespace

void runOsdumpCommand(ZUTState& st) {
  runDumpCommand(st, BlockRule::kBlockZero,
                 "  OSDUMP RDBA     rdba [TO filename]\n"
                 "  OSDUMP FILE rfn BLOCK blockid [TO filename]\n",
                 [](FILE* out, SessionContext& ctx) { printBlock(out, ctx.blockBuffer, ctx.blockSize); });
}

void runOradumpCommand(ZUTState& st) {
  runDumpCommand(st, BlockRule::kBigfile,
                 "  ORADUMP RDBA     rdba [TO filename]\n"
                 "  ORADUMP FILE rfn  BLOCK blockid [TO filename]\n",
                 printHeader);
}

void runBcheckCommand(ZUTState& st) {
  BlockArgs a = parseBlockArgs(st.cmd);
  bool ok = false;
  if (!readNamedBlock(st, a, BlockRule::kBoth, &ok)) {
    fputs("  BCHECK RDBA     rdba [TO filename]\n"
          "  BCHECK FILE rfn BLOCK blockid [TO filename]\n",
          stdout);
    return;
  }
  if (ok) fputs(matchBlockTail(st.ctx) ? "Block Tail Unmatched!\n" : "Block Tail Matched!\n", stdout);
}

void runCorruptCommand(ZUTState& st) {
  static const char* const kUsage[] = {"  CORRUPT CLEAR \n", "  CORRUPT LIST \n",
                                       "  CORRUPT RDBA     rdba \n",
                                       "  CORRUPT FILE rfn BLOCK blockid \n",
                                       "  CORRUPT LOAD     file \n", nullptr};
  runListCommand(st, *st.ctx.corruptList, " Corrupted Blocks List:\n", kUsage);
}

void runSkipCommand(ZUTState& st) {
  static const char* const kUsage[] = {"  SKIP  CLEAR \n", "  SKIP  LIST \n",
                                       "  SKIP  RDBA     rdba \n",
                                       "  SKIP  FILE rfn BLOCK blockid \n", "  SKIP  LOAD file \n",
                                       nullptr};
  runListCommand(st, *st.ctx.skipList, " Skipped Blocks List:\n", kUsage);
}
