#include "scan/extent_scan.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "format/block_layout.h"
#include "datafile/block_reader.h"
#include "datafile/data_file_set.h"
#include "datafile/file_walk.h"
#include "datafile/output_file.h"

namespace {

bool copyStream(FILE* from, FILE* to) {
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, from)) > 0)
    if (fwrite(buf, 1, n, to) != n) return false;
  return ferror(from) == 0;
}

// Decimal digits only, at most kExtentFieldDigits of them, not above max.
bool extentField(const FieldScanner& c, int n, uint64_t max, uint64_t* value) {
  if (n <= 0 || n > kExtentFieldDigits) return false;
  uint64_t v = 0;
  for (int i = 0; i < n; i++) {
    const char ch = c.text[c.start + i];
    if (ch < '0' || ch > '9') return false;
    v = v * 10 + static_cast<uint64_t>(ch - '0');
    if (v > max) return false;  // also keeps 20 digits from wrapping
  }
  *value = v;
  return true;
}

}  // namespace

bool scanSegmentHeader(FILE* out, SessionContext& ctx, uint32_t objd, uint16_t file,
                       uint32_t block) {
  (void)out;
  if (!fileWalkReady(ctx)) return false;
  if (block == 0 || (file == 0 && !ctx.bigfile)) {
    uint32_t found = 0;
    return findSegmentHeader(ctx, objd, file, found) >= 0;
  }
  for (int p = 0; p < ctx.fileSet->count; p++) {
    FileWalk r;
    if (!fileWalkEligible(ctx, p, file) || !startFileWalk(ctx, p, r)) continue;
    // The block the caller names is the answer either way.
    return readFileWalkBlock(ctx, r, block) && matchBlockTail(ctx) == 0 &&
           isSegmentHeaderType(getBlockType(ctx)) && getDataObjectID(ctx) == objd;
  }
  return false;
}

int findSegmentHeader(SessionContext& ctx, uint32_t objd, uint16_t file, uint32_t& block) {
  if (!fileWalkReady(ctx)) return -1;
  for (int p = 0; p < ctx.fileSet->count; p++) {
    FileWalk r;
    if (!fileWalkEligible(ctx, p, file) || !startFileWalk(ctx, p, r)) continue;
    for (uint64_t b = 2; b <= r.last; b++) {
      if (!readFileWalkBlock(ctx, r, static_cast<uint32_t>(b))) continue;
      // Skip-listed, corrupt-listed and (with BLOCK_CHECK) bad blocks are
      // not trusted as the header.
      if (blockVerdict(ctx) != kBlockUsable) continue;
      if (isSegmentHeaderType(getBlockType(ctx)) && getDataObjectID(ctx) == objd) {
        block = static_cast<uint32_t>(b);
        return p;
      }
    }
  }
  return -1;
}

bool scanSegmentHeader(SessionContext& ctx, uint32_t objd, uint16_t file) {
  return scanSegmentHeader(nullptr, ctx, objd, file, 0);
}

void listExtentByFile(FILE* out, SessionContext& ctx, int p) {
  FileWalk r;
  if (!startFileWalk(ctx, p, r)) return;
  // The open run: first block (0 for none), object and length. A run of
  // object 0 names no object and is never written.
  uint32_t start = 0, prev = 0, length = 0;
  auto writeRun = [&]() {
    if (start != 0 && prev != 0 && length != 0)
      fprintf(out, "%u,%u,%u,%u\r\n", prev, r.rfn, start, length);
  };
  for (uint64_t b = 2; b <= r.last; b++) {
    const uint32_t block = static_cast<uint32_t>(b);
    if (readFileWalkBlock(ctx, r, block) && getBlockType(ctx) == kBlockTypeData) {
      const uint32_t id = getDataObjectID(ctx);
      if (length != 0 && id == prev) {
        length++;
        continue;
      }
      writeRun();
      start = block;
      prev = id;
      length = 1;
    } else {
      writeRun();
      start = prev = length = 0;
    }
  }
  writeRun();
}

void listExtentMap(FILE* out, SessionContext& ctx) {
  if (!fileWalkReady(ctx)) return;
  for (int p = 0; p < ctx.fileSet->count; p++) listExtentByFile(out, ctx, p);
}

void extentPiecePath(int worker, char* path, size_t size) {
  snprintf(path, size, "ZUTDICT/ZUTEXT.%02d.TXT", worker);
}

WorkerSession::~WorkerSession() {
  freeReadAheadCache(cache);
  if (ctx != nullptr) free(ctx->blockBuffer);
}

bool startWorkerSession(const SessionContext& from, WorkerSession& w) {
  w.ctx = std::make_unique<SessionContext>();
  if (copyBlock(from, *w.ctx) != 0) return false;
  resizeReadAheadCache(w.cache, kExtentWorkerCacheSize);
  w.ctx->dataCache = &w.cache;
  return true;
}

void runScanWorkers(const SessionContext& ctx, int (*work)(const ExtentWorker&),
                    bool done[kExtentWorkers]) {
  // Children end with _exit and never flush what the parent had buffered.
  fflush(nullptr);
  pid_t pids[kExtentWorkers];
  for (int k = 0; k < kExtentWorkers; k++) {
    const ExtentWorker w{&ctx, k};
    done[k] = false;
    pids[k] = fork();
    if (pids[k] == 0) _exit(work(w));
    // Without a process to spare, the share is scanned here.
    if (pids[k] < 0) done[k] = work(w) == 0;
  }
  for (int k = 0; k < kExtentWorkers; k++) {
    if (pids[k] <= 0) continue;
    int status = 0;
    pid_t got;
    do {
      got = waitpid(pids[k], &status, 0);
    } while (got < 0 && errno == EINTR);
    done[k] = got == pids[k] && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
}

bool appendPieceFile(const char* path, FILE* out) {
  FILE* piece = fopen(path, "rb");
  if (piece == nullptr) return false;
  const bool ok = copyStream(piece, out);
  fclose(piece);
  return ok;
}

int listExtentMapSerial(const ExtentWorker& w) {
  if (w.ctx == nullptr) return 1;
  WorkerSession session;
  if (!startWorkerSession(*w.ctx, session)) return 1;
  SessionContext& local = *session.ctx;
  char path[64];
  extentPiecePath(w.worker, path, sizeof path);
  FILE* f = createOutputFile(*w.ctx, path, "wb");
  if (f == nullptr) return 1;
  if (fileWalkReady(local))
    for (int p = 0; p < local.fileSet->count; p++)
      if (p % kExtentWorkers == w.worker) listExtentByFile(f, local, p);
  return fclose(f) == 0 ? 0 : 1;
}

int listExtentMapParallel(SessionContext& ctx) {
  char path[64];
  // A piece left by an earlier run must never be merged into this one.
  for (int k = 0; k < kExtentWorkers; k++) {
    extentPiecePath(k, path, sizeof path);
    unlink(path);
  }
  bool done[kExtentWorkers];
  runScanWorkers(ctx, listExtentMapSerial, done);
  OutputRefusal why = kOutputCreated;
  FILE* out = createOutputFile(ctx, kExtentMapPath, "wb+", &why);
  if (why == kOutputIsInput) return kExtentWorkers;
  if (out == nullptr) {
    printf("Cannot create %s: %s\n", kExtentMapPath, strerror(errno));
    out = stdout;
  }
  int failed = 0;
  bool written = true;
  for (int k = 0; k < kExtentWorkers; k++) {
    if (!done[k]) {
      failed++;
      printf("  Extent scan worker %d failed; its part of the extent map may be missing.\n", k);
    }
    extentPiecePath(k, path, sizeof path);
    if (!appendPieceFile(path, out) && done[k]) written = false;
  }
  if (out == stdout) {
    fflush(stdout);
  } else if (fclose(out) != 0 || !written) {
    printf("  Write error on %s: %s\n", kExtentMapPath, strerror(errno));
    failed++;
  }
  return failed;
}

int parseORAEXTENT(OraExtent& extent, FieldScanner& cursor) {
  int32_t len = cursor.length;
  if (cursor.text == nullptr || len < kExtentLineMin || len > kExtentLineMax) return 1;
  while (len > 0 && (cursor.text[len - 1] == '\n' || cursor.text[len - 1] == '\r')) len--;
  cursor.length = len;
  cursor.start = cursor.end = 0;
  static constexpr uint64_t kMax[4] = {0xFFFFFFFFu, 0xFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
  uint64_t v[4] = {};
  for (int i = 0; i < 4; i++)
    if (!extentField(cursor, scanNextField(cursor), kMax[i], &v[i])) return 1;
  extent.objd = static_cast<uint32_t>(v[0]);
  extent.file = static_cast<uint16_t>(v[1]);
  extent.block = static_cast<uint32_t>(v[2]);
  extent.blocks = static_cast<uint32_t>(v[3]);
  return 0;
}

bool readORAEXTENT(FILE* f, OraExtent& extent) {
  char line[kExtentListLineSize];
  size_t length = 0;
  while (readDictLine(f, line, sizeof line, &length)) {
    if (line[0] == 0 || line[0] == '\n' || line[0] == '\r') continue;
    FieldScanner cursor;
    cursor.text = line;
    cursor.length = static_cast<int32_t>(length < sizeof line ? length : sizeof line - 1);
    if (parseORAEXTENT(extent, cursor) == 0) return true;
  }
  return false;
}
