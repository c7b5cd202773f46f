// safeFileName: names from the dictionary made into file names.
#include <gtest/gtest.h>

#include <string>

#include "core/file_name.h"

namespace {

TEST(SafeFileName, PathAndControlCharactersBecomeUnderscores) {
  const struct {
    std::string name;
    std::string expected;
  } kCases[] = {
      {"EMP", "EMP"},
      {"PAY$HIST", "PAY$HIST"},  // "$" is the script names' own concern
      {"../../escaped", "_._.._escaped"},
      {"/etc/passwd", "_etc_passwd"},
      {"a\\b", "a_b"},
      {".hidden", "_hidden"},
      {"..", "_."},
      {"a.b.", "a.b."},  // only a leading "." hides a file
      {std::string("A\0B", 3), "A_B"},
      {"T\tAB\nX\r\x01\x1f\x7f", "T_AB_X____"},
      {"\xc3\x84RGER", "\xc3\x84RGER"},  // UTF-8 names stay as they are
      {"", ""},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.expected, safeFileName(c.name)) << c.name;
}

}  // namespace
