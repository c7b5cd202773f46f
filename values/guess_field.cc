#include "values/guess_field.h"

#include <cstring>

#include "values/charset.h"

namespace {

constexpr size_t kDateLength = 7;
constexpr size_t kTimestampLength = 11;
constexpr size_t kTimestampTZLength = 13;
constexpr size_t kLobLocatorShort = 20;
constexpr size_t kLobLocatorLong = 30;

// Printable ASCII or white space, independent of the locale.
bool isTextByte(unsigned char b) {
  return (b >= 0x20 && b <= 0x7E) || (b >= 0x09 && b <= 0x0D);
}

// A byte below 0x80 inside a text value: text, or a zero ending the value.
bool isSingleTextByte(const unsigned char* bytes, size_t length, size_t i) {
  return isTextByte(bytes[i]) || (bytes[i] == 0 && i + 1 == length);
}

bool isUtf8Text(const unsigned char* bytes, size_t length) {
  for (size_t i = 0; i < length;) {
    const unsigned char b = bytes[i];
    if (b < 0x80) {
      if (!isSingleTextByte(bytes, length, i)) return false;
      i++;
      continue;
    }
    size_t trail;
    if ((b & 0xE0) == 0xC0) trail = 1;
    else if ((b & 0xF0) == 0xE0) trail = 2;
    else if ((b & 0xF8) == 0xF0) trail = 3;
    else return false;
    if (trail >= length - i) return false;
    for (size_t k = 1; k <= trail; k++)
      if ((bytes[i + k] & 0xC0) != 0x80) return false;
    i += trail + 1;
  }
  return true;
}

bool isDoubleByteText(const unsigned char* bytes, size_t length) {
  for (size_t i = 0; i < length;) {
    const unsigned char b = bytes[i];
    if (b < 0x80) {
      if (!isSingleTextByte(bytes, length, i)) return false;
      i++;
      continue;
    }
    if (b < 0x81 || b > 0xFE || i + 1 >= length) return false;
    const unsigned char t = bytes[i + 1];
    if (t < 0x40 || t == 0x7F || t == 0xFF) return false;
    i += 2;
  }
  return true;
}

bool isLobLocator(const unsigned char* bytes, size_t length, uint8_t kind) {
  if (length != kLobLocatorShort && length < kLobLocatorLong) return false;
  if (length >= kLobLocatorLong && length != ((size_t(bytes[20]) << 8 | bytes[21]) + 20)) return false;
  if (bytes[0] != 0x00 || (bytes[1] != 0x70 && bytes[1] != 0x54)) return false;
  if (bytes[2] != 0x00 || bytes[3] != 0x01) return false;
  if (bytes[8] != 0x00 || bytes[9] != kind) return false;
  int zeros = 0;
  for (size_t i = 10; i < 20; i++) zeros += bytes[i] == 0;
  return zeros > 2;
}

// The value's bytes when it lies inside the block, else nullptr.
const unsigned char* valueBytes(const SessionContext& ctx, uint32_t offset, uint32_t length) {
  if (ctx.blockBuffer == nullptr) return nullptr;
  if (uint64_t(offset) + length > ctx.blockSize) return nullptr;
  return ctx.blockBuffer + offset;
}

// The type a column's first value suggests; `current` when none fits.
uint8_t firstGuess(const unsigned char* v, size_t length, uint8_t current) {
  if (isGuessValidDate(v, length)) {
    if (length == kDateLength) return kColDate;
    if (length == kTimestampLength) return kColTimestamp;
    return kColTimestampTZ;
  }
  if (isGuessValidNumber(v, length)) return kColNumber;
  if (isGuessValidCLOB(v, length)) return kColClob;
  if (isGuessValidBLOB(v, length)) return kColBlob;
  const bool text = isGuessValidChar(v, length);
  if (length == 4 && !text) return kColBinaryFloat;
  if (length == 8 && !text) return kColBinaryDouble;
  if (text) return kColVarchar;
  return current;
}

// A later value revises the guess by what the column can no longer be.
uint8_t revisedGuess(const unsigned char* v, size_t length, uint8_t type, uint8_t flags) {
  switch (type) {
    case kColNumber:
      return (flags & kGuessNotNumber) ? uint8_t{kColVarchar} : type;
    case kColVarchar:
      return (flags & kGuessNotChar) ? uint8_t{kColRaw} : type;
    case kColDate:
    case kColTimestamp:
    case kColTimestampTZ:
      if (flags & (kGuessLengthVaries | kGuessNotDate))
        return isGuessValidNumber(v, length) ? kColNumber : kColVarchar;
      return type;
    case kColBinaryFloat:
    case kColBinaryDouble:
      return (flags & kGuessLengthVaries) ? uint8_t{kColVarchar} : type;
    case kColClob:
      return (flags & kGuessNotClob) ? uint8_t{kColVarchar} : type;
    case kColBlob:
      return (flags & kGuessNotBlob) ? uint8_t{kColVarchar} : type;
    default:
      return type;
  }
}

}  // namespace

void resetColumnStats(ColumnStats& stats) {
  stats.objd = 0;
  stats.columnCount = 0;
  memset(stats.flags, 0, sizeof stats.flags);
  memset(stats.type, kColRaw, sizeof stats.type);
  memset(stats.count, 0, sizeof stats.count);
  memset(stats.firstLength, 0, sizeof stats.firstLength);
}

bool isGuessValidNumber(const unsigned char* bytes, size_t length) {
  if (bytes == nullptr || length == 0) return false;
  const unsigned char e = bytes[0];
  if (e == 0x80) return length == 1;
  if (e > 0x80) {
    if (length > 21) return false;
    for (size_t i = 1; i < length; i++)
      if (bytes[i] < 1 || bytes[i] > 100) return false;
    return true;
  }
  // Negative: the digits are stored as 101 − d and end with the byte 102.
  if (length > 22 || bytes[length - 1] != 102) return false;
  for (size_t i = 1; i + 1 < length; i++)
    if (bytes[i] < 2 || bytes[i] > 101) return false;
  return true;
}

bool isGuessValidDate(const unsigned char* bytes, size_t length) {
  if (bytes == nullptr) return false;
  if (length != kDateLength && length != kTimestampLength && length != kTimestampTZLength)
    return false;
  // Hour, minute and second are stored plus 1; a zero byte passes as well.
  return bytes[0] >= 51 && bytes[0] <= 149 && bytes[2] >= 1 && bytes[2] <= 12 && bytes[3] >= 1 &&
         bytes[3] <= 31 && bytes[4] <= 24 && bytes[5] <= 60 && bytes[6] <= 60;
}

bool isGuessValidCLOB(const unsigned char* bytes, size_t length) {
  return bytes != nullptr && isLobLocator(bytes, length, 0x02);
}

bool isGuessValidBLOB(const unsigned char* bytes, size_t length) {
  return bytes != nullptr && isLobLocator(bytes, length, 0x01);
}

// Plain ASCII text is a case of the UTF-8 test, so it needs no test of its own.
bool isGuessValidChar(const unsigned char* bytes, size_t length) {
  if (bytes == nullptr) return false;
  return isUtf8Text(bytes, length) || isDoubleByteText(bytes, length) ||
         is_valid_ucs2be_string(bytes, length) || is_valid_ucs2le_string(bytes, length);
}

bool isGuessValidNumber(const SessionContext& ctx, uint32_t offset, uint32_t length) {
  return isGuessValidNumber(valueBytes(ctx, offset, length), length);
}
bool isGuessValidDate(const SessionContext& ctx, uint32_t offset, uint32_t length) {
  return isGuessValidDate(valueBytes(ctx, offset, length), length);
}
bool isGuessValidCLOB(const SessionContext& ctx, uint32_t offset, uint32_t length) {
  return isGuessValidCLOB(valueBytes(ctx, offset, length), length);
}
bool isGuessValidBLOB(const SessionContext& ctx, uint32_t offset, uint32_t length) {
  return isGuessValidBLOB(valueBytes(ctx, offset, length), length);
}
bool isGuessValidChar(const SessionContext& ctx, uint32_t offset, uint32_t length) {
  return isGuessValidChar(valueBytes(ctx, offset, length), length);
}

void guessField(SessionContext& ctx, uint32_t offset, uint32_t length, uint32_t column) {
  if (ctx.columnStats == nullptr || ctx.blockBuffer == nullptr) return;
  if (column >= static_cast<uint32_t>(kMaxColumns)) return;
  // A value reaching the block's last 3 bytes (the tail) is not column data.
  if (ctx.blockSize <= 3 || uint64_t(offset) + length >= uint64_t(ctx.blockSize) - 3) return;
  ColumnStats& s = *ctx.columnStats;
  if (column + 1 > s.columnCount) s.columnCount = static_cast<uint16_t>(column + 1);
  if (length == 0) return;

  const unsigned char* v = ctx.blockBuffer + offset;
  const bool first = s.count[column] == 0;
  if (s.count[column] < UINT16_MAX) s.count[column]++;
  if (first) s.firstLength[column] = static_cast<uint16_t>(length);

  uint8_t& flags = s.flags[column];
  if (length != s.firstLength[column]) flags |= kGuessLengthVaries;
  if (!(flags & kGuessNotNumber) && !isGuessValidNumber(v, length)) flags |= kGuessNotNumber;
  if (!(flags & kGuessNotDate) && !isGuessValidDate(v, length)) flags |= kGuessNotDate;
  if (!(flags & kGuessNotClob) && !isGuessValidCLOB(v, length)) flags |= kGuessNotClob;
  if (!(flags & kGuessNotBlob) && !isGuessValidBLOB(v, length)) flags |= kGuessNotBlob;
  if (!(flags & kGuessNotChar) && !isGuessValidChar(v, length)) flags |= kGuessNotChar;

  s.type[column] = first ? firstGuess(v, length, s.type[column])
                         : revisedGuess(v, length, s.type[column], flags);
}

const char* getGuessTypeWord(uint8_t type, uint16_t firstLength) {
  switch (type) {
    case kColVarchar2: return " VARCHAR2";
    case kColNumber: return " NUMBER";
    case kColVarchar: return " VARCHAR";
    case kColDate: return " DATE";
    case kColBinaryFloat: return " BINARY_FLOAT";
    case kColBinaryDouble: return " BINARY_DOUBLE";
    case kColClob: return " CLOB";
    case kColBlob: return " BLOB";
    case kColTimestamp: return " TIMESTAMP";
    case kColTimestampTZ: return " TIMESTAMPTZ";
    default: return firstLength != 0 ? " RAW" : " UNKNOWN";
  }
}

void printGuessedColumns(FILE* out, const ColumnStats& stats) {
  const int n = stats.columnCount < kMaxColumns ? stats.columnCount : kMaxColumns;
  for (int i = 0; i < n; i++) {
    if (i % 10 == 0) fputs(" \n      ", out);
    fputs(getGuessTypeWord(stats.type[i], stats.firstLength[i]), out);
  }
  const int rest = n % 10;
  if (rest == 0 || rest >= 5) fputs(" \n      ", out);
}
