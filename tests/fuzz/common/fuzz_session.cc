#include "tests/fuzz/common/fuzz_session.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace {

const uint8_t kDamagedTypes[] = {kColNumber, kColVarchar2, kColLong, kColLongRaw, kColDate, kColRaw,
                                 kColClob,   kColChar,     kColSkip, kColNotGiven};

std::string* scratchDir = nullptr;

}  // namespace

std::string makeFuzzScratch(const char* name) {
  if (freopen("/dev/null", "w", stdout) == nullptr) return "";
  std::string tmpl = std::string("/tmp/zut-fuzz-") + name + "-XXXXXX";
  if (mkdtemp(tmpl.data()) == nullptr) return "";
  if (scratchDir == nullptr) {
    scratchDir = new std::string;
    atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(*scratchDir, ec);
    });
  }
  *scratchDir = tmpl;
  return tmpl;
}

int openFuzzSession(HarnessSession& s, const std::string& config, uint32_t blockSize,
                    uint32_t windowBlocks, uint8_t byteOrder) {
  FILE* c = fmemopen(const_cast<char*>(config.data()), config.size(), "r");
  const int rc = openHarnessSession(s, c, blockSize, windowBlocks * blockSize, byteOrder);
  if (c != nullptr) fclose(c);
  return rc;
}

int initDamagedBlockFuzz(DamagedBlockFuzz& z, const char* name, void (*buildFile)(mkdb::FileImage&)) {
  const std::string dir = makeFuzzScratch(name);
  if (dir.empty()) return 1;
  mkdb::FileImage f;
  f.path = dir + "/rows.dbf";
  f.blockSize = kDamagedBlockSize;
  f.rfn = f.fileNumber = kDamagedFileRfn;
  f.blocks = 8;
  mkdb::addFileHeader(f);
  buildFile(f);
  if (mkdb::writeDataFile(f) != 0) return 1;
  z.base = f.images[2];
  z.fd = open(f.path.c_str(), O_WRONLY);
  if (z.fd < 0) return 1;
  return openFuzzSession(z.session, f.path + "\n", kDamagedBlockSize, 4);
}

int loadDamagedBlock(DamagedBlockFuzz& z, const uint8_t* data, size_t size,
                     uint8_t (&head)[kDamagedHeadBytes]) {
  SessionContext& ctx = z.session.ctx;
  memset(head, 0, sizeof head);
  memcpy(head, data, size < sizeof head ? size : sizeof head);
  std::vector<uint8_t> block = z.base;
  for (size_t i = sizeof head; i < size && i - sizeof head < block.size(); i++) block[i - sizeof head] ^= data[i];
  if (pwrite(z.fd, block.data(), block.size(), 2 * static_cast<off_t>(kDamagedBlockSize)) != kDamagedBlockSize)
    return 0;
  emptyReadAheadCache(z.session.res.data);

  ctx.columnCount = head[0] % 13;
  memset(ctx.columnTypes, 0, sizeof ctx.columnTypes);
  for (int i = 0; i < 12; i++) ctx.columnTypes[i] = kDamagedTypes[head[1 + i] % sizeof kDamagedTypes];
  ctx.maxChains = head[13] & 0x03;
  ctx.rowsUnloaded = 0;
  ctx.rowLimit = (head[13] & 0x04) ? 3 : kNoRowLimit;
  return readBlock(z.session.ctx.fileSet, ctx, kDamagedFileRfn, 2) == kDamagedBlockSize ? 1 : 0;
}

bool wholeDumpRows(const std::string& s, int columns) {
  size_t at = 0;
  const auto next = [&](uint16_t& v) {
    if (at + 2 > s.size()) return false;
    v = static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8);
    at += 2;
    return true;
  };
  while (at < s.size()) {
    int items = 0;
    for (;;) {
      uint16_t n = 0;
      if (!next(n)) return false;
      if (n == 0) break;
      if (n == 0xFFFF) return false;
      items++;
      if (n == 0xFFFD) {
        for (;;) {
          uint16_t k = 0;
          if (!next(k) || k == 0xFFFD || k == 0xFFFF) return false;
          if (k == 0) break;
          if (k != 0xFFFE) at += k;
        }
      } else if (n != 0xFFFE) {
        at += n;
      }
      if (at > s.size()) return false;
    }
    if (items != columns) return false;
  }
  return true;
}

mkdb::Value textValue(const std::string& s) { return OracleBytes(s.begin(), s.end()); }

mkdb::RowPiece rowPiece(std::vector<mkdb::Value> columns, uint8_t flag, mkdb::RowAddress next) {
  mkdb::RowPiece p;
  p.flag = flag;
  p.columns = std::move(columns);
  p.next = next;
  return p;
}
