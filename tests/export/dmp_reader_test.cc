// The test dump reader: round trips through the writer's primitives, and
// damaged or cut dumps, which must be rejected with a message, never read
// past their end.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "export/dmp_writer.h"
#include "tests/support/dmp_reader.h"
#include "tests/support/render_util.h"
#include "tests/support/test_util.h"

namespace {

// A column value as a row decoder would hand it to the writer.
struct Source {
  enum Kind { plain, null, longValue, longNull } kind = plain;
  std::string bytes;
  size_t piece = 8132;  // a long value's bytes per printDmpValue call
};

Source plainValue(const std::string& b) { return {Source::plain, b}; }
Source nullValue() { return {Source::null, {}}; }
Source longValue(const std::string& b, size_t piece = 8132) {
  return {Source::longValue, b, piece};
}
Source longNull() { return {Source::longNull, {}}; }

struct Column {
  const char* name;
  uint8_t type;
  uint16_t length;
  uint16_t charsetId;
  uint16_t charsetForm;
  uint8_t bind;
};

struct Table {
  const char* owner;
  const char* name;
  std::vector<Column> columns;
  std::vector<std::vector<Source>> rows;
};

// A byte string from a literal that may hold zero bytes.
template <size_t N>
std::string bin(const char (&s)[N]) {
  return std::string(s, N - 1);
}

const unsigned char* raw(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// Writes a whole dump in the order UNLOAD writes it. Long values are written
// in pieces the way LOB blocks arrive.
void writeDump(FILE* f, const Table& t) {
  printDmpHeader(f, 852, 2000, t.owner);
  printDmpTable(f, t.name);
  printDmpCreate(f, (std::string("CREATE TABLE \"") + t.name + "\" (...)").c_str());
  std::vector<DmpInsertColumn> insert;
  SessionContext ctx;
  ctx.columnCount = static_cast<uint16_t>(t.columns.size());
  for (size_t i = 0; i < t.columns.size(); i++) {
    const Column& c = t.columns[i];
    insert.push_back({c.name, c.type, c.bind});
    ctx.columnTypes[i] = c.type;
    ctx.columnLength[i] = c.length;
    ctx.columnCharsetId[i] = c.charsetId;
    ctx.columnCharsetForm[i] = c.charsetForm;
  }
  printDmpInsert(f, t.name, insert.data(), insert.size());
  printDmpColumnTypes(f, ctx, 852);
  printDmpDataBegin(f);
  for (const auto& row : t.rows) {
    for (const Source& v : row) {
      switch (v.kind) {
        case Source::plain: printDmpValue(f, raw(v.bytes), v.bytes.size()); break;
        case Source::null: printDmpNull(f); break;
        case Source::longValue:
          printDmpChain(f);
          for (size_t p = 0; p < v.bytes.size(); p += v.piece)
            printDmpValue(f, raw(v.bytes) + p, std::min(v.piece, v.bytes.size() - p));
          printDmpRecord(f);
          break;
        case Source::longNull:
          printDmpChain(f);
          printDmpNull(f);
          printDmpRecord(f);
          break;
      }
    }
    printDmpRecord(f);
  }
  printDmpDataEnd(f);
  printDmpTail(f);
}

std::string dumpOf(const Table& t) {
  return captureOutput([&](FILE* f) { writeDump(f, t); });
}

DmpValue expectedValue(const Source& s) {
  switch (s.kind) {
    case Source::plain: return s.bytes.empty() ? dmpNullValue() : dmpText(s.bytes);
    case Source::null: return dmpNullValue();
    case Source::longValue: return dmpLongValue(s.bytes);
    case Source::longNull: break;
  }
  return DmpValue{true, true, {}};
}

// The parse of exactly these bytes, from a heap block of their size so that
// the sanitizer build catches any read past the end.
int parse(const std::string& bytes, size_t n, DmpFile& out, std::string& error) {
  std::vector<unsigned char> exact(bytes.begin(), bytes.begin() + static_cast<long>(n));
  return readDmpBytes(exact.data(), exact.size(), out, error);
}

Table empTable() {
  std::string photo(70000, '\0');
  for (size_t i = 0; i < photo.size(); i++) photo[i] = static_cast<char>(i * 7 + 3);
  const std::string hired = "\x77\xB4\x0C\x11\x01\x01\x01";
  Table t{"SCOTT", "EMP",
          {{"EMPNO", 2, 22, 0, 0, kDmpBindPlain},
           {"ENAME", 1, 10, 0, 0, kDmpBindPlain},
           {"NNAME", 1, 20, 2000, 2, kDmpBindPlain},
           {"HIREDATE", 12, 7, 0, 0, kDmpBindPlain},
           {"NOTES", 8, 0, 0, 0, kDmpBindPlain},
           {"PHOTO", 113, 4000, 0, 0, kDmpBindPlain},
           {"DOC", 112, 4000, 871, 1, kDmpBindXmlType},
           {"PAYLOAD", 113, 4000, 0, 0, kDmpBindAnyData}},
          {}};
  t.rows.push_back({plainValue("\xC2\x4A\x46"), plainValue("SMITH"),
                    plainValue(std::string("\x00S\x00M", 4)), plainValue(hired),
                    longValue("first note", 4), longValue(photo, photo.size()), longNull(),
                    plainValue("\x01\x02")});
  // A NULL in the middle, an empty long value, NULLs up to the row's end.
  t.rows.push_back({plainValue("\xC2\x4B\x64"), nullValue(), plainValue("X"), plainValue(hired),
                    longValue(""), nullValue(), nullValue(), nullValue()});
  // Value bytes that look like markers and line feeds are only data.
  t.rows.push_back({plainValue("\xFF\xFF\x0A"), plainValue(std::string("\xFE\xFF\x00\x00", 4)),
                    plainValue("\xFD\xFF"), plainValue("\n"), longValue(std::string(65535, 'L'), 65535),
                    longValue("x"), longValue("<a/>"), plainValue("")});
  return t;
}

TEST(DmpReader, RoundTripGivesBackTheSourceRows) {
  const Table t = empTable();
  DmpFile d;
  std::string error;
  const std::string bytes = dumpOf(t);
  ASSERT_EQ(0, readDmpBytes(bytes, d, error)) << error;
  EXPECT_EQ("", error);

  EXPECT_EQ(852, d.charsetId);
  EXPECT_EQ(2000, d.ncharCharsetId);
  EXPECT_EQ("SCOTT", d.userName);
  EXPECT_EQ("Tue Mar 22 17:29:25 2005", d.exportDate);
  EXPECT_EQ("korvo.dmp", d.exportFileName);
  ASSERT_EQ(4u, d.nlsRecords.size());
  EXPECT_EQ(100u, d.nlsRecords[0].size());
  EXPECT_EQ(d.nlsRecords[0].substr(0, 54), d.nlsRecords[1].substr(0, 54));
  EXPECT_EQ("+00:00", d.nlsRecords[2]);
  EXPECT_EQ("8.1.6", d.nlsRecords[3]);
  EXPECT_EQ("EMP", d.tableName);
  EXPECT_EQ("CREATE TABLE \"EMP\" (...)", d.createStatement);

  const std::vector<std::string> names = {"EMPNO", "ENAME", "NNAME", "HIREDATE",
                                          "NOTES", "PHOTO", "DOC",   "PAYLOAD"};
  EXPECT_EQ(names, d.columnNames);
  const std::vector<DmpBind> binds = {DmpBind::plain, DmpBind::plain,   DmpBind::plain,
                                      DmpBind::plain, DmpBind::plain,   DmpBind::plain,
                                      DmpBind::xmlType, DmpBind::anyData};
  EXPECT_EQ(binds, d.binds);

  ASSERT_EQ(8u, d.columnTypes.size());
  const uint16_t codes[] = {2, 1, 1, 12, 8, 24, 8, 24};
  const uint16_t lengths[] = {22, 10, 20, 7, 0x4000, 0x4000, 0x4000, 0x4000};
  for (int i = 0; i < 8; i++) {
    EXPECT_EQ(codes[i], d.columnTypes[i].typeCode) << i;
    EXPECT_EQ(lengths[i], d.columnTypes[i].length) << i;
    EXPECT_EQ(i == 1 || i == 2, d.columnTypes[i].hasCharset) << i;
  }
  EXPECT_EQ(852, d.columnTypes[1].charsetId);
  EXPECT_EQ(1, d.columnTypes[1].charsetForm);
  EXPECT_EQ(2000, d.columnTypes[2].charsetId);
  EXPECT_EQ(2, d.columnTypes[2].charsetForm);

  ASSERT_EQ(t.rows.size(), d.rows.size());
  for (size_t r = 0; r < t.rows.size(); r++) {
    ASSERT_EQ(t.rows[r].size(), d.rows[r].size()) << "row " << r;
    for (size_t c = 0; c < t.rows[r].size(); c++)
      EXPECT_EQ(expectedValue(t.rows[r][c]), d.rows[r][c]) << "row " << r << " column " << c;
  }
}

TEST(DmpReader, ReadsAFileWrittenAsUnloadWritesIt) {
  TempDir dir;
  const std::string path = dir.file("zutdata.dmp");
  FILE* f = fopen(path.c_str(), "wb+");
  ASSERT_NE(nullptr, f);
  std::vector<char> buffer(256 * 1024);
  setvbuf(f, buffer.data(), _IOFBF, buffer.size());
  Table t = empTable();
  t.rows.resize(1);
  writeDump(f, t);
  fclose(f);
  DmpFile d;
  std::string error;
  ASSERT_EQ(0, readDmpFile(path, d, error)) << error;
  ASSERT_EQ(1u, d.rows.size());
  EXPECT_EQ(dmpLongValue("first note"), d.rows[0][4]);

  // No rows at all: the end marker right after the data begin marker.
  t.rows.clear();
  ASSERT_EQ(0, readDmpBytes(dumpOf(t), d, error)) << error;
  EXPECT_TRUE(d.rows.empty());
  EXPECT_EQ(8u, d.columnTypes.size());

  EXPECT_EQ(1, readDmpFile(dir.file("missing.dmp"), d, error));
  EXPECT_NE(std::string::npos, error.find("cannot open")) << error;
}

// A two-column table (NUMBER, LONG) whose dump is cut into its parts, so the
// damage tests can change one part.
struct Parts {
  std::string header, statements, types, rows, end;
  std::string whole() const { return header + statements + types + rows + end; }
};

Parts smallDump() {
  Parts p;
  p.header = captureOutput([](FILE* f) { printDmpHeader(f, 31, 2000, "SCOTT"); });
  const DmpInsertColumn cols[] = {{"ID", 2, 0}, {"TXT", 8, 0}};
  p.statements = captureOutput([&](FILE* f) {
    printDmpTable(f, "T");
    printDmpCreate(f, "CREATE TABLE \"T\" (\"ID\" NUMBER, \"TXT\" LONG)");
    printDmpInsert(f, "T", cols, 2);
  });
  p.types = captureOutput([](FILE* f) {
    printDmpColumns(f, 2);
    printDmpDatatype(f, 2, 22, 31, 1);
    printDmpDatatype(f, 8, 0, 31, 1);
    printDmpDataBegin(f);
  });
  p.rows = captureOutput([](FILE* f) {
    const unsigned char one[] = {0xC1, 0x02};
    printDmpValue(f, one, 2);
    printDmpChain(f);
    printDmpValue(f, reinterpret_cast<const unsigned char*>("abc"), 3);
    printDmpValue(f, reinterpret_cast<const unsigned char*>("def"), 3);
    printDmpRecord(f);
    printDmpRecord(f);
    printDmpNull(f);
    printDmpNull(f);
    printDmpRecord(f);
  });
  p.end = captureOutput([](FILE* f) {
    printDmpDataEnd(f);
    printDmpTail(f);
  });
  return p;
}

void expectRejected(const std::string& bytes, const char* message) {
  DmpFile d;
  std::string error;
  EXPECT_EQ(1, parse(bytes, bytes.size(), d, error)) << message;
  EXPECT_NE(std::string::npos, error.find(message)) << "got: " << error;
}

TEST(DmpReader, SmallDumpReadsBack) {
  const Parts p = smallDump();
  DmpFile d;
  std::string error;
  ASSERT_EQ(0, parse(p.whole(), p.whole().size(), d, error)) << error;
  ASSERT_EQ(2u, d.rows.size());
  EXPECT_EQ(dmpText("\xC1\x02"), d.rows[0][0]);
  EXPECT_EQ(dmpLongValue("abcdef"), d.rows[0][1]);
  EXPECT_EQ(dmpNullValue(), d.rows[1][0]);
  EXPECT_EQ(dmpNullValue(), d.rows[1][1]);
}

TEST(DmpReader, DamagedHeaderAndStatementsAreRejected) {
  const Parts p = smallDump();
  auto withHeaderByte = [&](size_t at, char c) {
    std::string h = p.header;
    h[at] = c;
    return h + p.statements + p.types + p.rows + p.end;
  };
  expectRejected(withHeaderByte(0, 0x04), "not an export dump");
  expectRejected(withHeaderByte(12, '9'), "bad version line");
  expectRejected(withHeaderByte(48, 0x20), "disagree");
  expectRejected(withHeaderByte(2000, 0x01), "bad header padding");
  expectRejected(withHeaderByte(2049, static_cast<char>(0xFF)), "truncated in NLS record");
  expectRejected(withHeaderByte(2267, 0x00), "truncated in NLS record");
  // A user name with no line feed inside the header.
  expectRejected(bin("\x03\x00\x1F") + "EXPORT:V08.01.07\nU" + std::string(2100, 'N') + "\n" +
                     p.header.substr(26) + p.statements,
                 "user name runs past");

  auto withStatements = [&](const std::string& s) {
    return p.header + s + p.types + p.rows + p.end;
  };
  const std::string create = "CREATE TABLE \"T\" (\"ID\" NUMBER, \"TXT\" LONG)\n";
  expectRejected(withStatements("TABLE T\n" + create), "bad TABLE line");
  expectRejected(withStatements("TABLE \"T\"\nDROP TABLE \"T\"\n"), "bad CREATE statement");
  const std::string table = "TABLE \"T\"\n" + create;
  expectRejected(withStatements(table + "INSERT INTO \"U\" (\"ID\",\"TXT\") VALUES (:1,:2)\n"),
                 "table differs");
  expectRejected(withStatements(table + "INSERT INTO \"T\" (\"ID\",\"TXT\") VALUES (:1,:3)\n"),
                 "placeholder");
  expectRejected(withStatements(table + "INSERT INTO \"T\" (\"ID\",\"TXT) VALUES (:1,:2)\n"),
                 "bad INSERT statement");
  expectRejected(withStatements(table + "INSERT INTO \"T\" (\"ID\",\"TXT\") VALUES (:1,:2))\n"),
                 "end of VALUES");
  expectRejected(p.header + table + "INSERT INTO \"T\" (\"ID\",\"TXT\") VALUES (:1,:2)",
                 "no line feed after INSERT");
  // Three names where the type list has two columns.
  expectRejected(
      withStatements(table + "INSERT INTO \"T\" (\"ID\",\"TXT\",\"X\") VALUES (:1,:2,:3)\n"),
      "column count 2 differs");
}

TEST(DmpReader, DamagedTypesAndRowsAreRejected) {
  const Parts p = smallDump();
  const std::string head = p.header + p.statements;
  auto withTypes = [&](const std::string& t) { return head + t + p.rows + p.end; };
  const std::string number = std::string("\x02\x00\x16\x00", 4);
  const std::string dataBegin(4, '\0');
  const std::string twoColumns = std::string("\x02\x00", 2);
  expectRejected(withTypes(twoColumns + number + std::string("\x01\x00\x0A\x00\x1F\x00\x01\x07", 8) +
                           dataBegin),
                 "not closed by 00");
  expectRejected(withTypes(twoColumns + number + std::string("\x08\x00\x00\x40", 4) + "\x01" +
                           std::string(3, '\0')),
                 "data begin marker");

  auto withRows = [&](const std::string& r) { return head + p.types + r + p.end; };
  const std::string id = std::string("\x02\x00\xC1\x02", 4);
  const std::string endRow(2, '\0');
  expectRejected(withRows(id + endRow), "row 1 has 1 columns, not 2");
  expectRejected(withRows(id + id + id + endRow), "row 1 has more than 2 columns");
  expectRejected(withRows(id + "\xFF\xFF\x0A"), "end marker inside a row");
  expectRejected(withRows(id + "\xFD\xFF\xFD\xFF"), "long value started inside a long value");
  expectRejected(withRows(id + bin("\xFD\xFF\x01\x00x\xFE\xFF") + endRow + endRow),
                 "NULL item among the pieces");
  expectRejected(withRows(id + bin("\xFD\xFF\xFE\xFF\x01\x00x") + endRow + endRow),
                 "value piece after a NULL long value");
  // A piece length past its bytes swallows the row end; the end marker then
  // falls inside the row.
  expectRejected(withRows(id + bin("\xFD\xFF\x03\x00x") + endRow + endRow),
                 "end marker inside a row");
  expectRejected(head + p.types + id + std::string("\xF0\x00", 2) + "ab", "truncated in value");
  expectRejected(head + p.types + p.rows + "\xFF\xFF\x0B" + p.end.substr(3),
                 "bad data end marker");
  expectRejected(p.whole() + '\0', "bytes after the tail");
  std::string tail = p.whole();
  tail[tail.size() - 100] = 1;
  expectRejected(tail, "bad tail padding");
  expectRejected(head + p.types + p.rows + p.end.substr(0, 3) + "EXIT\n", "tail");
}

TEST(DmpReader, EveryCutOfADumpIsRejected) {
  const std::string whole = smallDump().whole();
  for (size_t n = 0; n < whole.size(); n++) {
    DmpFile d;
    std::string error;
    ASSERT_EQ(1, parse(whole, n, d, error)) << "cut at " << n;
    ASSERT_FALSE(error.empty()) << "cut at " << n;
  }
  DmpFile d;
  std::string error;
  EXPECT_EQ(1, readDmpBytes(nullptr, 100, d, error));
  EXPECT_FALSE(error.empty());
}

TEST(DmpReader, FlippedBytesNeverCrashAndFixedHeaderBytesAreChecked) {
  const std::string whole = smallDump().whole();
  const auto isFreeText = [](size_t i) {
    return (i >= 21 && i <= 25) || i == 51 || i == 52 || (i >= 103 && i < 136);
  };
  size_t rejected = 0, accepted = 0;
  for (size_t i = 0; i < whole.size(); i++) {
    for (unsigned char mask : {0x01, 0x80, 0xFF}) {
      std::string bytes = whole;
      bytes[i] = static_cast<char>(bytes[i] ^ mask);
      DmpFile d;
      std::string error;
      const int rc = parse(bytes, bytes.size(), d, error);
      ASSERT_EQ(rc == 0, error.empty()) << "flip at " << i;
      if (i < 2048 && !isFreeText(i)) {
        ASSERT_EQ(1, rc) << "flip at " << i;
      }
      (rc == 0 ? accepted : rejected)++;
    }
  }
  // Flips inside value bytes and free texts still read; most others do not.
  EXPECT_GT(accepted, 0u);
  EXPECT_GT(rejected, accepted);
}

TEST(DmpReader, RandomRowStreamsAndGarbageAreRejected) {
  const Parts p = smallDump();
  const std::string head = p.header + p.statements + p.types;
  std::mt19937 random(20240611);
  for (int round = 0; round < 500; round++) {
    std::string noise(random() % 400, '\0');
    for (char& c : noise) {
      // Mostly marker-like bytes, so the row parser's branches are all taken.
      const unsigned pick = random() % 8;
      c = static_cast<char>(pick < 3 ? 0xFF - pick : pick < 5 ? 0 : random() % 256);
    }
    DmpFile d;
    std::string error;
    const std::string bytes = head + noise;
    ASSERT_EQ(1, parse(bytes, bytes.size(), d, error)) << "round " << round;
    const std::string garbage = noise + head;
    ASSERT_EQ(1, parse(garbage, garbage.size(), d, error)) << "round " << round;
  }
}

}  // namespace
