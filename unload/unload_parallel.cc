#include "unload/unload_parallel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "datafile/block_tally.h"
#include "datafile/data_file_set.h"
#include "datafile/file_walk.h"
#include "datafile/output_file.h"
#include "lob/lob_value.h"
#include "rows/text_output.h"
#include "scan/extent_scan.h"
#include "unload/unload_drivers.h"

namespace {

constexpr size_t kPieceBufferSize = 256 * 1024;
constexpr const char kUnknownTypeLine[] = "Warnings : UNKNOWN column type ";

// What a worker counted, sent to the parent through a pipe.
struct WorkerResult {
  int writeError = 0;  // errno of a failed write of its share, 0 if none
  uint64_t rows = 0;
  uint64_t named = 0;
  uint64_t unreadable[kUnreadableCauses] = {};
  uint32_t exampleFile[kUnreadableCauses][kUnreadableExamples] = {};
  uint32_t exampleBlock[kUnreadableCauses][kUnreadableExamples] = {};
  uint64_t nationalUnmapped = 0;
  uint64_t taggedValues = 0;
  uint32_t longest[kMaxColumns] = {};
  uint64_t lobFilesNotCreated = 0;
  uint64_t lobFilesNotWritten = 0;
  uint64_t clobReplaced = 0;
  uint64_t nclobReplaced = 0;
};

std::string piecePath(const char* outputPath, int k) {
  return std::string(outputPath) + ".part" + std::to_string(k);
}

bool writeAll(int fd, const void* data, size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t w = write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

bool readAll(int fd, void* data, size_t n) {
  char* p = static_cast<char*>(data);
  while (n > 0) {
    const ssize_t r = read(fd, p, n);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

bool pwriteAll(int fd, const char* data, size_t n, uint64_t at) {
  while (n > 0) {
    const ssize_t w = pwrite(fd, data, n, static_cast<off_t>(at));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    data += w;
    at += static_cast<uint64_t>(w);
    n -= static_cast<size_t>(w);
  }
  return true;
}

// The worker: its share of the walk into out (the output itself for the
// first worker, else its piece; the parent made both and flushed the
// output), its messages into its own file, its counts through the pipe.
// Never returns.
[[noreturn]] void runWorker(SessionContext& ctx, FILE* out, bool intoOutput, const std::string& piece,
                            const BlockShare& share, int resultFd, const char* listName,
                            const UnloadSegment& s, int deleted, int committed, uint16_t scanFile,
                            uint32_t scanBlock) {
  WorkerResult* r = new WorkerResult;
  // The message file goes through the output check: never over an input.
  FILE* messages = createOutputFile(ctx, (piece + ".out").c_str(), "w");
  if (messages == nullptr || dup2(fileno(messages), STDOUT_FILENO) < 0) _exit(3);
  fclose(messages);
  // A piece is fresh; the output keeps the buffer it was written with.
  std::vector<char> buffer;
  if (!intoOutput) {
    buffer.resize(kPieceBufferSize);
    setvbuf(out, buffer.data(), _IOFBF, buffer.size());
  }

  BlockShare mine = share;
  BlockTally tally;
  ctx.blockShare = &mine;
  ctx.blockTally = &tally;
  const uint64_t rowsBefore = ctx.rowsUnloaded;
  const uint64_t unmappedBefore = ctx.nationalUnmapped ? *ctx.nationalUnmapped : 0;
  if (TextOutput* t = ctx.textOutput) {
    t->taggedValues = 0;
    memset(t->longest, 0, sizeof t->longest);
  }
  LobReader* lobs = ctx.lobReader;
  if (lobs != nullptr) {
    lobs->filesNotCreated = lobs->filesNotWritten = 0;
    lobs->clob.replaced = lobs->nclob.replaced = 0;
  }

  unloadSegment(out, ctx, listName, s, deleted, committed, scanFile, scanBlock);

  errno = 0;
  if (fflush(out) != 0 || ferror(out)) r->writeError = errno != 0 ? errno : EIO;
  fflush(stdout);
  r->rows = ctx.rowsUnloaded - rowsBefore;
  r->named = tally.named;
  memcpy(r->unreadable, tally.unreadable, sizeof r->unreadable);
  memcpy(r->exampleFile, tally.exampleFile, sizeof r->exampleFile);
  memcpy(r->exampleBlock, tally.exampleBlock, sizeof r->exampleBlock);
  if (ctx.nationalUnmapped) r->nationalUnmapped = *ctx.nationalUnmapped - unmappedBefore;
  if (const TextOutput* t = ctx.textOutput) {
    r->taggedValues = t->taggedValues;
    memcpy(r->longest, t->longest, sizeof r->longest);
  }
  if (lobs != nullptr) {
    r->lobFilesNotCreated = lobs->filesNotCreated;
    r->lobFilesNotWritten = lobs->filesNotWritten;
    r->clobReplaced = lobs->clob.replaced;
    r->nclobReplaced = lobs->nclob.replaced;
  }
  _exit(writeAll(resultFd, r, sizeof *r) ? 0 : 4);
}

// Copies bytes [from, from + n) of the piece into the output at offset at;
// false when that fails.
bool copyPieceBytes(int piece, int output, uint64_t from, uint64_t n, uint64_t at) {
  off_t in = static_cast<off_t>(from);
  off_t to = static_cast<off_t>(at);
  while (n > 0) {
    const ssize_t c = copy_file_range(piece, &in, output, &to, n, 0);
    if (c > 0) {
      n -= static_cast<uint64_t>(c);
      continue;
    }
    if (c < 0 && errno == EINTR) continue;
    if (c == 0) return false;  // the piece is shorter than it was
    // Not possible between these files: copy through a buffer.
    std::vector<char> buf(1 << 20);
    while (n > 0) {
      const ssize_t r = pread(piece, buf.data(), std::min<uint64_t>(n, buf.size()), in);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0 || !pwriteAll(output, buf.data(), static_cast<size_t>(r), static_cast<uint64_t>(to)))
        return false;
      in += r;
      to += r;
      n -= static_cast<uint64_t>(r);
    }
  }
  return true;
}


// The worker's messages, in order; unknown-type warnings only while their
// column is below its limit, as one process would have printed them.
void replayMessages(SessionContext& ctx, const std::string& path) {
  FILE* f = fopen(path.c_str(), "r");
  if (f == nullptr) return;
  char* line = nullptr;
  size_t size = 0;
  ssize_t n;
  const size_t prefix = sizeof kUnknownTypeLine - 1;
  while ((n = getline(&line, &size, f)) > 0) {
    if (static_cast<size_t>(n) > prefix && strncmp(line, kUnknownTypeLine, prefix) == 0) {
      const long column = strtol(line + prefix, nullptr, 10) - 1;
      if (column >= 0 && column < kMaxColumns) {
        if (ctx.unknownTypeWarnings[column] >= kUnknownTypeWarnings) continue;
        ctx.unknownTypeWarnings[column]++;
      }
    }
    fwrite(line, 1, static_cast<size_t>(n), stdout);
  }
  free(line);
  fclose(f);
}

void addTally(BlockTally& to, const WorkerResult& r) {
  to.named += r.named;
  for (int c = 0; c < kUnreadableCauses; c++) {
    uint64_t have = std::min<uint64_t>(to.unreadable[c], kUnreadableExamples);
    const uint64_t theirs = std::min<uint64_t>(r.unreadable[c], kUnreadableExamples);
    for (uint64_t j = 0; j < theirs && have < kUnreadableExamples; j++, have++) {
      to.exampleFile[c][have] = r.exampleFile[c][j];
      to.exampleBlock[c][have] = r.exampleBlock[c][j];
    }
    to.unreadable[c] += r.unreadable[c];
  }
}

void addResult(SessionContext& ctx, const WorkerResult& r) {
  ctx.rowsUnloaded += r.rows;
  if (ctx.blockTally != nullptr) addTally(*ctx.blockTally, r);
  if (ctx.nationalUnmapped != nullptr) *ctx.nationalUnmapped += r.nationalUnmapped;
  if (TextOutput* t = ctx.textOutput) {
    t->taggedValues += r.taggedValues;
    for (int c = 0; c < kMaxColumns; c++) t->longest[c] = std::max(t->longest[c], r.longest[c]);
  }
  if (LobReader* lobs = ctx.lobReader) {
    lobs->filesNotCreated += r.lobFilesNotCreated;
    lobs->filesNotWritten += r.lobFilesNotWritten;
    lobs->clob.replaced += r.clobReplaced;
    lobs->nclob.replaced += r.nclobReplaced;
  }
}

}  // namespace

bool followPiece(int piece, int result, int output, uint64_t at, uint64_t& length) {
  length = 0;
  for (;;) {
    pollfd wait = {result, POLLIN, 0};
    const bool finished = poll(&wait, 1, 2) > 0;
    struct stat st;
    if (fstat(piece, &st) != 0) return false;
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    if (size > length) {
      if (!copyPieceBytes(piece, output, length, size - length, at + length)) return false;
      // What is copied is freed now, while the worker still runs, rather
      // than all at once when the piece goes (where the file system can).
      fallocate(piece, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(length),
                static_cast<off_t>(size - length));
      length = size;
    } else if (finished) {
      return true;
    }
  }
}

int onlineCores() {
  const long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n < 1 ? 1 : n > 64 ? 64 : static_cast<int>(n);
}

bool unloadSegmentParallel(FILE* out, const char* outputPath, SessionContext& ctx, int workers,
                           const char* listName, const UnloadSegment& s, int deleted,
                           int committed, uint16_t scanFile, uint32_t scanBlock) {
  // The segment header, when the walk needs it and its address is not
  // known, is searched for once here rather than by the count pass and each
  // worker again. Its address is handed on only where the known-address
  // read finds the same file (the first one open with that number).
  UnloadSegment seg = s;
  if ((s.block == 0 || (s.file == 0 && !ctx.bigfile)) && !extentListHasObject(listName, s.objd)) {
    uint32_t block = 0;
    const int at = findSegmentHeader(ctx, s.objd, s.file, block);
    if (at < 0) {
      seg.noHeader = true;
    } else {
      const uint16_t rfn = ctx.fileSet->entries[at].rfn;
      int first = 0;
      while (first < at && !fileWalkEligible(ctx, first, rfn)) first++;
      if (first == at) {
        seg.file = rfn;
        seg.block = block;
      }
    }
  }

  // Count the blocks the walk reads, reading none of them.
  BlockShare count;
  count.end = 0;
  BlockTally scratch;
  BlockTally* const tally = ctx.blockTally;
  FILE* null = fopen("/dev/null", "w");
  if (null == nullptr) return false;
  ctx.blockShare = &count;
  ctx.blockTally = &scratch;
  unloadSegment(null, ctx, listName, seg, deleted, committed, scanFile, scanBlock);
  fclose(null);
  ctx.blockShare = nullptr;
  ctx.blockTally = tally;
  const uint64_t blocks = count.next;

  fflush(stdout);
  // The first worker writes at the output's end; should the unload fail,
  // the output is cut back to here.
  const bool flushed = fflush(out) == 0;
  const off_t start = lseek(fileno(out), 0, SEEK_END);
  if (!flushed || start < 0) {
    printf("  Write error on %s: %s\n", outputPath, strerror(errno != 0 ? errno : EIO));
    return false;
  }
  // Later shares are larger (weights 1, 1.25, 1.5, ...): a worker that
  // ends before the next one leaves its core to the parent, which copies
  // the next piece into place while that worker still writes it.
  std::vector<uint64_t> bounds(static_cast<size_t>(workers) + 1, 0);
  {
    const uint64_t total = 4 * static_cast<uint64_t>(workers) +
                           static_cast<uint64_t>(workers) * (workers - 1) / 2;
    uint64_t weight = 0;
    for (int k = 0; k < workers; k++) {
      weight += 4 + static_cast<uint64_t>(k);
      bounds[static_cast<size_t>(k) + 1] = blocks * weight / total;
    }
  }
  // The pieces are made here, before any worker starts: a worker writes
  // its own, the parent reads it through the same file.
  std::vector<FILE*> pieces(static_cast<size_t>(workers), nullptr);
  std::vector<pid_t> pids(static_cast<size_t>(workers), -1);
  std::vector<int> results(static_cast<size_t>(workers), -1);
  bool ok = true;
  for (int k = 1; k < workers && ok; k++) {
    const std::string piece = piecePath(outputPath, k);
    pieces[static_cast<size_t>(k)] = createOutputFile(ctx, piece.c_str(), "wb+");
    if (pieces[static_cast<size_t>(k)] == nullptr) {
      printf("  Cannot create %s: %s\n", piece.c_str(), strerror(errno != 0 ? errno : EEXIST));
      ok = false;
    }
  }
  for (int k = 0; k < workers && ok; k++) {
    const size_t i = static_cast<size_t>(k);
    BlockShare share;
    share.begin = bounds[i];
    share.end = bounds[i + 1];
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
      ok = false;
      break;
    }
    const pid_t pid = fork();
    if (pid == 0) {
      close(pipeFds[0]);
      runWorker(ctx, k == 0 ? out : pieces[i], k == 0, piecePath(outputPath, k), share, pipeFds[1],
                listName, seg, deleted, committed, scanFile, scanBlock);
    }
    close(pipeFds[1]);
    if (pid < 0) {
      close(pipeFds[0]);
      ok = false;
      break;
    }
    pids[i] = pid;
    results[i] = pipeFds[0];
  }
  // Every worker has its piece open: the names can go now, so that no piece
  // is left behind whatever becomes of this process.
  for (int k = 1; k < workers; k++) {
    const std::string piece = piecePath(outputPath, k);
    if (pieces[static_cast<size_t>(k)] != nullptr && !isSessionInput(ctx, piece.c_str()))
      unlink(piece.c_str());
  }

  // In order: the first worker's share ends where the output ends once it
  // is done; each later piece is copied in after the one before it while its
  // worker goes on, then its counts come and its worker is waited for.
  // After a failure the workers are only waited for.
  std::vector<WorkerResult> got(static_cast<size_t>(workers));
  uint64_t end = static_cast<uint64_t>(start);
  for (int k = 0; k < workers; k++) {
    const size_t i = static_cast<size_t>(k);
    if (results[i] >= 0) {
      uint64_t length = 0;
      if (k > 0 && ok && !followPiece(fileno(pieces[i]), results[i], fileno(out), end, length)) {
        printf("  Write error on %s: %s\n", outputPath, strerror(errno != 0 ? errno : EIO));
        ok = false;
      }
      if (!readAll(results[i], &got[i], sizeof got[i])) ok = false;
      close(results[i]);
      if (k == 0) {
        struct stat st;
        if (fstat(fileno(out), &st) == 0) length = static_cast<uint64_t>(st.st_size) - end;
        else ok = false;
      }
      end += length;
    }
    if (pids[i] > 0) {
      int status = 0;
      while (waitpid(pids[i], &status, 0) < 0 && errno == EINTR) {
      }
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ok = false;
    }
    if (got[i].writeError != 0 && ok) {
      printf("  Write error on %s: %s\n", k == 0 ? outputPath : piecePath(outputPath, k).c_str(),
             strerror(got[i].writeError));
      ok = false;
    }
  }
  if (!ok) fputs("  A worker of the parallel unload failed; its rows are not in the output.\n", stdout);

  for (int k = 0; k < workers; k++) {
    const std::string piece = piecePath(outputPath, k);
    if (ok) {
      replayMessages(ctx, piece + ".out");
      addResult(ctx, got[static_cast<size_t>(k)]);
    }
    if (pieces[static_cast<size_t>(k)] != nullptr) fclose(pieces[static_cast<size_t>(k)]);
    // Only what a worker made is removed, never an input of the session.
    for (const std::string& made : {piece, piece + ".out"})
      if (!isSessionInput(ctx, made.c_str())) unlink(made.c_str());
  }
  if (!ok && ftruncate(fileno(out), start) != 0)
    printf("  Cannot cut %s back to its size before the segment: %s\n", outputPath, strerror(errno));
  fseeko(out, ok ? static_cast<off_t>(end) : start, SEEK_SET);
  return ok;
}
