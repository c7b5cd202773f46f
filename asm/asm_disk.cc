#include "asm/asm_disk.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "asm/asm_layout.h"

namespace {

void emptyCache(ASMCache& c) {
  c.disk = kASMNoDisk;
  c.au = kASMNoAU;
  c.block = 0xFFFF;
}

void resizeCache(ASMCache& c, uint32_t bytes) {
  free(c.buffer);
  c.buffer = static_cast<unsigned char*>(calloc(bytes ? bytes : 1, 1));
  c.size = c.buffer != nullptr ? bytes : 0;
  emptyCache(c);
}

void freeCache(ASMCache& c) {
  free(c.buffer);
  c.buffer = nullptr;
  c.size = 0;
  emptyCache(c);
}

void resetPolicy(ASMExtentPolicy& p) {
  for (int i = 0; i < kASMPolicyLevels; i++) {
    p.last[i] = 0xFFFFFFFF;
    p.count[i] = 1;
  }
}

void copyName(char* to, const unsigned char* block, size_t limit, size_t at) {
  // The field is not terminated when full: at most 32 characters are kept.
  size_t n = 0;
  while (n < kASMNameSize && at + n < limit && block[at + n] != 0) {
    to[n] = static_cast<char>(block[at + n]);
    n++;
  }
  to[n] = 0;
}

void closeDisk(ASMDisk& d) {
  if (d.stream != nullptr) fclose(d.stream);
  initASMDisk(d);
}

// The size of an open device or image in megabytes.
uint32_t deviceSizeMB(int fd) {
  off_t end = lseek(fd, 0, SEEK_END);
  if (end <= 0) return 0;
  uint64_t mb = static_cast<uint64_t>(end) >> 20;
  return mb > 0xFFFFFFFE ? 0xFFFFFFFE : static_cast<uint32_t>(mb);
}

// Opens a disk read-only and unbuffered into d.
bool openDiskStream(ASMDisk& d, const char* path) {
  FILE* f = fopen64(path, "rb");
  if (f == nullptr) return false;
  setvbuf(f, nullptr, _IONBF, 0);
  d.stream = f;
  d.fd = fileno(f);
  return true;
}

// Reads block 0 of the disk into the block buffer; true when it is a full
// disk header block.
bool readDiskHeader(ASMDiskGroup& g, ASMDisk& d) {
  ASMCache& c = g.blockCache;
  emptyCache(c);
  if (c.buffer == nullptr || c.size < g.blockSize) return false;
  if (readFromDisk(g, d, 0, c.buffer, g.blockSize) != g.blockSize) return false;
  return getASMBlockType(c.buffer, g.blockSize) == kASMTypeDiskHeader;
}

// Fills d from the disk header in the block buffer.
void takeDiskHeader(ASMDiskGroup& g, ASMDisk& d) {
  const unsigned char* b = g.blockCache.buffer;
  const size_t n = g.blockSize;
  d.number = getASMDiskNumber(b, n);
  d.blockSize = getASMDiskBlockSize(b, n);
  d.auSize = getASMDiskAUSize(b, n);
  d.sizeMB = getASMDiskSizeMB(b, n);
  copyName(d.name, b, n, kASMOffDiskName);
  copyName(d.groupName, b, n, kASMOffGroupName);
  g.compat = getASMDiskCompat(b, n);
}

void keepPath(ASMDisk& d, const char* path) {
  snprintf(d.path, kASMPathSize, "%s", path);
}

// The F1B1 scan, when some disk is open and F1B1 is known.
void findSystemFiles(ASMDiskGroup& g) {
  if (g.diskCount == 0 || g.f1b1Disk == kASMNoDisk || g.f1b1AU == kASMNoAU) return;
  getASMSystemFileEntry(g);
}

// Loads an AU into one of the two AU caches.
uint32_t loadAU(ASMDiskGroup& g, ASMCache& c, uint16_t disk, uint32_t au) {
  if (c.disk == disk && c.au == au && c.buffer != nullptr) return g.auSize;
  ASMDisk* d = findASMDisk(g, disk);
  if (d == nullptr || c.buffer == nullptr || c.size < g.auSize) {
    emptyCache(c);
    return 0;
  }
  // The buffer is overwritten now: whatever happens, its old key is gone.
  emptyCache(c);
  const uint64_t offset = static_cast<uint64_t>(au) * d->auSize;
  if (readFromDisk(g, *d, offset, c.buffer, g.auSize) != g.auSize) return 0;
  c.disk = disk;
  c.au = au;
  return g.auSize;
}

// Each full metadata block of the AU in the AU cache, by index.
template <class Visit>
void forEachCachedBlock(const ASMDiskGroup& g, Visit visit) {
  const ASMCache& c = g.auCache;
  if (g.blockSize == 0) return;
  for (uint64_t b = 0; (b + 1) * g.blockSize <= g.auSize && b < kASMMaxBlocksPerAU; b++)
    visit(static_cast<uint32_t>(b), c.buffer + b * g.blockSize, static_cast<size_t>(g.blockSize));
}

}  // namespace

void initASMDisk(ASMDisk& d) { d = ASMDisk{}; }

void initASMDiskGroup(ASMDiskGroup& g) {
  g.compat = 0;
  g.oracleBlock = kASMDefaultOracleBlock;
  g.blockSize = kASMDefaultBlockSize;
  g.auSize = kASMDefaultAUSize;
  g.stripWidth = 8;
  g.stripSize = 131072;
  g.diskCount = 0;
  g.f1b1Disk = kASMNoDisk;
  g.f1b1AU = kASMNoAU;
  for (uint16_t& m : g.map) m = kASMNoDisk;
  for (ASMDisk& d : g.disks) initASMDisk(d);
  for (ASMCache* c : {&g.blockCache, &g.auCache, &g.exCache}) *c = ASMCache{};
  for (ASMFileHandle* h : {&g.fileDir, &g.diskDir, &g.aliasDir}) initASMFileHandle(*h);
  resetPolicy(g.policy);
  g.diskReads = 0;
}

void setDiskGroupCache(ASMDiskGroup& g) {
  if (g.auSize <= kASMMaxAUSize) {
    resizeCache(g.auCache, g.auSize);
    resizeCache(g.exCache, g.auSize);
  }
  if (g.blockSize != 0xFFFF) resizeCache(g.blockCache, g.blockSize);
  for (ASMCache* c : {&g.blockCache, &g.auCache, &g.exCache}) emptyCache(*c);
}

void closeDiskGroup(ASMDiskGroup& g) {
  for (int i = 0; i < g.diskCount && i < kASMMaxDisks; i++) closeDisk(g.disks[i]);
  g.compat = 0;
  g.diskCount = 0;
  g.f1b1Disk = kASMNoDisk;
  g.f1b1AU = kASMNoAU;
  for (uint16_t& m : g.map) m = kASMNoDisk;
  for (ASMCache* c : {&g.blockCache, &g.auCache, &g.exCache}) freeCache(*c);
  for (ASMFileHandle* h : {&g.fileDir, &g.diskDir, &g.aliasDir}) initASMFileHandle(*h);
  resetPolicy(g.policy);
}

ASMDiskGroup* newDiskGroup() {
  ASMDiskGroup* g = new ASMDiskGroup;
  initASMDiskGroup(*g);
  setDiskGroupCache(*g);
  return g;
}

void deleteDiskGroup(ASMDiskGroup* g) {
  if (g == nullptr) return;
  closeDiskGroup(*g);
  delete g;
}

void openDiskGroup(FILE* out, ASMDiskGroup& g, const char* listPath) {
  closeDiskGroup(g);
  setDiskGroupCache(g);
  // The list is only read, so a read-only list opens too.
  FILE* list = fopen(listPath, "r");
  if (list == nullptr) {
    fprintf(out, "Cannot open disk list file (%s)!\n", listPath);
    return;
  }
  char line[kASMPathSize] = {};
  while (g.diskCount < kASMMaxDisks && fgets(line, 255, list) != nullptr) {
    if (line[0] == 0 || line[0] == '#' || line[0] == '\n' || line[0] == '\r') continue;
    for (size_t i = 1; line[i] != 0; i++) {
      if (strchr(" \t\r\n\v\f", line[i]) != nullptr) {
        line[i] = 0;
        break;
      }
    }
    ASMDisk& d = g.disks[g.diskCount];
    initASMDisk(d);
    if (!openDiskStream(d, line)) {
      fprintf(out, "Cannot open disk %s: %s\n", line, strerror(errno));
      continue;
    }
    if (!readDiskHeader(g, d)) {
      closeDisk(d);
      fprintf(out, "Invalid Disk : %s\n", line);
      continue;
    }
    takeDiskHeader(g, d);
    keepPath(d, line);
    const uint32_t f1b1 = getASMDiskF1B1(g.blockCache.buffer, g.blockSize);
    g.map[d.number] = g.diskCount;
    if (f1b1 != 0) {
      g.f1b1Disk = d.number;
      g.f1b1AU = f1b1;
    }
    g.diskCount++;
  }
  fclose(list);
  emptyCache(g.blockCache);
  findSystemFiles(g);
}

void openDiskGroupDisk(FILE* out, ASMDiskGroup& g, uint16_t number, const char* path,
                       uint32_t sizeMB) {
  if (g.diskCount < kASMMaxDisks) {
    ASMDisk& d = g.disks[g.diskCount];
    initASMDisk(d);
    if (!openDiskStream(d, path)) {
      fprintf(out, "Cannot open disk %s: %s\n", path, strerror(errno));
      return;
    }
    if (readDiskHeader(g, d)) {
      takeDiskHeader(g, d);
      const uint32_t f1b1 = getASMDiskF1B1(g.blockCache.buffer, g.blockSize);
      // As OPEN: only a disk that holds the file directory moves F1B1.
      if (f1b1 != 0 && f1b1 != kASMNoAU) {
        g.f1b1Disk = d.number;
        g.f1b1AU = f1b1;
      }
    } else {
      // No header to tell: the group's sizes, and the device's size.
      d.blockSize = static_cast<uint16_t>(g.blockSize);
      d.auSize = g.auSize;
      d.sizeMB = deviceSizeMB(d.fd);
    }
    keepPath(d, path);
    emptyCache(g.blockCache);
    d.number = number;
    if (sizeMB != 0) d.sizeMB = sizeMB;
    g.map[number] = g.diskCount;
    g.diskCount++;
  }
  findSystemFiles(g);
}

ASMDisk* findASMDisk(ASMDiskGroup& g, uint16_t number) {
  const uint16_t at = g.map[number];
  if (at == kASMNoDisk || at >= g.diskCount) return nullptr;
  ASMDisk& d = g.disks[at];
  if (d.number != number || d.stream == nullptr) return nullptr;
  return &d;
}

uint32_t readFromDisk(ASMDiskGroup& g, ASMDisk& d, uint64_t offset, unsigned char* buffer,
                      uint32_t length) {
  if (d.stream == nullptr || buffer == nullptr || length == 0) return 0;
  if (offset > static_cast<uint64_t>(INT64_MAX) - length) return 0;
  g.diskReads++;
  uint32_t done = 0;
  while (done < length) {
    ssize_t got = pread64(d.fd, buffer + done, length - done, static_cast<off64_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return 0;
    done += static_cast<uint32_t>(got);
  }
  return length;
}

uint32_t readDiskGroup(ASMDiskGroup& g, uint16_t disk, uint32_t au, uint32_t block,
                       unsigned char* buffer, uint32_t length) {
  ASMDisk* d = findASMDisk(g, disk);
  if (d == nullptr) return 0;
  const uint64_t offset = static_cast<uint64_t>(au) * d->auSize +
                          static_cast<uint64_t>(block) * d->blockSize;
  return readFromDisk(g, *d, offset, buffer, length);
}

uint32_t readDiskGroupAU(ASMDiskGroup& g, uint16_t disk, uint32_t au) {
  return loadAU(g, g.auCache, disk, au);
}

uint32_t readDiskGroupEX(ASMDiskGroup& g, uint16_t disk, uint32_t au) {
  return loadAU(g, g.exCache, disk, au);
}

uint32_t readDiskGroupBlock(ASMDiskGroup& g, uint16_t disk, uint32_t au, uint32_t block) {
  ASMCache& c = g.blockCache;
  if (c.buffer == nullptr || c.size < g.blockSize || g.blockSize == 0) return 0;
  if (c.disk == disk && c.au == au && c.block == block) return g.blockSize;
  // The last block of an AU always comes from the disk.
  const bool inside = (static_cast<uint64_t>(block) + 1) * g.blockSize < g.auSize;
  const ASMCache* from = nullptr;
  if (inside && g.auCache.disk == disk && g.auCache.au == au && g.auCache.buffer != nullptr)
    from = &g.auCache;
  else if (inside && g.exCache.disk == disk && g.exCache.au == au && g.exCache.buffer != nullptr)
    from = &g.exCache;
  emptyCache(c);
  if (from != nullptr) {
    memcpy(c.buffer, from->buffer + static_cast<uint64_t>(block) * g.blockSize, g.blockSize);
  } else if (readDiskGroup(g, disk, au, block, c.buffer, g.blockSize) != g.blockSize) {
    return 0;
  }
  c.disk = disk;
  c.au = au;
  c.block = static_cast<uint16_t>(block);
  return g.blockSize;
}

void getASMSystemFileEntry(ASMDiskGroup& g) {
  if (readDiskGroupAU(g, g.f1b1Disk, g.f1b1AU) == 0) return;
  forEachCachedBlock(g, [&](uint32_t b, const unsigned char* blk, size_t n) {
    if (getASMBlockType(blk, n) != kASMTypeFileDirectory) return;
    ASMFileHandle* h = nullptr;
    switch (getASMBlockNumber(blk, n)) {
      case 1: h = &g.fileDir; break;
      case 2: h = &g.diskDir; break;
      case 6: h = &g.aliasDir; break;
      default: return;
    }
    h->fileNumber = getASMBlockNumber(blk, n);
    h->disk = g.f1b1Disk;
    h->au = g.f1b1AU;
    h->block = static_cast<uint16_t>(b);
  });
}

uint32_t scoreASMFileEntryAU(ASMDiskGroup& g, uint16_t disk, uint32_t au) {
  if (readDiskGroupAU(g, disk, au) == 0) return 0;
  uint32_t score = 0;
  forEachCachedBlock(g, [&](uint32_t b, const unsigned char* blk, size_t n) {
    const uint8_t type = getASMBlockType(blk, n);
    const uint32_t number = getASMBlockNumber(blk, n);
    if (b == 0 ? (type == kASMTypeFileDirectoryFirst && number == 0)
               : (type == kASMTypeFileDirectory && number == b))
      score++;
  });
  return score;
}

void printDiskGroup(FILE* out, ASMDiskGroup& g) {
  if (out == nullptr || g.diskCount == 0) return;
  fprintf(out, "Total Disks = %d, ausize=%d, blksize=%d\n\n", g.diskCount,
          static_cast<int>(g.auSize), static_cast<int>(g.blockSize));
  fputs(" disk     size block disk name        disk group   disk path               \n"
        "===== ======== ===== ================ ============ ========================\n",
        out);
  for (int i = 0; i < g.diskCount; i++) {
    const ASMDisk& d = g.disks[i];
    fprintf(out, "%5d %8d %5d %-*s %-*s %s\n", d.number, static_cast<int>(d.sizeMB), d.blockSize,
            16, d.name, 12, d.groupName, d.path);
  }
  fputs("\n", out);
  const uint32_t score = scoreASMFileEntryAU(g, g.f1b1Disk, g.f1b1AU);
  fprintf(out, "f1b1disk = %d, f1b1au = %d, score=%d, compat=0x%08x\n", g.f1b1Disk,
          static_cast<int>(g.f1b1AU), static_cast<int>(score), g.compat);
  const ASMFileHandle* h[3] = {&g.fileDir, &g.diskDir, &g.aliasDir};
  fprintf(out, "file=(%d,%d,%d,%d), disk=(%d,%d,%d,%d), alias=(%d,%d,%d,%d)\n",
          static_cast<int>(h[0]->fileNumber), h[0]->disk, static_cast<int>(h[0]->au), h[0]->block,
          static_cast<int>(h[1]->fileNumber), h[1]->disk, static_cast<int>(h[1]->au), h[1]->block,
          static_cast<int>(h[2]->fileNumber), h[2]->disk, static_cast<int>(h[2]->au), h[2]->block);
}

bool isDiskGroupMember(const ASMDiskGroup* g, uint64_t device, uint64_t inode) {
  if (g == nullptr) return false;
  for (int i = 0; i < g->diskCount && i < kASMMaxDisks; i++) {
    struct stat st;
    if (g->disks[i].fd < 0 || fstat(g->disks[i].fd, &st) != 0) continue;
    if (static_cast<uint64_t>(st.st_dev) == device && static_cast<uint64_t>(st.st_ino) == inode)
      return true;
  }
  return false;
}
