// The demo database stored in an ASM disk group: the builder's data file is
// written into ASM file 256 of a group of builder disk images, the plain
// file is removed, and asm.cfg names "+256". The tool runs in the directory.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/test_util.h"
#include "tools/builder/asm_builder.h"
#include "tools/builder/demo_db.h"

struct AsmLayout {
  int disks = 2;
  uint8_t byteOrder = 1;     // of the ASM metadata: 0 big, 1 little
  uint32_t auKB = 1024;
  uint32_t directSlots = 60;
  uint32_t perIndirect = 0;  // extents per indirect block (0: as many as fit)
  bool staleCopy = false;
  // Variable extents: extents up to `firstLast` one AU, then `laterCount` AUs
  // each (laterCount 0: every extent one AU).
  uint32_t firstLast = 0, laterCount = 0;
};

// Read in one piece: byte-by-byte stream iterators cost seconds per disk
// image in the unoptimized sanitizer build.
inline std::vector<uint8_t> readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

// Overwrites length bytes at byte `at` of a disk image with zeros.
inline void zeroFileBytes(const std::string& path, uint64_t at, uint64_t length) {
  FILE* f = fopen(path.c_str(), "r+b");
  ASSERT_NE(nullptr, f);
  const std::vector<char> zeros(length, 0);
  ASSERT_EQ(0, fseeko(f, static_cast<off_t>(at), SEEK_SET));
  ASSERT_EQ(length, fwrite(zeros.data(), 1, length, f));
  ASSERT_EQ(0, fclose(f));
}

struct AsmDemo {
  TempDir dir;
  mkdb::DemoDatabase db;
  mkdb::AsmGroup group;
  AsmLayout layout;
  std::vector<uint8_t> bytes;  // the data file stored as ASM file 256
  explicit AsmDemo(const AsmLayout& l) : layout(l) {
    db = mkdb::buildDemoDatabase(dir.path());
    EXPECT_EQ(0, mkdb::writeDemoDatabase(db, dir.path(), "plain.cfg"));
    bytes = readWholeFile(dir.file("users01.dbf"));
    group = mkdb::asmGroup(dir.path(), l.disks, l.byteOrder, l.auKB << 10, 256);
    // Small AUs hold fewer directory entries: the directory grows to reach
    // file 256.
    const uint32_t perAU = group.auSize / group.blockSize;
    for (uint32_t au = 900; group.directory.extents.size() * perAU <= 256; au++)
      group.directory.extents.push_back({0, au});
    mkdb::AsmFile f;
    f.number = 256;
    f.size = bytes.size();
    f.extents = mkdb::spreadExtents(group, bytes.size(), 8, sizes());
    f.directSlots = l.directSlots;
    f.perIndirectBlock = l.perIndirect;
    // Indirect extent blocks in the last AUs of disk 0.
    const uint32_t lastAU = (256u << 20) / group.auSize - 1;
    for (uint32_t k = 0; k < 8; k++) f.indirectAUs.push_back({0, lastAU - k});
    f.staleCopy = l.staleCopy;
    f.staleTarget = {0, 7};  // an AU of zeros
    group.files.push_back(f);
    EXPECT_EQ(0, mkdb::writeAsmGroup(group));
    EXPECT_EQ(0, mkdb::writeAsmFileBytes(group, f, 0, bytes, sizes()));
    EXPECT_EQ(0, mkdb::writeAsmDiskList(group, dir.file("disks.lst")));
    dir.write("asm.cfg", "+256\n");
    EXPECT_EQ(0, remove(dir.file("users01.dbf").c_str()));
  }
  mkdb::AsmExtentSizes sizes() const {
    if (layout.laterCount == 0) return nullptr;
    const uint32_t last = layout.firstLast, later = layout.laterCount;
    return [last, later](uint32_t e) { return e <= last ? 1u : later; };
  }
  // The ASM commands that set the group up as the builder laid it out.
  std::string openCommands() const {
    std::string s = "ASM SET AU_SIZE " + std::to_string(layout.auKB << 10) + "\nASM OPEN disks.lst\n";
    if (layout.laterCount)
      s += "ASM EXTENT LEVEL 1 AU " + std::to_string(layout.firstLast) +
           " COUNT 1\nASM EXTENT LEVEL 2 AU 100000 COUNT " + std::to_string(layout.laterCount) + "\n";
    return s;
  }
  const mkdb::AsmFile& file() const { return group.files.at(0); }
  // Where the directory entry of file k lies: (disk, AU, block).
  std::tuple<uint16_t, uint32_t, uint32_t> entryOf(uint32_t k) const {
    const uint32_t perAU = group.auSize / group.blockSize;
    const mkdb::AsmExtent& x = group.directory.extents.at(k / perAU);
    return {x.disk, x.au, k % perAU};
  }
  const mkdb::DemoTable& table(const std::string& name) const {
    const mkdb::DemoTable* t = db.table(name);
    EXPECT_NE(nullptr, t) << name;
    return *t;
  }
};
