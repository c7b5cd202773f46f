// Writer of export dump files in the format of the classic export utility
// (EXPORT:V08.01.07), piece by piece, in file order:
//
//   printDmpHeader        2048-byte header, then the 220-byte NLS block
//   printDmpTable         TABLE "name"
//   printDmpCreate        the CREATE TABLE statement line
//   printDmpInsert        the INSERT statement line with its bind placeholders
//   printDmpColumns       column count        } or printDmpColumnTypes for
//   printDmpDatatype      one type per column } both from a session context
//   printDmpDataBegin     four zero bytes
//   rows: printDmpValue / printDmpNull / printDmpChain ... printDmpRecord
//   printDmpDataEnd       FF FF 0A
//   printDmpTail          EXIT lines and 2048 zero bytes
//
// All binary integers are 16-bit little-endian whatever the byte order of the
// data files. The writer keeps no state beyond the stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <iconv.h>

#include "core/session_context.h"

// Row stream items. A value item is its 16-bit length and its bytes; the
// lengths FD FF, FE FF and FF FF are taken by the markers below, so an item
// holds at most 65532 bytes.
constexpr size_t kMaxDmpItemLength = 0xFFFC;
constexpr uint16_t kDmpChainMark = 0xFFFD;  // start of a long value
constexpr uint16_t kDmpNullMark = 0xFFFE;   // NULL
constexpr uint16_t kDmpEndMark = 0xFFFF;    // end of the row stream (then 0A)

constexpr size_t kDmpHeaderSize = 2048;
constexpr size_t kDmpNlsBlockSize = 220;
// The header holds the user name in its first 2048 bytes; longer names (only
// a damaged dictionary has them) are cut so the header keeps its size.
constexpr size_t kMaxDmpUserName = 128;

// Kind of a column for its bind placeholder in the INSERT statement. The
// values equal the dictionary's ADT kinds of XMLTYPE and ANYDATA columns.
enum DmpBindKind : uint8_t {
  kDmpBindPlain = 0,
  kDmpBindXmlType = 1,
  kDmpBindAnyData = 2,
};

struct DmpInsertColumn {
  const char* name = "";
  uint8_t typeCode = 0;
  uint8_t bindKind = kDmpBindPlain;
};

// Header and NLS block (2048 + 220 bytes). Tabs, line feeds and carriage
// returns in the user name become blanks: the header is read line by line.
void printDmpHeader(FILE* stream, uint16_t charsetId, uint16_t ncharCharsetId,
                    const char* userName);

// "TABLE \"name\"\n", with tabs, line feeds and carriage returns of the name
// replaced by blanks.
void printDmpTable(FILE* stream, const char* tableName);

// The CREATE TABLE statement and a line feed. Line breaks and tabs inside it
// become blanks, so that the statement stays one line and names in it read
// as they do in TABLE and INSERT.
void printDmpCreate(FILE* stream, const char* statement);

// INSERT INTO "table" ("A","B") VALUES (:1,:2) and a line feed. An XMLTYPE
// column binds through SYS.XMLTYPE.CREATEXMLFROMBINARY when stored as a BLOB
// (type 113), else SYS.XMLTYPE.CREATEXML; an ANYDATA column through
// SYS.ANYDATA.CONVERTRAW. Names get the same blank replacement as TABLE.
void printDmpInsert(FILE* stream, const char* tableName, const DmpInsertColumn* columns,
                    size_t count);

void printDmpColumns(FILE* stream, uint16_t count);

// One column type record. CLOB and BLOB are declared as LONG and LONG RAW of
// 16384 bytes; LONG and LONG RAW carry length 16384; the character types 1,
// 9 and 96 add the character set id, the form and a zero byte.
void printDmpDatatype(FILE* stream, uint16_t typeCode, uint16_t length, uint16_t charsetId,
                      uint16_t charsetForm);

// Column count and every column's type record for the table loaded in ctx.
// A column uses its own character set id and form when both are non-zero,
// else the database character set with form 1. (CLOB and BLOB records, being
// declared as LONG and LONG RAW, carry no character set.)
void printDmpColumnTypes(FILE* stream, const SessionContext& ctx, uint16_t charsetId);

void printDmpDataBegin(FILE* stream);

// Writes bytes as value items: one item, or, past 65532 bytes, consecutive
// items of at most 65532 bytes (which a reader joins inside a long value). A
// length of 0 writes the NULL item instead.
void printDmpValue(FILE* stream, const unsigned char* bytes, size_t length);
// NULL item, FE FF.
void printDmpNull(FILE* stream);
// Start of a long value, FD FF.
void printDmpChain(FILE* stream);
// End of a row or of a long value, 00 00.
void printDmpRecord(FILE* stream);

// End of the row stream, FF FF 0A.
void printDmpDataEnd(FILE* stream);
// "EXIT\nEXIT\n" and 2048 zero bytes.
void printDmpTail(FILE* stream);

// Bytes converted by the handle (values/charset.h) written as one dump value
// (items of at most 65532 bytes; a longer result continues in further items).
void iconv_charset_dump(FILE* stream, iconv_t converter, const unsigned char* bytes,
                        size_t length);
