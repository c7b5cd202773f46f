// Segment headers, extent map blocks and the block walks over a damaged
// scratch data file. The file holds a segment header (type 16, 17 or 35) in
// block 2 whose extent map spills into map blocks 3 and 4, and data blocks
// of the object in its extents. The input damages one of those blocks (its
// bytes after the first 8 are XORed into it) and drives:
//   - printExtentRows from the (damaged) segment header,
//   - printRowByExtent over an extent the input chooses,
//   - listExtentMap over the whole file (the SCAN EXTENT walk),
//   - the full scan of one block and of every block.
// Nothing may read outside a buffer, loop or write a row of another object.
//
// Input: byte 0 bits 0-1 segment header type (16, 17, 35), bits 2-4 the
// damaged block (header, map 3, map 4, data 8, 9, 16, 24, none), bit 5 the
// same bytes also into the header, bit 6 BLOCK_CHECK; byte 1 MAXCHAINS and
// the table number; bytes 2-7 the extent of printRowByExtent (first block,
// block count, file number).
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "unload/unload_drivers.h"
#include "scan/extent_scan.h"
#include "tests/fuzz/common/fuzz_session.h"
#include "tools/builder/row_builder.h"

namespace {

constexpr uint32_t kBlockSize = 2048;
constexpr uint32_t kBlocks = 40;
constexpr uint16_t kRfn = 4;
constexpr uint32_t kObjd = 91;
constexpr uint8_t kTypes[3] = {16, 17, 35};
constexpr uint32_t kDamaged[8] = {2, 3, 4, 8, 9, 16, 24, 0};

struct Scratch {
  std::string dir;
  int fd = -1;
  // Block images by segment header type: header, two map blocks.
  std::map<uint32_t, mkdb::Block> images[3];
  std::map<uint32_t, mkdb::Block> data;  // the data blocks
  HarnessSession session;
  FILE* sink = nullptr;
};
Scratch* scratch = nullptr;

void addRows(mkdb::FileImage& f, uint32_t block, uint32_t objd) {
  mkdb::DataBlockPlan plan;
  plan.objd = objd;
  std::vector<mkdb::RowPiece> rows;
  for (int r = 0; r < 3; r++) {
    mkdb::RowPiece p;
    p.columns = {OracleBytes{0xC1, static_cast<uint8_t>(2 + r)}, textValue("b" + std::to_string(block))};
    rows.push_back(p);
  }
  plan.tables.push_back(rows);
  mkdb::addRowBlock(f, block, plan);
}

mkdb::FileImage baseFile(uint8_t type) {
  mkdb::FileImage f;
  f.path = scratch->dir + "/map.dbf";
  f.blockSize = kBlockSize;
  f.rfn = f.fileNumber = kRfn;
  f.blocks = kBlocks;
  mkdb::addFileHeader(f);
  for (uint32_t b : {8u, 9u, 10u, 16u, 17u, 24u, 25u, 26u, 32u}) addRows(f, b, kObjd);
  addRows(f, 12, kObjd + 1);
  mkdb::SegmentPlan plan;
  plan.type = type;
  plan.block = 2;
  plan.objd = kObjd;
  plan.perBlock = 2;
  plan.mapBlocks = {3, 4};
  plan.extents = {mkdb::extentAt(f, 8, 4), mkdb::extentAt(f, 16, 2), mkdb::extentAt(f, 24, 3),
                  mkdb::extentAt(f, 32, 1), mkdb::extentAt(f, 33, 2)};
  mkdb::addSegmentHeader(f, plan);
  return f;
}

void writeImage(uint32_t block, const mkdb::Block& b) {
  if (pwrite(scratch->fd, b.data(), b.size(), static_cast<off_t>(block) * kBlockSize) < 0) abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  scratch = new Scratch;
  scratch->dir = makeFuzzScratch("extent");
  if (scratch->dir.empty()) return 1;
  for (int t = 0; t < 3; t++) {
    mkdb::FileImage f = baseFile(kTypes[t]);
    if (t == 0 && mkdb::writeDataFile(f) != 0) return 1;
    for (uint32_t b : {2u, 3u, 4u}) {
      mkdb::Block img = f.images[b];
      mkdb::setChecksum(img);
      scratch->images[t][b] = img;
    }
    if (t == 0) {
      for (uint32_t b : {8u, 9u, 16u, 24u}) {
        mkdb::Block img = f.images[b];
        mkdb::setChecksum(img);
        scratch->data[b] = img;
      }
    }
  }
  scratch->fd = open((scratch->dir + "/map.dbf").c_str(), O_WRONLY);
  if (scratch->fd < 0) return 1;
  scratch->sink = fopen("/dev/null", "w");
  SessionContext& ctx = scratch->session.ctx;
  ctx.columnCount = 2;
  ctx.columnTypes[0] = kColNumber;
  ctx.columnTypes[1] = kColVarchar2;
  return openFuzzSession(scratch->session, scratch->dir + "/map.dbf\n", kBlockSize, 8);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Scratch& s = *scratch;
  SessionContext& ctx = s.session.ctx;
  uint8_t head[8] = {};
  memcpy(head, data, size < 8 ? size : 8);
  const int type = (head[0] & 3) % 3;
  const uint32_t damaged = kDamaged[(head[0] >> 2) & 7];

  std::map<uint32_t, mkdb::Block> blocks = s.images[type];
  for (const auto& [b, img] : s.data) blocks[b] = img;
  const auto damage = [&](uint32_t b) {
    mkdb::Block& img = blocks[b];
    for (size_t i = 8; i < size && i - 8 < img.size(); i++) img[i - 8] ^= data[i];
  };
  if (damaged != 0) damage(damaged);
  if ((head[0] & 0x20) && damaged != 2) damage(2);
  for (const auto& [b, img] : blocks) writeImage(b, img);
  emptyReadAheadCache(s.session.res.data);

  ctx.blockCheck = (head[0] >> 6) & 1;
  ctx.maxChains = head[1] & 3;
  const int table = (head[1] >> 2) & 1;
  ctx.rowsUnloaded = 0;
  ctx.rowLimit = kNoRowLimit;
  if (readSingleBlock(s.session.ctx.fileSet, ctx, kRfn, 2) == kBlockSize) {
    printExtentRows(s.sink, ctx, kObjd, table, 0, 0);
  }
  UnloadExtent e;
  e.objd = kObjd;
  e.file = (head[7] & 1) ? kRfn : head[7];
  e.block = head[2] | (head[3] & 0x80 ? static_cast<uint32_t>(head[3]) << 24 : 0);
  e.blocks = head[4] | static_cast<uint32_t>(head[5]) << 8 | static_cast<uint32_t>(head[6]) << 24;
  printRowByExtent(s.sink, ctx, kObjd, table, 0, 0, e);
  listExtentMap(s.sink, ctx);
  scanTableRows(s.sink, ctx, kObjd, table, 0, 0, kRfn, damaged);
  scanTableRows(s.sink, ctx, kObjd, table, 0, 0, 0, 0);
  fflush(s.sink);
  return 0;
}
