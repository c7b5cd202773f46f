#include "dict/dict_files.h"

#include <strings.h>

#include <cctype>
#include <cstring>
#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/file_name.h"
#include "dict/dict_output.h"

namespace {

// Prepares the cursor for field scanning: checks the line length (line feed
// included) and leaves the terminator out of the fields, so that the last
// field of a line never carries a line feed or carriage return.
bool startFields(FieldScanner& cursor, int minLength) {
  int32_t len = cursor.length;
  if (len < minLength || len > kDictMaxLineLength) return false;
  while (len > 0 && (cursor.text[len - 1] == '\n' || cursor.text[len - 1] == '\r')) len--;
  cursor.length = len;
  cursor.start = cursor.end = 0;
  return true;
}

// The next field as a number: signed decimal from at most its first 20
// characters, 0 when the field is empty or missing; the caller stores it in
// its own width. Returns whether the field has any characters, which a
// required field must.
bool nextNumber(FieldScanner& cursor, int64_t& value) {
  const int n = scanNextField(cursor);
  value = n > 0 ? parseDecimalPrefix(cursor.text + cursor.start, n < 20 ? n : 20) : 0;
  return n > 0;
}

// The next count fields, all required, as numbers into v.
bool requiredNumbers(FieldScanner& cursor, int64_t* v, int count) {
  for (int i = 0; i < count; i++)
    if (!nextNumber(cursor, v[i])) return false;
  return true;
}

// The next field as text into dst (kDictNameSize bytes, NUL-filled, longer
// text cut). An empty or missing field clears an optional dst; a required
// one is left as it was and false returned.
bool nextText(FieldScanner& cursor, char* dst, bool required) {
  int n = scanNextField(cursor);
  if (n <= 0 && required) return false;
  memset(dst, 0, kDictNameSize);
  if (n > kDictNameSize - 1) n = kDictNameSize - 1;
  if (n > 0) memcpy(dst, cursor.text + cursor.start, static_cast<size_t>(n));
  return true;
}

bool sameName(const char* a, const char* b) {
  size_t n = strlen(a);
  return n == strlen(b) && strncasecmp(a, b, n) == 0;
}

void upperCase(std::string& s) {
  for (char& c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
}

bool isNamedType(uint8_t type) {
  return type == 58 || type == 111 || type == 121 || type == 122 || type == 123;
}

uint32_t adtKindOf(const char* typeName) {
  if (strncasecmp(typeName, "XMLTYPE", 7) == 0) return kAdtXmlType;
  if (strncasecmp(typeName, "ANYDATA", 7) == 0) return kAdtAnyData;
  return kAdtOther;
}

enum class ObjectKind { Table, Index };

bool typeInSet(ObjectKind kind, uint8_t type) {
  if (kind == ObjectKind::Table)
    return type == kObjTable || type == kObjTablePartition || type == kObjTableSubpartition;
  return type == kObjIndex || type == kObjIndexPartition || type == kObjIndexSubpartition;
}

int findObjectByName(ObjectKind kind, DictObjectEntry& object, uint32_t ownerId,
                     const char* name, const char* subname) {
  const int found = findDictRecord(kDictObjectFile, parseORASYSOBJ, object, [&](const DictObjectEntry& o) {
    return o.ownerId == ownerId && sameName(o.name, name) && typeInSet(kind, o.type) &&
           sameName(o.subname, subname);
  });
  if (!found) return 0;
  if (subname[0] != 0) {
    // A partition: remember its id and return the whole table or index.
    object.resolvedId = object.objId;
    return getORASYSOBJ(object, ownerId, name, "");
  }
  if (object.resolvedId == 0) object.resolvedId = object.objId;
  return 1;
}

}  // namespace

bool nextDictRecord(FILE* f, char* buf, size_t size, FieldScanner& cursor) {
  size_t len;
  while (readDictLine(f, buf, size, &len)) {
    if (len >= size) continue;  // over-long: ignored whole
    if (buf[0] == 0 || buf[0] == '\n' || buf[0] == '\r') continue;
    cursor.text = buf;
    cursor.length = static_cast<int32_t>(len);
    cursor.start = cursor.end = 0;
    return true;
  }
  return false;
}


FILE* openDictFile(const char* path) {
  // Read-only: lookups never write, and a dictionary on read-only media must
  // still be usable.
  FILE* f = fopen(path, "rb");
  if (f != nullptr) setvbuf(f, nullptr, _IOFBF, 64 * 1024);
  return f;
}

int parseORASYSUSER(DictUserEntry& entry, FieldScanner& cursor) {
  int32_t len = cursor.length;
  while (len > 0 && isspace(static_cast<unsigned char>(cursor.text[len - 1]))) len--;
  if (len < 2 || len > kDictMaxLineLength) return 1;
  cursor.length = len;
  cursor.start = cursor.end = 0;
  int64_t userId;
  if (!nextNumber(cursor, userId)) return 1;
  entry.userId = static_cast<uint32_t>(userId);
  return nextText(cursor, entry.name, true) ? 0 : 1;
}

int parseORASYSOBJ(DictObjectEntry& entry, FieldScanner& cursor) {
  if (!startFields(cursor, 5)) return 1;
  int64_t v;
  if (!nextNumber(cursor, v)) return 1;
  entry.objId = static_cast<uint32_t>(v);
  if (!nextNumber(cursor, v)) return 1;
  entry.ownerId = static_cast<uint32_t>(v);
  if (!nextText(cursor, entry.name, true)) return 1;
  nextText(cursor, entry.subname, false);
  if (!nextNumber(cursor, v)) return 1;
  entry.type = static_cast<uint8_t>(v);
  nextText(cursor, entry.oid, false);
  return 0;
}

int parseORASYSTAB(DictTableEntry& entry, FieldScanner& cursor) {
  if (!startFields(cursor, 5)) return 1;
  int64_t v[6];
  for (int64_t& x : v) nextNumber(cursor, x);
  entry.objId = static_cast<uint32_t>(v[0]);
  entry.dataObjId = static_cast<uint32_t>(v[1]);
  entry.tablespace = static_cast<uint16_t>(v[2]);
  entry.file = static_cast<uint16_t>(v[3]);
  entry.block = static_cast<uint32_t>(v[4]);
  entry.cluster = static_cast<uint8_t>(v[5]);
  return 0;
}

int parseORASYSCOL(DictColumnEntry& entry, FieldScanner& cursor) {
  if (!startFields(cursor, 5)) return 1;
  int64_t ids[3], typeAndLength[2], opt[7];
  if (!requiredNumbers(cursor, ids, 3) || !nextText(cursor, entry.name, true) ||
      !requiredNumbers(cursor, typeAndLength, 2))
    return 1;
  bool given[7];
  for (int i = 0; i < 7; i++) given[i] = nextNumber(cursor, opt[i]);
  entry.objId = static_cast<uint32_t>(ids[0]);
  entry.colId = static_cast<uint16_t>(ids[1]);
  entry.segColId = static_cast<uint16_t>(ids[2]);
  entry.type = static_cast<uint8_t>(typeAndLength[0]);
  entry.length = static_cast<uint16_t>(typeAndLength[1]);
  entry.precision = static_cast<uint16_t>(opt[0]);
  entry.scale = static_cast<int32_t>(opt[1]);
  entry.scaleNull = !given[1];
  entry.nullable = static_cast<uint32_t>(opt[2]);
  entry.intColId = static_cast<uint16_t>(opt[3]);
  entry.property = static_cast<uint32_t>(opt[4]);
  entry.charsetId = static_cast<uint16_t>(opt[5]);
  entry.charsetForm = static_cast<uint32_t>(opt[6]);
  entry.adtKind = kAdtUnresolved;
  memset(entry.typeOwner, 0, sizeof entry.typeOwner);
  memset(entry.typeName, 0, sizeof entry.typeName);
  return 0;
}

int parseORASYSCOLTYPE(DictColumnTypeEntry& entry, FieldScanner& cursor) {
  if (!startFields(cursor, 5)) return 1;
  int64_t ids[3], versionAndPacked[2], synonym;
  if (!requiredNumbers(cursor, ids, 3) || !nextText(cursor, entry.toid, true)) return 1;
  // version# and packed: not kept, but a line without them is damaged.
  if (!requiredNumbers(cursor, versionAndPacked, 2)) return 1;
  nextNumber(cursor, synonym);
  entry.objId = static_cast<uint32_t>(ids[0]);
  entry.colId = static_cast<uint32_t>(ids[1]);
  entry.intColId = static_cast<uint32_t>(ids[2]);
  entry.synObjId = static_cast<uint32_t>(synonym);
  return 0;
}

int parseORASYSRECYCLEBIN(DictRecycleBinEntry& entry, FieldScanner& cursor) {
  if (!startFields(cursor, 5)) return 1;
  int64_t ids[2], rest[2];
  if (!requiredNumbers(cursor, ids, 2) || !nextText(cursor, entry.originalName, true) ||
      !requiredNumbers(cursor, rest, 2))
    return 1;
  entry.objId = static_cast<uint32_t>(ids[0]);
  entry.ownerId = static_cast<uint32_t>(ids[1]);
  entry.operation = static_cast<uint32_t>(rest[0]);
  entry.type = static_cast<uint32_t>(rest[1]);
  return 0;
}

int getORASYSRECYCLEBIN(DictRecycleBinEntry& entry, uint32_t objId) {
  return findDictRecord(kDictRecycleBinFile, parseORASYSRECYCLEBIN, entry,
                        [&](const DictRecycleBinEntry& e) { return e.objId == objId; });
}

bool isRecycleBinName(const char* name) { return strncasecmp(name, "BIN$", 4) == 0; }

int getORASYSUSER(DictUserEntry& user, const char* name) {
  return findDictRecord(kDictUserFile, parseORASYSUSER, user,
                    [&](const DictUserEntry& u) { return sameName(u.name, name); });
}

int getORASYSUSERID(DictUserEntry& user, uint32_t userId) {
  return findDictRecord(kDictUserFile, parseORASYSUSER, user,
                    [&](const DictUserEntry& u) { return u.userId == userId; });
}

int getORASYSOBJID(DictObjectEntry& object, uint32_t objId) {
  return findDictRecord(kDictObjectFile, parseORASYSOBJ, object,
                    [&](const DictObjectEntry& o) { return o.objId == objId; });
}

int getORASYSOBJOID(DictObjectEntry& object, const char* oid) {
  return findDictRecord(kDictObjectFile, parseORASYSOBJ, object,
                    [&](const DictObjectEntry& o) { return sameName(o.oid, oid); });
}

int getORASYSOBJ(DictObjectEntry& object, uint32_t ownerId, const char* name,
                 const char* subname) {
  if (getORASYSTableOBJ(object, ownerId, name, subname)) return 1;
  return getORASYSIndexOBJ(object, ownerId, name, subname);
}

int getORASYSTableOBJ(DictObjectEntry& object, uint32_t ownerId, const char* name,
                      const char* subname) {
  return findObjectByName(ObjectKind::Table, object, ownerId, name, subname ? subname : "");
}

int getORASYSIndexOBJ(DictObjectEntry& object, uint32_t ownerId, const char* name,
                      const char* subname) {
  return findObjectByName(ObjectKind::Index, object, ownerId, name, subname ? subname : "");
}

int getORASYSTAB(DictTableEntry& table, uint32_t objId, const char* path) {
  const int found = findDictRecord(path, parseORASYSTAB, table, [&](const DictTableEntry& t) {
    return t.objId == objId && t.dataObjId != 0;
  });
  if (!found) {
    table.objId = table.dataObjId = 0;
    table.tablespace = table.file = 0;
    table.block = 0;
  }
  return found;
}

int getORASYSCOLTYPE(DictColumnTypeEntry& coltype, uint32_t objId, uint32_t colId,
                     uint32_t intColId) {
  return findDictRecord(kDictColumnTypeFile, parseORASYSCOLTYPE, coltype,
                    [&](const DictColumnTypeEntry& t) {
                      return t.objId == objId && t.colId == colId && t.intColId == intColId;
                    });
}

int getORASYSCOLOIDTYPE(DictColumnEntry& column) {
  resolveColumnTypes(&column, 1);
  return column.adtKind != kAdtUnresolved;
}

// Resolves the named types of a batch of columns: one pass over ZUTTYP.TXT
// for the column type entries, one over ZUTOBJ.TXT for the synonym objects
// and the objects by OID, one over ZUTUSR.TXT for their owners. Within each
// file the first matching line wins, as with the single lookups.
void resolveColumnTypes(DictColumnEntry* columns, size_t count) {
  struct Key {
    uint32_t obj, col, intcol;
    bool operator==(const Key& o) const { return obj == o.obj && col == o.col && intcol == o.intcol; }
  };
  struct KeyHash {
    size_t operator()(const Key& k) const {
      return (static_cast<size_t>(k.obj) * 1000003u) ^ (static_cast<size_t>(k.col) << 20) ^ k.intcol;
    }
  };
  std::unordered_map<Key, DictColumnTypeEntry, KeyHash> types;
  for (size_t i = 0; i < count; i++)
    if (isNamedType(columns[i].type))
      types.emplace(Key{columns[i].objId, columns[i].colId, columns[i].intColId},
                    DictColumnTypeEntry{});
  if (types.empty()) return;

  std::unordered_map<Key, bool, KeyHash> typeFound;
  DictColumnTypeEntry typeEntry;
  size_t left = types.size();
  forEachDictRecord(kDictColumnTypeFile, parseORASYSCOLTYPE, typeEntry, [&](const DictColumnTypeEntry& e) {
    Key k{e.objId, e.colId, e.intColId};
    auto it = types.find(k);
    if (it != types.end() && !typeFound.count(k)) {
      it->second = e;
      typeFound[k] = true;
      left--;
    }
    return left > 0;
  });
  if (typeFound.empty()) return;

  struct Named {
    bool found = false;
    uint32_t ownerId = 0;
    std::string name;
  };
  std::unordered_map<uint32_t, Named> bySynonym;
  std::unordered_map<std::string, Named> byOid;
  for (auto& [k, e] : types) {
    if (!typeFound.count(k)) continue;
    if (e.synObjId != 0) bySynonym.emplace(e.synObjId, Named{});
    std::string oid = e.toid;
    upperCase(oid);
    byOid.emplace(oid, Named{});
  }
  DictObjectEntry objectEntry;
  forEachDictRecord(kDictObjectFile, parseORASYSOBJ, objectEntry, [&](const DictObjectEntry& o) {
    auto s = bySynonym.find(o.objId);
    if (s != bySynonym.end() && !s->second.found) s->second = Named{true, o.ownerId, o.name};
    if (o.oid[0] != 0) {
      std::string oid = o.oid;
      upperCase(oid);
      auto t = byOid.find(oid);
      if (t != byOid.end() && !t->second.found) t->second = Named{true, o.ownerId, o.name};
    }
    return true;
  });

  std::unordered_map<uint32_t, std::string> owners;
  bool anyObject = false;
  for (auto& [id, n] : bySynonym)
    if (n.found) owners.emplace(n.ownerId, ""), anyObject = true;
  for (auto& [oid, n] : byOid)
    if (n.found) owners.emplace(n.ownerId, ""), anyObject = true;
  if (!anyObject) return;
  std::unordered_map<uint32_t, bool> ownerFound;
  DictUserEntry userEntry;
  forEachDictRecord(kDictUserFile, parseORASYSUSER, userEntry, [&](const DictUserEntry& u) {
    auto it = owners.find(u.userId);
    if (it != owners.end() && !ownerFound.count(u.userId)) {
      it->second = u.name;
      ownerFound[u.userId] = true;
    }
    return true;
  });

  for (size_t i = 0; i < count; i++) {
    DictColumnEntry& c = columns[i];
    if (!isNamedType(c.type)) continue;
    Key k{c.objId, c.colId, c.intColId};
    if (!typeFound.count(k)) continue;
    const DictColumnTypeEntry& e = types[k];
    const Named* use = nullptr;
    if (e.synObjId != 0) {
      const Named& s = bySynonym[e.synObjId];
      if (s.found && ownerFound.count(s.ownerId)) use = &s;
    }
    if (use == nullptr) {
      std::string oid = e.toid;
      upperCase(oid);
      const Named& t = byOid[oid];
      if (t.found && ownerFound.count(t.ownerId)) use = &t;
    }
    if (use == nullptr) continue;
    memset(c.typeOwner, 0, sizeof c.typeOwner);
    memset(c.typeName, 0, sizeof c.typeName);
    strncpy(c.typeOwner, owners[use->ownerId].c_str(), kDictNameSize - 1);
    strncpy(c.typeName, use->name.c_str(), kDictNameSize - 1);
    c.adtKind = adtKindOf(c.typeName);
  }
}

void getColumnBucketName(char* path, size_t size, uint32_t objId) {
  snprintf(path, size, ZUT_DICT_DIR "/ZUTCOLMAP%02u.TXT", objId % kColumnBucketCount);
}

bool hashDictColumnMap(const SessionContext& ctx, const char* columnPath) {
  FILE* in = openDictFile(columnPath);
  if (in == nullptr) return true;
  std::vector<std::unique_ptr<DictFileReplacement>> buckets;
  bool ok = true;
  for (int i = 0; i < kColumnBucketCount && ok; i++) {
    char path[64];
    getColumnBucketName(path, sizeof path, static_cast<uint32_t>(i));
    buckets.push_back(std::make_unique<DictFileReplacement>(path));
    ok = buckets.back()->open(ctx);
    if (!ok && buckets.back()->openError() != 0)
      printf("  Write error on %s: %s\n", path, strerror(buckets.back()->openError()));
  }
  if (ok) {
    // Whole lines are copied, however long, so that a long line never turns
    // into pieces that look like lines of their own; the readers ignore it.
    std::string line;
    for (;;) {
      line.clear();
      int c;
      while ((c = getc_unlocked(in)) != EOF) {
        line.push_back(static_cast<char>(c));
        if (c == '\n') break;
      }
      if (line.empty()) break;
      if (line.size() <= 9) continue;
      size_t p = 0;
      while (p < line.size() && line[p] == ',') p++;
      size_t q = p;
      while (q < line.size() && line[q] != ',') q++;
      // The same conversion the column parser applies to obj#, so a line
      // always lands in the bucket its reader opens.
      std::string field = line.substr(p, q - p);
      uint32_t objId = static_cast<uint32_t>(parseDecimalPrefix(field.c_str(), 20));
      fwrite(line.data(), 1, line.size(), buckets[objId % kColumnBucketCount]->stream());
    }
    for (auto& b : buckets) ok = ok && b->close();
    for (auto& b : buckets) ok = ok && b->commit();
  }
  fclose(in);
  return ok;
}

void listUserName(FILE* out) {
  DictUserEntry user;
  unsigned count = 0;
  const bool opened = forEachDictRecord(kDictUserFile, parseORASYSUSER, user, [&](const DictUserEntry& u) {
    fprintf(out, " %-31s", u.name);
    if (++count % 3 == 0) fputc('\n', out);
    return true;
  });
  if (!opened) return;
  if (count % 3 != 0) fputc('\n', out);
  if (count > 0) fputc('\n', out);
}

void listObjectName(FILE* out, DictObjectEntry& object, const char* userName, uint8_t type,
                    int outputStyle) {
  DictUserEntry user;
  if (!getORASYSUSER(user, userName)) {
    printf("User (%s) does not exists.\n", userName);
    return;
  }
  const char* ext = outputStyle == 1 ? "dmp" : outputStyle == 2 ? "csv" : "txt";
  forEachDictRecord(kDictObjectFile, parseORASYSOBJ, object, [&](const DictObjectEntry& o) {
    if (o.ownerId != user.userId || o.type != type) return true;
    if (!typeInSet(ObjectKind::Table, type))
      fprintf(out, "   %s \n", o.name);
    else if (o.subname[0] != 0)
      fprintf(out, " UNLOAD TABLE %s.%s PARTITION %s TO %s_%s.%s;\n", userName, o.name, o.subname,
              safeFileName(o.name).c_str(), safeFileName(o.subname).c_str(), ext);
    else if (DictRecycleBinEntry bin; isRecycleBinName(o.name) &&
                                      getORASYSRECYCLEBIN(bin, o.objId))
      // A dropped table in the recycle bin: its scripts and output take the
      // name it had.
      fprintf(out, " UNLOAD TABLE %s.%s AS %s TO %s.%s;\n", userName, o.name, bin.originalName,
              safeFileName(bin.originalName).c_str(), ext);
    else
      fprintf(out, " UNLOAD TABLE %s.%s TO %s.%s;\n", userName, o.name,
              safeFileName(o.name).c_str(), ext);
    return true;
  });
}

std::vector<DictTableEntry> findPartitionSegments(const DictObjectEntry& table) {
  std::vector<uint32_t> ids;
  DictObjectEntry e;
  forEachDictRecord(kDictObjectFile, parseORASYSOBJ, e, [&](const DictObjectEntry& o) {
    if (o.ownerId == table.ownerId &&
        (o.type == kObjTablePartition || o.type == kObjTableSubpartition) &&
        sameName(o.name, table.name))
      ids.push_back(o.objId);
    return true;
  });
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  std::vector<DictTableEntry> segments;
  for (uint32_t id : ids) {
    DictTableEntry t;
    if (getORASYSTAB(t, id)) segments.push_back(t);
  }
  return segments;
}

bool splitOwnerTable(const char* arg, char* owner, char* table) {
  owner[0] = table[0] = 0;
  const char* dot = strchr(arg, '.');
  if (dot == nullptr) return true;
  const size_t ownerLength = dot - arg;
  const size_t tableLength = strlen(dot + 1);
  if (ownerLength > kMaxOwnerName) {
    printf("  Owner is longer than %zu characters, refused: %.40s...\n", kMaxOwnerName, arg);
    return false;
  }
  if (tableLength > kMaxTableName) {
    printf("  Table name is longer than %zu characters, refused: %.40s...\n", kMaxTableName,
           dot + 1);
    return false;
  }
  memcpy(owner, arg, ownerLength);
  owner[ownerLength] = 0;
  memcpy(table, dot + 1, tableLength + 1);
  return true;
}

bool findTableObject(const char* argument, const char* partition, DictUserEntry& user,
                     DictObjectEntry& object) {
  char owner[kMaxOwnerName + 1], tableName[kMaxTableName + 1];
  if (!splitOwnerTable(argument, owner, tableName)) return false;
  // SQL quoting, as in SCOTT."BIN$...$0", is taken off each part.
  for (char* part : {owner, tableName}) {
    const size_t n = strlen(part);
    if (n >= 2 && part[0] == '"' && part[n - 1] == '"') {
      memmove(part, part + 1, n - 2);
      part[n - 2] = 0;
    }
  }
  if (owner[0] == 0 || tableName[0] == 0) return false;
  if (!getORASYSUSER(user, owner)) {
    printf("  USER %s does not exists!\n", owner);
    return false;
  }
  object.resolvedId = 0;
  if (!getORASYSOBJ(object, user.userId, tableName, partition)) {
    printf("  TABLE %s.%s does not exists!\n", owner, tableName);
    return false;
  }
  return true;
}
