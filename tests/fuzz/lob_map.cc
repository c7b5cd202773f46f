// LOB maps over damaged blocks and damaged map text. Block 2 of a scratch
// file is a builder-made LOB index leaf changed by the input (the bytes
// after the first 16 are XORed into it); blocks 3 to 5 are LOB blocks and 6
// a data block. The leaf is read as an index leaf and, retyped, as a LOB
// block, and the whole file is scanned; every map line written must be well
// formed. With head bit 0x01 of byte 2 the lines and the raw input serve as
// bucket text for lookups, and the page table must stay within its page
// count; with head byte 2 0xB5 they also go through the bucket files.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "datafile/data_file_set.h"
#include "lob/lob_map.h"
#include "scan/lob_scan.h"
#include "tests/fuzz/common/fuzz_session.h"
#include "tools/builder/lob_builder.h"

namespace {

DamagedBlockFuzz* fuzz = nullptr;
LobHashMap* lobMap = nullptr;
std::string scratch;
std::string home;

void buildFile(mkdb::FileImage& f) {
  using namespace mkdb;
  addLobIndexLeaf(f, 2, 90, {lobIndexEntry(lobIdOf(0), 2, 100), lobIndexEntry(lobIdOf(0), 0, 5, 4096),
                             lobIndexEntry(lobIdOf(9), 1, 7), lobIndexEntry(lobIdOf(20), 0, 0)});
  LobBlockPlan p;
  p.objd = 91;
  p.id = lobIdOf(0);
  p.payload.assign(40, 0x41);
  addLobBlock(f, 3, p);
  addLobBlock(f, 4, p);
  p.page = 1;
  addLobBlock(f, 5, p);
  addDataBlock(f, 6, 92, 2);
}

bool isDigits(const std::string& s, size_t& at) {
  const size_t from = at;
  while (at < s.size() && s[at] >= '0' && s[at] <= '9') at++;
  return at > from && at < s.size() && s[at++] == ',';
}

// "objd,LOBID," then `numbers` decimal fields each ending in ",", then "\n".
bool wellFormedLines(const std::string& s, int numbers) {
  size_t at = 0;
  while (at < s.size()) {
    if (!isDigits(s, at)) return false;
    for (int i = 0; i < 20; i++, at++)
      if (at >= s.size() || !((s[at] >= '0' && s[at] <= '9') || (s[at] >= 'A' && s[at] <= 'F')))
        return false;
    if (at >= s.size() || s[at++] != ',') return false;
    for (int i = 0; i < numbers; i++)
      if (!isDigits(s, at)) return false;
    if (at >= s.size() || s[at++] != '\n') return false;
  }
  return true;
}

template <class Write>
std::string captured(Write write) {
  char* out = nullptr;
  size_t length = 0;
  FILE* f = open_memstream(&out, &length);
  if (f == nullptr) return "";
  write(f);
  fclose(f);
  std::string s(out, length);
  free(out);
  return s;
}

void writeFile(const char* path, const std::string& text) {
  FILE* f = fopen(path, "wb");
  if (f == nullptr) return;
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
}

void checkLookup(const char* id) {
  readLobBlockMap(*lobMap, id);
  if (lobMap->pageCount > kLobPages) __builtin_trap();
  if (lobMap->pageCount > 0 && lobMap->pages[lobMap->pageCount - 1].file == 0xFFFF) __builtin_trap();
  readLobIndexMap(*lobMap, id);
}

// Looks the id up in bucket texts held in memory, in the bucket the id hashes
// to.
void lookUp(const std::string& id, std::string blocks, std::string index) {
  if (id.size() < kLobIdTextSize) return;
  const uint32_t b = getLobBucket(id.c_str());
  closeLobHashMap(*lobMap);
  if (!blocks.empty()) lobMap->blockBuckets[b] = fmemopen(blocks.data(), blocks.size(), "r");
  if (!index.empty()) lobMap->indexBuckets[b] = fmemopen(index.data(), index.size(), "r");
  checkLookup(id.c_str());
  closeLobHashMap(*lobMap);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz = new DamagedBlockFuzz;
  lobMap = new LobHashMap;
  const int rc = initDamagedBlockFuzz(*fuzz, "lob", buildFile);
  char cwd[4096];
  if (rc != 0 || getcwd(cwd, sizeof cwd) == nullptr) return 1;
  home = cwd;
  const std::string file = fuzz->session.ctx.fileSet->entries[0].name;
  scratch = file.substr(0, file.rfind('/'));
  mkdir((scratch + "/ZUTDICT").c_str(), 0777);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SessionContext& ctx = fuzz->session.ctx;
  uint8_t head[kDamagedHeadBytes];
  if (loadDamagedBlock(*fuzz, data, size, head) == 0) return 0;

  const std::string leafLines = captured([&](FILE* f) { listLobByIndex(f, ctx); });
  if (!wellFormedLines(leafLines, 2)) __builtin_trap();
  ctx.blockBuffer[0] = (head[1] & 1) ? 0x28 : 0x1B;
  const std::string runLines = captured([&](FILE* f) {
    LobRun run;
    addLobMapBlock(f, nullptr, run, ctx, 4, 2, true);
    addLobMapBlock(f, nullptr, run, ctx, 4, 3, (head[1] & 2) != 0);
    closeLobRun(f, run);
  });
  if (!wellFormedLines(runLines, 5)) __builtin_trap();

  std::string indexLines;
  const std::string blockLines = captured([&](FILE* bm) {
    indexLines = captured([&](FILE* im) { listLobBlockByFile(bm, im, ctx, 0); });
  });
  if (!wellFormedLines(blockLines, 5) || !wellFormedLines(indexLines, 2)) __builtin_trap();

  if ((head[2] & 1) == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  lookUp(mkdb::lobIdHex(mkdb::lobIdOf(0)), blockLines + text, indexLines + text);
  if (size >= kDamagedHeadBytes + kLobIdTextSize)
    lookUp(text.substr(kDamagedHeadBytes, kLobIdTextSize), text + blockLines, text + indexLines);

  // Splitting into the 100 bucket files of each map costs 200 file
  // creations, so only some inputs take it.
  if (head[2] != 0xB5 || chdir(scratch.c_str()) != 0) return 0;
  writeFile(kLobBlockMapPath, blockLines + text);
  writeFile(kLobIndexMapPath, indexLines + text);
  hashLobBlockMap();
  hashLobIndexMap();
  openLobHashMap(*lobMap);
  checkLookup(mkdb::lobIdHex(mkdb::lobIdOf(0)).c_str());
  closeLobHashMap(*lobMap);
  if (chdir(home.c_str()) != 0) abort();
  return 0;
}
