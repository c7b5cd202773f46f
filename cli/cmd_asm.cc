// ASM: the disk-group commands. The first word after ASM names the
// sub-command; the others take keyword-value arguments.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "asm/asm_copy.h"
#include "asm/asm_disk.h"
#include "asm/asm_listing.h"
#include "asm/asm_walk.h"
#include "cli/commands.h"
#include "cli/interpreter.h"
#include "core/field_scanner.h"
#include "datafile/block_reader.h"
#include "datafile/data_file_set.h"
#include "datafile/output_file.h"

namespace {

constexpr size_t kASMArgumentLength = 256;

struct ASMCommandArgs {
  std::string to;  // TO, PATH
  std::string map;
  uint32_t file = 0;
  uint16_t disk = 0;
  uint32_t au = 0;
  uint16_t block = 0;
  uint8_t level = 0;
  uint32_t count = 0;
  uint32_t offset = 0;
};

std::string currentWord(const CommandBuffer& cmd, size_t max) {
  size_t n = cmd.end - cmd.start;
  return std::string(cmd.text + cmd.start, n < max ? n : max);
}

// A number word (decimal, or hexadecimal after 0X), held at the field's
// largest value when it is larger.
uint64_t numberWord(const CommandBuffer& cmd, uint64_t max) {
  const std::string w = currentWord(cmd, 64);
  const uint64_t v = parseInteger(w.c_str());
  return v > max ? max : v;
}

// False, after saying so, when a word is longer than an argument can be:
// it is refused rather than cut into another path or number.
bool parseASMArgs(CommandBuffer& cmd, ASMCommandArgs& a) {
  enum { kNone, kTo, kMap, kFile, kDisk, kAU, kBlock, kLevel, kCount, kOffset };
  static const struct {
    const char* word;
    int field;
  } keywords[] = {{"TO", kTo},       {"PATH", kTo},     {"MAP", kMap},     {"FILE", kFile},
                  {"DISK", kDisk},   {"AU", kAU},       {"BLOCK", kBlock}, {"LEVEL", kLevel},
                  {"COUNT", kCount}, {"SIZE", kCount},  {"OFFSET", kOffset}};
  int field = kNone;
  while (scanNextWord(cmd) > 0) {
    if (cmd.end - cmd.start > kASMArgumentLength - 1) {
      printf("  A word of %d characters is longer than an ASM argument can be (%d); nothing done.\n",
             static_cast<int>(cmd.end - cmd.start), static_cast<int>(kASMArgumentLength - 1));
      return false;
    }
    int keyword = kNone;
    for (const auto& k : keywords)
      if (compareKeyword(cmd, k.word) == 0) keyword = k.field;
    if (keyword != kNone) {
      field = keyword;
      continue;
    }
    switch (field) {
      case kTo: a.to = currentWord(cmd, kASMArgumentLength); break;
      case kMap: a.map = currentWord(cmd, kASMArgumentLength); break;
      case kFile: a.file = static_cast<uint32_t>(numberWord(cmd, 0xFFFFFFFF)); break;
      case kDisk: a.disk = static_cast<uint16_t>(numberWord(cmd, 0xFFFF)); break;
      case kAU: a.au = static_cast<uint32_t>(numberWord(cmd, 0xFFFFFFFF)); break;
      case kBlock: a.block = static_cast<uint16_t>(numberWord(cmd, 0xFFFF)); break;
      case kLevel: a.level = static_cast<uint8_t>(numberWord(cmd, 0xFF)); break;
      case kCount: a.count = static_cast<uint32_t>(numberWord(cmd, 0xFFFFFFFF)); break;
      case kOffset: a.offset = static_cast<uint32_t>(numberWord(cmd, 0xFFFFFFFF)); break;
      default: break;
    }
    field = kNone;
  }
  return true;
}

void doASMHelp() {
  fputs("  SET     -- set options (AU_SIZE, STRIP_SIZE, STRIP_WIDTH, F1B1_DISK, F1B1_AU)\n"
        "  OPEN    -- open data file\n"
        "  ADD     -- add disk with customized disk num (disk, path)\n"
        "  LIST    -- list opened disks information (to)\n"
        "  LSAU    -- list file of given AU (disk, au, count)\n"
        "  SCAN    -- scan file extent of given AU (disk, au, count)\n"
        "  FILE    -- list all file entries in ASM (file, [disk, au, block]).\n"
        "  ALIAS   -- list all alias entries in ASM (file, [disk, au, block]).\n"
        "  EXTENT  -- list or adjust variable extent (level, au, count).\n"
        "  FMAP    -- list file extent (file, [disk, au, block], to)\n"
        "  DUMP    -- dump file extent (file, [disk, au, block], offset, to)\n"
        "  COPY    -- copy file to os  (file, [disk, au, block], to)\n"
        "  SCOPY   -- copy stripped file to os  (file, [disk, au, block], to)\n",
        stdout);
}

// One size setting: the value (already scaled) is stored when it lies in
// [low, high], refused with one line otherwise.
bool acceptSize(const char* option, int64_t value, int64_t low, int64_t high, const char* unit) {
  if (value >= low && value <= high) return true;
  printf(" %s %lld refused: it must be from %lld to %lld %s.\n", option,
         static_cast<long long>(value), static_cast<long long>(low),
         static_cast<long long>(high), unit);
  return false;
}

// SET option [value]: the value is decimal; without one the option is only
// shown. Sizes that cannot work are refused; F1B1 changes search the new
// F1B1 AU for the system files.
void setASMOptions(ZUTState& st, CommandBuffer& cmd, ASMDiskGroup& g) {
  if (scanNextWord(cmd) == 0) {
    fputs(" Valid options ORACLE_BLOCK BLOCK_SIZE, AU_SIZE, F1B1_DISK, F1B1_AU\n", stdout);
    return;
  }
  const CommandBuffer option = cmd;
  const bool given = scanNextWord(cmd) > 0;
  const std::string word = given ? currentWord(cmd, 128) : std::string();
  errno = 0;
  char* end = nullptr;
  int64_t v = given ? strtoll(word.c_str(), &end, 10) : 0;
  if (given && (errno != 0 || end == word.c_str())) v = 0;
  const auto is = [&](const char* name) { return compareKeyword(option, name) == 0; };
  if (is("BLOCK_SIZE")) {
    if (given && acceptSize("BLOCK_SIZE", v, 1, kASMMaxBlockSize, "bytes"))
      g.blockSize = static_cast<uint32_t>(v);
    printf(" BLOCK_SIZE = %d\n", static_cast<int>(g.blockSize));
  } else if (is("STRIP_WIDTH")) {
    if (given && acceptSize("STRIP_WIDTH", v, 1, 0xFFFF, "AUs")) g.stripWidth = static_cast<uint32_t>(v);
    printf(" STRIP_WIDTH = %d\n", static_cast<int>(g.stripWidth));
  } else if (is("STRIP_SIZE")) {
    if (given && acceptSize("STRIP_SIZE", v, 1, 0xFFFFFFFFLL / 1024, "kilobytes"))
      g.stripSize = static_cast<uint32_t>(v * 1024);
    printf(" STRIP_SIZE = %d\n", static_cast<int>(g.stripSize));
  } else if (is("ORACLE_BLOCK")) {
    if (given && acceptSize("ORACLE_BLOCK", v, 1, 65535, "bytes")) g.oracleBlock = static_cast<uint32_t>(v);
    printf(" ORACLE_BLOCK = %d\n", static_cast<int>(g.oracleBlock));
  } else if (is("AU_SIZE")) {
    // 64 and less are megabytes.
    const int64_t bytes = v >= 0 && v <= 64 ? v * 1048576 : v;
    if (given && acceptSize("AU_SIZE", bytes, 1, kASMMaxAUSize, "bytes"))
      g.auSize = static_cast<uint32_t>(bytes);
    printf(" AU_SIZE = %d\n", static_cast<int>(g.auSize));
  } else if (is("F1B1_DISK")) {
    if (given) {
      g.f1b1Disk = static_cast<uint16_t>(v < 0 ? 0 : v > 0xFFFF ? 0xFFFF : v);
      getASMSystemFileEntry(g);
      reattachASMFiles(st.ctx);
    }
    printf(" F1B1_DISK = %d\n", g.f1b1Disk);
  } else if (is("F1B1_AU")) {
    if (given) {
      g.f1b1AU = static_cast<uint32_t>(v < 0 ? 0 : v > 0xFFFFFFFFLL ? 0xFFFFFFFFLL : v);
      getASMSystemFileEntry(g);
      reattachASMFiles(st.ctx);
    }
    printf(" F1B1_AU = %d\n", static_cast<int>(g.f1b1AU));
  } else {
    fputs(" Invalid option to set.\n", stdout);
  }
}

// The file named by FILE, located through DISK, AU and BLOCK when they point
// at its directory entry, else through the file directory; null when the
// group does not know it.
std::unique_ptr<ASMFileHandle> workingHandle(ASMDiskGroup& g, const ASMCommandArgs& a) {
  auto h = std::make_unique<ASMFileHandle>();
  initASMFileHandle(*h);
  h->fileNumber = a.file;
  h->disk = a.disk;
  h->au = a.au;
  h->block = a.block;
  getASMFileEntry(&g, *h, a.file);
  if (readDiskGroupBlock(g, h->disk, h->au, h->block) != g.blockSize) return nullptr;
  return h;
}

void dumpASMFileBlock(FILE* out, ASMDiskGroup& g, ASMFileHandle& h, uint32_t n) {
  std::unique_ptr<unsigned char[]> block(new unsigned char[g.oracleBlock]);
  if (readASMFileData(g, h, n, g.oracleBlock, block.get(), g.oracleBlock) != g.oracleBlock)
    return;
  printBlock(out, block.get(), g.oracleBlock);
}

// Runs work with the TO file (or standard output) as its output.
template <class Work>
void toOutput(ZUTState& st, const std::string& to, Work work) {
  FILE* out = openOutputFile(st, to.c_str());
  if (out == nullptr) return;
  work(out);
  closeOutputFile(st, out, to.c_str());
}

// The copy's output: never an input of the session, unbuffered (whole AUs
// are written at a time). Null, after saying why, when it cannot be made.
FILE* createCopyFile(ZUTState& st, const std::string& to) {
  OutputRefusal why = kOutputCreated;
  FILE* f = createOutputFile(st.ctx, to.c_str(), "wb+", &why);
  if (f == nullptr) {
    st.commandFailed = true;
    if (why != kOutputIsInput) printf("Cannot create %s: %s\n", to.c_str(), strerror(errno));
    return nullptr;
  }
  setvbuf(f, nullptr, _IONBF, 0);
  return f;
}

// What a copy did: what it could not read, what it ignored, how it ended.
void reportCopy(ZUTState& st, FILE* f, const std::string& to, const ASMCopyResult& r, const char* units,
                const std::string& map) {
  int error = r.writeError;
  if (fclose(f) != 0 && error == 0) error = errno;
  if (r.unreadAUs != 0)
    printf("  %llu %s could not be read and were written as zeros.\n",
           static_cast<unsigned long long>(r.unreadAUs), units);
  if (r.missingExtents != 0)
    printf("  %llu extents are missing from the extent list and were written as zeros.\n",
           static_cast<unsigned long long>(r.missingExtents));
  if (r.ignoredLines != 0)
    printf("  %llu lines of %s were ignored: not file,extent,disk,au with numbers an extent can have.\n",
           static_cast<unsigned long long>(r.ignoredLines), map.c_str());
  if (error != 0) {
    printf("  Write error on %s: %s\n", to.c_str(), strerror(error));
    st.commandFailed = true;
    return;
  }
  printf("  Copied %llu bytes to %s.\n", static_cast<unsigned long long>(r.bytes), to.c_str());
}

// COPY and SCOPY by the file's extent list: only a file whose directory
// entry is found makes an output.
template <class Copy>
void copyLocatedFile(ZUTState& st, ASMDiskGroup& g, const ASMCommandArgs& a, const char* units, Copy copy) {
  if (a.to.empty()) return;
  std::unique_ptr<ASMFileHandle> h = workingHandle(g, a);
  std::vector<unsigned char> entry;
  if (h == nullptr || !copyFileEntry(g, *h, entry)) {
    printf("  ASM file %u was not found; nothing written.\n", a.file);
    st.commandFailed = true;
    return;
  }
  FILE* f = createCopyFile(st, a.to);
  if (f == nullptr) return;
  reportCopy(st, f, a.to, copy(f, *h), units, std::string());
}

}  // namespace

void runAsmCommand(ZUTState& st) {
  ASMDiskGroup* group = st.ctx.diskGroups;
  CommandBuffer& cmd = st.cmd;
  if (group == nullptr || scanNextWord(cmd) == 0) return;
  ASMDiskGroup& g = *group;
  const auto is = [&](const char* name) { return compareKeyword(cmd, name) == 0; };
  if (is("SET")) {
    setASMOptions(st, cmd, g);
    setDiskGroupCache(g);
    return;
  }
  if (is("HELP")) return doASMHelp();
  if (is("OPEN")) {
    const bool given = scanNextWord(cmd) > 0;
    const std::string list = given ? currentWord(cmd, 511) : std::string();
    printDate();
    if (given) {
      openDiskGroup(stdout, g, list.c_str());
      if (g.diskCount == 0) st.commandFailed = true;
      reattachASMFiles(st.ctx);
    }
    printDate();
    return;
  }
  ASMCommandArgs a;
  if (is("ADD")) {
    if (!parseASMArgs(cmd, a)) return;
    printDate();
    if (!a.to.empty()) {
      openDiskGroupDisk(stdout, g, a.disk, a.to.c_str(), a.count);
      reattachASMFiles(st.ctx);
    }
    printDate();
  } else if (is("LIST")) {
    if (!parseASMArgs(cmd, a)) return;
    printDate();
    toOutput(st, a.to, [&](FILE* out) { printDiskGroup(out, g); });
    printDate();
  } else if (is("EXTENT")) {
    if (!parseASMArgs(cmd, a)) return;
    printDate();
    if (a.level != 0 && a.au != 0 && a.count != 0) setExtentAUCount(g.policy, a.level, a.au, a.count);
    listASMExtentPolicy(stdout, g);
    printDate();
  } else if (is("DUMP")) {
    if (!parseASMArgs(cmd, a)) return;
    printDate();
    std::unique_ptr<ASMFileHandle> h = workingHandle(g, a);
    if (h != nullptr)
      toOutput(st, a.to, [&](FILE* out) { dumpASMFileBlock(out, g, *h, a.offset); });
    printDate();
  } else if (is("LSAU")) {
    if (!parseASMArgs(cmd, a)) return;
    printDate();
    toOutput(st, a.to, [&](FILE* out) { listASMFileEntryAU(out, g, a.disk, a.au, a.count); });
    printDate();
  } else if (is("SCAN")) {
    if (!parseASMArgs(cmd, a)) return;
    printDate();
    toOutput(st, a.to, [&](FILE* out) {
      if (a.au == 0)
        scanASMFileExtentMap(out, g);
      else
        listASMFileExtentMap(out, g, a.disk, a.au, a.count);
    });
    printDate();
  } else if (is("FILE") || is("ALIAS")) {
    const bool aliases = is("ALIAS");
    if (!parseASMArgs(cmd, a)) return;
    printDate();
    ASMFileHandle& dir = aliases ? g.aliasDir : g.fileDir;
    if (a.file != 0 && a.au != 0) {
      dir.fileNumber = a.file;
      dir.disk = a.disk;
      dir.au = a.au;
      dir.block = a.block;
    }
    toOutput(st, a.to, [&](FILE* out) {
      if (aliases)
        listASMAliasEntry(out, g, dir);
      else
        listASMFileEntry(out, g, dir);
    });
    printDate();
  } else if (is("FMAP") || is("FMAP2")) {
    const bool window = is("FMAP2");
    if (!parseASMArgs(cmd, a)) return;
    printDate();
    std::unique_ptr<ASMFileHandle> h = workingHandle(g, a);
    if (h != nullptr)
      toOutput(st, a.to, [&](FILE* out) {
        if (window)
          listASMFileExtent2(out, g, *h, a.offset);
        else
          listASMFileExtent(out, g, *h);
      });
    printDate();
  } else if (is("COPY")) {
    if (!parseASMArgs(cmd, a)) return;
    printDate();
    if (!a.map.empty() && !a.to.empty()) {
      FILE* probe = fopen(a.map.c_str(), "r");
      if (probe == nullptr) {
        printf("  Cannot open extent map file %s: %s\n", a.map.c_str(), strerror(errno));
        st.commandFailed = true;
      } else {
        fclose(probe);
        if (FILE* f = createCopyFile(st, a.to))
          reportCopy(st, f, a.to, copyASMFileOutWithMap(f, a.map.c_str(), g, a.file), "AUs", a.map);
      }
    } else if (a.map.empty()) {
      copyLocatedFile(st, g, a, "AUs", [&](FILE* f, ASMFileHandle& h) { return copyASMFileOut(f, g, h); });
    }
    printDate();
  } else if (is("SCOPY")) {
    if (!parseASMArgs(cmd, a)) return;
    printDate();
    copyLocatedFile(st, g, a, "stripes", [&](FILE* f, ASMFileHandle& h) { return copyASMStripFileOut(f, g, h); });
    printDate();
  } else {
    fputs("Invalid command, run ASM HELP for command list\n", stdout);
  }
}
