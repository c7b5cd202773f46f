// SCAN: the block-walking listings and the extent map of all data blocks.
#include <strings.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/interpreter.h"
#include "datafile/block_reader.h"
#include "dict/dict_files.h"
#include "dump/block_listings.h"
#include "dump/orphan_scan.h"
#include "dump/table_listing.h"
#include "lob/lob_map.h"
#include "scan/extent_scan.h"
#include "scan/lob_scan.h"
#include "scan/undo_scan.h"
#include "rows/undo_verdict.h"
#include "core/progress.h"

namespace {

const char kScanUsage[] =
    "  SCAN HEADER [OBJECT objd] [FILE rfn] [TO filename]\n"
    "  SCAN TABLE  [OBJECT objd] [FILE rfn] [TO filename]\n"
    "  SCAN DATA   [OBJECT objd] [BLOCKS blks] [FILE rfn] [TO filename]\n"
    "  SCAN EXTENT [OBJECT objd] [FILE rfn] \n"
    "  SCAN LOB    [OBJECT objd] [FILE rfn] \n"
    "  SCAN PARALLELEXT \n"
    "  SCAN PARALLELLOB \n"
    "  SCAN DATABASE \n"
    "  SCAN MAP \n"
    "  SCAN UNDO   [FILE rfn] \n"
    "  SCAN ORPHANS [TO filename] \n";

struct ScanArgs {
  std::string kind;
  uint32_t objd = 0;
  uint16_t file = 0;
  uint32_t blocks = 1;
  bool tooLong = false;  // a TO name that does not fit the name buffer
};

uint32_t decimalWord(const std::string& w, uint32_t max) {
  return static_cast<uint32_t>(decimalArgument(w.c_str(), max));
}

ScanArgs parseScanArgs(ZUTState& st) {
  CommandBuffer& cmd = st.cmd;
  ScanArgs a;
  if (scanNextWord(cmd) == 0) return a;
  a.kind.assign(cmd.text + cmd.start, cmd.end - cmd.start);
  enum Sel { kNone, kObject, kTo, kFile, kBlocks };
  int sel = kNone;
  ArgumentWord got;
  while ((got = nextArgument(cmd, {"OBJECT", "TO", "FILE", "BLOCKS"}, sel)) != kArgumentsEnd) {
    if (got == kArgumentKeyword) continue;
    const std::string w(cmd.text + cmd.start, cmd.end - cmd.start);
    switch (sel) {
      case kObject: a.objd = decimalWord(w, 0xFFFFFFFFu); break;
      case kFile: a.file = static_cast<uint16_t>(decimalWord(w, 0xFFFF)); break;
      case kBlocks: a.blocks = decimalWord(w, 0xFFFFFFFFu); break;
      case kTo:
        a.tooLong = w.size() >= kNameBufferSize;
        if (!a.tooLong) memcpy(st.fileName, w.data(), w.size() + 1);
        break;
      default: break;
    }
    sel = kNone;
  }
  return a;
}

// The kind word names a scan when it begins with the scan's word, in any case.
bool kindIs(const std::string& kind, const char* word) {
  return strncasecmp(kind.c_str(), word, strlen(word)) == 0;
}

void runListing(ZUTState& st, const ScanArgs& a, void (*work)(FILE*, ZUTState&, const ScanArgs&)) {
  FILE* out = openOutputFile(st, st.fileName);
  if (out == nullptr) return;
  printDate();
  work(out, st, a);
  closeOutputFile(st, out, st.fileName);
  printDate();
}

void scanHeaders(FILE* out, ZUTState& st, const ScanArgs& a) {
  listSegmentHeader(out, st.ctx, a.objd, a.file);
}

void scanData(FILE* out, ZUTState& st, const ScanArgs& a) {
  listDataBlock(out, st.ctx, a.objd, a.file, a.blocks);
}

void scanBlockTypes(FILE* out, ZUTState& st, const ScanArgs& a) {
  listDataBlockType(out, st.ctx, a.file);
}

void scanExtents(ZUTState& st) {
  printDate();
  FILE* out = openOutputFile(st, kExtentMapPath);
  if (out == nullptr) return;
  listExtentMap(out, st.ctx);
  closeOutputFile(st, out, kExtentMapPath);
  printDate();
}

// The undo segment list from the undo segment headers themselves, for a
// database whose UNDO$ cannot be read.
void scanUndo(ZUTState& st, const ScanArgs& a) {
  printDate();
  const UndoScanResult found = scanUndoHeaders(st.ctx, a.file);
  clearProgressLine();
  FILE* out = openOutputFile(st, kUndoSegmentListPath);
  if (out == nullptr) return;
  writeUndoSegmentList(out, found);
  const bool written = closeOutputFile(st, out, kUndoSegmentListPath);
  if (written)
    printf("  %zu undo segment headers listed in %s\n", found.headers.size(), kUndoSegmentListPath);
  if (found.unidentified != 0)
    printf("  %u undo segment headers point to no undo block: their undo segment numbers are "
           "unknown\n",
           found.unidentified);
  printDate();
}

// Data objects of the extent list that the dictionary files carry as no
// table's current data object id, each sampled and matched against the
// dictionary's tables; the extent list is made first when there is none.
// With TO, the same facts as CSV in that file.
void scanOrphans(ZUTState& st) {
  struct stat s;
  if (stat(kExtentMapPath, &s) != 0) {
    fputs("  No extent list: running SCAN EXTENT first.\n", stdout);
    scanExtents(st);
  }
  printDate();
  const OrphanSearch found = findOrphanObjects(st.ctx, kExtentMapPath);
  clearProgressLine();
  if (found.noDictionary) {
    printf("  Cannot read %s: build the dictionary first (UNLOAD TABLE DICT$).\n", kDictTableFile);
    st.commandFailed = true;
    return;
  }
  if (found.noExtentList) {
    printf("  Cannot read %s.\n", kExtentMapPath);
    st.commandFailed = true;
    return;
  }
  for (const OrphanObject& o : found.objects) printOrphanObject(stdout, o);
  printf("  %zu orphan data objects.\n", found.objects.size());
  if (st.fileName[0] != 0) {
    FILE* out = openOutputFile(st, st.fileName);
    if (out == nullptr) return;
    writeOrphanCsv(out, found.objects);
    if (closeOutputFile(st, out, st.fileName) && out != stdout)
      printf("  Written to %s.\n", st.fileName);
  }
  printDate();
}

void scanTables(FILE* out, ZUTState& st, const ScanArgs& a) {
  listTableHeader(out, st.ctx, a.objd, a.file);
}

}  // namespace

void runScanCommand(ZUTState& st) {
  memset(st.fileName, 0, sizeof st.fileName);
  memset(st.ownerName, 0, sizeof st.ownerName);
  SessionContext& ctx = st.ctx;
  if (ctx.dataCache != nullptr) emptyReadAheadCache(*ctx.dataCache);
  memset(ctx.columnTypes, kColRaw, sizeof ctx.columnTypes);

  const ScanArgs a = parseScanArgs(st);
  if (a.kind.empty()) {
    fputs(kScanUsage, stdout);
    return;
  }
  if (a.tooLong) {
    fputs("  File name too long.\n", stdout);
    return;
  }
  if (kindIs(a.kind, "HEADER")) {
    runListing(st, a, scanHeaders);
  } else if (kindIs(a.kind, "DATABASE")) {
    printDate();
    if (listExtentMapParallel(ctx) != 0) st.commandFailed = true;
    if (listLobBlockMapParallel(ctx) != 0) st.commandFailed = true;
    printDate();
  } else if (kindIs(a.kind, "DATA")) {
    runListing(st, a, scanData);
  } else if (kindIs(a.kind, "TABLE")) {
    ctx.fieldTag[0] = '|';
    ctx.fieldTag[1] = 0;
    ctx.recordTag[0] = '\n';
    ctx.recordTag[1] = 0;
    ctx.fieldTagLength = ctx.recordTagLength = 1;
    runListing(st, a, scanTables);
  } else if (kindIs(a.kind, "EXTENT")) {
    scanExtents(st);
  } else if (kindIs(a.kind, "LOB")) {
    printDate();
    listLobBlockMap(ctx);
    printDate();
  } else if (kindIs(a.kind, "PARALLELEXT")) {
    printDate();
    if (listExtentMapParallel(ctx) != 0) st.commandFailed = true;
    printDate();
  } else if (kindIs(a.kind, "PARALLELLOB")) {
    printDate();
    if (listLobBlockMapParallel(ctx) != 0) st.commandFailed = true;
    printDate();
  } else if (kindIs(a.kind, "MAP")) {
    printDate();
    hashLobBlockMap();
    hashLobIndexMap();
    hashDictColumnMap(st.ctx);
    printDate();
  } else if (kindIs(a.kind, "ORPHANS")) {
    scanOrphans(st);
  } else if (kindIs(a.kind, "UNDO")) {
    scanUndo(st, a);
  } else if (kindIs(a.kind, "BLOCK")) {
    runListing(st, a, scanBlockTypes);
  } else {
    fputs(kScanUsage, stdout);
  }
}
