#include "datafile/data_file_set.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "asm/asm_disk.h"
#include "datafile/block_reader.h"
#include "format/block_layout.h"

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

// Decimal value of the leading digits of s; no digits gives 0. Values past
// 32 bits stay at the largest one.
uint32_t leadingDecimal(const char* s) {
  uint64_t v = 0;
  for (; *s >= '0' && *s <= '9'; s++) {
    v = v * 10 + static_cast<uint64_t>(*s - '0');
    if (v > 0xFFFFFFFFULL) v = 0xFFFFFFFFULL;
  }
  return static_cast<uint32_t>(v);
}

// One configuration line into entry e. Returns false for blank and comment
// lines.
bool parseConfigLine(char* line, DataFileEntry& e) {
  char* p = line;
  while (isBlank(*p)) p++;
  if (*p == 0 || *p == '#') return false;
  char* name = p;
  while (*p != 0 && !isBlank(*p)) p++;
  size_t nameLength = static_cast<size_t>(p - name);
  if (nameLength > kMaxFileNameLength) nameLength = kMaxFileNameLength;
  while (isBlank(*p)) p++;
  e = DataFileEntry{};
  memcpy(e.name, name, nameLength);
  e.name[nameLength] = 0;
  e.hsize = leadingDecimal(p);
  return true;
}

void closeEntry(DataFileEntry& e) {
  if (e.file != nullptr) fclose(e.file);
  e.file = nullptr;
  e.fd = -1;
  delete e.asmHandle;
  e.asmHandle = nullptr;
}

}  // namespace

int loadConfig(DataFileSet& set, FILE* config) {
  set.count = 0;
  set.lastHit = nullptr;
  char line[kConfigLineSize];
  while (set.count < kMaxDataFiles && fgets(line, sizeof line, config) != nullptr) {
    DataFileEntry& e = set.entries[set.count];
    // A whole fresh entry, so nothing of an earlier configuration survives
    // into this one's listing.
    closeEntry(e);
    if (!parseConfigLine(line, e)) continue;
    e.rfn = static_cast<uint16_t>(set.count + 1);
    set.count++;
  }
  return set.count;
}

bool openDBFile(DataFileSet& set, ASMDiskGroup* group) {
  bool allOpened = true;
  for (int p = 0; p < set.count; p++) {
    DataFileEntry& e = set.entries[p];
    closeEntry(e);
    if (e.name[0] == '+') {
      uint32_t number = leadingDecimal(e.name + 1);
      e.asmHandle = new ASMFileHandle;
      initASMFileHandle(*e.asmHandle);
      getASMFileEntry(group, *e.asmHandle, number);
      if (e.asmHandle->fileNumber != number) {
        delete e.asmHandle;
        e.asmHandle = nullptr;
      }
      continue;
    }
    e.file = fopen64(e.name, "rb");
    if (e.file == nullptr) {
      printf("Cannot open file : %s \n", e.name);
      allOpened = false;
      continue;
    }
    setvbuf(e.file, nullptr, _IONBF, 0);
    e.fd = fileno(e.file);
  }
  return allOpened;
}

int warnUnreadableASMFiles(const SessionContext& ctx) {
  const ASMDiskGroup* g = ctx.diskGroups;
  if (ctx.fileSet == nullptr || g == nullptr || ctx.blockSize == 0) return 0;
  if (g->auSize % ctx.blockSize == 0) return 0;
  int n = 0;
  for (int p = 0; p < ctx.fileSet->count; p++) {
    const DataFileEntry& e = ctx.fileSet->entries[p];
    if (e.asmHandle == nullptr) continue;
    printf("  %s cannot be read: block size %u does not divide the ASM AU size %u.\n", e.name,
           ctx.blockSize, g->auSize);
    n++;
  }
  return n;
}

int reattachASMFiles(SessionContext& ctx) {
  if (ctx.fileSet == nullptr) return 0;
  DataFileSet& set = *ctx.fileSet;
  int found = 0;
  bool gained = false;
  for (int p = 0; p < set.count; p++) {
    DataFileEntry& e = set.entries[p];
    if (e.name[0] != '+') continue;
    const uint32_t number = leadingDecimal(e.name + 1);
    const bool had = e.asmHandle != nullptr;
    if (e.asmHandle == nullptr) e.asmHandle = new ASMFileHandle;
    initASMFileHandle(*e.asmHandle);
    getASMFileEntry(ctx.diskGroups, *e.asmHandle, number);
    if (e.asmHandle->fileNumber != number) {
      delete e.asmHandle;
      e.asmHandle = nullptr;
      continue;
    }
    found++;
    if (!had) {
      checkFileStatus(ctx, p);
      gained = true;
    }
  }
  if (gained) buildFileIndex(set);
  if (ctx.dataCache != nullptr) emptyReadAheadCache(*ctx.dataCache);
  if (ctx.lobCache != nullptr) emptyReadAheadCache(*ctx.lobCache);
  return found;
}

void closeDBFile(DataFileSet& set) {
  for (int p = 0; p < kMaxDataFiles; p++) closeEntry(set.entries[p]);
  set.count = 0;
  set.lastHit = nullptr;
  for (FileIndexNode*& s : set.slots) s = nullptr;
  set.nodeCount = 0;
}

void buildFileIndex(DataFileSet& set) {
  set.lastHit = nullptr;
  for (FileIndexNode*& s : set.slots) s = nullptr;
  set.nodeCount = 0;
  for (int p = 0; p < set.count; p++) {
    const DataFileEntry& e = set.entries[p];
    FileIndexNode& n = set.nodes[set.nodeCount++];
    n.rfn = e.rfn;
    n.tablespace = e.tablespace;
    n.position = static_cast<uint16_t>(p);
    FileIndexNode*& head = set.slots[e.rfn & (kFileIndexSlots - 1)];
    n.next = head;
    head = &n;
  }
}

int getFileIndex(DataFileSet& set, uint32_t rfn) {
  if (set.lastHit != nullptr && set.lastHit->rfn == rfn) return set.lastHit->position;
  for (FileIndexNode* n = set.slots[rfn & (kFileIndexSlots - 1)]; n != nullptr; n = n->next) {
    if (n->rfn == rfn) {
      set.lastHit = n;
      return n->position;
    }
  }
  set.lastHit = nullptr;
  return -1;
}

namespace {

// Reads bytes from block b (of blockSize bytes) of entry p on: one positioned
// read, or one ASM read of whole blocks. Returns the bytes read; 0 on any
// failure.
inline uint32_t readEntryBytes(DataFileSet& set, ASMDiskGroup* group, int p, uint32_t b,
                               uint32_t blockSize, unsigned char* buf, uint32_t bytes) {
  if (p < 0 || p >= set.count || buf == nullptr || blockSize == 0) return 0;
  DataFileEntry& e = set.entries[p];
  set.positionedReads++;
  if (e.file != nullptr) {
    const uint64_t offset = static_cast<uint64_t>(b) * blockSize + e.hsize;
    ssize_t got;
    do {
      got = pread64(e.fd, buf, bytes, static_cast<off64_t>(offset));
    } while (got < 0 && errno == EINTR);
    return got > 0 ? static_cast<uint32_t>(got) : 0;
  }
  if (e.asmHandle != nullptr) {
    uint32_t got = readASMOracleBlock(group, *e.asmHandle, b, blockSize, buf, bytes / blockSize);
    return got <= bytes ? got : 0;
  }
  set.positionedReads--;
  return 0;
}

}  // namespace

uint32_t readEntryBlocks(DataFileSet& set, const SessionContext& ctx, int p, uint32_t b,
                         unsigned char* buf, uint32_t bytes) {
  return readEntryBytes(set, ctx.diskGroups, p, b, ctx.blockSize, buf, bytes);
}

FileHeaderLayout findFileHeader(DataFileSet& set, ASMDiskGroup* group, int p) {
  FileHeaderLayout h;
  if (p < 0 || p >= set.count) return h;
  unsigned char* buf = static_cast<unsigned char*>(calloc(32768, 1));
  if (buf == nullptr) return h;
  for (uint32_t size = 2048; size <= 32768 && !h.found; size *= 2) {
    if (readEntryBytes(set, group, p, 1, size, buf, size) != size) continue;
    if (buf[kBlockTypeOffset] != kBlockTypeFileHeader) continue;
    for (uint8_t order : {kLittleEndian, kBigEndian}) {
      if (readUB4(buf, size, kDBBlockSizeOffset, order) != size) continue;
      h.found = true;
      h.blockSize = static_cast<uint16_t>(size);
      h.byteOrder = order;
      h.rfn = static_cast<uint16_t>(rdbaFile(readUB4(buf, size, kBlockRDBAOffset, order)));
      break;
    }
  }
  free(buf);
  return h;
}

void removeEntry(DataFileSet& set, int p, FileHeaderLayout* headers) {
  if (p < 0 || p >= set.count) return;
  closeEntry(set.entries[p]);
  for (int q = p; q + 1 < set.count; q++) {
    set.entries[q] = set.entries[q + 1];
    set.entries[q].rfn = static_cast<uint16_t>(q + 1);
    if (headers != nullptr) headers[q] = headers[q + 1];
  }
  // The last slot's handles now belong to the entry before it.
  set.count--;
  set.entries[set.count] = DataFileEntry{};
  set.lastHit = nullptr;
}

int leaveOutSameFiles(DataFileSet& set) {
  struct Identity {
    bool known;
    dev_t device;
    ino_t inode;
  };
  std::vector<Identity> ids;
  int leftOut = 0;
  for (int p = 0; p < set.count; p++) {
    const DataFileEntry& e = set.entries[p];
    struct stat st;
    Identity id{e.file != nullptr && fstat(e.fd, &st) == 0, 0, 0};
    if (id.known) {
      id.device = st.st_dev;
      id.inode = st.st_ino;
    }
    int first = -1;
    for (int q = 0; id.known && q < p && first < 0; q++)
      if (ids[q].known && ids[q].device == id.device && ids[q].inode == id.inode) first = q;
    if (first < 0) {
      ids.push_back(id);
      continue;
    }
    printf("  %s is the same file as %s; left out.\n", e.name, set.entries[first].name);
    removeEntry(set, p);
    leftOut++;
    p--;
  }
  return leftOut;
}

int leaveOutRepeatedFileNumbers(DataFileSet& set, FileHeaderLayout* headers) {
  int leftOut = 0;
  for (int p = 0; p < set.count; p++) {
    const FileHeaderLayout& h = headers[p];
    if (!h.found || h.rfn == 0) continue;
    for (int q = 0; q < p; q++) {
      if (!headers[q].found || headers[q].rfn != h.rfn) continue;
      printf("  %s carries relative file number %u like %s; left out.\n", set.entries[p].name,
             h.rfn, set.entries[q].name);
      removeEntry(set, p, headers);
      leftOut++;
      p--;
      break;
    }
  }
  return leftOut;
}

namespace {

// One block read straight from the file for identification: block i of entry
// p, or in BIGFILE mode block (p << 22) + i of entry 0.
bool probeBlock(SessionContext& ctx, int p, uint64_t i) {
  DataFileSet& set = *ctx.fileSet;
  int at = p;
  uint64_t block = i;
  if (ctx.bigfile) {
    at = 0;
    block = (static_cast<uint64_t>(p) << 22) + i;
  }
  if (block > 0xFFFFFFFFULL) return false;
  return readEntryBlocks(set, ctx, at, static_cast<uint32_t>(block), ctx.blockBuffer,
                         ctx.blockSize) == ctx.blockSize;
}

bool acceptIdentifyingBlock(const SessionContext& ctx, uint64_t i) {
  const uint8_t type = getBlockType(ctx);
  const uint32_t rdba = getBlockRDBA(ctx);
  if (type != kBlockTypeData && type != kBlockTypeFileHeader && rdbaBlock(rdba) != i) return false;
  if ((getBlockFormat(ctx) & 0x0F) != 2) return false;
  if (isRDBAInList(ctx.corruptList, rdba)) return false;
  if (ctx.blockCheck && do_checksum(ctx.blockSize, ctx.blockBuffer) != 0) return false;
  return true;
}

}  // namespace

void checkFileStatus(SessionContext& ctx, int p) {
  if (ctx.fileSet == nullptr || ctx.blockBuffer == nullptr || p < 0 || p >= ctx.fileSet->count)
    return;
  DataFileEntry& e = ctx.fileSet->entries[p];
  const uint32_t S = ctx.blockSize;

  uint64_t i = 1;
  for (;; i++) {
    if (!probeBlock(ctx, p, i)) return;
    if (acceptIdentifyingBlock(ctx, i)) break;
  }

  const uint32_t rdba = getBlockRDBA(ctx);
  const uint8_t format = getBlockFormat(ctx);
  e.version = 0;
  if (getBlockType(ctx) == kBlockTypeFileHeader && getDBBlockSize(ctx) == S) {
    e.blockSize = static_cast<uint16_t>(S);
    e.version = format;
    e.absoluteFile = getFileNumber(ctx);
    e.rfn = static_cast<uint16_t>(rdbaFile(rdba));
    e.tablespace = static_cast<int32_t>(getTablespaceNumber(ctx));
  } else {
    e.tablespace = 0;
    e.version = format;
    e.blockSize = static_cast<uint16_t>(S);
    e.rfn = static_cast<uint16_t>(rdbaFile(rdba));
    e.absoluteFile = e.rfn;
  }

  // The highest readable block, digit by digit from a million down.
  uint64_t found = 0;
  uint64_t step = 1000000;
  for (int failures = 0; failures < 7;) {
    if (probeBlock(ctx, p, found + step)) {
      found += step;
    } else {
      step /= 10;
      failures++;
    }
  }
  e.blocks = found > 0xFFFFFFFFULL ? 0xFFFFFFFFU : static_cast<uint32_t>(found);
  e.sizeMB = static_cast<int32_t>((found + 1) / (1048576 / S));
}

int checkFileHeader(SessionContext& ctx) {
  if (ctx.fileSet == nullptr) return 0;
  DataFileSet& set = *ctx.fileSet;
  fputs("*  ts#  rfn ver bsize     blocks   sizemb hsize filename\n", stdout);
  fputs("- ---- ---- --- ----- ---------- -------- ----- -----------------------------------\n",
        stdout);
  for (int p = 0; p < set.count; p++) {
    checkFileStatus(ctx, p);
    const DataFileEntry& e = set.entries[p];
    printf("%c %4d %4d %02x  %5d %10u %8d %5d %s\n", (e.version & 0x0F) == 2 ? 'Y' : 'N',
           e.tablespace, e.rfn, e.version, e.blockSize, e.blocks, e.sizeMB,
           static_cast<int>(e.hsize), e.name);
  }
  buildFileIndex(set);
  return 1;
}

void printFileHeader(FILE* out, const SessionContext& ctx) {
  char dbName[kDatabaseNameLength + 1];
  char tsName[kMaxTablespaceNameLength + 1];
  getDatabaseName(ctx, dbName);
  const bool hasName = getTablespaceName(ctx, tsName) > 0;
  const uint32_t dbid = getDBID(ctx);
  // The fuzzy flags are the low byte of the 16-bit status.
  const uint8_t fuzzy = static_cast<uint8_t>(getFuzzyStatus(ctx) & 0xFF);
  fprintf(out,
          "DBID=0x%08x=%u,db=%s,ts#=%u,ts=%s,file#=%u,blksiz=%u,blks=%u,ver=0x%08x,"
          "fzy=%c%c%c%c, bs=%u\n",
          dbid, dbid, dbName, getTablespaceNumber(ctx), hasName ? tsName : "(null)",
          getFileNumber(ctx), getDBBlockSize(ctx), getBlockCount(ctx), getCompatibleVersion(ctx),
          (fuzzy & 0x40) ? 'A' : '-', (fuzzy & 0x10) ? 'R' : '-', (fuzzy & 0x04) ? 'O' : '-',
          (fuzzy & 0x01) ? 'H' : '-', getBootstrapRDBA(ctx));
}
