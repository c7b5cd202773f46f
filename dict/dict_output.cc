#include "dict/dict_output.h"


#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/progress.h"
#include "datafile/output_file.h"

DictFileReplacement::DictFileReplacement(const char* path) {
  snprintf(path_, sizeof path_, "%s", path);
  snprintf(temp_, sizeof temp_, "%s.new", path);
}

DictFileReplacement::~DictFileReplacement() { discard(); }

bool DictFileReplacement::open(const SessionContext& ctx, char* buffer, size_t size) {
  openError_ = 0;
  if (isSessionInput(ctx, path_)) {
    printf("  %s is an input file of this session; nothing written.\n", path_);
    return false;
  }
  struct stat st;
  if (stat(path_, &st) == 0 && S_ISDIR(st.st_mode)) {
    openError_ = EISDIR;
    return false;
  }
  // Created exclusively, so that a stale temporary file (or a link left in
  // its place) is removed rather than written through.
  OutputRefusal why = kOutputCreated;
  file_ = createOutputFile(ctx, temp_, "wbx", &why);
  if (file_ == nullptr && why == kOutputNotCreated && errno == EEXIST && unlink(temp_) == 0)
    file_ = createOutputFile(ctx, temp_, "wbx", &why);
  if (file_ == nullptr) {
    openError_ = why == kOutputNotCreated ? errno : 0;
    return false;
  }
  pending_ = true;
  if (buffer != nullptr) {
    memset(buffer, 0, size);
    setvbuf(file_, buffer, _IOFBF, size);
  }
  return true;
}

bool DictFileReplacement::fail(int error) {
  printf("  Write error on %s: %s\n", path_, strerror(error != 0 ? error : EIO));
  discard();
  return false;
}

bool DictFileReplacement::flush() {
  if (file_ == nullptr) return pending_;
  errno = 0;
  // A write that failed earlier leaves the error indicator set; fflush then
  // tries the buffered rest again and tells why.
  if (fflush(file_) != 0 || ferror(file_)) return fail(errno);
  return true;
}

bool DictFileReplacement::close() {
  if (!flush()) return false;
  if (file_ == nullptr) return pending_;
  FILE* f = file_;
  file_ = nullptr;
  errno = 0;
  if (fclose(f) != 0) return fail(errno);
  return true;
}

bool DictFileReplacement::commit() {
  // A build cancelled with Ctrl-C read only part of its table.
  if (cancelRequested()) {
    discard();
    return false;
  }
  if (!close()) return false;
  if (rename(temp_, path_) != 0) return fail(errno);
  pending_ = false;
  return true;
}

void DictFileReplacement::discard() {
  if (file_ != nullptr) fclose(file_);
  file_ = nullptr;
  if (pending_) unlink(temp_);
  pending_ = false;
}
