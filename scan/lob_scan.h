// The LOB block and LOB index maps of all open files (ZUTDICT/ZUTLOB.TXT and
// ZUTDICT/LOBIDX.TXT with their bucket files), written serially or by four
// child processes, each with its own piece files ZUTLOB.%02d.TXT and
// LOBIDX.%02d.TXT. One pass over every block serves both maps.
#pragma once

#include <cstdio>

#include "core/session_context.h"
#include "scan/extent_scan.h"

// Block map and index map lines of the open file at entry position p.
void listLobBlockByFile(FILE* blockMap, FILE* indexMap, SessionContext& ctx, int p);
// Both maps of every open file in file-index order, then both bucket sets.
// When only one of the two map files can be created nothing is scanned, but
// the buckets are still rebuilt from what the map files hold.
void listLobBlockMap(SessionContext& ctx);
// One worker's share into its piece files. Returns 0, or 1 when a piece file
// could not be created.
int listLobBlockMapSerial(const ExtentWorker& w);
// Four workers, their pieces merged in worker order, then both bucket sets.
// Returns the number of workers that failed.
int listLobBlockMapParallel(SessionContext& ctx);
void lobBlockPiecePath(int worker, char* path, size_t size);
void lobIndexPiecePath(int worker, char* path, size_t size);
