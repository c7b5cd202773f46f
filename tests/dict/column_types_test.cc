// Column types of a table: DESC text and CREATE TABLE clause of every type,
// the hidden-column rule, storage order, and the statement's two forms.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "dict/column_types.h"
#include "tests/support/dict_test_util.h"
#include "tools/builder/dict_files.h"

namespace {

using namespace mkdb;

struct TypeRow {
  const char* what;
  DictColumnSpec column;
  const char* desc;    // DESC text, after the name
  const char* create;  // CREATE clause, after the quoted name
};

DictColumnSpec col(const char* name, uint32_t type, uint32_t length,
                   std::optional<int32_t> p = std::nullopt, std::optional<int32_t> s = std::nullopt,
                   bool notNull = false, uint32_t form = 1) {
  DictColumnSpec c;
  c.name = name;
  c.type = type;
  c.length = length;
  c.precision = p;
  c.scale = s;
  c.notNull = notNull;
  c.charsetForm = form;
  c.charsetId = form == 2 ? 2000 : 873;
  return c;
}

constexpr uint32_t kTableObj = 4242;

// Every row of the type table. The table's obj# is 4242 and col# = intcol#
// = position in this list, which the LOB index names show.
const TypeRow kTypeRows[] = {
    {"VARCHAR2", col("C1", 1, 30), "VARCHAR2(30) \n", " VARCHAR2(30)  "},
    {"NVARCHAR2", col("C2", 1, 40, {}, {}, true, 2), "NVARCHAR2(20) NOT NULL\n",
     " NVARCHAR2(20) NOT NULL "},
    {"NUMBER", col("C3", 2, 22), "NUMBER \n", " NUMBER  "},
    {"NUMBER(p)", col("C4", 2, 22, 10, 0, true), "NUMBER(10) NOT NULL\n", " NUMBER(10) NOT NULL "},
    {"NUMBER(p,s)", col("C5", 2, 22, 10, 2), "NUMBER(10,2) \n", " NUMBER(10,2)  "},
    {"FLOAT", col("C6", 2, 22, 126, 0), "FLOAT \n", " FLOAT  "},
    {"FLOAT no scale", col("C7", 2, 22, 126), "FLOAT \n", " FLOAT  "},
    {"NUMBER(*,s)", col("C8", 2, 22, 40, -2), "NUMBER(*,-2) \n", " NUMBER(*,-2)  "},
    {"FLOAT(p)", col("C9", 2, 22, 10), "FLOAT(10) \n", " FLOAT(10)  "},
    {"LONG", col("C10", 8, 0), "LONG \n", " LONG  "},
    {"VARCHAR", col("C11", 9, 12), "VARCHAR(12) \n", " VARCHAR(12)  "},
    {"NCHAR VARYING", col("C12", 9, 12, {}, {}, false, 2), "NCHAR VARYING(6) \n",
     " NCHAR VARYING(6)  "},
    {"DATE", col("C13", 12, 7, {}, {}, true), "DATE NOT NULL\n", " DATE NOT NULL "},
    {"RAW", col("C14", 23, 16), "RAW(16) \n", " RAW(16)  "},
    {"LONG RAW", col("C15", 24, 0), "LONG RAW \n", " LONG RAW  "},
    {"named, unresolved", col("C16", 121, 1), "UNKNOWN_121\n", " . "},
    {"ROWID", col("C17", 69, 10, {}, {}, true), "ROWID\n", " ROWID "},
    {"NCHAR", col("C18", 96, 20, {}, {}, false, 2), "NCHAR(10) \n", " NCHAR(10)  "},
    {"CHAR", col("C19", 96, 20), "CHAR(20) \n", " CHAR(20)  "},
    {"BINARY_FLOAT", col("C20", 100, 4), "BINARY_FLOAT \n", " BINARY_FLOAT  "},
    {"BINARY_DOUBLE", col("C21", 101, 8), "BINARY_DOUBLE \n", " BINARY_DOUBLE  "},
    {"MLSLABEL", col("C22", 105, 8), "MLSLABEL\n", " MLSLABEL "},
    {"MLSLABEL 106", col("C23", 106, 8), "MLSLABEL\n", " MLSLABEL "},
    {"NCLOB", col("C24", 112, 86, {}, {}, false, 2), "NCLOB  (SYS_IL0000004242C00024$$)\n",
     " NCLOB  "},
    {"CLOB", col("C25", 112, 86, {}, {}, true), "CLOB NOT NULL (SYS_IL0000004242C00025$$)\n",
     " CLOB NOT NULL "},
    {"BLOB", col("C26", 113, 86), "BLOB  (SYS_IL0000004242C00026$$)\n", " BLOB  "},
    {"BFILE", col("C27", 114, 530), "BFILE\n", " BFILE "},
    {"CFILE", col("C28", 115, 530), "CFILE\n", " CFILE "},
    {"TIMESTAMP", col("C29", 180, 11, {}, 0), "TIMESTAMP \n", " TIMESTAMP  "},
    {"TIMESTAMP(s)", col("C30", 180, 11, {}, 3), "TIMESTAMP(3) \n", " TIMESTAMP(3)  "},
    {"TIMESTAMP TZ", col("C31", 181, 13, {}, 0), "TIMESTAMP WITH TIME ZONE \n",
     " TIMESTAMP WITH TIME ZONE  "},
    {"TIMESTAMP(s) TZ", col("C32", 181, 13, {}, 9, true), "TIMESTAMP(9) WITH TIME ZONE NOT NULL\n",
     " TIMESTAMP(9) WITH TIME ZONE NOT NULL "},
    {"INTERVAL YEAR TO MONTH", col("C33", 182, 5, 0, 0), "INTERVAL YEAR TO MONTH \n",
     " INTERVAL YEAR TO MONTH  "},
    {"INTERVAL YEAR(p) TO MONTH", col("C34", 182, 5, 4, 0), "INTERVAL YEAR(4) TO MONTH \n",
     " INTERVAL YEAR(4) TO MONTH  "},
    {"INTERVAL DAY TO SECOND", col("C35", 183, 11, 0, 0), "INTERVAL DAY TO SECOND \n",
     " INTERVAL DAY TO SECOND  "},
    {"INTERVAL DAY(p) TO SECOND(s)", col("C36", 183, 11, 2, 6, true),
     "INTERVAL DAY(2) TO SECOND(6) NOT NULL\n", " INTERVAL DAY(2) TO SECOND(6) NOT NULL "},
    {"UROWID", col("C37", 208, 4000), "UROWID\n", " UROWID "},
    {"TIMESTAMP LTZ", col("C38", 231, 11, {}, 0), "TIMESTAMP WITH LOCAL TIME ZONE \n",
     " TIMESTAMP WITH LOCAL TIME ZONE  "},
    {"TIMESTAMP(s) LTZ", col("C39", 231, 11, {}, 2), "TIMESTAMP(2) WITH LOCAL TIME ZONE \n",
     " TIMESTAMP(2) WITH LOCAL TIME ZONE  "},
    {"unknown type", col("C40", 250, 3, {}, {}, true), "UNKNOWN_250\n", " 250 "},
};

DictionaryRows typeTable() {
  DictionaryRows r;
  std::vector<DictColumnSpec> specs;
  for (const TypeRow& row : kTypeRows) specs.push_back(row.column);
  addDictTable(r, "SCOTT", "ALLTYPES", {kTableObj, 4, 4, 130, 0}, specs, kTableObj);
  return r;
}

TEST(ColumnTypes, DescTextAndCreateClauseOfEveryTypeRow) {
  DictWorkDir w;
  DictionaryRows r = typeTable();
  ASSERT_TRUE(writeDictionaryFiles("ZUTDICT", r));
  std::string listing =
      "No. SEQ INT Column Name                   Type            \n"
      "--- --- --- ----------------------------- ----------------\n";
  std::string statement = "CREATE TABLE \"ALLTYPES\" (";
  int i = 0;
  const int n = sizeof kTypeRows / sizeof kTypeRows[0];
  for (const TypeRow& row : kTypeRows) {
    i++;
    char head[64];
    snprintf(head, sizeof head, "%3d %3d %3d %-30s", i, i, i, row.column.name.c_str());
    listing += std::string(head) + row.desc;
    statement += " \"" + row.column.name + "\" " + row.create + (i < n ? "," : "");
  }
  statement += ")";
  DictColumnEntry scratch;
  EXPECT_EQ(listing, captureStream([&](FILE* f) { getORASYSCOL(f, scratch, kTableObj); }));
  DictObjectEntry table;
  table.objId = kTableObj;
  strcpy(table.name, "ALLTYPES");
  std::string out;
  ASSERT_EQ(1, getCreateSyntax(out, scratch, table, "", 0));
  EXPECT_EQ(statement, out);
}

// EMP with an XMLTYPE column DOC whose data lives in the hidden BLOB
// SYS_NC00003$, and a virtual column that has no storage either.
DictionaryRows xmlTable() {
  DictionaryRows r;
  r.users = {{0, "SYS"}, {84, "SCOTT"}};
  r.objects = {{5000, 0, "XMLTYPE", "", 13, "00000000000000000000000000020100"},
               {700, 84, "DOCS", "", 2, ""}};
  r.tabs = {{700, 700, 4, 4, 500, 0}};
  r.columns = {
      {700, 1, 1, "ID", 2, 22, 10, 0, 1, 1, 0, 0, 0},
      {700, 2, 0, "DOC", 58, 2000, std::nullopt, std::nullopt, 0, 2, 0, 0, 0},
      {700, 2, 2, "SYS_NC00003$", 113, 4000, std::nullopt, std::nullopt, 0, 3, 0, 0, 0},
      {700, 3, 0, "TWICE", 2, 22, std::nullopt, std::nullopt, 0, 4, 65536, 0, 0},
      {700, 4, 3, "NOTE", 1, 20, std::nullopt, std::nullopt, 0, 5, 0, 873, 1},
  };
  r.columnTypes = {{700, 2, 2, "00000000000000000000000000020100", 1, 0, 0}};
  return r;
}

TEST(ColumnTypes, XmlTypeHiddenColumn) {
  DictWorkDir w;
  ASSERT_TRUE(writeDictionaryFiles("ZUTDICT", xmlTable()));
  DictColumnEntry scratch;
  EXPECT_EQ(
      "No. SEQ INT Column Name                   Type            \n"
      "--- --- --- ----------------------------- ----------------\n"
      "  1   1   1 ID                            NUMBER(10) NOT NULL\n"
      "  2   0   2 DOC                           SYS.XMLTYPE\n"
      "  2   2   3 SYS_NC00003$                  BLOB  (SYS_IL0000000700C00003$$)\n"
      "  3   0   4 TWICE                         NUMBER \n"
      "  4   3   5 NOTE                          VARCHAR2(20) \n",
      captureStream([&](FILE* f) { getORASYSCOL(f, scratch, 700); }));

  DictObjectEntry table;
  table.objId = 700;
  strcpy(table.name, "DOCS");
  std::string out;
  getCreateSyntax(out, scratch, table, "", 1);
  EXPECT_EQ("CREATE TABLE \"DOCS\" (\n"
            " \"ID\"  NUMBER(10) NOT NULL ,\n"
            " \"DOC\"  SYS.XMLTYPE  ,\n"
            " \"NOTE\"  VARCHAR2(20)  \n"
            ")",
            out);

  auto ctx = std::make_unique<SessionContext>();
  auto desc = std::make_unique<TableDescriptor>();
  ASSERT_EQ(1, getORACOLTYPE(scratch, table, "", *ctx, *desc));
  ASSERT_EQ(3, desc->columnCount);
  EXPECT_EQ(3, ctx->columnCount);
  EXPECT_STREQ("ID", desc->columns[0].name);
  EXPECT_STREQ("DOC", desc->columns[1].name);  // the stored BLOB under the visible name
  EXPECT_EQ(113, desc->columns[1].type);
  EXPECT_EQ(kAdtXmlType, desc->columns[1].adtKind);
  EXPECT_STREQ("SYS", desc->columns[1].typeOwner);
  EXPECT_STREQ("XMLTYPE", desc->columns[1].typeName);
  EXPECT_STREQ("NOTE", desc->columns[2].name);  // the virtual column renames nothing
  EXPECT_EQ(kAdtUnresolved, desc->columns[2].adtKind);
  EXPECT_EQ(2, ctx->columnTypes[0]);
  EXPECT_EQ(113, ctx->columnTypes[1]);
  EXPECT_EQ(1, ctx->columnTypes[2]);
  EXPECT_EQ(20, ctx->columnLength[2]);
  EXPECT_EQ(873, ctx->columnCharsetId[2]);
  EXPECT_EQ(1, ctx->columnCharsetForm[2]);
}

TEST(ColumnTypes, WithoutTypeFilesTheHiddenColumnStillNamesTheStoredOne) {
  DictWorkDir w;
  DictionaryRows r = xmlTable();
  r.columnTypes.clear();
  ASSERT_TRUE(writeDictionaryFiles("ZUTDICT", r));
  DictObjectEntry table;
  table.objId = 700;
  strcpy(table.name, "DOCS");
  DictColumnEntry scratch;
  std::string out;
  getCreateSyntax(out, scratch, table, "", 0);
  EXPECT_EQ("CREATE TABLE \"DOCS\" ( \"ID\"  NUMBER(10) NOT NULL , \"DOC\"  BLOB  , \"NOTE\"  "
            "VARCHAR2(20)  )",
            out);
}

// COL$ lines out of segcol# order, a partition-like name given for the
// statement, and a second table sharing the bucket (obj# 5 and 105).
TEST(ColumnTypes, StorageOrderAndSharedBucket) {
  DictWorkDir w;
  DictionaryRows r;
  r.columns = {
      {5, 3, 3, "C", 12, 7, std::nullopt, std::nullopt, 0, 3, 0, 0, 0},
      {105, 1, 1, "OTHER", 2, 22, std::nullopt, std::nullopt, 0, 1, 0, 0, 0},
      {5, 1, 1, "A", 2, 22, 5, 0, 0, 1, 0, 0, 0},
      {5, 2, 2, "B", 1, 8, std::nullopt, std::nullopt, 1, 2, 0, 873, 1},
  };
  ASSERT_TRUE(writeDictionaryFiles("ZUTDICT", r));
  DictObjectEntry table;
  table.objId = 5;
  strcpy(table.name, "T5");
  DictColumnEntry scratch;
  std::string out;
  getCreateSyntax(out, scratch, table, "", 0);
  EXPECT_EQ("CREATE TABLE \"T5\" ( \"A\"  NUMBER(5)  , \"B\"  VARCHAR2(8) NOT NULL , \"C\"  DATE  )",
            out);
  getCreateSyntax(out, scratch, table, "COPY_OF_T5", 1);
  EXPECT_EQ("CREATE TABLE \"COPY_OF_T5\" (\n \"A\"  NUMBER(5)  ,\n \"B\"  VARCHAR2(8) NOT NULL ,\n"
            " \"C\"  DATE  \n)",
            out);
  auto ctx = std::make_unique<SessionContext>();
  auto desc = std::make_unique<TableDescriptor>();
  ctx->columnTypes[7] = 99;  // left over from an earlier table
  getORACOLTYPE(scratch, table, "", *ctx, *desc);
  ASSERT_EQ(3, desc->columnCount);
  EXPECT_STREQ("A", desc->columns[0].name);
  EXPECT_STREQ("B", desc->columns[1].name);
  EXPECT_STREQ("C", desc->columns[2].name);
  EXPECT_EQ(2, ctx->columnTypes[0]);
  EXPECT_EQ(1, ctx->columnTypes[1]);
  EXPECT_EQ(12, ctx->columnTypes[2]);
  EXPECT_EQ(0, ctx->columnTypes[7]);
  // DESC lists file order and only its own table.
  std::string listing = captureStream([&](FILE* f) { getORASYSCOL(f, scratch, 5); });
  EXPECT_EQ(std::string::npos, listing.find("OTHER"));
  EXPECT_LT(listing.find(" C "), listing.find(" A "));
}

TEST(ColumnTypes, GapsInStorageNumberingLoseNoColumn) {
  DictWorkDir w;
  DictionaryRows r;
  r.columns = {
      {9, 1, 1, "A", 2, 22, std::nullopt, std::nullopt, 0, 1, 0, 0, 0},
      {9, 2, 3, "C", 2, 22, std::nullopt, std::nullopt, 0, 3, 0, 0, 0},
  };
  ASSERT_TRUE(writeDictionaryFiles("ZUTDICT", r));
  DictObjectEntry table;
  table.objId = 9;
  strcpy(table.name, "T9");
  DictColumnEntry scratch;
  auto ctx = std::make_unique<SessionContext>();
  auto desc = std::make_unique<TableDescriptor>();
  getORACOLTYPE(scratch, table, "", *ctx, *desc);
  EXPECT_EQ(3, ctx->columnCount);  // the column at position 3 is still unloaded
  EXPECT_EQ(0, ctx->columnTypes[1]);  // the unknown position is skipped
  EXPECT_EQ(2, ctx->columnTypes[2]);
  std::string out;
  getCreateSyntax(out, scratch, table, "", 0);
  EXPECT_EQ("CREATE TABLE \"T9\" ( \"A\"  NUMBER  , \"C\"  NUMBER  )", out);
}

TEST(ColumnTypes, MissingBucketGivesEmptyResults) {
  DictWorkDir w;
  DictObjectEntry table;
  table.objId = 77;
  strcpy(table.name, "NONE");
  DictColumnEntry scratch;
  EXPECT_EQ("", captureStream([&](FILE* f) { EXPECT_EQ(1, getORASYSCOL(f, scratch, 77)); }));
  std::string out = "old";
  getCreateSyntax(out, scratch, table, "", 1);
  EXPECT_EQ("CREATE TABLE \"NONE\" (\n)", out);
  auto ctx = std::make_unique<SessionContext>();
  auto desc = std::make_unique<TableDescriptor>();
  ctx->columnCount = 5;
  desc->columnCount = 5;
  EXPECT_EQ(1, getORACOLTYPE(scratch, table, "", *ctx, *desc));
  EXPECT_EQ(0, ctx->columnCount);
  EXPECT_EQ(0, desc->columnCount);
}

TEST(ColumnTypes, OverLongColumnLinesAreIgnoredByEveryReader) {
  DictWorkDir w;
  DictColRow good{12, 1, 1, "OK", 2, 22, std::nullopt, std::nullopt, 0, 1, 0, 0, 0};
  // Within 128 characters only with a short name; this one is 130.
  DictColRow longRow{12, 2, 2, std::string(63, 'X'), 2, 22, 38, 0, 0, 2, 0, 0, 0};
  std::string longLine = dictColumnLine(longRow);
  longLine.insert(longLine.size() - 1, std::string(130 - longLine.size(), '0'));
  ASSERT_EQ(130u, longLine.size());
  w.write("ZUTCOLMAP12.TXT", dictColumnLine(good) + longLine);
  DictObjectEntry table;
  table.objId = 12;
  strcpy(table.name, "T12");
  DictColumnEntry scratch;
  std::string listing = captureStream([&](FILE* f) { getORASYSCOL(f, scratch, 12); });
  EXPECT_EQ(std::string::npos, listing.find("XXX"));
  EXPECT_NE(std::string::npos, listing.find("OK"));
  std::string out;
  getCreateSyntax(out, scratch, table, "", 0);
  EXPECT_EQ("CREATE TABLE \"T12\" ( \"OK\"  NUMBER  )", out);
  auto ctx = std::make_unique<SessionContext>();
  auto desc = std::make_unique<TableDescriptor>();
  getORACOLTYPE(scratch, table, "", *ctx, *desc);
  EXPECT_EQ(1, ctx->columnCount);
}

// 1000 columns with 30-character names: longer than the customary 32 KiB
// statement buffer, and still complete.
TEST(ColumnTypes, WideTableGivesACompleteStatement) {
  DictWorkDir w;
  DictionaryRows r;
  std::vector<DictColumnSpec> specs;
  for (int i = 1; i <= 1000; i++) {
    char name[32];
    snprintf(name, sizeof name, "COLUMN_WITH_A_LONG_NAME_%06d", i);
    specs.push_back(col(name, 1, 4000, {}, {}, true));
  }
  addDictTable(r, "SCOTT", "WIDE", {3000, 4, 4, 10, 0}, specs, 3000);
  ASSERT_TRUE(writeDictionaryFiles("ZUTDICT", r));
  DictObjectEntry table;
  table.objId = 3000;
  strcpy(table.name, "WIDE");
  DictColumnEntry scratch;
  for (int pretty = 0; pretty < 2; pretty++) {
    std::string out;
    getCreateSyntax(out, scratch, table, "", pretty);
    EXPECT_GT(out.size(), 32768u);
    size_t commas = 0, pos = 0, found = 0;
    for (char ch : out) commas += ch == ',';
    EXPECT_EQ(999u, commas);
    for (int i = 1; i <= 1000; i++) {
      char clause[96];
      snprintf(clause, sizeof clause, " \"COLUMN_WITH_A_LONG_NAME_%06d\"  VARCHAR2(4000) NOT NULL ",
               i);
      size_t at = out.find(clause, pos);
      if (at == std::string::npos) break;
      pos = at + 1;
      found++;
    }
    EXPECT_EQ(1000u, found);
    EXPECT_EQ(pretty ? "\n)" : " )", out.substr(out.size() - 2));
  }
  auto ctx = std::make_unique<SessionContext>();
  auto desc = std::make_unique<TableDescriptor>();
  getORACOLTYPE(scratch, table, "", *ctx, *desc);
  EXPECT_EQ(1000, desc->columnCount);
  EXPECT_STREQ("COLUMN_WITH_A_LONG_NAME_001000", desc->columns[999].name);
}

}  // namespace

namespace {

using namespace mkdb;

// The lookups behind UNLOAD TABLE owner.table PARTITION p and DESC, in their
// order, on a dictionary the builder writes.
TEST(ColumnTypes, TableResolutionAsUnloadDoesIt) {
  DictWorkDir w;
  DictionaryRows r;
  addDictTable(r, "SYS", "OBJ$", {18, 0, 1, 240, 0}, {col("OBJ#", 2, 22)}, 18);
  addDictTable(r, "SCOTT", "SALES", {0, 4, 0, 0, 0},
               {col("ID", 2, 22, 10, 0, true), col("REGION", 1, 20), col("SOLD", 12, 7)}, 73190);
  addDictPartition(r, "SCOTT", "SALES", "P2023", {73191, 4, 4, 200, 0}, 19, 73191);
  ASSERT_TRUE(writeDictionaryFiles("ZUTDICT", r));

  DictUserEntry user;
  ASSERT_EQ(1, getORASYSUSER(user, "Scott"));
  DictObjectEntry object;
  object.resolvedId = 0;
  ASSERT_EQ(1, getORASYSOBJ(object, user.userId, "sales", "p2023"));
  EXPECT_EQ(73190u, object.objId);
  DictTableEntry table;
  ASSERT_EQ(1, getORASYSTAB(table, object.resolvedId));
  EXPECT_EQ(73191u, table.dataObjId);
  EXPECT_EQ(4, table.file);
  EXPECT_EQ(200u, table.block);
  DictColumnEntry scratch;
  auto ctx = std::make_unique<SessionContext>();
  auto desc = std::make_unique<TableDescriptor>();
  getORACOLTYPE(scratch, object, "P2023", *ctx, *desc);
  ASSERT_EQ(3, ctx->columnCount);
  EXPECT_EQ(2, ctx->columnTypes[0]);
  EXPECT_EQ(1, ctx->columnTypes[1]);
  EXPECT_EQ(12, ctx->columnTypes[2]);
  EXPECT_STREQ("SOLD", desc->columns[2].name);
  // The whole table has no segment of its own.
  object.resolvedId = 0;
  ASSERT_EQ(1, getORASYSOBJ(object, user.userId, "SALES", ""));
  EXPECT_EQ(0, getORASYSTAB(table, object.resolvedId));
  // A SYS table is found under owner 0, as the dictionary build looks it up.
  object.resolvedId = 0;
  ASSERT_EQ(1, getORASYSOBJ(object, 0, "OBJ$", ""));
  ASSERT_EQ(1, getORASYSTAB(table, object.objId));
  EXPECT_EQ(240u, table.block);
}

}  // namespace
