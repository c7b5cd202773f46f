// Feeds damaged LOB locators and a damaged LOB block through the LOB value
// readers: text (inline, FILE and NONE modes, with and without LONG_TAG,
// through the CLOB and NCLOB converters) and the export dump, whose item
// must always be one whole item. The locator's own reading must keep an
// inline value inside the locator.
//
// The scratch file (2 KiB blocks, relative file 4): blocks 2 to 4 are pages
// 0 to 2 of LOB lobIdOf(0), block 5 an older version of page 3, blocks 6
// and 7 blocks of an extent list; the LOB maps are built from it once.
// Input: 16 head bytes, then the locator (head byte 3 long), then bytes
// XORed into block 2.
//   head byte 4: bits 0-1 LOB_STORAGE, bit 2 LONG_TAG, bit 3 CLOB or BLOB,
//                bit 4 national, bit 5 VERBOSE 3
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "datafile/block_reader.h"
#include "datafile/block_tally.h"
#include "export/dmp_writer.h"
#include "format/lob_layout.h"
#include "lob/lob_value.h"
#include "scan/lob_scan.h"
#include "tests/fuzz/common/fuzz_session.h"
#include "tools/builder/lob_builder.h"

namespace {

DamagedBlockFuzz* fuzz = nullptr;
LobReader* reader = nullptr;
FILE* sink = nullptr;
constexpr uint32_t kLocatorAt = 64;

void buildFile(mkdb::FileImage& f) {
  using namespace mkdb;
  LobBlockPlan p;
  p.objd = 91;
  p.id = lobIdOf(0);
  p.version = 2;
  for (uint32_t b = 2; b <= 4; b++) {
    p.page = b - 2;
    p.payload.assign(lobPayloadRoom(f.blockSize), static_cast<uint8_t>(0xC0 + b));
    addLobBlock(f, b, p);
  }
  p.page = 3;
  p.version = 1;
  addLobBlock(f, 5, p);
  addLobListValue(f, 6, 91, std::vector<uint8_t>(2 * lobListPayloadRoom(f.blockSize), 0xD8));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz = new DamagedBlockFuzz;
  if (initDamagedBlockFuzz(*fuzz, "lobvalue", buildFile) != 0) return 1;
  const std::string file = fuzz->session.ctx.fileSet->entries[0].name;
  if (chdir(file.substr(0, file.rfind('/')).c_str()) != 0) return 1;
  mkdir("ZUTDICT", 0777);
  SessionContext& ctx = fuzz->session.ctx;
  listLobBlockMap(ctx);
  reader = new LobReader;
  beginLobUnload(*reader, ctx);
  setTextStream(reader->clob, iconv_open("UTF-8", "UTF-16BE"), TextSource::kUtf16, "UTF-8");
  setTextStream(reader->nclob, iconv_open("ISO-8859-1", "UTF-8"), TextSource::kUtf8,
                "ISO-8859-1");
  sink = fopen("/dev/null", "w");
  return sink == nullptr ? 1 : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kDamagedHeadBytes) return 0;
  const size_t length = data[3] < size - kDamagedHeadBytes ? data[3] : size - kDamagedHeadBytes;
  const uint8_t* loc = data + kDamagedHeadBytes;
  // The block damage is what follows the locator.
  std::vector<uint8_t> damage(data, data + kDamagedHeadBytes);
  damage.insert(damage.end(), loc + length, data + size);
  uint8_t head[kDamagedHeadBytes];
  SessionContext& ctx = fuzz->session.ctx;
  emptyReadAheadCache(fuzz->session.res.lob);
  if (loadDamagedBlock(*fuzz, damage.data(), damage.size(), head) == 0) return 0;

  const LobLocator parsed = parseLobLocator(loc, length);
  if (parsed.form == LobLocatorForm::kInRow && parsed.kind == kLobKindInline &&
      static_cast<uint64_t>(parsed.dataOffset) + parsed.length > length)
    __builtin_trap();

  const uint8_t mode = head[4];
  ctx.lobStorage = mode & 3;
  ctx.longTagLength = (mode & 4) ? 1 : 0;
  ctx.longTag[0] = 'T';
  ctx.verbose = (mode & 0x20) ? 3 : 0;
  ctx.lobReader = reader;
  BlockTally tally;
  ctx.blockTally = &tally;
  memcpy(ctx.blockBuffer + kLocatorAt, loc, length);
  const uint32_t n = static_cast<uint32_t>(length);
  if (mode & 8) printBLOB(sink, ctx, kLocatorAt, n);
  else if (mode & 0x10) printNCLOB(sink, ctx, kLocatorAt, n);
  else printCLOB(sink, ctx, kLocatorAt, n);
  // The dump form is one whole item for the column, whatever the locator.
  if (n > 0) {
    requireWholeDumpRows(1, [&](FILE* f) {
      dumpLOBValue(f, ctx, loc, n, (mode & 8) ? kColBlob : kColClob, (mode & 0x10) ? 2 : 1);
      printDmpRecord(f);
    });
  }
  if (tally.unreadable[kUnreadableForeign] > tally.named) __builtin_trap();
  ctx.blockTally = nullptr;
  return 0;
}
