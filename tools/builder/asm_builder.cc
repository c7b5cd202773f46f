#include "tools/builder/asm_builder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace mkdb {

namespace {

using Bytes = std::vector<uint8_t>;

// ASM metadata field offsets, from the on-disk layout.
namespace at {
constexpr size_t kOrder = 0, kType = 2, kFormat = 3, kBlockNo = 4, kObject = 8;
constexpr size_t kProvision = 32, kCompat = 64, kDiskNo = 68, kDiskName = 72, kGroupName = 104,
                 kFailGroup = 136, kSector = 216, kBlockSize = 218, kAUSize = 220,
                 kDiskSize = 228, kF1B1 = 244;
constexpr size_t kSizeHigh = 44, kSizeLow = 48, kExtents = 52, kUsed = 92, kDirect = 94,
                 kDirSlots = 1216;
constexpr size_t kFirstIndex = 32, kCount = 36, kIndSlots = 44;
constexpr size_t kAliasParent = 52, kAliasFirst = 60, kAliasEntries = 68, kAliasEntry = 76;
}  // namespace at

struct Writer {
  const AsmGroup& g;
  std::map<uint16_t, int> fds;

  void put(Bytes& b, size_t off, uint64_t v, int width) const {
    for (int i = 0; i < width; i++) {
      const int shift = g.byteOrder == 0 ? 8 * (width - 1 - i) : 8 * i;
      if (off + i < b.size()) b[off + i] = static_cast<uint8_t>(v >> shift);
    }
  }
  void text(Bytes& b, size_t off, const std::string& s, size_t max) const {
    for (size_t i = 0; i < s.size() && i < max && off + i < b.size(); i++) b[off + i] = s[i];
  }
  Bytes block(uint8_t type, uint32_t number, uint32_t object) const {
    Bytes b(g.blockSize, 0);
    b[at::kOrder] = g.byteOrder;
    b[at::kType] = type;
    b[at::kFormat] = 1;
    put(b, at::kBlockNo, number, 4);
    put(b, at::kObject, object, 4);
    return b;
  }
  void extent(Bytes& b, size_t off, const AsmExtent& e) const {
    put(b, off, e.au, 4);
    put(b, off + 4, e.disk, 2);
  }
  bool write(uint16_t disk, uint64_t offset, const uint8_t* p, size_t n) {
    auto it = fds.find(disk);
    if (it == fds.end()) return false;
    return pwrite(it->second, p, n, static_cast<off_t>(offset)) == static_cast<ssize_t>(n);
  }
  bool writeBlock(const AsmExtent& e, uint32_t index, const Bytes& b) {
    return write(e.disk, static_cast<uint64_t>(e.au) * g.auSize +
                             static_cast<uint64_t>(index) * g.blockSize,
                 b.data(), b.size());
  }
};

uint32_t perBlockOf(const AsmGroup& g, const AsmFile& f) {
  const uint32_t fit = (g.blockSize - at::kIndSlots) / 8;
  return f.perIndirectBlock && f.perIndirectBlock < fit ? f.perIndirectBlock : fit;
}

// The directory entry of file f, and its indirect blocks written into its
// indirect AUs.
bool writeFile(Writer& w, const AsmFile& f, const AsmExtent& where, uint32_t index) {
  const AsmGroup& g = w.g;
  Bytes e = w.block(4, f.number, 1);
  w.put(e, at::kSizeHigh, f.size >> 32, 4);
  w.put(e, at::kSizeLow, f.size & 0xFFFFFFFF, 4);
  w.put(e, at::kExtents, f.extents.size(), 4);
  const uint32_t n = static_cast<uint32_t>(f.extents.size());
  const uint32_t direct = std::min(n, f.directSlots);
  for (uint32_t s = 0; s < direct; s++) w.extent(e, at::kDirSlots + 8 * s, f.extents[s]);
  // Indirect blocks: runs of listed extents, perBlock at a time.
  std::vector<Bytes> blocks;
  const uint32_t per = perBlockOf(g, f);
  uint32_t x = direct;
  while (x < n) {
    if (f.holes.count(x + 1)) {
      x++;
      continue;
    }
    Bytes b = w.block(12, static_cast<uint32_t>(blocks.size()), f.number);
    w.put(b, at::kFirstIndex, x, 4);
    uint32_t c = 0;
    while (x < n && c < per && !f.holes.count(x + 1)) {
      w.extent(b, at::kIndSlots + 8 * c, f.extents[x]);
      c++;
      x++;
    }
    w.put(b, at::kCount, c, 2);
    blocks.push_back(b);
    if (f.staleCopy && blocks.size() == 1) {
      // An older copy of the same extents, pointing elsewhere.
      Bytes old = b;
      for (uint32_t l = 0; l < c; l++) w.extent(old, at::kIndSlots + 8 * l, f.staleTarget);
      blocks.push_back(old);
    }
  }
  const uint32_t perAU = g.auSize / g.blockSize;
  const size_t ausNeeded = (blocks.size() + perAU - 1) / perAU;
  if (ausNeeded > f.indirectAUs.size()) return false;
  uint32_t used = direct;
  for (size_t a = 0; a < ausNeeded; a++) {
    w.extent(e, at::kDirSlots + 8 * used, f.indirectAUs[a]);
    used++;
    for (uint32_t j = 0; j < perAU && a * perAU + j < blocks.size(); j++)
      if (!w.writeBlock(f.indirectAUs[a], j, blocks[a * perAU + j])) return false;
  }
  w.put(e, at::kUsed, used, 2);
  w.put(e, at::kDirect, direct, 2);
  return w.writeBlock(where, index, e);
}

}  // namespace

AsmGroup asmGroup(const std::string& dir, int disks, uint8_t byteOrder, uint32_t auSize,
                  uint32_t sizeMB) {
  AsmGroup g;
  g.byteOrder = byteOrder;
  g.auSize = auSize;
  for (int i = 0; i < disks; i++) {
    AsmDiskImage d;
    d.path = dir + "/disk" + std::to_string(i) + ".img";
    d.number = static_cast<uint16_t>(i);
    d.name = "DATA_000" + std::to_string(i);
    d.sizeMB = sizeMB;
    g.disks.push_back(d);
  }
  g.directory.number = 1;
  g.directory.extents = {{0, 2}, {static_cast<uint16_t>(disks > 1 ? 1 : 0), 3}};
  g.directory.size = 2ull * auSize;
  return g;
}

std::vector<AsmExtent> spreadExtents(const AsmGroup& g, uint64_t bytes, uint32_t firstAU,
                                     const AsmExtentSizes& sizes) {
  std::vector<AsmExtent> out;
  std::vector<uint32_t> next(g.disks.size(), firstAU);
  uint64_t covered = 0;
  for (uint32_t e = 1; covered < bytes; e++) {
    const uint32_t c = sizes ? sizes(e) : 1;
    const size_t d = (e - 1) % g.disks.size();
    out.push_back({g.disks[d].number, next[d]});
    next[d] += c;
    covered += static_cast<uint64_t>(c) * g.auSize;
  }
  return out;
}

int writeAsmGroup(const AsmGroup& g) {
  Writer w{g, {}};
  int status = 0;
  for (const AsmDiskImage& d : g.disks) {
    const int fd = open(d.path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(d.sizeMB) << 20) != 0) status = 1;
    if (fd >= 0) w.fds[d.number] = fd;
    Bytes h = w.block(1, 0, 0x80000000u | d.number);
    w.text(h, at::kProvision, "ORCLDISK", 8);
    w.put(h, at::kCompat, g.compat, 4);
    w.put(h, at::kDiskNo, d.number, 2);
    w.text(h, at::kDiskName, d.name, 32);
    w.text(h, at::kGroupName, g.name, 32);
    w.text(h, at::kFailGroup, d.name, 32);
    w.put(h, at::kSector, 512, 2);
    w.put(h, at::kBlockSize, g.blockSize, 2);
    w.put(h, at::kAUSize, g.auSize, 4);
    w.put(h, at::kDiskSize, d.sizeMB, 4);
    w.put(h, at::kF1B1, d.number == g.f1b1Disk ? g.f1b1AU : 0, 4);
    if (fd >= 0 && !w.write(d.number, 0, h.data(), h.size())) status = 1;
  }
  // Every block of the directory's extents: block 0 of the first opens the
  // directory, the rest are entries (empty for unknown files).
  const uint32_t perAU = g.auSize / g.blockSize;
  std::map<uint32_t, const AsmFile*> files;
  files[1] = &g.directory;
  AsmFile aliasFile;
  if (!g.aliases.empty()) {
    aliasFile.number = 6;
    aliasFile.extents = g.aliasExtents;
    aliasFile.size = g.aliasExtents.size() * static_cast<uint64_t>(g.auSize);
    files[6] = &aliasFile;
    const uint32_t perBlock = (g.blockSize - at::kAliasEntries) / at::kAliasEntry;
    for (size_t i = 0; i < g.aliases.size() && status == 0; i += perBlock) {
      const uint32_t index = static_cast<uint32_t>(i / perBlock);
      if (index / perAU >= g.aliasExtents.size()) {
        status = 1;
        break;
      }
      Bytes b = w.block(11, index, 6);
      w.put(b, at::kAliasParent, 7, 4);
      w.put(b, at::kAliasFirst, 2 + index, 4);
      for (size_t l = 0; l < perBlock && i + l < g.aliases.size(); l++) {
        const AsmAlias& a = g.aliases[i + l];
        const size_t e = at::kAliasEntries + l * at::kAliasEntry;
        w.put(b, e, 1, 4);
        w.put(b, e + 4, 0x8000 | l, 4);
        w.put(b, e + 8, a.refer, 4);
        w.text(b, e + 16, a.name, 48);
        w.put(b, e + 64, a.file, 4);
        w.put(b, e + 68, a.incarnation, 4);
        b[e + 72] = a.flags;
      }
      if (!w.writeBlock(g.aliasExtents[index / perAU], index % perAU, b)) status = 1;
    }
  }
  for (const AsmFile& f : g.files) {
    files[f.number] = &f;
    // A file whose entry no directory extent holds cannot be written.
    if (f.number >= g.directory.extents.size() * perAU) status = 1;
  }
  for (size_t x = 0; x < g.directory.extents.size() && status == 0; x++) {
    for (uint32_t j = 0; j < perAU; j++) {
      const uint32_t number = static_cast<uint32_t>(x * perAU + j);
      const AsmExtent where = g.directory.extents[x];
      if (number == 0) {
        if (!w.writeBlock(where, 0, w.block(5, 0, 1))) status = 1;
        continue;
      }
      auto it = files.find(number);
      AsmFile empty;
      empty.number = number;
      if (!writeFile(w, it != files.end() ? *it->second : empty, where, j)) status = 1;
    }
  }
  for (auto& [disk, fd] : w.fds)
    if (close(fd) != 0) status = 1;
  return status;
}

int writeAsmFileBytes(const AsmGroup& g, const AsmFile& f, uint64_t at,
                      const std::vector<uint8_t>& bytes, const AsmExtentSizes& sizes) {
  Writer w{g, {}};
  int status = 0;
  for (const AsmDiskImage& d : g.disks) {
    const int fd = open(d.path.c_str(), O_RDWR);
    if (fd < 0) return 1;
    w.fds[d.number] = fd;
  }
  uint64_t start = 0;  // byte offset of the file where extent e starts
  for (uint32_t e = 1; e <= f.extents.size() && status == 0; e++) {
    const uint64_t length = static_cast<uint64_t>(sizes ? sizes(e) : 1) * g.auSize;
    const uint64_t from = std::max(start, at), to = std::min(start + length, at + bytes.size());
    if (from < to && !f.holes.count(e)) {
      const AsmExtent& x = f.extents[e - 1];
      const uint64_t disk = static_cast<uint64_t>(x.au) * g.auSize + (from - start);
      if (!w.write(x.disk, disk, bytes.data() + (from - at), to - from)) status = 1;
    }
    start += length;
  }
  for (auto& [disk, fd] : w.fds)
    if (close(fd) != 0) status = 1;
  return status;
}

int writeAsmDiskList(const AsmGroup& g, const std::string& path, const std::string& extra) {
  FILE* f = fopen(path.c_str(), "w");
  if (f == nullptr) return 1;
  fputs(extra.c_str(), f);
  for (const AsmDiskImage& d : g.disks) fprintf(f, "%s\n", d.path.c_str());
  return fclose(f) == 0 ? 0 : 1;
}

}  // namespace mkdb
