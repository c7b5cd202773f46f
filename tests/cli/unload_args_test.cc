// The words of UNLOAD: keyword selection, COLUMN type words, LOB locations,
// number bounds and the refusal of words too long for their value.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "cli/unload_args.h"

namespace {

struct Parsed {
  int rc = -1;
  std::unique_ptr<SessionContext> ctx{new SessionContext};
  std::unique_ptr<UnloadArgs> args{new UnloadArgs};
  std::string out;
};

// Parses the words after UNLOAD, capturing what is written to stdout.
Parsed parse(const std::string& words) {
  Parsed p;
  std::unique_ptr<CommandBuffer> cmd(new CommandBuffer);
  snprintf(cmd->text, sizeof cmd->text, "UNLOAD %s", words.c_str());
  cmd->length = static_cast<int32_t>(strlen(cmd->text));
  scanNextWord(*cmd);
  testing::internal::CaptureStdout();
  p.rc = parseUnloadArgs(*cmd, *p.ctx, *p.args);
  p.out = testing::internal::GetCapturedStdout();
  return p;
}

uint8_t typeOf(const char* word) { return getColumnTypeCode(word, strlen(word)); }

TEST(UnloadColumnWords, FirstMatchingEntryInTableOrder) {
  EXPECT_EQ(96, typeOf("CHAR"));
  EXPECT_EQ(96, typeOf("char"));
  EXPECT_EQ(96, typeOf("CHARACTER"));
  EXPECT_EQ(254, typeOf("NCHAR"));
  EXPECT_EQ(255, typeOf("NCLOB"));
  EXPECT_EQ(1, typeOf("VARCHAR2"));
  EXPECT_EQ(1, typeOf("VARCHAR2X"));
  EXPECT_EQ(9, typeOf("VARCHAR"));
  EXPECT_EQ(24, typeOf("LONGRAW"));
  EXPECT_EQ(8, typeOf("LONG"));
  EXPECT_EQ(23, typeOf("RAW"));
  EXPECT_EQ(2, typeOf("number"));
  EXPECT_EQ(12, typeOf("DATE"));
  EXPECT_EQ(181, typeOf("TIMESTAMP_TZ"));
  EXPECT_EQ(231, typeOf("TIMESTAMP_LTZ"));
  // The words of the usage text carry no underscore and so read as TIMESTAMP.
  EXPECT_EQ(180, typeOf("TIMESTAMPTZ"));
  EXPECT_EQ(180, typeOf("TIMESTAMPLTZ"));
  EXPECT_EQ(100, typeOf("BINARY_FLOAT"));
  EXPECT_EQ(101, typeOf("BINARY_DOUBLE"));
  EXPECT_EQ(0, typeOf("SKIP"));
  EXPECT_EQ(113, typeOf("BLOB"));
  EXPECT_EQ(112, typeOf("CLOB"));
  EXPECT_EQ(109, typeOf("VARRAY"));
  EXPECT_EQ(108, typeOf("NARRAY"));
  EXPECT_EQ(182, typeOf("INTERVAL_YM"));
  EXPECT_EQ(183, typeOf("interval_ds"));
  EXPECT_EQ(253, typeOf("INTERVAL"));
  EXPECT_EQ(253, typeOf("INTEGER"));
  EXPECT_EQ(253, typeOf("CHA"));
  EXPECT_EQ(253, typeOf("BINARY"));
}

TEST(UnloadLobParams, AllThreeNonZeroNumbersSetOneColumn) {
  std::unique_ptr<SessionContext> ctx(new SessionContext);
  EXPECT_EQ(1, parselobparams(*ctx, "3.4.130"));
  EXPECT_EQ(4, ctx->lobIndexFile[2]);
  EXPECT_EQ(130u, ctx->lobIndexBlock[2]);
  EXPECT_EQ(1, parselobparams(*ctx, "1024.1.1"));
  EXPECT_EQ(1, ctx->lobIndexFile[1023]);
  for (const char* bad : {"0.4.130", "3.0.130", "3.4.0", "3.4", "3", "", "a.b.c", "3.4.130x",
                          "1025.1.1", "3.70000.1", "3.4.4294967296"}) {
    std::unique_ptr<SessionContext> c(new SessionContext);
    EXPECT_EQ(0, parselobparams(*c, bad)) << bad;
    for (int i = 0; i < kMaxColumns; i++) ASSERT_EQ(0, c->lobIndexFile[i]) << bad;
  }
}

TEST(UnloadWords, KeywordsSelectTheNextWordAndLaterValuesWin) {
  Parsed p = parse("TABLE scott.emp TO a.txt TO b.txt stray PARTITION P1 EXTENT my.txt "
                   "AS emp_copy FILE 4 BLOCK 130 OBJECT 73181 CLUSTER 2 INDEX 3 CHUNK 5");
  ASSERT_EQ(0, p.rc);
  // A word no keyword selected is named, not dropped in silence.
  EXPECT_EQ("Warning: UNLOAD ignores the word stray\n", p.out);
  EXPECT_STREQ("scott.emp", p.args->table);
  EXPECT_STREQ("b.txt", p.args->fileName);
  EXPECT_STREQ("P1", p.args->partition);
  EXPECT_STREQ("my.txt", p.args->extentList);
  EXPECT_STREQ("EMP_COPY", p.args->asName);
  EXPECT_EQ(4, p.args->file);
  EXPECT_EQ(130u, p.args->block);
  EXPECT_EQ(73181u, p.args->objd);
  EXPECT_EQ(2, p.args->cluster);
  EXPECT_TRUE(p.args->clusterGiven);
  EXPECT_EQ(3, p.ctx->indexNumber);
  EXPECT_EQ(5, p.ctx->chunkCount);
}

TEST(UnloadWords, DefaultsAndColumnListStaysSelected) {
  Parsed p = parse("OBJECT 12345 COLUMN NUMBER varchar2 DATE junk TO t.txt");
  ASSERT_EQ(0, p.rc);
  EXPECT_STREQ(kDefaultExtentList, p.args->extentList);
  EXPECT_FALSE(p.args->clusterGiven);
  EXPECT_EQ(12345u, p.args->objd);
  EXPECT_EQ(4, p.args->columnWords);
  EXPECT_EQ(2, p.ctx->columnTypes[0]);
  EXPECT_EQ(1, p.ctx->columnTypes[1]);
  EXPECT_EQ(12, p.ctx->columnTypes[2]);
  EXPECT_EQ(253, p.ctx->columnTypes[3]);
  EXPECT_EQ(0, p.ctx->columnTypes[4]);
  EXPECT_STREQ("t.txt", p.args->fileName);
}

TEST(UnloadWords, ColumnWordsBeyond1024AreNotKept) {
  std::string words = "OBJECT 1 COLUMN";
  for (int i = 0; i < 1100; i++) words += i < 1024 ? " DATE" : " RAW";
  Parsed p = parse(words);
  ASSERT_EQ(0, p.rc);
  EXPECT_EQ(1024, p.args->columnWords);
  EXPECT_EQ(12, p.ctx->columnTypes[1023]);
}

TEST(UnloadWords, NumberBounds) {
  EXPECT_EQ(10u, parse("LIMIT 5").ctx->rowLimit);
  EXPECT_EQ(11u, parse("LIMIT 11").ctx->rowLimit);
  EXPECT_EQ(kNoRowLimit, parse("OBJECT 1").ctx->rowLimit);
  EXPECT_EQ(1, parse("CHUNK 0").ctx->chunkCount);
  EXPECT_EQ(4294967295u, parse("OBJECT 4294967295").args->objd);
  EXPECT_EQ(255, parse("CLUSTER 255").args->cluster);
  // A number word that is not a number, or does not fit its field, stops
  // the command: never another object, file, cluster or row limit.
  const struct {
    const char* words;
    const char* message;
  } refused[] = {
      {"OBJECT 4294967296", "  OBJECT takes a number up to 4294967295, not 4294967296; nothing unloaded.\n"},
      {"FILE 65536", "  FILE takes a number up to 65535, not 65536; nothing unloaded.\n"},
      {"CLUSTER 256", "  CLUSTER takes a number up to 255, not 256; nothing unloaded.\n"},
      {"LIMIT 99999999999999999999",
       "  LIMIT takes a number up to 9223372036854775808, not 99999999999999999999; nothing unloaded.\n"},
      {"LIMIT abc", "  LIMIT takes a number up to 9223372036854775808, not abc; nothing unloaded.\n"},
      {"OBJECT 77abc", "  OBJECT takes a number up to 4294967295, not 77abc; nothing unloaded.\n"},
      {"CHUNK -4", "  CHUNK takes a number up to 2147483647, not -4; nothing unloaded.\n"},
      {"LOB 1.2", "  LOB takes colid.fid.blockid, not 1.2; nothing unloaded.\n"},
      {"TABLE SCOTT.EMP BLOCK 99999999999999999999999999999999999 TO e.txt",
       "  BLOCK takes a number up to 4294967295, not 99999999999999999999999999999999999; "
       "nothing unloaded.\n"},
  };
  for (const auto& r : refused) {
    const Parsed p = parse(r.words);
    EXPECT_EQ(1, p.rc) << r.words;
    EXPECT_EQ(r.message, p.out) << r.words;
  }
}

TEST(UnloadWords, OverLongValuesAreRefusedNotCut) {
  const std::string owner64(64, 'P');
  Parsed p = parse("TABLE SCOTT.EMP PARTITION " + owner64);
  EXPECT_EQ(1, p.rc);
  EXPECT_EQ(0u, p.out.find("  Partition name is longer than 63 characters, refused: PPPP"));
  EXPECT_EQ('\n', p.out.back());
  EXPECT_EQ(0, parse("PARTITION " + std::string(63, 'P')).rc);

  EXPECT_EQ(1, parse("TO " + std::string(1024, 'f')).rc);
  EXPECT_EQ(0, parse("TO " + std::string(1023, 'f')).rc);
  EXPECT_EQ(1, parse("TABLE S." + std::string(1022, 't')).rc);
  EXPECT_EQ(1, parse("EXTENT " + std::string(128, 'e')).rc);
  EXPECT_EQ(0, parse("EXTENT " + std::string(127, 'e')).rc);
  EXPECT_EQ(1, parse("AS " + std::string(1024, 'a')).rc);
}

TEST(UnloadWords, DictionaryTablesByPrefix) {
  for (const char* t : {"USER$", "obj$", "Col$", "TAB$", "DICT$", "TAB$X"})
    EXPECT_TRUE(isDictionaryTable(t)) << t;
  for (const char* t : {"SYS.TAB$", "USER", "DICT", "XTAB$"}) EXPECT_FALSE(isDictionaryTable(t)) << t;
}

}  // namespace
