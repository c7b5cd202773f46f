// SCAN ORPHANS: the data objects of the extent list (ZUTDICT/ZUTEXT.TXT)
// that no table entry of the dictionary files carries as its current data
// object id: the old segments of truncated tables (TRUNCATE gives the table
// a new DATAOBJ#, the old blocks keep the old one until their space is
// reused) and the segments of tables dropped with PURGE (their OBJ$, TAB$
// and COL$ rows are gone, the blocks stay).
//
// The current data object ids are those of ZUTTAB.TXT: TAB$ with IND$ and
// the partition tables appended, which is every segment the dictionary
// files describe (ZUTOBJ.TXT does not keep OBJ$.DATAOBJ#; for the tables,
// indexes and partitions the two agree).
//
// Each orphan is sampled like SCAN TABLE does (the SAMPLE machinery, over
// its extents, at most GUESS_SIZE rows) and its guessed column types are
// matched against every table of the dictionary files, LOAD TABLE's
// matching applied to all users' tables at once (scoreGuessColumns).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/session_context.h"

// Candidates kept per orphan, best first.
constexpr size_t kOrphanCandidates = 3;

struct OrphanCandidate {
  std::string owner;
  std::string table;
  int matches = 0;        // sampled columns whose type agrees
  uint16_t columns = 0;   // the table's column count
  int score = 0;          // percent, see scoreGuessColumns
};

struct OrphanObject {
  uint32_t objd = 0;
  uint64_t blocks = 0;
  uint32_t extents = 0;
  uint64_t rows = 0;          // rows sampled
  bool index = false;         // its first block with rows is an index block
  uint16_t columns = 0;       // columns seen in the sample
  std::vector<std::string> types;  // guessed COLUMN words, one per column
  std::vector<OrphanCandidate> candidates;
};

// What the search found, or why it could not look.
struct OrphanSearch {
  bool noExtentList = false;  // the extent list could not be read
  bool noDictionary = false;  // ZUTTAB.TXT could not be read
  std::vector<OrphanObject> objects;  // by blocks descending, then objd
};

// Finds the orphans of the extent list at listPath and samples and matches
// each. Reads through a private copy of the session; the session's row
// counter and output mode are left as they were.
OrphanSearch findOrphanObjects(SessionContext& ctx, const char* listPath);

// The orphan's block of the SCAN ORPHANS listing, ending with a ready-to-run
// UNLOAD command for the best candidate (UNLOAD OBJECT with the guessed
// columns when there is none).
void printOrphanObject(FILE* out, const OrphanObject& o);
// The UNLOAD command of that listing, without the line feed.
std::string orphanUnloadCommand(const OrphanObject& o);
// The CSV of the same facts: a heading line, then one line per orphan.
void writeOrphanCsv(FILE* out, const std::vector<OrphanObject>& objects);

// True when the orphan's best candidates include owner.table (names in any
// case): it has the best score, alone or tied.
bool orphanBestIs(const OrphanObject& o, const char* owner, const char* table);
