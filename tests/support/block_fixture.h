// Block images in a one-file database, dumped through the built binary, and
// the fixture files (real Oracle blocks, expected dumps) under
// tests/fixtures/.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/test_util.h"
#include "tools/builder/datafile_builder.h"

// The bytes of tests/fixtures/<name>; empty (and a test failure) when the
// file cannot be read.
inline std::string readFixture(const std::string& name) {
  std::ifstream in(std::string(ZUT_FIXTURES) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// File 4 of tablespace 4 in dir with its header; blocks from 2 on are empty
// until the test adds images.
inline mkdb::FileImage dumpFileImage(const TempDir& dir, uint32_t blockSize, uint8_t order,
                                     uint32_t blocks = 64) {
  mkdb::FileImage f;
  f.path = dir.file("users01.dbf");
  f.configName = "users01.dbf";
  f.blockSize = blockSize;
  f.byteOrder = order;
  f.rfn = f.fileNumber = 4;
  f.tablespace = 4;
  f.blocks = blocks;
  mkdb::addFileHeader(f);
  return f;
}

// Writes the file and db.cfg, then runs the binary: OPEN, the settings
// lines, and the commands; returns the transcript.
inline std::string runOnFile(const TempDir& dir, const mkdb::FileImage& f, const std::string& commands) {
  EXPECT_EQ(0, mkdb::writeDataFile(f));
  EXPECT_EQ(0, mkdb::writeConfigFile(dir.file("db.cfg"), {f}));
  RunResult r = runZut(dir.path(), "OPEN db.cfg\n" + commands + "EXIT\n");
  EXPECT_EQ(0, r.status);
  return r.out;
}

// ORADUMP of one block of file 4 into a file; returns what it wrote.
inline std::string oradumpBlock(const TempDir& dir, const mkdb::FileImage& f, uint32_t block,
                                const std::string& settings = "") {
  runOnFile(dir, f, settings + "ORADUMP FILE 4 BLOCK " + std::to_string(block) + " TO dump.txt\n");
  return dir.read("dump.txt");
}
