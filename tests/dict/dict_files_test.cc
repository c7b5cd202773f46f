// Dictionary text files: line parsers, lookups, column buckets and listings.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "dict/dict_files.h"
#include "tests/support/dict_test_util.h"
#include "tools/builder/dict_files.h"

namespace {

using namespace mkdb;

FieldScanner lineCursor(const std::string& line) {
  FieldScanner c;
  c.text = line.c_str();
  c.length = static_cast<int32_t>(line.size());
  return c;
}

int parseUser(DictUserEntry& e, const std::string& line) {
  FieldScanner c = lineCursor(line);
  return parseORASYSUSER(e, c);
}
int parseObject(DictObjectEntry& e, const std::string& line) {
  FieldScanner c = lineCursor(line);
  return parseORASYSOBJ(e, c);
}
int parseTable(DictTableEntry& e, const std::string& line) {
  FieldScanner c = lineCursor(line);
  return parseORASYSTAB(e, c);
}
int parseColumn(DictColumnEntry& e, const std::string& line) {
  FieldScanner c = lineCursor(line);
  return parseORASYSCOL(e, c);
}
int parseColumnType(DictColumnTypeEntry& e, const std::string& line) {
  FieldScanner c = lineCursor(line);
  return parseORASYSCOLTYPE(e, c);
}

TEST(DictParsers, UserLines) {
  DictUserEntry u;
  ASSERT_EQ(0, parseUser(u, "0,SYS,\n"));
  EXPECT_EQ(0u, u.userId);
  EXPECT_STREQ("SYS", u.name);
  ASSERT_EQ(0, parseUser(u, "84,SCOTT \t\r\n"));  // trailing white space stripped
  EXPECT_EQ(84u, u.userId);
  EXPECT_STREQ("SCOTT", u.name);
  EXPECT_EQ(1, parseUser(u, "5\n"));       // one character left after stripping
  EXPECT_EQ(1, parseUser(u, ",SCOTT\n"));  // user# missing
  EXPECT_EQ(1, parseUser(u, "7,\n"));      // name missing
  // 128 characters after stripping are accepted, 129 are not.
  std::string name126(126, 'N');
  ASSERT_EQ(0, parseUser(u, "1," + name126 + "   \n"));
  EXPECT_EQ(63u, strlen(u.name));  // text fields keep 63 characters
  EXPECT_EQ(1, parseUser(u, "1," + name126 + "X\n"));
}

TEST(DictParsers, ObjectLines) {
  DictObjectEntry o;
  ASSERT_EQ(0, parseObject(o, "73181,84,EMP,,2,,\n"));
  EXPECT_EQ(73181u, o.objId);
  EXPECT_EQ(84u, o.ownerId);
  EXPECT_STREQ("EMP", o.name);
  EXPECT_STREQ("", o.subname);
  EXPECT_EQ(2, o.type);
  EXPECT_STREQ("", o.oid);
  // The last field never carries the line end.
  ASSERT_EQ(0, parseObject(o, "500,0,XMLTYPE,,13,00000000000000000000000000020100\r\n"));
  EXPECT_STREQ("00000000000000000000000000020100", o.oid);
  ASSERT_EQ(0, parseObject(o, "9,1,T,P1,258,\n"));
  EXPECT_STREQ("P1", o.subname);
  EXPECT_EQ(2, o.type);  // type# kept in 8 bits
  EXPECT_EQ(1, parseObject(o, "9,1,,,2,\n"));  // name missing
  EXPECT_EQ(1, parseObject(o, "9,1,T,,,\n"));  // type# missing
  EXPECT_EQ(1, parseObject(o, ",1,T,,2\n"));   // obj# missing
  EXPECT_EQ(1, parseObject(o, "9,1\n"));       // too short
  // A numeric field is read from its first 20 characters only.
  ASSERT_EQ(0, parseObject(o, std::string(20, '0') + "77,1,T,,2,\n"));
  EXPECT_EQ(0u, o.objId);
}

TEST(DictParsers, TableLinesTakeDefaults) {
  DictTableEntry t;
  ASSERT_EQ(0, parseTable(t, "73181,73182,4,4,130,0,\n"));
  EXPECT_EQ(73181u, t.objId);
  EXPECT_EQ(73182u, t.dataObjId);
  EXPECT_EQ(4, t.tablespace);
  EXPECT_EQ(4, t.file);
  EXPECT_EQ(130u, t.block);
  EXPECT_EQ(0, t.cluster);
  ASSERT_EQ(0, parseTable(t, "20,,0,1,144\n"));  // appended IND$ row, no segment
  EXPECT_EQ(20u, t.objId);
  EXPECT_EQ(0u, t.dataObjId);
  EXPECT_EQ(144u, t.block);
  EXPECT_EQ(0, t.cluster);
  ASSERT_EQ(0, parseTable(t, ",,,,\n"));
  EXPECT_EQ(0u, t.objId);
  EXPECT_EQ(1, parseTable(t, "1,2\n"));
  EXPECT_EQ(0, parseTable(t, std::string(127, '7') + "\n"));
  EXPECT_EQ(1, parseTable(t, std::string(128, '7') + "\n"));
}

TEST(DictParsers, ColumnLines) {
  DictColumnEntry c;
  strcpy(c.typeName, "stale");
  c.adtKind = kAdtOther;
  ASSERT_EQ(0, parseColumn(c, "73181,2,2,SAL,2,22,10,2,1,2,0,,,\n"));
  EXPECT_EQ(73181u, c.objId);
  EXPECT_EQ(2, c.colId);
  EXPECT_EQ(2, c.segColId);
  EXPECT_STREQ("SAL", c.name);
  EXPECT_EQ(2, c.type);
  EXPECT_EQ(22, c.length);
  EXPECT_EQ(10, c.precision);
  EXPECT_EQ(2, c.scale);
  EXPECT_FALSE(c.scaleNull);
  EXPECT_EQ(1u, c.nullable);
  EXPECT_EQ(2, c.intColId);
  EXPECT_EQ(0u, c.charsetForm);
  EXPECT_EQ(kAdtUnresolved, c.adtKind);  // resolved fields cleared
  EXPECT_STREQ("", c.typeName);
  ASSERT_EQ(0, parseColumn(c, "1,1,1,F,2,22,10,,0,1,0,0,0\n"));
  EXPECT_TRUE(c.scaleNull);
  ASSERT_EQ(0, parseColumn(c, "1,1,1,N,1,40,,-5,0,1,0,2000,2\n"));
  EXPECT_EQ(-5, c.scale);
  EXPECT_EQ(2000, c.charsetId);
  EXPECT_EQ(2u, c.charsetForm);
  ASSERT_EQ(0, parseColumn(c, "1,1,1,A,1,1\n"));  // optional fields may be absent
  EXPECT_EQ(0, c.precision);
  EXPECT_EQ(1, parseColumn(c, "1,1,1,,1,10\n"));    // name empty
  EXPECT_EQ(1, parseColumn(c, "1,1,1,A,1,\n"));     // length empty
  EXPECT_EQ(1, parseColumn(c, "1,1,1,A,1\n"));      // length missing
  EXPECT_EQ(1, parseColumn(c, "1,,1,A,1,10\n"));    // col# empty
}

TEST(DictParsers, ColumnTypeLines) {
  DictColumnTypeEntry t;
  ASSERT_EQ(0, parseColumnType(t, "73300,2,2,00000000000000000000000000020100,1,0,,\n"));
  EXPECT_EQ(73300u, t.objId);
  EXPECT_EQ(2u, t.colId);
  EXPECT_EQ(2u, t.intColId);
  EXPECT_STREQ("00000000000000000000000000020100", t.toid);
  EXPECT_EQ(0u, t.synObjId);
  ASSERT_EQ(0, parseColumnType(t, "1,2,3,AB,1,0,4711\n"));
  EXPECT_EQ(4711u, t.synObjId);
  EXPECT_EQ(1, parseColumnType(t, "1,2,3,AB,1\n"));   // packed missing
  EXPECT_EQ(1, parseColumnType(t, "1,2,3,AB,,0\n"));  // version# empty
  EXPECT_EQ(1, parseColumnType(t, "1,2,3,,1,0\n"));   // TOID empty
}

int parseRecycleBin(DictRecycleBinEntry& e, const std::string& line) {
  FieldScanner c = lineCursor(line);
  return parseORASYSRECYCLEBIN(e, c);
}

TEST(DictParsers, RecycleBinLines) {
  DictRecycleBinEntry b;
  ASSERT_EQ(0, parseRecycleBin(b, "80020,84,DEPT_HIST,0,1,\n"));
  EXPECT_EQ(80020u, b.objId);
  EXPECT_EQ(84u, b.ownerId);
  EXPECT_STREQ("DEPT_HIST", b.originalName);
  EXPECT_EQ(0u, b.operation);
  EXPECT_EQ(1u, b.type);
  for (const char* bad : {"80020,84,,0,1\n", "80020,84,DEPT_HIST,0\n", ",84,X,0,1\n"})
    EXPECT_EQ(1, parseRecycleBin(b, bad)) << bad;
}

// Damaged dictionary output: random bytes, long fields, NULs. No parser may
// leave a text field without its terminator or read past the line.
TEST(DictParsers, HostileLinesNeverOverrunFields) {
  std::mt19937 rng(7);
  const char alphabet[] = "0123456789,,,,,-AZaz \t\r\n\x01\xff";
  for (int i = 0; i < 20000; i++) {
    size_t len = rng() % 200;
    std::string line;
    for (size_t k = 0; k < len; k++)
      line += (rng() % 16 == 0) ? static_cast<char>(rng() % 256)
                                : alphabet[rng() % (sizeof alphabet - 1)];
    DictUserEntry u;
    DictObjectEntry o;
    DictTableEntry t;
    DictColumnEntry c;
    DictColumnTypeEntry y;
    // A heap copy of exactly the line's size lets the sanitizer see any read
    // past its end.
    std::vector<char> exact(line.begin(), line.end());
    auto cursor = [&] {
      FieldScanner s;
      s.text = exact.data();
      s.length = static_cast<int32_t>(exact.size());
      return s;
    };
    DictRecycleBinEntry b;
    FieldScanner s1 = cursor(), s2 = cursor(), s3 = cursor(), s4 = cursor(), s5 = cursor(),
                 s6 = cursor();
    parseORASYSUSER(u, s1);
    parseORASYSOBJ(o, s2);
    parseORASYSTAB(t, s3);
    parseORASYSCOL(c, s4);
    parseORASYSCOLTYPE(y, s5);
    parseORASYSRECYCLEBIN(b, s6);
    ASSERT_LT(strnlen(b.originalName, kDictNameSize), static_cast<size_t>(kDictNameSize));
    ASSERT_LT(strnlen(u.name, kDictNameSize), static_cast<size_t>(kDictNameSize));
    ASSERT_LT(strnlen(o.name, kDictNameSize), static_cast<size_t>(kDictNameSize));
    ASSERT_LT(strnlen(o.subname, kDictNameSize), static_cast<size_t>(kDictNameSize));
    ASSERT_LT(strnlen(o.oid, kDictNameSize), static_cast<size_t>(kDictNameSize));
    ASSERT_LT(strnlen(c.name, kDictNameSize), static_cast<size_t>(kDictNameSize));
    ASSERT_LT(strnlen(y.toid, kDictNameSize), static_cast<size_t>(kDictNameSize));
  }
}

// A small dictionary: SCOTT with tables, a partitioned table, an index, a
// view and a duplicate name.
DictionaryRows scottRows() {
  DictionaryRows r;
  r.users = {{0, "SYS"}, {84, "SCOTT"}, {85, "SCOTTY"}, {90, "SCOTT"}};
  r.objects = {
      {100, 84, "EMP", "", 2, ""},       {101, 84, "EMPLOYEES", "", 2, ""},
      {102, 84, "EMP", "", 2, ""},       {103, 84, "V_EMP", "", 4, ""},
      {104, 84, "PK_EMP", "", 1, ""},    {110, 84, "SALES", "", 2, ""},
      {111, 84, "SALES", "P2023", 19, ""}, {112, 84, "SALES", "SP1", 34, ""},
      {120, 84, "SALES_IX", "", 1, ""},  {121, 84, "SALES_IX", "P2023", 20, ""},
      {130, 85, "EMP", "", 2, ""},       {140, 84, "DEPT", "", 4, ""},
      {141, 84, "DEPT", "", 2, ""},
  };
  r.tabs = {
      {100, 0, 4, 4, 10, 0},          {100, 100, 4, 4, 130, 0},  {100, 999, 4, 4, 999, 0},
      {101, 101, 4, 4, 140, 0},       {110, 0, 4, 0, 0, 0},      {130, 130, 5, 5, 10, 0},
      {111, 111, 4, 4, 200, std::nullopt}, {112, 112, 4, 4, 210, std::nullopt},
      {104, 104, 4, 4, 300, std::nullopt},
  };
  return r;
}

TEST(DictLookups, UserNamesIgnoreCaseNeedEqualLengthAndFirstWins) {
  DictWorkDir w;
  DictUserEntry u;
  EXPECT_EQ(0, getORASYSUSER(u, "SCOTT"));  // no file yet
  ASSERT_TRUE(writeDictionaryFiles("ZUTDICT", scottRows()));
  ASSERT_EQ(1, getORASYSUSER(u, "scott"));
  EXPECT_EQ(84u, u.userId);  // the first of the two SCOTT lines
  EXPECT_STREQ("SCOTT", u.name);
  EXPECT_EQ(0, getORASYSUSER(u, "SCOT"));
  EXPECT_EQ(0, getORASYSUSER(u, "SCOTTX"));
  ASSERT_EQ(1, getORASYSUSER(u, "ScottY"));
  EXPECT_EQ(85u, u.userId);
  ASSERT_EQ(1, getORASYSUSERID(u, 90));
  EXPECT_STREQ("SCOTT", u.name);
  EXPECT_EQ(0, getORASYSUSERID(u, 91));
}

TEST(DictLookups, ObjectNamesByOwnerKindAndCase) {
  DictWorkDir w;
  DictObjectEntry o;
  EXPECT_EQ(0, getORASYSOBJ(o, 84, "EMP", ""));  // no file
  ASSERT_TRUE(writeDictionaryFiles("ZUTDICT", scottRows()));
  o.resolvedId = 0;
  ASSERT_EQ(1, getORASYSOBJ(o, 84, "emp", ""));
  EXPECT_EQ(100u, o.objId);  // first of the two EMP tables
  EXPECT_EQ(100u, o.resolvedId);
  o.resolvedId = 0;
  EXPECT_EQ(0, getORASYSOBJ(o, 84, "EM", ""));
  o.resolvedId = 0;
  EXPECT_EQ(0, getORASYSOBJ(o, 84, "EMPX", ""));
  o.resolvedId = 0;
  ASSERT_EQ(1, getORASYSOBJ(o, 85, "EMP", ""));  // owner decides
  EXPECT_EQ(130u, o.objId);
  o.resolvedId = 0;
  EXPECT_EQ(0, getORASYSOBJ(o, 84, "V_EMP", ""));  // views never match
  o.resolvedId = 0;
  ASSERT_EQ(1, getORASYSOBJ(o, 84, "DEPT", ""));  // the table, not the view before it
  EXPECT_EQ(141u, o.objId);
  o.resolvedId = 0;
  ASSERT_EQ(1, getORASYSOBJ(o, 84, "pk_emp", ""));  // an index when no table has the name
  EXPECT_EQ(104u, o.objId);
  EXPECT_EQ(1, o.type);
  o.resolvedId = 0;
  EXPECT_EQ(0, getORASYSTableOBJ(o, 84, "PK_EMP", ""));
  o.resolvedId = 0;
  EXPECT_EQ(0, getORASYSIndexOBJ(o, 84, "EMP", ""));
  // A resolved id already set is kept.
  o.resolvedId = 7;
  ASSERT_EQ(1, getORASYSOBJ(o, 84, "EMPLOYEES", ""));
  EXPECT_EQ(101u, o.objId);
  EXPECT_EQ(7u, o.resolvedId);
}

TEST(DictLookups, PartitionsResolveToTheTableWithThePartitionId) {
  DictWorkDir w;
  ASSERT_TRUE(writeDictionaryFiles("ZUTDICT", scottRows()));
  DictObjectEntry o;
  o.resolvedId = 0;
  ASSERT_EQ(1, getORASYSOBJ(o, 84, "SALES", "p2023"));
  EXPECT_EQ(110u, o.objId);  // the whole table's entry
  EXPECT_EQ(2, o.type);
  EXPECT_STREQ("", o.subname);
  EXPECT_EQ(111u, o.resolvedId);  // the partition's obj#
  o.resolvedId = 0;
  ASSERT_EQ(1, getORASYSOBJ(o, 84, "SALES", "SP1"));
  EXPECT_EQ(110u, o.objId);
  EXPECT_EQ(112u, o.resolvedId);
  o.resolvedId = 0;
  ASSERT_EQ(1, getORASYSIndexOBJ(o, 84, "SALES_IX", "P2023"));
  EXPECT_EQ(120u, o.objId);
  EXPECT_EQ(121u, o.resolvedId);
  o.resolvedId = 0;
  EXPECT_EQ(0, getORASYSOBJ(o, 84, "SALES", "P2024"));
  o.resolvedId = 0;
  EXPECT_EQ(0, getORASYSOBJ(o, 84, "SALES", "P202"));
  // The partition's segment is found by its own id among the appended rows.
  DictTableEntry t;
  ASSERT_EQ(1, getORASYSTAB(t, 111));
  EXPECT_EQ(200u, t.block);
  EXPECT_EQ(0, t.cluster);
}

TEST(DictLookups, TableEntriesSkipDataObjectZero) {
  DictWorkDir w;
  DictTableEntry t;
  t.objId = 5;
  t.block = 9;
  EXPECT_EQ(0, getORASYSTAB(t, 100));  // no file: not found, numbers cleared
  EXPECT_EQ(0u, t.objId);
  EXPECT_EQ(0u, t.block);
  ASSERT_TRUE(writeDictionaryFiles("ZUTDICT", scottRows()));
  ASSERT_EQ(1, getORASYSTAB(t, 100));
  EXPECT_EQ(100u, t.dataObjId);  // not the dataobj# 0 line before it, nor the later one
  EXPECT_EQ(130u, t.block);
  EXPECT_EQ(4, t.file);
  EXPECT_EQ(0, getORASYSTAB(t, 110));  // only a line without a segment
  EXPECT_EQ(0u, t.objId);
  EXPECT_EQ(0u, t.dataObjId);
  EXPECT_EQ(0u, t.block);
  ASSERT_EQ(1, getORASYSTAB(t, 104));  // an index from the appended IND$ rows
  EXPECT_EQ(300u, t.block);
}

TEST(DictLookups, OverLongLinesAreIgnoredWhole) {
  DictWorkDir w;
  std::string longName(140, 'L');
  // 129 characters with the line feed: rejected, though it names the table.
  std::string line129 = "200,84,BIGTAB,,2," + std::string(111, 'A') + "\n";
  ASSERT_EQ(129u, line129.size());
  std::string line128 = "201,84,BIGTAB,,2," + std::string(110, 'A') + "\n";
  // A line far longer than any buffer whose tail looks like a line of its own.
  std::string tail = "300,84,GHOST,,2,\n";
  std::string huge = "299,84,X" + std::string(3000, 'x') + "," + tail;
  w.write("ZUTOBJ.TXT", "150,84," + longName + ",,2,\n" + line129 + huge + line128);
  w.write("ZUTUSR.TXT", "84,SCOTT,\n");
  DictObjectEntry o;
  o.resolvedId = 0;
  ASSERT_EQ(1, getORASYSOBJ(o, 84, "BIGTAB", ""));
  EXPECT_EQ(201u, o.objId);
  o.resolvedId = 0;
  EXPECT_EQ(0, getORASYSOBJ(o, 84, "GHOST", ""));
  EXPECT_EQ(0, getORASYSOBJID(o, 300));
  EXPECT_EQ(0, getORASYSOBJID(o, 150));
}

TEST(DictLookups, BlankAndDamagedLinesArePassedOver) {
  DictWorkDir w;
  w.write("ZUTOBJ.TXT", std::string("\n\r\n") + std::string("\0,84,EMP,,2,\n", 13) +
                            "x,y\n,84,EMP,,2,\n400,84,EMP,,2,\n");
  DictObjectEntry o;
  o.resolvedId = 0;
  ASSERT_EQ(1, getORASYSOBJ(o, 84, "EMP", ""));
  EXPECT_EQ(400u, o.objId);
}

TEST(DictLookups, ObjectsByIdAndOid) {
  DictWorkDir w;
  w.write("ZUTOBJ.TXT",
          "10,0,FIRST,,13,00AB,\n10,0,SECOND,,13,,\n11,0,XMLTYPE,,13,0000000000000000000000000002"
          "01ab,\n12,0,OTHER,,13,000000000000000000000000000201AB,\n");
  DictObjectEntry o;
  ASSERT_EQ(1, getORASYSOBJID(o, 10));
  EXPECT_STREQ("FIRST", o.name);
  ASSERT_EQ(1, getORASYSOBJOID(o, "000000000000000000000000000201AB"));
  EXPECT_STREQ("XMLTYPE", o.name);  // case-insensitive, first wins
  EXPECT_EQ(0, getORASYSOBJOID(o, "00A"));
  EXPECT_EQ(0, getORASYSOBJID(o, 13));
}

TEST(DictLookups, ColumnTypesMatchAllThreeIds) {
  DictWorkDir w;
  DictColumnTypeEntry t;
  EXPECT_EQ(0, getORASYSCOLTYPE(t, 1, 2, 2));
  w.write("ZUTTYP.TXT", "1,2,3,AA,1,0,\n1,2,2,BB,1,0,\n1,2,2,CC,1,0,\n");
  ASSERT_EQ(1, getORASYSCOLTYPE(t, 1, 2, 2));
  EXPECT_STREQ("BB", t.toid);
  EXPECT_EQ(0, getORASYSCOLTYPE(t, 1, 3, 2));
}

DictColumnEntry namedColumn(uint32_t obj, uint16_t col, uint8_t type) {
  DictColumnEntry c;
  c.objId = obj;
  c.colId = col;
  c.intColId = col;
  c.type = type;
  strcpy(c.name, "DOC");
  return c;
}

TEST(DictLookups, NamedTypesResolveBySynonymOrOid) {
  DictWorkDir w;
  DictColumnEntry c = namedColumn(700, 2, 58);
  EXPECT_EQ(0, getORASYSCOLOIDTYPE(c));  // no files
  EXPECT_EQ(kAdtUnresolved, c.adtKind);
  w.write("ZUTUSR.TXT", "0,SYS,\n84,SCOTT,\n85,APP,\n");
  w.write("ZUTOBJ.TXT",
          "5000,0,XMLTYPE,,13,00000000000000000000000000020100,\n"
          "5001,0,ANYDATA,,13,00000000000000000000000000020011,\n"
          "5002,84,ADDRESS_T,,13,8F1A,\n"
          "5003,85,ADDR_SYN,,5,,\n"
          "5004,99,ORPHAN_T,,13,77,\n");
  w.write("ZUTTYP.TXT",
          "700,2,2,00000000000000000000000000020100,1,0,,\n"
          "700,3,3,00000000000000000000000000020011,1,0,,\n"
          "700,4,4,8f1a,1,0,,\n"
          "700,5,5,8F1A,1,0,5003,\n"   // synonym found: its name and owner
          "700,6,6,8F1A,1,0,6000,\n"   // synonym missing: back to the OID
          "700,7,7,77,1,0,,\n");       // owner missing: unresolved
  ASSERT_EQ(1, getORASYSCOLOIDTYPE(c));
  EXPECT_EQ(kAdtXmlType, c.adtKind);
  EXPECT_STREQ("SYS", c.typeOwner);
  EXPECT_STREQ("XMLTYPE", c.typeName);

  DictColumnEntry cols[] = {namedColumn(700, 3, 58), namedColumn(700, 4, 121),
                            namedColumn(700, 5, 121), namedColumn(700, 6, 122),
                            namedColumn(700, 7, 123), namedColumn(700, 8, 111),
                            namedColumn(700, 4, 2)};
  resolveColumnTypes(cols, 7);
  EXPECT_EQ(kAdtAnyData, cols[0].adtKind);
  EXPECT_EQ(kAdtOther, cols[1].adtKind);
  EXPECT_STREQ("SCOTT.ADDRESS_T", (std::string(cols[1].typeOwner) + "." + cols[1].typeName).c_str());
  EXPECT_STREQ("APP", cols[2].typeOwner);
  EXPECT_STREQ("ADDR_SYN", cols[2].typeName);
  EXPECT_STREQ("ADDRESS_T", cols[3].typeName);
  EXPECT_EQ(kAdtUnresolved, cols[4].adtKind);
  EXPECT_EQ(kAdtUnresolved, cols[5].adtKind);  // no column type entry
  EXPECT_EQ(kAdtUnresolved, cols[6].adtKind);  // NUMBER: not a named type
  // The single lookup agrees with the batch.
  DictColumnEntry single = namedColumn(700, 5, 121);
  ASSERT_EQ(1, getORASYSCOLOIDTYPE(single));
  EXPECT_STREQ("ADDR_SYN", single.typeName);
}

// The bucket split of a session without input files.
bool hashColumns() {
  static const SessionContext kNoInputs;
  return hashDictColumnMap(kNoInputs);
}

TEST(DictBuckets, SplitByObjectModulo100KeepsOrder) {
  DictWorkDir w;
  EXPECT_TRUE(hashColumns());  // no ZUTCOL.TXT: nothing happens
  EXPECT_EQ("", w.read("ZUTCOLMAP05.TXT"));
  DictionaryRows r;
  r.columns = {
      {5, 1, 1, "A", 2, 22, std::nullopt, std::nullopt, 0, 1, 0, 0, 0},
      {105, 1, 1, "B", 1, 10, std::nullopt, std::nullopt, 0, 1, 0, 873, 1},
      {5, 2, 2, "C", 12, 7, std::nullopt, std::nullopt, 1, 2, 0, 0, 0},
      {99, 1, 1, "D", 2, 22, 10, 2, 0, 1, 0, 0, 0},
      {100, 1, 1, "E", 2, 22, std::nullopt, std::nullopt, 0, 1, 0, 0, 0},
  };
  ASSERT_TRUE(writeDictionaryFiles("ZUTDICT", r));
  const std::string fromBuilder05 = w.read("ZUTCOLMAP05.TXT");
  EXPECT_EQ(dictColumnLine(r.columns[0]) + dictColumnLine(r.columns[1]) +
                dictColumnLine(r.columns[2]),
            fromBuilder05);
  // The tool's split of ZUTCOL.TXT gives the same files as the builder's.
  std::string col = w.read("ZUTCOL.TXT");
  w.write("ZUTCOL.TXT", col + "1,2,3\n" + ",,,,,7,1,1,X,1,1\n");
  EXPECT_TRUE(hashColumns());
  EXPECT_EQ(fromBuilder05, w.read("ZUTCOLMAP05.TXT"));  // the 6-character line is dropped
  EXPECT_EQ(dictColumnLine(r.columns[3]), w.read("ZUTCOLMAP99.TXT"));
  EXPECT_EQ(dictColumnLine(r.columns[4]), w.read("ZUTCOLMAP00.TXT"));
  EXPECT_EQ(",,,,,7,1,1,X,1,1\n", w.read("ZUTCOLMAP07.TXT"));  // leading "," skipped
  EXPECT_EQ("", w.read("ZUTCOLMAP42.TXT"));
  char path[64];
  getColumnBucketName(path, sizeof path, 105);
  EXPECT_STREQ("ZUTDICT/ZUTCOLMAP05.TXT", path);
}

TEST(DictBuckets, LongLinesStayWholeInTheirBucket) {
  DictWorkDir w;
  // 600 characters: longer than any line the readers take, and its second
  // half starts like a column line of table 42.
  std::string longLine = "7,1,1," + std::string(300, 'N') + ",42,1,1,Y,1,10," +
                         std::string(280, '9') + "\n";
  w.write("ZUTCOL.TXT", longLine + "8,1,1,Z,1,10,\n");
  EXPECT_TRUE(hashColumns());
  EXPECT_EQ(longLine, w.read("ZUTCOLMAP07.TXT"));
  EXPECT_EQ("", w.read("ZUTCOLMAP42.TXT"));
  EXPECT_EQ("8,1,1,Z,1,10,\n", w.read("ZUTCOLMAP08.TXT"));
}

TEST(DictListings, UserListingLayout) {
  DictWorkDir w;
  EXPECT_EQ("", captureStream([](FILE* f) { listUserName(f); }));  // no file
  w.write("ZUTUSR.TXT", "");
  EXPECT_EQ("", captureStream([](FILE* f) { listUserName(f); }));
  w.write("ZUTUSR.TXT", "0,SYS,\nbad\n5,SYSTEM,\n84,SCOTT,\n");
  char expect3[200];
  snprintf(expect3, sizeof expect3, " %-31s %-31s %-31s\n\n", "SYS", "SYSTEM", "SCOTT");
  EXPECT_EQ(expect3, captureStream([](FILE* f) { listUserName(f); }));
  w.write("ZUTUSR.TXT", "0,SYS,\n5,SYSTEM,\n84,SCOTT,\n85,HR,\n");
  char expect4[200];
  snprintf(expect4, sizeof expect4, " %-31s %-31s %-31s\n %-31s\n\n", "SYS", "SYSTEM", "SCOTT",
           "HR");
  EXPECT_EQ(expect4, captureStream([](FILE* f) { listUserName(f); }));
}

TEST(DictListings, ObjectListingLines) {
  DictWorkDir w;
  ASSERT_TRUE(writeDictionaryFiles("ZUTDICT", scottRows()));
  DictObjectEntry o;
  auto list = [&](uint8_t type, int dmp) {
    return captureStream([&](FILE* f) { listObjectName(f, o, "scott", type, dmp); });
  };
  EXPECT_EQ(" UNLOAD TABLE scott.EMP TO EMP.txt;\n"
            " UNLOAD TABLE scott.EMPLOYEES TO EMPLOYEES.txt;\n"
            " UNLOAD TABLE scott.EMP TO EMP.txt;\n"
            " UNLOAD TABLE scott.SALES TO SALES.txt;\n"
            " UNLOAD TABLE scott.DEPT TO DEPT.txt;\n",
            list(2, 0));
  EXPECT_EQ(" UNLOAD TABLE scott.SALES PARTITION P2023 TO SALES_P2023.txt;\n", list(19, 0));
  EXPECT_EQ(" UNLOAD TABLE scott.SALES PARTITION SP1 TO SALES_SP1.dmp;\n", list(34, 1));
  EXPECT_EQ(" UNLOAD TABLE scott.EMP TO EMP.dmp;\n"
            " UNLOAD TABLE scott.EMPLOYEES TO EMPLOYEES.dmp;\n"
            " UNLOAD TABLE scott.EMP TO EMP.dmp;\n"
            " UNLOAD TABLE scott.SALES TO SALES.dmp;\n"
            " UNLOAD TABLE scott.DEPT TO DEPT.dmp;\n",
            list(2, 1));
  EXPECT_EQ("   V_EMP \n   DEPT \n", list(4, 0));
  EXPECT_EQ("   PK_EMP \n   SALES_IX \n", list(1, 1));
  EXPECT_EQ("", list(8, 0));
  EXPECT_EQ("", captureStream([&](FILE* f) { listObjectName(f, o, "NOBODY", 2, 0); }));
}

}  // namespace
