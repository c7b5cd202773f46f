// Rendering of column values by type: dates, timestamps, floats, character
// and national values, RAW, collections, and the block bounds of printField.
#include <gtest/gtest.h>

#include <iconv.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "export/dmp_writer.h"
#include "values/charset.h"
#include "rows/print_field.h"
#include "values/value_format.h"
#include "tests/support/render_util.h"
#include "tools/builder/oracle_values.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string withPrintf(const char* format, int precision, double v) {
  char buf[512];
  snprintf(buf, sizeof buf, format, precision, v);
  return buf;
}

TEST(DateFormat, FixedValuesAndLengths) {
  const Bytes leap = {0x78, 0x7C, 0x02, 0x1D, 0x01, 0x01, 0x01};
  EXPECT_EQ("2024-02-29 00:00:00", renderValue(leap, kColDate));
  EXPECT_EQ("1999-12-31 23:59:58", renderValue({119, 199, 12, 31, 24, 60, 59}, kColDate));
  // Zero time bytes show as 00 rather than -1.
  EXPECT_EQ("2024-02-29 00:00:00", renderValue({0x78, 0x7C, 0x02, 0x1D, 0, 0, 0}, kColDate));
  EXPECT_EQ("", renderValue({0x78, 0x7C, 0x02, 0x1D, 0x01, 0x01}, kColDate));
  EXPECT_EQ("", renderValue({0x78, 0x7C, 0x02, 0x1D, 0x01, 0x01, 0x01, 0x01}, kColDate));
}

TEST(DateFormat, YearsBeforeOneCarryASign) {
  OracleDateTime julianStart{-4712, 1, 1, 0, 0, 0};
  EXPECT_EQ((Bytes{53, 88, 1, 1, 1, 1, 1}), encodeOracleDate(julianStart));
  EXPECT_EQ("-4712-01-01 00:00:00", renderValue(encodeOracleDate(julianStart), kColDate));
  EXPECT_EQ("-0001-12-31 23:59:59",
            renderValue(encodeOracleDate({-1, 12, 31, 23, 59, 59}), kColDate));
  EXPECT_EQ("0001-01-01 00:00:00", renderValue(encodeOracleDate({1, 1, 1, 0, 0, 0}), kColDate));
  EXPECT_EQ("9999-12-31 23:59:59",
            renderValue(encodeOracleDate({9999, 12, 31, 23, 59, 59}), kColDate));
}

TEST(DateFormat, RandomDatesRoundTrip) {
  std::mt19937 rng(7);
  for (int i = 0; i < 5000; i++) {
    OracleDateTime t;
    do t.year = static_cast<int>(rng() % 14712) - 4712;
    while (t.year == 0);
    t.month = 1 + static_cast<int>(rng() % 12);
    t.day = 1 + static_cast<int>(rng() % 28);
    t.hour = static_cast<int>(rng() % 24);
    t.minute = static_cast<int>(rng() % 60);
    t.second = static_cast<int>(rng() % 60);
    char expected[64];
    snprintf(expected, sizeof expected, "%s%04d-%02d-%02d %02d:%02d:%02d", t.year < 0 ? "-" : "",
             t.year < 0 ? -t.year : t.year, t.month, t.day, t.hour, t.minute, t.second);
    ASSERT_EQ(expected, renderValue(encodeOracleDate(t), kColDate));
    ASSERT_EQ(expected, renderValue(encodeOracleDate(t), kColTimestamp));
  }
}

TEST(TimestampFormat, SevenElevenAndThirteenBytes) {
  const OracleDateTime t{2014, 2, 28, 0, 2, 32};
  EXPECT_EQ("2014-02-28 00:02:32", renderValue(encodeOracleTimestamp(t, 0), kColTimestamp));
  EXPECT_EQ("2014-02-28 00:02:32.212000",
            renderValue(encodeOracleTimestamp(t, 212000000), kColTimestamp));
  Bytes half = encodeOracleTimestamp(t, 1);
  half[7] = 0x00, half[8] = 0x07, half[9] = 0xA1, half[10] = 0x20;  // 500000 ns
  EXPECT_EQ("2014-02-28 00:02:32.000500", renderValue(half, kColTimestampLTZ));
  // With a time zone the stored time is UTC, whatever zone it was entered in.
  EXPECT_EQ("2014-02-28 00:02:32.212000 +00:00",
            renderValue(encodeOracleTimestampTZ(t, 212000000, 5, 30), kColTimestampTZ));
  EXPECT_EQ("2014-02-28 00:02:32.000000 +00:00",
            renderValue(encodeOracleTimestampTZ(t, 0, -8, 0), kColTimestampTZ));
  Bytes twelve = encodeOracleTimestamp(t, 5);
  twelve.push_back(0);
  EXPECT_EQ("", renderValue(twelve, kColTimestamp));
  EXPECT_EQ("", renderValue({120, 124, 2, 29}, kColTimestamp));
  EXPECT_EQ("", renderValue(Bytes(14, 100), kColTimestamp));
}

TEST(IntervalFormat, LiteralForm) {
  // Two values as a database server stores them.
  EXPECT_EQ("+2021-10", renderValue({0x80, 0x00, 0x07, 0xE5, 0x46}, kColIntervalYM));
  EXPECT_EQ("+02 12:23:34.456000",
            renderValue({0x80, 0, 0, 0x02, 0x48, 0x53, 0x5E, 0x9B, 0x2E, 0x02, 0x00}, kColIntervalDS));
  const struct {
    Bytes stored;
    const char* text;
  } cases[] = {
      {encodeOracleIntervalYM(2, 3), "+02-03"},
      {encodeOracleIntervalYM(-1, -2), "-01-02"},
      {encodeOracleIntervalYM(0, -5), "-00-05"},
      {encodeOracleIntervalYM(0, 0), "+00-00"},
      {encodeOracleIntervalYM(999999999, 11), "+999999999-11"},
      {encodeOracleIntervalYM(-999999999, -11), "-999999999-11"},
      {encodeOracleIntervalDS(-1, -2, -3, -4, -500000000), "-01 02:03:04.500000"},
      {encodeOracleIntervalDS(0, 0, 0, 0, 1), "+00 00:00:00.000000001"},
      {encodeOracleIntervalDS(0, 0, 0, 0, -123456789), "-00 00:00:00.123456789"},
      {encodeOracleIntervalDS(0, 0, -1, 0, 0), "-00 00:01:00.000000"},
      {encodeOracleIntervalDS(0, 0, 0, 0, 0), "+00 00:00:00.000000"},
      {encodeOracleIntervalDS(123, 23, 59, 59, 999999999), "+123 23:59:59.999999999"},
      {encodeOracleIntervalDS(-999999999, -23, -59, -59, -999999000), "-999999999 23:59:59.999999"},
      // Fail closed: a field out of range, fields of both signs, a wrong length.
      {encodeOracleIntervalYM(1, 12), ""},
      {encodeOracleIntervalYM(1, -1), ""},
      {encodeOracleIntervalYM(1000000000, 0), ""},
      {encodeOracleIntervalDS(1, 24, 0, 0, 0), ""},
      {encodeOracleIntervalDS(0, 0, 60, 0, 0), ""},
      {encodeOracleIntervalDS(0, 0, 0, -60, 0), ""},
      {encodeOracleIntervalDS(0, 0, 0, 0, 1000000000), ""},
      {encodeOracleIntervalDS(-1, 0, 0, 0, 5), ""},
      {encodeOracleIntervalDS(1000000000, 0, 0, 0, 0), ""},
      {{0x80, 0x00, 0x07, 0xE5}, ""},
      {{0x80, 0x00, 0x07, 0xE5, 0x46, 0x00}, ""},
      {{0x80, 0, 0, 0x02, 0x48, 0x53, 0x5E, 0x9B, 0x2E, 0x02}, ""},
  };
  for (const auto& c : cases) {
    const uint8_t type = c.stored.size() <= 6 ? kColIntervalYM : kColIntervalDS;
    EXPECT_EQ(c.text, renderValue(c.stored, type)) << c.text;
  }
  // Each printer takes only its own length.
  EXPECT_EQ("", renderValue(encodeOracleIntervalYM(2, 3), kColIntervalDS));
  EXPECT_EQ("", renderValue(encodeOracleIntervalDS(1, 0, 0, 0, 0), kColIntervalYM));
}

// Stored bytes and the expected text, worked out with Python's struct and
// repr (shortest digits that read back), written as printf's %f or %e form,
// whichever is shorter (%f on a tie).
struct FloatCase {
  Bytes stored;
  const char* text;
};

// Nanoseconds that are whole microseconds keep six digits; any other value
// shows all nine, in every timestamp type.
TEST(TimestampFormat, FractionDigits) {
  const OracleDateTime t{2014, 2, 28, 0, 2, 32};
  const struct {
    uint32_t nanoseconds;
    const char* fraction;
  } cases[] = {{212000000, ".212000"}, {500000, ".000500"}, {1000, ".000001"},
               {999999000, ".999999"}, {1, ".000000001"}, {212000001, ".212000001"},
               {123456789, ".123456789"}, {999999999, ".999999999"}, {100, ".000000100"},
               {20, ".000000020"}};
  for (const auto& c : cases) {
    const std::string at = std::string("2014-02-28 00:02:32") + c.fraction;
    EXPECT_EQ(at, renderValue(encodeOracleTimestamp(t, c.nanoseconds), kColTimestamp));
    EXPECT_EQ(at, renderValue(encodeOracleTimestamp(t, c.nanoseconds), kColTimestampLTZ));
    EXPECT_EQ(at + " +00:00",
              renderValue(encodeOracleTimestampTZ(t, c.nanoseconds, 1, 0), kColTimestampTZ));
  }
}

TEST(FloatFormat, ShortestTextThatReadsBack) {
  const FloatCase cases[] = {
      {{0xC0, 0x60, 0x00, 0x00}, "3.5"},
      {{0x3C, 0xF9, 0x8C, 0xCC}, "-134.45"},  // Oracle's own bytes for -134.45
      {{0xBD, 0xFC, 0xD6, 0xEA}, "0.12345679"},
      {{0xAE, 0xDB, 0xE6, 0xFF}, "1e-10"},
      {{0xFF, 0x7F, 0xFF, 0xFF}, "3.4028235e+38"},
      {{0xCB, 0x80, 0x00, 0x00}, "16777216"},
      {{0x80, 0x00, 0x00, 0x01}, "1e-45"},
      {{0xC0, 0x2D, 0xF8, 0x54}, "2.7182817"},
      {{0x80, 0x00, 0x00, 0x00}, "0"},
      {{0x7F, 0xFF, 0xFF, 0xFF}, "-0"},
      {{0xFF, 0x80, 0x00, 0x00}, "Inf"},
      {{0x00, 0x7F, 0xFF, 0xFF}, "-Inf"},
      {{0xFF, 0xC0, 0x00, 0x00}, "Nan"},
      {{0x00, 0x3F, 0xFF, 0xFF}, "Nan"},  // a NaN with its sign bit set
      {{0xBF, 0xF0, 0, 0, 0, 0, 0, 0}, "1"},
      {{0x3F, 0xFB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "-2.5"},
      {{0xBD, 0xDB, 0x7C, 0xDF, 0xD9, 0xD7, 0xBD, 0xBB}, "1e-10"},
      {{0xFF, 0xEE, 0x42, 0xD1, 0x30, 0x77, 0x3B, 0x76}, "1.7e+308"},
      {{0xBF, 0xB9, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9A}, "0.1"},
      {{0xC0, 0x05, 0xBF, 0x0A, 0x8B, 0x14, 0x57, 0x69}, "2.718281828459045"},
      {{0xBF, 0xBF, 0x9A, 0xDD, 0x37, 0x39, 0x63, 0x5F}, "0.123456789"},
      {{0xC0, 0x59, 0, 0, 0, 0, 0, 0}, "100"},
      {{0xC3, 0x41, 0xC3, 0x79, 0x37, 0xE0, 0x80, 0x00}, "1e+16"},
      {{0x3E, 0xD1, 0x7B, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF}, "-1e+06"},
      {{0xC1, 0x9D, 0x6F, 0x34, 0x54, 0x80, 0x00, 0x00}, "123456789.125"},
      {{0x80, 0, 0, 0, 0, 0, 0, 0x01}, "5e-324"},
      {{0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "-0"},
      {{0xFF, 0xF0, 0, 0, 0, 0, 0, 0}, "Inf"},
      {{0x00, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "-Inf"},
      {{0xFF, 0xF8, 0, 0, 0, 0, 0, 0}, "Nan"},
  };
  for (const FloatCase& c : cases) {
    // The length decides, not the type code.
    EXPECT_EQ(c.text, renderValue(c.stored, kColBinaryFloat)) << c.text;
    EXPECT_EQ(c.text, renderValue(c.stored, kColBinaryDouble)) << c.text;
  }
  EXPECT_EQ("", renderValue({0xBF, 0xF0, 0, 0, 0}, kColBinaryDouble));
  EXPECT_EQ("", renderValue({0xBF, 0xF0, 0}, kColBinaryFloat));
}

// The shortest %e text that reads back as the value, found by trying each
// precision in turn.
template <class Real>
std::string shortestExponentText(Real v) {
  for (int precision = 0;; precision++) {
    const std::string t = withPrintf("%.*e", precision, static_cast<double>(v));
    const Real back = std::is_same_v<Real, float> ? strtof(t.c_str(), nullptr)
                                                  : strtod(t.c_str(), nullptr);
    if (back == v || precision > 17) return t;
  }
}

// Any value: the text reads back as the same bits and is no longer than the
// shortest exponent form.
TEST(FloatFormat, RandomValuesReadBackWithTheFewestDigits) {
  std::mt19937_64 rng(11);
  for (int i = 0; i < 20000; i++) {
    const uint64_t bits = rng();
    const uint32_t low = static_cast<uint32_t>(bits);
    double d;
    float f;
    memcpy(&d, &bits, sizeof d);
    memcpy(&f, &low, sizeof f);
    if (!std::isfinite(d) || !std::isfinite(f)) continue;
    const std::string dt = renderValue(encodeOracleBinaryDouble(d), kColBinaryDouble);
    const std::string ft = renderValue(encodeOracleBinaryFloat(f), kColBinaryFloat);
    const double dBack = strtod(dt.c_str(), nullptr);
    const float fBack = strtof(ft.c_str(), nullptr);
    ASSERT_EQ(0, memcmp(&d, &dBack, sizeof d)) << dt;
    ASSERT_EQ(0, memcmp(&f, &fBack, sizeof f)) << ft;
    // Never longer than the shortest exponent form, and that form itself
    // when written with an exponent.
    const std::string dShortest = shortestExponentText(d), fShortest = shortestExponentText(f);
    ASSERT_LE(dt.size(), dShortest.size()) << dt;
    ASSERT_LE(ft.size(), fShortest.size()) << ft;
    if (dt.find('e') != std::string::npos) {
      ASSERT_EQ(dShortest, dt);
    }
    if (ft.find('e') != std::string::npos) {
      ASSERT_EQ(fShortest, ft);
    }
  }
}

TEST(CharacterFormat, CharTrimsTrailingBlanksOnly) {
  EXPECT_EQ("", renderValue({' ', ' ', ' ', ' '}, kColChar));
  EXPECT_EQ("ab", renderValue({'a', 'b', ' ', ' '}, kColChar));
  EXPECT_EQ(" a b", renderValue({' ', 'a', ' ', 'b'}, kColChar));
  EXPECT_EQ("ab  ", renderValue({'a', 'b', ' ', ' '}, kColVarchar2));
  EXPECT_EQ(std::string("a\0b", 3), renderValue({'a', 0, 'b'}, kColLong));
  EXPECT_EQ("", renderValue({'a'}, kColSkip));
}

TEST(CharacterFormat, NationalValuesWithAndWithoutConverter) {
  // AL16UTF16 "AB" and U+4E2D.
  const Bytes utf16 = {0x00, 0x41, 0x00, 0x42, 0x4E, 0x2D};
  const std::string raw(utf16.begin(), utf16.end());
  SessionContext ctx;
  EXPECT_EQ(raw, renderValueWith(ctx, utf16, kColNChar));
  EXPECT_EQ(raw, renderValueWith(ctx, utf16, kColVarchar2, 2));

  ctx.ncharConverter = iconv_open("UTF-8", "UTF-16BE");
  ASSERT_NE(kNoConverter, ctx.ncharConverter);
  const std::string utf8 = "AB\xE4\xB8\xAD";
  EXPECT_EQ(utf8, renderValueWith(ctx, utf16, kColNChar));
  EXPECT_EQ(utf8, renderValueWith(ctx, utf16, kColVarchar2, 2));
  EXPECT_EQ(utf8, renderValueWith(ctx, utf16, kColVarchar, 2));
  EXPECT_EQ(utf8, renderValueWith(ctx, utf16, kColChar, 2));
  // Form 1 values are not converted.
  EXPECT_EQ(raw, renderValueWith(ctx, utf16, kColVarchar2, 1));
  // A value that does not convert (a lone half unit) is written as stored,
  // and the converter is usable again for the next value.
  const Bytes broken = {0x00, 0x41, 0x00};
  EXPECT_EQ(std::string("\0A\0", 3), renderValueWith(ctx, broken, kColNChar));
  EXPECT_EQ(utf8, renderValueWith(ctx, utf16, kColNChar));
  // Longer than the work buffer once converted.
  Bytes big;
  for (int i = 0; i < 30000; i++) big.insert(big.end(), {0x4E, 0x2D});
  std::string expected;
  for (int i = 0; i < 30000; i++) expected += "\xE4\xB8\xAD";
  EXPECT_EQ(expected, renderValueWith(ctx, big, kColNChar));
  iconv_close(ctx.ncharConverter);
}

// Without ICONV_NCHAR the session's national converter decides: characters
// the target lacks and bytes that are no character become "?", counted.
TEST(CharacterFormat, NationalValuesThroughTheNationalConverter) {
  const struct {
    uint16_t charset;
    uint16_t nlsCharset;
    Bytes stored;
    std::string text;
    uint64_t replaced;
  } cases[] = {
      // AL16UTF16 to ISO-8859-1 (WE8ISO8859P1).
      {31, 2000, {0x00, 0x41, 0x00, 0xE9, 0x4E, 0x2D}, "A\xE9?", 1},
      {31, 2000, {0xD8, 0x3D, 0xDE, 0x00, 0x00, 0x41}, "?A", 1},  // one pair, one character
      {31, 2000, {0xD8, 0x00, 0x00, 0x41}, "?A", 1},              // a lone high surrogate
      {31, 2000, {0xDC, 0x00}, "?", 1},                           // a lone low surrogate
      {31, 2000, {0x00, 0x41, 0x00}, "A?", 1},                    // an odd last byte
      {31, 2000, {0x4E, 0x2D, 0x65, 0x87, 0x00, 0x20}, "?? ", 2},
      // To UTF-8 under US7ASCII (the default), AL32UTF8 and UTF8.
      {1, 2000, {0x4E, 0x2D, 0xD8, 0x3D, 0xDE, 0x00}, "\xE4\xB8\xAD\xF0\x9F\x98\x80", 0},
      {873, 2000, {0x00, 0xE9}, "\xC3\xA9", 0},
      {871, 2000, {0xDC, 0x00, 0x00, 0x41}, "?A", 1},
      // To a multi-byte database character set (ZHS16GBK).
      {852, 2000, {0x4E, 0x2D, 0xD8, 0x3D, 0xDE, 0x00}, "\xD6\xD0?", 1},
      // A UTF8 national character set.
      {31, 871, {'c', 0xC3, 0xA9, ' ', 0xE4, 0xB8, 0xAD}, "c\xE9 ?", 1},
      {31, 871, {0xFF, 'A'}, "?A", 1},
      {31, 871, {'A', 0xE4, 0xB8}, "A?", 1},
      // A character set without an iconv name here: UTF-8.
      {5, 2000, {0x00, 0xE9}, "\xC3\xA9", 0},
  };
  for (const auto& c : cases) {
    SessionContext ctx;
    uint64_t replaced = 0;
    ctx.nationalUnmapped = &replaced;
    ctx.nationalConverter = open_national_converter(c.charset, c.nlsCharset, &ctx.nationalSourceUtf8);
    ASSERT_NE(kNoConverter, ctx.nationalConverter);
    EXPECT_EQ(c.text, renderValueWith(ctx, c.stored, kColNChar)) << c.charset;
    EXPECT_EQ(c.text, renderValueWith(ctx, c.stored, kColVarchar2, 2)) << c.charset;
    EXPECT_EQ(2 * c.replaced, replaced) << c.charset;
    // Form 1 text is left alone; ICONV_NCHAR, when set, decides instead.
    EXPECT_EQ(std::string(c.stored.begin(), c.stored.end()),
              renderValueWith(ctx, c.stored, kColVarchar2, 1));
    ctx.ncharConverter = iconv_open("UTF-16BE", "UTF-16BE");
    if (c.nlsCharset == 2000) {  // what does not convert is written as stored
      EXPECT_EQ(std::string(c.stored.begin(), c.stored.end()),
                renderValueWith(ctx, c.stored, kColNChar));
    }
    EXPECT_EQ(2 * c.replaced, replaced);
    iconv_close(ctx.ncharConverter);
    iconv_close(ctx.nationalConverter);
  }
}

TEST(CharacterFormat, NationalValuesLongerThanTheWorkBuffer) {
  SessionContext ctx;
  uint64_t replaced = 0;
  ctx.nationalUnmapped = &replaced;
  ctx.nationalConverter = open_national_converter(31, 2000, &ctx.nationalSourceUtf8);
  Bytes big;
  for (int i = 0; i < 40000; i++) big.insert(big.end(), {0x4E, 0x2D, 0x00, 0x41});
  std::string expected;
  for (int i = 0; i < 40000; i++) expected += "?A";
  EXPECT_EQ(expected, renderValueWith(ctx, big, kColNChar));
  EXPECT_EQ(40000u, replaced);
  iconv_close(ctx.nationalConverter);
  ctx.nationalConverter = open_national_converter(1, 2000, &ctx.nationalSourceUtf8);
  expected.clear();
  for (int i = 0; i < 40000; i++) expected += "\xE4\xB8\xAD" "A";
  EXPECT_EQ(expected, renderValueWith(ctx, big, kColNChar));
  EXPECT_EQ(40000u, replaced);
  iconv_close(ctx.nationalConverter);
}

TEST(RawFormat, HexInPiecesOfAtMost242Characters) {
  Bytes raw(1000);
  std::string expected;
  for (size_t i = 0; i < raw.size(); i++) {
    raw[i] = static_cast<uint8_t>(i * 7);
    char hex[3];
    snprintf(hex, sizeof hex, "%02X", raw[i]);
    expected += hex;
  }
  EXPECT_EQ(expected, renderValue(raw, kColRaw));
  EXPECT_EQ(expected, renderValue(raw, 69));       // ROWID and other types
  EXPECT_EQ(expected, renderValue(raw, kColNotGiven));

  // An unbuffered stream shows each write the printer makes.
  std::vector<size_t> writes;
  cookie_io_functions_t io{};
  io.write = [](void* cookie, const char*, size_t n) -> ssize_t {
    static_cast<std::vector<size_t>*>(cookie)->push_back(n);
    return static_cast<ssize_t>(n);
  };
  FILE* f = fopencookie(&writes, "w", io);
  setvbuf(f, nullptr, _IONBF, 0);
  SessionContext ctx;
  printVARRAW(f, ctx, raw.data(), static_cast<uint32_t>(raw.size()));
  fclose(f);
  size_t total = 0;
  for (size_t n : writes) {
    EXPECT_LE(n, 242u);
    total += n;
  }
  EXPECT_EQ(2000u, total);
}

Bytes withImageHeader(const Bytes& elements) {
  Bytes v = {0x00, 0x01};
  v.resize(37, 0xAA);
  v.insert(v.end(), elements.begin(), elements.end());
  return v;
}

TEST(CollectionFormat, VarrayWithAndWithoutImageHeader) {
  EXPECT_EQ("AB,NULL", renderValue(withImageHeader({0x02, 'A', 'B', 0xFF}), kColVArray));
  EXPECT_EQ(",AB,NULL", renderValue({0x02, 'A', 'B', 0xFF}, kColVArray));
  EXPECT_EQ("NULL,,x", renderValue(withImageHeader({0xFF, 0x00, 0x01, 'x'}), kColVArray));
  // 254: a 16-bit length in the session byte order.
  Bytes longElement = {0xFE, 0x2C, 0x01};
  longElement.insert(longElement.end(), 300, 'z');
  SessionContext little;
  EXPECT_EQ(std::string(300, 'z'), renderValueWith(little, withImageHeader(longElement), kColVArray));
  SessionContext big;
  big.byteOrder = 1;
  longElement[1] = 0x01, longElement[2] = 0x2C;
  EXPECT_EQ(std::string(300, 'z'), renderValueWith(big, withImageHeader(longElement), kColVArray));
  // An element running past the value ends the walk.
  EXPECT_EQ("AB", renderValue(withImageHeader({0x02, 'A', 'B', 0x05, 'C'}), kColVArray));
  EXPECT_EQ("", renderValue(withImageHeader({0xFE, 0x01}), kColVArray));
  EXPECT_EQ("", renderValue({0x00, 0x01, 0x02}, kColVArray));
}

TEST(CollectionFormat, NarrayRendersNumbers) {
  Bytes elements = {0x02, 0xC1, 0x02, 0x03, 0x3E, 0x64, 0x66, 0xFF, 0x03, 0xC1, 0x02, 0x33};
  EXPECT_EQ("1,-1,NULL,1.5", renderValue(withImageHeader(elements), kColNArray));
  EXPECT_EQ(",1,-1,NULL,1.5", renderValue(elements, kColNArray));
}

TEST(PrintField, StaysInsideTheBlock) {
  SessionContext ctx;
  std::vector<unsigned char> block(ctx.blockSize, 'x');
  ctx.blockBuffer = block.data();
  auto field = [&](uint32_t offset, uint32_t length, uint8_t type) {
    return captureOutput([&](FILE* f) { printField(f, ctx, offset, length, type, 0); });
  };
  EXPECT_EQ("xxxxxxxx", field(8180, 8, kColVarchar2));  // ends 4 bytes before the end
  EXPECT_EQ("", field(8180, 9, kColVarchar2));
  EXPECT_EQ("", field(0, 0, kColVarchar2));
  EXPECT_EQ("", field(0xFFFFFFF0u, 0x20, kColVarchar2));
  EXPECT_EQ("", field(0, 0xFFFFFFFFu, kColRaw));
  block[100] = 0xC1, block[101] = 0x02;
  EXPECT_EQ("1", field(100, 2, kColNumber));
  EXPECT_EQ("C102", field(100, 2, kColRaw));
  // LOB locators are for the LOB reader; the text column is left empty.
  EXPECT_EQ("", field(100, 2, kColBlob));
  EXPECT_EQ("", field(100, 2, kColClob));
  ctx.blockBuffer = nullptr;
  EXPECT_EQ("", field(100, 2, kColNumber));
}

// Takes a run of digits at `at` and tells whether it has from `least` to
// `most` of them.
bool digitRun(const std::string& s, size_t& at, size_t least, size_t most) {
  const size_t from = at;
  while (at < s.size() && s[at] >= '0' && s[at] <= '9') at++;
  return at - from >= least && at - from <= most;
}

bool takes(const std::string& s, size_t& at, char c) {
  if (at >= s.size() || s[at] != c) return false;
  at++;
  return true;
}

// [-]digits[.digits]
bool isNumberText(const std::string& s) {
  size_t at = 0;
  takes(s, at, '-');
  if (!digitRun(s, at, 1, std::string::npos)) return false;
  if (takes(s, at, '.') && !digitRun(s, at, 1, std::string::npos)) return false;
  return at == s.size();
}

// [-]YYYY[Y]-MM[M]-DD[D] HH[H]:MI[I]:SS[S]: bytes out of range give up to
// five year digits and three in the other fields.
bool isDateText(const std::string& s) {
  size_t at = 0;
  takes(s, at, '-');
  return digitRun(s, at, 4, 5) && takes(s, at, '-') && digitRun(s, at, 2, 3) &&
         takes(s, at, '-') && digitRun(s, at, 2, 3) && takes(s, at, ' ') &&
         digitRun(s, at, 2, 3) && takes(s, at, ':') && digitRun(s, at, 2, 3) &&
         takes(s, at, ':') && digitRun(s, at, 2, 3) && at == s.size();
}

bool isHexText(const std::string& s) {
  return s.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

// Hostile values: random bytes of every length for every type. Nothing may
// be read past a value (the sanitizer build checks) and what is written must
// still be well-formed for its type.
TEST(PrintField, RandomBytesGiveWellFormedOutput) {
  std::mt19937 rng(99);
  const uint8_t types[] = {kColVarchar2, kColNumber, kColLong, kColDate, kColRaw, kColChar,
                           kColBinaryFloat, kColBinaryDouble, kColNArray, kColVArray,
                           kColTimestamp, kColTimestampTZ, kColNChar, kColIntervalYM,
                           kColIntervalDS, 69};
  for (int i = 0; i < 20000; i++) {
    Bytes v(rng() % 48);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    if (i % 3 == 0 && v.size() > 2) v[0] = 0x00, v[1] = 0x01;  // image header marker
    for (uint8_t type : types) {
      const std::string out = renderValue(v, type);
      if (type == kColNumber && !out.empty()) {
        ASSERT_TRUE(isNumberText(out)) << out;
        if (v.size() <= 22 && ora_valid_number(v.data(), v.size())) {
          ASSERT_FALSE(out.empty());
        }
      }
      if (type == kColDate) {
        ASSERT_EQ(v.size() == 7, !out.empty());
        if (!out.empty()) {
          ASSERT_TRUE(isDateText(out)) << out;
        }
      }
      if (type == kColIntervalYM || type == kColIntervalDS) {
        ASSERT_TRUE(out.empty() || v.size() == (type == kColIntervalYM ? 5u : 11u)) << out;
      }
      if (type == kColRaw) {
        ASSERT_EQ(2 * v.size(), out.size());
        ASSERT_TRUE(isHexText(out));
      }
      if (type == kColVarchar2 || type == kColNChar) {
        ASSERT_EQ(std::string(v.begin(), v.end()), out);
      }
    }
  }
}

TEST(ExportDumpValue, ConvertedAndRawValues) {
  auto dump = [](iconv_t cv, const Bytes& v) {
    return captureOutput([&](FILE* f) { iconv_charset_dump(f, cv, v.data(), v.size()); });
  };
  const Bytes utf16 = {0x00, 0x41, 0x00, 0x42, 0x4E, 0x2D};
  EXPECT_EQ(std::string("\x06\x00", 2) + std::string(utf16.begin(), utf16.end()),
            dump(kNoConverter, utf16));
  iconv_t cv = iconv_open("UTF-8", "UTF-16BE");
  ASSERT_NE(kNoConverter, cv);
  EXPECT_EQ(std::string("\x05\x00" "AB\xE4\xB8\xAD", 7), dump(cv, utf16));
  const Bytes broken = {0x00, 0x41, 0x00};
  EXPECT_EQ(std::string("\x03\x00\x00\x41\x00", 5), dump(cv, broken));
  EXPECT_EQ("\xFE\xFF", dump(cv, {}));
  // A result longer than one item continues in the next. Items hold at most
  // 65532 bytes: FD FF .. FF FF are the chain, NULL and end markers.
  Bytes big;
  for (int i = 0; i < 30000; i++) big.insert(big.end(), {0x4E, 0x2D});
  const std::string out = dump(cv, big);
  ASSERT_EQ(90000u + 4u, out.size());
  EXPECT_EQ("\xFC\xFF", out.substr(0, 2));
  EXPECT_EQ(std::string("\x94\x5F", 2), out.substr(2 + 65532, 2));  // 24468 bytes
  iconv_close(cv);
}

TEST(Ucs2Text, PlausibilityTests) {
  const unsigned char le[] = {'A', 0, ' ', 0, 0x2D, 0x4E};
  const unsigned char be[] = {0, 'A', 0, ' ', 0x4E, 0x2D};
  EXPECT_TRUE(is_valid_ucs2le_string(le, sizeof le));
  EXPECT_TRUE(is_valid_ucs2be_string(be, sizeof be));
  EXPECT_FALSE(is_valid_ucs2le_string(be, sizeof be));
  EXPECT_FALSE(is_valid_ucs2be_string(le, sizeof le));
  EXPECT_TRUE(is_valid_ucs2le_string(le, 0));
  EXPECT_TRUE(is_valid_ucs2be_string(be, 0));
  EXPECT_FALSE(is_valid_ucs2le_string(le, 5));
  EXPECT_FALSE(is_valid_ucs2be_string(be, 5));
  const unsigned char control[] = {0, 0x01};
  EXPECT_FALSE(is_valid_ucs2be_string(control, 2));
  const unsigned char ranges[] = {0x34, 0x00, 0x4D, 0x85, 0x9F, 0xEF, 0xF9, 0x00, 0xFA, 0xD9};
  EXPECT_TRUE(is_valid_ucs2be_string(ranges, sizeof ranges));
  const unsigned char outside[][2] = {{0x4D, 0x86}, {0x9F, 0xF0}, {0xFA, 0xDA}, {0xE0, 0x00},
                                      {0x00, 0x80}};
  for (const auto& unit : outside) EXPECT_FALSE(is_valid_ucs2be_string(unit, 2));
}

}  // namespace
