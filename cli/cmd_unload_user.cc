// UNLOAD USER owner [TO directory] [PARALLEL n]: every table of an owner,
// each unloaded as UNLOAD TABLE unloads it into
// <directory>/<OWNER>.<TABLE>.txt (.csv, .dmp by OUTPUT_STYLE) with its
// CREATE script and control file beside it, and <directory>/manifest.csv,
// one line per table, saying what came out. UNLOAD USER * does the same for
// every owner that is not one of Oracle's own schemas.
//
// Choices made here:
// - Without TO the directory is the working directory. A directory that
//   does not exist is created (with its parents); one that names an input
//   of the session is refused, and every file written into it goes through
//   the output check, so no input is ever written over.
// - The tables are the OBJ$ entries of type TABLE of the owner, each name
//   once, in dictionary order. A partitioned table is one table: its
//   partitions go into its one output, as with UNLOAD TABLE.
// - The owner and table names come from the dictionary and are made safe
//   (no "/", no leading ".", no control characters, "$" as "_") before they
//   become file names. Two tables whose safe names meet get the second one's
//   obj# added, so no output is written over by another.
// - A table that fails (not found, no segment, a write error, blocks that
//   could not be read) is recorded in the manifest and the next one goes on.
//   Ctrl-C stops the command after the table it interrupted.
#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/interpreter.h"
#include "cli/unload_scripts.h"
#include "cli/unload_user.h"
#include "core/progress.h"
#include "datafile/output_file.h"
#include "dict/dict_files.h"
#include "rows/text_output.h"

namespace {

// Schemas Oracle creates and maintains itself. Their tables are the
// dictionary and the data of options that are installed again rather than
// rescued, so UNLOAD USER * leaves them out (UNLOAD USER SYS still unloads
// SYS). Compared without regard to case, as every dictionary lookup is.
constexpr const char* kOracleSchemas[] = {
    "SYS", "SYSTEM", "OUTLN", "DBSNMP", "APPQOSSYS", "AUDSYS", "CTXSYS", "DBSFWUSER", "DVF",
    "DVSYS", "EXFSYS", "GGSYS", "GSMADMIN_INTERNAL", "GSMCATUSER", "GSMUSER", "LBACSYS",
    "MDDATA", "MDSYS", "MGMT_VIEW", "OJVMSYS", "OLAPSYS", "ORACLE_OCM", "ORDDATA",
    "ORDPLUGINS", "ORDSYS", "OWBSYS", "OWBSYS_AUDIT", "REMOTE_SCHEDULER_AGENT",
    "SI_INFORMTN_SCHEMA", "SPATIAL_CSW_ADMIN_USR", "SPATIAL_WFS_ADMIN_USR", "SYSBACKUP",
    "SYSDG", "SYSKM", "SYSMAN", "SYSRAC", "SYS$UMF", "TSMSYS", "WMSYS", "XDB", "XS$NULL",
    "ANONYMOUS", "DIP", "PUBLIC",
};
// The APEX releases each install a schema of their own (APEX_210200 ...).
constexpr const char* kOracleSchemaPrefixes[] = {"APEX_", "FLOWS_"};

bool isOracleSchema(const char* name) {
  for (const char* s : kOracleSchemas)
    if (strcasecmp(name, s) == 0) return true;
  for (const char* p : kOracleSchemaPrefixes)
    if (strncasecmp(name, p, strlen(p)) == 0) return true;
  return false;
}

// The owners the argument names: the one user, or for "*" every user that
// is not an Oracle schema, each once. Empty, after a message, when the user
// is not in the dictionary files.
std::vector<DictUserEntry> ownersToUnload(const char* argument) {
  std::vector<DictUserEntry> owners;
  if (strcmp(argument, "*") != 0) {
    DictUserEntry user;
    if (getORASYSUSER(user, argument)) owners.push_back(user);
    else printf("  USER %s does not exists!\n", argument);
    return owners;
  }
  std::set<uint32_t> seen;
  DictUserEntry user;
  forEachDictRecord(kDictUserFile, parseORASYSUSER, user, [&](const DictUserEntry& u) {
    if (!isOracleSchema(u.name) && seen.insert(u.userId).second) owners.push_back(u);
    return true;
  });
  return owners;
}

struct TableToUnload {
  std::string owner;
  std::string name;
  uint32_t objId = 0;
};

// The tables of the owners, in the order of the object file; a name listed
// twice for one owner (the lookups would find the first anyway) once.
std::vector<TableToUnload> tablesOf(const std::vector<DictUserEntry>& owners) {
  std::vector<TableToUnload> tables;
  DictObjectEntry object;
  forEachDictRecord(kDictObjectFile, parseORASYSOBJ, object, [&](const DictObjectEntry& o) {
    if (o.type != kObjTable || o.subname[0] != 0 || o.name[0] == 0) return true;
    for (const DictUserEntry& u : owners) {
      if (u.userId != o.ownerId) continue;
      for (const TableToUnload& t : tables)
        if (t.owner == u.name && strcasecmp(t.name.c_str(), o.name) == 0) return true;
      tables.push_back({u.name, o.name, o.objId});
    }
    return true;
  });
  return tables;
}

// Creates the directory and the ones above it that are missing. False,
// after a message, when one cannot be created or is not a directory.
bool makeDirectory(const std::string& dir) {
  for (size_t at = dir.find('/', 1);; at = dir.find('/', at + 1)) {
    const std::string part = dir.substr(0, at);
    struct stat s;
    if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
      printf("Cannot create directory %s: %s\n", part.c_str(), strerror(errno));
      return false;
    }
    if (at == std::string::npos) {
      if (stat(part.c_str(), &s) != 0 || !S_ISDIR(s.st_mode)) {
        printf("Cannot create directory %s: %s\n", part.c_str(), strerror(ENOTDIR));
        return false;
      }
      return true;
    }
  }
}

// One manifest line: the fields as RFC 4180 writes them, CR LF at its end.
void writeManifestLine(FILE* out, const std::vector<std::string>& fields) {
  for (size_t i = 0; i < fields.size(); i++) {
    if (i > 0) fputc(',', out);
    writeCsvField(out, ",", 1, fields[i].data(), fields[i].size());
  }
  fputs("\r\n", out);
  fflush(out);  // a session that ends early leaves the lines so far
}

// ok: every row written and every block read; incomplete: written, but
// blocks could not be read and their rows are missing; no segment: the
// dictionary gives the table none, so there is nothing to read (a table
// never filled has none; a damaged TAB$ entry looks the same, and SCAN
// ORPHANS lists data no table owns); failed: not found, or a write failed;
// cancelled: Ctrl-C.
const char* statusOf(const TableUnloadResult& r) {
  if (r.cancelled) return "cancelled";
  if (r.noSegment) return "no segment";
  if (!r.written) return "failed";
  return r.unreadableBlocks != 0 ? "incomplete" : "ok";
}

std::string joined(const std::vector<uint32_t>& ids) {
  std::string s;
  for (uint32_t id : ids) s += (s.empty() ? "" : " ") + std::to_string(id);
  return s;
}

// UNLOAD USER reads whole tables into files of its own naming; the keywords
// that pick a part of one table, or its file, have no meaning here.
bool onlyUserKeywords(const ZUTState& st, const UnloadArgs& a) {
  return a.table[0] == 0 && a.objd == 0 && !a.clusterGiven && a.columnWords == 0 &&
         a.file == 0 && a.block == 0 && a.partition[0] == 0 && a.asName[0] == 0 &&
         !a.truncated && a.like[0] == 0 && st.ctx.rowLimit == kNoRowLimit;
}

}  // namespace

void unloadUser(ZUTState& st, const UnloadArgs& args) {
  if (!onlyUserKeywords(st, args)) {
    fputs("  UNLOAD USER owner|* takes only TO directory, PARALLEL n and EXTENT list; nothing "
          "unloaded.\n",
          stdout);
    st.commandFailed = true;
    return;
  }
  std::string dir = args.fileName[0] != 0 ? args.fileName : ".";
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  // Room for "/<OWNER>.<TABLE>.<obj#>.ext" and the script endings after it.
  if (dir.size() + kMaxOwnerName + kMaxTableName + 32 > kMaxOutputName) {
    printf("  Directory name is longer than %zu characters, refused: %.40s...\n",
           kMaxOutputName - kMaxOwnerName - kMaxTableName - 32, dir.c_str());
    st.commandFailed = true;
    return;
  }
  const std::vector<DictUserEntry> owners = ownersToUnload(args.user);
  if (owners.empty()) {
    if (strcmp(args.user, "*") == 0) fputs("  No user to unload.\n", stdout);
    st.commandFailed = true;
    return;
  }
  const std::vector<TableToUnload> tables = tablesOf(owners);
  if (isSessionInput(st.ctx, dir.c_str())) {
    printf("  %s is an input file of this session; nothing written.\n", dir.c_str());
    st.commandFailed = true;
    return;
  }
  if (!makeDirectory(dir)) {
    st.commandFailed = true;
    return;
  }
  const std::string manifestName = dir + "/manifest.csv";
  OutputRefusal why = kOutputCreated;
  FILE* manifest = createOutputFile(st.ctx, manifestName.c_str(), "w", &why);
  if (manifest == nullptr) {
    if (why != kOutputIsInput)
      printf("Cannot create %s: %s\n", manifestName.c_str(), strerror(errno));
    st.commandFailed = true;
    return;
  }
  writeManifestLine(manifest, {"owner", "table", "data object id", "rows", "unreadable blocks",
                               "warnings", "output file", "elapsed seconds", "status"});

  const char* ext = st.ctx.outputStyle == 1 ? ".dmp" : st.ctx.outputStyle == 2 ? ".csv" : ".txt";
  std::set<std::string> stems;
  size_t done = 0, complete = 0, withoutSegment = 0;
  uint64_t rows = 0;
  bool cancelled = false;
  for (const TableToUnload& t : tables) {
    std::string stem = dir + "/" + fileNamePart(t.owner + "." + t.name);
    if (!stems.insert(stem).second) {
      stem += "." + std::to_string(t.objId);
      stems.insert(stem);
    }
    std::unique_ptr<UnloadArgs> one(new UnloadArgs);
    snprintf(one->table, sizeof one->table, "%s.%s", t.owner.c_str(), t.name.c_str());
    snprintf(one->fileName, sizeof one->fileName, "%s%s", stem.c_str(), ext);
    snprintf(one->fileStem, sizeof one->fileStem, "%s", stem.c_str());
    snprintf(one->extentList, sizeof one->extentList, "%s", args.extentList);
    one->parallel = args.parallel;
    printf("Unload table %s to %s\n", one->table, one->fileName);
    const auto start = std::chrono::steady_clock::now();
    const TableUnloadResult r = unloadNamedTable(st, *one);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    char seconds[32];
    snprintf(seconds, sizeof seconds, "%.3f", elapsed.count());
    writeManifestLine(manifest, {t.owner, t.name, joined(r.dataObjects), std::to_string(r.rows),
                                 std::to_string(r.unreadableBlocks), std::to_string(r.warnings),
                                 std::string(one->fileName + dir.size() + 1), seconds,
                                 statusOf(r)});
    if (r.noSegment) {
      printf("  %s has no segment in the dictionary files; nothing to unload.\n", one->table);
      withoutSegment++;
    } else if (!r.written && !r.cancelled) {
      printf("  %s failed; the next table goes on.\n", one->table);
    }
    done++;
    rows += r.rows;
    if ((r.written && r.unreadableBlocks == 0) || r.noSegment) complete++;
    if (r.cancelled || takeCancel()) {
      cancelled = true;
      break;
    }
  }
  const bool manifestWritten = closeOutputFile(st, manifest, manifestName.c_str());
  if (cancelled || complete != tables.size() || !manifestWritten) st.commandFailed = true;
  if (cancelled)
    printf("Cancelled after %zu of %zu tables; see %s\n", done, tables.size(),
           manifestName.c_str());
  else if (!manifestWritten)
    printf("Unload failed: %s could not be written\n", manifestName.c_str());
  else if (complete != tables.size())
    printf("Unload incomplete: %zu of %zu tables failed or are missing rows; see %s\n",
           tables.size() - complete, tables.size(), manifestName.c_str());
  else if (withoutSegment != 0)
    printf("Sucessfully unload %zu tables, %llu rows (%zu of them without a segment; if one "
           "should hold rows, SCAN ORPHANS finds them); manifest %s\n",
           tables.size(), static_cast<unsigned long long>(rows), withoutSegment,
           manifestName.c_str());
  else
    printf("Sucessfully unload %zu tables, %llu rows; manifest %s\n", tables.size(),
           static_cast<unsigned long long>(rows), manifestName.c_str());
}
