// The demo database: a small SCOTT-like schema written with the builder, for
// `make demo` and the end-to-end unload tests. One data file (relative file
// 4, tablespace USERS) holds:
//   DEPT, EMP            heap tables with a segment header each
//   ALL_TYPES            one column of every scalar type the tool renders
//   NOTES                chained rows (by request and by size) and migrated rows
//   SALES_HIST           basic table compression
//   C_DEPT, C_EMP        two tables of the cluster EMP_DEPT_CLU (keyed on DEPTNO)
//   COUNTRIES            an index-organized table (its segment is obj# + 1)
//   SALES_PART           a partitioned table, partitions P_EAST and P_WEST
//   PAY$HIST             a table whose name holds "$"
//   MORE_TYPES           values at the edges of their types
// and the dictionary files that describe them.
//
// Each table keeps its rows as the text the tool writes for each value, so
// an unload can be compared row for row with its source. Values are given in
// that text and encoded from it by column type.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/builder/datafile_builder.h"
#include "tools/builder/dict_files.h"
#include "tools/builder/oracle_values.h"

namespace mkdb {

using DemoRow = std::vector<std::optional<std::string>>;  // nullopt: NULL

struct DemoTable {
  std::string owner = "SCOTT";
  std::string name;
  uint32_t objId = 0;
  uint32_t dataObjId = 0;     // the segment with the rows (0: partitioned)
  uint32_t headerBlock = 0;   // its segment header in the data file (0: none)
  uint8_t cluster = 0;        // table number in its cluster block
  std::vector<DictColumnSpec> columns;
  std::vector<DemoRow> rows;  // in the order an unload writes them
  std::vector<std::string> partitions;
};

struct DemoDatabase {
  std::vector<FileImage> files;
  DictionaryRows dictionary;
  std::vector<DemoTable> tables;
  const DemoTable* table(const std::string& name) const;
};

constexpr uint16_t kDemoFileNumber = 4;

// Builds the images; the data file is written to dir/users01.dbf and named
// users01.dbf in the configuration file (the tool runs in dir).
DemoDatabase buildDemoDatabase(const std::string& dir);

// Writes the data file, the configuration file dir/config and the dictionary
// files under dir/ZUTDICT. Returns 0, or 1 when something cannot be written.
int writeDemoDatabase(const DemoDatabase& db, const std::string& dir, const std::string& config);

// The text an unload writes for the table's rows with the default tags: "|"
// between values, CR LF after each row, NULL as an empty field and trailing
// NULL columns left out (they are not stored).
std::string demoTableText(const DemoTable& t);

// Oracle bytes of a value given as the tool's text for a column of this type:
// VARCHAR2/VARCHAR/LONG as is, CHAR padded with blanks to the column length
// (national NCHAR and NVARCHAR2 from UTF-8 text to AL16UTF16),
// NUMBER, DATE ("YYYY-MM-DD HH:MI:SS"), TIMESTAMP and TIMESTAMP WITH LOCAL
// TIME ZONE (optionally ".ffffff" or ".fffffffff"), TIMESTAMP WITH TIME ZONE (" +00:00"
// after it), BINARY_FLOAT/DOUBLE, RAW (hexadecimal), INTERVAL YEAR TO MONTH
// ("+YY-MM") and DAY TO SECOND ("+DD HH:MI:SS.ffffff", or nine digits).
// False when the text does not read as the type.
bool encodeDemoValue(const DictColumnSpec& column, const std::string& text, OracleBytes& out);

}  // namespace mkdb
