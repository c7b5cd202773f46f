// Builder files for the scan and listing tests: segment headers and data
// runs of several objects in two files, opened in a fresh session.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/session_fixture.h"

inline void addSegment(mkdb::FileImage& f, uint32_t block, uint32_t objd, uint8_t type = 16) {
  mkdb::SegmentPlan s;
  s.type = type;
  s.block = block;
  s.objd = objd;
  s.extents = {mkdb::extentAt(f, block + 1, 8)};
  ASSERT_EQ(0, mkdb::addSegmentHeader(f, s));
}

inline mkdb::FileImage newFile(const TempDir& dir, const std::string& name, uint16_t rfn,
                        uint32_t blocks) {
  mkdb::FileImage f;
  f.path = dir.file(name);
  f.rfn = f.fileNumber = rfn;
  f.blocks = blocks;
  mkdb::addFileHeader(f);
  return f;
}

// Opens the files in a fresh session; each must already be written.
inline std::string configOf(const std::vector<mkdb::FileImage>& files) {
  std::string c;
  for (const mkdb::FileImage& f : files) c += f.path + "\n";
  return c;
}

// Two files with segment headers and data blocks of several objects.
struct HeaderFiles {
  TempDir dir;
  TestSession s;
  mkdb::FileImage f, g;
  HeaderFiles() {
    f = newFile(dir, "a.dbf", 4, 120);
    addSegment(f, 10, 74000);
    addSegment(f, 30, 74001, 17);
    mkdb::addDataRun(f, 40, 5, 74001);
    mkdb::addDataRun(f, 45, 2, 74002);
    mkdb::addDataBlock(f, 47, 74001, 2);
    g = newFile(dir, "b.dbf", 5, 80);
    addSegment(g, 20, 74001);
    addSegment(g, 50, 74003, 35);
    mkdb::addDataRun(g, 60, 3, 74001);
    EXPECT_EQ(0, mkdb::writeDataFile(f));
    EXPECT_EQ(0, mkdb::writeDataFile(g));
    s.open(dir, configOf({f, g}));
  }
};

inline std::vector<std::string> rdbaLines(const std::string& text) {
  std::vector<std::string> r;
  for (size_t at = text.find("RDBA="); at != std::string::npos; at = text.find("RDBA=", at + 1))
    r.push_back(text.substr(at + 5, text.find(')', at) - at - 4));
  return r;
}

