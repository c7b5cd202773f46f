#include "dump/orphan_scan.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>

#include "core/file_name.h"
#include "datafile/block_reader.h"
#include "dict/dict_files.h"
#include "dict/guess_table.h"
#include "format/block_layout.h"
#include "format/data_layout.h"
#include "scan/extent_scan.h"
#include "unload/unload_drivers.h"
#include "values/guess_field.h"

namespace {

// A dictionary table as the matching sees it: only as many types as it has
// columns, so every table of a large dictionary can be held at once.
struct CandidateTable {
  std::string owner;
  std::string table;
  uint16_t columnCount = 0;
  uint16_t lastNotNull = 0;
  std::vector<uint8_t> types;  // guess category by segcol# − 1
};

// Every whole table of the dictionary files with its columns: the object
// file and the column file are each read once.
std::vector<CandidateTable> loadCandidateTables() {
  std::map<uint32_t, std::string> users;
  DictUserEntry user;
  forEachDictRecord(kDictUserFile, parseORASYSUSER, user, [&](const DictUserEntry& u) {
    users.emplace(u.userId, u.name);
    return true;
  });
  std::vector<CandidateTable> tables;
  std::unordered_map<uint32_t, size_t> byObjId;
  DictObjectEntry object;
  forEachDictRecord(kDictObjectFile, parseORASYSOBJ, object, [&](const DictObjectEntry& o) {
    if (o.type != kObjTable || o.subname[0] != 0 || byObjId.count(o.objId) != 0) return true;
    auto u = users.find(o.ownerId);
    CandidateTable t;
    t.owner = u != users.end() ? u->second : std::to_string(o.ownerId);
    t.table = o.name;
    byObjId.emplace(o.objId, tables.size());
    tables.push_back(std::move(t));
    return true;
  });
  DictColumnEntry column;
  forEachDictRecord(kDictColumnFile, parseORASYSCOL, column, [&](const DictColumnEntry& c) {
    auto at = byObjId.find(c.objId);
    if (at == byObjId.end() || c.segColId < 1 || c.segColId > kMaxColumns) return true;
    CandidateTable& t = tables[at->second];
    if (c.segColId > t.types.size()) t.types.resize(c.segColId, kColRaw);
    t.types[c.segColId - 1] = mapGuessType(c.type);
    if (c.segColId > t.columnCount) t.columnCount = c.segColId;
    if (c.nullable != 0 && c.segColId > t.lastNotNull) t.lastNotNull = c.segColId;
    return true;
  });
  return tables;
}

// The best candidates of a sample: score, then matches, then fewer columns,
// then dictionary order; only tables with more than half the sampled
// columns matching, as LOAD TABLE's matching asks.
std::vector<OrphanCandidate> rankCandidates(const ColumnStats& stats,
                                            const std::vector<CandidateTable>& tables) {
  const int n = stats.columnCount < kMaxColumns ? stats.columnCount : kMaxColumns;
  int withValues = 0;
  for (int i = 0; i < n; i++) withValues += stats.count[i] != 0;
  std::vector<OrphanCandidate> ranked;
  for (const CandidateTable& t : tables) {
    if (t.columnCount < n || t.columnCount == 0) continue;
    const GuessScore s = scoreGuessColumns(stats, t.types.data(), t.columnCount, t.lastNotNull);
    if (s.matches < 1 || s.matches <= withValues / 2) continue;
    ranked.push_back({t.owner, t.table, s.matches, t.columnCount, s.score});
  }
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const OrphanCandidate& a, const OrphanCandidate& b) {
                     if (a.score != b.score) return a.score > b.score;
                     if (a.matches != b.matches) return a.matches > b.matches;
                     return a.columns < b.columns;
                   });
  return ranked;
}

bool readWhole(SessionContext& copy, uint16_t file, uint32_t block) {
  return readBlock(copy.fileSet, copy, file, block) == copy.blockSize;
}

// Samples the rows of one orphan over its extents into o (rows, columns,
// types) through the session copy, whose row counter is its own.
void sampleOrphan(SessionContext& copy, FILE* sink, const std::vector<OraExtent>& extents,
                  OrphanObject& o) {
  ColumnStats& stats = *copy.columnStats;
  resetColumnStats(stats);
  stats.objd = o.objd;
  copy.rowsUnloaded = 0;
  copy.rowLimit = kNoRowLimit;
  copy.rowOutputMode = 1;
  bool kindKnown = false;
  for (const OraExtent& e : extents) {
    for (uint64_t b = e.block; b < static_cast<uint64_t>(e.block) + e.blocks; b++) {
      if (copy.rowsUnloaded >= copy.guessSize) break;
      const uint32_t block = static_cast<uint32_t>(b);
      // A block that does not read (past the end of its file: a list line
      // that claims more blocks than there are) ends the extent's sample.
      if (!readWhole(copy, e.file, block)) break;
      if (!kindKnown && getBlockType(copy) == kBlockTypeData && getDataObjectID(copy) == o.objd) {
        o.index = getDataType(copy) == kDataTypeIndex;
        kindKnown = true;
      }
      scanTableRows(sink, copy, o.objd, 0, 0, 0, e.file, block);
    }
  }
  copy.rowOutputMode = 0;
  o.rows = copy.rowsUnloaded;
  o.columns = stats.columnCount;
  const int n = stats.columnCount < kMaxColumns ? stats.columnCount : kMaxColumns;
  for (int i = 0; i < n; i++)
    o.types.push_back(getGuessTypeWord(stats.type[i], stats.firstLength[i]) + 1);
}

std::string joined(const std::vector<std::string>& words, const char* between) {
  std::string s;
  for (size_t i = 0; i < words.size(); i++) s += (i ? between : "") + words[i];
  return s;
}

// A CSV field: quoted when it holds a separator, quote or line break.
std::string csvField(const std::string& v) {
  if (v.find_first_of(",\"\r\n") == std::string::npos) return v;
  std::string q = "\"";
  for (char c : v) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

}  // namespace

OrphanSearch findOrphanObjects(SessionContext& ctx, const char* listPath) {
  OrphanSearch result;
  std::set<uint32_t> current;
  DictTableEntry tab;
  if (!forEachDictRecord(kDictTableFile, parseORASYSTAB, tab, [&](const DictTableEntry& t) {
        if (t.dataObjId != 0) current.insert(t.dataObjId);
        return true;
      })) {
    result.noDictionary = true;
    return result;
  }
  FILE* f = fopen(listPath, "rb");
  if (f == nullptr) {
    result.noExtentList = true;
    return result;
  }
  // The extents of each orphan, in list order.
  std::map<uint32_t, std::vector<OraExtent>> orphans;
  OraExtent e;
  while (readORAEXTENT(f, e))
    if (e.objd != 0 && e.blocks != 0 && current.count(e.objd) == 0) orphans[e.objd].push_back(e);
  fclose(f);
  if (orphans.empty()) return result;

  if (ctx.columnStats == nullptr) allocGuessState(ctx);
  std::unique_ptr<SessionContext> copy(new SessionContext);
  if (ctx.columnStats == nullptr || copyBlock(ctx, *copy) != 0) return result;
  FILE* sink = fopen("/dev/null", "w");
  const std::vector<CandidateTable> tables = loadCandidateTables();
  for (const auto& [objd, extents] : orphans) {
    OrphanObject o;
    o.objd = objd;
    o.extents = static_cast<uint32_t>(extents.size());
    for (const OraExtent& x : extents) o.blocks += x.blocks;
    sampleOrphan(*copy, sink != nullptr ? sink : stdout, extents, o);
    // An index segment's entries are no table's rows.
    if (!o.index) {
      std::vector<OrphanCandidate> ranked = rankCandidates(*ctx.columnStats, tables);
      if (ranked.size() > kOrphanCandidates) ranked.resize(kOrphanCandidates);
      o.candidates = std::move(ranked);
    }
    result.objects.push_back(std::move(o));
  }
  if (sink != nullptr) fclose(sink);
  resetColumnStats(*ctx.columnStats);
  free(copy->blockBuffer);
  std::stable_sort(result.objects.begin(), result.objects.end(),
                   [](const OrphanObject& a, const OrphanObject& b) {
                     if (a.blocks != b.blocks) return a.blocks > b.blocks;
                     return a.objd < b.objd;
                   });
  return result;
}

std::string orphanUnloadCommand(const OrphanObject& o) {
  char objd[16];
  snprintf(objd, sizeof objd, "%u", o.objd);
  if (!o.candidates.empty()) {
    const OrphanCandidate& c = o.candidates[0];
    return "UNLOAD TABLE " + c.owner + "." + c.table + " OBJECT " + objd + " TO " +
           safeFileName(c.table) + "_" + objd + ".txt;";
  }
  char name[40];
  snprintf(name, sizeof name, "OBJD%010uC000.txt", o.objd);
  return std::string("UNLOAD OBJECT ") + objd + " COLUMN " + joined(o.types, " ") + " TO " +
         name + ";";
}

void printOrphanObject(FILE* out, const OrphanObject& o) {
  fprintf(out, "Orphan OBJD=%u%s Blocks=%llu Extents=%u Rows sampled=%llu Columns=%u\n", o.objd,
          o.index ? " (index blocks)" : "", static_cast<unsigned long long>(o.blocks), o.extents,
          static_cast<unsigned long long>(o.rows), o.columns);
  fprintf(out, "  Guessed types: %s\n", o.types.empty() ? "(no rows)" : joined(o.types, " ").c_str());
  for (size_t i = 0; i < o.candidates.size(); i++) {
    const OrphanCandidate& c = o.candidates[i];
    fprintf(out, "  Candidate %zu: %s.%s, Match Count = %d/%u, Score = %d%%\n", i + 1,
            c.owner.c_str(), c.table.c_str(), c.matches, c.columns, c.score);
  }
  if (o.candidates.empty())
    fputs(o.index ? "  No candidate: the blocks hold index entries.\n"
                  : "  No candidate: no table of the dictionary matches the guessed types.\n",
          out);
  fprintf(out, "  %s\n\n", orphanUnloadCommand(o).c_str());
}

void writeOrphanCsv(FILE* out, const std::vector<OrphanObject>& objects) {
  fputs("OBJD,KIND,BLOCKS,EXTENTS,ROWS_SAMPLED,COLUMNS,GUESSED_TYPES,BEST_OWNER,BEST_TABLE,"
        "MATCHES,TABLE_COLUMNS,SCORE,OTHER_CANDIDATES,UNLOAD\n",
        out);
  for (const OrphanObject& o : objects) {
    std::string best = ",,,,";
    std::string others;
    if (!o.candidates.empty()) {
      const OrphanCandidate& c = o.candidates[0];
      best = csvField(c.owner) + "," + csvField(c.table) + "," + std::to_string(c.matches) + "," +
             std::to_string(c.columns) + "," + std::to_string(c.score);
      for (size_t i = 1; i < o.candidates.size(); i++)
        others += (i > 1 ? " " : "") + o.candidates[i].owner + "." + o.candidates[i].table + ":" +
                  std::to_string(o.candidates[i].score);
    }
    fprintf(out, "%u,%s,%llu,%u,%llu,%u,%s,%s,%s,%s\n", o.objd, o.index ? "INDEX" : "TABLE",
            static_cast<unsigned long long>(o.blocks), o.extents,
            static_cast<unsigned long long>(o.rows), o.columns,
            csvField(joined(o.types, " ")).c_str(), best.c_str(), csvField(others).c_str(),
            csvField(orphanUnloadCommand(o)).c_str());
  }
}

bool orphanBestIs(const OrphanObject& o, const char* owner, const char* table) {
  if (o.candidates.empty()) return false;
  const OrphanCandidate& top = o.candidates[0];
  for (const OrphanCandidate& c : o.candidates) {
    if (c.score != top.score || c.matches != top.matches || c.columns != top.columns) break;
    if (strcasecmp(c.owner.c_str(), owner) == 0 && strcasecmp(c.table.c_str(), table) == 0)
      return true;
  }
  return false;
}
