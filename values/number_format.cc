// Oracle NUMBER: an exponent byte and up to 20 base-100 mantissa digits.
//
// Positive numbers store each digit plus 1 and an exponent byte of 192 plus
// the count of integer digits. Negative numbers store 101 minus each digit,
// the exponent byte inverted, and a closing byte 102 when the mantissa is
// shorter than 20 digits; a full 20-digit negative mantissa has no closing
// byte, so the last byte is dropped only when it is 102.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "values/value_format.h"

namespace {

constexpr unsigned char kNegativeTerminator = 102;
constexpr size_t kMaxMantissaDigits = 20;

// Digit value of one mantissa byte, or -1 when the byte is not a digit.
inline int mantissaDigit(unsigned char byte, bool negative) {
  int d = negative ? 101 - static_cast<int>(byte) : static_cast<int>(byte) - 1;
  return d >= 0 && d <= 99 ? d : -1;
}

// Writes the text of a number whose room was checked by the caller.
size_t formatNumber(const unsigned char* bytes, size_t digits, bool negative, int k, char* text) {
  char* p = text;
  if (negative) *p++ = '-';
  bool point = false;
  if (k <= 0) {
    *p++ = '0';
    *p++ = '.';
    point = true;
    for (int i = 0; i < -k; i++) {
      *p++ = '0';
      *p++ = '0';
    }
  }
  for (size_t i = 0; i < digits; i++) {
    const int d = mantissaDigit(bytes[1 + i], negative);
    if (d < 0) return 0;
    if (k > 0 && i == static_cast<size_t>(k)) {
      *p++ = '.';
      point = true;
    }
    const int tens = d / 10;
    const int units = d - tens * 10;
    if (!(i == 0 && tens == 0 && !point)) *p++ = static_cast<char>('0' + tens);
    if (!(i + 1 == digits && units == 0 && point)) *p++ = static_cast<char>('0' + units);
  }
  for (size_t i = digits; k > 0 && i < static_cast<size_t>(k); i++) {
    *p++ = '0';
    *p++ = '0';
  }
  return static_cast<size_t>(p - text);
}

}  // namespace

size_t ora_number_to_string(const unsigned char* bytes, size_t length, char* text,
                            size_t capacity) {
  if (bytes == nullptr || text == nullptr || length == 0) return 0;
  const unsigned e = bytes[0];
  // 0x80 alone is zero; followed by digits it is the exponent of the
  // smallest positive values (1e-130 to 1e-128).
  if (e == 0x80 && length == 1) {
    if (capacity < 1) return 0;
    text[0] = '0';
    return 1;
  }
  const bool negative = e < 0x80;
  size_t digits = length - 1;
  if (negative && bytes[length - 1] == kNegativeTerminator) digits--;
  // A mantissa with no digit is no number at all.
  if (digits == 0) return 0;
  // k: base-100 digits before the decimal point.
  const int k = negative ? 63 - static_cast<int>(e) : static_cast<int>(e) - 192;

  // Longest text: sign, "0.", the leading zero pairs, every digit pair or the
  // integer digits with their trailing zero pairs, and the point.
  const size_t leadingPairs = k < 0 ? static_cast<size_t>(-k) : 0;
  const size_t bodyPairs =
      k > 0 && static_cast<size_t>(k) > digits ? static_cast<size_t>(k) : digits;
  const size_t longest = 4 + 2 * leadingPairs + 2 * bodyPairs;
  if (longest <= capacity) return formatNumber(bytes, digits, negative, k, text);
  // A small caller buffer: format aside, keep the text only if it fits.
  char aside[kNumberTextSize * 2];
  if (longest > sizeof aside) return 0;
  size_t n = formatNumber(bytes, digits, negative, k, aside);
  if (n > capacity) return 0;
  memcpy(text, aside, n);
  return n;
}

// Negative values need at least one digit: with the closing byte 102 when
// the mantissa is shorter than 20 digits, without it when it has 20.
// Positive values have 1 to 20 digits, each byte 1..100; their exponent byte
// may be 0x80 (1e-130 up to 1e-128), which alone means zero.
bool ora_valid_number(const unsigned char* bytes, size_t length) {
  if (bytes == nullptr || length == 0) return false;
  const unsigned e = bytes[0];
  if (e == 0x80 && length == 1) return true;
  size_t digits = length - 1;
  if (e < 0x80) {
    if (bytes[length - 1] == kNegativeTerminator) {
      digits--;
      if (digits == 0 || digits >= kMaxMantissaDigits + 1) return false;
    } else if (digits != kMaxMantissaDigits) {
      return false;
    }
    for (size_t i = 1; i <= digits; i++) {
      if (bytes[i] < 2 || bytes[i] > 101) return false;
    }
    return true;
  }
  if (digits == 0 || digits > kMaxMantissaDigits) return false;
  for (size_t i = 1; i <= digits; i++) {
    if (bytes[i] < 1 || bytes[i] > 100) return false;
  }
  return true;
}
