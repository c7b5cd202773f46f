// Known table layouts and the choice of the table a sampled segment belongs
// to: type categories, the list's replace/append/limit rules, and every
// matching rule on hand-set guess states.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dict/guess_table.h"

namespace {

struct Column {
  uint8_t dictType;
  bool notNull = false;
};

GuessTableEntry table(const char* name, const std::vector<Column>& columns,
                      const char* owner = "SCOTT") {
  GuessTableEntry e;
  initGuessTableEntry(e, owner, name);
  for (size_t i = 0; i < columns.size(); i++)
    addGuessTableColumn(e, static_cast<uint32_t>(i + 1), columns[i].dictType, columns[i].notNull);
  return e;
}

// A guess state: one guessed type per column, `values` non-NULL values each
// (0: an all-NULL column), lengths varying where asked.
ColumnStats guessed(const std::vector<uint8_t>& types, uint16_t values = 3,
                    const std::vector<int>& varying = {}) {
  ColumnStats s;
  resetColumnStats(s);
  s.objd = 88123;
  s.columnCount = static_cast<uint16_t>(types.size());
  for (size_t i = 0; i < types.size(); i++) {
    s.type[i] = types[i];
    s.count[i] = values;
    s.firstLength[i] = values ? 2 : 0;
  }
  for (int i : varying) s.flags[i] |= kGuessLengthVaries;
  return s;
}

struct List {
  GuessedTableList list;
  ~List() { freeGuessedTables(list); }
  void add(const GuessTableEntry& e) { ASSERT_EQ(1, addGuessTable(list, e)); }
};

std::string match(const ColumnStats& s, const GuessedTableList& list) {
  char* data = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&data, &size);
  const int found = findGuessTable(f, s, list);
  fclose(f);
  std::string out(data, size);
  free(data);
  EXPECT_EQ(found, out.empty() ? 0 : 1);
  return out;
}

std::string guessLines(const char* table, int matches, int columns, int score) {
  return std::string("## Guess : SCOTT.") + table + " , Match Count = " + std::to_string(matches) +
         "/" + std::to_string(columns) + ", Score = " + std::to_string(score) + "%\n" +
         "## UNLOAD TABLE SCOTT." + table + " OBJECT 88123 TO " + table + "_88123.TXT;\n";
}

TEST(GuessTables, DictionaryTypesMapToGuessCategories) {
  const uint8_t from[] = {1, 8, 9, 96, 2, 12, 100, 101, 112, 113, 180, 181, 231, 23, 24, 58, 0};
  const uint8_t to[] = {9, 9, 9, 9, 2, 12, 100, 101, 112, 113, 180, 181, 181, 23, 23, 23, 23};
  for (size_t i = 0; i < sizeof from; i++) EXPECT_EQ(to[i], mapGuessType(from[i])) << int(from[i]);
}

TEST(GuessTables, ColumnsCountsAndNotNull) {
  GuessTableEntry e;
  initGuessTableEntry(e, "A_VERY_LONG_OWNER_NAME_THAT_GOES_ON_AND_ON_AND_ON_PAST_SIXTY_FOUR_CHARS", "T");
  EXPECT_EQ(63u, strlen(e.owner));
  addGuessTableColumn(e, 3, 2, 1);
  addGuessTableColumn(e, 1, 1, 0);
  addGuessTableColumn(e, 5, 12, 0);
  addGuessTableColumn(e, 0, 2, 1);      // no stored position
  addGuessTableColumn(e, 1025, 2, 1);   // beyond the 1024 kept
  EXPECT_EQ(5, e.columnCount);
  EXPECT_EQ(3, e.lastNotNull);
  EXPECT_EQ(9, e.types[0]);
  EXPECT_EQ(23, e.types[1]);  // not described: RAW
  EXPECT_EQ(2, e.types[2]);
  EXPECT_EQ(12, e.types[4]);
  addGuessTableColumn(e, 1024, 96, 0);
  EXPECT_EQ(1024, e.columnCount);
  EXPECT_EQ(9, e.types[1023]);
}

TEST(GuessTables, SameNameReplacesOthersAppendUpToTheLimit) {
  List l;
  l.add(table("EMP", {{2}}));
  l.add(table("DEPT", {{2}, {1}}));
  l.add(table("EMP", {{2}, {12}, {1}}));
  l.add(table("EMP", {{2}}, "HR"));
  ASSERT_EQ(3, l.list.count);
  EXPECT_STREQ("EMP", l.list.entries[0]->table);
  EXPECT_EQ(3, l.list.entries[0]->columnCount);  // replaced in place
  EXPECT_STREQ("HR", l.list.entries[2]->owner);

  List full;
  GuessTableEntry e;
  for (int i = 0; i < kMaxGuessTables; i++) {
    initGuessTableEntry(e, "U", ("T" + std::to_string(i)).c_str());
    ASSERT_EQ(1, addGuessTable(full.list, e));
  }
  EXPECT_EQ(kMaxGuessTables, full.list.count);
  initGuessTableEntry(e, "U", "ONE_TOO_MANY");
  EXPECT_EQ(0, addGuessTable(full.list, e));
  initGuessTableEntry(e, "U", "T77");
  e.columnCount = 9;
  EXPECT_EQ(1, addGuessTable(full.list, e));  // a replacement still fits
  EXPECT_EQ(9, full.list.entries[77]->columnCount);
}

TEST(GuessMatching, BestTableIsPrinted) {
  List l;
  l.add(table("DEPT", {{2, true}, {1}, {1}}));
  l.add(table("EMP", {{2, true}, {1}, {1}, {2}, {12}, {2}, {2}, {2}}));
  const ColumnStats s = guessed({2, 9, 9, 2, 12, 2, 2, 2}, 14, {5});
  EXPECT_EQ(guessLines("EMP", 8, 8, 100), match(s, l.list));
}

TEST(GuessMatching, TheSuggestedFileNameIsSafe) {
  List l;
  l.add(table("../up", {{2}}));
  EXPECT_EQ("## Guess : SCOTT.../up , Match Count = 1/1, Score = 100%\n"
            "## UNLOAD TABLE SCOTT.../up OBJECT 88123 TO _._up_88123.TXT;\n",
            match(guessed({2}), l.list));
}

TEST(GuessMatching, NothingWithoutColumnsValuesOrTables) {
  List l;
  EXPECT_EQ("", match(guessed({2}), l.list));
  l.add(table("T", {{2}}));
  EXPECT_EQ("", match(guessed({}), l.list));
  EXPECT_EQ("", match(guessed({2}, 0), l.list));  // only NULLs
  EXPECT_EQ(guessLines("T", 1, 1, 100), match(guessed({2}), l.list));
}

TEST(GuessMatching, TiesGoToFewerColumnsThenListOrder) {
  List l;
  l.add(table("WIDE", {{2}, {1}, {2}, {2}}));
  l.add(table("NARROW", {{2}, {1}, {1}}));
  l.add(table("NARROW2", {{2}, {1}, {1}}));
  EXPECT_EQ(guessLines("NARROW", 2, 3, 100), match(guessed({2, 9}), l.list));
  // More matches beat fewer columns.
  EXPECT_EQ(guessLines("WIDE", 3, 4, 100), match(guessed({2, 9, 2}), l.list));
}

TEST(GuessMatching, MoreThanHalfOfTheColumnsWithValues) {
  std::vector<Column> cols(10, Column{2});
  List l;
  l.add(table("HALF", cols));
  std::vector<uint8_t> types(10, 2);
  for (int i = 5; i < 10; i++) types[i] = 100;  // five mismatches, tolerated
  EXPECT_EQ("", match(guessed(types), l.list));
  types[5] = 2;
  EXPECT_EQ(guessLines("HALF", 6, 10, 60), match(guessed(types), l.list));
  // All-NULL columns are not counted among the columns with values.
  ColumnStats s = guessed(types);
  s.count[9] = s.count[8] = 0;
  EXPECT_EQ(guessLines("HALF", 6, 10, 75), match(s, l.list));
}

TEST(GuessMatching, ShortTablesAndUnfilledNotNullColumnsDoNotCompete) {
  List l;
  l.add(table("SHORT", {{2}}));
  l.add(table("NEEDS_FOUR", {{2}, {1}, {2}, {2, true}}));
  EXPECT_EQ("", match(guessed({2, 9}), l.list));
  l.add(table("FITS", {{2}, {1}, {2}, {2}}));
  EXPECT_EQ(guessLines("FITS", 2, 4, 100), match(guessed({2, 9}), l.list));
}

TEST(GuessMatching, ConfidentMismatchesRejectATable) {
  // A sure DATE (same length, more than 2 values) where the table has a NUMBER.
  List l;
  l.add(table("T", {{2}, {2}, {2}}));
  EXPECT_EQ("", match(guessed({2, 12, 2}), l.list));
  // With only two values the mismatch is tolerated.
  EXPECT_EQ(guessLines("T", 2, 3, 66), match(guessed({2, 12, 2}, 2), l.list));
  // Dates of varying length are not sure.
  EXPECT_EQ(guessLines("T", 2, 3, 66), match(guessed({2, 180, 2}, 3, {1}), l.list));
  // A NUMBER of varying length where the table has text: rejected.
  List t;
  t.add(table("TXT", {{1}, {1}, {1}}));
  EXPECT_EQ("", match(guessed({9, 2, 9}, 3, {1}), t.list));
  EXPECT_EQ(guessLines("TXT", 2, 3, 66), match(guessed({9, 2, 9}), t.list));
  // A LOB locator where the table has no LOB: rejected; another LOB: tolerated.
  List b;
  b.add(table("B", {{2}, {1}, {112}}));
  EXPECT_EQ(guessLines("B", 3, 3, 100), match(guessed({2, 9, 112}), b.list));
  EXPECT_EQ(guessLines("B", 2, 3, 66), match(guessed({2, 9, 113}), b.list));
  List c;
  c.add(table("C", {{2}, {1}, {1}}));
  EXPECT_EQ("", match(guessed({2, 9, 113}), c.list));
}

}  // namespace

namespace {

// The score of one table for SCAN ORPHANS: matches over the larger of the
// columns with values and the table's columns; -1 where a rule rejects it.
TEST(GuessScore, MatchesScoreAndRejections) {
  struct Case {
    std::vector<uint8_t> sample;
    std::vector<Column> columns;
    int matches;
    int score;
  };
  const uint8_t N = kColNumber, V = kColVarchar2, D = kColDate;
  const Case cases[] = {
      {{N, kColVarchar, D}, {{N}, {V}, {D}}, 3, 100},
      {{N, kColVarchar, D}, {{N}, {V}, {D}, {V}}, 3, 75},   // a column never seen
      {{N, kColVarchar, D}, {{N}, {V}}, -1, 0},             // fewer columns than the sample
      {{N, kColVarchar}, {{N}, {V}, {D, true}}, -1, 0},     // NOT NULL past the sample
      {{N, kColVarchar, D}, {{N}, {V}, {N}}, -1, 0},        // same-length dates are no NUMBER
      {{N, kColVarchar, kColVarchar}, {{N}, {N}, {V}}, 2, 66},
  };
  for (const Case& c : cases) {
    const GuessTableEntry e = table("T", c.columns);
    const GuessScore s = scoreGuessColumns(guessed(c.sample), e.types, e.columnCount, e.lastNotNull);
    EXPECT_EQ(c.matches, s.matches) << c.columns.size();
    EXPECT_EQ(c.score, s.score) << c.columns.size();
  }
}

}  // namespace
