// A table of a few thousand rows with every scalar column type, written by
// the builder into a data file (in-place, chained, migrated and deleted rows,
// empty slots, columns split across pieces, and basic-compressed blocks),
// then read back block by block through the block reader and decoded to
// text. The text must be exactly the source rows, in both byte orders and at
// 2 KiB, 8 KiB and 32 KiB blocks.
#include <gtest/gtest.h>

#include <random>

#include "tests/support/data_rows_util.h"

namespace {

constexpr uint16_t kRfn = 5;
constexpr uint32_t kObjd = 4242;

const uint8_t kTypes[] = {kColNumber,    kColVarchar2,     kColDate,        kColNumber,
                          kColChar,      kColRaw,          kColBinaryFloat, kColBinaryDouble,
                          kColTimestamp, kColTimestampTZ,  kColTimestampLTZ, kColVarchar,
                          kColLong};
constexpr size_t kColumns = sizeof kTypes;

// A source row: the stored values and the text each must come back as.
struct SourceRow {
  mkdb::TableRow row;
  std::vector<std::string> text;  // "" for NULL
};

std::string letters(std::mt19937& rng, size_t n) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,;:-_#|";
  std::string s;
  for (size_t i = 0; i < n; i++) s += kChars[rng() % (sizeof kChars - 1)];
  return s;
}

std::string decimalText(std::mt19937& rng) {
  std::string s;
  const uint32_t whole = rng() % 4 == 0 ? 0 : rng() % 1000000000u;
  s = std::to_string(whole);
  if (rng() % 2) {
    std::string frac = std::to_string(rng() % 1000000);
    frac.insert(0, 6 - frac.size(), '0');
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
    if (!frac.empty()) s += "." + frac;
  }
  if (s != "0" && rng() % 3 == 0) s = "-" + s;
  return s;
}

OracleDateTime randomTime(std::mt19937& rng) {
  return OracleDateTime{1 + static_cast<int>(rng() % 9999), 1 + static_cast<int>(rng() % 12),
                        1 + static_cast<int>(rng() % 28), static_cast<int>(rng() % 24),
                        static_cast<int>(rng() % 60), static_cast<int>(rng() % 60)};
}

std::string timeText(const OracleDateTime& t) {
  char b[40];
  snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return b;
}

std::string exactDecimal(double v) {
  char b[64];
  snprintf(b, sizeof b, "%.3f", v);
  std::string s = b;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

void add(SourceRow& r, const mkdb::Value& v, const std::string& text) {
  r.row.values.push_back(v);
  r.text.push_back(v ? text : "");
}

SourceRow makeRow(std::mt19937& rng, size_t i, bool allowHuge) {
  SourceRow r;
  add(r, num(std::to_string(i)), std::to_string(i));
  if (rng() % 10 == 0) {
    add(r, null(), "");
  } else {
    const size_t n = allowHuge && i % 97 == 5 ? 1500 + rng() % 2400 : 1 + rng() % 60;
    const std::string s = letters(rng, n);
    add(r, str(s), s);
  }
  const OracleDateTime date = randomTime(rng);
  add(r, encodeOracleDate(date), timeText(date));
  const std::string dec = decimalText(rng);
  add(r, num(dec), dec);
  const std::string ch = letters(rng, 1 + rng() % 10);
  std::string padded = ch;
  padded.resize(10, ' ');
  std::string trimmed = ch;
  while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
  add(r, str(padded), trimmed);
  OracleBytes raw(1 + rng() % 16);
  std::string hex;
  for (auto& b : raw) {
    b = static_cast<uint8_t>(rng());
    char h[3];
    snprintf(h, sizeof h, "%02X", b);
    hex += h;
  }
  add(r, raw, hex);
  // Quarters and eighths of small whole numbers: their shortest text is the
  // exact decimal, without trailing zeros.
  const float fl = static_cast<float>(static_cast<int>(rng() % 2001) - 1000) / 4.0f;
  add(r, encodeOracleBinaryFloat(fl), exactDecimal(static_cast<double>(fl)));
  const double db = static_cast<double>(static_cast<int>(rng() % 200001) - 100000) / 8.0;
  add(r, encodeOracleBinaryDouble(db), exactDecimal(db));
  const OracleDateTime ts = randomTime(rng);
  const uint32_t micros = rng() % 3 == 0 ? 0 : rng() % 1000000;
  char frac[16];
  snprintf(frac, sizeof frac, ".%06u", micros);
  add(r, encodeOracleTimestamp(ts, micros * 1000), timeText(ts) + (micros ? frac : ""));
  add(r, encodeOracleTimestampTZ(ts, micros * 1000, static_cast<int>(rng() % 25) - 12, 0),
      timeText(ts) + frac + " +00:00");
  add(r, encodeOracleTimestamp(ts, micros * 1000), timeText(ts) + (micros ? frac : ""));
  // The last columns are often NULL, so many rows end early.
  const std::string vc = letters(rng, 1 + rng() % 20);
  add(r, rng() % 3 == 0 ? null() : str(vc), vc);
  const std::string lg = letters(rng, 1 + rng() % 200);
  add(r, rng() % 2 == 0 ? null() : str(lg), lg);
  return r;
}

// The expected line of a row: its values up to the last stored column.
std::string expectedLine(const SourceRow& r, bool allColumnsStored) {
  size_t n = r.text.size();
  if (!allColumnsStored) {
    while (n > 0 && !r.row.values[n - 1]) n--;
  }
  std::string line;
  for (size_t c = 0; c < n; c++) {
    if (c > 0) line += "|";
    line += r.text[c];
  }
  return line + "\r\n";
}

class RowsEndToEnd : public testing::TestWithParam<std::tuple<uint8_t, uint32_t>> {};

TEST_P(RowsEndToEnd, EveryBlockDecodesToTheSourceRows) {
  const auto [order, size] = GetParam();
  TempDir dir;
  std::mt19937 rng(static_cast<uint32_t>(size + order));
  const size_t kRows = 2500;
  const size_t compressedFirst = 1000, compressedCount = 300;
  std::vector<SourceRow> source;
  for (size_t i = 0; i < kRows; i++) {
    const bool inCompressed = i >= compressedFirst && i < compressedFirst + compressedCount;
    SourceRow r = makeRow(rng, i, !inCompressed);
    if (!inCompressed) {
      if (i % 50 == 7) r.row.placement = mkdb::TableRow::kMigrated;
      if (i % 37 == 3) {
        r.row.placement = mkdb::TableRow::kChained;
        r.row.pieces = static_cast<uint8_t>(2 + i % 3);
      }
      r.row.deleted = i % 41 == 11;
    }
    source.push_back(r);
  }

  mkdb::FileImage f;
  f.path = dir.file("e2e.dbf");
  f.blockSize = size;
  f.byteOrder = order;
  f.rfn = f.fileNumber = kRfn;
  mkdb::PackOptions pack;
  pack.objd = kObjd;
  pack.emptySlotEvery = 23;
  uint32_t next = 2;
  const auto packRange = [&](size_t from, size_t to) {
    std::vector<mkdb::TableRow> rows;
    for (size_t i = from; i < to; i++) rows.push_back(source[i].row);
    const std::vector<uint32_t> used = mkdb::packRows(f, next, rows, pack);
    ASSERT_FALSE(used.empty());
    next = used.back() + 1;
  };
  packRange(0, compressedFirst);
  std::vector<mkdb::RowValues> compressed;
  for (size_t i = compressedFirst; i < compressedFirst + compressedCount; i++) {
    compressed.push_back(source[i].row.values);
  }
  mkdb::CompressOptions options;
  options.storageOrder = {2, 0, 4, 1, 3, 5, 6, 7, 8, 9, 10, 11, 12};
  for (size_t first = 0; first < compressed.size();) {
    const size_t taken = mkdb::addCompressedBlock(f, next++, kObjd, compressed, first, options);
    ASSERT_GT(taken, 0u);
    first += taken;
  }
  packRange(compressedFirst + compressedCount, kRows);
  f.blocks = next + 1;
  mkdb::addFileHeader(f);
  ASSERT_EQ(0, mkdb::writeDataFile(f));

  TestSession s(static_cast<uint16_t>(size), order);
  s.open(dir, f.path + "\n");
  for (size_t c = 0; c < kColumns; c++) s.ctx.columnTypes[c] = kTypes[c];
  s.ctx.columnCount = kColumns;

  std::string expected;
  size_t live = 0;
  for (size_t i = 0; i < kRows; i++) {
    if (source[i].row.deleted) continue;
    const bool inCompressed = i >= compressedFirst && i < compressedFirst + compressedCount;
    expected += expectedLine(source[i], inCompressed);
    live++;
  }

  char* data = nullptr;
  size_t length = 0;
  FILE* out = open_memstream(&data, &length);
  testing::internal::CaptureStdout();
  for (uint32_t b = 2; b < next; b++) {
    ASSERT_EQ(size, readBlock(s.set, s.ctx, kRfn, b));
    printDataRows2(out, s.ctx, 0, 0, 0);
  }
  const std::string messages = testing::internal::GetCapturedStdout();
  fclose(out);
  const std::string got(data, length);
  free(data);

  EXPECT_EQ("", messages);
  EXPECT_EQ(live, s.ctx.rowsUnloaded);
  ASSERT_EQ(expected.size(), got.size());
  // Compare line by line so a failure names the first row that differs.
  size_t at = 0;
  for (size_t line = 0; at < expected.size(); line++) {
    const size_t end = expected.find("\r\n", at) + 2;
    ASSERT_EQ(expected.substr(at, end - at), got.substr(at, end - at)) << "output row " << line;
    at = end;
  }
}

INSTANTIATE_TEST_SUITE_P(OrdersAndSizes, RowsEndToEnd,
                         testing::Combine(testing::Values(mkdb::kLittle, mkdb::kBig),
                                          testing::Values(2048u, 8192u, 32768u)));

}  // namespace
