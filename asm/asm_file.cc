#include "asm/asm_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "asm/asm_disk.h"
#include "asm/asm_layout.h"
#include "asm/asm_walk.h"

namespace {

// The file directory has at most this many extents visited by a search, so
// a damaged extent count cannot make a search endless.
constexpr uint32_t kMaxDirectoryExtents = 1u << 20;

uint32_t slotsFitting(size_t length, size_t base) {
  return length > base ? static_cast<uint32_t>((length - base) / kASMExtentSize) : 0;
}

// Each full metadata block of the AU held by cache c.
template <class Visit>
void forEachBlockOf(const ASMDiskGroup& g, const ASMCache& c, Visit visit) {
  if (g.blockSize == 0 || c.buffer == nullptr) return;
  for (uint64_t j = 0; (j + 1) * g.blockSize <= g.auSize && j < kASMMaxBlocksPerAU; j++)
    if (!visit(static_cast<uint32_t>(j), c.buffer + j * g.blockSize, static_cast<size_t>(g.blockSize)))
      return;
}

bool isAUOnDisk(ASMDiskGroup& g, uint16_t disk, uint32_t au) {
  const ASMDisk* d = findASMDisk(g, disk);
  if (d == nullptr || d->auSize == 0) return false;
  return static_cast<uint64_t>(au) * d->auSize < diskGroupDiskBytes(g, disk);
}

// Each full metadata block of AU (disk, au): from cache c when the AU was
// loaded into it whole (loaded), else one by one from the disk into a
// buffer of their own. A failed AU load (a damaged sector, a disk cut
// short) is no failure of its own: the blocks that still read are looked
// at. An AU that begins past the end of its disk is passed over at once.
template <class Visit>
void forEachBlockOfAU(ASMDiskGroup& g, const ASMCache& c, bool loaded, uint16_t disk,
                      uint32_t au, Visit visit) {
  if (loaded) return forEachBlockOf(g, c, visit);
  if (g.blockSize == 0 || !isAUOnDisk(g, disk, au)) return;
  std::vector<unsigned char> block(g.blockSize);
  for (uint64_t j = 0; (j + 1) * g.blockSize <= g.auSize && j < kASMMaxBlocksPerAU; j++) {
    if (readDiskGroup(g, disk, au, static_cast<uint32_t>(j), block.data(), g.blockSize) !=
        g.blockSize)
      continue;
    if (!visit(static_cast<uint32_t>(j), block.data(), static_cast<size_t>(g.blockSize))) return;
  }
}

void emptyWindow(ASMFileHandle& h) {
  for (int i = 0; i < kASMExtentWindow; i++) h.extentNumber[i] = kASMNoExtent;
}

void storeExtent(ASMFileHandle& h, uint32_t e, uint16_t disk, uint32_t au) {
  const uint32_t i = e & (kASMExtentWindow - 1);
  h.extentNumber[i] = e;
  h.extentDisk[i] = disk;
  h.extentAU[i] = au;
}

// Looks through the AU for the directory entry of file want; true when found
// (the handle then points at it).
bool searchDirectoryAU(ASMDiskGroup& g, ASMFileHandle& h, uint16_t disk, uint32_t au,
                       uint32_t want) {
  const bool loaded = readDiskGroupAU(g, disk, au) != 0;
  bool found = false;
  forEachBlockOfAU(g, g.auCache, loaded, disk, au, [&](uint32_t j, const unsigned char* b, size_t n) {
    if (getASMBlockType(b, n) != kASMTypeFileDirectory) return true;
    const uint32_t number = getASMBlockNumber(b, n);
    if (number == 0 || number != want) return true;
    h.fileNumber = want;
    h.disk = disk;
    h.au = au;
    h.block = static_cast<uint16_t>(j);
    emptyWindow(h);
    found = true;
    return false;
  });
  return found;
}

// Where extent e of the file lies, from the handle's window (filled first
// when needed); false for an extent the file does not have, or a hole.
bool extentLocation(ASMDiskGroup& g, ASMFileHandle& h, uint32_t e, uint16_t& disk, uint32_t& au) {
  readFileExtentCache(g, h, e);
  const uint32_t i = e & (kASMExtentWindow - 1);
  if (h.extentNumber[i] != e) return false;
  disk = h.extentDisk[i];
  au = h.extentAU[i];
  return !(disk == 0xFFFF && au == 0xFFFFFFFF);
}

// Reads length bytes (at most one AU) at byte x of the file; returns the
// bytes copied, which may stop at the end of the first AU when the next one
// cannot be read.
uint32_t readFileBytes(ASMDiskGroup& g, ASMFileHandle& h, uint64_t x, unsigned char* buffer,
                       uint32_t length) {
  const uint32_t U = g.auSize;
  if (U == 0 || length > U || buffer == nullptr) return 0;
  ASMFileOffset at;
  getASMFileOffsetAU(g, at, x);
  if (at.extent >= 0xFFFFFFFE) return 0;
  uint16_t disk;
  uint32_t au;
  if (!extentLocation(g, h, at.extent + 1, disk, au)) return 0;
  const uint64_t inExtent = x - at.start;
  const uint64_t k = inExtent / U, p = inExtent % U;
  if (k >= at.auCount || au + k >= kASMNoAU) return 0;
  if (readDiskGroupEX(g, disk, static_cast<uint32_t>(au + k)) != U) return 0;
  if (p + length <= U) {
    memcpy(buffer, g.exCache.buffer + p, length);
    return length;
  }
  const uint32_t first = static_cast<uint32_t>(U - p);
  memcpy(buffer, g.exCache.buffer + p, first);
  uint64_t nextAU = au + k + 1;
  if (k + 1 >= at.auCount) {
    if (!extentLocation(g, h, at.extent + 2, disk, au)) return first;
    nextAU = au;
  }
  if (nextAU >= kASMNoAU || readDiskGroupEX(g, disk, static_cast<uint32_t>(nextAU)) != U)
    return first;
  memcpy(buffer + first, g.exCache.buffer, length - first);
  return length;
}

}  // namespace

bool copyMetadataBlock(ASMDiskGroup& g, uint16_t disk, uint32_t au, uint32_t block,
                       std::vector<unsigned char>& out) {
  if (readDiskGroupBlock(g, disk, au, block) != g.blockSize || g.blockSize == 0) return false;
  out.assign(g.blockCache.buffer, g.blockCache.buffer + g.blockSize);
  return true;
}

bool copyFileEntry(ASMDiskGroup& g, const ASMFileHandle& h, std::vector<unsigned char>& out) {
  if (!copyMetadataBlock(g, h.disk, h.au, h.block, out)) return false;
  return getASMBlockType(out.data(), out.size()) == kASMTypeFileDirectory &&
         getASMBlockNumber(out.data(), out.size()) == h.fileNumber;
}

uint32_t directExtents(const unsigned char* b, size_t n) {
  uint32_t used = getASMSlotsUsed(b, n), direct = getASMDirectSlots(b, n);
  uint32_t d = used < direct ? used : direct;
  const uint32_t fit = slotsFitting(n, kASMDirectoryExtentBase);
  return d < fit ? d : fit;
}
uint32_t usedSlots(const unsigned char* b, size_t n) {
  const uint32_t used = getASMSlotsUsed(b, n), fit = slotsFitting(n, kASMDirectoryExtentBase);
  return used < fit ? used : fit;
}
uint32_t indirectCount(const unsigned char* b, size_t n) {
  const uint32_t c = getASMIndirectCount(b, n), fit = slotsFitting(n, kASMIndirectExtentBase);
  return c < fit ? c : fit;
}

uint64_t diskGroupDiskBytes(ASMDiskGroup& g, uint16_t disk) {
  const ASMDisk* d = findASMDisk(g, disk);
  if (d == nullptr || d->stream == nullptr) return 0;
  struct stat st;
  if (fstat(d->fd, &st) != 0) return 0;
  if (S_ISBLK(st.st_mode)) {
    const off64_t e = lseek64(d->fd, 0, SEEK_END);
    return e > 0 ? static_cast<uint64_t>(e) : 0;
  }
  return st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

uint64_t diskGroupAUs(ASMDiskGroup& g) {
  if (g.auSize == 0) return 0;
  uint64_t aus = 0;
  for (int i = 0; i < g.diskCount && i < kASMMaxDisks; i++)
    if (g.disks[i].stream != nullptr) aus += diskGroupDiskBytes(g, g.disks[i].number) / g.auSize + 1;
  return aus;
}

bool visitBlocksOfAU(ASMDiskGroup& g, uint16_t disk, uint32_t au, const ASMBlockVisit& visit) {
  const uint32_t B = g.blockSize, U = g.auSize;
  if (B == 0 || U < B || !isAUOnDisk(g, disk, au)) return false;
  // Not cleared first: only bytes that were read are looked at.
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[U]);
  const uint64_t blocks = std::min<uint64_t>(U / B, kASMMaxBlocksPerAU);
  if (readDiskGroup(g, disk, au, 0, buffer.get(), U) == U) {
    for (uint64_t j = 0; j < blocks; j++)
      if (!visit(static_cast<uint32_t>(j), buffer.get() + j * B, B)) break;
    return true;
  }
  bool any = false;
  for (uint64_t j = 0; j < blocks; j++) {
    if (readDiskGroup(g, disk, au, static_cast<uint32_t>(j), buffer.get(), B) != B) continue;
    any = true;
    if (!visit(static_cast<uint32_t>(j), buffer.get(), B)) break;
  }
  return any;
}

void walkFileExtents(ASMDiskGroup& g, const unsigned char* d, size_t n, uint32_t fileNumber,
                     uint64_t limit, const ASMExtentWalk& walk) {
  const uint64_t N = std::min<uint64_t>(limit, getASMExtentCount(d, n));
  const uint32_t direct = directExtents(d, n), used = usedSlots(d, n);
  uint64_t R = 0;
  for (uint32_t s = 0; s < direct && R < N; s++) {
    R++;
    if (!walk.extent(R, getASMFileExtent(d, n, s))) return;
  }
  // No indirect block of a sound entry starts past what its slots can hold.
  const uint64_t perAU = g.blockSize ? std::min<uint64_t>(g.auSize / g.blockSize, kASMMaxBlocksPerAU) : 0;
  const uint64_t capacity = direct + static_cast<uint64_t>(used - direct) * perAU *
                                         slotsFitting(g.blockSize, kASMIndirectExtentBase);
  bool go = true;
  for (uint32_t s = direct; s < used && R < N && go; s++) {
    const ASMExtent slot = getASMFileExtent(d, n, s);
    visitBlocksOfAU(g, slot.disk, slot.au, [&](uint32_t, const unsigned char* b, size_t bn) {
      if (R >= N) return false;
      if (getASMBlockType(b, bn) != kASMTypeIndirectExtents || getASMObjectNumber(b, bn) != fileNumber)
        return true;
      const uint64_t F = getASMFirstExtentIndex(b, bn);
      if (F >= capacity) return true;
      if (F > R) {
        const uint64_t count = std::min(F, N) - R;
        if (walk.missing && !walk.missing(R + 1, count)) return go = false;
        R += count;
      }
      if (F != R) return true;  // an older copy of extents already taken
      const uint32_t count = indirectCount(b, bn);
      for (uint32_t l = 0; l < count && R < N; l++) {
        R++;
        if (!walk.extent(R, getASMFileExtent(b, bn, l))) return go = false;
      }
      return true;
    });
  }
}

void initASMFileHandle(ASMFileHandle& handle) {
  handle.fileNumber = kASMNoFile;
  handle.disk = 0xFFFF;
  handle.au = 0xFFFFFFFF;
  handle.block = 0;
  for (int i = 0; i < kASMExtentWindow; i++) {
    handle.extentNumber[i] = 0;
    handle.extentDisk[i] = 0;
    handle.extentAU[i] = 0;
  }
}

ASMExtent getASMFileExtent(const unsigned char* block, size_t length, uint32_t slot) {
  ASMExtent e;
  const uint8_t type = getASMBlockType(block, length);
  size_t base;
  if (type == kASMTypeFileDirectory)
    base = kASMDirectoryExtentBase;
  else if (type == kASMTypeIndirectExtents)
    base = kASMIndirectExtentBase;
  else
    return e;
  const uint64_t at = base + static_cast<uint64_t>(slot) * kASMExtentSize;
  if (at + kASMExtentSize > length) return e;
  e.au = getASMExtentAU(block, length, at);
  e.disk = getASMExtentDisk(block, length, at);
  e.flags = getASMExtentFlags(block, length, at);
  e.check = getASMExtentCheck(block, length, at);
  return e;
}

void getASMFileEntry(ASMDiskGroup* group, ASMFileHandle& h, uint32_t want) {
  if (group == nullptr || group->diskCount == 0) return;
  ASMDiskGroup& g = *group;
  // A handle that already points at the entry is used as it is.
  if (readDiskGroupBlock(g, h.disk, h.au, h.block) == g.blockSize && h.fileNumber == want) {
    const unsigned char* b = g.blockCache.buffer;
    if (getASMBlockType(b, g.blockSize) == kASMTypeFileDirectory &&
        getASMBlockNumber(b, g.blockSize) == want)
      return;
  }
  std::vector<unsigned char> dir;
  if (!copyMetadataBlock(g, g.f1b1Disk, g.f1b1AU, 1, dir)) return;
  const unsigned char* d = dir.data();
  const size_t n = dir.size();
  if (getASMBlockType(d, n) != kASMTypeFileDirectory || getASMBlockNumber(d, n) != 1) return;
  const uint32_t extents = getASMExtentCount(d, n);
  const uint32_t direct = directExtents(d, n), used = usedSlots(d, n);
  for (uint32_t s = 0; s < direct; s++) {
    const ASMExtent e = getASMFileExtent(d, n, s);
    if (searchDirectoryAU(g, h, e.disk, e.au, want)) return;
  }
  uint32_t visited = direct;
  // An AU just searched is not searched again (damaged extent lists may
  // name one AU many times).
  uint16_t lastDisk = kASMNoDisk;
  uint32_t lastAU = kASMNoAU;
  for (uint32_t s = direct; s < used && visited < extents && visited < kMaxDirectoryExtents; s++) {
    const ASMExtent slot = getASMFileExtent(d, n, s);
    const bool loaded = readDiskGroupEX(g, slot.disk, slot.au) != 0;
    // The indirect AU stays in the second AU cache while the directory AUs
    // it names pass through the first.
    bool found = false;
    forEachBlockOfAU(g, g.exCache, loaded, slot.disk, slot.au,
                     [&](uint32_t, const unsigned char* b, size_t bn) {
      if (getASMBlockType(b, bn) != kASMTypeIndirectExtents || getASMObjectNumber(b, bn) != 1)
        return true;
      const uint32_t count = indirectCount(b, bn);
      for (uint32_t l = 0; l < count && visited < extents && visited < kMaxDirectoryExtents; l++) {
        const ASMExtent e = getASMFileExtent(b, bn, l);
        visited++;
        if (e.disk == lastDisk && e.au == lastAU) continue;
        lastDisk = e.disk;
        lastAU = e.au;
        if (searchDirectoryAU(g, h, e.disk, e.au, want)) {
          found = true;
          return false;
        }
      }
      return visited < extents;
    });
    if (found) return;
  }
}

void readFileExtentCache(ASMDiskGroup& g, ASMFileHandle& h, uint32_t w) {
  if (w != 0 && h.extentNumber[w & (kASMExtentWindow - 1)] == w) return;
  emptyWindow(h);
  std::vector<unsigned char> dir;
  if (!copyMetadataBlock(g, h.disk, h.au, h.block, dir)) return;
  const unsigned char* d = dir.data();
  const size_t n = dir.size();
  if (getASMBlockType(d, n) != kASMTypeFileDirectory || getASMBlockNumber(d, n) != h.fileNumber)
    return;
  const uint64_t N = getASMExtentCount(d, n);
  const uint64_t E = static_cast<uint64_t>(w) + kASMExtentWindow;
  const uint32_t direct = directExtents(d, n), used = usedSlots(d, n);
  for (uint32_t s = 0; s < direct; s++) {
    const uint64_t e = static_cast<uint64_t>(s) + 1;
    if (s < N && w <= e && e < E) {
      const ASMExtent x = getASMFileExtent(d, n, s);
      storeExtent(h, static_cast<uint32_t>(e), x.disk, x.au);
    }
  }
  uint64_t R = direct, taken = direct;
  for (uint32_t s = direct; s < used && taken < N && R + 1 < E; s++) {
    const ASMExtent slot = getASMFileExtent(d, n, s);
    const bool loaded = readDiskGroupAU(g, slot.disk, slot.au) != 0;
    forEachBlockOfAU(g, g.auCache, loaded, slot.disk, slot.au,
                     [&](uint32_t, const unsigned char* b, size_t bn) {
      if (taken >= N || R + 1 >= E) return false;
      if (getASMBlockType(b, bn) != kASMTypeIndirectExtents ||
          getASMObjectNumber(b, bn) != h.fileNumber)
        return true;
      const uint64_t F = getASMFirstExtentIndex(b, bn);
      if (F > R) {
        // Extents R + 1 ... F are missing: holes, as far as the file and the
        // window go.
        uint64_t treated = F - R;
        if (treated > N - taken) treated = N - taken;
        if (treated > E - 1 - R) treated = E - 1 - R;
        for (uint64_t e = R + 1 > w ? R + 1 : w; e <= R + treated; e++)
          storeExtent(h, static_cast<uint32_t>(e), 0xFFFF, 0xFFFFFFFF);
        R += treated;
        taken += treated;
      }
      if (F != R) return true;  // an older copy of extents already taken
      const uint32_t count = indirectCount(b, bn);
      for (uint32_t l = 0; l < count && taken < N && R + 1 < E; l++) {
        if (R + 1 >= w) {
          const ASMExtent x = getASMFileExtent(b, bn, l);
          storeExtent(h, static_cast<uint32_t>(R + 1), x.disk, x.au);
        }
        R++;
        taken++;
      }
      return true;
    });
  }
}

uint32_t getExtentAUCount(const ASMExtentPolicy& p, uint32_t extent) {
  for (int k = 0; k < kASMPolicyLevels; k++)
    if (extent <= p.last[k]) return p.count[k];
  return 1;
}

void setExtentAUCount(ASMExtentPolicy& p, uint32_t level, uint32_t last, uint32_t count) {
  if (count == 0 || level < 1 || level > kASMPolicyLevels) return;
  const int k = static_cast<int>(level) - 1;
  for (int i = 0; i < k; i++)
    if (last <= p.last[i]) return;
  p.last[k] = last;
  p.count[k] = count;
}

void listASMExtentPolicy(FILE* out, const ASMDiskGroup& g) {
  const ASMExtentPolicy& p = g.policy;
  fputs("    au start       au end    aunum\n============ ============ ========\n", out);
  fprintf(out, "%12u %12u %8u\n", 1u, p.last[0], p.count[0]);
  for (int k = 1; k < kASMPolicyLevels; k++) {
    if (p.last[k - 1] == 0xFFFFFFFF) break;
    fprintf(out, "%12u %12u %8u\n", p.last[k - 1] + 1, p.last[k], p.count[k]);
  }
}

void getASMFileOffsetAU(const ASMDiskGroup& g, ASMFileOffset& result, uint64_t offset) {
  const ASMExtentPolicy& p = g.policy;
  const uint64_t r = g.auSize ? offset / g.auSize : 0;
  uint64_t prevLast = 0, auBase = 0;
  for (int k = 0; k < kASMPolicyLevels; k++) {
    const uint64_t last = p.last[k], count = p.count[k] ? p.count[k] : 1;
    if (last <= prevLast) continue;  // a level the ones before it cover
    const uint64_t aus = (last - prevLast) * count;
    if (r < auBase + aus) {
      const uint64_t i = (r - auBase) / count;
      result.extent = static_cast<uint32_t>(prevLast + i);
      result.auCount = static_cast<uint32_t>(count);
      result.start = (auBase + i * count) * g.auSize;
      return;
    }
    auBase += aus;
    prevLast = last;
  }
  const uint64_t e = prevLast + (r - auBase);
  result.extent = e > 0xFFFFFFFF ? 0xFFFFFFFF : static_cast<uint32_t>(e);
  result.auCount = 1;
  result.start = r * g.auSize;
}

uint32_t readASMFileData(ASMDiskGroup& g, ASMFileHandle& h, uint64_t unit, uint32_t unitSize,
                         unsigned char* buffer, uint32_t length) {
  const uint32_t got = readFileBytes(g, h, unit * unitSize, buffer, length);
  return got == length ? length : 0;
}

uint32_t readASMOracleBlock2(ASMDiskGroup& g, ASMFileHandle& h, uint32_t firstBlock,
                             uint32_t blockSize, unsigned char* buffer, uint32_t count) {
  if (blockSize == 0) return 0;
  const uint64_t length = static_cast<uint64_t>(count) * blockSize;
  if (length > g.auSize) return 0;
  const uint32_t got = readFileBytes(g, h, static_cast<uint64_t>(firstBlock) * blockSize, buffer,
                                     static_cast<uint32_t>(length));
  return got - got % blockSize;
}

uint32_t readASMOracleBlock(ASMDiskGroup* group, ASMFileHandle& h, uint32_t b, uint32_t size,
                            unsigned char* buffer, uint32_t n) {
  if (group == nullptr || size == 0 || group->auSize == 0 || group->auSize % size != 0) return 0;
  ASMDiskGroup& g = *group;
  const uint64_t T = static_cast<uint64_t>(n) * size;
  if (T > 0xFFFFFFFFu) return 0;
  const uint32_t perAU = g.auSize / size;
  uint64_t D = 0;
  while (T - D > g.auSize) {
    const uint32_t got = readASMOracleBlock2(g, h, static_cast<uint32_t>(b + D / size), size,
                                             buffer + D, perAU);
    if (got < g.auSize) return static_cast<uint32_t>(D + got);
    D += g.auSize;
  }
  if (T > D)
    D += readASMOracleBlock2(g, h, static_cast<uint32_t>(b + D / size), size, buffer + D,
                             static_cast<uint32_t>((T - D) / size));
  return static_cast<uint32_t>(D);
}
