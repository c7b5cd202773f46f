#include "tools/builder/lob_builder.h"

#include <algorithm>

namespace mkdb {

namespace {

constexpr size_t kObjdAt = 20;
constexpr size_t kIdAt = 24;
constexpr size_t kVersionAt = 40;
constexpr size_t kPageAt = 44;
constexpr size_t kPayloadAt = 56;
constexpr size_t kListPayloadAt = 128;

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

StoredLob addLobValue(FileImage& f, uint32_t first, uint32_t objd, const LobId& id,
                      const std::vector<uint8_t>& value, uint8_t type, uint32_t version,
                      uint32_t firstPage) {
  StoredLob stored;
  const size_t room = lobPayloadRoom(f.blockSize);
  if (room == 0 || value.empty()) return stored;
  const size_t blocks = (value.size() + room - 1) / room;
  for (size_t i = 0; i < blocks; i++) {
    LobBlockPlan plan;
    plan.type = type;
    plan.objd = objd;
    plan.id = id;
    plan.version = version;
    plan.page = firstPage + static_cast<uint32_t>(i);
    const size_t at = i * room;
    plan.payload.assign(value.begin() + at, value.begin() + std::min(value.size(), at + room));
    addLobBlock(f, first + static_cast<uint32_t>(i), plan);
    stored.blocks.push_back(first + static_cast<uint32_t>(i));
  }
  stored.fullBlocks = static_cast<uint32_t>(blocks - 1);
  stored.lastLength = static_cast<uint32_t>(value.size() - (blocks - 1) * room);
  return stored;
}

size_t lobListPayloadRoom(uint32_t blockSize) {
  return blockSize > kListPayloadAt + kBlockTailSize ? blockSize - kListPayloadAt - kBlockTailSize
                                                     : 0;
}

std::vector<uint32_t> addLobListValue(FileImage& f, uint32_t first, uint32_t objd,
                                      const std::vector<uint8_t>& value) {
  std::vector<uint32_t> written;
  const size_t room = lobListPayloadRoom(f.blockSize);
  if (room == 0) return written;
  for (size_t at = 0; at < value.size(); at += room) {
    const uint32_t block = first + static_cast<uint32_t>(written.size());
    Block& b = addBlock(f, block, kLobBlockClob);
    putUB4(b, kObjdAt, objd, f.byteOrder);
    for (size_t i = at; i < value.size() && i < at + room; i++)
      putUB1(b, kListPayloadAt + i - at, value[i]);
    written.push_back(block);
  }
  return written;
}

namespace {

// Widths past 4 bytes (for locators the tool must refuse) pad with zeros.
void appendBE(std::vector<uint8_t>& out, uint32_t v, size_t width) {
  for (size_t i = 0; i < width; i++)
    out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * (width - 1 - i))));
}

}  // namespace

std::vector<uint8_t> encodeLocator(const LocatorPlan& p) {
  std::vector<uint8_t> out = {0x00, 0x54, 0x00, 0x01, 0x02,
                              static_cast<uint8_t>(p.form == LocatorPlan::kMapsOnly ? 0x00 : 0x04),
                              0x00, 0x00, 0x00, static_cast<uint8_t>(p.blob ? 0x01 : 0x02)};
  out.insert(out.end(), p.id.begin(), p.id.end());
  out.push_back(0);  // 20-21: the length, set at the end
  out.push_back(0);
  out.push_back(p.lobFlags);
  out.push_back(0);
  switch (p.form) {
    case LocatorPlan::kFixed:
      appendBE(out, p.fullBlocks, 4);
      appendBE(out, p.length, 2);
      out.resize(35, 0);
      out.push_back(p.kind);
      out.insert(out.end(), p.data.begin(), p.data.end());
      break;
    case LocatorPlan::kSized:
      out.push_back(0);
      out.push_back(0);
      out.push_back(p.sizeWidth);
      appendBE(out, p.fullBlocks, p.sizeWidth);
      appendBE(out, p.length, 2);
      out.push_back(p.kind);
      out.insert(out.end(), p.data.begin(), p.data.end());
      break;
    case LocatorPlan::kExtentList:
      out.push_back(0);
      out.push_back(0);
      out.push_back(static_cast<uint8_t>(0x1F + p.totalWidth));
      out.push_back(0);
      appendBE(out, p.length, p.totalWidth);
      out.push_back(p.sizeWidth);
      appendBE(out, p.fullBlocks, p.sizeWidth);
      for (const LobExtentSpec& e : p.extents) {
        out.push_back(e.wide ? 0x20 : 0x00);
        appendBE(out, e.rdba, 4);
        appendBE(out, e.blocks, e.wide ? 2 : 1);
      }
      break;
    case LocatorPlan::kMapsOnly:
      out.resize(40, 0);
      break;
  }
  const size_t after = out.size() - 20;
  out[20] = static_cast<uint8_t>(after >> 8);
  out[21] = static_cast<uint8_t>(after);
  return out;
}

LocatorPlan inlineLocator(const LobId& id, const std::vector<uint8_t>& value, bool blob) {
  LocatorPlan p;
  p.blob = blob;
  p.id = id;
  p.kind = 1;
  p.length = static_cast<uint32_t>(value.size());
  p.data = value;
  return p;
}

LocatorPlan mappedLocator(const LobId& id, const StoredLob& stored, bool blob) {
  LocatorPlan p;
  p.blob = blob;
  p.id = id;
  p.lobFlags = 0x05;
  p.kind = 2;
  p.fullBlocks = stored.fullBlocks;
  p.length = stored.lastLength;
  return p;
}

}  // namespace mkdb
