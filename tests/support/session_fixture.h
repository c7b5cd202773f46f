// A session with its own file set, windows and block lists, set up as the
// interpreter sets one up, for tests that call the decoders directly.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "core/session_context.h"
#include "datafile/block_reader.h"
#include "datafile/data_file_set.h"
#include "datafile/session_setup.h"
#include "tests/support/test_util.h"
#include "tools/builder/datafile_builder.h"

struct TestSession {
  SessionContext ctx;
  SessionResources res;
  DataFileSet* set = nullptr;
  ReadAheadCache& data = res.data;
  ReadAheadCache& lob = res.lob;
  RdbaList& corrupt = res.corrupt;
  RdbaList& skip = res.skip;

  explicit TestSession(uint16_t blockSize = 8192, uint8_t byteOrder = 0) {
    startSession(ctx, res, blockSize, kDefaultCacheSize);
    ctx.byteOrder = byteOrder;
    set = res.set.get();
  }
  ~TestSession() { endSession(ctx, res); }
  TestSession(const TestSession&) = delete;
  TestSession& operator=(const TestSession&) = delete;

  // Loads and opens a configuration text, identifies the files and builds
  // the index; returns what the listing printed.
  std::string open(const TempDir& dir, const std::string& config) {
    dir.write("test.cfg", config);
    FILE* f = fopen(dir.file("test.cfg").c_str(), "r");
    EXPECT_NE(nullptr, f);
    if (f == nullptr) return "";
    testing::internal::CaptureStdout();
    openSessionFiles(ctx, f);
    fclose(f);
    return testing::internal::GetCapturedStdout();
  }

  uint32_t blockRDBA() const {
    const unsigned char* b = ctx.blockBuffer;
    return ctx.byteOrder ? (uint32_t(b[4]) << 24 | b[5] << 16 | b[6] << 8 | b[7])
                         : (uint32_t(b[7]) << 24 | b[6] << 16 | b[5] << 8 | b[4]);
  }
};

// A builder file in dir with a header and empty data blocks after it.
inline mkdb::FileImage builtFile(const TempDir& dir, const std::string& name, uint32_t blocks,
                                 uint16_t rfn = 1, uint32_t blockSize = 8192,
                                 uint8_t order = mkdb::kLittle) {
  mkdb::FileImage f;
  f.path = dir.file(name);
  f.blockSize = blockSize;
  f.byteOrder = order;
  f.rfn = f.fileNumber = rfn;
  f.tablespace = 4;
  f.blocks = blocks;
  mkdb::addFileHeader(f);
  if (blocks > 2) mkdb::addDataRun(f, 2, blocks - 2, 7000 + rfn);
  return f;
}

inline std::string listingHeading() {
  return "*  ts#  rfn ver bsize     blocks   sizemb hsize filename\n"
         "- ---- ---- --- ----- ---------- -------- ----- -----------------------------------\n";
}

// Runs work with dir as the working directory, where the maps and their
// pieces live in ZUTDICT/.
inline void inDirectory(const TempDir& dir, const std::function<void()>& work) {
  char old[4096];
  ASSERT_NE(nullptr, getcwd(old, sizeof old));
  ASSERT_EQ(0, chdir(dir.path().c_str()));
  mkdir("ZUTDICT", 0777);
  work();
  ASSERT_EQ(0, chdir(old));
}
