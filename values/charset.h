// Oracle character set names and ids (the name table, lookups by name or
// number, the listing shown by LIST CHARSET), conversion of text between
// character sets, and the UCS-2 plausibility tests of the type guesser.
#pragma once

#include <iconv.h>

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

// Writes the bytes converted by the handle; unchanged when the handle is
// (iconv_t)-1 or the bytes do not convert.
void iconv_charset_convert(FILE* stream, iconv_t converter, const unsigned char* bytes,
                           size_t length);
// The bytes converted by the handle, returned through out in a buffer that
// holds them until the next conversion; the bytes themselves when the handle
// is (iconv_t)-1 or they do not convert. Returns the length.
size_t iconv_charset_bytes(iconv_t converter, const unsigned char* bytes, size_t length,
                           const unsigned char** out);

// Plausible UCS-2 text, little- and big-endian: every unit printable or blank
// ASCII, or a CJK ideograph. Empty text is valid, odd lengths are not.
bool is_valid_ucs2le_string(const unsigned char* bytes, size_t length);
bool is_valid_ucs2be_string(const unsigned char* bytes, size_t length);
