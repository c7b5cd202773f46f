#include "values/value_format.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "core/stream_write.h"
#include "values/charset.h"

namespace {

// Writes v with at least `width` digits (leading zeros), width at most 10.
// Returns the end.
inline char* putUnsigned(char* p, unsigned v, int width) {
  char digits[10];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (n < width) digits[n++] = '0';
  while (n > 0) *p++ = digits[--n];
  return p;
}

// Two-digit fields: every stored byte value 0..255 fits in three digits.
inline char* putTwo(char* p, unsigned v) {
  if (v < 100) {
    p[0] = static_cast<char>('0' + v / 10);
    p[1] = static_cast<char>('0' + v % 10);
    return p + 2;
  }
  return putUnsigned(p, v, 2);
}

// Hour, minute and second are stored plus one; a zero byte shows as 00.
inline unsigned timeField(unsigned char b) { return b == 0 ? 0 : b - 1u; }

// The 7 date bytes as YYYY-MM-DD HH:MI:SS (19 characters for any real date).
//
// Years before 1 (century byte below 100) are written with a minus sign and
// at least four digits, as Oracle's signed year format shows them: 4712 BC
// is -4712-01-01 00:00:00, 1 BC is -0001-... There is no year 0 in Oracle;
// bytes that decode to it show 0000.
char* putDateTime(char* p, const unsigned char* b) {
  int year = (static_cast<int>(b[0]) * 100 - 10000) + (static_cast<int>(b[1]) - 100);
  if (year < 0) {
    *p++ = '-';
    year = -year;
  }
  p = putUnsigned(p, static_cast<unsigned>(year), 4);
  *p++ = '-';
  p = putTwo(p, b[2]);
  *p++ = '-';
  p = putTwo(p, b[3]);
  *p++ = ' ';
  p = putTwo(p, timeField(b[4]));
  *p++ = ':';
  p = putTwo(p, timeField(b[5]));
  *p++ = ':';
  p = putTwo(p, timeField(b[6]));
  return p;
}

inline uint32_t readBigEndian32(const unsigned char* b) {
  return static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
         static_cast<uint32_t>(b[2]) << 8 | b[3];
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Collections: an optional 37-byte image header (marked by 00 01), then
// length-prefixed elements. An element whose bytes run past the value ends
// the walk.
template <class WriteElement>
void walkCollection(FILE* stream, const SessionContext& ctx, const unsigned char* value,
                    uint32_t length, WriteElement writeElement) {
  constexpr uint32_t kImageHeaderSize = 37;
  uint32_t pos = 0;
  bool first = true;
  if (length >= 2 && value[0] == 0x00 && value[1] == 0x01) {
    pos = kImageHeaderSize;
  } else {
    first = false;  // no header: a comma goes before the first element too
  }
  while (pos < length) {
    const unsigned char l = value[pos];
    uint32_t dataStart;
    uint32_t dataLength;
    if (l == 255) {
      if (!first) putc_unlocked(',', stream);
      writeBytes(stream, "NULL", 4);
      first = false;
      pos += 1;
      continue;
    }
    if (l == 254) {
      if (length - pos < 3) return;
      const unsigned char* q = value + pos + 1;
      dataLength = ctx.byteOrder ? (q[0] << 8 | q[1]) : (q[1] << 8 | q[0]);
      dataStart = pos + 3;
    } else {
      dataLength = l;
      dataStart = pos + 1;
    }
    if (dataLength > length - dataStart) return;
    if (!first) putc_unlocked(',', stream);
    writeElement(value + dataStart, dataLength);
    first = false;
    pos = dataStart + dataLength;
  }
}

}  // namespace

void printNUMBER(FILE* stream, const SessionContext&, const unsigned char* value,
                 uint32_t length) {
  char text[kNumberTextSize];
  size_t n = ora_number_to_string(value, length < kMaxNumberBytes ? length : kMaxNumberBytes,
                                  text, sizeof text);
  writeBytes(stream, text, n);
}

void printDATE(FILE* stream, const SessionContext&, const unsigned char* value,
               uint32_t length) {
  if (length != 7) return;
  char text[40];
  writeBytes(stream, text, static_cast<size_t>(putDateTime(text, value) - text));
}

// Fractional seconds: .FFFFFF when the stored nanoseconds are a whole number
// of microseconds, else .FFFFFFFFF.
//
// TIMESTAMP WITH TIME ZONE (13 bytes) holds its date and time in UTC, so it
// is written with the zone +00:00: the exact instant whatever zone it was
// entered in.
void printTIMESTAMP(FILE* stream, const SessionContext&, const unsigned char* value,
                    uint32_t length) {
  if (length != 7 && length != 11 && length != 13) return;
  char text[64];
  char* p = putDateTime(text, value);
  if (length >= 11) {
    // Six digits while the nanoseconds are whole microseconds, else all nine.
    const uint32_t nanoseconds = readBigEndian32(value + 7);
    *p++ = '.';
    p = nanoseconds % 1000 == 0 ? putUnsigned(p, nanoseconds / 1000, 6)
                                : putUnsigned(p, nanoseconds, 9);
  }
  if (length == 13) {
    memcpy(p, " +00:00", 7);
    p += 7;
  }
  writeBytes(stream, text, static_cast<size_t>(p - text));
}

// Intervals store every field offset so that the bytes sort like the
// values: the year (INTERVAL YEAR TO MONTH) and the day (INTERVAL DAY TO
// SECOND) as 32-bit big-endian numbers plus 2^31, the month, hour, minute and
// second as one byte plus 60, the nanoseconds as a 32-bit number plus 2^31.
// A negative interval has every field negative (or zero).
namespace {

constexpr int64_t kIntervalBias32 = 0x80000000LL;
constexpr int kIntervalBias8 = 60;
constexpr int64_t kMaxIntervalLeading = 999999999;  // nine digits of years or days

inline int64_t intervalField32(const unsigned char* b) {
  return static_cast<int64_t>(readBigEndian32(b)) - kIntervalBias32;
}
inline int intervalField8(unsigned char b) { return static_cast<int>(b) - kIntervalBias8; }

// The sign all fields share: -1, +1, or 0 when they are all zero; 2 when a
// field is above its limit or two fields disagree.
int intervalSign(const int64_t* fields, const int64_t* limits, int count) {
  int sign = 0;
  for (int i = 0; i < count; i++) {
    const int64_t v = fields[i];
    if (v > limits[i] || v < -limits[i]) return 2;
    const int s = v > 0 ? 1 : v < 0 ? -1 : 0;
    if (s != 0 && sign != 0 && s != sign) return 2;
    if (s != 0) sign = s;
  }
  return sign;
}

inline uint64_t magnitude(int64_t v) { return static_cast<uint64_t>(v < 0 ? -v : v); }

}  // namespace

void printINTERVALYM(FILE* stream, const SessionContext&, const unsigned char* value,
                     uint32_t length) {
  if (length != 5) return;
  const int64_t fields[2] = {intervalField32(value), intervalField8(value[4])};
  const int64_t limits[2] = {kMaxIntervalLeading, 11};
  const int sign = intervalSign(fields, limits, 2);
  if (sign == 2) return;
  char text[32];
  char* p = text;
  *p++ = sign < 0 ? '-' : '+';
  p = putUnsigned(p, static_cast<unsigned>(magnitude(fields[0])), 2);
  *p++ = '-';
  p = putTwo(p, static_cast<unsigned>(magnitude(fields[1])));
  writeBytes(stream, text, static_cast<size_t>(p - text));
}

void printINTERVALDS(FILE* stream, const SessionContext&, const unsigned char* value,
                     uint32_t length) {
  if (length != 11) return;
  const int64_t fields[5] = {intervalField32(value), intervalField8(value[4]),
                             intervalField8(value[5]), intervalField8(value[6]),
                             intervalField32(value + 7)};
  const int64_t limits[5] = {kMaxIntervalLeading, 23, 59, 59, 999999999};
  const int sign = intervalSign(fields, limits, 5);
  if (sign == 2) return;
  char text[48];
  char* p = text;
  *p++ = sign < 0 ? '-' : '+';
  p = putUnsigned(p, static_cast<unsigned>(magnitude(fields[0])), 2);
  *p++ = ' ';
  p = putTwo(p, static_cast<unsigned>(magnitude(fields[1])));
  *p++ = ':';
  p = putTwo(p, static_cast<unsigned>(magnitude(fields[2])));
  *p++ = ':';
  p = putTwo(p, static_cast<unsigned>(magnitude(fields[3])));
  *p++ = '.';
  const unsigned nanoseconds = static_cast<unsigned>(magnitude(fields[4]));
  p = nanoseconds % 1000 == 0 ? putUnsigned(p, nanoseconds / 1000, 6)
                              : putUnsigned(p, nanoseconds, 9);
  writeBytes(stream, text, static_cast<size_t>(p - text));
}

// BINARY_FLOAT and BINARY_DOUBLE are stored big-endian with the sign bit
// flipped for positive values and every bit inverted for negative ones, so
// that the bytes sort like the numbers. A first byte of 0x80 or above is a
// positive value (clear the top bit); below 0x80, invert every bit.
//
// The value is written as the shortest text that reads back as the same
// float or double (3.5, 0.1, 1e-10, 1.7e+308, -0); the special values as
// Nan, Inf and -Inf.
namespace {

template <class Real>
void writeReal(FILE* stream, Real v) {
  if (std::isnan(v)) return writeBytes(stream, "Nan", 3);
  if (std::isinf(v)) return v < 0 ? writeBytes(stream, "-Inf", 4) : writeBytes(stream, "Inf", 3);
  char text[64];
  const std::to_chars_result r = std::to_chars(text, text + sizeof text, v);
  if (r.ec == std::errc()) writeBytes(stream, text, static_cast<size_t>(r.ptr - text));
}

}  // namespace

void printBINARYFLOAT(FILE* stream, const SessionContext&, const unsigned char* value,
                      uint32_t length) {
  if (length == 4) {
    uint32_t bits = readBigEndian32(value);
    bits = (value[0] & 0x80) ? bits ^ 0x80000000u : ~bits;
    float f;
    memcpy(&f, &bits, sizeof f);
    writeReal(stream, f);
  } else if (length == 8) {
    uint64_t bits = static_cast<uint64_t>(readBigEndian32(value)) << 32 | readBigEndian32(value + 4);
    bits = (value[0] & 0x80) ? bits ^ 0x8000000000000000ull : ~bits;
    double d;
    memcpy(&d, &bits, sizeof d);
    writeReal(stream, d);
  }
}

bool isStoredText(uint8_t type, uint16_t charsetForm) {
  switch (type) {
    case kColVarchar2:
    case kColVarchar:
    case kColChar: return charsetForm != 2;
    case kColLong: return true;
    default: return false;
  }
}

uint32_t storedTextLength(uint8_t type, const unsigned char* value, uint32_t length) {
  if (type == kColChar)
    while (length > 0 && value[length - 1] == ' ') length--;
  return length;
}

void printCHAR(FILE* stream, const SessionContext&, const unsigned char* value,
               uint32_t length) {
  writeBytes(stream, value, storedTextLength(kColChar, value, length));
}

void printVARCHAR(FILE* stream, const SessionContext&, const unsigned char* value,
                  uint32_t length) {
  writeBytes(stream, value, length);
}

void printNationalText(FILE* stream, const SessionContext& ctx, iconv_t userConverter,
                       const unsigned char* value, uint32_t length) {
  if (userConverter != kNoConverter || ctx.nationalConverter == kNoConverter)
    return iconv_charset_convert(stream, userConverter, value, length);
  const uint64_t replaced = iconv_national_convert(stream, ctx.nationalConverter,
                                                   ctx.nationalSourceUtf8 != 0, value, length);
  if (ctx.nationalUnmapped != nullptr) *ctx.nationalUnmapped += replaced;
}

void printNVARCHAR(FILE* stream, const SessionContext& ctx, const unsigned char* value,
                   uint32_t length) {
  printNationalText(stream, ctx, ctx.ncharConverter, value, length);
}

void printVARRAW(FILE* stream, const SessionContext&, const unsigned char* value,
                 uint32_t length) {
  char text[kHexPieceSize];
  size_t n = 0;
  for (uint32_t i = 0; i < length; i++) {
    text[n++] = kHexDigits[value[i] >> 4];
    text[n++] = kHexDigits[value[i] & 0x0F];
    if (n == kHexPieceSize) {
      writeBytes(stream, text, n);
      n = 0;
    }
  }
  writeBytes(stream, text, n);
}

void printVARRAY(FILE* stream, const SessionContext& ctx, const unsigned char* value,
                 uint32_t length) {
  walkCollection(stream, ctx, value, length,
                 [stream](const unsigned char* e, uint32_t n) { writeBytes(stream, e, n); });
}

void printNARRAY(FILE* stream, const SessionContext& ctx, const unsigned char* value,
                 uint32_t length) {
  walkCollection(stream, ctx, value, length, [stream](const unsigned char* e, uint32_t n) {
    char text[kNumberTextSize];
    size_t t = ora_number_to_string(e, n < kMaxNumberBytes ? n : kMaxNumberBytes, text,
                                    sizeof text);
    writeBytes(stream, text, t);
  });
}

void printFieldValue(FILE* stream, const SessionContext& ctx, const unsigned char* value,
                     uint32_t length, uint8_t type, uint16_t charsetForm) {
  if (value == nullptr || length == 0) return;
  switch (type) {
    case kColSkip:
    case kColClob:
    case kColBlob:
    case kColNClob:
      return;
    case kColVarchar2:
    case kColVarchar:
      if (charsetForm == 2) return printNVARCHAR(stream, ctx, value, length);
      return printVARCHAR(stream, ctx, value, length);
    case kColLong:
      return printVARCHAR(stream, ctx, value, length);
    case kColNumber:
      return printNUMBER(stream, ctx, value, length);
    case kColDate:
      return printDATE(stream, ctx, value, length);
    case kColChar:
      if (charsetForm == 2) return printNVARCHAR(stream, ctx, value, length);
      return printCHAR(stream, ctx, value, length);
    case kColNChar:
      return printNVARCHAR(stream, ctx, value, length);
    case kColBinaryFloat:
    case kColBinaryDouble:
      return printBINARYFLOAT(stream, ctx, value, length);
    case kColNArray:
      return printNARRAY(stream, ctx, value, length);
    case kColVArray:
      return printVARRAY(stream, ctx, value, length);
    case kColTimestamp:
    case kColTimestampTZ:
    case kColTimestampLTZ:
      return printTIMESTAMP(stream, ctx, value, length);
    case kColIntervalYM:
      return printINTERVALYM(stream, ctx, value, length);
    case kColIntervalDS:
      return printINTERVALDS(stream, ctx, value, length);
    default:
      return printVARRAW(stream, ctx, value, length);
  }
}
