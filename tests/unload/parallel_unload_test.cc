// PARALLEL n: the same files and the same transcript as one process, for
// tables with chained and migrated rows, clusters, partitions, compressed
// and index-organized rows, in text, CSV and dump styles, on a whole and on
// a damaged database.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/support/demo_fixture.h"
#include "unload/unload_parallel.h"

namespace {

struct Case {
  const char* command;  // with %s for the output name and %p for PARALLEL n
  const char* extension;
};

std::string fill(std::string command, const std::string& name, const std::string& parallel) {
  command.replace(command.find("%s"), 2, name);
  command.replace(command.find("%p"), 2, parallel);
  return command;
}

// Runs every case once serially and with PARALLEL 2 and 4; the outputs and
// each command's transcript (output names aside) must be the same.
void expectSameAsSerial(const Demo& d, const std::string& setup) {
  const std::vector<Case> cases = {
      {"UNLOAD TABLE SCOTT.NOTES TO %s%p;", "txt"},
      {"UNLOAD TABLE SCOTT.C_EMP TO %s%p;", "txt"},
      {"UNLOAD TABLE SCOTT.SALES_PART TO %s%p;", "txt"},
      {"UNLOAD TABLE SCOTT.SALES_HIST TO %s%p;", "dmp"},
      {"UNLOAD TABLE SCOTT.EMP TO %s%p;", "dmp"},
      {"UNLOAD TABLE SCOTT.COUNTRIES TO %s%p;", "txt"},
      {"UNLOAD OBJECT 73181 COLUMN NUMBER VARCHAR2 TO %s%p;", "txt"},
  };
  for (const std::string style : {"TXT", "CSV", "DMP"}) {
    for (size_t i = 0; i < cases.size(); i++) {
      std::vector<std::string> transcripts, files;
      for (const std::string n : {"", "2", "4"}) {
        const std::string name = "c" + std::to_string(i) + "_" + (n.empty() ? "1" : n) + "." +
                                 cases[i].extension;
        std::string out = session(d, setup + "SET OUTPUT_STYLE " + style + "\n" +
                                         fill(cases[i].command, name,
                                              n.empty() ? "" : " PARALLEL " + n) +
                                         "\n");
        for (size_t at; (at = out.find(name)) != std::string::npos;) out.replace(at, name.size(), "<out>");
        transcripts.push_back(out);
        files.push_back(d.dir.read(name));
      }
      for (size_t k = 1; k < 3; k++) {
        EXPECT_EQ(transcripts[0], transcripts[k]) << style << " " << cases[i].command;
        EXPECT_TRUE(files[0] == files[k]) << style << " " << cases[i].command << " differs";
      }
      if (setup.empty()) {
        EXPECT_FALSE(files[0].empty()) << cases[i].command;
      }
    }
  }
  // No piece file is left behind.
  DIR* dir = opendir(d.dir.path().c_str());
  for (dirent* e; (e = readdir(dir)) != nullptr;)
    EXPECT_EQ(nullptr, strstr(e->d_name, ".part")) << e->d_name;
  closedir(dir);
}

TEST(ParallelUnload, SameFilesAndTranscriptAsOneProcess) {
  Demo d;
  expectSameAsSerial(d, "");
}

TEST(ParallelUnload, SameOnADamagedDatabase) {
  Demo d;
  // NOTES's second data block destroyed, EMP's rows damaged under BLOCK_CHECK.
  const mkdb::DemoTable& notes = d.table("NOTES");
  const mkdb::DemoTable& emp = d.table("EMP");
  std::string data = d.dir.read("users01.dbf");
  for (size_t i = 0; i < 8192; i++) data[(notes.headerBlock + 2) * 8192 + i] = 0;
  data[(emp.headerBlock + 1) * 8192 + 300] ^= 0x5A;
  d.dir.write("users01.dbf", data);
  expectSameAsSerial(d, "SET BLOCK_CHECK 1\nSET VERBOSE 1\n");
}

// A piece that cannot be made, or a second worker that cannot start (its
// message file blocked) after the first has written its rows straight into
// the output, fails the whole unload, and the output keeps nothing of the
// segment.
TEST(ParallelUnload, AWorkerThatCannotWriteFailsTheUnloadAndLeavesNoRows) {
  for (const char* blocked : {"notes.txt.part1", "notes.txt.part1.out"}) {
    Demo d;
    ASSERT_EQ(0, mkdir(d.dir.file(blocked).c_str(), 0755));
    const std::string out = session(d, "UNLOAD TABLE SCOTT.NOTES TO notes.txt PARALLEL 2;\n");
    EXPECT_NE(std::string::npos, out.find("A worker of the parallel unload failed")) << out;
    EXPECT_NE(std::string::npos, out.find("Unload failed after 0 rows")) << out;
    EXPECT_EQ(std::string::npos, out.find("Sucessfully")) << out;
    EXPECT_EQ("", d.dir.read("notes.txt")) << blocked;
  }
}

// The parent copies a piece into place while its worker still writes it:
// each part lands after the ones before, the whole piece once the worker
// says it is done.
TEST(ParallelUnload, APieceIsCopiedIntoPlaceWhileItIsWritten) {
  TempDir dir;
  const int out = open(dir.file("out").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  const int piece = open(dir.file("piece").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  int done[2];
  ASSERT_TRUE(out >= 0 && piece >= 0 && pipe(done) == 0);
  ASSERT_EQ(4, write(out, "HEAD", 4));
  std::string written;
  std::thread worker([&] {
    for (int c = 0; c < 4; c++) {
      const std::string part(1000 + c, static_cast<char>('a' + c));
      EXPECT_EQ(static_cast<ssize_t>(part.size()), write(piece, part.data(), part.size()));
      written += part;
      usleep(20000);
    }
    EXPECT_EQ(1, write(done[1], "x", 1));
  });
  uint64_t length = 0;
  const bool copied = followPiece(piece, done[0], out, 4, length);
  worker.join();
  EXPECT_TRUE(copied);
  EXPECT_EQ(written.size(), length);
  EXPECT_EQ("HEAD" + written, dir.read("out"));
  for (int fd : {out, piece, done[0], done[1]}) close(fd);
}

}  // namespace
