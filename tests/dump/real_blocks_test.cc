// The two real Oracle blocks unloaded without a dictionary: the values must
// be what Oracle showed for them (tests/fixtures/README.md).
#include <gtest/gtest.h>

#include <string>

#include "tests/support/block_fixture.h"

namespace {

// Unloads object objd from a little-endian 8 KiB file that holds the real
// block at block 20 and nothing else; returns the rows written.
std::string unloadRealBlock(const char* name, uint32_t objd, const std::string& columns,
                            const std::string& settings = "") {
  const std::string bytes = readFixture(std::string("real-blocks/") + name + ".bin");
  TempDir dir;
  mkdb::FileImage f = dumpFileImage(dir, 8192, mkdb::kLittle, 24);
  f.images[20] = mkdb::Block(bytes.begin(), bytes.end());
  runOnFile(dir, f,
            settings + "UNLOAD OBJECT " + std::to_string(objd) + " COLUMN " + columns + " TO rows.txt;\n");
  return dir.read("rows.txt");
}

TEST(RealBlocks, EmpRowsLiveAndDeleted) {
  const std::string columns = "NUMBER VARCHAR2 VARCHAR2 NUMBER DATE NUMBER NUMBER NUMBER";
  const std::string live =
      "7369|SMITH|CLERK|7902|1980-12-17 00:00:00|800||20\r\n"
      "7499|hong |SALESMAN|7698|1981-02-20 00:00:00|1600|300|30\r\n";
  EXPECT_EQ(live, unloadRealBlock("emp-11203-deleted-rows", 77707, columns));
  EXPECT_EQ(live +
                "7521|WARD|SALESMAN|7698|1981-02-22 00:00:00|1250|500|30\r\n"
                "7566|JONES|MANAGER|7839|1981-04-02 00:00:00|2975||20\r\n"
                "7654|MARTIN|SALESMAN|7698|1981-09-28 00:00:00|1250|1400|30\r\n"
                "7698|BLAKE|MANAGER|7839|1981-05-01 00:00:00|2850||30\r\n"
                "7782|CLARK|MANAGER|7839|1981-06-09 00:00:00|2450||10\r\n"
                "7788|SCOTT|ANALYST|7566|1987-04-19 00:00:00|3000||20\r\n"
                "7839|KING|PRESIDENT||1981-11-17 00:00:00|5000||10\r\n"
                "7844|TURNER|SALESMAN|7698|1981-09-08 00:00:00|1500|0|30\r\n"
                "7876|ADAMS|CLERK|7788|1987-05-23 00:00:00|1100||20\r\n"
                "7900|JAMES|CLERK|7698|1981-12-03 00:00:00|950||30\r\n"
                "7902|FORD|ANALYST|7566|1981-12-03 00:00:00|3000||20\r\n"
                "7934|MILLER|CLERK|7782|1982-01-23 00:00:00|1300||10\r\n",
            unloadRealBlock("emp-11203-deleted-rows", 77707, columns, "SET DELETED_ROW TRUE\n"));
}

// The one row, and nothing of the earlier use left in the free space: read
// as VARCHAR2 the values keep the blanks Oracle stored; CHAR values are
// written without their trailing blanks.
TEST(RealBlocks, CharColumnsOfOneRow) {
  EXPECT_EQ("a         |a         |a         |a|a |a  \r\n",
            unloadRealBlock("char-19c-scn-flag", 74682,
                            "VARCHAR2 VARCHAR2 VARCHAR2 VARCHAR2 VARCHAR2 VARCHAR2"));
  EXPECT_EQ("a|a|a|a|a|a\r\n",
            unloadRealBlock("char-19c-scn-flag", 74682, "CHAR CHAR CHAR CHAR CHAR CHAR"));
}

}  // namespace
