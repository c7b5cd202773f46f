#include "cli/command_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct Fed {
  int rc;
  std::string text;
  std::string prompts;
};

// Runs one reader over a stream holding `input`, capturing what it writes.
Fed feed(const std::string& input, bool script, FILE** keep = nullptr, CommandBuffer* buf = nullptr) {
  static CommandBuffer local;
  CommandBuffer& cmd = buf ? *buf : local;
  FILE* f = keep && *keep ? *keep : fmemopen(const_cast<char*>(input.data()), input.size(), "r");
  testing::internal::CaptureStdout();
  int rc = script ? readZUTCommand(f, cmd) : getZUTCommand(f, cmd);
  std::string out = testing::internal::GetCapturedStdout();
  if (keep) *keep = f;
  else fclose(f);
  return {rc, std::string(cmd.text, cmd.length), out};
}

TEST(CommandReader, UnloadContinuesUntilSemicolon) {
  Fed r = feed("UNLOAD TABLE SCOTT.EMP\nTO emp.txt;\n", false);
  EXPECT_EQ(0, r.rc);
  EXPECT_EQ("UNLOAD TABLE SCOTT.EMP TO emp.txt", r.text);
  EXPECT_EQ("ZUT>    2 ", r.prompts);
}

TEST(CommandReader, OtherCommandsAreOneLine) {
  std::string in = "DESC SCOTT.EMP\nSET VERBOSE 1\n";
  FILE* f = nullptr;
  CommandBuffer cmd;
  std::string copy = in;
  f = fmemopen(copy.data(), copy.size(), "r");
  Fed a = feed("", false, &f, &cmd);
  EXPECT_EQ("DESC SCOTT.EMP", a.text);
  Fed b = feed("", false, &f, &cmd);
  EXPECT_EQ("SET VERBOSE 1", b.text);
  fclose(f);
}

TEST(CommandReader, FullStopCancelsWholeUnload) {
  Fed r = feed("unload table a.b\nto x.txt.\n", false);
  EXPECT_EQ(0, r.rc);
  EXPECT_EQ("", r.text);
}

TEST(CommandReader, ExitWithAndWithoutSemicolon) {
  EXPECT_EQ(-1, feed("exit\n", false).rc);
  Fed semi = feed("exit;\n", false);
  EXPECT_EQ(0, semi.rc);
  EXPECT_EQ("exit", semi.text);
  // Any other four-character word completes a command normally.
  EXPECT_EQ(0, feed("exix\n", false).rc);
}

TEST(CommandReader, EndOfStandardInputEndsLikeExit) {
  EXPECT_EQ(-1, feed("", false).rc);
  // A command gathered before the end still runs.
  Fed r = feed("unload table a.b to c", false);
  EXPECT_EQ(0, r.rc);
  EXPECT_EQ("unload table a.b to c", r.text);
}

TEST(CommandReader, ScriptEchoesAndSkipsBlankLines) {
  Fed r = feed("\n   \nSET VERBOSE 1\n", true);
  EXPECT_EQ(0, r.rc);
  EXPECT_EQ("SET VERBOSE 1", r.text);
  EXPECT_EQ("ZUT> \nZUT>    \nZUT> SET VERBOSE 1\n", r.prompts);
}

TEST(CommandReader, ScriptLastLineExitWithoutNewline) {
  Fed r = feed("exit", true);
  EXPECT_EQ(-1, r.rc);
  Fed e = feed("", true);
  EXPECT_EQ(0, e.rc);
  EXPECT_EQ("", e.text);
  EXPECT_EQ("ZUT> \n", e.prompts);
}

TEST(CommandReader, LongUnloadStopsGatheringPastLimit) {
  std::string in = "UNLOAD";
  std::string line(1000, 'a');
  for (int i = 0; i < 9; i++) in += "\n" + line;
  in += "\nmore;\n";
  Fed r = feed(in, false);
  EXPECT_EQ(0, r.rc);
  EXPECT_GT(r.text.size(), 7168u);
  EXPECT_EQ(std::string::npos, r.text.find("more"));
}

TEST(CommandReader, LongLineIsOneCommand) {
  // The tail of an over-long line must never run as a command of its own.
  std::string in = "REM " + std::string(1500, 'x') + " HOST echo pwned\nSET\n";
  CommandBuffer cmd;
  std::string copy = in;
  FILE* f = fmemopen(copy.data(), copy.size(), "r");
  Fed a = feed("", false, &f, &cmd);
  EXPECT_EQ(0, a.rc);
  EXPECT_EQ(in.substr(0, in.find('\n')), a.text);
  Fed b = feed("", false, &f, &cmd);
  EXPECT_EQ("SET", b.text);
  fclose(f);

  // Lines longer than the whole buffer are cut, never overrun.
  std::string huge = "SET " + std::string(20000, 'y') + "\n";
  Fed h = feed(huge, false);
  EXPECT_EQ(kCommandTextSize, h.text.size());
}

TEST(CommandReader, LongUnloadLineContinuesAsLines) {
  std::string in = "UNLOAD " + std::string(1100, 'z') + ";\n";
  Fed r = feed(in, false);
  EXPECT_EQ(0, r.rc);
  // The piece boundary joins like a continuation line: one blank more.
  EXPECT_EQ(in.size() - 2 + 1, r.text.size());
  EXPECT_NE(std::string::npos, r.prompts.find("   2 "));
}

CommandBuffer bufferOf(const char* s) {
  CommandBuffer c;
  strcpy(c.text, s);
  c.length = static_cast<int32_t>(strlen(s));
  return c;
}

TEST(Scanners, WordsAndKeywords) {
  CommandBuffer c = bufferOf("  Unload \t UNLOADX a=b.c$ ");
  ASSERT_EQ(6, scanNextWord(c));
  EXPECT_EQ(0, compareKeyword(c, "UNLOAD"));
  EXPECT_NE(0, compareKeyword(c, "UNLOA"));
  ASSERT_EQ(7, scanNextWord(c));
  EXPECT_NE(0, compareKeyword(c, "UNLOAD"));
  ASSERT_EQ(6, scanNextWord(c));
  EXPECT_EQ("a=b.c$", std::string(c.text + c.start, 6));
  EXPECT_EQ(0, scanNextWord(c));
  EXPECT_EQ(0, scanNextWord(c));
}

TEST(Scanners, CommaFields) {
  CommandBuffer c = bufferOf("1,,3");
  EXPECT_EQ(1, scanNextField(c));
  EXPECT_EQ(0, scanNextField(c));
  EXPECT_EQ(1, scanNextField(c));
  EXPECT_EQ('3', c.text[c.start]);
  EXPECT_EQ(0, scanNextField(c));

  FieldScanner f{0, 0, 9, "ab,cd,,ef"};
  EXPECT_EQ(2, scanNextField(f));
  EXPECT_EQ(2, scanNextField(f));
  EXPECT_EQ(0, scanNextField(f));
  EXPECT_EQ(2, scanNextField(f));
  EXPECT_EQ(0, scanNextField(f));
}

TEST(Scanners, DelimitedStrings) {
  FieldScanner f{0, 0, 8, "ab|c||de"};
  EXPECT_EQ(2, scanNextString(f, '|'));
  EXPECT_EQ(1, scanNextString(f, '|'));
  EXPECT_EQ(0, scanNextString(f, '|'));
  EXPECT_EQ(2, scanNextString(f, '|'));
  EXPECT_EQ(0, scanNextString(f, '|'));
}

std::string convert(const std::string& src) {
  char dst[128] = {};
  memcpy(dst, src.data(), src.size());
  int n = convertOption(src.c_str(), dst, static_cast<int>(src.size()));
  return std::string(dst, n);
}

TEST(Scanners, ConvertOptionEscapes) {
  EXPECT_EQ("\t", convert("\\x09"));
  EXPECT_EQ("\t", convert("\\X09"));
  EXPECT_EQ(std::string(1, '\xAF'), convert("\\xaF"));
  EXPECT_EQ(std::string(1, '\x0A'), convert("\\xgA"));  // a non-hex digit counts as 0
  EXPECT_EQ("7", convert("\\x7"));
  EXPECT_EQ("\\", convert("\\\\"));
  EXPECT_EQ("|", convert("\\l"));
  EXPECT_EQ("\n", convert("\\n"));
  EXPECT_EQ("\r", convert("\\r"));
  EXPECT_EQ(" ", convert("\\s"));
  EXPECT_EQ("\t", convert("\\t"));
  EXPECT_EQ("q", convert("\\q"));
  EXPECT_EQ("ab\\", convert("ab\\"));  // lone trailing backslash stays
  EXPECT_EQ(std::string("a\0b", 3), convert("a\\x00b"));
  EXPECT_EQ("\r\n", convert("\\r\\n"));
  // count limits the characters converted
  char dst[16] = {};
  EXPECT_EQ(2, convertOption("abcdef", dst, 2));
  EXPECT_STREQ("ab", dst);
}

TEST(Scanners, Numbers) {
  EXPECT_EQ(0x400010u, parseInteger("0x400010"));
  EXPECT_EQ(4194320u, parseInteger("4194320"));
  EXPECT_EQ(1u, parseInteger("0X1g"));
  EXPECT_EQ(0u, parseInteger("abc"));
  EXPECT_EQ(12, getHexIndex('C'));
  EXPECT_EQ(0, getHexIndex('z'));
  EXPECT_EQ(1234567890, parseDecimalPrefix("12345678901234", 10));
  EXPECT_EQ(-5, parseDecimalPrefix("-5x", 10));
}

}  // namespace
