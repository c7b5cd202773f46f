#include "asm/asm_listing.h"

#include <algorithm>
#include <vector>

#include "asm/asm_disk.h"
#include "asm/asm_layout.h"
#include "asm/asm_walk.h"

namespace {

// The AUs of [first, first + count) that begin on the disk, at most up to
// the last AU number.
uint64_t lastAUOf(ASMDiskGroup& g, uint16_t disk, uint32_t first, uint32_t count) {
  const ASMDisk* d = findASMDisk(g, disk);
  if (d == nullptr || d->auSize == 0) return first;
  const uint64_t onDisk = (diskGroupDiskBytes(g, disk) + d->auSize - 1) / d->auSize;
  const uint64_t want = static_cast<uint64_t>(first) + (count == 0 ? 1 : count);
  return std::min<uint64_t>({want, onDisk, 0xFFFFFFFFull});
}

// The directory file's blocks, extent by extent: direct extents first
// (before each, onDirect), then those the indirect blocks list.
void walkDirectory(ASMDiskGroup& g, const ASMFileHandle& h, const std::function<void()>& onDirect,
                   const std::function<void(uint16_t, uint32_t, uint32_t, const unsigned char*, size_t)>& visit) {
  if (h.fileNumber == 0 || h.fileNumber == kASMNoFile) return;
  std::vector<unsigned char> entry;
  if (!copyFileEntry(g, h, entry)) return;
  const uint32_t direct = directExtents(entry.data(), entry.size());
  ASMExtentWalk walk;
  walk.extent = [&](uint64_t e, const ASMExtent& x) {
    if (e <= direct && onDirect) onDirect();
    visitBlocksOfAU(g, x.disk, x.au, [&](uint32_t j, const unsigned char* b, size_t n) {
      visit(x.disk, x.au, j, b, n);
      return true;
    });
    return true;
  };
  walkFileExtents(g, entry.data(), entry.size(), h.fileNumber, diskGroupAUs(g), walk);
}

void printExtentPointer(FILE* out, uint32_t file, uint64_t extent, const ASMExtent& x) {
  fprintf(out, "%u,%llu,%u,%u\n", file, static_cast<unsigned long long>(extent), x.disk, x.au);
}

// The extent pointers of the blocks of one AU: direct slots of directory
// entries, slots of indirect blocks; pointers to AU 0 or to a disk that is
// not open are left out.
void scanAU(FILE* out, ASMDiskGroup& g, uint16_t disk, uint32_t au) {
  visitBlocksOfAU(g, disk, au, [&](uint32_t, const unsigned char* b, size_t n) {
    const uint8_t order = readUB1(b, n, kASMOffByteOrder);
    if ((order != 0 && order != 1) || getASMDataFormat(b, n) != 1) return true;
    const auto kept = [&](const ASMExtent& x) { return x.au != 0 && findASMDisk(g, x.disk) != nullptr; };
    const uint8_t type = getASMBlockType(b, n);
    if (type == kASMTypeFileDirectory && getASMBlockNumber(b, n) != 0) {
      const uint32_t direct = directExtents(b, n);
      for (uint32_t s = 0; s < direct; s++) {
        const ASMExtent x = getASMFileExtent(b, n, s);
        if (kept(x)) printExtentPointer(out, getASMBlockNumber(b, n), s + 1ull, x);
      }
    } else if (type == kASMTypeIndirectExtents && getASMObjectNumber(b, n) != 0) {
      const uint64_t F = getASMFirstExtentIndex(b, n);
      const uint32_t count = indirectCount(b, n);
      for (uint32_t l = 0; l < count && F + l <= 0x7FFFFFF; l++) {
        const ASMExtent x = getASMFileExtent(b, n, l);
        if (kept(x)) printExtentPointer(out, getASMObjectNumber(b, n), F + l + 1, x);
      }
    }
    return true;
  });
}

}  // namespace

void listASMFileEntry(FILE* out, ASMDiskGroup& g, const ASMFileHandle& h) {
  std::vector<unsigned char> entry;
  if (h.fileNumber == 0 || h.fileNumber == kASMNoFile || !copyFileEntry(g, h, entry)) return;
  fputs("    file  disk       au blk     size flag type alias0,alias1              \n"
        "======== ===== ======== === ======== ==== ==== ===========================\n",
        out);
  walkDirectory(g, h, nullptr, [&](uint16_t disk, uint32_t au, uint32_t j, const unsigned char* b, size_t n) {
    if (getASMBlockType(b, n) != kASMTypeFileDirectory || getASMBlockNumber(b, n) == 0 ||
        getASMFileSize(b, n) == 0)
      return;
    fprintf(out, "%8d %5d %8d %3d %8lld %4d %4d %d,%d\n", static_cast<int>(getASMBlockNumber(b, n)), disk,
            static_cast<int>(au), static_cast<int>(j), static_cast<long long>(getASMFileSize(b, n) >> 20),
            getASMFileFlags(b, n), getASMFileType(b, n), static_cast<int>(getASMAlias0(b, n)),
            static_cast<int>(getASMAlias1(b, n)));
  });
}

void listASMAliasEntry(FILE* out, ASMDiskGroup& g, const ASMFileHandle& h) {
  const auto heading = [&] {
    fputs("    file          inc parent fstblk flag  refer alias                     \n"
          "======== ============ ====== ====== ==== ====== ==========================\n",
          out);
  };
  walkDirectory(g, h, heading, [&](uint16_t, uint32_t, uint32_t, const unsigned char* b, size_t n) {
    if (getASMBlockType(b, n) != kASMTypeAliasDirectory || getASMObjectNumber(b, n) == 0) return;
    for (uint32_t l = 0; getASMAliasEntryAt(l + 1) <= n; l++) {
      const size_t at = getASMAliasEntryAt(l);
      char name[kASMAliasNameSize + 1] = {};
      for (size_t i = 0; i < kASMAliasNameSize && b[at + kASMOffAliasName + i] != 0; i++)
        name[i] = static_cast<char>(b[at + kASMOffAliasName + i]);
      if (name[0] == 0 || getASMAliasEntryWord(b, n, at) == 0) break;
      const uint8_t flags = getASMAliasFlags(b, n, at);
      if (flags != 18 && flags != 4) continue;
      fprintf(out, "%8d %12d %6d %6d %4d %6d %s\n", static_cast<int>(getASMAliasFile(b, n, at)),
              static_cast<int>(getASMAliasIncarnation(b, n, at)), static_cast<int>(getASMAliasParent(b, n)),
              static_cast<int>(getASMAliasFirstBlock(b, n)), flags,
              static_cast<int>(getASMAliasRefer(b, n, at)), name);
    }
  });
}

void listASMFileExtent(FILE* out, ASMDiskGroup& g, const ASMFileHandle& h) {
  std::vector<unsigned char> entry;
  if (!copyFileEntry(g, h, entry)) return;
  const unsigned char* d = entry.data();
  const size_t n = entry.size();
  fprintf(out, "fid=%d, disk=%d, au=%d, block=%d\n", static_cast<int>(h.fileNumber), h.disk,
          static_cast<int>(h.au), h.block);
  fprintf(out, "siz=%lld, ecnt=%d, eeof=%d, flags=%d, type=%d, alias=%d,%d\n",
          static_cast<long long>(getASMFileSize(d, n) >> 20), static_cast<int>(getASMExtentCount(d, n)),
          static_cast<int>(getASMEndOfFile(d, n)), getASMFileFlags(d, n), getASMFileType(d, n),
          static_cast<int>(getASMAlias0(d, n)), static_cast<int>(getASMAlias1(d, n)));
  fputs("     extid  disk       auid  cnt flg chk\n========== ===== ========== ==== === ===\n", out);
  ASMExtentWalk walk;
  walk.extent = [&](uint64_t e, const ASMExtent& x) {
    fprintf(out, "%10d %5d %10d %4d %3d %3d\n", static_cast<int>(e), x.disk, static_cast<int>(x.au),
            static_cast<int>(getExtentAUCount(g.policy, static_cast<uint32_t>(e))), x.flags, x.check);
    return true;
  };
  walk.missing = [&](uint64_t, uint64_t count) {
    fprintf(out, "ERROR: missing (%d) extents\n", static_cast<int>(count));
    return true;
  };
  walkFileExtents(g, d, n, h.fileNumber, diskGroupAUs(g), walk);
}

void listASMFileExtent2(FILE* out, ASMDiskGroup& g, ASMFileHandle& h, uint32_t first) {
  readFileExtentCache(g, h, first);
  for (int i = 0; i < kASMExtentWindow; i++) {
    if (h.extentNumber[i] == kASMNoExtent) continue;
    fprintf(out, "extentid=%d, disk=%d, au=%d\n", static_cast<int>(h.extentNumber[i]), h.extentDisk[i],
            static_cast<int>(h.extentAU[i]));
  }
}

void listASMFileEntryAU(FILE* out, ASMDiskGroup& g, uint16_t disk, uint32_t first, uint32_t count) {
  const uint64_t end = lastAUOf(g, disk, first, count);
  for (uint64_t au = first; au < end; au++) {
    visitBlocksOfAU(g, disk, static_cast<uint32_t>(au), [&](uint32_t j, const unsigned char* b, size_t n) {
      if (getASMBlockType(b, n) != kASMTypeFileDirectory || getASMObjectNumber(b, n) != 1 ||
          getASMFileSize(b, n) == 0)
        return true;
      fprintf(out, "fileid=%d, disk=%d, au=%d, block=%d, size=%lld, aus=%d, flags=%d, type=%d\n",
              static_cast<int>(getASMBlockNumber(b, n)), disk, static_cast<int>(au), static_cast<int>(j),
              static_cast<long long>(getASMFileSize(b, n)), static_cast<int>(getASMExtentCount(b, n)),
              getASMFileFlags(b, n), getASMFileType(b, n));
      return true;
    });
  }
}

void listASMFileExtentMap(FILE* out, ASMDiskGroup& g, uint16_t disk, uint32_t first, uint32_t count) {
  const uint64_t end = lastAUOf(g, disk, first, count);
  for (uint64_t au = first; au < end; au++) scanAU(out, g, disk, static_cast<uint32_t>(au));
}

void scanASMFileExtentMap(FILE* out, ASMDiskGroup& g) {
  for (int i = 0; i < g.diskCount && i < kASMMaxDisks; i++) {
    const ASMDisk& d = g.disks[i];
    if (d.stream == nullptr || d.auSize == 0 || findASMDisk(g, d.number) != &d) continue;
    const uint64_t aus = std::min<uint64_t>((diskGroupDiskBytes(g, d.number) + d.auSize - 1) / d.auSize,
                                            0xFFFFFFFFull);
    for (uint64_t au = 0; au < aus; au++) scanAU(out, g, d.number, static_cast<uint32_t>(au));
  }
}
