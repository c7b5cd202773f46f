#include "tools/builder/lob_builder.h"

#include <algorithm>

namespace mkdb {

namespace {

constexpr size_t kObjdAt = 20;
constexpr size_t kIdAt = 24;
constexpr size_t kVersionAt = 40;
constexpr size_t kPageAt = 44;
constexpr size_t kPayloadAt = 56;

void putBE(std::vector<uint8_t>& out, size_t off, uint32_t v, size_t width) {
  for (size_t i = 0; i < width; i++)
    out[off + i] = static_cast<uint8_t>(v >> (8 * (width - 1 - i)));
}

}  // namespace

LobId lobIdOf(uint8_t seed) {
  LobId id{};
  for (size_t i = 0; i < id.size(); i++) id[i] = static_cast<uint8_t>(seed + i);
  return id;
}

std::string lobIdHex(const LobId& id) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string s;
  for (uint8_t b : id) {
    s.push_back(kHex[b >> 4]);
    s.push_back(kHex[b & 15]);
  }
  return s;
}

size_t lobPayloadRoom(uint32_t blockSize) {
  return blockSize > kPayloadAt + kBlockTailSize ? blockSize - kPayloadAt - kBlockTailSize : 0;
}

Block& addLobBlock(FileImage& f, uint32_t block, const LobBlockPlan& plan) {
  Block& b = addBlock(f, block, plan.type);
  const uint8_t o = f.byteOrder;
  putUB4(b, kObjdAt, plan.objd, o);
  for (size_t i = 0; i < plan.id.size(); i++) putUB1(b, kIdAt + i, plan.id[i]);
  putUB4(b, kVersionAt, plan.version, o);
  putUB4(b, kPageAt, plan.page, o);
  const size_t n = std::min(plan.payload.size(), lobPayloadRoom(f.blockSize));
  for (size_t i = 0; i < n; i++) putUB1(b, kPayloadAt + i, plan.payload[i]);
  return b;
}

std::vector<uint8_t> lobEntryData(uint32_t fullBlocks, uint16_t lastLength) {
  std::vector<uint8_t> d(kLobEntryDataSize, 0);
  d[1] = 0x20;
  d[2] = 0x03;
  putBE(d, 4, fullBlocks, 4);
  putBE(d, 8, lastLength, 2);
  return d;
}

LobIndexEntry lobIndexEntry(const LobId& id, uint32_t fullBlocks, uint16_t lastLength,
                            uint32_t offset) {
  LobIndexEntry e;
  e.id = id;
  e.offset = offset;
  e.data = lobEntryData(fullBlocks, lastLength);
  return e;
}

IndexBlockPlan lobIndexLeafPlan(uint32_t objd, const std::vector<LobIndexEntry>& entries) {
  IndexBlockPlan plan;
  plan.objd = objd;
  plan.opcode = 0;
  plan.keyColumns = 2;
  plan.prefixSize = kLobEntryDataSize;
  for (const LobIndexEntry& e : entries) {
    IndexRow row;
    row.prefix = e.data;
    row.key.push_back(OracleBytes(e.id.begin(), e.id.end()));
    OracleBytes offset(4, 0);
    putBE(offset, 0, e.offset, 4);
    row.key.push_back(offset);
    plan.rows.push_back(row);
  }
  return plan;
}

int addLobIndexLeaf(FileImage& f, uint32_t block, uint32_t objd,
                    const std::vector<LobIndexEntry>& entries) {
  return addIndexBlock(f, block, lobIndexLeafPlan(objd, entries));
}

}  // namespace mkdb
