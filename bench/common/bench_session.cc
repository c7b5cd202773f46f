#include "bench/common/bench_session.h"

#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>

#include <cstdio>

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
  std::string tmpl = std::string("/tmp/") + prefix + "-XXXXXX";
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
