#include "export/dmp_writer.h"

#include <cstring>

#include "core/stream_write.h"
#include "values/charset.h"

namespace {


void putText(FILE* stream, const char* text) { writeBytes(stream, text, strlen(text)); }

void putLittle16(FILE* stream, uint16_t v) {
  const unsigned char b[2] = {static_cast<unsigned char>(v & 0xFF),
                              static_cast<unsigned char>(v >> 8)};
  writeBytes(stream, b, 2);
}

void putBig16(FILE* stream, uint16_t v) {
  const unsigned char b[2] = {static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v & 0xFF)};
  writeBytes(stream, b, 2);
}

void putZeros(FILE* stream, size_t n) {
  static const unsigned char kZeros[256] = {};
  while (n > 0) {
    size_t piece = n < sizeof kZeros ? n : sizeof kZeros;
    writeBytes(stream, kZeros, piece);
    n -= piece;
  }
}

// Writes at most limit bytes of a name, tabs and line breaks as blanks.
// Returns the number of bytes written.
size_t putName(FILE* stream, const char* name, size_t limit) {
  size_t n = 0;
  for (; n < limit && name[n] != 0; n++) {
    char c = name[n];
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    putc_unlocked(c, stream);
  }
  return n;
}

constexpr size_t kUnlimited = static_cast<size_t>(-1);

// The two 100-byte NLS records differ only in bytes 54 .. 58.
constexpr unsigned char kNlsRecordStart[54] = {
    0x00, 0x00, 0x60, 0x01, 0x21, 0x0f, 0x05, 0x0b, 0x0c, 0x03, 0x0c, 0x0c, 0x05, 0x04,
    0x05, 0x0d, 0x06, 0x09, 0x07, 0x08, 0x05, 0x0f, 0x05, 0x05, 0x05, 0x0f, 0x05, 0x05,
    0x05, 0x05, 0x05, 0x0a, 0x05, 0x05, 0x05, 0x05, 0x05, 0x04, 0x05, 0x08, 0x23, 0x47,
    0x23, 0x23, 0x08, 0x11, 0x23, 0x08, 0x11, 0x41, 0xb0, 0x23, 0x00, 0x83};
constexpr unsigned char kNlsRecordEnd1[5] = {0x03, 0x67, 0x03, 0x67, 0x03};
constexpr unsigned char kNlsRecordEnd2[5] = {0x03, 0x67, 0x01, 0x59, 0x03};
constexpr size_t kNlsRecordSize = 100;

void putNlsRecord(FILE* stream, const unsigned char (&end)[5]) {
  putLittle16(stream, kNlsRecordSize);
  writeBytes(stream, kNlsRecordStart, sizeof kNlsRecordStart);
  writeBytes(stream, end, sizeof end);
  putZeros(stream, kNlsRecordSize - sizeof kNlsRecordStart - sizeof end);
}

void putNlsBlock(FILE* stream) {
  putNlsRecord(stream, kNlsRecordEnd1);
  putNlsRecord(stream, kNlsRecordEnd2);
  putLittle16(stream, 6);
  putText(stream, "+00:00");
  putLittle16(stream, 5);
  putText(stream, "8.1.6");
  putc_unlocked('\n', stream);
}

// Header bytes after the user name, up to the padding.
constexpr size_t kHeaderTextBeforeName = 21;
constexpr size_t kHeaderFixedAfterName = 118;

}  // namespace

void printDmpHeader(FILE* stream, uint16_t charsetId, uint16_t ncharCharsetId,
                    const char* userName) {
  putc_unlocked(0x03, stream);
  putBig16(stream, charsetId);
  putText(stream, "EXPORT:V08.01.07\n");
  putc_unlocked('U', stream);
  const size_t nameLength = putName(stream, userName, kMaxDmpUserName);
  putText(stream, "\nRTABLES\n2048\n0\n28\n0\n");
  putBig16(stream, charsetId);
  putBig16(stream, charsetId);
  putBig16(stream, ncharCharsetId);
  putc_unlocked(0x00, stream);
  putc_unlocked(0x01, stream);
  putZeros(stream, 9);
  putc_unlocked(0x0B, stream);
  putc_unlocked(0x00, stream);
  for (int i = 0; i < 37; i++) putc_unlocked(' ', stream);
  putText(stream, "Tue Mar 22 17:29:25 2005");
  putText(stream, "korvo.dmp");
  putZeros(stream, 8);
  putZeros(stream, kDmpHeaderSize - kHeaderTextBeforeName - kHeaderFixedAfterName - nameLength);
  putNlsBlock(stream);
}

void printDmpTable(FILE* stream, const char* tableName) {
  putText(stream, "TABLE \"");
  putName(stream, tableName, kUnlimited);
  putText(stream, "\"\n");
}

void printDmpCreate(FILE* stream, const char* statement) {
  putName(stream, statement, kUnlimited);
  putc_unlocked('\n', stream);
}

void printDmpInsert(FILE* stream, const char* tableName, const DmpInsertColumn* columns,
                    size_t count) {
  putText(stream, "INSERT INTO \"");
  putName(stream, tableName, kUnlimited);
  putText(stream, "\" (");
  for (size_t i = 0; i < count; i++) {
    if (i > 0) putc_unlocked(',', stream);
    putc_unlocked('"', stream);
    putName(stream, columns[i].name, kUnlimited);
    putc_unlocked('"', stream);
  }
  putText(stream, ") VALUES (");
  for (size_t i = 0; i < count; i++) {
    if (i > 0) putc_unlocked(',', stream);
    const size_t n = i + 1;
    switch (columns[i].bindKind) {
      case kDmpBindXmlType:
        if (columns[i].typeCode == kColBlob)
          fprintf(stream, "SYS.XMLTYPE.CREATEXMLFROMBINARY(:%zu)", n);
        else
          fprintf(stream, "SYS.XMLTYPE.CREATEXML(:%zu)", n);
        break;
      case kDmpBindAnyData: fprintf(stream, "SYS.ANYDATA.CONVERTRAW(:%zu)", n); break;
      default: fprintf(stream, ":%zu", n); break;
    }
  }
  putText(stream, ")\n");
}

void printDmpColumns(FILE* stream, uint16_t count) { putLittle16(stream, count); }

void printDmpDatatype(FILE* stream, uint16_t typeCode, uint16_t length, uint16_t charsetId,
                      uint16_t charsetForm) {
  constexpr uint16_t kLongLength = 0x4000;
  switch (typeCode) {
    case kColClob:
      putLittle16(stream, kColLong);
      putLittle16(stream, kLongLength);
      return;
    case kColBlob:
      putLittle16(stream, kColLongRaw);
      putLittle16(stream, kLongLength);
      return;
    case kColLong:
    case kColLongRaw:
      putLittle16(stream, typeCode);
      putLittle16(stream, kLongLength);
      return;
    default: break;
  }
  putLittle16(stream, typeCode);
  putLittle16(stream, length);
  if (typeCode == kColVarchar2 || typeCode == kColVarchar || typeCode == kColChar) {
    putLittle16(stream, charsetId);
    putc_unlocked(static_cast<unsigned char>(charsetForm), stream);
    putc_unlocked(0x00, stream);
  }
}

void printDmpColumnTypes(FILE* stream, const SessionContext& ctx, uint16_t charsetId) {
  const uint16_t count = ctx.columnCount <= kMaxColumns ? ctx.columnCount : kMaxColumns;
  printDmpColumns(stream, count);
  for (uint16_t i = 0; i < count; i++) {
    const bool own = ctx.columnCharsetId[i] != 0 && ctx.columnCharsetForm[i] != 0;
    printDmpDatatype(stream, ctx.columnTypes[i], ctx.columnLength[i],
                     own ? ctx.columnCharsetId[i] : charsetId,
                     own ? ctx.columnCharsetForm[i] : 1);
  }
}

void printDmpDataBegin(FILE* stream) { putZeros(stream, 4); }

void printDmpValue(FILE* stream, const unsigned char* bytes, size_t length) {
  if (length == 0) return printDmpNull(stream);
  while (length > 0) {
    const size_t piece = length < kMaxDmpItemLength ? length : kMaxDmpItemLength;
    putLittle16(stream, static_cast<uint16_t>(piece));
    writeBytes(stream, bytes, piece);
    bytes += piece;
    length -= piece;
  }
}

void printDmpNull(FILE* stream) { putLittle16(stream, kDmpNullMark); }

void printDmpChain(FILE* stream) { putLittle16(stream, kDmpChainMark); }

void printDmpRecord(FILE* stream) { putLittle16(stream, 0); }

void printDmpDataEnd(FILE* stream) {
  putLittle16(stream, kDmpEndMark);
  putc_unlocked('\n', stream);
}

void printDmpTail(FILE* stream) {
  putText(stream, "EXIT\nEXIT\n");
  putZeros(stream, kDmpHeaderSize);
}

void iconv_charset_dump(FILE* stream, iconv_t converter, const unsigned char* bytes,
                        size_t length) {
  const unsigned char* data = nullptr;
  const size_t n = iconv_charset_bytes(converter, bytes, length, &data);
  printDmpValue(stream, data, n);
}
