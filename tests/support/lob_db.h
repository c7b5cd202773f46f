// A data file holding a table (ID NUMBER, C CLOB, B BLOB) whose LOB values
// take every locator layout, built with the builder at any block size and
// byte order, and the exact text an unload of it writes, worked out here
// from the values themselves:
//
//   UNLOAD OBJECT 7001 COLUMN NUMBER CLOB BLOB FILE 4 BLOCK 2
//
// Rows go to data blocks 3 ..., LOB blocks from block 64 on. Each row is
// added with its locators (nullopt: NULL) and the bytes each LOB column
// must come out as.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/test_util.h"
#include "tools/builder/datafile_builder.h"
#include "tools/builder/dict_files.h"
#include "tools/builder/lob_builder.h"
#include "tools/builder/row_builder.h"

constexpr uint32_t kLobTableObjd = 7001;
constexpr uint32_t kLobSegmentObjd = 7002;
constexpr uint16_t kLobFileRfn = 4;
constexpr const char* kLobUnloadCommand =
    "UNLOAD OBJECT 7001 COLUMN NUMBER CLOB BLOB FILE 4 BLOCK 2 TO lobs.txt;\n";

using Bytes = std::vector<uint8_t>;

// n bytes from a seed: printable ASCII without "|" for text, any byte for
// binary values.
inline Bytes lobBytes(size_t n, uint32_t seed, bool text = true) {
  Bytes b(n);
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < n; i++) {
    x = x * 1103515245u + 12345u;
    const uint8_t v = static_cast<uint8_t>(x >> 16);
    b[i] = text ? static_cast<uint8_t>('A' + v % 26) : v;
  }
  return b;
}

inline std::string asText(const Bytes& b) { return std::string(b.begin(), b.end()); }

// A locator plan of any form: LOB flags F, kind K, N and L (the total for an
// extent list), the size byte s and the total length's width b.
inline mkdb::LocatorPlan locatorPlan(mkdb::LocatorPlan::Form form, const mkdb::LobId& id,
                                     uint8_t flags, uint8_t kind, uint32_t n, uint32_t l,
                                     uint8_t sizeWidth = 4, uint8_t totalWidth = 4,
                                     bool blob = false) {
  mkdb::LocatorPlan p;
  p.form = form;
  p.id = id;
  p.blob = blob;
  p.lobFlags = flags;
  p.kind = kind;
  p.fullBlocks = n;
  p.length = l;
  p.sizeWidth = sizeWidth;
  p.totalWidth = totalWidth;
  return p;
}

struct LobDb {
  mkdb::FileImage f;
  uint32_t nextBlock = 64;  // next free block for LOB data
  uint8_t nextId = 1;
  std::vector<mkdb::TableRow> rows;
  std::string expected;     // the unload's text
  std::vector<mkdb::LobIndexEntry> index;

  LobDb(const TempDir& dir, uint32_t blockSize, uint8_t order, uint32_t blocks = 400) {
    f.path = dir.file("lobs.dbf");
    f.configName = "lobs.dbf";
    f.blockSize = blockSize;
    f.byteOrder = order;
    f.rfn = f.fileNumber = kLobFileRfn;
    f.tablespace = 4;
    f.blocks = blocks;
    mkdb::addFileHeader(f);
  }

  size_t room() const { return mkdb::lobPayloadRoom(f.blockSize); }
  size_t listRoom() const { return mkdb::lobListPayloadRoom(f.blockSize); }
  mkdb::LobId newId() { return mkdb::lobIdOf(static_cast<uint8_t>(16 * nextId++)); }
  uint32_t rdba(uint32_t block) const { return mkdb::blockAddress(f, block); }

  // The value in LOB blocks of the block map (one page a block).
  mkdb::StoredLob store(const mkdb::LobId& id, const Bytes& value, bool blob = false,
                        uint32_t version = 1, uint32_t firstPage = 0) {
    const mkdb::StoredLob s =
        mkdb::addLobValue(f, nextBlock, kLobSegmentObjd, id, value,
                          blob ? mkdb::kLobBlockBlob : mkdb::kLobBlockClob, version, firstPage);
    nextBlock += static_cast<uint32_t>(s.blocks.size());
    return s;
  }
  // The value in blocks of an extent list; the extents are runs of the
  // given numbers of blocks (the last run takes what is left).
  std::vector<mkdb::LobExtentSpec> storeList(const Bytes& value, std::vector<uint32_t> runs,
                                             bool wide) {
    const std::vector<uint32_t> blocks =
        mkdb::addLobListValue(f, nextBlock, kLobSegmentObjd, value);
    std::vector<mkdb::LobExtentSpec> extents;
    size_t at = 0;
    for (size_t i = 0; i < runs.size() && at < blocks.size(); i++) {
      const uint32_t n = i + 1 == runs.size() ? static_cast<uint32_t>(blocks.size() - at) : runs[i];
      extents.push_back({rdba(blocks[at]), n, wide});
      at += n;
    }
    nextBlock += static_cast<uint32_t>(blocks.size()) + 1;  // a gap between values
    return extents;
  }

  // A row of the ID and the given LOB columns (locators; nullopt: NULL) and
  // what each must be written as.
  void row(const std::vector<std::optional<Bytes>>& lobs, const std::vector<std::string>& out) {
    mkdb::TableRow r;
    OracleBytes id;
    EXPECT_TRUE(encodeOracleNumber(std::to_string(rows.size() + 1), id));
    r.values = {id};
    for (const auto& v : lobs) r.values.push_back(v ? mkdb::Value(*v) : std::nullopt);
    rows.push_back(r);
    expected += std::to_string(rows.size());
    size_t stored = lobs.size();
    while (stored > 0 && !lobs[stored - 1]) stored--;  // trailing NULLs are not stored
    for (size_t i = 0; i < stored; i++) expected += "|" + out[i];
    expected += "\r\n";
  }
  void row(const std::optional<Bytes>& clob, const std::string& clobOut,
           const std::optional<Bytes>& blob, const std::string& blobOut) {
    row({clob, blob}, {clobOut, blobOut});
  }

  // The dictionary files of the table as SCOTT.LOBS with the given columns
  // after ID.
  void writeDictionary(const TempDir& dir, const std::vector<mkdb::DictColumnSpec>& lobColumns) {
    mkdb::DictionaryRows d;
    mkdb::DictStorage st;
    st.dataObjId = kLobTableObjd;
    st.tablespace = 4;
    st.file = kLobFileRfn;
    st.block = 2;
    std::vector<mkdb::DictColumnSpec> columns(1);
    columns[0].name = "ID";
    columns[0].type = 2;
    columns[0].length = 22;
    columns.insert(columns.end(), lobColumns.begin(), lobColumns.end());
    mkdb::addDictTable(d, "SCOTT", "LOBS", st, columns, kLobTableObjd);
    ASSERT_TRUE(mkdb::writeDictionaryFiles(dir.file("ZUTDICT"), d));
  }

  // Lays out the rows, the segment header, the LOB index leaf, and writes
  // the file and db.cfg.
  void write(const TempDir& dir) {
    mkdb::PackOptions options;
    options.objd = kLobTableObjd;
    const std::vector<uint32_t> used = mkdb::packRows(f, 3, rows, options);
    ASSERT_FALSE(used.empty());
    ASSERT_LT(used.back(), 60u);
    mkdb::SegmentPlan seg;
    seg.block = 2;
    seg.objd = kLobTableObjd;
    seg.extents = {mkdb::extentAt(f, 3, used.back() - 2)};
    ASSERT_EQ(0, mkdb::addSegmentHeader(f, seg));
    if (!index.empty()) {
      ASSERT_EQ(0, mkdb::addLobIndexLeaf(f, nextBlock++, kLobSegmentObjd + 1, index));
    }
    ASSERT_LT(nextBlock, f.blocks);
    ASSERT_EQ(0, mkdb::writeDataFile(f));
    ASSERT_EQ(0, mkdb::writeConfigFile(dir.file("db.cfg"), {f}));
  }
};

// Runs the session after OPEN db.cfg and SCAN LOB, which build the LOB maps.
inline RunResult runLobSession(const TempDir& dir, const std::string& commands) {
  return runZut(dir.path(), "OPEN db.cfg\nSCAN LOB\n" + commands + "EXIT\n");
}
