#include "scan/lob_scan.h"

#include <unistd.h>

#include "datafile/data_file_set.h"
#include "datafile/output_file.h"
#include "lob/lob_map.h"

namespace {

// Both map files of the parent or of one worker; both or neither are open.
struct LobMapFiles {
  FILE* blocks = nullptr;
  FILE* index = nullptr;
  bool open(const SessionContext& ctx, const char* blockPath, const char* indexPath,
            const char* mode) {
    blocks = createOutputFile(ctx, blockPath, mode);
    index = createOutputFile(ctx, indexPath, mode);
    return blocks != nullptr && index != nullptr;
  }
  // False when a file could not be written out.
  bool close() {
    bool ok = true;
    if (blocks != nullptr) ok = fclose(blocks) == 0 && ok;
    if (index != nullptr) ok = fclose(index) == 0 && ok;
    blocks = index = nullptr;
    return ok;
  }
};

}  // namespace

void lobBlockPiecePath(int worker, char* path, size_t size) {
  snprintf(path, size, "ZUTDICT/ZUTLOB.%02d.TXT", worker);
}

void lobIndexPiecePath(int worker, char* path, size_t size) {
  snprintf(path, size, "ZUTDICT/LOBIDX.%02d.TXT", worker);
}

void listLobBlockByFile(FILE* blockMap, FILE* indexMap, SessionContext& ctx, int p) {
  FileWalk walk;
  if (!startFileWalk(ctx, p, walk)) return;
  LobRun run;
  for (uint64_t b = 2; b <= walk.last; b++) {
    const uint32_t block = static_cast<uint32_t>(b);
    const bool readable = readFileWalkBlock(ctx, walk, block);
    addLobMapBlock(blockMap, indexMap, run, ctx, walk.rfn, block, readable);
  }
  closeLobRun(blockMap, run);
}

void listLobBlockMap(SessionContext& ctx) {
  LobMapFiles files;
  if (files.open(ctx, kLobBlockMapPath, kLobIndexMapPath, "wb+") && ctx.fileSet != nullptr)
    for (int p = 0; p < ctx.fileSet->count; p++) listLobBlockByFile(files.blocks, files.index, ctx, p);
  files.close();
  hashLobBlockMap();
  hashLobIndexMap();
}

int listLobBlockMapSerial(const ExtentWorker& w) {
  if (w.ctx == nullptr) return 1;
  WorkerSession session;
  if (!startWorkerSession(*w.ctx, session)) return 1;
  SessionContext& local = *session.ctx;
  char blockPath[64], indexPath[64];
  lobBlockPiecePath(w.worker, blockPath, sizeof blockPath);
  lobIndexPiecePath(w.worker, indexPath, sizeof indexPath);
  LobMapFiles files;
  if (!files.open(local, blockPath, indexPath, "wb")) {
    files.close();
    return 1;
  }
  if (local.fileSet != nullptr)
    for (int p = 0; p < local.fileSet->count; p++)
      if (p % kExtentWorkers == w.worker) listLobBlockByFile(files.blocks, files.index, local, p);
  return files.close() ? 0 : 1;
}

int listLobBlockMapParallel(SessionContext& ctx) {
  char blockPath[64], indexPath[64];
  // Pieces of an earlier run must never be merged into this one.
  for (int k = 0; k < kExtentWorkers; k++) {
    lobBlockPiecePath(k, blockPath, sizeof blockPath);
    lobIndexPiecePath(k, indexPath, sizeof indexPath);
    unlink(blockPath);
    unlink(indexPath);
  }
  bool done[kExtentWorkers];
  runScanWorkers(ctx, listLobBlockMapSerial, done);
  int failed = 0;
  LobMapFiles files;
  const bool merge = files.open(ctx, kLobBlockMapPath, kLobIndexMapPath, "wb+");
  for (int k = 0; k < kExtentWorkers; k++) {
    // Whatever a failed worker left is still merged.
    if (!done[k]) {
      failed++;
      printf("  LOB scan worker %d failed; its part of the LOB maps may be missing.\n", k);
    }
    if (!merge) continue;
    lobBlockPiecePath(k, blockPath, sizeof blockPath);
    lobIndexPiecePath(k, indexPath, sizeof indexPath);
    appendPieceFile(blockPath, files.blocks);
    appendPieceFile(indexPath, files.index);
  }
  files.close();
  hashLobBlockMap();
  hashLobIndexMap();
  return failed;
}
