#include "tools/builder/dict_files.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>

namespace mkdb {

namespace {

void field(std::string& line, const std::string& value) {
  if (!line.empty()) line += ',';
  line += value;
}

void numberField(std::string& line, uint64_t value) { field(line, std::to_string(value)); }

void optionalField(std::string& line, const std::optional<int32_t>& value) {
  field(line, value ? std::to_string(*value) : std::string());
}

// Every line starts with a number, so field() can put the separator in front
// of each later field.
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

}  // namespace

std::string dictUserLine(const DictUserRow& r, bool trailing) {
  std::string s = std::to_string(r.userId);
  field(s, r.name);
  return finish(s, trailing);
}

std::string dictObjectLine(const DictObjectRow& r, bool trailing) {
  std::string s = std::to_string(r.objId);
  numberField(s, r.ownerId);
  field(s, r.name);
  field(s, r.subname);
  numberField(s, r.type);
  field(s, r.oid);
  return finish(s, trailing);
}

std::string dictTabLine(const DictTabRow& r, bool trailing) {
  std::string s = std::to_string(r.objId);
  field(s, r.dataObjId ? std::to_string(r.dataObjId) : std::string());
  numberField(s, r.tablespace);
  numberField(s, r.file);
  numberField(s, r.block);
  if (r.cluster) numberField(s, *r.cluster);
  return finish(s, trailing);
}

std::string dictColumnLine(const DictColRow& r, bool trailing) {
  std::string s = std::to_string(r.objId);
  numberField(s, r.colId);
  numberField(s, r.segColId);
  field(s, r.name);
  numberField(s, r.type);
  numberField(s, r.length);
  optionalField(s, r.precision);
  optionalField(s, r.scale);
  numberField(s, r.nullable);
  numberField(s, r.intColId);
  numberField(s, r.property);
  field(s, r.charsetId ? std::to_string(r.charsetId) : std::string());
  field(s, r.charsetForm ? std::to_string(r.charsetForm) : std::string());
  return finish(s, trailing);
}

std::string dictColumnTypeLine(const DictColTypeRow& r, bool trailing) {
  std::string s = std::to_string(r.objId);
  numberField(s, r.colId);
  numberField(s, r.intColId);
  field(s, r.toid);
  numberField(s, r.version);
  numberField(s, r.packed);
  field(s, r.synObjId ? std::to_string(r.synObjId) : std::string());
  return finish(s, trailing);
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
  uint32_t ownerId = addDictUser(rows, owner);
  if (objId == 0) objId = nextObjId(rows);
  rows.objects.push_back({objId, ownerId, name, "", 2, ""});
  rows.tabs.push_back({objId, storage.dataObjId, storage.tablespace, storage.file, storage.block,
                       storage.cluster});
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
  uint32_t ownerId = addDictUser(rows, owner);
  if (objId == 0) objId = nextObjId(rows);
  rows.objects.push_back({objId, ownerId, table, partition, type, ""});
  rows.tabs.push_back(
      {objId, storage.dataObjId, storage.tablespace, storage.file, storage.block, std::nullopt});
  return objId;
}

}  // namespace mkdb
