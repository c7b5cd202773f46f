// Helpers shared by the test programs.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

// A fresh temporary directory, removed with everything in it on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& content) const;
  std::string read(const std::string& name) const;

 private:
  std::string path_;
};

struct RunResult {
  std::string out;
  int status = -1;  // exit status, or -1 when the process did not exit normally
};

// Runs build/zut in dir with the given standard input; captures stdout.
RunResult runZut(const std::string& dir, const std::string& input);

// runZut with every file the tool writes limited to maxFileBytes: a write
// beyond fails with EFBIG ("File too large"), as on a full disk. Standard
// output is a pipe, so the transcript is not limited.
RunResult runZutWithFileLimit(const std::string& dir, const std::string& input,
                              long maxFileBytes);

// The banner lines the tool starts with, so transcripts can be compared whole.
std::string zutBanner();

// The text with every date line ("2026-12-09 01:33:04") made "<date>", so
// transcripts can be compared whole.
std::string maskDateLines(const std::string& text);

// How many times needle occurs in text (not overlapping).
inline size_t countOf(const std::string& text, const std::string& needle) {
  size_t n = 0;
  for (size_t at = text.find(needle); !needle.empty() && at != std::string::npos;
       at = text.find(needle, at + needle.size()))
    n++;
  return n;
}

// What work writes to a stream, as a string.
inline std::string capture(const std::function<void(FILE*)>& work) {
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  work(out);
  fclose(out);
  std::string r(text, size);
  free(text);
  return r;
}
