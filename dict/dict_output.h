// Dictionary files rebuilt in place. A rebuild must never leave a good
// dictionary file emptied or cut short: each file is written under a
// temporary name beside it ("<path>.new") and renamed over the old one only
// when it is complete and every write, flush and close succeeded.
#pragma once

#include <cstddef>
#include <cstdio>

#include "core/session_context.h"

class DictFileReplacement {
 public:
  explicit DictFileReplacement(const char* path);
  ~DictFileReplacement();  // removes a temporary file that was not put in place
  DictFileReplacement(const DictFileReplacement&) = delete;
  DictFileReplacement& operator=(const DictFileReplacement&) = delete;

  // Creates the temporary file through createOutputFile, fully buffered
  // through buffer when one is given. False, with the old file untouched,
  // when the dictionary file is one of the session's inputs (after
  // createOutputFile's message), when a directory is in its way, or when the
  // temporary file cannot be created.
  bool open(const SessionContext& ctx, char* buffer = nullptr, size_t size = 0);
  // Why open failed: an errno value, or 0 when a message has said it.
  int openError() const { return openError_; }
  FILE* stream() const { return file_; }
  const char* path() const { return path_; }
  const char* tempPath() const { return temp_; }

  // Pushes what is buffered to the temporary file, so that it can be read
  // while it is still being written. False after "  Write error on <path>:
  // <reason>" when any write so far failed; the temporary file is removed.
  bool flush();
  // Flushes and closes the temporary file; false as flush.
  bool close();
  // Renames the closed temporary file over the dictionary file; false after
  // the write error message when that fails, and (the file discarded) when
  // the command was cancelled.
  bool commit();
  // Removes the temporary file; the dictionary file stays as it was.
  void discard();

 private:
  bool fail(int error);

  char path_[64] = {};
  char temp_[72] = {};
  FILE* file_ = nullptr;
  int openError_ = 0;
  bool pending_ = false;  // a temporary file exists
};
