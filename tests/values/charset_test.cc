// The character set table: lookups by whole name or number, and the listing.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>
#include <string>

#include "values/charset.h"
#include "tests/support/render_util.h"

namespace {

TEST(CharsetTable, HoldsTheFullListClosedByZero) {
  int n = 0;
  std::set<std::string> names;
  while (ora_charset_list[n].id != 0) names.insert(ora_charset_list[n++].name);
  EXPECT_EQ(kOraCharsetCount, n);
  EXPECT_EQ(247u, names.size());
  EXPECT_EQ(nullptr, ora_charset_list[n].name);
  EXPECT_STREQ("US7ASCII", ora_charset_list[0].name);
  EXPECT_STREQ("AL16UTF16", ora_charset_list[246].name);
  EXPECT_EQ(2000, ora_charset_list[246].id);
}

TEST(CharsetTable, EveryNameResolvesToItsOwnId) {
  for (int i = 0; ora_charset_list[i].id != 0; i++) {
    std::string lower = ora_charset_list[i].name;
    for (char& c : lower) c = static_cast<char>(tolower(c));
    EXPECT_EQ(ora_charset_list[i].id, get_ora_charset_id(ora_charset_list[i].name))
        << ora_charset_list[i].name;
    EXPECT_EQ(ora_charset_list[i].id, get_ora_charset_id(lower.c_str())) << lower;
    EXPECT_STREQ(ora_charset_list[i].name, get_ora_charset_name(ora_charset_list[i].id));
  }
  EXPECT_EQ(1, get_ora_charset_id("US7ASCII"));
  EXPECT_EQ(31, get_ora_charset_id("WE8ISO8859P1"));
  EXPECT_EQ(852, get_ora_charset_id("ZHS16GBK"));
  EXPECT_EQ(865, get_ora_charset_id("ZHT16BIG5"));
  EXPECT_EQ(871, get_ora_charset_id("UTF8"));
  EXPECT_EQ(873, get_ora_charset_id("al32utf8"));
  EXPECT_EQ(2000, get_ora_charset_id("AL16UTF16"));
  // Names that share their first ten characters with another name.
  EXPECT_EQ(354, get_ora_charset_id("TH8MACTHAIS"));
  EXPECT_EQ(353, get_ora_charset_id("TH8MACTHAI"));
  EXPECT_EQ(507, get_ora_charset_id("AR8ADOS710T"));
  EXPECT_EQ(508, get_ora_charset_id("AR8ADOS720T"));
  EXPECT_EQ(992, get_ora_charset_id("ZHT16HKSCS31"));
  EXPECT_EQ(868, get_ora_charset_id("ZHT16HKSCS"));
}

TEST(CharsetTable, OtherWordsReadAsNumbers) {
  EXPECT_EQ(852, get_ora_charset_id("852"));
  EXPECT_EQ(873, get_ora_charset_id("873xyz"));
  EXPECT_EQ(65535, get_ora_charset_id("65535"));
  EXPECT_EQ(0, get_ora_charset_id("65536"));
  EXPECT_EQ(0, get_ora_charset_id("99999999999999999999999"));
  EXPECT_EQ(0, get_ora_charset_id("WE8ISO8859P"));  // a prefix is no name
  EXPECT_EQ(0, get_ora_charset_id("UTF8X"));
  EXPECT_EQ(0, get_ora_charset_id(""));
  EXPECT_EQ(0, get_ora_charset_id(nullptr));
  EXPECT_EQ(nullptr, get_ora_charset_name(24));
  EXPECT_EQ(nullptr, get_ora_charset_name(0));
}

TEST(CharsetTable, ListingFourPerLine) {
  const std::string out = captureOutput([](FILE* f) { get_ora_charset_list(f); });
  std::istringstream lines(out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ("", line);
  std::getline(lines, line);
  EXPECT_EQ(" US7ASCII            =    1 | WE8DEC              =    2 |"
            " WE8HP               =    3 | US8PC437            =    4",
            line);
  int full = 1;
  std::string last;
  while (std::getline(lines, line) && !line.empty()) {
    last = line;
    full++;
  }
  EXPECT_EQ(62, full);  // 61 lines of four, one of three
  EXPECT_EQ(" ZHT16DBCSFIXED      = 1864 | ZHT16BIG5FIXED      = 1865 |"
            " AL16UTF16           = 2000",
            last);
  EXPECT_EQ("\n\n", out.substr(out.size() - 2));
  EXPECT_FALSE(std::getline(lines, line));
}

}  // namespace

// ---- text converted piece by piece ----

namespace {

// The converted text of the pieces bytes[0, cut) and bytes[cut, end).
std::string inTwoPieces(TextStream& s, const std::string& bytes, size_t cut) {
  std::string out;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* got = nullptr;
  beginTextStream(s);
  size_t n = convertTextPiece(s, p, cut, &got);
  out.append(reinterpret_cast<const char*>(got), n);
  n = convertTextPiece(s, p + cut, bytes.size() - cut, &got);
  out.append(reinterpret_cast<const char*>(got), n);
  n = finishTextStream(s, &got);
  if (n > 0) out.append(reinterpret_cast<const char*>(got), n);
  return out;
}

struct StreamCase {
  const char* from;
  const char* to;
  std::string source;  // bytes in `from`
  std::string want;    // bytes in `to`
  uint64_t replaced;
};

}  // namespace

TEST(TextStream, NoCutSplitsACharacterAndBadBytesSpoilOnlyThemselves) {
  const std::string fffd = "\xEF\xBF\xBD";
  const StreamCase cases[] = {
      // a, e acute, U+1F600 (a surrogate pair), b
      {"UTF-16BE", "UTF-8", std::string("\0a\0\xE9\xD8\x3D\xDE\x00\0b", 10),
       "a\xC3\xA9\xF0\x9F\x98\x80" "b", 0},
      {"UTF-16LE", "UTF-8", std::string("a\0\xE9\0\x3D\xD8\x00\xDE" "b\0", 10),
       "a\xC3\xA9\xF0\x9F\x98\x80" "b", 0},
      // a lone low surrogate between two characters
      {"UTF-16BE", "UTF-8", std::string("\0a\xDC\x00\0b", 6), "a" + fffd + "b", 1},
      // an odd last byte is a character cut for good
      {"UTF-16BE", "UTF-8", std::string("\0a\0", 3), "a" + fffd, 1},
      // UTF-8 to Latin-1: no U+FFFD there, so "?"
      {"UTF-8", "ISO-8859-1", "x\xC3\xA9\xFFy", "x\xE9?y", 1},
  };
  for (const StreamCase& c : cases) {
    iconv_t cv = iconv_open(c.to, c.from);
    ASSERT_NE(reinterpret_cast<iconv_t>(-1), cv);
    TextStream s;
    setTextStream(s, cv, textSourceOf(c.from), c.to);
    for (size_t cut = 0; cut <= c.source.size(); cut++) {
      s.replaced = 0;
      EXPECT_EQ(c.want, inTwoPieces(s, c.source, cut)) << c.from << " cut at " << cut;
      EXPECT_EQ(c.replaced, s.replaced) << c.from << " cut at " << cut;
    }
    iconv_close(cv);
  }
}

TEST(TextStream, WithoutAConverterThePieceIsItself) {
  TextStream s;
  const std::string bytes("\xFF\x00z", 3);
  EXPECT_EQ(bytes, inTwoPieces(s, bytes, 1));
  EXPECT_EQ(TextSource::kUtf16, textSourceOf("ucs-2le"));
  EXPECT_EQ(TextSource::kUtf32, textSourceOf("UTF32"));
  EXPECT_EQ(TextSource::kUtf8, textSourceOf("utf8"));
  EXPECT_EQ(TextSource::kBytes, textSourceOf("ISO-8859-1"));
}
