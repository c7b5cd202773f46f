// Oracle character set names and ids: the name table, lookups by name or
// number, and the listing shown by LIST CHARSET.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct OraCharset {
  const char* name;
  uint16_t id;
};

// The 247 Oracle NLS character sets, closed by a row with id 0.
extern const OraCharset ora_charset_list[];
constexpr int kOraCharsetCount = 247;

// The id of the entry whose name equals the whole text, ignoring case; when
// none does, the text's leading decimal digits as a number (0 when there are
// none or the number does not fit 16 bits); 0 for a null or empty text.
uint16_t get_ora_charset_id(const char* text);

// The name of the character set with this id, or nullptr.
const char* get_ora_charset_name(uint16_t id);

// Prints the table, four entries per line.
void get_ora_charset_list(FILE* stream);
