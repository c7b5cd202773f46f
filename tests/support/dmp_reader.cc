#include "tests/support/dmp_reader.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr size_t kHeaderBytes = 2048;

// A read position over the whole dump. Every read checks the bytes left
// first; the first failure records its message and offset and makes every
// later read fail too.
struct Cursor {
  const unsigned char* data = nullptr;
  size_t size = 0;
  size_t pos = 0;
  std::string error;

  bool failed() const { return !error.empty(); }

  bool fail(const std::string& what) {
    if (error.empty()) error = "offset " + std::to_string(pos) + ": " + what;
    return false;
  }

  bool need(size_t n, const char* what) {
    if (failed()) return false;
    if (size - pos < n) return fail(std::string("truncated in ") + what);
    return true;
  }

  bool byte(uint8_t& v, const char* what) {
    if (!need(1, what)) return false;
    v = data[pos++];
    return true;
  }

  bool little16(uint16_t& v, const char* what) {
    if (!need(2, what)) return false;
    v = static_cast<uint16_t>(data[pos] | data[pos + 1] << 8);
    pos += 2;
    return true;
  }

  bool big16(uint16_t& v, const char* what) {
    if (!need(2, what)) return false;
    v = static_cast<uint16_t>(data[pos] << 8 | data[pos + 1]);
    pos += 2;
    return true;
  }

  bool bytes(std::string& out, size_t n, const char* what) {
    if (!need(n, what)) return false;
    out.assign(reinterpret_cast<const char*>(data + pos), n);
    pos += n;
    return true;
  }

  // Exactly these bytes must follow.
  bool expect(const void* want, size_t n, const char* what) {
    if (!need(n, what)) return false;
    if (memcmp(data + pos, want, n) != 0) return fail(std::string("bad ") + what);
    pos += n;
    return true;
  }

  bool expectText(const char* want, const char* what) { return expect(want, strlen(want), what); }

  bool expectRun(uint8_t value, size_t n, const char* what) {
    if (!need(n, what)) return false;
    for (size_t i = 0; i < n; i++) {
      if (data[pos + i] != value) {
        pos += i;
        return fail(std::string("bad ") + what);
      }
    }
    pos += n;
    return true;
  }

  // The text up to the next line feed, which is consumed but not returned.
  bool line(std::string& out, const char* what) {
    if (failed()) return false;
    const void* end = memchr(data + pos, '\n', size - pos);
    if (end == nullptr) return fail(std::string("no line feed after ") + what);
    const size_t n = static_cast<size_t>(static_cast<const unsigned char*>(end) - (data + pos));
    out.assign(reinterpret_cast<const char*>(data + pos), n);
    pos += n + 1;
    return true;
  }
};

bool startsWith(const std::string& s, const char* prefix) {
  return s.compare(0, strlen(prefix), prefix) == 0;
}

bool readHeader(Cursor& c, DmpFile& out) {
  uint8_t magic = 0;
  if (!c.byte(magic, "header")) return false;
  if (magic != 0x03) return c.fail("not an export dump (first byte is not 03)");
  if (!c.big16(out.charsetId, "header")) return false;
  if (!c.expectText("EXPORT:V08.01.07\n", "version line")) return false;
  if (!c.expectText("U", "user line")) return false;
  std::string name;
  if (!c.line(name, "user name")) return false;
  if (c.pos > kHeaderBytes) return c.fail("user name runs past the header");
  out.userName = name;
  if (!c.expectText("RTABLES\n2048\n0\n28\n0\n", "header lines")) return false;
  uint16_t second = 0, third = 0;
  if (!c.big16(second, "header") || !c.big16(third, "header")) return false;
  if (second != out.charsetId || third != out.charsetId)
    return c.fail("character set ids in the header disagree");
  if (!c.big16(out.ncharCharsetId, "header")) return false;
  static const unsigned char kFlags[] = {0x00, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0B, 0x00};
  if (!c.expect(kFlags, sizeof kFlags, "header flags")) return false;
  if (!c.expectRun(' ', 37, "header blanks")) return false;
  if (!c.bytes(out.exportDate, 24, "export date")) return false;
  if (!c.bytes(out.exportFileName, 9, "export file name")) return false;
  if (c.pos > kHeaderBytes) return c.fail("header longer than 2048 bytes");
  return c.expectRun(0, kHeaderBytes - c.pos, "header padding");
}

// Length-prefixed records up to a line feed.
bool readNlsBlock(Cursor& c, DmpFile& out) {
  for (;;) {
    if (!c.need(1, "NLS block")) return false;
    if (c.data[c.pos] == '\n') {
      c.pos++;
      return true;
    }
    uint16_t n = 0;
    std::string record;
    if (!c.little16(n, "NLS record length") || !c.bytes(record, n, "NLS record")) return false;
    out.nlsRecords.push_back(record);
  }
}

bool readTableLine(Cursor& c, DmpFile& out) {
  std::string line;
  if (!c.line(line, "TABLE line")) return false;
  if (!startsWith(line, "TABLE \"") || line.size() < 8 || line.back() != '"')
    return c.fail("bad TABLE line");
  out.tableName = line.substr(7, line.size() - 8);
  return true;
}

bool readCreateLine(Cursor& c, DmpFile& out) {
  if (!c.line(out.createStatement, "CREATE statement")) return false;
  if (!startsWith(out.createStatement, "CREATE ")) return c.fail("bad CREATE statement");
  return true;
}

// Parses one placeholder at p, which must carry number n.
bool readPlaceholder(const std::string& s, size_t& p, size_t n, DmpBind& bind) {
  struct Form {
    const char* prefix;
    const char* suffix;
    DmpBind bind;
  };
  static const Form kForms[] = {
      {"SYS.XMLTYPE.CREATEXMLFROMBINARY(:", ")", DmpBind::xmlTypeFromBinary},
      {"SYS.XMLTYPE.CREATEXML(:", ")", DmpBind::xmlType},
      {"SYS.ANYDATA.CONVERTRAW(:", ")", DmpBind::anyData},
      {":", "", DmpBind::plain},
  };
  for (const Form& f : kForms) {
    const size_t prefixLength = strlen(f.prefix);
    if (s.compare(p, prefixLength, f.prefix) != 0) continue;
    size_t q = p + prefixLength;
    size_t value = 0, digits = 0;
    while (q < s.size() && s[q] >= '0' && s[q] <= '9' && digits < 9) {
      value = value * 10 + static_cast<size_t>(s[q] - '0');
      q++;
      digits++;
    }
    if (digits == 0 || value != n) return false;
    const size_t suffixLength = strlen(f.suffix);
    if (s.compare(q, suffixLength, f.suffix) != 0) return false;
    p = q + suffixLength;
    bind = f.bind;
    return true;
  }
  return false;
}

bool readInsertLine(Cursor& c, DmpFile& out) {
  const size_t lineStart = c.pos;
  std::string s;
  if (!c.line(s, "INSERT statement")) return false;
  auto bad = [&](const char* what) {
    c.pos = lineStart;
    return c.fail(std::string("bad INSERT statement: ") + what);
  };
  const char* kPrefix = "INSERT INTO \"";
  if (!startsWith(s, kPrefix)) return bad("no INSERT INTO");
  size_t p = strlen(kPrefix);
  const size_t nameEnd = s.find("\" (", p);
  if (nameEnd == std::string::npos) return bad("table name");
  if (s.substr(p, nameEnd - p) != out.tableName) return bad("table differs from TABLE line");
  p = nameEnd + 3;
  if (p < s.size() && s[p] == ')') {
    p++;
  } else {
    for (;;) {
      if (p >= s.size() || s[p] != '"') return bad("column name");
      const size_t close = s.find('"', p + 1);
      if (close == std::string::npos) return bad("column name");
      out.columnNames.push_back(s.substr(p + 1, close - p - 1));
      p = close + 1;
      if (p < s.size() && s[p] == ',') {
        p++;
        continue;
      }
      if (p < s.size() && s[p] == ')') {
        p++;
        break;
      }
      return bad("column list");
    }
  }
  const char* kValues = " VALUES (";
  if (s.compare(p, strlen(kValues), kValues) != 0) return bad("no VALUES");
  p += strlen(kValues);
  for (size_t n = 1; n <= out.columnNames.size(); n++) {
    if (n > 1) {
      if (p >= s.size() || s[p] != ',') return bad("placeholder list");
      p++;
    }
    DmpBind bind = DmpBind::plain;
    if (!readPlaceholder(s, p, n, bind)) return bad("placeholder");
    out.binds.push_back(bind);
  }
  if (p + 1 != s.size() || s[p] != ')') return bad("end of VALUES");
  return true;
}

bool readColumnTypes(Cursor& c, DmpFile& out) {
  uint16_t count = 0;
  if (!c.little16(count, "column count")) return false;
  if (count != out.columnNames.size())
    return c.fail("column count " + std::to_string(count) + " differs from the INSERT's " +
                  std::to_string(out.columnNames.size()));
  for (uint16_t i = 0; i < count; i++) {
    DmpColumnType t;
    if (!c.little16(t.typeCode, "column type") || !c.little16(t.length, "column type"))
      return false;
    if (t.typeCode == 1 || t.typeCode == 9 || t.typeCode == 96) {
      uint8_t zero = 0;
      if (!c.little16(t.charsetId, "column character set") ||
          !c.byte(t.charsetForm, "column character set") ||
          !c.byte(zero, "column character set"))
        return false;
      if (zero != 0) return c.fail("column character set record not closed by 00");
      t.hasCharset = true;
    }
    out.columnTypes.push_back(t);
  }
  return c.expectRun(0, 4, "data begin marker");
}

// The pieces of a long value after its FD FF, through its 00 00.
bool readLongValue(Cursor& c, DmpValue& v) {
  v.isLong = true;
  size_t items = 0;
  for (;;) {
    uint16_t n = 0;
    if (!c.little16(n, "long value")) return false;
    if (n == 0) return true;
    if (n == 0xFFFE) {
      if (items != 0 || v.null) return c.fail("NULL item among the pieces of a long value");
      v.null = true;
      continue;
    }
    if (n == 0xFFFD) return c.fail("long value started inside a long value");
    if (n == 0xFFFF) return c.fail("end marker inside a long value");
    if (v.null) return c.fail("value piece after a NULL long value");
    if (!c.need(n, "long value piece")) return false;
    v.bytes.append(reinterpret_cast<const char*>(c.data + c.pos), n);
    c.pos += n;
    items++;
  }
}

bool readRows(Cursor& c, DmpFile& out) {
  const size_t columns = out.columnTypes.size();
  for (;;) {
    const size_t rowStart = c.pos;
    uint16_t first = 0;
    if (!c.little16(first, "row stream")) return false;
    if (first == 0xFFFF) return c.expectText("\n", "data end marker");
    c.pos = rowStart;
    std::vector<DmpValue> row;
    for (;;) {
      const size_t itemStart = c.pos;
      uint16_t n = 0;
      if (!c.little16(n, "row")) return false;
      if (n == 0) break;
      if (n == 0xFFFF) {
        c.pos = itemStart;
        return c.fail("end marker inside a row");
      }
      DmpValue v;
      if (n == 0xFFFE) {
        v.null = true;
      } else if (n == 0xFFFD) {
        if (!readLongValue(c, v)) return false;
      } else {
        if (!c.bytes(v.bytes, n, "value")) return false;
      }
      if (row.size() == columns) {
        c.pos = itemStart;
        return c.fail("row " + std::to_string(out.rows.size() + 1) + " has more than " +
                      std::to_string(columns) + " columns");
      }
      row.push_back(std::move(v));
    }
    if (row.size() != columns) {
      c.pos = rowStart;
      return c.fail("row " + std::to_string(out.rows.size() + 1) + " has " +
                    std::to_string(row.size()) + " columns, not " + std::to_string(columns));
    }
    out.rows.push_back(std::move(row));
  }
}

bool readTail(Cursor& c) {
  if (!c.expectText("EXIT\nEXIT\n", "tail")) return false;
  if (!c.expectRun(0, kHeaderBytes, "tail padding")) return false;
  if (c.pos != c.size) return c.fail("bytes after the tail");
  return true;
}

}  // namespace

int readDmpBytes(const unsigned char* data, size_t size, DmpFile& out, std::string& error) {
  out = DmpFile{};
  Cursor c;
  c.data = data;
  c.size = data != nullptr ? size : 0;
  const bool ok = readHeader(c, out) && readNlsBlock(c, out) && readTableLine(c, out) &&
                  readCreateLine(c, out) && readInsertLine(c, out) && readColumnTypes(c, out) &&
                  readRows(c, out) && readTail(c);
  error = c.error;
  return ok ? 0 : 1;
}

int readDmpBytes(const std::string& bytes, DmpFile& out, std::string& error) {
  return readDmpBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out,
                      error);
}

int readDmpFile(const std::string& path, DmpFile& out, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    out = DmpFile{};
    error = "cannot open " + path;
    return 1;
  }
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return readDmpBytes(bytes, out, error);
}

DmpValue dmpText(const std::string& bytes) { return DmpValue{false, false, bytes}; }
DmpValue dmpNullValue() { return DmpValue{true, false, {}}; }
DmpValue dmpLongValue(const std::string& bytes) { return DmpValue{false, true, bytes}; }
