#include "dict/column_types.h"

#include <cstdarg>
#include <cstring>
#include <vector>

namespace {

// Column lines are read and resolved in batches, so that a table of any size
// (or a damaged bucket with a huge run of lines for one obj#) needs bounded
// memory.
constexpr size_t kColumnBatch = 4096;
constexpr size_t kColumnLineBufferSize = 8192;

__attribute__((format(printf, 2, 3))) void appendf(std::string& out, const char* fmt, ...) {
  char small[256];
  va_list ap;
  va_start(ap, fmt);
  int n = vsnprintf(small, sizeof small, fmt, ap);
  va_end(ap);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof small) {
    out.append(small, static_cast<size_t>(n));
    return;
  }
  std::vector<char> big(static_cast<size_t>(n) + 1);
  va_start(ap, fmt);
  vsnprintf(big.data(), big.size(), fmt, ap);
  va_end(ap);
  out.append(big.data(), static_cast<size_t>(n));
}

bool isNamedType(uint8_t type) {
  return type == 58 || type == 111 || type == 121 || type == 122 || type == 123;
}

const char* notNullText(const DictColumnEntry& c) { return c.nullable != 0 ? "NOT NULL" : ""; }

int shownLength(const DictColumnEntry& c) {
  return c.charsetForm == 2 ? c.length / 2 : c.length;
}

// Reads the next batch of the table's column lines (file order) and resolves
// their named types. Lines shorter than minLength are passed over.
size_t readColumnBatch(FILE* f, uint32_t objId, int minLength, std::vector<DictColumnEntry>& batch) {
  batch.clear();
  char buf[kColumnLineBufferSize];
  size_t len;
  DictColumnEntry c;
  while (batch.size() < kColumnBatch && readDictLine(f, buf, sizeof buf, &len)) {
    if (len >= sizeof buf) continue;  // over-long: ignored whole
    if (buf[0] == 0 || buf[0] == '\n' || buf[0] == '\r') continue;
    if (len < static_cast<size_t>(minLength)) continue;
    FieldScanner cursor;
    cursor.text = buf;
    cursor.length = static_cast<int32_t>(len);
    if (parseORASYSCOL(c, cursor) != 0 || c.objId != objId) continue;
    batch.push_back(c);
  }
  resolveColumnTypes(batch.data(), batch.size());
  return batch.size();
}

FILE* openColumnBucket(uint32_t objId) {
  char path[64];
  getColumnBucketName(path, sizeof path, objId);
  return openDictFile(path);
}

// The visible column of a named type with no storage of its own, waiting for
// the stored column that carries its data. Scalar columns without storage
// (virtual columns) are never pending: renaming the next stored column after
// them would unload it under a wrong name.
struct PendingColumn {
  bool set = false;
  char name[kDictNameSize] = {};
  uint32_t adtKind = kAdtUnresolved;
  char typeOwner[kDictNameSize] = {};
  char typeName[kDictNameSize] = {};
};

// Returns true when the column is stored (segcol# not 0), after it took over
// a pending visible column.
bool applyPendingRule(PendingColumn& pending, DictColumnEntry& c) {
  if (c.segColId == 0) {
    if (isNamedType(c.type)) {
      pending.set = true;
      memcpy(pending.name, c.name, sizeof pending.name);
      pending.adtKind = c.adtKind;
      memcpy(pending.typeOwner, c.typeOwner, sizeof pending.typeOwner);
      memcpy(pending.typeName, c.typeName, sizeof pending.typeName);
    }
    return false;
  }
  if (pending.set) {
    memcpy(c.name, pending.name, sizeof c.name);
    c.adtKind = pending.adtKind;
    memcpy(c.typeOwner, pending.typeOwner, sizeof c.typeOwner);
    memcpy(c.typeName, pending.typeName, sizeof c.typeName);
    pending = PendingColumn{};
  }
  return true;
}

}  // namespace

void formatDescType(std::string& out, const DictColumnEntry& c, uint32_t tableObjId) {
  const char* n = notNullText(c);
  const bool national = c.charsetForm == 2;
  const int p = c.precision, s = c.scale;
  switch (c.type) {
    case 1:
      appendf(out, national ? "NVARCHAR2(%d) %s\n" : "VARCHAR2(%d) %s\n", shownLength(c), n);
      break;
    case 2:
      if (p == 0) appendf(out, "NUMBER %s\n", n);
      else if (p > 38) {
        if (s == 0) appendf(out, "FLOAT %s\n", n);
        else appendf(out, "NUMBER(*,%d) %s\n", s, n);
      } else if (c.scaleNull) {
        // FLOAT(p): binary precision and no scale. Shown as NUMBER(p) it
        // would round every fraction away when the data is loaded back.
        appendf(out, "FLOAT(%d) %s\n", p, n);
      } else if (s == 0) appendf(out, "NUMBER(%d) %s\n", p, n);
      else appendf(out, "NUMBER(%d,%d) %s\n", p, s, n);
      break;
    case 8: appendf(out, "LONG %s\n", n); break;
    case 9:
      appendf(out, national ? "NCHAR VARYING(%d) %s\n" : "VARCHAR(%d) %s\n", shownLength(c), n);
      break;
    case 12: appendf(out, "DATE %s\n", n); break;
    case 23: appendf(out, "RAW(%d) %s\n", c.length, n); break;
    case 24: appendf(out, "LONG RAW %s\n", n); break;
    case 58: case 111: case 121: case 122: case 123:
      if (c.adtKind != kAdtUnresolved) appendf(out, "%s.%s\n", c.typeOwner, c.typeName);
      else appendf(out, "UNKNOWN_%u\n", c.type);
      break;
    case 69: out += "ROWID\n"; break;
    case 96: appendf(out, national ? "NCHAR(%d) %s\n" : "CHAR(%d) %s\n", shownLength(c), n); break;
    case 100: appendf(out, "BINARY_FLOAT %s\n", n); break;
    case 101: appendf(out, "BINARY_DOUBLE %s\n", n); break;
    case 105: case 106: out += "MLSLABEL\n"; break;
    case 112:
      appendf(out, national ? "NCLOB %s (SYS_IL%010uC%05u$$)\n" : "CLOB %s (SYS_IL%010uC%05u$$)\n", n,
              tableObjId, c.intColId);
      break;
    case 113: appendf(out, "BLOB %s (SYS_IL%010uC%05u$$)\n", n, tableObjId, c.intColId); break;
    case 114: out += "BFILE\n"; break;
    case 115: out += "CFILE\n"; break;
    case 180:
      if (s == 0) appendf(out, "TIMESTAMP %s\n", n);
      else appendf(out, "TIMESTAMP(%d) %s\n", s, n);
      break;
    case 181:
      if (s == 0) appendf(out, "TIMESTAMP WITH TIME ZONE %s\n", n);
      else appendf(out, "TIMESTAMP(%d) WITH TIME ZONE %s\n", s, n);
      break;
    case 182:
      // INTERVAL YEAR TO MONTH; p is the year precision.
      if (p == 0) appendf(out, "INTERVAL YEAR TO MONTH %s\n", n);
      else appendf(out, "INTERVAL YEAR(%d) TO MONTH %s\n", p, n);
      break;
    case 183:
      if (p == 0) appendf(out, "INTERVAL DAY TO SECOND %s\n", n);
      else appendf(out, "INTERVAL DAY(%d) TO SECOND(%d) %s\n", p, s, n);
      break;
    case 208: out += "UROWID\n"; break;
    case 231:
      if (s == 0) appendf(out, "TIMESTAMP WITH LOCAL TIME ZONE %s\n", n);
      else appendf(out, "TIMESTAMP(%d) WITH LOCAL TIME ZONE %s\n", s, n);
      break;
    default: appendf(out, "UNKNOWN_%u\n", c.type); break;
  }
}

void formatCreateClause(std::string& out, const DictColumnEntry& c) {
  const char* n = notNullText(c);
  const bool national = c.charsetForm == 2;
  const int p = c.precision, s = c.scale;
  switch (c.type) {
    case 1:
      appendf(out, national ? " NVARCHAR2(%d) %s " : " VARCHAR2(%d) %s ", shownLength(c), n);
      break;
    case 2:
      if (p == 0) appendf(out, " NUMBER %s ", n);
      else if (p > 38) {
        if (s == 0) appendf(out, " FLOAT %s ", n);
        else appendf(out, " NUMBER(*,%d) %s ", s, n);
      } else if (c.scaleNull) appendf(out, " FLOAT(%d) %s ", p, n);
      else if (s == 0) appendf(out, " NUMBER(%d) %s ", p, n);
      else appendf(out, " NUMBER(%d,%d) %s ", p, s, n);
      break;
    case 8: appendf(out, " LONG %s ", n); break;
    case 9:
      appendf(out, national ? " NCHAR VARYING(%d) %s " : " VARCHAR(%d) %s ", shownLength(c), n);
      break;
    case 12: appendf(out, " DATE %s ", n); break;
    case 23: appendf(out, " RAW(%d) %s ", c.length, n); break;
    case 24: appendf(out, " LONG RAW %s ", n); break;
    case 58: case 111: case 121: case 122: case 123:
      appendf(out, " %s.%s ", c.typeOwner, c.typeName);
      break;
    case 69: out += " ROWID "; break;
    case 96: appendf(out, national ? " NCHAR(%d) %s " : " CHAR(%d) %s ", shownLength(c), n); break;
    case 100: appendf(out, " BINARY_FLOAT %s ", n); break;
    case 101: appendf(out, " BINARY_DOUBLE %s ", n); break;
    case 105: case 106: out += " MLSLABEL "; break;
    case 112: appendf(out, national ? " NCLOB %s " : " CLOB %s ", n); break;
    case 113:
      // XML stored as a BLOB is created as its named type.
      if (c.adtKind != kAdtUnresolved) appendf(out, " %s.%s %s ", c.typeOwner, c.typeName, n);
      else appendf(out, " BLOB %s ", n);
      break;
    case 114: out += " BFILE "; break;
    case 115: out += " CFILE "; break;
    case 180:
      if (s == 0) appendf(out, " TIMESTAMP %s ", n);
      else appendf(out, " TIMESTAMP(%d) %s ", s, n);
      break;
    case 181:
      if (s == 0) appendf(out, " TIMESTAMP WITH TIME ZONE %s ", n);
      else appendf(out, " TIMESTAMP(%d) WITH TIME ZONE %s ", s, n);
      break;
    case 182:
      if (p == 0) appendf(out, " INTERVAL YEAR TO MONTH %s ", n);
      else appendf(out, " INTERVAL YEAR(%d) TO MONTH %s ", p, n);
      break;
    case 183:
      if (p == 0) appendf(out, " INTERVAL DAY TO SECOND %s ", n);
      else appendf(out, " INTERVAL DAY(%d) TO SECOND(%d) %s ", p, s, n);
      break;
    case 208: out += " UROWID "; break;
    case 231:
      if (s == 0) appendf(out, " TIMESTAMP WITH LOCAL TIME ZONE %s ", n);
      else appendf(out, " TIMESTAMP(%d) WITH LOCAL TIME ZONE %s ", s, n);
      break;
    default: appendf(out, " %u ", c.type); break;
  }
}

int getORACOLTYPE(DictColumnEntry& column, const DictObjectEntry& table, const char*,
                  SessionContext& ctx, TableDescriptor& desc) {
  desc.columnCount = 0;
  ctx.columnCount = 0;
  // Positions no column line describes must not keep the types of an
  // earlier table.
  for (int i = 0; i < kMaxColumns; i++) {
    ctx.columnTypes[i] = kColSkip;
    ctx.columnLength[i] = ctx.columnCharsetId[i] = ctx.columnCharsetForm[i] = 0;
  }
  for (TableColumn& t : desc.columns) t = TableColumn{};
  FILE* f = openColumnBucket(table.objId);
  if (f == nullptr) return 1;
  std::vector<DictColumnEntry> batch;
  PendingColumn pending;
  uint16_t highest = 0;
  while (readColumnBatch(f, table.objId, 5, batch) > 0) {
    for (DictColumnEntry& c : batch) {
      if (!applyPendingRule(pending, c)) continue;
      if (c.segColId > kMaxTableColumns) continue;
      const int i = c.segColId - 1;
      TableColumn& t = desc.columns[i];
      memcpy(t.name, c.name, sizeof t.name);
      t.type = c.type;
      t.length = c.length;
      t.charsetId = c.charsetId;
      t.charsetForm = static_cast<uint16_t>(c.charsetForm);
      t.adtKind = c.adtKind;
      memcpy(t.typeOwner, c.typeOwner, sizeof t.typeOwner);
      memcpy(t.typeName, c.typeName, sizeof t.typeName);
      ctx.columnTypes[i] = c.type;
      ctx.columnLength[i] = c.length;
      ctx.columnCharsetId[i] = c.charsetId;
      ctx.columnCharsetForm[i] = static_cast<uint16_t>(c.charsetForm);
      if (c.segColId > highest) highest = c.segColId;
    }
    if (!batch.empty()) column = batch.back();
  }
  fclose(f);
  desc.columnCount = highest;
  ctx.columnCount = highest;
  return 1;
}

int getORASYSCOL(FILE* out, DictColumnEntry& column, uint32_t objId) {
  FILE* f = openColumnBucket(objId);
  if (f == nullptr) return 1;
  fputs("No. SEQ INT Column Name                   Type            \n"
        "--- --- --- ----------------------------- ----------------\n",
        out);
  std::vector<DictColumnEntry> batch;
  std::string text;
  while (readColumnBatch(f, objId, 10, batch) > 0) {
    for (const DictColumnEntry& c : batch) {
      text.clear();
      appendf(text, "%3d %3d %3d %-30s", c.colId, c.segColId, c.intColId, c.name);
      formatDescType(text, c, objId);
      fwrite(text.data(), 1, text.size(), out);
    }
    column = batch.back();
  }
  fclose(f);
  return 1;
}

int getCreateSyntax(std::string& out, DictColumnEntry& column, const DictObjectEntry& table,
                    const char* name, int pretty) {
  std::vector<std::string> slots(kCreateSlots);
  if (FILE* f = openColumnBucket(table.objId)) {
    std::vector<DictColumnEntry> batch;
    PendingColumn pending;
    while (readColumnBatch(f, table.objId, 5, batch) > 0) {
      for (DictColumnEntry& c : batch) {
        if (!applyPendingRule(pending, c) || c.segColId > kCreateSlots) continue;
        std::string& slot = slots[c.segColId - 1];
        slot.clear();
        appendf(slot, " \"%s\" ", c.name);
        formatCreateClause(slot, c);
      }
      column = batch.back();
    }
    fclose(f);
  }
  out.clear();
  appendf(out, "CREATE TABLE \"%s\" (", name != nullptr && name[0] != 0 ? name : table.name);
  if (pretty) out += '\n';
  // Storage order; a position without a column line is left out rather than
  // written as an empty column.
  int last = -1;
  for (int i = 0; i < kCreateSlots; i++)
    if (!slots[i].empty()) last = i;
  for (int i = 0; i <= last; i++) {
    if (slots[i].empty()) continue;
    out += slots[i];
    if (i != last) out += ',';
    if (pretty) out += '\n';
  }
  out += ')';
  return 1;
}
