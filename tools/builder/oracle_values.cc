#include "tools/builder/oracle_values.h"

#include <cctype>
#include <cstring>

namespace {

constexpr size_t kMaxBase100Digits = 20;

// Splits the text into its sign, significant decimal digits (no leading or
// trailing zeros) and the position of the decimal point relative to the
// first of them: value = 0.DIGITS x 10^point.
bool parseDecimal(const std::string& text, bool& negative, std::string& digits, long& point) {
  size_t i = 0;
  negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::string all;
  long integerDigits = 0;
  bool seenPoint = false;
  bool any = false;
  for (; i < text.size(); i++) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      all.push_back(c);
      if (!seenPoint) integerDigits++;
      any = true;
    } else if (c == '.' && !seenPoint) {
      seenPoint = true;
    } else {
      break;
    }
  }
  if (!any) return false;
  long exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    i++;
    bool expNegative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) expNegative = text[i++] == '-';
    if (i >= text.size()) return false;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); i++) {
      exponent = exponent * 10 + (text[i] - '0');
      if (exponent > 100000) return false;
    }
    if (expNegative) exponent = -exponent;
  }
  if (i != text.size()) return false;
  size_t first = all.find_first_not_of('0');
  if (first == std::string::npos) {
    digits.clear();
    point = 0;
    return true;
  }
  size_t last = all.find_last_not_of('0');
  digits = all.substr(first, last - first + 1);
  point = integerDigits - static_cast<long>(first) + exponent;
  return true;
}

void putDateBytes(OracleBytes& out, const OracleDateTime& t) {
  int century;
  int year;
  if (t.year >= 0) {
    century = t.year / 100 + 100;
    year = t.year % 100 + 100;
  } else {
    century = 100 - (-t.year) / 100;
    year = 100 - (-t.year) % 100;
  }
  out.push_back(static_cast<uint8_t>(century));
  out.push_back(static_cast<uint8_t>(year));
  out.push_back(static_cast<uint8_t>(t.month));
  out.push_back(static_cast<uint8_t>(t.day));
  out.push_back(static_cast<uint8_t>(t.hour + 1));
  out.push_back(static_cast<uint8_t>(t.minute + 1));
  out.push_back(static_cast<uint8_t>(t.second + 1));
}

void putBigEndian(OracleBytes& out, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; i--) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Positive values get the sign bit set, negative ones every bit inverted, so
// that the stored bytes sort in numeric order.
uint64_t sortableBits(uint64_t bits, int width) {
  const uint64_t sign = uint64_t{1} << (width - 1);
  const uint64_t mask = width == 64 ? ~uint64_t{0} : (uint64_t{1} << width) - 1;
  return (bits & sign) ? (~bits & mask) : (bits | sign);
}

}  // namespace

bool encodeOracleNumber(const std::string& text, OracleBytes& out) {
  out.clear();
  bool negative;
  std::string digits;
  long point;
  if (!parseDecimal(text, negative, digits, point)) return false;
  if (digits.empty()) {
    out.push_back(0x80);
    return true;
  }
  // Align the point on a base-100 digit boundary.
  if (point % 2 != 0) {
    digits.insert(digits.begin(), '0');
    point++;
  }
  if (digits.size() % 2 != 0) digits.push_back('0');
  const long exponent = point / 2;  // base-100 digits before the point
  const size_t count = digits.size() / 2;
  // Exponent bytes run from 0x80 (1e-130 and up) to 0xFF for positive
  // values and from 0x7F to 0x00 for negative ones.
  if (count > kMaxBase100Digits || exponent > 63 || exponent < -64) return false;
  out.push_back(static_cast<uint8_t>(negative ? 63 - exponent : 192 + exponent));
  for (size_t i = 0; i < count; i++) {
    int d = (digits[2 * i] - '0') * 10 + (digits[2 * i + 1] - '0');
    out.push_back(static_cast<uint8_t>(negative ? 101 - d : d + 1));
  }
  if (negative && count < kMaxBase100Digits) out.push_back(102);
  return true;
}

OracleBytes encodeOracleDate(const OracleDateTime& t) {
  OracleBytes out;
  putDateBytes(out, t);
  return out;
}

OracleBytes encodeOracleTimestamp(const OracleDateTime& t, uint32_t nanoseconds) {
  OracleBytes out;
  putDateBytes(out, t);
  if (nanoseconds != 0) putBigEndian(out, nanoseconds, 4);
  return out;
}

OracleBytes encodeOracleTimestampTZ(const OracleDateTime& utc, uint32_t nanoseconds,
                                    int zoneHours, int zoneMinutes) {
  OracleBytes out;
  putDateBytes(out, utc);
  putBigEndian(out, nanoseconds, 4);
  out.push_back(static_cast<uint8_t>(zoneHours + 20));
  out.push_back(static_cast<uint8_t>(zoneMinutes + 60));
  return out;
}

// Each field plus its offset: 2^31 for the 32-bit ones, 60 for the bytes.
OracleBytes encodeOracleIntervalYM(int32_t years, int32_t months) {
  OracleBytes out;
  putBigEndian(out, static_cast<uint64_t>(static_cast<int64_t>(years) + 0x80000000LL), 4);
  out.push_back(static_cast<uint8_t>(months + 60));
  return out;
}

OracleBytes encodeOracleIntervalDS(int32_t days, int32_t hours, int32_t minutes, int32_t seconds,
                                   int32_t nanoseconds) {
  OracleBytes out;
  putBigEndian(out, static_cast<uint64_t>(static_cast<int64_t>(days) + 0x80000000LL), 4);
  out.push_back(static_cast<uint8_t>(hours + 60));
  out.push_back(static_cast<uint8_t>(minutes + 60));
  out.push_back(static_cast<uint8_t>(seconds + 60));
  putBigEndian(out, static_cast<uint64_t>(static_cast<int64_t>(nanoseconds) + 0x80000000LL), 4);
  return out;
}

OracleBytes encodeOracleBinaryFloat(float value) {
  uint32_t bits;
  memcpy(&bits, &value, sizeof bits);
  OracleBytes out;
  putBigEndian(out, sortableBits(bits, 32), 4);
  return out;
}

OracleBytes encodeOracleBinaryDouble(double value) {
  uint64_t bits;
  memcpy(&bits, &value, sizeof bits);
  OracleBytes out;
  putBigEndian(out, sortableBits(bits, 64), 8);
  return out;
}
// UTF-8 text as AL16UTF16 (UTF-16 big-endian, surrogate pairs above
// U+FFFF); false for bytes that are not UTF-8.
bool encodeUtf16(const std::string& text, OracleBytes& out) {
  out.clear();
  for (size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (n == 0 || i + n > text.size()) return false;
    uint32_t cp = n == 1 ? lead : lead & (0xFF >> (n + 1));
    for (size_t k = 1; k < n; k++) {
      const unsigned char c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = cp << 6 | (c & 0x3F);
    }
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      const uint32_t high = 0xD800 + (cp >> 10), low = 0xDC00 + (cp & 0x3FF);
      out.insert(out.end(), {static_cast<uint8_t>(high >> 8), static_cast<uint8_t>(high),
                             static_cast<uint8_t>(low >> 8), static_cast<uint8_t>(low)});
    } else {
      out.insert(out.end(), {static_cast<uint8_t>(cp >> 8), static_cast<uint8_t>(cp)});
    }
  }
  return true;
}

