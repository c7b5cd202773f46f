#include "asm/asm_copy.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "asm/asm_disk.h"
#include "asm/asm_layout.h"
#include "asm/asm_walk.h"

namespace {

// Extent numbers a map line may name: what an indirect block can number.
constexpr uint32_t kMaxMapExtent = 0x7FFFFFF;
// Extents read from the map file per pass.
constexpr uint32_t kMapWindow = 1u << 20;
// Longest map line accepted.
constexpr size_t kMaxMapLine = 255;

// Writes extents and zeros to the output, counting what it writes and
// keeping the first write error (after which nothing more is written).
struct Copier {
  FILE* out;
  ASMDiskGroup& g;
  ASMCopyResult& r;
  std::vector<unsigned char> buffer, zeros;

  Copier(FILE* o, ASMDiskGroup& group, ASMCopyResult& result)
      : out(o), g(group), r(result), buffer(group.auSize), zeros(group.auSize, 0) {}

  bool write(const unsigned char* p, uint64_t length) {
    if (r.writeError != 0) return false;
    if (length == 0) return true;
    errno = 0;
    if (fwrite(p, 1, length, out) != length) {
      r.writeError = errno != 0 ? errno : EIO;
      return false;
    }
    r.bytes += length;
    return true;
  }
  // AU `au` of the disk into the buffer, or zeros (counted) when it does
  // not read in full.
  const unsigned char* au(uint16_t disk, uint64_t au) {
    const uint32_t U = g.auSize;
    if (au < kASMNoAU && readDiskGroup(g, disk, static_cast<uint32_t>(au), 0, buffer.data(), U) == U)
      return buffer.data();
    r.unreadAUs++;
    return zeros.data();
  }
  // Extent e of the file: its AUs by the extent policy, at most `limit`
  // bytes of them; zeros when it is missing.
  bool extent(uint32_t e, const ASMExtent* where, uint64_t limit = ~0ull) {
    const uint32_t U = g.auSize;
    const uint32_t count = getExtentAUCount(g.policy, e);
    for (uint32_t k = 0; k < count && limit > 0; k++) {
      const uint64_t length = limit < U ? limit : U;
      const unsigned char* p = where != nullptr ? au(where->disk, static_cast<uint64_t>(where->au) + k) : zeros.data();
      if (!write(p, length)) return false;
      limit -= length;
    }
    return true;
  }
  bool missing(uint64_t first, uint64_t count) {
    for (uint64_t e = first; e < first + count; e++) {
      r.missingExtents++;
      if (!extent(static_cast<uint32_t>(e), nullptr)) return false;
    }
    return true;
  }
};

// A decimal field of at most ten digits ending at one of the stop
// characters; its value in v.
bool decimalField(const char*& p, const char* end, uint64_t& v) {
  const char* start = p;
  v = 0;
  while (p < end && *p >= '0' && *p <= '9' && p - start < 10) v = v * 10 + static_cast<uint64_t>(*p++ - '0');
  return p > start && (p == end || *p < '0' || *p > '9');
}

}  // namespace

ASMCopyResult copyASMFileOut(FILE* out, ASMDiskGroup& g, ASMFileHandle& h) {
  ASMCopyResult r;
  std::vector<unsigned char> entry;
  if (g.auSize == 0 || !copyFileEntry(g, h, entry)) return r;
  r.located = true;
  const unsigned char* d = entry.data();
  const size_t n = entry.size();
  const uint64_t N = getASMExtentCount(d, n), size = getASMFileSize(d, n);
  Copier c(out, g, r);
  // The last extent stops at the recorded size when the size ends in it.
  const auto limitOf = [&](uint64_t e) {
    const uint64_t whole = static_cast<uint64_t>(getExtentAUCount(g.policy, static_cast<uint32_t>(e))) * g.auSize;
    return e == N && size > r.bytes && size - r.bytes <= whole ? size - r.bytes : whole;
  };
  ASMExtentWalk walk;
  walk.extent = [&](uint64_t e, const ASMExtent& x) { return c.extent(static_cast<uint32_t>(e), &x, limitOf(e)); };
  walk.missing = [&](uint64_t first, uint64_t count) { return c.missing(first, count); };
  walkFileExtents(g, d, n, h.fileNumber, diskGroupAUs(g), walk);
  return r;
}

bool parseASMMapLine(const char* line, size_t length, uint32_t& file, uint32_t& extent, ASMExtent& where) {
  const char* p = line;
  const char* end = line + length;
  while (end > p && (end[-1] == '\n' || end[-1] == '\r' || end[-1] == ' ' || end[-1] == '\t')) end--;
  uint64_t v[4];
  for (int i = 0; i < 4; i++) {
    if (!decimalField(p, end, v[i])) return false;
    if (i < 3) {
      if (p == end || *p != ',') return false;
      p++;
    }
  }
  if (p != end) return false;
  if (v[0] > 0xFFFFFFFFull || v[1] == 0 || v[1] > kMaxMapExtent || v[2] > 0xFFFF || v[3] >= kASMNoAU)
    return false;
  file = static_cast<uint32_t>(v[0]);
  extent = static_cast<uint32_t>(v[1]);
  where = ASMExtent{};
  where.disk = static_cast<uint16_t>(v[2]);
  where.au = static_cast<uint32_t>(v[3]);
  return true;
}

int readFileExtentMap(const char* path, std::map<uint32_t, ASMExtent>& list, uint32_t file, uint32_t first,
                      uint32_t last, uint32_t most, uint64_t* ignored, bool* opened) {
  FILE* in = fopen(path, "r");
  if (opened != nullptr) *opened = in != nullptr;
  if (in == nullptr) return 0;
  int beyond = 0;
  char* line = nullptr;
  size_t capacity = 0;
  ssize_t got;
  while ((got = getline(&line, &capacity, in)) > 0) {
    if (line[0] == '#' || line[0] == '\n' || (line[0] == '\r' && got <= 2)) continue;
    uint32_t f, e;
    ASMExtent x;
    if (static_cast<size_t>(got) > kMaxMapLine + 1 || !parseASMMapLine(line, static_cast<size_t>(got), f, e, x) ||
        e > most) {
      if (ignored != nullptr) (*ignored)++;
      continue;
    }
    if (f != file) continue;
    if (e > last) beyond = 1;
    else if (e >= first) list.emplace(e, x);  // the first line naming an extent wins
  }
  free(line);
  fclose(in);
  return beyond;
}

ASMCopyResult copyASMFileOutWithMap(FILE* out, const char* mapPath, ASMDiskGroup& g, uint32_t file) {
  ASMCopyResult r;
  if (g.auSize == 0) return r;
  Copier c(out, g, r);
  uint64_t next = 1;  // the next extent to write
  const uint32_t most = static_cast<uint32_t>(std::min<uint64_t>(diskGroupAUs(g), kMaxMapExtent));
  for (uint64_t w = 1; w <= most; w += kMapWindow) {
    std::map<uint32_t, ASMExtent> list;
    bool opened = false;
    const uint64_t last = std::min<uint64_t>(w + kMapWindow - 1, most);
    const int beyond = readFileExtentMap(mapPath, list, file, static_cast<uint32_t>(w), static_cast<uint32_t>(last),
                                         most, w == 1 ? &r.ignoredLines : nullptr, &opened);
    if (!opened) return r;
    r.located = true;
    for (const auto& [e, x] : list) {
      if (e > next && !c.missing(next, e - next)) return r;
      if (!c.extent(e, &x)) return r;
      next = static_cast<uint64_t>(e) + 1;
    }
    if (!beyond) break;
  }
  return r;
}

uint32_t readASMStripFileData(ASMDiskGroup& g, ASMFileHandle& h, uint64_t k, unsigned char* buffer) {
  const uint64_t S = g.stripSize, W = g.stripWidth, U = g.auSize;
  if (S == 0 || W == 0 || S > U) return 0;
  const uint64_t perSet = W * U / S;
  if (perSet == 0) return 0;
  const uint64_t q = k / perSet, m = k % perSet;
  const uint64_t at = (q * W + m % W) * U + (m / W) * S;
  return readASMFileData(g, h, at, 1, buffer, static_cast<uint32_t>(S));
}

ASMCopyResult copyASMStripFileOut(FILE* out, ASMDiskGroup& g, ASMFileHandle& h) {
  ASMCopyResult r;
  std::vector<unsigned char> entry;
  if (g.auSize == 0 || g.stripSize == 0 || g.stripSize > g.auSize || !copyFileEntry(g, h, entry)) return r;
  r.located = true;
  // The AUs of the file's extents, holes included.
  uint64_t aus = 0;
  ASMExtentWalk walk;
  walk.extent = [&](uint64_t e, const ASMExtent&) {
    aus += getExtentAUCount(g.policy, static_cast<uint32_t>(e));
    return true;
  };
  walk.missing = [&](uint64_t first, uint64_t count) {
    for (uint64_t e = first; e < first + count; e++) aus += getExtentAUCount(g.policy, static_cast<uint32_t>(e));
    return true;
  };
  walkFileExtents(g, entry.data(), entry.size(), h.fileNumber, diskGroupAUs(g), walk);
  uint64_t total = aus * g.auSize;
  const uint64_t size = getASMFileSize(entry.data(), entry.size());
  const uint64_t lastSet = static_cast<uint64_t>(g.stripWidth) * g.auSize;
  if (size > 0 && size <= total && size + lastSet > total) total = size;
  const uint32_t S = g.stripSize;
  std::vector<unsigned char> stripe(S), zeros(S, 0);
  for (uint64_t k = 0; k * S < total; k++) {
    const unsigned char* p = stripe.data();
    if (readASMStripFileData(g, h, k, stripe.data()) != S) {
      r.unreadAUs++;
      p = zeros.data();
    }
    const uint64_t length = std::min<uint64_t>(S, total - k * S);
    errno = 0;
    if (fwrite(p, 1, length, out) != length) {
      r.writeError = errno != 0 ? errno : EIO;
      break;
    }
    r.bytes += length;
  }
  return r;
}
