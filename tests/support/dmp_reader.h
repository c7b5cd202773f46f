// A reader of the export dump files the tool writes, for tests: it parses a
// whole file (header, NLS block, TABLE, CREATE, INSERT, column types, row
// stream, end marker, tail) back into its parts and rows, so that tests can
// compare rows with the values they came from rather than bytes.
//
// It is written from the file format alone and shares no code with the
// writer, so that each checks the other. It is strict: anything that is not
// exactly the format, including trailing bytes, is rejected with a message
// naming the byte offset. It never reads outside the given bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DmpColumnType {
  uint16_t typeCode = 0;
  uint16_t length = 0;
  bool hasCharset = false;  // character types 1, 9 and 96 only
  uint16_t charsetId = 0;
  uint8_t charsetForm = 0;
};

// The bind placeholder of a column in the INSERT statement.
enum class DmpBind { plain, xmlType, xmlTypeFromBinary, anyData };

// One column of one row. A long value (FD FF, value items, 00 00) has its
// pieces joined; a long value made of a single NULL item is a NULL long.
struct DmpValue {
  bool null = false;
  bool isLong = false;
  std::string bytes;
  bool operator==(const DmpValue&) const = default;
};

struct DmpFile {
  // Header.
  uint16_t charsetId = 0;
  uint16_t ncharCharsetId = 0;
  std::string userName;
  std::string exportDate;      // 24 characters
  std::string exportFileName;  // 9 characters
  // NLS block records, in order, without their length prefixes.
  std::vector<std::string> nlsRecords;
  std::string tableName;        // from the TABLE line
  std::string createStatement;  // the CREATE line without its line feed
  std::vector<std::string> columnNames;
  std::vector<DmpBind> binds;
  std::vector<DmpColumnType> columnTypes;
  std::vector<std::vector<DmpValue>> rows;
};

// Parses a whole dump. Returns 0 and fills out when the bytes are a complete
// dump, else 1 with error set to what was wrong and where.
int readDmpBytes(const unsigned char* data, size_t size, DmpFile& out, std::string& error);
int readDmpBytes(const std::string& bytes, DmpFile& out, std::string& error);
// Reads the file at path and parses it; an unreadable file is an error too.
int readDmpFile(const std::string& path, DmpFile& out, std::string& error);

// Value constructors for expected rows.
DmpValue dmpText(const std::string& bytes);
DmpValue dmpNullValue();
DmpValue dmpLongValue(const std::string& bytes);
