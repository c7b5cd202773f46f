// Runs build/zut on stdin scripts in a fresh directory and compares what it
// writes with the exact expected texts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "cli/interpreter.h"
#include "tests/support/demo_fixture.h"
#include "tests/support/test_util.h"

namespace {

const std::string kSetHelp =
    "  SET BLOCK_SIZE    {2048 | 4096 | 8192 | 16384 | 32768}\n"
    "  SET BYTE_ORDER    {BIG | LITTLE}\n"
    "  SET DELETED_ROW   {TRUE | FALSE}\n"
    "  SET COMMITED_ONLY {TRUE | FALSE}\n"
    "  SET FIELD_TAG     field_tag \n"
    "  SET RECORD_TAG    record_tag\n"
    "  SET CACHE_SIZE    kbytes (64 - 8192)\n"
    "  SET OUTPUT_STYLE  {TXT | DMP | CSV}\n"
    "  SET CSV_HEADER    {ON | OFF}\n"
    "  SET CHARSET       charsetid\n"
    "  SET NLSCHARSET    charsetid\n"
    "  SET FIXED_CHARSET {true | false}\n"
    "  SET BLOCK_CHECK   {0 | 1}\n"
    "  SET HEAD_SIZE     header size (default 0)\n"
    "  SET VERBOSE       {0 | 1}\n"
    "  SET ROW_ADDRESS   {0 | 1}\n"
    "  SET CLOB_EDIAN    {BIG | LITTLE}\n"
    "  SET LOB_STORAGE   {0:INLINE | 1:FILE | 2:NONE}\n"
    "  SET MAXLOBDIR     values between 100  and 2000\n"
    "  SET MAXCHAINS     integer value\n"
    "  SET BIGFILE       {Yes | NO}\n"
    "  SET ICONV_NCHAR   from_iconv_charset to_iconv_charset\n"
    "  SET ICONV_NCLOB   from_iconv_charset to_iconv_charset\n"
    "  SET ICONV_CLOB    from_iconv_charset to_iconv_charset\n";

// The long-standing summary HELP starts with.
const std::string kHelp =
    "  SET     -- Change setting\n"
    "  CHECK   -- Check data file header\n"
    "  OPEN    -- Open configuration file\n"
    "  OSDUMP  -- OS dump (HEX display)\n"
    "  ORADUMP -- Oracle dump (block information)\n"
    "  UNLOAD  -- Unload data to text file\n"
    "  SCAN    -- Scan segment header or object\n"
    "  DESC    -- Describe table structure\n"
    "  ROWID   -- Inteprete or construct ROWID\n"
    "  BCHECK  -- Check whether the block tail matchs\n"
    "  CORRUPT -- Mark data block as corrupted\n"
    "  SKIP    -- Mark data block as skipped\n";

// Output after the banner for commands typed on standard input.
std::string session(const std::string& input, const TempDir* dir = nullptr) {
  TempDir own;
  const TempDir& d = dir ? *dir : own;
  RunResult r = runZut(d.path(), input);
  EXPECT_EQ(0, r.status);
  const std::string banner = zutBanner();
  EXPECT_EQ(banner, r.out.substr(0, banner.size()));
  return r.out.substr(banner.size());
}

TEST(Transcript, StartUpCreatesDirectoriesAndExits) {
  TempDir d;
  EXPECT_EQ("ZUT> ", session("exit\n", &d));
  struct stat s;
  EXPECT_EQ(0, stat(d.file("ZUTDICT").c_str(), &s));
  EXPECT_EQ(0, stat(d.file("LOBDATA").c_str(), &s));
}

TEST(Transcript, HelpUnknownAndEmptyLines) {
  const std::string out = session("help\n\n-- a comment\nREM anything here\nEXIT\n");
  EXPECT_EQ(0u, out.find("ZUT> " + kHelp)) << out;
  EXPECT_NE(std::string::npos, out.find("ZUT> ZUT>   Unknown command!\nZUT> ZUT> ")) << out;
}

// HELP names every word the dispatcher knows and every option SET lists,
// so that a new command or setting cannot be left out of it.
TEST(Transcript, HelpListsEveryCommandAndSetting) {
  const std::string help = "\n" + session("HELP\nEXIT\n").substr(5);  // after "ZUT> "
  for (const std::string& word : commandWords())
    EXPECT_NE(std::string::npos, help.find("\n  " + word + " ")) << word;
  for (const std::vector<std::string>& line : splitRows(kSetHelp, " ", "\n")) {
    ASSERT_GE(line.size(), 4u);  // "", "", "SET", name
    EXPECT_NE(std::string::npos, help.find("\n  " + line[3] + " ")) << line[3];
  }
}

TEST(Transcript, SetHelpAndCurrentLines) {
  std::string out = session(
      "SET\nSET HEAD_SIZE 10\nSET BLOCK_SIZE 6144\nSET BLOCK_SIZE 5000\nSET BLOCK_SIZE abc\n"
      "SET MAXLOBDIR 50\nSET MAXLOBDIR 9999\nSET MAXLOBDIR 65600\nSET GUESS_SIZE 3\n"
      "SET GUESS_SIZE 70000\nSET LOB_STORAGE 7\nSET CHARSET 852\nSET LONG_TAG\n"
      "SET TRANS_OFFSET 9000\nSET BYTE_ORDER big\nSET BYTE_ORDER middle\n"
      "SET CLOB_EDIAN x\nSET DELETED_ROW true\nSET COMMITED_ONLY maybe\n"
      "SET OUTPUT_STYLE DMP\nSET OUTPUT_STYLE xml\nSET OUTPUT_STYLE csv\nSET CSV_HEADER on\nSET CSV_HEADER 1\nSET BIGFILE yes\nSET BIGFILE 1\n"
      "SET VERBOSE 1\nSET CACHE_SIZE 10\nSET MAXCHAINS 99999999999\nSET TABLESPACE 7\n"
      "SET FIXED_CHARSET\nSET ROW_ADDRESS 1\nSET BLOCK_CHECK 300\nSET TRANS_COUNT 4\n"
      "SET PARALLEL 65\nSET PARALLEL 0\nEXIT\n");
  std::string expect = "ZUT> " + kSetHelp + "ZUT> " + kSetHelp +
                       "ZUT>   Current BLOCK_SIZE is : 6144\n"
                       "ZUT>   Current BLOCK_SIZE is : 6144\n"
                       "ZUT>   BLOCK_SIZE can only be 2048, 4096, 8192, 16384, 32768\n"
                       "  Current BLOCK_SIZE is : 6144\n"
                       "ZUT>   Current MAXLOBDIR is : 100\n"
                       "ZUT>   Current MAXLOBDIR is : 2000\n"
                       "ZUT>   Current MAXLOBDIR is : 2000\n"
                       "ZUT>   Current GUESS_SIZE is : 10\n"
                       "ZUT>   Current GUESS_SIZE is : 65535\n"
                       "ZUT>   Current LOB_STORAGE is : 7-NONE\n"
                       "ZUT>   Current CHARSET is : 0x0354 (852)\n"
                       "ZUT>   Current LONG_TAG : \n"
                       "ZUT>   Current TRANS_OFFSET is : 0\n"
                       "ZUT>   Current BYTE_ORDER is : BIG\n"
                       "ZUT>   BYTE_ORDER can only be BIG, LITTLE\n"
                       "  Current BYTE_ORDER is : BIG\n"
                       "ZUT>   CLOB_EDIAN can only be BIG, LITTLE\n"
                       "  Current CLOB_EDIAN is : BIG\n"
                       "ZUT>   Current DELETED_ROW is : TRUE\n"
                       "ZUT>   COMMITED_ONLY can only be TRUE, FALSE\n"
                       "  Current COMMITED_ONLY is : FALSE\n"
                       "ZUT>   Current OUTPUT_STYLE is : DMP\n"
                       "ZUT>   OUTPUT_STYLE can only be TXT, DMP, CSV\n"
                       "  Current OUTPUT_STYLE is : DMP\n"
                       "ZUT>   Current OUTPUT_STYLE is : CSV\n"
                       "ZUT>   Current CSV_HEADER is : ON\n"
                       "ZUT>   CSV_HEADER can only be ON, OFF\n"
                       "  Current CSV_HEADER is : ON\n"
                       "ZUT>   Current BIGFILE is : YES\n"
                       "ZUT>   BIGFILE can only be YES, NO\n"
                       "  Current BIGFILE is : YES\n"
                       "ZUT>   Current VERBOSE is : 1\n"
                       "ZUT> "  // CACHE_SIZE writes nothing
                       "ZUT>   Current MAXCHAINS is : 4294967295\n"
                       "ZUT>   Current TABLESPACE is : 7\n"
                       "ZUT>   Current FIXED_CHARSET is : FALSE\n"
                       "ZUT>   Current ROW_ADDRESS is : 1\n"
                       "ZUT>   Current BLOCK_CHECK is : 255\n"
                       "ZUT>   Current TRANS_COUNT is : 4\n"
                       "ZUT>   PARALLEL can only be 0 (one per core) to 64\n"
                       "  Current PARALLEL is : 1\n"
                       "ZUT>   Current PARALLEL is : 0\n"
                       "ZUT> ";
  EXPECT_EQ(expect, out);
}

TEST(Transcript, TagsAndConverters) {
  std::string out = session(
      "SET FIELD_TAG\nSET RECORD_TAG\nSET FIELD_TAG \\x09\nSET FIELD_TAG \\x7\n"
      "SET FIELD_TAG \\s\\l\nSET RECORD_TAG \\x00\\n\nSET FIELD_TAG a\\\nSET LONG_TAG <L>\n"
      "SET ICONV_NCHAR UTF-16BE UTF-8\nSET ICONV_NCHAR\nSET ICONV_CLOB NO-SUCH-SET UTF-8\n"
      "SET ICONV_NCLOB UTF-16BE\nEXIT\n");
  EXPECT_EQ(
      "ZUT>   Current FIELD_TAG :|\n"
      "ZUT>   Current RECORD_TAG :\\r\\n\n"
      "ZUT>   Current FIELD_TAG :\\t\n"
      "ZUT>   Current FIELD_TAG :7\n"
      "ZUT>   Current FIELD_TAG : |\n"
      "ZUT>   Current RECORD_TAG :\\x00\\n\n"
      "ZUT>   Current FIELD_TAG :a\\\\\n"
      "ZUT>   Current LONG_TAG : <L>\n"
      "ZUT>   Current ICONV_NCHAR is : ON\n"
      "ZUT>   Current ICONV_NCHAR is : ON\n"
      "ZUT>   Current ICONV_CLOB is : OFF\n"
      "ZUT>   Current ICONV_NCLOB is : OFF\n"
      "ZUT> ",
      out);
}

TEST(Transcript, UnloadContinuationAndCancel) {
  // A cancelled UNLOAD runs nothing; the continuation prompts count lines.
  EXPECT_EQ("ZUT>    2    3 ZUT> ", session("UNLOAD TABLE A.B\nTO x.txt\nLIMIT 5.\nEXIT\n"));
}

TEST(Transcript, ExitForms) {
  // EXIT with ";" reaches the dispatcher and ends at once.
  EXPECT_EQ("ZUT> ", session("exit;\nHELP\n"));
  // End of input ends the program normally.
  EXPECT_EQ("ZUT> \n", session("REM no exit here\n").substr(5));
}

TEST(Transcript, InitScriptEchoAndNestingRefused) {
  TempDir d;
  d.write("init.sql", "SET VERBOSE 1\n@other.sql\n");
  d.write("other.sql", "SET ROW_ADDRESS 1\n");
  chmod(d.file("init.sql").c_str(), 0444);  // read-only scripts run too
  // Inside init.sql the "@" is refused; at the prompt the same file runs, and
  // a missing file does nothing. At a script's end the reader echoes an
  // empty line.
  EXPECT_EQ(
      "ZUT> SET VERBOSE 1\n  Current VERBOSE is : 1\n"
      "ZUT> @other.sql\n Cannot using @script.sql in script file.\n"
      "ZUT> \n"
      "ZUT> "
      "ZUT> SET ROW_ADDRESS 1\n  Current ROW_ADDRESS is : 1\n"
      "ZUT> \n"
      "ZUT> ZUT> ",
      session("@other.sql\n@missing.sql\nEXIT\n", &d));
}

TEST(Transcript, AtScriptFromPromptRuns) {
  TempDir d;
  d.write("s.sql", "SET VERBOSE 1\nUNLOAD TABLE A.B\nTO c.\nexit");
  EXPECT_EQ(
      "ZUT> ZUT> SET VERBOSE 1\n  Current VERBOSE is : 1\n"
      "ZUT> UNLOAD TABLE A.B\n   2 TO c.\n"
      "ZUT> exit"  // echoed exactly as read: the last line has no newline
      "ZUT>   Current MAXCHAINS is : 3\n"  // the script's EXIT handed one command over
      "ZUT> ",
      session("@s.sql\nSET MAXCHAINS 3\nEXIT\n", &d));
}

TEST(Transcript, ScriptExitReturnsToScriptAfterOneCommand) {
  TempDir d;
  d.write("init.sql", "exit\nSET VERBOSE 2\n");
  EXPECT_EQ(
      "ZUT> exit\nZUT>   Current TABLESPACE is : 9\n"
      "ZUT> SET VERBOSE 2\n  Current VERBOSE is : 2\nZUT> \nZUT> ",
      session("SET TABLESPACE 9\nEXIT\n", &d));
}

TEST(Transcript, HostAndBang) {
  EXPECT_EQ("ZUT> one two\nZUT> three\nZUT> four\nZUT> ",
            session("HOST echo one two\n!echo three\n! echo four\nEXIT\n"));
}

}  // namespace
