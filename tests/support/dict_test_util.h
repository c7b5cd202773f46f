// Shared by the dictionary tests: a scratch working directory with a ZUTDICT
// folder, entered for the life of the object, and stream capture.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "tests/support/test_util.h"

class DictWorkDir {
 public:
  DictWorkDir() {
    char buf[4096];
    if (getcwd(buf, sizeof buf) != nullptr) old_ = buf;
    mkdir(dir_.file("ZUTDICT").c_str(), 0777);
    if (chdir(dir_.path().c_str()) != 0) perror("chdir");
  }
  ~DictWorkDir() {
    if (!old_.empty() && chdir(old_.c_str()) != 0) perror("chdir");
  }
  const TempDir& dir() const { return dir_; }
  // Writes ZUTDICT/<name>.
  void write(const std::string& name, const std::string& content) const {
    dir_.write("ZUTDICT/" + name, content);
  }
  std::string read(const std::string& name) const { return dir_.read("ZUTDICT/" + name); }

 private:
  TempDir dir_;
  std::string old_;
};

// Runs fn with a fresh stream and returns what it wrote.
inline std::string captureStream(const std::function<void(FILE*)>& fn) {
  FILE* f = tmpfile();
  if (f == nullptr) return "<no tmpfile>";
  fn(f);
  fflush(f);
  std::string out;
  rewind(f);
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  fclose(f);
  return out;
}
