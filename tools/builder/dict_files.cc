#include "tools/builder/dict_files.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>

namespace mkdb {

namespace {

// A number for which 0 stands for "none", written as an empty field.
struct NonZero {
  uint64_t value;
};

std::string fieldText(uint64_t v) { return std::to_string(v); }
std::string fieldText(const std::string& v) { return v; }
std::string fieldText(NonZero v) { return v.value ? std::to_string(v.value) : std::string(); }
// NULL: an empty field.
std::string fieldText(const std::optional<int32_t>& v) { return v ? std::to_string(*v) : std::string(); }

// The fields separated by commas.
template <class... Fields>
std::string joinFields(const Fields&... fields) {
  std::string line;
  bool first = true;
  ((line += first ? "" : ",", line += fieldText(fields), first = false), ...);
  return line;
}

std::string finish(std::string line, bool trailing) {
  if (trailing) line += ',';
  line += '\n';
  return line;
}

bool writeFile(const std::string& path, const std::string& content) {
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = fwrite(content.data(), 1, content.size(), f) == content.size();
  return fclose(f) == 0 && ok;
}

bool sameNameNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++)
    if (toupper(static_cast<unsigned char>(a[i])) != toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

uint32_t nextObjId(const DictionaryRows& rows) {
  uint32_t id = 1000;  // clear of the SYSTEM objects' ids
  for (const DictObjectRow& o : rows.objects)
    if (o.objId >= id) id = o.objId + 1;
  return id;
}

// The OBJ$ row and the TAB$ row of a table or a partition; objId 0 takes the
// next free obj#. Returns the obj#.
uint32_t addStoredObject(DictionaryRows& rows, const std::string& owner, const std::string& name,
                         const std::string& subname, uint32_t type, const DictStorage& storage,
                         std::optional<uint32_t> cluster, uint32_t objId) {
  const uint32_t ownerId = addDictUser(rows, owner);
  if (objId == 0) objId = nextObjId(rows);
  rows.objects.push_back({objId, ownerId, name, subname, type, ""});
  rows.tabs.push_back({objId, storage.dataObjId, storage.tablespace, storage.file, storage.block, cluster});
  return objId;
}

}  // namespace

std::string dictUserLine(const DictUserRow& r, bool trailing) {
  return finish(joinFields(r.userId, r.name), trailing);
}

std::string dictObjectLine(const DictObjectRow& r, bool trailing) {
  return finish(joinFields(r.objId, r.ownerId, r.name, r.subname, r.type, r.oid), trailing);
}

std::string dictTabLine(const DictTabRow& r, bool trailing) {
  std::string s = joinFields(r.objId, NonZero{r.dataObjId}, r.tablespace, r.file, r.block);
  if (r.cluster) s += "," + std::to_string(*r.cluster);
  return finish(s, trailing);
}

std::string dictColumnLine(const DictColRow& r, bool trailing) {
  return finish(joinFields(r.objId, r.colId, r.segColId, r.name, r.type, r.length, r.precision,
                           r.scale, r.nullable, r.intColId, r.property, NonZero{r.charsetId},
                           NonZero{r.charsetForm}),
                trailing);
}

std::string dictColumnTypeLine(const DictColTypeRow& r, bool trailing) {
  return finish(joinFields(r.objId, r.colId, r.intColId, r.toid, r.version, r.packed,
                           NonZero{r.synObjId}),
                trailing);
}

std::string dictUndoLine(const DictUndoRow& r, bool trailing) {
  return finish(joinFields(r.usn, r.file, r.block, r.tablespace, r.status), trailing);
}

bool writeDictionaryFiles(const std::string& dir, const DictionaryRows& rows) {
  mkdir(dir.c_str(), 0777);
  const bool t = rows.trailingSeparator;
  std::string users, objects, tabs, columns, types;
  for (const DictUserRow& r : rows.users) users += dictUserLine(r, t);
  for (const DictObjectRow& r : rows.objects) objects += dictObjectLine(r, t);
  // TAB$ rows first; the IND$ and partition rows are appended after them.
  for (const DictTabRow& r : rows.tabs)
    if (r.cluster) tabs += dictTabLine(r, t);
  for (const DictTabRow& r : rows.tabs)
    if (!r.cluster) tabs += dictTabLine(r, t);
  std::vector<std::string> buckets(100);
  for (const DictColRow& r : rows.columns) {
    std::string line = dictColumnLine(r, t);
    columns += line;
    buckets[r.objId % 100] += line;
  }
  for (const DictColTypeRow& r : rows.columnTypes) types += dictColumnTypeLine(r, t);
  bool ok = writeFile(dir + "/ZUTUSR.TXT", users) && writeFile(dir + "/ZUTOBJ.TXT", objects) &&
            writeFile(dir + "/ZUTTAB.TXT", tabs) && writeFile(dir + "/ZUTCOL.TXT", columns) &&
            writeFile(dir + "/ZUTTYP.TXT", types);
  for (int i = 0; ok && i < 100; i++) {
    char name[32];
    snprintf(name, sizeof name, "/ZUTCOLMAP%02d.TXT", i);
    ok = writeFile(dir + name, buckets[i]);
  }
  if (ok && !rows.undoSegments.empty()) {
    std::string undo;
    for (const DictUndoRow& r : rows.undoSegments) undo += dictUndoLine(r, t);
    ok = writeFile(dir + "/ZUTUNDO.TXT", undo);
  }
  return ok;
}

uint32_t addDictUser(DictionaryRows& rows, const std::string& name) {
  uint32_t id = 0;
  for (const DictUserRow& u : rows.users) {
    if (sameNameNoCase(u.name, name)) return u.userId;
    if (u.userId >= id) id = u.userId + 1;
  }
  rows.users.push_back({id, name});
  return id;
}

uint32_t addDictTable(DictionaryRows& rows, const std::string& owner, const std::string& name,
                      const DictStorage& storage, const std::vector<DictColumnSpec>& columns,
                      uint32_t objId) {
  objId = addStoredObject(rows, owner, name, "", 2, storage, storage.cluster, objId);
  uint32_t seg = 0;
  uint32_t col = 0;
  for (const DictColumnSpec& c : columns) {
    col++;
    DictColRow r;
    r.objId = objId;
    r.colId = col;
    r.segColId = c.stored ? ++seg : 0;
    r.name = c.name;
    r.type = c.type;
    r.length = c.length;
    r.precision = c.precision;
    r.scale = c.scale;
    r.nullable = c.notNull ? 1 : 0;
    r.intColId = col;
    r.charsetId = c.charsetId;
    r.charsetForm = c.charsetForm;
    rows.columns.push_back(r);
  }
  return objId;
}

uint32_t addDictPartition(DictionaryRows& rows, const std::string& owner,
                          const std::string& table, const std::string& partition,
                          const DictStorage& storage, uint32_t type, uint32_t objId) {
  return addStoredObject(rows, owner, table, partition, type, storage, std::nullopt, objId);
}

}  // namespace mkdb
