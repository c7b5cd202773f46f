// The tool's own copy of the data dictionary: comma-separated text files under
// ZUTDICT, one row per line, written from USER$, OBJ$, TAB$ (with IND$ and the
// partition tables appended), COL$ and COLTYPE$. This header holds the entry
// records, the one-line parsers, the lookups and the LIST listings.
//
// Every lookup reads its file from the top and the first matching line wins.
// Lookups return 1 when found and 0 otherwise (a missing file is "not
// found"); parsers return 0 when the line is accepted and 1 when rejected.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/field_scanner.h"
#include "core/session_context.h"

constexpr int kDictNameSize = 64;       // text fields: 63 characters and a NUL
constexpr int kDictMaxLineLength = 128;  // longer lines are ignored whole
constexpr int kColumnBucketCount = 100;
// Longest owner and table names an "owner.table" argument may hold.
constexpr size_t kMaxOwnerName = 63;
constexpr size_t kMaxTableName = 63;

// File names, relative to the working directory.
#define ZUT_DICT_DIR "ZUTDICT"
constexpr const char* kDictUserFile = ZUT_DICT_DIR "/ZUTUSR.TXT";
constexpr const char* kDictObjectFile = ZUT_DICT_DIR "/ZUTOBJ.TXT";
constexpr const char* kDictTableFile = ZUT_DICT_DIR "/ZUTTAB.TXT";
constexpr const char* kDictColumnFile = ZUT_DICT_DIR "/ZUTCOL.TXT";
constexpr const char* kDictColumnTypeFile = ZUT_DICT_DIR "/ZUTTYP.TXT";
// RECYCLEBIN$ rows: obj#, owner#, original name, operation, type#.
constexpr const char* kDictRecycleBinFile = ZUT_DICT_DIR "/ZUTRCB.TXT";

// OBJ$ TYPE# values the lookups and listings use.
enum OraObjectType : uint8_t {
  kObjIndex = 1,
  kObjTable = 2,
  kObjView = 4,
  kObjProcedure = 7,
  kObjFunction = 8,
  kObjPackage = 9,
  kObjTablePartition = 19,
  kObjIndexPartition = 20,
  kObjTableSubpartition = 34,
  kObjIndexSubpartition = 35,
};

// Kinds of named (object) types a column can have, after resolution.
enum AdtKind : uint32_t {
  kAdtUnresolved = 0,
  kAdtXmlType = 1,
  kAdtAnyData = 2,
  kAdtOther = 255,
};

struct DictUserEntry {
  uint32_t userId = 0;
  char name[kDictNameSize] = {};
};

struct DictObjectEntry {
  uint32_t resolvedId = 0;  // set by the name lookups, never read from the file
  uint32_t objId = 0;
  uint32_t ownerId = 0;
  char name[kDictNameSize] = {};
  char subname[kDictNameSize] = {};  // partition or subpartition name
  uint8_t type = 0;                  // OBJ$ TYPE#
  char oid[kDictNameSize] = {};      // hexadecimal text
};

struct DictTableEntry {
  uint32_t objId = 0;
  uint32_t dataObjId = 0;
  uint16_t tablespace = 0;
  uint16_t file = 0;   // relative file number of the segment header
  uint32_t block = 0;  // block of the segment header
  uint8_t cluster = 0; // table number inside its cluster, 0 when not clustered
};

struct DictColumnEntry {
  uint32_t objId = 0;
  uint16_t colId = 0;
  uint16_t segColId = 0;  // position in the stored row; 0 = no storage of its own
  char name[kDictNameSize] = {};
  uint8_t type = 0;
  uint16_t length = 0;
  uint16_t precision = 0;
  int32_t scale = 0;
  uint8_t scaleNull = 0;  // the scale field was empty (FLOAT(p) has no scale)
  uint32_t nullable = 0;  // null$: non-zero means NOT NULL
  uint16_t intColId = 0;
  uint32_t property = 0;
  uint16_t charsetId = 0;
  uint32_t charsetForm = 0;  // 2 = national character set
  // Filled by getORASYSCOLOIDTYPE, never read from the file.
  uint32_t adtKind = kAdtUnresolved;
  char typeOwner[kDictNameSize] = {};
  char typeName[kDictNameSize] = {};
};

struct DictColumnTypeEntry {
  uint32_t objId = 0;
  uint32_t colId = 0;
  uint32_t intColId = 0;
  char toid[kDictNameSize] = {};
  uint32_t synObjId = 0;
};

// A RECYCLEBIN$ row: the object kept under a BIN$ name and what it was.
struct DictRecycleBinEntry {
  uint32_t objId = 0;
  uint32_t ownerId = 0;
  char originalName[kDictNameSize] = {};
  uint32_t operation = 0;  // 0 DROP, 1 TRUNCATE
  uint32_t type = 0;       // 1 TABLE, 2 INDEX, ...
};

// One-line parsers. The cursor's text is the line as read (line feed
// included) and its length the line length; start and end must be 0.
int parseORASYSUSER(DictUserEntry& entry, FieldScanner& cursor);
int parseORASYSOBJ(DictObjectEntry& entry, FieldScanner& cursor);
int parseORASYSTAB(DictTableEntry& entry, FieldScanner& cursor);
int parseORASYSCOL(DictColumnEntry& entry, FieldScanner& cursor);
int parseORASYSCOLTYPE(DictColumnTypeEntry& entry, FieldScanner& cursor);
int parseORASYSRECYCLEBIN(DictRecycleBinEntry& entry, FieldScanner& cursor);

int getORASYSUSER(DictUserEntry& user, const char* name);
int getORASYSUSERID(DictUserEntry& user, uint32_t userId);
int getORASYSOBJID(DictObjectEntry& object, uint32_t objId);
int getORASYSOBJOID(DictObjectEntry& object, const char* oid);
// Table, then index. The caller clears object.resolvedId first; for a
// partition the entry returned is the whole table's (or index's) and
// resolvedId holds the partition's obj#.
int getORASYSOBJ(DictObjectEntry& object, uint32_t ownerId, const char* name, const char* subname);
int getORASYSTableOBJ(DictObjectEntry& object, uint32_t ownerId, const char* name,
                      const char* subname);
int getORASYSIndexOBJ(DictObjectEntry& object, uint32_t ownerId, const char* name,
                      const char* subname);
// First entry with this obj# and a non-zero dataobj#; on failure the entry's
// numbers are cleared. path: the table file to read (the dictionary build
// reads the one it is writing).
int getORASYSTAB(DictTableEntry& table, uint32_t objId, const char* path = kDictTableFile);
// The recycle bin row of obj# (ZUTRCB.TXT); 0 when there is none.
int getORASYSRECYCLEBIN(DictRecycleBinEntry& entry, uint32_t objId);
// True for a recycle bin name: BIN$ at its start (any case).
bool isRecycleBinName(const char* name);
int getORASYSCOLTYPE(DictColumnTypeEntry& coltype, uint32_t objId, uint32_t colId,
                     uint32_t intColId);
// Fills adtKind, typeOwner and typeName of a column of a named type (type#
// 58, 111, 121, 122, 123); other columns are left as they are.
int getORASYSCOLOIDTYPE(DictColumnEntry& column);
// The same for many columns at once: each dictionary file is read at most once
// whatever the number of columns.
void resolveColumnTypes(DictColumnEntry* columns, size_t count);

// Splits ZUTCOL.TXT (or the column file at columnPath) into ZUTCOLMAP00.TXT
// .. ZUTCOLMAP99.TXT by obj# modulo 100. The buckets are written under
// temporary names and replace the old ones only when all of them were
// written whole; false (the old buckets kept) after a message otherwise.
// A missing column file changes nothing and is no failure.
bool hashDictColumnMap(const SessionContext& ctx, const char* columnPath = kDictColumnFile);
// "ZUTDICT/ZUTCOLMAP%02d.TXT" for the bucket of this obj#; size >= 32.
void getColumnBucketName(char* path, size_t size, uint32_t objId);

// LIST USER and LIST <kind> user; the suggested UNLOAD commands name .txt,
// .dmp or .csv files as OUTPUT_STYLE (0, 1, 2) says.
void listUserName(FILE* out);
void listObjectName(FILE* out, DictObjectEntry& object, const char* userName, uint8_t type,
                    int outputStyle);

// Opens a dictionary file for reading with a large stdio buffer; nullptr when
// it does not exist.
FILE* openDictFile(const char* path);

// ---- tables by name ----

// The TAB$ entries of every partition and subpartition of a table that has
// a segment of its own (a TAB$ entry with a dataobj#), in obj# order.
std::vector<DictTableEntry> findPartitionSegments(const DictObjectEntry& table);
// Splits "owner.table" at its first "."; false (with a message) when a part
// is longer than a dictionary name can be. No "." leaves both empty.
bool splitOwnerTable(const char* arg, char* owner, char* table);
// Finds "owner.table" (and the partition, when named) in the dictionary
// files. False when it is not there, after a message saying which part is
// unknown; also false, silently, when the argument names no owner or table.
bool findTableObject(const char* argument, const char* partition, DictUserEntry& user,
                     DictObjectEntry& object);

// ---- the record loop every reader of the dictionary files shares ----

constexpr size_t kDictLineBufferSize = 1024;

// Reads the next line a parser should see: lines that are empty, begin with
// NUL, line feed or carriage return, or do not fit the buffer are passed over.
bool nextDictRecord(FILE* f, char* buf, size_t size, FieldScanner& cursor);

// Calls visit(entry) for every line of a dictionary file that parses, in
// file order, until visit returns false. Returns false when the file cannot
// be opened.
template <class Entry, class Visit>
bool forEachDictRecord(const char* path, int (*parse)(Entry&, FieldScanner&), Entry& entry,
                   Visit visit) {
  FILE* f = openDictFile(path);
  if (f == nullptr) return false;
  char buf[kDictLineBufferSize];
  FieldScanner cursor;
  while (nextDictRecord(f, buf, sizeof buf, cursor))
    if (parse(entry, cursor) == 0 && !visit(entry)) break;
  fclose(f);
  return true;
}

// The first line of a dictionary file that parses and matches: 1 found (entry
// holds it), 0 not.
template <class Entry, class Match>
int findDictRecord(const char* path, int (*parse)(Entry&, FieldScanner&), Entry& entry, Match match) {
  int found = 0;
  forEachDictRecord(path, parse, entry, [&](Entry& e) {
    found = match(e) ? 1 : 0;
    return found == 0;
  });
  return found;
}
