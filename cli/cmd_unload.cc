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
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/interpreter.h"
#include "cli/unload_args.h"
#include "cli/unload_scripts.h"
#include "cli/unload_user.h"
#include "core/progress.h"
#include "datafile/block_reader.h"
#include "datafile/output_file.h"
#include "dict/column_types.h"
#include "dict/dict_build.h"
#include "dict/dict_files.h"
#include "dump/orphan_scan.h"
#include "export/dmp_writer.h"
#include "lob/lob_value.h"
#include "values/charset.h"
#include "values/guess_field.h"
#include "rows/text_output.h"
#include "rows/undo_verdict.h"
#include "unload/unload_drivers.h"
#include "unload/unload_parallel.h"
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
// rows ..." only when every write succeeded (the generated scripts' too,
// scriptsWritten), else "Unload failed after N rows ..." (N the rows handed
// to the output before the error). Before it, the number of national
// characters written as "?" and of values holding a tag, when there were any.
// A committed-only unload asks the undo segment headers about ITL entries
// that carry no commit flag, and says afterwards what they answered.
class UndoQuestions {
 public:
  UndoQuestions(SessionContext& ctx, bool committedOnly) : ctx_(ctx) {
    if (!committedOnly) return;
    table_.reset(new UndoTable);
    loadUndoSegmentList(*table_, kUndoSegmentListPath);
    ctx_.undoTable = table_.get();
  }
  ~UndoQuestions() { ctx_.undoTable = nullptr; }
  UndoQuestions(const UndoQuestions&) = delete;
  UndoQuestions& operator=(const UndoQuestions&) = delete;
  void report() {
    if (table_ == nullptr) return;
    clearProgressLine();
    printUndoSummary(stdout, *table_);
  }

 private:
  SessionContext& ctx_;
  std::unique_ptr<UndoTable> table_;
};

// The account of the unload goes into result (warnings: the warning lines
// written here; LOB values lost count as one).
void finishUnload(ZUTState& st, FILE* out, const char* name, const BlockTally& tally,
                  uint64_t nationalUnmapped, const TextOutput* text, bool scriptsWritten,
                  TableUnloadResult& result) {
  clearProgressLine();
  bool written = closeOutputFile(st, out, name) && scriptsWritten;
  const LobReader& lobs = *st.lobReader;
  const uint64_t lobsLost = lobs.filesNotCreated + lobs.filesNotWritten;
  result.warnings = 0;
  if (lobsLost != 0) {
    printf("  %llu LOB values could not be written to their files under LOBDATA.\n",
           static_cast<unsigned long long>(lobsLost));
    st.commandFailed = true;
    written = false;
    result.warnings++;
  }
  printBlockTally(stdout, tally, st.ctx.verbose != 0);
  if (nationalUnmapped != 0) {
    printf("Warning: %llu characters of national columns had no equivalent and were written "
           "as ?\n",
           static_cast<unsigned long long>(nationalUnmapped));
    result.warnings++;
  }
  if (text != nullptr && text->taggedValues != 0) {
    printf("Warning: %llu values contain the field or record tag; the text will not load back "
           "as written. Use SET OUTPUT_STYLE CSV or other tags.\n",
           static_cast<unsigned long long>(text->taggedValues));
    result.warnings++;
  }
  const uint64_t replaced = lobs.clob.replaced + lobs.nclob.replaced;
  if (replaced != 0) {
    printf("Warning: %llu characters of LOB values did not convert and were written as U+FFFD "
           "or ?\n",
           static_cast<unsigned long long>(replaced));
    result.warnings++;
  }
  result.unreadableBlocks = unreadableBlocks(tally);
  if (result.unreadableBlocks != 0) st.commandFailed = true;
  const unsigned long long rows = st.ctx.rowsUnloaded;
  result.rows = rows;
  result.cancelled = takeCancel();
  result.written = written && !result.cancelled;
  if (result.cancelled) {
    printf("Cancelled after %llu rows ...\n", rows);
    st.commandFailed = true;
  } else if (written) {
    printf("Sucessfully unload %llu rows ...\n", rows);
  } else {
    printf("Unload failed after %llu rows ...\n", rows);
  }
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
        "         [TRUNCATED [OBJECT objd]]\n"
        "  UNLOAD OBJECT objd [LIMIT rows] [CLUSTER clusterid] [LOB colid.fid.blockid]\n"
        "         [FILE rfn] [BLOCK blockid] [COLUMN coltype | LIKE user.tablename]\n"
        "         [TO filename]\n"
        "  UNLOAD USER user|* [TO directory] [PARALLEL n]\n"
        "  Note: \n"
        "     coltype -- SKIP CHAR VARCHAR VARCHAR2 LONG DATE VARRAY/NARRAY \n"
        "             -- NUMBER RAW LONGRAW TIMESTAMP TIMESTAMPTZ\n"
        "             -- TIMESTAMPLTZ BINARY_FLOAT BINARY_DOUBLE\n",
        stdout);
}

// CSV separates fields with "," unless FIELD_TAG was set (to something a
// CSV field can be told from), and ends records with a line feed.
void setCsvTags(SessionContext& ctx, const UserSettings& user) {
  bool keep = user.fieldTagSet != 0;
  for (uint16_t i = 0; keep && i < ctx.fieldTagLength; i++) {
    const char c = ctx.fieldTag[i];
    if (c == '"' || c == '\r' || c == '\n') {
      fputs("Warning: a CSV separator cannot hold a double quote, CR or LF; \",\" is used.\n",
            stdout);
      keep = false;
    }
  }
  if (!keep) {
    memset(ctx.fieldTag, 0, sizeof ctx.fieldTag);
    ctx.fieldTag[0] = ',';
    ctx.fieldTagLength = 1;
  }
  memset(ctx.recordTag, 0, sizeof ctx.recordTag);
  ctx.recordTag[0] = '\n';
  ctx.recordTagLength = 1;
}

// The text output of a table or object unload, hung on the session for the
// row writers: in CSV style with the CSV tags, and the row width. Null,
// with the reason said, when it cannot be set up.
std::unique_ptr<TextOutput> beginTextOutput(ZUTState& st) {
  SessionContext& ctx = st.ctx;
  const bool csv = ctx.outputStyle == 2;
  if (csv) setCsvTags(ctx, st.user);
  std::unique_ptr<TextOutput> text(new TextOutput(ctx, csv));
  if (!text->ready()) {
    fputs("  Cannot set up the text output; nothing unloaded.\n", stdout);
    st.commandFailed = true;
    return nullptr;
  }
  if (ctx.rowAddress) text->rowWidth++;
  for (int i = 0; i < ctx.columnCount && i < kMaxColumns; i++)
    if (ctx.columnTypes[i] != kColSkip) text->rowWidth++;
  return text;
}

// With CSV_HEADER ON, the first line of a CSV output: the column names
// (names[i] for table column i, else Cn).
void writeCsvHeaderLine(ZUTState& st, FILE* out, const std::vector<std::string>& names) {
  const SessionContext& ctx = st.ctx;
  if (ctx.outputStyle != 2 || st.user.csvHeader == 0) return;
  std::vector<std::string> header;
  if (ctx.rowAddress) header.push_back("ZUT_ROWADDR");
  for (int i = 0; i < ctx.columnCount && i < kMaxColumns; i++)
    if (ctx.columnTypes[i] != kColSkip)
      header.push_back(static_cast<size_t>(i) < names.size() ? names[i]
                                                             : "C" + std::to_string(i + 1));
  if (!header.empty()) writeCsvHeader(out, ctx, header);
}

// The worker processes of this unload: PARALLEL n, else SET PARALLEL (0:
// one per online core). One process when the rows go to the screen, with
// LIMIT (the row count decides where to stop), ROW_ADDRESS, COMMITED_ONLY
// (its undo answers are counted in one place), LOB values written into
// files of their own, or an output that is not a file.
int unloadWorkers(const ZUTState& st, const UnloadArgs& args, FILE* out) {
  int n = args.parallel >= 0 ? args.parallel : st.user.parallel;
  if (n == 0) n = onlineCores();
  const SessionContext& ctx = st.ctx;
  if (n <= 1 || out == stdout || ctx.rowLimit != kNoRowLimit || ctx.rowAddress ||
      ctx.lobStorage == 1 || (st.user.commitedOnly & 1))
    return 1;
  // The pieces lie beside the output: a device or pipe gets one process.
  struct stat s;
  if (fstat(fileno(out), &s) != 0 || !S_ISREG(s.st_mode)) return 1;
  return n;
}

// One segment, by one process or several; false when a worker failed.
bool unloadOneSegment(ZUTState& st, FILE* out, const char* outName, int workers,
                      const char* listName, const UnloadSegment& s, uint16_t scanFile,
                      uint32_t scanBlock) {
  SessionContext& ctx = st.ctx;
  const int deleted = st.user.deletedRow & 1, committed = st.user.commitedOnly & 1;
  if (workers <= 1) {
    unloadSegment(out, ctx, listName, s, deleted, committed, scanFile, scanBlock);
    return true;
  }
  return unloadSegmentParallel(out, outName, ctx, workers, listName, s, deleted, committed,
                               scanFile, scanBlock);
}

bool endsWithDmp(const char* name) {
  const size_t n = strlen(name);
  return n > 4 && strcasecmp(name + n - 4, ".DMP") == 0;
}

// One generated file: created, written by `write` and closed with its
// writes checked. False, with the reason said, when any step failed.
bool writeScriptFile(ZUTState& st, const std::string& name,
                     const std::function<void(FILE*)>& write) {
  OutputRefusal why = kOutputCreated;
  FILE* f = createOutputFile(st.ctx, name.c_str(), "w+", &why);
  if (f == nullptr) {
    st.commandFailed = true;
    if (why != kOutputIsInput) printf("Cannot create %s: %s\n", name.c_str(), strerror(errno));
    return false;
  }
  write(f);
  return closeOutputFile(st, f, name.c_str());
}

// The CREATE script and the control file, written after the rows so that
// every field admits the longest value written: in the working directory
// named after the table, or beside the output named after its stem (UNLOAD
// USER). False when either could not be written.
bool writeTableScripts(ZUTState& st, const UnloadArgs& args, const DictObjectEntry& object,
                       DictColumnEntry& column, const TableDescriptor& desc,
                       const TextOutput& text) {
  const std::string base = scriptBaseName(args.asName, object.name);
  std::string statement;
  getCreateSyntax(statement, column, object, args.asName, 1);
  const std::string stem = args.fileStem;
  const bool script = writeScriptFile(st, stem.empty() ? createScriptName(base)
                                                       : stem + kCreateScriptSuffix,
                                      [&](FILE* f) { writeCreateScript(f, statement); });
  ControlFileSpec control;
  control.tableArgument = args.table;
  control.dataFile = args.fileName;
  control.tableName = base;
  control.recordTag = st.ctx.recordTag;
  control.recordTagLength = st.ctx.recordTagLength;
  control.fieldTag = st.ctx.fieldTag;
  control.fieldTagLength = st.ctx.fieldTagLength;
  control.rowAddress = st.ctx.rowAddress != 0;
  control.lobStorage = st.ctx.lobStorage;
  control.csv = text.csv;
  control.csvHeader = text.csv && st.user.csvHeader != 0;
  control.longest = text.longest;
  const bool controlFile = writeScriptFile(st, stem.empty() ? controlFileName(base, args.partition)
                                                            : stem + kControlFileSuffix,
                                           [&](FILE* f) { writeControlFile(f, control, desc); });
  return script && controlFile;
}

// TRUNCATED: the table's previous data object ids. OBJECT n names one;
// otherwise every orphan of the extent list (SCAN ORPHANS) whose best
// candidate is this table, a tie for the best included: a table and its
// copy of the same columns both own the orphan, and leaving rows behind is
// worse than taking a segment twice. False, after a message, when there is
// none.
bool previousDataObjects(ZUTState& st, const UnloadArgs& args, const DictUserEntry& user,
                         const DictObjectEntry& object, std::vector<uint32_t>& objds) {
  if (args.objd != 0) {
    objds.push_back(args.objd);
    return true;
  }
  const OrphanSearch found = findOrphanObjects(st.ctx, args.extentList);
  if (found.noDictionary || found.noExtentList) {
    printf("  TRUNCATED needs the dictionary files and the extent list %s (SCAN EXTENT).\n",
           args.extentList);
    return false;
  }
  for (const OrphanObject& o : found.objects)
    if (orphanBestIs(o, user.name, object.name)) objds.push_back(o.objd);
  if (objds.empty()) {
    printf("  No orphan data object of %s matches %s.%s best; name one with OBJECT n "
           "(SCAN ORPHANS lists them).\n",
           args.extentList, user.name, object.name);
    return false;
  }
  return true;
}

TableUnloadResult unloadTable(ZUTState& st, const UnloadArgs& args) {
  TableUnloadResult result;
  SessionContext& ctx = st.ctx;
  copyUserTags(ctx, st.user);
  const uint8_t savedStyle = ctx.outputStyle;
  // A TO name ending in .dmp writes a dump, any other name text (in CSV
  // style when that is set).
  if (strlen(args.fileName) > 4) {
    if (endsWithDmp(args.fileName)) ctx.outputStyle = 1;
    else if (ctx.outputStyle == 1) ctx.outputStyle = 0;
  }

  struct Restore {
    SessionContext& ctx;
    uint8_t style;
    ~Restore() { ctx.outputStyle = style; }
  } restore{ctx, savedStyle};

  DictUserEntry user;
  DictObjectEntry object;
  if (!findTableObject(args.table, args.partition, user, object)) {
    st.commandFailed = true;
    return result;
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
  if (segments.empty() && !args.truncated) {
    st.commandFailed = true;
    result.noSegment = true;
    return result;
  }
  std::vector<uint32_t> previous;
  if (args.truncated && !previousDataObjects(st, args, user, object, previous)) {
    st.commandFailed = true;
    return result;
  }

  std::unique_ptr<TableDescriptor> desc(new TableDescriptor);
  DictColumnEntry column;
  ctx.columnCount = 0;
  getORACOLTYPE(column, object, args.partition, ctx, *desc);
  printDate();

  // An explicit OBJECT names the one data object to read.
  std::vector<UnloadSegment> plan;
  if (args.truncated) {
    // Old segments have no header of their own any more: their blocks come
    // from the extent list (or, when it does not list them, the full scan).
    for (uint32_t objd : previous) {
      UnloadSegment s;
      s.objd = objd;
      s.cluster = args.clusterGiven ? args.cluster : 0;
      plan.push_back(s);
    }
  } else if (args.objd != 0 && segments.size() > 1) {
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
  for (const UnloadSegment& s : plan) result.dataObjects.push_back(s.objd);

  const char* outName = args.fileName;
  if (outName[0] == 0 && ctx.outputStyle == 1) outName = kDefaultDmpFile;
  FILE* out = openUnloadOutput(st, outName);
  if (out == nullptr) return result;
  // The files of UNLOAD USER go into its directory or nowhere.
  if (out == stdout && args.fileStem[0] != 0) return result;
  // Dump rows are binary: when the dump file cannot be created the rows come
  // as text on standard output instead.
  if (out == stdout && ctx.outputStyle == 1) ctx.outputStyle = 0;
  std::unique_ptr<TextOutput> text;
  if (ctx.outputStyle != 1) {
    text = beginTextOutput(st);
    if (text == nullptr) {
      closeOutputFile(st, out, outName);
      return result;
    }
    std::vector<std::string> names;
    for (int i = 0; i < desc->columnCount && i < kMaxTableColumns; i++)
      names.push_back(desc->columns[i].name);
    writeCsvHeaderLine(st, out, names);
  }
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
  ctx.textOutput = text.get();
  UndoQuestions undo(ctx, st.user.commitedOnly & 1);
  const int workers = unloadWorkers(st, args, out);
  bool workersOk = true;
  std::vector<uint64_t> segmentRows;  // rows of each segment of the plan unloaded
  for (const UnloadSegment& s : plan) {
    if (ctx.rowsUnloaded >= ctx.rowLimit || ferror(out) || cancelRequested() || !workersOk) break;
    clearProgressLine();
    printf("Unload OBJD=%u FILE=%u BLOCK=%u CLUSTER=%u ...\n", s.objd, s.file, s.block, s.cluster);
    const uint64_t before = ctx.rowsUnloaded;
    workersOk = unloadOneSegment(st, out, outName, workers, args.extentList, s, args.file,
                                 args.block);
    segmentRows.push_back(ctx.rowsUnloaded - before);
  }
  if (args.truncated) {
    clearProgressLine();
    fputs("  Previous data objects:", stdout);
    for (size_t i = 0; i < segmentRows.size(); i++)
      printf("%s %u (%llu rows)", i ? "," : "", plan[i].objd,
             static_cast<unsigned long long>(segmentRows[i]));
    fputs("\n", stdout);
  }
  ctx.blockTally = nullptr;
  ctx.nationalUnmapped = nullptr;
  ctx.textOutput = nullptr;
  undo.report();

  if (out != stdout) {
    if (ctx.outputStyle == 1) {
      printDmpDataEnd(out);
      printDmpTail(out);
    }
  }
  // The scripts name the text output, so they are written only beside a
  // file that was created.
  bool scripts = true;
  if (text != nullptr && args.fileName[0] != 0 && out != stdout)
    scripts = writeTableScripts(st, args, object, column, *desc, *text);
  finishUnload(st, out, outName, tally, unmapped, text.get(), scripts && workersOk, result);
  return result;
}

// LIKE owner.table: the column types (and character sets) of a table of the
// dictionary, for a segment whose own dictionary rows are gone (a purged
// table) but whose layout a table still has. False, after a message, when
// the table or its columns are not there.
bool loadLikeColumns(SessionContext& ctx, const UnloadArgs& args) {
  DictUserEntry user;
  DictObjectEntry object;
  ctx.columnCount = 0;
  if (findTableObject(args.like, "", user, object)) {
    std::unique_ptr<TableDescriptor> desc(new TableDescriptor);
    DictColumnEntry column;
    getORACOLTYPE(column, object, "", ctx, *desc);
  }
  if (ctx.columnCount == 0) {
    if (strchr(args.like, '.') == nullptr) fputs("  LIKE takes owner.table.\n", stdout);
    printf("  No columns for LIKE %s; nothing unloaded.\n", args.like);
    return false;
  }
  if (args.columnWords != 0) fputs("Warning: LIKE gives the columns; COLUMN is ignored.\n", stdout);
  return true;
}

void unloadObject(ZUTState& st, const UnloadArgs& args) {
  SessionContext& ctx = st.ctx;
  const uint8_t savedStyle = ctx.outputStyle;
  if (ctx.outputStyle == 1) ctx.outputStyle = 0;  // an object unload always writes text
  copyUserTags(ctx, st.user);
  if (args.like[0] != 0) {
    if (!loadLikeColumns(ctx, args)) {
      st.commandFailed = true;
      ctx.outputStyle = savedStyle;
      return;
    }
  } else {
    ctx.columnCount = args.columnWords;
  }
  for (int i = ctx.columnCount; i < kMaxColumns; i++) ctx.columnTypes[i] = kColNotGiven;

  std::unique_ptr<TextOutput> text = beginTextOutput(st);
  FILE* out = text == nullptr ? nullptr : openUnloadOutput(st, args.fileName);
  if (out == nullptr) {
    ctx.rowLimit = kNoRowLimit;
    ctx.outputStyle = savedStyle;
    return;
  }
  writeCsvHeaderLine(st, out, {});
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
  ctx.textOutput = text.get();
  UndoQuestions undo(ctx, st.user.commitedOnly & 1);
  const bool workersOk = unloadOneSegment(st, out, args.fileName, unloadWorkers(st, args, out),
                                          headerGiven ? nullptr : args.extentList, s, args.file,
                                          args.block);
  ctx.blockTally = nullptr;
  ctx.nationalUnmapped = nullptr;
  ctx.textOutput = nullptr;
  undo.report();

  TableUnloadResult result;
  finishUnload(st, out, args.fileName, tally, unmapped, text.get(), workersOk, result);
  ctx.rowLimit = kNoRowLimit;
  ctx.outputStyle = savedStyle;
}

}  // namespace

TableUnloadResult unloadNamedTable(ZUTState& st, const UnloadArgs& args) {
  clearUnloadState(st.ctx);
  openNationalConverter(st);
  return unloadTable(st, args);
}

void runUnloadCommand(ZUTState& st) {
  SessionContext& ctx = st.ctx;
  clearUnloadState(ctx);
  std::unique_ptr<UnloadArgs> args(new UnloadArgs);
  if (parseUnloadArgs(st.cmd, ctx, *args) != 0) {
    st.commandFailed = true;
    return;
  }
  snprintf(st.fileName, sizeof st.fileName, "%s", args->fileName);

  if (args->user[0] != 0) {
    unloadUser(st, *args);
  } else if (args->table[0] != 0 && isDictionaryTable(args->table)) {
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
  if (DictRecycleBinEntry bin; isRecycleBinName(object.name)) {
    if (getORASYSRECYCLEBIN(bin, object.objId))
      printf("Recycle bin: dropped table %s.%s\n", user.name, bin.originalName);
    else
      printf("Recycle bin: dropped table, original name not in the dictionary\n");
  }
  DictColumnEntry column;
  getORASYSCOL(stdout, column, object.objId);
  fputs("\n", stdout);
}
