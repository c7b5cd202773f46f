// NUMBER decoding: fixed encodings, the validity test, and a round trip of
// many random decimals through the builder's encoder.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "values/value_format.h"
#include "tests/support/render_util.h"
#include "tools/builder/oracle_values.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool validNumber(const Bytes& b) {
  std::unique_ptr<unsigned char[]> exact(new unsigned char[b.size() ? b.size() : 1]);
  if (!b.empty()) memcpy(exact.get(), b.data(), b.size());
  return ora_valid_number(exact.get(), b.size());
}

TEST(NumberFormat, FixedEncodings) {
  EXPECT_EQ("1", numberText({0xC1, 0x02}));
  EXPECT_EQ("100", numberText({0xC2, 0x02}));
  EXPECT_EQ("0.5", numberText({0xC0, 0x33}));
  EXPECT_EQ("1.5", numberText({0xC1, 0x02, 0x33}));
  EXPECT_EQ("-1", numberText({0x3E, 0x64, 0x66}));
  EXPECT_EQ("0", numberText({0x80}));
  EXPECT_EQ("", numberText({0x80, 0x00}));
  EXPECT_EQ("0.1", numberText({0xC0, 0x0B}));
  EXPECT_EQ("0.001", numberText({0xBF, 0x0B}));
  EXPECT_EQ("10000", numberText({0xC3, 0x02}));
  EXPECT_EQ("-1000", numberText({0x3D, 0x5B, 0x66}));
  EXPECT_EQ("123.45", numberText({0xC2, 0x02, 0x18, 0x2E}));
  EXPECT_EQ("-0.05", numberText({0x3F, 0x60, 0x66}));
  EXPECT_EQ("-0.0005", numberText({0x40, 0x60, 0x66}));
  EXPECT_EQ("", numberText({}));
}

// A negative number with a full 20-digit mantissa has no closing 102.
TEST(NumberFormat, FullNegativeMantissaKeepsEveryDigit) {
  Bytes third(21, 0x44);
  third[0] = 0x3F;
  EXPECT_EQ("-0." + std::string(40, '3'), numberText(third));
  EXPECT_TRUE(validNumber(third));
  Bytes encoded;
  ASSERT_TRUE(encodeOracleNumber("-0." + std::string(40, '3'), encoded));
  EXPECT_EQ(third, encoded);
}

// The smallest positive values use exponent byte 0x80, which alone is zero.
TEST(NumberFormat, SmallestExponent) {
  EXPECT_EQ("0." + std::string(129, '0') + "1", numberText({0x80, 0x02}));
  EXPECT_TRUE(validNumber({0x80, 0x02}));
  EXPECT_EQ("-0." + std::string(129, '0') + "1", numberText({0x7F, 0x64, 0x66}));
  EXPECT_EQ("99" + std::string(124, '0'), numberText({0xFF, 0x64}));
}

TEST(NumberFormat, MalformedDigitsAndSmallBuffersWriteNothing) {
  EXPECT_EQ("", numberText({0xC1}));              // no digits
  EXPECT_EQ("", numberText({0xC1, 0x00}));        // digit byte 0
  EXPECT_EQ("", numberText({0xC1, 0x65}));        // digit byte 101
  EXPECT_EQ("", numberText({0x3E, 0x66}));        // sign and terminator only
  EXPECT_EQ("", numberText({0x3E, 0x01, 0x66}));  // negative digit byte 1
  const unsigned char bytes[] = {0xC2, 0x02, 0x18, 0x2E};
  char text[5];
  EXPECT_EQ(0u, ora_number_to_string(bytes, 4, text, sizeof text));
  char room[6];
  EXPECT_EQ(6u, ora_number_to_string(bytes, 4, room, sizeof room));
  EXPECT_EQ("123.45", std::string(room, 6));
}

TEST(NumberFormat, Validity) {
  EXPECT_TRUE(validNumber({0x80}));
  EXPECT_TRUE(validNumber({0xC1, 0x02}));
  EXPECT_TRUE(validNumber({0x3E, 0x64, 0x66}));
  Bytes positive20(21, 0x02);
  positive20[0] = 0xC1;
  EXPECT_TRUE(validNumber(positive20));
  Bytes negative20(22, 0x64);
  negative20[0] = 0x3E;
  negative20[21] = 102;
  EXPECT_TRUE(validNumber(negative20));

  EXPECT_FALSE(validNumber({}));
  EXPECT_FALSE(validNumber({0x80, 0x00}));
  EXPECT_FALSE(validNumber({0xC1}));
  EXPECT_FALSE(validNumber({0xC1, 0x00}));
  EXPECT_FALSE(validNumber({0xC1, 0x65}));
  EXPECT_FALSE(validNumber({0x3E, 0x66}));
  EXPECT_FALSE(validNumber({0x3E, 0x64}));        // short mantissa without 102
  EXPECT_FALSE(validNumber({0x3E, 0x01, 0x66}));
  EXPECT_FALSE(validNumber({0x3E, 0x66, 0x66}));
  Bytes positive21(22, 0x02);
  positive21[0] = 0xC1;
  EXPECT_FALSE(validNumber(positive21));
  Bytes negative21(23, 0x64);
  negative21[0] = 0x3E;
  negative21[22] = 102;
  EXPECT_FALSE(validNumber(negative21));
}

// Plain decimal text of 0.DIGITS x 10^point, written without the decoder.
std::string plainDecimal(bool negative, const std::string& digits, long point) {
  if (digits.empty()) return "0";
  std::string s = negative ? "-" : "";
  const long n = static_cast<long>(digits.size());
  if (point <= 0) s += "0." + std::string(static_cast<size_t>(-point), '0') + digits;
  else if (point >= n) s += digits + std::string(static_cast<size_t>(point - n), '0');
  else s += digits.substr(0, static_cast<size_t>(point)) + "." + digits.substr(static_cast<size_t>(point));
  return s;
}

struct RandomDecimal {
  std::string text;      // as handed to the encoder
  std::string expected;  // as the decoder must write it
};

// Significant digits (no leading or trailing zero) placed at a random point,
// written either plainly or with an exponent.
RandomDecimal makeRandomDecimal(std::mt19937_64& rng) {
  std::uniform_int_distribution<int> digit(0, 9), nonZero(1, 9), coin(0, 1);
  const int shape = static_cast<int>(rng() % 4);
  size_t count;
  long point;
  if (shape == 0) {  // integers
    count = 1 + rng() % 38;
    point = static_cast<long>(count + rng() % 3);
  } else if (shape == 1) {  // everyday decimals
    count = 1 + rng() % 38;
    point = static_cast<long>(rng() % 41) - 20;
  } else {  // anywhere in Oracle's range: 1e-130 <= |x| < 1e126
    count = 1 + rng() % 38;
    point = static_cast<long>(rng() % 256) - 129;
  }
  std::string digits;
  for (size_t i = 0; i < count; i++) {
    bool edge = i == 0 || i + 1 == count;
    digits.push_back(static_cast<char>('0' + (edge ? nonZero(rng) : digit(rng))));
  }
  const bool negative = coin(rng) == 1;
  RandomDecimal r;
  r.expected = plainDecimal(negative, digits, point);
  if (shape == 3) {
    r.text = (negative ? "-" : "") + digits.substr(0, 1) + "." + digits.substr(1) + "e" +
             std::to_string(point - 1);
  } else {
    r.text = r.expected;
  }
  return r;
}

TEST(NumberFormat, RoundTripThroughBuilderEncoder) {
  std::mt19937_64 rng(20240229);
  int checked = 0;
  for (int i = 0; i < 60000; i++) {
    RandomDecimal value = makeRandomDecimal(rng);
    Bytes encoded;
    ASSERT_TRUE(encodeOracleNumber(value.text, encoded)) << value.text;
    ASSERT_LE(encoded.size(), 22u) << value.text;
    ASSERT_TRUE(validNumber(encoded)) << value.text;
    ASSERT_EQ(value.expected, numberText(encoded)) << value.text;
    checked++;
  }
  // Every 64-bit integer form, including the extremes.
  std::vector<std::string> integers = {"0", "1", "-1", "99", "-99", "100", "-100",
                                       "9223372036854775807", "-9223372036854775808"};
  for (int i = 0; i < 5000; i++) integers.push_back(std::to_string(static_cast<int64_t>(rng())));
  for (const std::string& text : integers) {
    Bytes encoded;
    ASSERT_TRUE(encodeOracleNumber(text, encoded)) << text;
    ASSERT_EQ(text, numberText(encoded));
    checked++;
  }
  EXPECT_EQ(65009, checked);
}

TEST(NumberFormat, EncoderRefusesWhatOracleCannotHold) {
  Bytes out;
  EXPECT_FALSE(encodeOracleNumber("1e126", out));
  EXPECT_FALSE(encodeOracleNumber("1e-131", out));
  EXPECT_FALSE(encodeOracleNumber("12345678901234567890123456789012345678901", out));
  EXPECT_FALSE(encodeOracleNumber("abc", out));
  EXPECT_FALSE(encodeOracleNumber("1.2.3", out));
  EXPECT_TRUE(encodeOracleNumber("9.9e125", out));
  EXPECT_TRUE(encodeOracleNumber("1e-130", out));
  EXPECT_EQ((Bytes{0x80, 0x02}), out);
}

}  // namespace
