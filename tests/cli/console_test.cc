// The console at a terminal, driven through a pseudo-terminal: line editing,
// history across sessions, the progress line, and Ctrl-C cancelling an
// unload; and the command line (@script, --version, --help).
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "tests/support/test_util.h"
#include "tools/builder/datafile_builder.h"
#include "tools/builder/oracle_values.h"
#include "tools/builder/row_builder.h"

namespace {

// build/zut on a pseudo-terminal (standard input, output and error) in dir,
// with HOME set to dir so that its history stays there.
class Terminal {
 public:
  explicit Terminal(const TempDir& dir, const std::string& args = "") {
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      if (chdir(dir.path().c_str()) != 0) _exit(127);
      setenv("HOME", dir.path().c_str(), 1);
      setenv("ZUT_PROGRESS_DELAY", "0", 1);
      setenv("TERM", "vt100", 1);
      if (args.empty()) execl(ZUT_BINARY, ZUT_BINARY, static_cast<char*>(nullptr));
      else execl(ZUT_BINARY, ZUT_BINARY, args.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Terminal() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }
  void type(const std::string& keys) { ASSERT_EQ(ssize_t(keys.size()), write(master_, keys.data(), keys.size())); }
  // Reads until text has appeared since the last wait (or 20 s pass);
  // returns what was read.
  std::string waitFor(const std::string& text) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (seen_.find(text, from_) == std::string::npos &&
           std::chrono::steady_clock::now() < until) {
      pollfd p = {master_, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char buf[4096];
      const ssize_t n = read(master_, buf, sizeof buf);
      if (n <= 0) break;
      seen_.append(buf, static_cast<size_t>(n));
    }
    const size_t at = seen_.find(text, from_);
    EXPECT_NE(std::string::npos, at) << "waiting for " << text << " in:\n" << seen_;
    const std::string got = seen_.substr(from_);
    if (at != std::string::npos) from_ = at + text.size();
    return got;
  }
  // The exit status, or -1 when the program has not ended within 20 s.
  int exitStatus() {
    int status = -1;
    for (int i = 0; i < 200; i++) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      usleep(100 * 1000);
    }
    return -1;
  }

 private:
  int master_ = -1;
  pid_t pid_ = -1;
  std::string seen_;
  size_t from_ = 0;
};

TEST(Console, EditingAndHistoryAcrossSessions) {
  TempDir d;
  {
    Terminal t(d);
    t.waitFor("ZUT> ");
    // "SET VERBSE 1", four times Left, "O": the edited line runs.
    t.type("SET VERBSE 1\x1b[D\x1b[D\x1b[D\x1b[DO\r");
    t.waitFor("Current VERBOSE is : 1");
    t.type("SET MAXCHAINS 77\r");
    t.waitFor("Current MAXCHAINS is : 77");
    t.type("EXIT\r");
    EXPECT_EQ(0, t.exitStatus());
  }
  Terminal t(d);
  t.waitFor("ZUT> ");
  t.type("\x1b[A\x1b[A\r");  // Up twice: the line before EXIT in the last session
  t.waitFor("Current MAXCHAINS is : 77");
  t.waitFor("ZUT> ");
  t.type("\x03");  // Ctrl-C at the prompt leaves as EXIT does
  EXPECT_EQ(0, t.exitStatus());
}

// A table of one object in 16384 blocks (128 MiB), unloaded by object id.
constexpr uint32_t kObjd = 95001;
constexpr uint32_t kDataBlocks = 16384;

void writeBigTable(const TempDir& d) {
  mkdb::FileImage f;
  f.path = d.file("big01.dbf");
  f.configName = "big01.dbf";
  f.rfn = f.fileNumber = 4;
  f.tablespace = 4;
  f.blocks = 3 + kDataBlocks;
  mkdb::addFileHeader(f);
  std::vector<mkdb::TableRow> rows(100);
  for (size_t i = 0; i < rows.size(); i++) {
    OracleBytes n;
    encodeOracleNumber(std::to_string(i), n);
    const std::string s = "row " + std::to_string(i) + std::string(40, 'x');
    rows[i].values = {n, OracleBytes(s.begin(), s.end())};
  }
  mkdb::PackOptions options;
  options.objd = kObjd;
  ASSERT_EQ(1u, mkdb::packRows(f, 3, rows, options).size());
  for (uint32_t b = 4; b < 3 + kDataBlocks; b++) {
    mkdb::Block copy = f.images[3];
    mkdb::putUB4(copy, 4, mkdb::blockAddress(f, b), f.byteOrder);
    mkdb::setChecksum(copy);
    f.images[b] = copy;
  }
  mkdb::SegmentPlan s;
  s.block = 2;
  s.objd = kObjd;
  s.extents = {mkdb::extentAt(f, 3, kDataBlocks)};
  ASSERT_EQ(0, mkdb::addSegmentHeader(f, s));
  ASSERT_EQ(0, mkdb::writeDataFile(f));
  ASSERT_EQ(0, mkdb::writeConfigFile(d.file("big.cfg"), {f}));
}

TEST(Console, ProgressOnATerminalOnlyAndCtrlCCancelsAnUnload) {
  TempDir d;
  writeBigTable(d);
  const std::string unload =
      "UNLOAD OBJECT " + std::to_string(kObjd) + " COLUMN NUMBER VARCHAR2 TO big.txt;";

  // In a pipe: no progress line, the whole table.
  d.write("in.sql", "OPEN big.cfg\n" + unload + "\nEXIT\n");
  const std::string cmd = "cd '" + d.path() + "' && ZUT_PROGRESS_DELAY=0 '" + ZUT_BINARY +
                          "' < in.sql > out.txt 2> err.txt";
  ASSERT_EQ(0, system(cmd.c_str()));
  EXPECT_EQ("", d.read("err.txt"));
  EXPECT_NE(std::string::npos,
            d.read("out.txt").find("Sucessfully unload " + std::to_string(100 * kDataBlocks)));

  Terminal t(d);
  t.waitFor("ZUT> ");
  t.type("OPEN big.cfg\r");
  t.waitFor("ZUT> ");
  t.type(unload + "\r");
  t.waitFor(" blocks ");  // the progress line
  t.type("\x03");
  const std::string out = t.waitFor(" rows ...");
  const size_t at = out.find("Cancelled after ");
  ASSERT_NE(std::string::npos, at) << out;
  const unsigned long long rows = std::stoull(out.substr(at + 16));
  EXPECT_LT(rows, 100ull * kDataBlocks);
  // The output holds exactly the rows said, each whole.
  const std::string text = d.read("big.txt");
  EXPECT_EQ(rows, countOf(text, "\r\n"));
  EXPECT_EQ(text.size(), text.rfind("\r\n") + 2);
  t.type("EXIT\r");
  EXPECT_EQ(0, t.exitStatus());
}

TEST(Console, CommandLine) {
  TempDir d;
  d.write("first.sql", "SET MAXCHAINS 5\n");
  d.write("in.txt", "SET MAXCHAINS\nEXIT\n");
  const std::string zut = std::string("cd '") + d.path() + "' && '" + ZUT_BINARY + "'";
  ASSERT_EQ(0, system((zut + " @first.sql < in.txt > out.txt").c_str()));
  EXPECT_EQ(2u, countOf(d.read("out.txt"), "Current MAXCHAINS is : 5\n"));
  ASSERT_EQ(0, system((zut + " --version > v.txt && " + "'" + ZUT_BINARY + "' --help > h.txt").c_str()));
  EXPECT_EQ("ZUT: Oracle Data Rescue Tool, Release 0.1.0\n", d.read("v.txt"));
  EXPECT_EQ(0u, d.read("h.txt").find("  SET     -- Change setting\n"));
}

}  // namespace
