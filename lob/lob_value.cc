#include "lob/lob_value.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "datafile/block_reader.h"
#include "datafile/block_tally.h"
#include "datafile/output_file.h"
#include "export/dmp_writer.h"
#include "format/block_layout.h"
#include "format/lob_layout.h"

namespace {

constexpr uint32_t kUnknownLength = 0xFFFFFFFFu;  // no index map entry: every block in full
constexpr uint32_t kDmpInlineMax = 4000;          // longer inline values go to the dump as NULL

enum class LobText : uint8_t { kBinary, kClob, kNclob };

// Where the bytes of one value go: the output stream (text), dump value
// items, or a LOB file made when the first byte is due.
struct Sink {
  FILE* stream = nullptr;
  SessionContext* ctx = nullptr;
  LobReader* reader = nullptr;
  TextStream* text = nullptr;  // null: bytes as they are
  bool dump = false;
  bool toFile = false;
  bool fileFailed = false;
  FILE* file = nullptr;
  char path[64] = {};
  uint32_t rowRdba = 0;
  uint32_t offset = 0;  // of the locator in its block, for the file name
};

// The LOB file of a value: LOBDATA/LOBnnnn/LOB_<row block RDBA>_<offset>.dat,
// its directory chosen by the RDBA modulo MAXLOBDIR. Made with its
// directories when missing; a file that still cannot be made is reported
// once per unload and the value is left out.
FILE* lobFile(Sink& s) {
  if (s.file != nullptr || s.fileFailed) return s.file;
  const uint16_t dirs = s.ctx->maxLobDir != 0 ? s.ctx->maxLobDir : 1;
  char dir[32];
  char* path = s.path;
  snprintf(dir, sizeof dir, "LOBDATA/LOB%04u", s.rowRdba % dirs);
  snprintf(path, sizeof s.path, "%s/LOB_%08X_%04X.dat", dir, s.rowRdba, s.offset);
  OutputRefusal why = kOutputCreated;
  s.file = createOutputFile(*s.ctx, path, "wb", &why);
  if (s.file == nullptr && why == kOutputNotCreated) {
    mkdir("LOBDATA", 0777);
    mkdir(dir, 0777);
    s.file = createOutputFile(*s.ctx, path, "wb", &why);
  }
  if (s.file == nullptr) {
    const int error = errno;
    s.fileFailed = true;
    const bool first = s.reader == nullptr || s.reader->filesNotCreated == 0;
    if (s.reader != nullptr) s.reader->filesNotCreated++;
    if (first && why == kOutputNotCreated) printf("  Cannot create %s: %s\n", path, strerror(error));
    return nullptr;
  }
  return s.file;
}

void sinkRaw(Sink& s, const unsigned char* bytes, size_t n) {
  if (n == 0) return;
  if (s.dump) {
    printDmpValue(s.stream, bytes, n);
    return;
  }
  FILE* out = s.toFile ? lobFile(s) : s.stream;
  if (out != nullptr) fwrite_unlocked(bytes, 1, n, out);
}

void sinkBytes(Sink& s, const unsigned char* bytes, size_t n) {
  if (s.text != nullptr) n = convertTextPiece(*s.text, bytes, n, &bytes);
  sinkRaw(s, bytes, n);
}

void sinkFinish(Sink& s) {
  if (s.text == nullptr) return;
  const unsigned char* bytes = nullptr;
  const size_t n = finishTextStream(*s.text, &bytes);
  sinkRaw(s, bytes, n);
}

// Closes the LOB file with its writes checked; its path goes into the output
// only when every byte reached it. No file was made for an empty value.
void closeLobFile(Sink& s) {
  if (s.file == nullptr) return;
  int error = 0;
  if (fflush(s.file) != 0) error = errno;
  if (ferror(s.file) && error == 0) error = errno != 0 ? errno : EIO;
  if (fclose(s.file) != 0 && error == 0) error = errno;
  s.file = nullptr;
  if (error == 0) {
    fputs(s.path, s.stream);
    return;
  }
  if (s.reader == nullptr || s.reader->filesNotWritten++ == 0)
    printf("  Write error on %s: %s\n", s.path, strerror(error));
}

// Reads one LOB block into the reader's buffer. Every block asked for counts
// with the unload's blocks, and one that cannot be read (or that fails its
// checksum under BLOCK_CHECK) with its unreadable ones.
bool readLobBlock(SessionContext& ctx, LobReader& r, uint32_t file, uint32_t block) {
  SessionContext& b = r.blocks;
  if (ctx.blockTally != nullptr) ctx.blockTally->named++;
  // Straight from the LOB window when there is one, else into our buffer.
  const unsigned char* inWindow = peekLOBBlock(b.fileSet, b, file, block);
  b.blockBuffer = inWindow != nullptr ? const_cast<unsigned char*>(inWindow) : r.buffer.data();
  if (inWindow == nullptr && readLOBBlock(b.fileSet, b, file, block) != b.blockSize) {
    const int64_t highest = highestBlock(b, file);
    const uint64_t at = b.bigfile ? (static_cast<uint64_t>(file) << 22) + block : block;
    const UnreadableCause cause = highest < 0                             ? kUnreadableNoFile
                                  : at > static_cast<uint64_t>(highest) ? kUnreadableBeyondEnd
                                                                        : kUnreadableReadFailed;
    tallyUnreadable(ctx, cause, file, block);
    return false;
  }
  const BlockVerdict verdict = blockVerdict(b);
  if (verdict == kBlockChecksum) tallyUnreadable(ctx, kUnreadableChecksum, file, block);
  if (verdict != kBlockUsable) return false;
  // A block that does not carry its own address is not the one asked for.
  if (!b.bigfile && getBlockRDBA(b) != makeRDBA(file, block)) {
    tallyUnreadable(ctx, kUnreadableForeign, file, block);
    return false;
  }
  return true;
}

void outlineMessage(const SessionContext& ctx, const char* name, uint32_t file, uint32_t block) {
  if (ctx.verbose > 2)
    printf("Recover outline %s from RDBA=%u ...\n", name, makeRDBA(file, block));
}

// The blocks of the block map of a LOB, page by page: the running index of
// blocks (unreadable ones and those of another LOB included, and at least
// the page number) below N gives a whole payload, index N the last L bytes,
// and the walk ends there. With no N known every mapped block is written in
// full.
void writeMappedBlocks(Sink& s, SessionContext& ctx, const char* name, const unsigned char* lobId,
                       uint32_t fullBlocks, uint32_t lastLength) {
  LobReader* r = s.reader;
  if (r == nullptr || !r->active) return;
  char idText[kLobIdTextSize + 1];
  formatLobId(lobId, idText);
  readLobBlockMap(r->map, idText);
  const size_t payload = lobMapPayloadSize(r->blocks.blockSize);
  const uint64_t last = fullBlocks == kUnknownLength ? UINT64_MAX : fullBlocks;
  uint64_t index = 0;
  for (uint32_t p = 0; p < r->map.pageCount && p < kLobPages; p++) {
    const LobPage& page = r->map.pages[p];
    if (page.file == 0xFFFF) continue;
    // A page the map lacks (its block was unreadable when the map was made)
    // still takes its place: the blocks after it keep theirs, so that N and
    // L fall on the right block.
    if (index < p) index = p;
    // A damaged map may name more blocks than the file holds: those past
    // its end are counted at once rather than asked for one by one.
    const int64_t highest = highestBlock(r->blocks, page.file);
    uint64_t inFile = 0;
    if (highest >= 0 && page.block <= static_cast<uint64_t>(highest))
      inFile = static_cast<uint64_t>(highest) - page.block + 1;
    if (inFile > page.blocks) inFile = page.blocks;
    for (uint64_t j = 0; j < inFile; j++, index++) {
      if (index > last) return;
      const uint32_t block = page.block + static_cast<uint32_t>(j);
      if (!readLobBlock(ctx, *r, page.file, block)) continue;
      LobBlockInfo info;
      if (!getLobBlockInfo(r->blocks, info) || memcmp(info.lobId, lobId, kLobIdSize) != 0) {
        tallyUnreadable(ctx, kUnreadableForeign, page.file, block);
        continue;
      }
      outlineMessage(ctx, name, page.file, block);
      size_t n = payload;
      if (index == last && lastLength < n) n = lastLength;
      sinkBytes(s, lobMapPayload(r->blocks.blockBuffer), n);
    }
    uint64_t missing = page.blocks - inFile;
    if (missing == 0) continue;
    if (last != UINT64_MAX && missing > last + 1 - index) missing = last + 1 - index;
    if (ctx.blockTally != nullptr) ctx.blockTally->named += missing;
    tallyUnreadable(ctx, highest < 0 ? kUnreadableNoFile : kUnreadableBeyondEnd, page.file,
                    page.block + static_cast<uint32_t>(inFile), missing);
    index += missing;
  }
}

// The blocks of an extent list, entry by entry (at most N + 1 entries, only
// whole ones): each block gives its payload until the total length is
// written; a block that cannot be read leaves its share out.
void writeExtentList(Sink& s, SessionContext& ctx, const char* name, const unsigned char* list,
                     size_t listLength, uint32_t entries, uint32_t total) {
  LobReader* r = s.reader;
  if (r == nullptr || !r->active) return;
  const size_t payload = lobListPayloadSize(r->blocks.blockSize);
  if (payload == 0) return;
  uint64_t due = total;
  size_t pos = 0;
  LobExtentEntry e;
  for (uint64_t i = 0; i <= entries && due > 0 && nextLobExtent(list, listLength, &pos, e); i++) {
    for (uint32_t k = 0; k < e.blocks && due > 0; k++) {
      const uint64_t rdba = static_cast<uint64_t>(e.rdba) + k;
      if (rdba > 0xFFFFFFFFu) return;
      const uint32_t file = rdbaFile(static_cast<uint32_t>(rdba));
      const uint32_t block = rdbaBlock(static_cast<uint32_t>(rdba));
      const size_t n = due < payload ? static_cast<size_t>(due) : payload;
      if (readLobBlock(ctx, *r, file, block)) {
        outlineMessage(ctx, name, file, block);
        sinkBytes(s, lobListPayload(r->blocks.blockBuffer), n);
      }
      due -= n;
    }
  }
}

// The value of a locator that lives in blocks, or inline in text output.
void writeLocatorValue(Sink& s, SessionContext& ctx, const char* name, const LobLocator& loc,
                       const unsigned char* locator, size_t length) {
  switch (loc.form) {
    case LobLocatorForm::kInRow:
      if (loc.kind == kLobKindInline) {
        if (ctx.verbose > 2)
          printf("Recover inline %s from RDBA=%u ...\n", name, s.rowRdba);
        sinkBytes(s, locator + loc.dataOffset, loc.length);
      } else if (loc.kind == kLobKindBlocks) {
        writeMappedBlocks(s, ctx, name, loc.lobId, loc.fullBlocks, loc.length);
      }
      break;
    case LobLocatorForm::kExtentList:
      writeExtentList(s, ctx, name, locator + loc.dataOffset, length - loc.dataOffset,
                      loc.fullBlocks, loc.length);
      break;
    case LobLocatorForm::kMapsOnly: {
      if (s.reader == nullptr || !s.reader->active) break;
      char idText[kLobIdTextSize + 1];
      formatLobId(loc.lobId, idText);
      readLobIndexMap(s.reader->map, idText);
      writeMappedBlocks(s, ctx, name, loc.lobId, s.reader->map.fullBlocks,
                        s.reader->map.lastLength);
      break;
    }
    case LobLocatorForm::kInvalid: break;
  }
}

// A locator whose layout we know and whose kind we can read.
inline bool readable(const LobLocator& loc) {
  return loc.form != LobLocatorForm::kInvalid &&
         (loc.form != LobLocatorForm::kInRow || loc.kind == kLobKindInline ||
          loc.kind == kLobKindBlocks);
}

TextStream* textStream(SessionContext& ctx, LobText kind) {
  LobReader* r = ctx.lobReader;
  if (r == nullptr || kind == LobText::kBinary) return nullptr;
  return kind == LobText::kClob ? &r->clob : &r->nclob;
}

void printLob(FILE* stream, SessionContext& ctx, uint32_t offset, uint32_t length, LobText kind) {
  if (ctx.lobStorage > 1 || length == 0 || ctx.blockBuffer == nullptr) return;
  if (offset > ctx.blockSize || length > ctx.blockSize - offset) return;
  const unsigned char* locator = ctx.blockBuffer + offset;
  const LobLocator loc = parseLobLocator(locator, length);
  const char* name = kind == LobText::kBinary ? "BLOB" : "CLOB";
  if (loc.form == LobLocatorForm::kInvalid) {
    printf("Invalid %s: ", name);
    for (uint32_t i = 0; i < length; i++) printf("%02X", locator[i]);
    fputc('\n', stdout);
    return;
  }
  if (!readable(loc)) return;
  Sink s;
  s.stream = stream;
  s.ctx = &ctx;
  s.reader = ctx.lobReader;
  s.text = textStream(ctx, kind);
  s.toFile = ctx.lobStorage == 1;
  s.rowRdba = getBlockRDBA(ctx);
  s.offset = offset;
  if (s.text != nullptr) beginTextStream(*s.text);
  const bool tags = !s.toFile && ctx.longTagLength > 0;
  if (tags) fprintf(stream, "<%.*s>", ctx.longTagLength, ctx.longTag);
  writeLocatorValue(s, ctx, name, loc, locator, length);
  sinkFinish(s);
  if (tags) fprintf(stream, "</%.*s>", ctx.longTagLength, ctx.longTag);
  closeLobFile(s);
}

}  // namespace

void beginLobUnload(LobReader& reader, SessionContext& ctx) {
  openLobMaps(reader.map);
  reader.blocks = ctx;
  reader.buffer.assign(ctx.blockSize, 0);
  reader.blocks.blockBuffer = reader.buffer.data();
  reader.blocks.lobReader = nullptr;
  reader.blocks.blockTally = nullptr;
  reader.filesNotCreated = 0;
  reader.filesNotWritten = 0;
  setTextStream(reader.clob, kNoConverter, TextSource::kBytes, nullptr);
  setTextStream(reader.nclob, kNoConverter, TextSource::kBytes, nullptr);
  reader.clob.replaced = reader.nclob.replaced = 0;
  reader.active = true;
  ctx.lobReader = &reader;
  ctx.lobMap = &reader.map;
}

void endLobUnload(LobReader& reader, SessionContext& ctx) {
  closeLobMaps(reader.map);
  reader.active = false;
  ctx.lobReader = nullptr;
  ctx.lobMap = nullptr;
}

void printBLOB(FILE* stream, SessionContext& ctx, uint32_t offset, uint32_t length) {
  printLob(stream, ctx, offset, length, LobText::kBinary);
}

void printCLOB(FILE* stream, SessionContext& ctx, uint32_t offset, uint32_t length) {
  printLob(stream, ctx, offset, length, LobText::kClob);
}

void printNCLOB(FILE* stream, SessionContext& ctx, uint32_t offset, uint32_t length) {
  printLob(stream, ctx, offset, length, LobText::kNclob);
}

void dumpLOBValue(FILE* stream, SessionContext& ctx, const unsigned char* locator,
                  uint32_t length, uint8_t type, uint16_t charsetForm) {
  if (ctx.lobStorage > 1) {
    printDmpNull(stream);
    return;
  }
  if (length == 0 || locator == nullptr) return;
  const LobLocator loc = parseLobLocator(locator, length);
  if (loc.form == LobLocatorForm::kInvalid) fputs("Invalid CLOB \n", stdout);
  // The column keeps its item, so that the row keeps its column count.
  if (!readable(loc)) {
    printDmpNull(stream);
    return;
  }
  const LobText kind = type != kColClob ? LobText::kBinary
                       : charsetForm == 2 ? LobText::kNclob
                                          : LobText::kClob;
  Sink s;
  s.stream = stream;
  s.ctx = &ctx;
  s.reader = ctx.lobReader;
  s.text = textStream(ctx, kind);
  s.dump = true;
  s.rowRdba = getBlockRDBA(ctx);
  if (s.text != nullptr) beginTextStream(*s.text);
  if (loc.form == LobLocatorForm::kInRow && loc.kind == kLobKindInline) {
    if (ctx.verbose > 2) printf("Recover BLOB/CLOB from RDBA=%u ...\n", s.rowRdba);
    if (loc.length < 1 || loc.length > kDmpInlineMax) {
      printDmpNull(stream);
      return;
    }
    // One value item: the converted text is gathered first.
    const unsigned char* bytes = locator + loc.dataOffset;
    size_t n = loc.length;
    if (s.text == nullptr) {
      printDmpValue(stream, bytes, n);
      return;
    }
    std::vector<unsigned char>& value = s.reader->value;
    n = convertTextPiece(*s.text, bytes, n, &bytes);
    value.assign(bytes, bytes + n);
    n = finishTextStream(*s.text, &bytes);
    value.insert(value.end(), bytes, bytes + n);
    printDmpValue(stream, value.data(), value.size());
    return;
  }
  printDmpChain(stream);
  writeLocatorValue(s, ctx, type == kColClob ? "CLOB" : "BLOB", loc, locator, length);
  sinkFinish(s);
  printDmpRecord(stream);
}
