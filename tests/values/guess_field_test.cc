// The column type guesser: value tests on hand-made bytes, the evidence a
// column collects value by value, the printed COLUMN list, and sampling
// through the row decoder.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "values/guess_field.h"
#include "tests/support/data_rows_util.h"
#include "tools/builder/oracle_values.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool number(const Bytes& b) { return isGuessValidNumber(b.data(), b.size()); }
bool date(const Bytes& b) { return isGuessValidDate(b.data(), b.size()); }
bool clob(const Bytes& b) { return isGuessValidCLOB(b.data(), b.size()); }
bool blob(const Bytes& b) { return isGuessValidBLOB(b.data(), b.size()); }
bool text(const std::string& s) {
  return isGuessValidChar(reinterpret_cast<const unsigned char*>(s.data()), s.size());
}

Bytes oraNumber(const std::string& t) {
  Bytes b;
  EXPECT_TRUE(encodeOracleNumber(t, b)) << t;
  return b;
}
Bytes oraDate(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return encodeOracleDate({y, mo, d, h, mi, s});
}
Bytes textBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A LOB locator: 20 bytes, or longer with its length at bytes 20-21.
Bytes locator(uint8_t kind, size_t length = 20, uint8_t zerosFrom10 = 4) {
  Bytes b(length, 0x11);
  b[0] = 0x00, b[1] = 0x70, b[2] = 0x00, b[3] = 0x01;
  b[8] = 0x00, b[9] = kind;
  for (size_t i = 10; i < 20; i++) b[i] = (i - 10 < zerosFrom10) ? 0 : 0x33;
  if (length >= 30) b[20] = static_cast<uint8_t>((length - 20) >> 8), b[21] = static_cast<uint8_t>(length - 20);
  return b;
}

TEST(GuessValueTests, Number) {
  EXPECT_TRUE(number({0x80}));                 // zero
  EXPECT_FALSE(number({0x80, 0x01}));
  EXPECT_TRUE(number({0xC1}));                 // a positive exponent alone
  EXPECT_TRUE(number(oraNumber("1")));
  EXPECT_TRUE(number(oraNumber("123456.789")));
  EXPECT_FALSE(number({0xC1, 0x00}));          // digit byte 0
  EXPECT_FALSE(number({0xC1, 0x65}));          // digit byte 101
  Bytes widest(21, 0x05);
  widest[0] = 0xCA;
  EXPECT_TRUE(number(widest));                 // 20 digit bytes
  widest.push_back(0x05);
  EXPECT_FALSE(number(widest));
  EXPECT_TRUE(number(oraNumber("-1")));        // 3E 64 66
  EXPECT_TRUE(number(oraNumber("-0.001")));
  EXPECT_TRUE(number({0x66}));                 // negative, terminator only
  EXPECT_TRUE(number({0x3E, 0x66}));
  EXPECT_FALSE(number({0x3E, 0x64}));          // no terminator
  EXPECT_FALSE(number({0x3E, 0x01, 0x66}));    // digit byte below 2
  EXPECT_FALSE(number({0x3E, 0x66, 0x66}));    // digit byte above 101
  Bytes longest(22, 0x02);
  longest[0] = 0x3E, longest[21] = 0x66;
  EXPECT_TRUE(number(longest));
  longest.insert(longest.begin() + 1, 0x02);
  EXPECT_FALSE(number(longest));               // 23 bytes
  EXPECT_FALSE(number({}));
  EXPECT_FALSE(isGuessValidNumber(nullptr, 3));
}

TEST(GuessValueTests, DateAndTimestamp) {
  EXPECT_TRUE(date(oraDate(2024, 2, 29, 13, 45, 59)));
  EXPECT_TRUE(date(oraDate(1900, 1, 1)));
  EXPECT_TRUE(date(encodeOracleTimestamp({2014, 2, 28, 0, 2, 32}, 212000000)));
  EXPECT_TRUE(date(encodeOracleTimestampTZ({1970, 1, 1, 0, 0, 0}, 500000000, 1, 0)));
  Bytes d = oraDate(2024, 2, 29, 23, 59, 59);
  EXPECT_FALSE(date(Bytes(d.begin(), d.end() - 1)));  // 6 bytes
  d.push_back(0);
  EXPECT_FALSE(date(d));                               // 8 bytes
  Bytes ok = oraDate(2024, 6, 30, 8, 0, 0);
  auto with = [&](size_t at, uint8_t v) {
    Bytes b = ok;
    b[at] = v;
    return date(b);
  };
  EXPECT_FALSE(with(0, 50));    // century byte out of range
  EXPECT_FALSE(with(0, 150));
  EXPECT_TRUE(with(0, 51));
  EXPECT_TRUE(with(1, 0));      // the year byte is not tested
  EXPECT_FALSE(with(2, 0));     // month
  EXPECT_FALSE(with(2, 13));
  EXPECT_FALSE(with(3, 0));     // day
  EXPECT_FALSE(with(3, 32));
  EXPECT_TRUE(with(3, 31));
  EXPECT_FALSE(with(4, 25));    // hour + 1
  EXPECT_TRUE(with(4, 24));
  EXPECT_TRUE(with(4, 0));      // zero passes
  EXPECT_FALSE(with(5, 61));
  EXPECT_TRUE(with(5, 60));
  EXPECT_FALSE(with(6, 61));
  EXPECT_TRUE(with(6, 0));
}

TEST(GuessValueTests, LobLocators) {
  EXPECT_TRUE(clob(locator(0x02)));
  EXPECT_FALSE(blob(locator(0x02)));
  EXPECT_TRUE(blob(locator(0x01)));
  EXPECT_FALSE(clob(locator(0x01)));
  EXPECT_TRUE(clob(locator(0x02, 40)));        // length = bytes 20-21 + 20
  Bytes wrong = locator(0x02, 40);
  wrong[21] = 21;
  EXPECT_FALSE(clob(wrong));
  EXPECT_FALSE(clob(locator(0x02, 25)));       // between 20 and 30
  EXPECT_FALSE(clob(locator(0x02, 20, 2)));    // only two zero bytes in 10..19
  EXPECT_TRUE(clob(locator(0x02, 20, 3)));
  Bytes other = locator(0x01);
  other[1] = 0x54;
  EXPECT_TRUE(blob(other));
  other[1] = 0x55;
  EXPECT_FALSE(blob(other));
  other = locator(0x01);
  other[3] = 0x02;
  EXPECT_FALSE(blob(other));
}

TEST(GuessValueTests, CharacterData) {
  EXPECT_TRUE(text("hello world\t\r\n"));
  EXPECT_TRUE(text("na\xc3\xafve caf\xc3\xa9"));          // UTF-8
  EXPECT_TRUE(text("\xe4\xbd\xa0\xe5\xa5\xbd"));           // UTF-8, three-byte
  EXPECT_TRUE(text("\xf0\x9f\x98\x80!"));                  // UTF-8, four-byte
  EXPECT_TRUE(text("\xc4\xe3\xba\xc3 GBK"));               // double-byte
  EXPECT_FALSE(text("\xc4\x30"));                          // trail byte below 0x40
  EXPECT_FALSE(text("ab\xc4"));                            // lead byte last
  EXPECT_TRUE(text(std::string("ab\0", 3)));               // zero as the last byte
  EXPECT_FALSE(text(std::string("a\0b", 3)));
  EXPECT_FALSE(text("\x01\x02\x03"));
  EXPECT_FALSE(text("\x80\x80\x80"));
  EXPECT_TRUE(text(std::string("\x00" "A\x00" "B", 4)));   // UCS-2 big-endian
  EXPECT_TRUE(text(std::string("A\x00" "B\x00", 4)));      // UCS-2 little-endian
  EXPECT_FALSE(text(std::string("\x00\x00\x00\x00", 4)));
  const Bytes f = encodeOracleBinaryFloat(3.5f);
  EXPECT_FALSE(isGuessValidChar(f.data(), f.size()));
}

TEST(GuessValueTests, SessionFormsStayInsideTheBlock) {
  TestSession s(2048);
  memcpy(s.ctx.blockBuffer + 2040, "\xC1\x02", 2);
  EXPECT_TRUE(isGuessValidNumber(s.ctx, 2040, 2));
  EXPECT_FALSE(isGuessValidNumber(s.ctx, 2047, 2));          // one byte past the block
  EXPECT_FALSE(isGuessValidChar(s.ctx, 0xFFFFFFF0u, 0x20));   // wraps 32 bits
  EXPECT_FALSE(isGuessValidDate(s.ctx, 2045, 7));
  EXPECT_FALSE(isGuessValidCLOB(s.ctx, 2040, 20));
}

// A session whose block buffer takes the values handed to guessField.
struct Guesser {
  TestSession s;
  ColumnStats stats;
  uint32_t at = 100;
  Guesser() {
    resetColumnStats(stats);
    s.ctx.columnStats = &stats;
  }
  void add(uint32_t column, const Bytes& v) {
    memcpy(s.ctx.blockBuffer + at, v.data(), v.size());
    guessField(s.ctx, at, static_cast<uint32_t>(v.size()), column);
    at += static_cast<uint32_t>(v.size());
  }
  void addNull(uint32_t column) { guessField(s.ctx, at, 0, column); }
  std::string word(int column) const {
    return getGuessTypeWord(stats.type[column], stats.firstLength[column]);
  }
};

TEST(GuessField, DatesTurnIntoNumberOrVarcharOnAnotherLength) {
  Guesser g;
  for (int i = 1; i <= 3; i++) {
    g.add(0, oraDate(2000 + i, i, i));
    g.add(1, oraDate(1990 + i, i, 10));
  }
  EXPECT_EQ(kColDate, g.stats.type[0]);
  EXPECT_EQ(" DATE", g.word(1));
  g.add(0, oraNumber("42"));
  g.add(1, textBytes("hello"));
  EXPECT_EQ(kColNumber, g.stats.type[0]);
  EXPECT_EQ(kColVarchar, g.stats.type[1]);
  EXPECT_EQ(kGuessLengthVaries, g.stats.flags[0] & kGuessLengthVaries);
  // The dates already ruled NUMBER out, so the next value makes it VARCHAR.
  g.add(0, oraNumber("43"));
  EXPECT_EQ(kColVarchar, g.stats.type[0]);
}

TEST(GuessField, TimestampsByLength) {
  Guesser g;
  g.add(0, encodeOracleTimestamp({2014, 2, 28, 0, 2, 32}, 212000000));
  g.add(1, encodeOracleTimestampTZ({2014, 2, 28, 0, 2, 32}, 212000000, 2, 0));
  g.add(2, encodeOracleTimestamp({2014, 2, 28, 0, 2, 32}, 0));  // 7 bytes: a DATE
  EXPECT_EQ(" TIMESTAMP", g.word(0));
  EXPECT_EQ(" TIMESTAMPTZ", g.word(1));
  EXPECT_EQ(" DATE", g.word(2));
  // A value that is not a date of the same length ends the date guess.
  Bytes bad = encodeOracleTimestamp({2014, 2, 28, 0, 2, 32}, 1000);
  bad[2] = 13;
  g.add(0, bad);
  EXPECT_EQ(kColVarchar, g.stats.type[0]);
  EXPECT_EQ(0, g.stats.flags[0] & kGuessLengthVaries);
}

TEST(GuessField, BinaryFloatAndDoubleUntilTheLengthChanges) {
  Guesser g;
  for (float v : {3.5f, -1.25f, 0.0f}) g.add(0, encodeOracleBinaryFloat(v));
  for (double v : {2.718282, -1000000.0}) g.add(1, encodeOracleBinaryDouble(v));
  EXPECT_EQ(" BINARY_FLOAT", g.word(0));
  EXPECT_EQ(" BINARY_DOUBLE", g.word(1));
  EXPECT_EQ(3, g.stats.count[0]);
  g.add(0, {0xC0, 0x60, 0x00});
  g.add(1, encodeOracleBinaryFloat(1.0f));
  EXPECT_EQ(" VARCHAR", g.word(0));
  EXPECT_EQ(" VARCHAR", g.word(1));
  // Four bytes of text are text, not a float.
  g.add(2, textBytes("KING"));
  EXPECT_EQ(" VARCHAR", g.word(2));
}

TEST(GuessField, NumbersTextAndRaw) {
  Guesser g;
  for (const char* n : {"7369", "800", "950.5", "0", "-12"}) g.add(0, oraNumber(n));
  EXPECT_EQ(" NUMBER", g.word(0));
  EXPECT_EQ(kGuessLengthVaries, g.stats.flags[0] & kGuessLengthVaries);
  EXPECT_EQ(0, g.stats.flags[0] & kGuessNotNumber);
  g.add(0, textBytes("SMITH"));           // rules NUMBER out
  EXPECT_EQ(" VARCHAR", g.word(0));
  g.add(0, {0x01, 0x02, 0x03});           // rules text out
  EXPECT_EQ(" RAW", g.word(0));
  g.add(0, oraNumber("5"));                // RAW stays
  EXPECT_EQ(kColRaw, g.stats.type[0]);
  // A first value that is nothing in particular leaves the column RAW.
  g.add(1, {0x01, 0x02, 0x03});
  EXPECT_EQ(kColRaw, g.stats.type[1]);
  EXPECT_EQ(" RAW", g.word(1));
}

TEST(GuessField, LobLocatorsUntilAValueIsNone) {
  Guesser g;
  g.add(0, locator(0x02));
  g.add(1, locator(0x01, 36));
  EXPECT_EQ(" CLOB", g.word(0));
  EXPECT_EQ(" BLOB", g.word(1));
  g.add(0, locator(0x02, 40));
  EXPECT_EQ(" CLOB", g.word(0));
  g.add(0, locator(0x01));
  g.add(1, textBytes("not a locator"));
  EXPECT_EQ(" VARCHAR", g.word(0));
  EXPECT_EQ(" VARCHAR", g.word(1));
}

TEST(GuessField, NullsCountColumnsButNoValues) {
  Guesser g;
  g.addNull(0);
  g.add(1, oraNumber("1"));
  g.addNull(4);
  g.addNull(1);
  EXPECT_EQ(5, g.stats.columnCount);
  EXPECT_EQ(0, g.stats.count[0]);
  EXPECT_EQ(1, g.stats.count[1]);
  EXPECT_EQ(" UNKNOWN", g.word(0));
  EXPECT_EQ(" NUMBER", g.word(1));
  EXPECT_EQ(" UNKNOWN", g.word(4));
}

TEST(GuessField, HostileOffsetsLengthsAndColumns) {
  Guesser g;
  g.add(1023, oraNumber("9"));
  EXPECT_EQ(1024, g.stats.columnCount);
  EXPECT_EQ(" NUMBER", g.word(1023));
  for (uint32_t column : {1024u, 5000u, 0xFFFFFFFFu}) guessField(g.s.ctx, 100, 2, column);
  EXPECT_EQ(1024, g.stats.columnCount);

  Guesser h;
  const uint32_t size = h.s.ctx.blockSize;
  guessField(h.s.ctx, size - 4, 1, 0);          // reaches the last 3 bytes
  guessField(h.s.ctx, 0xFFFFFFFFu, 0xFFFFFFFFu, 1);
  guessField(h.s.ctx, size - 2, 0, 2);          // the place of a clamped NULL
  EXPECT_EQ(0, h.stats.columnCount);
  guessField(h.s.ctx, size - 5, 1, 3);
  EXPECT_EQ(4, h.stats.columnCount);
  EXPECT_EQ(1, h.stats.count[3]);

  // No guess state: nothing to record, nothing touched.
  TestSession bare;
  guessField(bare.ctx, 10, 2, 0);
  EXPECT_EQ(nullptr, bare.ctx.columnStats);
}

TEST(GuessField, ResetStartsAFreshGuess) {
  Guesser g;
  g.add(0, textBytes("abc"));
  g.add(0, {0x01});
  g.add(2, oraNumber("1"));
  EXPECT_EQ(kColRaw, g.stats.type[0]);
  resetColumnStats(g.stats);
  EXPECT_EQ(0, g.stats.columnCount);
  g.add(0, oraNumber("1"));
  EXPECT_EQ(" NUMBER", g.word(0));
  // Only what this value rules out: the earlier length change and non-number are gone.
  EXPECT_EQ(kGuessNotDate | kGuessNotClob | kGuessNotBlob | kGuessNotChar, g.stats.flags[0]);
  EXPECT_EQ(1, g.stats.count[0]);
  EXPECT_EQ(" UNKNOWN", g.word(2));
}

std::string columnList(const ColumnStats& stats) {
  char* data = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&data, &size);
  printGuessedColumns(f, stats);
  fclose(f);
  std::string s(data, size);
  free(data);
  return s;
}

TEST(GuessedColumnList, BreaksEveryTenAndAfterTheLast) {
  ColumnStats s;
  resetColumnStats(s);
  s.columnCount = 12;
  for (int i = 0; i < 12; i++) s.type[i] = kColNumber;
  s.type[1] = kColVarchar;
  s.type[10] = kColDate;
  s.type[11] = kColRaw;
  s.firstLength[11] = 3;  // RAW with values
  const std::string brk = " \n      ";
  EXPECT_EQ(brk + " NUMBER VARCHAR NUMBER NUMBER NUMBER NUMBER NUMBER NUMBER NUMBER NUMBER" + brk +
                " DATE RAW",
            columnList(s));
  s.columnCount = 15;  // types 23 without values from column 12 on
  EXPECT_EQ(brk + " NUMBER VARCHAR NUMBER NUMBER NUMBER NUMBER NUMBER NUMBER NUMBER NUMBER" + brk +
                " DATE RAW UNKNOWN UNKNOWN UNKNOWN" + brk,
            columnList(s));
  s.columnCount = 10;
  EXPECT_EQ(brk + " NUMBER VARCHAR NUMBER NUMBER NUMBER NUMBER NUMBER NUMBER NUMBER NUMBER" + brk,
            columnList(s));
  s.columnCount = 0;
  EXPECT_EQ(brk, columnList(s));
  const uint8_t types[] = {1, 100, 101, 112, 113, 180, 181};
  const char* words[] = {" VARCHAR2", " BINARY_FLOAT", " BINARY_DOUBLE", " CLOB", " BLOB",
                         " TIMESTAMP", " TIMESTAMPTZ"};
  for (int i = 0; i < 7; i++) EXPECT_STREQ(words[i], getGuessTypeWord(types[i], 0));
}

// Through the row decoder: every column of every sampled row reaches the
// guesser, and sampling stops at GUESS_SIZE rows.
TEST(GuessThroughRows, SampleStopsAtGuessSize) {
  TestSession s;
  ColumnStats stats;
  resetColumnStats(stats);
  s.ctx.columnStats = &stats;
  std::vector<mkdb::RowPiece> rows;
  for (int i = 0; i < 12; i++)
    rows.push_back(piece({num(std::to_string(7000 + i)), str("NAME" + std::to_string(i)), null(),
                          mkdb::Value(oraDate(1981, 1 + i % 12, 3))}));
  const mkdb::Block b = rowBlock(geometry(), 5, rows);
  s.ctx.rowOutputMode = 2;
  s.ctx.guessSize = 10;
  EXPECT_EQ("", decodeBlock(s.ctx, b).text);
  EXPECT_EQ(10u, s.ctx.rowsUnloaded);
  EXPECT_EQ(4, stats.columnCount);
  EXPECT_EQ(10, stats.count[0]);
  EXPECT_EQ(10, stats.count[3]);
  EXPECT_EQ(0, stats.count[2]);
  EXPECT_EQ(kColNumber, stats.type[0]);
  EXPECT_EQ(kColVarchar, stats.type[1]);
  EXPECT_EQ(kColDate, stats.type[3]);
}

}  // namespace
