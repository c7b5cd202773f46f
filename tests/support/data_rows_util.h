// Helpers for the data block row tests: values, column types, and decoding a
// block (held in memory or read from a builder file) to text and messages.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/session_context.h"
#include "datafile/block_reader.h"
#include "rows/text_rows.h"
#include "tests/support/session_fixture.h"
#include "tools/builder/oracle_values.h"
#include "tools/builder/row_builder.h"

inline mkdb::Value num(const std::string& text) {
  OracleBytes b;
  EXPECT_TRUE(encodeOracleNumber(text, b)) << text;
  return b;
}
inline mkdb::Value str(const std::string& text) { return OracleBytes(text.begin(), text.end()); }
inline mkdb::Value null() { return std::nullopt; }

inline void setTypes(SessionContext& ctx, std::initializer_list<uint8_t> types) {
  memset(ctx.columnTypes, 0, sizeof ctx.columnTypes);
  int i = 0;
  for (uint8_t t : types) ctx.columnTypes[i++] = t;
  ctx.columnCount = static_cast<uint16_t>(i);
}

struct Decoded {
  std::string text;      // what the rows wrote to the output stream
  std::string messages;  // what went to standard output
};

// Decodes the block already in the session buffer.
inline Decoded decodeLoaded(SessionContext& ctx, int table = 0, int takeDeleted = 0,
                            int committedOnly = 0) {
  char* data = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&data, &size);
  testing::internal::CaptureStdout();
  printDataRows2(f, ctx, table, takeDeleted, committedOnly);
  fclose(f);
  Decoded d;
  d.messages = testing::internal::GetCapturedStdout();
  d.text.assign(data, size);
  free(data);
  return d;
}

// Copies a block image into the session buffer and decodes it.
inline Decoded decodeBlock(SessionContext& ctx, const mkdb::Block& block, int table = 0,
                           int takeDeleted = 0, int committedOnly = 0) {
  EXPECT_EQ(ctx.blockSize, block.size());
  memcpy(ctx.blockBuffer, block.data(), std::min<size_t>(ctx.blockSize, block.size()));
  return decodeLoaded(ctx, table, takeDeleted, committedOnly);
}

// One block image with a single table of the given pieces.
inline mkdb::Block rowBlock(const mkdb::FileImage& f, uint32_t block,
                            const std::vector<mkdb::RowPiece>& pieces, uint32_t objd = 77,
                            bool headerShift = true) {
  mkdb::DataBlockPlan plan;
  plan.objd = objd;
  plan.headerShift = headerShift;
  plan.tables.push_back(pieces);
  mkdb::Block b;
  EXPECT_EQ(0, mkdb::encodeRowBlock(f, block, plan, b));
  mkdb::setChecksum(b);
  return b;
}

inline mkdb::RowPiece piece(std::vector<mkdb::Value> columns, uint8_t flag = mkdb::kRowWhole) {
  mkdb::RowPiece p;
  p.flag = flag;
  p.columns = std::move(columns);
  return p;
}

// A file geometry for in-memory blocks.
inline mkdb::FileImage geometry(uint32_t blockSize = 8192, uint8_t order = mkdb::kLittle,
                                uint16_t rfn = 1) {
  mkdb::FileImage f;
  f.blockSize = blockSize;
  f.byteOrder = order;
  f.rfn = f.fileNumber = rfn;
  return f;
}
