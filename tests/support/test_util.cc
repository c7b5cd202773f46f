#include "tests/support/test_util.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

TempDir::TempDir() {
  char tmpl[] = "/tmp/zut-test-XXXXXX";
  char* p = mkdtemp(tmpl);
  path_ = p ? p : "/tmp";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void TempDir::write(const std::string& name, const std::string& content) const {
  std::ofstream f(file(name), std::ios::binary);
  f << content;
}

std::string TempDir::read(const std::string& name) const {
  std::ifstream f(file(name), std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

RunResult runZut(const std::string& dir, const std::string& input) {
  RunResult r;
  std::string inFile = dir + "/.stdin";
  std::string outFile = dir + "/.stdout";
  {
    std::ofstream f(inFile, std::ios::binary);
    f << input;
  }
  std::string cmd = "cd '" + dir + "' && '" + ZUT_BINARY + "' < .stdin > .stdout 2>/dev/null";
  int st = system(cmd.c_str());
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  std::ifstream f(outFile, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  r.out = ss.str();
  unlink(inFile.c_str());
  unlink(outFile.c_str());
  return r;
}

RunResult runZutWithFileLimit(const std::string& dir, const std::string& input,
                              long maxFileBytes) {
  RunResult r;
  const std::string inFile = dir + "/.stdin";
  {
    std::ofstream f(inFile, std::ios::binary);
    f << input;
  }
  int out[2];
  if (pipe(out) != 0) return r;
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open(inFile.c_str(), O_RDONLY);
    const int null = open("/dev/null", O_WRONLY);
    if (chdir(dir.c_str()) != 0 || in < 0 || null < 0) _exit(127);
    dup2(in, 0);
    dup2(out[1], 1);
    dup2(null, 2);
    close(out[0]);
    signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit fails instead of killing
    const struct rlimit limit = {static_cast<rlim_t>(maxFileBytes),
                                 static_cast<rlim_t>(maxFileBytes)};
    setrlimit(RLIMIT_FSIZE, &limit);
    execl(ZUT_BINARY, ZUT_BINARY, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  char buf[4096];
  ssize_t n;
  while ((n = read(out[0], buf, sizeof buf)) > 0) r.out.append(buf, static_cast<size_t>(n));
  close(out[0]);
  int st = 0;
  if (pid > 0 && waitpid(pid, &st, 0) == pid) r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  unlink(inFile.c_str());
  return r;
}

std::string zutBanner() {
  return "ZUT: Oracle Data Rescue Tool, Release 0.1.0\n\n"
         "Reads data files of databases that cannot be opened and unloads their tables.\n\n";
}

namespace {

// A date and time that ends a line; '9' stands for any digit.
constexpr char kDateShape[] = "9999-99-99 99:99:99\n";
constexpr size_t kDateLength = sizeof kDateShape - 1;

bool dateAt(const std::string& text, size_t at) {
  if (text.size() - at < kDateLength) return false;
  for (size_t i = 0; i < kDateLength; i++) {
    const char c = text[at + i];
    if (kDateShape[i] == '9' ? c < '0' || c > '9' : c != kDateShape[i]) return false;
  }
  return true;
}

}  // namespace

// Every date and time that ends a line becomes "<date>", wherever it starts.
std::string maskDateLines(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    if (dateAt(text, at)) {
      out += "<date>\n";
      at += kDateLength;
    } else {
      out += text[at++];
    }
  }
  return out;
}
