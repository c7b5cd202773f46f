#include "lob/lob_map.h"

#include <cstring>
#include <string>

#include "format/block_layout.h"
#include "format/data_layout.h"
#include "format/index_layout.h"

namespace {

// Lines a lookup takes: up to 511 bytes; the map lines are far shorter.
constexpr size_t kLookupLineMax = 511;
// Shorter lines end a lookup; lines of at most 9 characters are not split.
constexpr size_t kLookupLineMin = 10;
constexpr size_t kBucketLineMin = 10;

void writeRunLine(FILE* out, const LobRun& run) {
  char id[kLobIdTextSize + 1];
  formatLobId(run.info.lobId, id);
  fprintf(out, "%u,%s,%u,%u,%u,%u,%u,\n", run.info.objd, id, run.info.page, run.info.version,
          run.rfn, run.first, run.count);
}

bool sameRun(const LobRun& run, const LobBlockInfo& info) {
  return run.open && run.info.objd == info.objd && run.info.page == info.page &&
         run.info.version == info.version &&
         memcmp(run.info.lobId, info.lobId, kLobIdSize) == 0;
}

// Reads one whole line into line (newline kept); false at end of file.
bool readWholeLine(FILE* in, std::string& line) {
  line.clear();
  int c;
  while ((c = getc(in)) != EOF) {
    line.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return !line.empty();
}

// Field k (0-based) of a comma-separated line, leading commas skipped and
// the line end not part of any field. False when the line has fewer fields.
bool lineField(const std::string& line, int k, size_t& start, size_t& length) {
  size_t end = line.size();
  while (end > 0 && (line[end - 1] == '\n' || line[end - 1] == '\r')) end--;
  size_t p = 0;
  while (p < end && line[p] == ',') p++;
  for (int i = 0;; i++) {
    size_t q = p;
    while (q < end && line[q] != ',') q++;
    if (i == k) {
      start = p;
      length = q - p;
      return p < end || length > 0;
    }
    if (q >= end) return false;
    p = q + 1;
  }
}

// A whole decimal field of at most max; false for an empty field, any other
// character or a larger value.
bool decimalField(const std::string& line, int k, uint32_t max, uint32_t& value) {
  size_t start, length;
  if (!lineField(line, k, start, length) || length == 0 || length > 10) return false;
  uint64_t v = 0;
  for (size_t i = start; i < start + length; i++) {
    if (line[i] < '0' || line[i] > '9') return false;
    v = v * 10 + static_cast<uint64_t>(line[i] - '0');
  }
  if (v > max) return false;
  value = static_cast<uint32_t>(v);
  return true;
}

// Reads the lines of a lookup from a bucket's text: whole lines, a line
// longer than a lookup takes is passed over whole so that its tail never
// reads as a line of its own. False at the end or at a line too short to
// be a map line; otherwise the line is [start, start + length).
bool nextLookupLine(const std::string& text, size_t& pos, size_t& start, size_t& length) {
  for (;;) {
    if (pos >= text.size()) return false;
    const size_t end = text.find('\n', pos);
    const size_t next = end == std::string::npos ? text.size() : end + 1;
    start = pos;
    length = next - pos;
    pos = next;
    if (length > kLookupLineMax) continue;
    return length >= kLookupLineMin;
  }
}

// The bucket read from its stream once, its lines filed by LOB id.
const LobBucketLines& bucketLines(FILE* in, LobBucketLines& b) {
  if (b.read) return b;
  b.read = true;
  rewind(in);
  char chunk[8192];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, in)) > 0) b.text.append(chunk, n);
  std::string line;
  size_t start, length;
  for (size_t pos = 0; nextLookupLine(b.text, pos, start, length);) {
    line.assign(b.text, start, length);
    size_t field, fieldLength;
    if (!lineField(line, 1, field, fieldLength) || fieldLength < kLobIdTextSize) continue;
    b.lines[line.substr(field, kLobIdTextSize)].emplace_back(start, length);
  }
  return b;
}

// The lines of the LOB id in its bucket, in file order; null when none.
const std::vector<std::pair<size_t, size_t>>* lobLines(FILE* in, LobBucketLines& b,
                                                       const char* lobIdText) {
  if (in == nullptr) return nullptr;
  const LobBucketLines& lines = bucketLines(in, b);
  const auto it = lines.lines.find(std::string(lobIdText, kLobIdTextSize));
  return it == lines.lines.end() ? nullptr : &it->second;
}

void splitIntoBuckets(const char* mapPath, void (*bucketPath)(int, char*, size_t)) {
  FILE* in = fopen(mapPath, "rb");
  if (in == nullptr) return;
  FILE* buckets[kLobBuckets] = {};
  bool all = true;
  for (int i = 0; i < kLobBuckets && all; i++) {
    char path[64];
    bucketPath(i, path, sizeof path);
    buckets[i] = fopen(path, "wb");
    all = buckets[i] != nullptr;
  }
  if (all) {
    // Whole lines are copied, however long, so that a long line never turns
    // into pieces that look like lines of their own.
    std::string line;
    while (readWholeLine(in, line)) {
      if (line.size() < kBucketLineMin) continue;
      size_t start, length;
      if (!lineField(line, 1, start, length) || length < kLobIdTextSize) continue;
      fwrite(line.data(), 1, line.size(), buckets[getLobBucket(line.c_str() + start)]);
    }
  }
  for (FILE* b : buckets)
    if (b != nullptr) fclose(b);
  fclose(in);
}

void closeStreams(FILE** streams, LobBucketLines* lines) {
  for (int i = 0; i < kLobBuckets; i++) {
    if (streams[i] != nullptr) fclose(streams[i]);
    streams[i] = nullptr;
    lines[i] = LobBucketLines{};
  }
}

inline uint32_t word(uint32_t a, uint32_t b) { return a * 256u + b; }

}  // namespace

void closeLobRun(FILE* blockMap, LobRun& run) {
  if (run.open && blockMap != nullptr) writeRunLine(blockMap, run);
  run.open = false;
}

int addLobMapBlock(FILE* blockMap, FILE* indexMap, LobRun& run, SessionContext& ctx,
                   uint16_t rfn, uint32_t block, bool readable) {
  if (!readable) return 0;
  const uint8_t type = getBlockType(ctx);
  if (type == kBlockTypeData) {
    closeLobRun(blockMap, run);
    return listLobByIndex(indexMap, ctx);
  }
  LobBlockInfo info;
  if (!getLobBlockInfo(ctx, info)) {
    closeLobRun(blockMap, run);
    return 0;
  }
  if (sameRun(run, info) && run.rfn == rfn && block > run.first) {
    // The run reaches this block. An unreadable block inside it stays
    // covered, so that first block and count still name every block of the
    // run; the LOB reader passes over what it cannot read.
    run.count = block - run.first + 1;
    return 0;
  }
  closeLobRun(blockMap, run);
  run.open = true;
  run.rfn = rfn;
  run.info = info;
  run.first = block;
  run.count = 1;
  return 0;
}

int listLobByIndex(FILE* indexMap, SessionContext& ctx) {
  const unsigned char* b = ctx.blockBuffer;
  const size_t S = ctx.blockSize;
  if (b == nullptr || getBlockType(ctx) != kBlockTypeData || getDataType(ctx) != kDataTypeIndex)
    return 0;
  if (getIndexLedsz(ctx) != kLobIndexDataSize || getIndexColev(ctx) != 0 ||
      getIndexColumnCount(ctx) != 2)
    return 0;
  const uint32_t objd = getDataObjectID(ctx);
  int written = 0;
  for (uint32_t i = 0; i < getIndexRowCount(ctx); i++) {
    // The two key columns: the LOB id and the offset.
    const uint32_t start = getIndexRowStart(ctx, i);
    ColumnSpan key[2];
    uint32_t pos = start == 0 ? 0 : start + kIndexRowHeaderSize + getIndexLedsz(ctx);
    for (ColumnSpan& k : key)
      if (pos != 0) pos = decodeColumn(b, static_cast<uint32_t>(S), pos, ctx.byteOrder, k);
    // As in the row mappers, a column reaching the block's last byte is
    // not trusted.
    if (pos == 0 || key[0].length != kLobIndexKeyIdLength ||
        key[1].length != kLobIndexKeyOffsetLength || key[1].data + key[1].length + 1 >= S)
      break;
    // The first entry of a LOB has offset 0.
    if (readUB4(b, S, key[1].data, kBigEndian) != 0) continue;
    const uint32_t data = start + kIndexRowHeaderSize;
    bool magic = data > kIndexRowHeaderSize;
    for (size_t k = 0; k < sizeof kLobIndexMagic && magic; k++)
      magic = data + k < S && b[data + k] == kLobIndexMagic[k];
    if (!magic || data + kLobIndexDataSize > S) continue;
    unsigned char id[kLobIdSize];
    for (size_t k = 0; k < kLobIdSize; k++) id[k] = readUB1(b, S, key[0].data + k);
    char text[kLobIdTextSize + 1];
    formatLobId(id, text);
    if (indexMap != nullptr)
      fprintf(indexMap, "%u,%s,%u,%u,\n", objd, text,
              readUB4(b, S, data + kLobIndexFullBlocksOffset, kBigEndian),
              readUB2(b, S, data + kLobIndexLastLengthOffset, kBigEndian));
    written++;
  }
  return written;
}

uint32_t getLobBucket(const char* lobIdText) {
  // Characters 11 to 20. The second word of each step takes the step's
  // first character plus 2 as its high byte: the bucket files written by
  // one run are read by the next, so this exact function must stay.
  const unsigned char* c = reinterpret_cast<const unsigned char*>(lobIdText) + 10;
  uint32_t h = 10, t;
  for (int step = 0; step < 2; step++) {
    const unsigned char* s = c + 4 * step;
    h += word(s[0], s[1]);
    t = (word(s[0] + 2u, s[3]) << 11) ^ h;
    h = (h << 16) ^ t;
    h += h >> 11;
  }
  h += word(c[8], c[9]);
  h ^= h << 11;
  h += h >> 17;
  h ^= h << 3;
  h += h >> 5;
  h ^= h << 4;
  h += h >> 17;
  h ^= h << 25;
  h += h >> 6;
  return h % kLobBuckets;
}

void lobBlockBucketPath(int bucket, char* path, size_t size) {
  snprintf(path, size, "ZUTDICT/ZUTLOBMAP%02d.TXT", bucket);
}

void lobIndexBucketPath(int bucket, char* path, size_t size) {
  snprintf(path, size, "ZUTDICT/ZUTLOBIDX%02d.TXT", bucket);
}

void hashLobBlockMap() { splitIntoBuckets(kLobBlockMapPath, lobBlockBucketPath); }
void hashLobIndexMap() { splitIntoBuckets(kLobIndexMapPath, lobIndexBucketPath); }

LobHashMap::~LobHashMap() { closeLobMaps(*this); }

void openLobHashMap(LobHashMap& map) {
  closeLobHashMap(map);
  // Lookups only read, so read-only copies of the maps serve as well.
  for (int i = 0; i < kLobBuckets; i++) {
    char path[64];
    lobBlockBucketPath(i, path, sizeof path);
    map.blockBuckets[i] = fopen(path, "rb");
    lobIndexBucketPath(i, path, sizeof path);
    map.indexBuckets[i] = fopen(path, "rb");
  }
}

void closeLobHashMap(LobHashMap& map) {
  closeStreams(map.blockBuckets, map.blockLines);
  closeStreams(map.indexBuckets, map.indexLines);
}

bool openLobMaps(LobHashMap& map) {
  closeLobMaps(map);
  map.text = fopen(kLobBlockMapPath, "rb");
  if (map.text == nullptr) return false;
  openLobHashMap(map);
  return true;
}

void closeLobMaps(LobHashMap& map) {
  closeLobHashMap(map);
  if (map.text != nullptr) fclose(map.text);
  map.text = nullptr;
}

void readLobBlockMap(LobHashMap& map, const char* lobIdText) {
  // Only pages below the page count can have been filled.
  for (uint32_t p = 0; p < map.pageCount && p < kLobPages; p++) map.pages[p] = LobPage{};
  map.pageCount = 0;
  if (lobIdText == nullptr || strnlen(lobIdText, kLobIdTextSize) < kLobIdTextSize) return;
  const uint32_t b = getLobBucket(lobIdText);
  const auto* found = lobLines(map.blockBuckets[b], map.blockLines[b], lobIdText);
  if (found == nullptr) return;
  std::string line;
  for (const auto& [start, length] : *found) {
    line.assign(map.blockLines[b].text, start, length);
    uint32_t page, version, file, block, blocks;
    if (!decimalField(line, 2, 0xFFFFFFFFu, page) || !decimalField(line, 3, 0xFFFFFFFFu, version) ||
        !decimalField(line, 4, 0xFFFE, file) || !decimalField(line, 5, 0xFFFFFFFFu, block) ||
        !decimalField(line, 6, 0xFFFFFFFFu, blocks))
      continue;
    if (page >= kLobPages) continue;
    LobPage& e = map.pages[page];
    if (e.file == 0xFFFF || version > e.version) {
      e.file = static_cast<uint16_t>(file);
      e.block = block;
      e.blocks = blocks;
      e.version = version;
      if (page + 1 > map.pageCount) map.pageCount = page + 1;
    }
  }
}

void readLobIndexMap(LobHashMap& map, const char* lobIdText) {
  map.fullBlocks = 0xFFFFFFFFu;
  map.lastLength = 0;
  if (lobIdText == nullptr || strnlen(lobIdText, kLobIdTextSize) < kLobIdTextSize) return;
  const uint32_t b = getLobBucket(lobIdText);
  const auto* found = lobLines(map.indexBuckets[b], map.indexLines[b], lobIdText);
  if (found == nullptr) return;
  std::string line;
  for (const auto& [start, length] : *found) {
    line.assign(map.indexLines[b].text, start, length);
    uint32_t full, last;
    if (!decimalField(line, 2, 0xFFFFFFFFu, full) || !decimalField(line, 3, 0xFFFFFFFFu, last))
      continue;
    map.fullBlocks = full;
    map.lastLength = last;
    return;
  }
}
