#include "core/progress.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

volatile sig_atomic_t gCommandRunning = 0;
volatile sig_atomic_t gCancel = 0;

struct Progress {
  bool terminal = false;  // standard error is a terminal
  bool shown = false;     // a line is on the screen
  uint64_t blocks = 0;
  uint64_t total = 0;
  double start = 0;
  double lastDrawn = 0;
};
Progress gProgress;

// Blocks between two looks at the clock.
constexpr uint64_t kClockEvery = 1024;
constexpr double kRedrawEvery = 0.5;  // seconds

// Seconds before the first line: 1, or ZUT_PROGRESS_DELAY (tests use 0).
double firstDrawAfter() {
  static const double seconds = [] {
    const char* v = getenv("ZUT_PROGRESS_DELAY");
    return v != nullptr && v[0] != 0 ? atof(v) : 1.0;
  }();
  return seconds;
}

double now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void onInterrupt(int) {
  if (gCommandRunning) {
    gCancel = 1;
    return;
  }
  // At the prompt: leave as EXIT does. Everything but the prompt line was
  // flushed after the last command, and the history is saved line by line.
  const char newline = '\n';
  ssize_t ignored = write(STDOUT_FILENO, &newline, 1);
  (void)ignored;
  _exit(0);
}

void formatTime(char* out, size_t size, double seconds) {
  const long s = seconds < 0 ? 0 : static_cast<long>(seconds);
  if (s >= 3600) snprintf(out, size, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else snprintf(out, size, "%ld:%02ld", s / 60, s % 60);
}

void draw(const SessionContext& ctx, double at) {
  Progress& p = gProgress;
  const double elapsed = at - p.start;
  const double mb = static_cast<double>(p.blocks) * ctx.blockSize / 1e6;
  char spent[32];
  formatTime(spent, sizeof spent, elapsed);
  char line[256];
  int n;
  if (p.total > 0 && p.blocks <= p.total) {
    char left[32];
    formatTime(left, sizeof left,
                elapsed * static_cast<double>(p.total - p.blocks) / static_cast<double>(p.blocks));
    n = snprintf(line, sizeof line,
                 "\r  %llu of %llu blocks  %.1f MB/s  %llu rows  %s elapsed  %s left\033[K",
                 static_cast<unsigned long long>(p.blocks),
                 static_cast<unsigned long long>(p.total), mb / elapsed,
                 static_cast<unsigned long long>(ctx.rowsUnloaded), spent, left);
  } else {
    n = snprintf(line, sizeof line, "\r  %llu blocks  %.1f MB/s  %llu rows  %s elapsed\033[K",
                 static_cast<unsigned long long>(p.blocks), mb / elapsed,
                 static_cast<unsigned long long>(ctx.rowsUnloaded), spent);
  }
  if (n > 0) {
    fwrite(line, 1, static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n) : sizeof line - 1,
           stderr);
    fflush(stderr);
    p.shown = true;
  }
  p.lastDrawn = at;
}

}  // namespace

void installInterruptHandler() {
  struct sigaction sa = {};
  sa.sa_handler = onInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
}

void beginCommand() {
  gProgress = Progress{};
  gProgress.terminal = isatty(STDERR_FILENO) == 1;
  gProgress.start = gProgress.lastDrawn = now();
  gCancel = 0;
  gCommandRunning = 1;
}

void endCommand() {
  gCommandRunning = 0;
  clearProgressLine();
}

bool cancelRequested() { return gCancel != 0; }

bool takeCancel() {
  const bool was = gCancel != 0;
  gCancel = 0;
  return was;
}

void setProgressTotal(uint64_t blocks) { gProgress.total = gProgress.blocks + blocks; }

void clearProgressLine() {
  if (!gProgress.shown) return;
  fputs("\r\033[K", stderr);
  fflush(stderr);
  gProgress.shown = false;
}

void noteBlockRead(const SessionContext& ctx) {
  Progress& p = gProgress;
  if (++p.blocks % kClockEvery != 0 || !p.terminal) return;
  const double at = now();
  if (at - p.start < firstDrawAfter()) return;
  if (p.shown && at - p.lastDrawn < kRedrawEvery) return;
  draw(ctx, at);
}
