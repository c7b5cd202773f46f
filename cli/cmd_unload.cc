// UNLOAD (a table by name, or a data object by id) and DESC.
//
// A table unload resolves owner and table through the dictionary files,
// loads the column types, writes the CREATE script and the SQL*Loader control
// file (text output to a file) or the dump prologue (export dump), then finds
// the blocks of the segment: through the extent list when it lists the
// object, else through the segment header, else by scanning every block.
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/interpreter.h"
#include "cli/unload_args.h"
#include "cli/unload_scripts.h"
#include "datafile/block_reader.h"
#include "datafile/output_file.h"
#include "dict/column_types.h"
#include "dict/dict_build.h"
#include "dict/dict_files.h"
#include "export/dmp_writer.h"
#include "lob/lob_value.h"
#include "values/charset.h"
#include "values/guess_field.h"
#include "unload/unload_drivers.h"
#include "unload/unload_segment.h"
#include "scan/extent_scan.h"

namespace {

constexpr const char* kDefaultDmpFile = "zutdata.dmp";

// Per-command state every UNLOAD starts from.
void clearUnloadState(SessionContext& ctx) {
  memset(ctx.columnTypes, 0, sizeof ctx.columnTypes);
  ctx.columnCount = 0;
  memset(ctx.lobIndexFile, 0, sizeof ctx.lobIndexFile);
  memset(ctx.lobIndexBlock, 0, sizeof ctx.lobIndexBlock);
  memset(ctx.columnLength, 0, sizeof ctx.columnLength);
  memset(ctx.columnCharsetId, 0, sizeof ctx.columnCharsetId);
  memset(ctx.columnCharsetForm, 0, sizeof ctx.columnCharsetForm);
  ctx.chunkCount = 1;
  ctx.rowLimit = kNoRowLimit;
  ctx.rowsUnloaded = 0;
  ctx.rowOutputMode = 0;
  memset(ctx.unknownTypeWarnings, 0, sizeof ctx.unknownTypeWarnings);  // each unload warns afresh
  if (ctx.columnStats) resetColumnStats(*ctx.columnStats);  // SAMPLE's evidence is per sample
  if (ctx.dataCache) emptyReadAheadCache(*ctx.dataCache);
  if (ctx.lobCache) emptyReadAheadCache(*ctx.lobCache);
  setDefaultUnloadTags(ctx);
  mkdir("LOBDATA", 0777);
}

// The unload output: the named file fully buffered with the shared buffer,
// or standard output; null when the name is one of the session's inputs.
FILE* openUnloadOutput(ZUTState& st, const char* name) {
  FILE* out = openOutputFile(st, name);
  if (out != nullptr && out != stdout) {
    memset(st.outputBuffer, 0, kOutputBufferSize);
    setvbuf(out, st.outputBuffer, _IOFBF, kOutputBufferSize);
  }
  return out;
}

// The end of every unload: the output closed with its writes checked, the
// blocks that could not be read, and the closing line: "Sucessfully unload N
// rows ..." only when every write succeeded, else "Unload failed after N
// rows ..." (N the rows handed to the output before the error). Before it,
// the number of national characters written as "?", when there were any.
void finishUnload(ZUTState& st, FILE* out, const char* name, const BlockTally& tally,
                  uint64_t nationalUnmapped) {
  bool written = closeOutputFile(st, out, name);
  const LobReader& lobs = *st.lobReader;
  const uint64_t lobsLost = lobs.filesNotCreated + lobs.filesNotWritten;
  if (lobsLost != 0) {
    printf("  %llu LOB values could not be written to their files under LOBDATA.\n",
           static_cast<unsigned long long>(lobsLost));
    st.commandFailed = true;
    written = false;
  }
  printBlockTally(stdout, tally, st.ctx.verbose != 0);
  if (nationalUnmapped != 0)
    printf("Warning: %llu characters of national columns had no equivalent and were written "
           "as ?\n",
           static_cast<unsigned long long>(nationalUnmapped));
  const uint64_t replaced = lobs.clob.replaced + lobs.nclob.replaced;
  if (replaced != 0)
    printf("Warning: %llu characters of LOB values did not convert and were written as U+FFFD "
           "or ?\n",
           static_cast<unsigned long long>(replaced));
  if (unreadableBlocks(tally) != 0) st.commandFailed = true;
  const unsigned long long rows = st.ctx.rowsUnloaded;
  if (written) printf("Sucessfully unload %llu rows ...\n", rows);
  else printf("Unload failed after %llu rows ...\n", rows);
  printDate();
}

// National columns are converted to the output character set (CHARSET) from
// the national one (NLSCHARSET) as they stand when the unload starts.
void openNationalConverter(ZUTState& st) {
  SessionContext& ctx = st.ctx;
  if (ctx.nationalConverter != kNoConverter) iconv_close(ctx.nationalConverter);
  ctx.nationalConverter =
      open_national_converter(st.user.charset, st.user.nlsCharset, &ctx.nationalSourceUtf8);
}

// The LOB reader of one unload: the LOB maps, when they were built, are open
// from its start to its end. CLOB text goes through ICONV_CLOB when set;
// otherwise the CLOBs of a database in AL32UTF8 or UTF8, stored as
// AL16UTF16 in the CLOB_EDIAN byte order, become UTF-8, and those of a
// single-byte database are written as stored. NCLOB text goes through
// ICONV_NCLOB when set, else as national columns are converted.
class LobUnload {
 public:
  explicit LobUnload(ZUTState& st) : st_(st) {
    SessionContext& ctx = st.ctx;
    LobReader& r = *st.lobReader;
    beginLobUnload(r, ctx);
    if (ctx.clobConverter != kNoConverter) {
      setTextStream(r.clob, ctx.clobConverter, textSourceOf(st.clobIconv[0].c_str()),
                    st.clobIconv[1].c_str());
    } else if (is_utf8_database_charset(st.user.charset)) {
      own_ = iconv_open("UTF-8", ctx.clobByteOrder ? "UTF-16BE" : "UTF-16LE");
      setTextStream(r.clob, own_, TextSource::kUtf16, "UTF-8");
    }
    if (ctx.nclobConverter != kNoConverter) {
      setTextStream(r.nclob, ctx.nclobConverter, textSourceOf(st.nclobIconv[0].c_str()),
                    st.nclobIconv[1].c_str());
    } else {
      setTextStream(r.nclob, ctx.nationalConverter,
                    ctx.nationalSourceUtf8 ? TextSource::kUtf8 : TextSource::kUtf16,
                    national_target_name(st.user.charset));
    }
  }
  ~LobUnload() {
    endLobUnload(*st_.lobReader, st_.ctx);
    if (own_ != kNoConverter) iconv_close(own_);
  }
  LobUnload(const LobUnload&) = delete;
  LobUnload& operator=(const LobUnload&) = delete;

 private:
  ZUTState& st_;
  iconv_t own_ = kNoConverter;
};

void printUnloadUsage() {
  fputs("  UNLOAD TABLE user.tablename [LIMIT rows] [LOB colid.fid.blockid] [TO filename]\n"
        "  UNLOAD OBJECT objd [LIMIT rows] [CLUSTER clusterid] [LOB colid.fid.blockid]\n"
        "         [FILE rfn] [BLOCK blockid] [COLUMN coltype] [TO filename]\n"
        "  Note: \n"
        "     coltype -- SKIP CHAR VARCHAR VARCHAR2 LONG DATE VARRAY/NARRAY \n"
        "             -- NUMBER RAW LONGRAW TIMESTAMP TIMESTAMPTZ\n"
        "             -- TIMESTAMPLTZ BINARY_FLOAT BINARY_DOUBLE\n",
        stdout);
}

bool endsWithDmp(const char* name) {
  const size_t n = strlen(name);
  return n > 4 && strcasecmp(name + n - 4, ".DMP") == 0;
}

void writeTableScripts(ZUTState& st, const UnloadArgs& args, const DictObjectEntry& object,
                       DictColumnEntry& column, const TableDescriptor& desc) {
  const std::string base = scriptBaseName(args.asName, object.name);
  std::string statement;
  getCreateSyntax(statement, column, object, args.asName, 1);
  const std::string scriptName = createScriptName(base);
  if (FILE* f = createOutputFile(st.ctx, scriptName.c_str(), "w+")) {
    writeCreateScript(f, statement);
    closeOutputFile(st, f, scriptName.c_str());
  }
  const std::string controlName = controlFileName(base, args.partition);
  if (FILE* f = createOutputFile(st.ctx, controlName.c_str(), "w+")) {
    ControlFileSpec control;
    control.tableArgument = args.table;
    control.dataFile = args.fileName;
    control.tableName = base;
    control.recordTag = st.user.recordTag;
    control.recordTagLength = st.user.recordTagLength;
    control.fieldTag = st.user.fieldTag;
    control.fieldTagLength = st.user.fieldTagLength;
    control.rowAddress = st.ctx.rowAddress != 0;
    control.lobStorage = st.ctx.lobStorage;
    writeControlFile(f, control, desc);
    closeOutputFile(st, f, controlName.c_str());
  }
}

void unloadTable(ZUTState& st, const UnloadArgs& args) {
  SessionContext& ctx = st.ctx;
  copyUserTags(ctx, st.user);
  const uint8_t savedStyle = ctx.outputStyle;
  if (strlen(args.fileName) > 4) ctx.outputStyle = endsWithDmp(args.fileName) ? 1 : 0;

  struct Restore {
    SessionContext& ctx;
    uint8_t style;
    ~Restore() { ctx.outputStyle = style; }
  } restore{ctx, savedStyle};

  DictUserEntry user;
  DictObjectEntry object;
  if (!findTableObject(args.table, args.partition, user, object)) {
    st.commandFailed = true;
    return;
  }

  // The segments to unload. A partitioned table has no segment of its own:
  // without PARTITION every partition and subpartition with a segment is
  // unloaded into the one output. Otherwise obj# + 1 is tried, where an
  // index-organized table keeps its segment.
  std::vector<DictTableEntry> segments;
  DictTableEntry table;
  if (getORASYSTAB(table, object.resolvedId)) {
    segments.push_back(table);
  } else {
    if (args.partition[0] == 0) segments = findPartitionSegments(object);
    if (segments.empty() && getORASYSTAB(table, object.resolvedId + 1)) segments.push_back(table);
  }
  if (st.user.tablespace != 0)
    segments.erase(std::remove_if(segments.begin(), segments.end(),
                                  [&](const DictTableEntry& t) {
                                    return t.tablespace != st.user.tablespace;
                                  }),
                   segments.end());
  if (segments.empty()) {
    st.commandFailed = true;
    return;
  }

  std::unique_ptr<TableDescriptor> desc(new TableDescriptor);
  DictColumnEntry column;
  ctx.columnCount = 0;
  getORACOLTYPE(column, object, args.partition, ctx, *desc);
  printDate();

  // An explicit OBJECT names the one data object to read.
  std::vector<UnloadSegment> plan;
  if (args.objd != 0 && segments.size() > 1) {
    UnloadSegment s;
    s.objd = args.objd;
    s.cluster = args.clusterGiven ? args.cluster : 0;
    plan.push_back(s);
  } else {
    for (const DictTableEntry& t : segments) {
      UnloadSegment s;
      s.objd = args.objd != 0 ? args.objd : t.dataObjId;
      s.file = t.file;
      s.block = t.block;
      s.cluster = args.clusterGiven ? args.cluster : t.cluster;
      plan.push_back(s);
    }
  }

  const char* outName = args.fileName;
  if (outName[0] == 0 && ctx.outputStyle == 1) outName = kDefaultDmpFile;
  FILE* out = openUnloadOutput(st, outName);
  if (out == nullptr) return;
  // The scripts name the text output, so they are written only beside a
  // file that was created.
  if (ctx.outputStyle == 0 && args.fileName[0] != 0 && out != stdout)
    writeTableScripts(st, args, object, column, *desc);
  // Dump rows are binary: when the dump file cannot be created the rows come
  // as text on standard output instead.
  if (out == stdout) ctx.outputStyle = 0;
  if (ctx.outputStyle == 1) {
    std::string statement;
    getCreateSyntax(statement, column, object, args.asName, 0);
    writeDmpPrologue(out, ctx, st.user.charset, st.user.nlsCharset, user.name,
                     scriptBaseName(args.asName, object.name), statement, *desc);
  }

  BlockTally tally;
  uint64_t unmapped = 0;
  LobUnload lobs(st);
  ctx.blockTally = &tally;
  ctx.nationalUnmapped = &unmapped;
  for (const UnloadSegment& s : plan) {
    if (ctx.rowsUnloaded >= ctx.rowLimit || ferror(out)) break;
    printf("Unload OBJD=%u FILE=%u BLOCK=%u CLUSTER=%u ...\n", s.objd, s.file, s.block, s.cluster);
    unloadSegment(out, ctx, args.extentList, s, st.user.deletedRow & 1, st.user.commitedOnly & 1,
                  args.file, args.block);
  }
  ctx.blockTally = nullptr;
  ctx.nationalUnmapped = nullptr;

  if (out != stdout) {
    if (ctx.outputStyle == 1) {
      printDmpDataEnd(out);
      printDmpTail(out);
    }
  }
  finishUnload(st, out, outName, tally, unmapped);
}

void unloadObject(ZUTState& st, const UnloadArgs& args) {
  SessionContext& ctx = st.ctx;
  const uint8_t savedStyle = ctx.outputStyle;
  ctx.outputStyle = 0;  // an object unload always writes text
  copyUserTags(ctx, st.user);
  ctx.columnCount = args.columnWords;
  for (int i = args.columnWords; i < kMaxColumns; i++) ctx.columnTypes[i] = kColNotGiven;

  FILE* out = openUnloadOutput(st, args.fileName);
  if (out == nullptr) {
    ctx.rowLimit = kNoRowLimit;
    ctx.outputStyle = savedStyle;
    return;
  }
  printDate();

  UnloadSegment s;
  s.objd = args.objd;
  s.file = args.file;
  s.block = args.block;
  s.cluster = args.cluster;
  // With both FILE and BLOCK the segment header is read directly; a list
  // that does not list the object (or no list) also leads there.
  const bool headerGiven = args.file != 0 && args.block != 0;
  BlockTally tally;
  uint64_t unmapped = 0;
  LobUnload lobs(st);
  ctx.blockTally = &tally;
  ctx.nationalUnmapped = &unmapped;
  unloadSegment(out, ctx, headerGiven ? nullptr : args.extentList, s, st.user.deletedRow & 1,
                st.user.commitedOnly & 1, args.file, args.block);
  ctx.blockTally = nullptr;
  ctx.nationalUnmapped = nullptr;

  finishUnload(st, out, args.fileName, tally, unmapped);
  ctx.rowLimit = kNoRowLimit;
  ctx.outputStyle = savedStyle;
}

}  // namespace

void runUnloadCommand(ZUTState& st) {
  SessionContext& ctx = st.ctx;
  clearUnloadState(ctx);
  std::unique_ptr<UnloadArgs> args(new UnloadArgs);
  if (parseUnloadArgs(st.cmd, ctx, *args) != 0) {
    st.commandFailed = true;
    return;
  }
  snprintf(st.fileName, sizeof st.fileName, "%s", args->fileName);

  if (args->table[0] != 0 && isDictionaryTable(args->table)) {
    DictBuildRequest request;
    request.target = args->table;
    request.deleted = st.user.deletedRow & 1;
    request.committed = st.user.commitedOnly & 1;
    request.file = args->file;
    request.objd = args->objd;
    request.table = args->cluster;
    printDate();
    if (!buildDictionary(ctx, st.outputBuffer, kOutputBufferSize, request)) st.commandFailed = true;
    printDate();
  } else if (args->table[0] != 0) {
    openNationalConverter(st);
    unloadTable(st, *args);
  } else if (args->objd != 0) {
    openNationalConverter(st);
    unloadObject(st, *args);
  } else {
    printUnloadUsage();
  }
}

void runDescCommand(ZUTState& st) {
  CommandBuffer& cmd = st.cmd;
  if (scanNextWord(cmd) == 0) {
    fputs("  DESC owner.tablename [partition]\n", stdout);
    return;
  }
  const std::string arg(cmd.text + cmd.start, cmd.end - cmd.start);
  char partition[kMaxPartitionName + 1] = {};
  if (scanNextWord(cmd) > 0) {
    const size_t n = cmd.end - cmd.start;
    if (n > kMaxPartitionName) {
      printf("  Partition name is longer than %zu characters, refused: %.40s...\n",
             kMaxPartitionName, cmd.text + cmd.start);
      return;
    }
    memcpy(partition, cmd.text + cmd.start, n);
  }
  DictUserEntry user;
  DictObjectEntry object;
  if (!findTableObject(arg.c_str(), partition, user, object)) return;
  fputs("\n", stdout);
  DictTableEntry table;
  getORASYSTAB(table, object.resolvedId);
  printf("Storage(OBJ#=%u OBJD=%u TS=%u FILE=%u BLOCK=%u CLUSTER=%u)\n", table.objId,
         table.dataObjId, table.tablespace, table.file, table.block, table.cluster);
  DictColumnEntry column;
  getORASYSCOL(stdout, column, object.objId);
  fputs("\n", stdout);
}
