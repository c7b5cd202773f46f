// LOB block and LOB index maps: what one pass over every block finds about
// out-of-line LOB values, kept as text files in ZUTDICT and split into 100
// bucket files by a hash of the LOB id, so that the LOB reader finds one LOB
// by reading one small file.
//
//   ZUTLOB.TXT  "objd,LOBID,page,version,rfn,first block,blocks,"  one line
//               per run of consecutive LOB blocks of one LOB page
//   LOBIDX.TXT  "objd,LOBID,full blocks,last block length,"  one line per
//               first LOB index entry of a LOB
//
// LOBID is the 10-byte LOB id as 20 upper-case hexadecimal digits in storage
// order. The buckets are ZUTLOBMAP%02d.TXT and ZUTLOBIDX%02d.TXT (00 to 99).
//
// Blocks are hostile input: every field is read through the bounds-checked
// readers, and an index entry that does not lie inside its block ends the
// look at that block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/session_context.h"
#include "format/lob_layout.h"

constexpr const char* kLobBlockMapPath = "ZUTDICT/ZUTLOB.TXT";
constexpr const char* kLobIndexMapPath = "ZUTDICT/LOBIDX.TXT";
constexpr int kLobBuckets = 100;
constexpr uint32_t kLobPages = 524288;

// The open run of the block map scan of one file: consecutive LOB blocks of
// one object, LOB, page and version.
struct LobRun {
  bool open = false;
  uint16_t rfn = 0;
  LobBlockInfo info;
  uint32_t first = 0;
  uint32_t count = 0;
};

// Writes the open run as one block map line and closes it.
void closeLobRun(FILE* blockMap, LobRun& run);
// One block of the file scan, in block order. readable is false when the
// block did not read in full (it is then passed over and the run stays
// open); otherwise the block is in the session buffer. LOB blocks open or
// extend the run, data and index blocks close it and are examined as LOB
// index leaves, any other block closes it. Returns the index map lines
// written.
int addLobMapBlock(FILE* blockMap, FILE* indexMap, LobRun& run, SessionContext& ctx,
                   uint16_t rfn, uint32_t block, bool readable);
// The index map lines of the block in the session buffer when it is a LOB
// index leaf: one per entry whose offset key is zero and whose data begins
// with 00 20 03 00. Returns the lines written.
int listLobByIndex(FILE* indexMap, SessionContext& ctx);

// ---- bucket files ----

// The bucket (0 to 99) of a LOB id text of at least 20 characters; only
// characters 11 to 20 count.
uint32_t getLobBucket(const char* lobIdText);
void lobBlockBucketPath(int bucket, char* path, size_t size);
void lobIndexBucketPath(int bucket, char* path, size_t size);
// Split ZUTLOB.TXT and LOBIDX.TXT into their 100 buckets; nothing happens
// when the map file is missing or a bucket file cannot be created.
void hashLobBlockMap();
void hashLobIndexMap();

// ---- lookups ----

struct LobPage {
  uint16_t file = 0xFFFF;  // 0xFFFF: empty
  uint32_t block = 0xFFFFFFFFu;
  uint32_t blocks = 0;
  uint32_t version = 0;
};

// What a lookup reads of one bucket: its text and, per LOB id text, where
// its lines are, in file order, up to the first line too short to be a map
// line (where every lookup stops).
struct LobBucketLines {
  bool read = false;
  std::string text;
  std::unordered_map<std::string, std::vector<std::pair<size_t, size_t>>> lines;
};

// The LOB map of one interpreter: the map text, the 200 bucket streams, the
// page table of the last block map lookup and the result of the last index
// map lookup.
struct LobHashMap {
  FILE* text = nullptr;
  FILE* blockBuckets[kLobBuckets] = {};
  FILE* indexBuckets[kLobBuckets] = {};
  // A bucket is read from its stream once, at its first lookup, and looked
  // up in memory afterwards; closing the buckets forgets what was read.
  LobBucketLines blockLines[kLobBuckets];
  LobBucketLines indexLines[kLobBuckets];
  std::unique_ptr<LobPage[]> pages = std::make_unique<LobPage[]>(kLobPages);
  uint32_t pageCount = 0;      // highest page found + 1; 0 when none
  uint32_t fullBlocks = 0xFFFFFFFFu;  // 0xFFFFFFFF (-1): not found
  uint32_t lastLength = 0;
  LobHashMap() = default;
  LobHashMap(const LobHashMap&) = delete;
  LobHashMap& operator=(const LobHashMap&) = delete;
  ~LobHashMap();
};

// Closes any open bucket streams and opens all 200 bucket files for
// reading; a missing file leaves its stream empty.
void openLobHashMap(LobHashMap& map);
void closeLobHashMap(LobHashMap& map);
// Opens ZUTLOB.TXT and, when it exists, the buckets; true when the maps
// exist. closeLobMaps closes both.
bool openLobMaps(LobHashMap& map);
void closeLobMaps(LobHashMap& map);
// Fills the page table for one LOB id (20 hex digits): per page the run of
// the highest version, the first line winning ties.
void readLobBlockMap(LobHashMap& map, const char* lobIdText);
// Fills fullBlocks and lastLength from the first index map line of the LOB
// id; fullBlocks stays 0xFFFFFFFF when there is none.
void readLobIndexMap(LobHashMap& map, const char* lobIdText);
