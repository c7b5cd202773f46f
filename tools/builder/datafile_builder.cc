#include "tools/builder/datafile_builder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace mkdb {

namespace {

// On-disk layout of the blocks the builder writes. These are kept apart from
// the tool's own layout accessors on purpose.
namespace at {
// cache header, every block
constexpr size_t kType = 0;
constexpr size_t kFormat = 1;
constexpr size_t kRdba = 4;
constexpr size_t kScnBase = 8;
constexpr size_t kScnWrap = 12;
constexpr size_t kSeq = 14;
constexpr size_t kFlag = 15;
constexpr size_t kChecksum = 16;
// transaction header of data blocks
constexpr size_t kDataType = 20;
constexpr size_t kDataObjd = 24;
constexpr size_t kCleanScnBase = 28;
constexpr size_t kCleanScnWrap = 32;
constexpr size_t kItlCount = 36;
constexpr size_t kFreeListFlag = 38;  // also the header shift flag
constexpr size_t kFirstItl = 44;
constexpr size_t kItlSize = 24;
constexpr size_t kItlFlagLock = 16;
constexpr size_t kHeaderShift = 8;
// segment header, types 16/17
constexpr size_t kSegExtents = 36;
constexpr size_t kSegBlocks = 40;
constexpr size_t kSegHwmExtent = 48;
constexpr size_t kSegHwmBlocks = 52;
constexpr size_t kSegHwmExtSize = 56;
constexpr size_t kSegHwmAddress = 60;
constexpr size_t kSegNextMap64 = 64;
constexpr size_t kSegMapFlag = 104;
constexpr size_t kSegInBlock = 92;
constexpr size_t kSegNextMap = 96;
constexpr size_t kSegObjd = 100;
constexpr size_t kSegFirst = 108;
// pagetable segment header, type 35
constexpr size_t kPageInBlock = 264;
constexpr size_t kPageNextMap = 268;
constexpr size_t kPageObjd = 272;
constexpr size_t kPageFirst = 280;
// extent map blocks, types 18/36
constexpr size_t kMapInBlock = 20;
constexpr size_t kMapNextMap = 24;
constexpr size_t kMapObjd = 28;
constexpr size_t kMapFirst = 36;
// data file header, type 11
constexpr size_t kSoftwareVersion = 20;
constexpr size_t kCompatibleVersion = 24;
constexpr size_t kDbid = 28;
constexpr size_t kDbName = 32;
constexpr size_t kControlSeq = 40;
constexpr size_t kFileBlocks = 44;
constexpr size_t kBlockSize = 48;
constexpr size_t kFileNumber = 52;
constexpr size_t kFileType = 54;
constexpr size_t kBootstrap = 96;
constexpr size_t kFuzzy = 138;
}  // namespace at

constexpr uint8_t kTypeData = 6;
constexpr uint8_t kHeaderShiftFlag = 0x32;
constexpr uint8_t kTypeFileHeader = 11;
constexpr uint8_t kOsHeaderFill = 0xEE;

// Tablespace number, name length and name offsets for a format byte.
void tablespaceOffsets(uint8_t format, size_t& number, size_t& length, size_t& name) {
  if (format == 0x02) {
    number = 244, length = 248, name = 250;
  } else if (format == 0xA2 || format == 0xC2) {
    number = 332, length = 336, name = 338;
  } else {
    number = 336, length = 336, name = 338;
  }
}

void fillCacheHeader(const FileImage& f, Block& b, uint32_t block, uint8_t type) {
  const uint8_t seq = 1;
  putUB1(b, at::kType, type);
  putUB1(b, at::kFormat, f.format);
  putUB4(b, at::kRdba, blockAddress(f, block), f.byteOrder);
  putUB4(b, at::kScnBase, f.scnBase, f.byteOrder);
  putUB2(b, at::kScnWrap, f.scnWrap, f.byteOrder);
  putUB1(b, at::kSeq, seq);
  putUB1(b, at::kFlag, 0x04);
  const uint32_t tail = (f.scnBase & 0xFFFF) << 16 | static_cast<uint32_t>(type) << 8 | seq;
  putUB4(b, b.size() - kBlockTailSize, tail, f.byteOrder);
}

void fillDataBlock(const FileImage& f, Block& b, uint32_t objd, uint8_t itls, uint8_t dataType) {
  const uint8_t o = f.byteOrder;
  putUB1(b, at::kDataType, dataType);
  putUB4(b, at::kDataObjd, objd, o);
  putUB4(b, at::kCleanScnBase, f.scnBase - 1, o);
  putUB2(b, at::kCleanScnWrap, f.scnWrap, o);
  putUB2(b, at::kItlCount, itls, o);
  putUB1(b, at::kFreeListFlag, kHeaderShiftFlag);
  for (uint32_t i = 0; i < itls; i++) {
    const size_t e = at::kFirstItl + at::kItlSize * i;
    putUB2(b, e + 0, 1 + i, o);                        // undo segment
    putUB2(b, e + 2, 0x010 + i, o);                    // slot
    putUB4(b, e + 4, 0x100 + i, o);                    // wrap
    putUB4(b, e + 8, makeAddress(3, 0x200 + i), o);    // undo block address
    putUB2(b, e + 12, 0x20 + i, o);                    // undo block sequence
    putUB1(b, e + 14, static_cast<uint8_t>(0x30 + i));  // undo record
    putUB2(b, e + at::kItlFlagLock, 0x8000 | i, o);    // committed, lock count i
    putUB2(b, e + 18, 0, o);                           // free space credit
    putUB4(b, e + 20, f.scnBase - 2 - i, o);           // commit SCN
  }
}

uint32_t effectiveBlockCount(const FileImage& f) {
  uint64_t n = f.blocks;
  if (!f.images.empty()) n = std::max<uint64_t>(n, static_cast<uint64_t>(f.images.rbegin()->first) + 1);
  for (const DataRun& r : f.runs) n = std::max<uint64_t>(n, static_cast<uint64_t>(r.first) + r.count);
  return static_cast<uint32_t>(std::min<uint64_t>(n, 0xFFFFFFFFULL));
}

bool writeAll(int fd, const void* data, size_t n, uint64_t offset) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t w = pwrite(fd, p, n, static_cast<off_t>(offset));
    if (w <= 0) return false;
    p += w;
    n -= static_cast<size_t>(w);
    offset += static_cast<uint64_t>(w);
  }
  return true;
}

// Writes a run of empty data blocks in pieces of about 1 MiB.
bool writeRun(int fd, const FileImage& f, const DataRun& r) {
  const uint32_t S = f.blockSize;
  Block tmpl(S, 0);
  fillCacheHeader(f, tmpl, r.first, kTypeData);
  fillDataBlock(f, tmpl, r.objd, r.itls, 1);
  const uint32_t perPiece = std::max<uint32_t>(1, (1u << 20) / S);
  std::vector<uint8_t> piece(static_cast<size_t>(perPiece) * S);
  for (uint32_t done = 0; done < r.count;) {
    const uint32_t n = std::min(perPiece, r.count - done);
    for (uint32_t k = 0; k < n; k++) {
      Block b = tmpl;
      putUB4(b, at::kRdba, blockAddress(f, r.first + done + k), f.byteOrder);
      setChecksum(b);
      memcpy(piece.data() + static_cast<size_t>(k) * S, b.data(), S);
    }
    const uint64_t offset = static_cast<uint64_t>(r.first + done) * S + f.hsize;
    if (!writeAll(fd, piece.data(), static_cast<size_t>(n) * S, offset)) return false;
    done += n;
  }
  return true;
}

}  // namespace

uint32_t makeAddress(uint32_t rfn, uint32_t block) { return rfn << 22 | (block & 0x3FFFFF); }

uint32_t blockAddress(const FileImage& f, uint32_t block) {
  return f.bigfile ? block : makeAddress(f.rfn, block);
}

Extent extentAt(const FileImage& f, uint32_t firstBlock, uint32_t blocks) {
  return Extent{blockAddress(f, firstBlock), blocks};
}

void putUB1(Block& b, size_t off, uint32_t v) {
  if (off < b.size()) b[off] = static_cast<uint8_t>(v);
}

void putUB2(Block& b, size_t off, uint32_t v, uint8_t order) {
  if (b.size() < 2 || off > b.size() - 2) return;
  if (order == kBig) {
    b[off] = static_cast<uint8_t>(v >> 8);
    b[off + 1] = static_cast<uint8_t>(v);
  } else {
    b[off] = static_cast<uint8_t>(v);
    b[off + 1] = static_cast<uint8_t>(v >> 8);
  }
}

void putUB4(Block& b, size_t off, uint32_t v, uint8_t order) {
  if (b.size() < 4 || off > b.size() - 4) return;
  for (int i = 0; i < 4; i++) {
    const int shift = order == kBig ? 24 - 8 * i : 8 * i;
    b[off + i] = static_cast<uint8_t>(v >> shift);
  }
}

Block& addBlock(FileImage& f, uint32_t block, uint8_t type) {
  Block& b = f.images[block];
  b.assign(f.blockSize, 0);
  fillCacheHeader(f, b, block, type);
  return b;
}

Block& blockImage(FileImage& f, uint32_t block) {
  auto it = f.images.find(block);
  if (it != f.images.end()) return it->second;
  // The last run that covers the block is the one writeDataFile leaves there.
  for (auto r = f.runs.rbegin(); r != f.runs.rend(); ++r) {
    if (block >= r->first && block - r->first < r->count) return addDataBlock(f, block, r->objd, r->itls);
  }
  Block& b = f.images[block];
  b.assign(f.blockSize, 0);
  return b;
}

void addFileHeader(FileImage& f) {
  const uint8_t o = f.byteOrder;
  // Block 0 carries no address; it only has to look like an Oracle block.
  Block& zero = f.images[0];
  zero.assign(f.blockSize, 0);
  putUB1(zero, at::kFormat, f.format);

  Block& h = addBlock(f, 1, kTypeFileHeader);
  putUB4(h, at::kSoftwareVersion, f.softwareVersion, o);
  putUB4(h, at::kCompatibleVersion, f.compatibleVersion, o);
  putUB4(h, at::kDbid, f.dbid, o);
  for (size_t i = 0; i < 8 && i < f.dbName.size(); i++) putUB1(h, at::kDbName + i, static_cast<uint8_t>(f.dbName[i]));
  putUB4(h, at::kControlSeq, 1, o);
  putUB4(h, at::kFileBlocks, f.blocks > 0 ? f.blocks - 1 : 0, o);
  putUB4(h, at::kBlockSize, f.headerBlockSize ? f.headerBlockSize : f.blockSize, o);
  putUB2(h, at::kFileNumber, f.fileNumber, o);
  putUB2(h, at::kFileType, 3, o);
  putUB4(h, at::kBootstrap, f.bootstrapRDBA, o);
  putUB2(h, at::kFuzzy, f.fuzzy, o);
  size_t number, length, name;
  tablespaceOffsets(f.format, number, length, name);
  putUB4(h, number, static_cast<uint32_t>(f.tablespace), o);
  const size_t n = std::min<size_t>(f.tablespaceName.size(), 30);
  putUB2(h, length, static_cast<uint32_t>(n), o);
  for (size_t i = 0; i < n; i++) putUB1(h, name + i, static_cast<uint8_t>(f.tablespaceName[i]));
}

Block& addDataBlock(FileImage& f, uint32_t block, uint32_t objd, uint8_t itls, uint8_t dataType) {
  Block& b = addBlock(f, block, kTypeData);
  fillDataBlock(f, b, objd, itls, dataType);
  return b;
}

Block dataBlockImage(const FileImage& f, uint32_t block, uint32_t objd, uint8_t itls,
                     uint8_t dataType, bool headerShift, const std::vector<uint8_t>& itlFlags,
                     const std::vector<uint8_t>& rowLocks) {
  Block b(f.blockSize, 0);
  fillCacheHeader(f, b, block, kTypeData);
  fillDataBlock(f, b, objd, itls, dataType);
  putUB1(b, at::kFreeListFlag, headerShift ? kHeaderShiftFlag : 0);
  for (uint32_t i = 0; i < itls; i++) {
    const uint32_t locks = static_cast<uint32_t>(std::count(rowLocks.begin(), rowLocks.end(), i + 1));
    const uint32_t flag = i < itlFlags.size() ? itlFlags[i] : kItlCommitted;
    putUB2(b, at::kFirstItl + at::kItlSize * i + at::kItlFlagLock, (flag & 0xF) << 12 | (locks & 0xFFF),
           f.byteOrder);
  }
  return b;
}

size_t dataLayerOffset(uint8_t itls, bool headerShift) {
  return at::kFirstItl + at::kItlSize * itls + (headerShift ? at::kHeaderShift : 0);
}

void addDataRun(FileImage& f, uint32_t first, uint32_t count, uint32_t objd, uint8_t itls) {
  f.runs.push_back(DataRun{first, count, objd, itls});
}

int addSegmentHeader(FileImage& f, const SegmentPlan& s) {
  const uint8_t o = f.byteOrder;
  const bool page = s.type == 35;
  const uint8_t mapType = s.mapType ? s.mapType : (page ? 36 : 18);
  const size_t headFirst = page ? at::kPageFirst : at::kSegFirst;
  const auto capacity = [&](size_t first) {
    uint32_t fit = static_cast<uint32_t>((f.blockSize - first - kBlockTailSize) / 8);
    return s.perBlock ? std::min(s.perBlock, fit) : fit;
  };
  const uint32_t inHead = capacity(headFirst);
  const uint32_t inMap = capacity(at::kMapFirst);
  const uint32_t total = static_cast<uint32_t>(s.extents.size());
  uint64_t room = inHead + static_cast<uint64_t>(inMap) * s.mapBlocks.size();
  if (total > room || inHead == 0) return 1;

  uint32_t blocks = 0;
  for (const Extent& e : s.extents) blocks += e.blocks;
  size_t maps = 0;  // map blocks actually needed
  if (total > inHead) maps = (total - inHead + inMap - 1) / inMap;
  const auto mapAddress = [&](size_t k) { return k < maps ? blockAddress(f, s.mapBlocks[k]) : 0u; };

  Block& h = addBlock(f, s.block, s.type);
  const uint32_t here = std::min(total, inHead);
  putUB4(h, at::kSegExtents, total, o);
  putUB4(h, at::kSegBlocks, blocks, o);
  if (total > 0) {
    const Extent& last = s.extents.back();
    putUB4(h, at::kSegHwmExtent, total - 1, o);
    putUB4(h, at::kSegHwmBlocks, blocks, o);
    putUB4(h, at::kSegHwmExtSize, last.blocks, o);
    putUB4(h, at::kSegHwmAddress, last.rdba + last.blocks - 1, o);
  }
  putUB4(h, at::kSegNextMap64, mapAddress(0), o);
  putUB4(h, page ? at::kPageInBlock : at::kSegInBlock, here, o);
  putUB4(h, page ? at::kPageNextMap : at::kSegNextMap, mapAddress(0), o);
  putUB4(h, page ? at::kPageObjd : at::kSegObjd, s.objd, o);
  putUB4(h, at::kSegMapFlag, 1, o);
  for (uint32_t i = 0; i < here; i++) {
    putUB4(h, headFirst + 8 * i, s.extents[i].rdba, o);
    putUB4(h, headFirst + 8 * i + 4, s.extents[i].blocks, o);
  }

  uint32_t next = here;
  for (size_t k = 0; k < maps; k++) {
    Block& m = addBlock(f, s.mapBlocks[k], mapType);
    const uint32_t n = std::min(inMap, total - next);
    putUB4(m, at::kMapInBlock, n, o);
    putUB4(m, at::kMapNextMap, mapAddress(k + 1), o);
    putUB4(m, at::kMapObjd, s.objd, o);
    for (uint32_t i = 0; i < n; i++) {
      putUB4(m, at::kMapFirst + 8 * i, s.extents[next + i].rdba, o);
      putUB4(m, at::kMapFirst + 8 * i + 4, s.extents[next + i].blocks, o);
    }
    next += n;
  }
  return 0;
}

void setChecksum(Block& b) {
  if (b.size() < at::kChecksum + 2) return;
  b[at::kChecksum] = b[at::kChecksum + 1] = 0;
  uint8_t even = 0, odd = 0;
  for (size_t i = 0; i + 1 < b.size(); i += 2) {
    even ^= b[i];
    odd ^= b[i + 1];
  }
  b[at::kChecksum] = even;
  b[at::kChecksum + 1] = odd;
}

int writeDataFile(const FileImage& f) {
  if (f.blockSize < 2048 || f.blockSize > 32768 || f.blockSize % 2048 != 0) return 1;
  int fd = open(f.path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
  if (fd < 0) return 1;
  const uint32_t S = f.blockSize;
  const uint64_t size = static_cast<uint64_t>(effectiveBlockCount(f)) * S + f.hsize;
  bool ok = ftruncate(fd, static_cast<off_t>(size)) == 0;
  if (ok && f.hsize > 0) {
    std::vector<uint8_t> os(f.hsize, kOsHeaderFill);
    ok = writeAll(fd, os.data(), os.size(), 0);
  }
  for (const DataRun& r : f.runs)
    if (ok) ok = writeRun(fd, f, r);
  for (const auto& [number, image] : f.images) {
    if (!ok) break;
    Block b = image;
    b.resize(S, 0);
    setChecksum(b);
    ok = writeAll(fd, b.data(), S, static_cast<uint64_t>(number) * S + f.hsize);
  }
  if (close(fd) != 0) ok = false;
  return ok ? 0 : 1;
}

int writeConfigFile(const std::string& path, const std::vector<FileImage>& files) {
  FILE* out = fopen(path.c_str(), "w");
  if (out == nullptr) return 1;
  for (const FileImage& f : files) {
    const std::string& name = f.configName.empty() ? f.path : f.configName;
    if (f.hsize > 0) fprintf(out, "%s %u\n", name.c_str(), f.hsize);
    else fprintf(out, "%s\n", name.c_str());
  }
  return fclose(out) == 0 ? 0 : 1;
}

int flipFileByte(const std::string& path, uint64_t offset, uint8_t mask) {
  int fd = open(path.c_str(), O_RDWR);
  if (fd < 0) return 1;
  uint8_t c;
  bool ok = pread(fd, &c, 1, static_cast<off_t>(offset)) == 1;
  c ^= mask;
  ok = ok && pwrite(fd, &c, 1, static_cast<off_t>(offset)) == 1;
  close(fd);
  return ok ? 0 : 1;
}

int fixFileChecksum(const FileImage& f, uint32_t block) {
  int fd = open(f.path.c_str(), O_RDWR);
  if (fd < 0) return 1;
  Block b(f.blockSize);
  const off_t offset = static_cast<off_t>(static_cast<uint64_t>(block) * f.blockSize + f.hsize);
  bool ok = pread(fd, b.data(), b.size(), offset) == static_cast<ssize_t>(b.size());
  if (ok) {
    setChecksum(b);
    ok = writeAll(fd, b.data(), b.size(), static_cast<uint64_t>(offset));
  }
  close(fd);
  return ok ? 0 : 1;
}

int truncateFile(const std::string& path, uint64_t length) {
  return ::truncate(path.c_str(), static_cast<off_t>(length)) == 0 ? 0 : 1;
}

}  // namespace mkdb
