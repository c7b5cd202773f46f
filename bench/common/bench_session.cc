#include "bench/common/bench_session.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

#include "cli/interpreter.h"

double now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double timeCat(const std::vector<std::string>& paths) {
  std::string cmd = "cat";
  for (const std::string& p : paths) cmd += " '" + p + "'";
  cmd += " > /dev/null";
  const double t0 = now();
  if (system(cmd.c_str()) != 0) return -1;
  return now() - t0;
}

long maxRssKiB(int who) {
  rusage u;
  getrusage(who, &u);
  return u.ru_maxrss;
}

std::string makeBenchDir(const char* prefix) {
  // TMPDIR picks the file system, e.g. /dev/shm to keep the disk out of it.
  const char* base = getenv("TMPDIR");
  std::string tmpl = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" +
                     prefix + "-XXXXXX";
  if (mkdtemp(tmpl.data()) == nullptr) {
    perror("mkdtemp");
    return "";
  }
  return tmpl;
}

int openBenchSession(HarnessSession& s, const std::string& config, uint32_t blockSize) {
  FILE* cfg = fopen(config.c_str(), "r");
  const int rc = openHarnessSession(s, cfg, blockSize, kDefaultCacheSize, 0);
  if (cfg != nullptr) fclose(cfg);
  return rc;
}

pid_t startInterpreter(const std::string& dir, const std::string& commands,
                       const std::string& logPath) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  if (chdir(dir.c_str()) != 0) _exit(2);
  const int log = open(logPath.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
  if (log < 0 || dup2(log, 1) < 0) _exit(2);
  FILE* in = fmemopen(const_cast<char*>(commands.data()), commands.size(), "r");
  const int rc = runZUT(in);
  fflush(stdout);
  _exit(rc);
}
