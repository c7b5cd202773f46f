// Formatting throughput of printField for NUMBER, DATE and VARCHAR2 values
// into a fully buffered stream, in values per second (items_per_second).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "core/session_context.h"
#include "rows/print_field.h"
#include "values/value_format.h"
#include "tools/builder/oracle_values.h"

namespace {

struct BlockOfValues {
  std::vector<unsigned char> block;
  std::vector<uint32_t> offsets;
  std::vector<uint32_t> lengths;
};

// Packs values one after another into an 8 KiB block, as rows hold them.
BlockOfValues pack(const std::vector<OracleBytes>& values) {
  BlockOfValues b;
  b.block.assign(kDefaultBlockSize, 0);
  uint32_t at = 0;
  for (const OracleBytes& v : values) {
    if (at + v.size() + 4 >= b.block.size()) break;
    std::copy(v.begin(), v.end(), b.block.begin() + at);
    b.offsets.push_back(at);
    b.lengths.push_back(static_cast<uint32_t>(v.size()));
    at += static_cast<uint32_t>(v.size());
  }
  return b;
}

std::vector<OracleBytes> numberValues() {
  std::mt19937_64 rng(1);
  std::vector<OracleBytes> out;
  for (int i = 0; i < 1000; i++) {
    std::string text;
    switch (i % 4) {
      case 0: text = std::to_string(rng() % 100000); break;                  // ids
      case 1: text = std::to_string(rng() % 100000) + "." + std::to_string(rng() % 100); break;
      case 2: text = "-" + std::to_string(rng() % 1000000000); break;
      default: text = std::to_string(rng() % 10000000000000ull) + ".25"; break;
    }
    OracleBytes b;
    if (encodeOracleNumber(text, b)) out.push_back(b);
  }
  return out;
}

std::vector<OracleBytes> dateValues() {
  std::mt19937 rng(2);
  std::vector<OracleBytes> out;
  for (int i = 0; i < 1000; i++) {
    OracleDateTime t{1990 + static_cast<int>(rng() % 40), 1 + static_cast<int>(rng() % 12),
                     1 + static_cast<int>(rng() % 28), static_cast<int>(rng() % 24),
                     static_cast<int>(rng() % 60), static_cast<int>(rng() % 60)};
    out.push_back(encodeOracleDate(t));
  }
  return out;
}

std::vector<OracleBytes> varcharValues() {
  std::mt19937 rng(3);
  std::vector<OracleBytes> out;
  for (int i = 0; i < 1000; i++) {
    OracleBytes v(4 + rng() % 24);
    for (auto& c : v) c = static_cast<uint8_t>('a' + rng() % 26);
    out.push_back(v);
  }
  return out;
}

void formatValues(benchmark::State& state, const std::vector<OracleBytes>& values, uint8_t type) {
  BlockOfValues b = pack(values);
  SessionContext ctx;
  ctx.blockBuffer = b.block.data();
  FILE* out = fopen("/dev/null", "wb");
  static char buffer[256 * 1024];
  setvbuf(out, buffer, _IOFBF, sizeof buffer);
  const size_t n = b.offsets.size();
  for (auto _ : state) {
    for (size_t i = 0; i < n; i++) printField(out, ctx, b.offsets[i], b.lengths[i], type, 0);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * n));
  fclose(out);
}

void BM_PrintNumber(benchmark::State& state) { formatValues(state, numberValues(), kColNumber); }
void BM_PrintDate(benchmark::State& state) { formatValues(state, dateValues(), kColDate); }
void BM_PrintVarchar2(benchmark::State& state) {
  formatValues(state, varcharValues(), kColVarchar2);
}

BENCHMARK(BM_PrintNumber);
BENCHMARK(BM_PrintDate);
BENCHMARK(BM_PrintVarchar2);

}  // namespace

BENCHMARK_MAIN();
