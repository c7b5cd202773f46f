#include "datafile/output_file.h"

#include <sys/stat.h>

#include <cerrno>

#include "asm/asm_disk.h"
#include "datafile/data_file_set.h"

bool isSessionInput(const SessionContext& ctx, const char* path) {
  if (path == nullptr || path[0] == 0 || ctx.fileSet == nullptr) return false;
  struct stat target;
  if (stat(path, &target) != 0) return false;  // a file that does not exist is no input
  if (isDiskGroupMember(ctx.diskGroups, static_cast<uint64_t>(target.st_dev),
                        static_cast<uint64_t>(target.st_ino)))
    return true;
  const DataFileSet& set = *ctx.fileSet;
  if (set.configKnown && static_cast<uint64_t>(target.st_dev) == set.configDevice &&
      static_cast<uint64_t>(target.st_ino) == set.configInode)
    return true;
  for (int p = 0; p < set.count && p < kMaxDataFiles; p++) {
    const DataFileEntry& e = set.entries[p];
    struct stat opened;
    if (e.fd < 0 || fstat(e.fd, &opened) != 0) continue;
    if (opened.st_dev == target.st_dev && opened.st_ino == target.st_ino) return true;
  }
  return false;
}

FILE* createOutputFile(const SessionContext& ctx, const char* path, const char* mode,
                       OutputRefusal* why) {
  if (isSessionInput(ctx, path)) {
    printf("  %s is an input file of this session; nothing written.\n", path);
    if (why != nullptr) *why = kOutputIsInput;
    errno = EEXIST;
    return nullptr;
  }
  FILE* f = fopen(path, mode);
  if (why != nullptr) *why = f != nullptr ? kOutputCreated : kOutputNotCreated;
  return f;
}
