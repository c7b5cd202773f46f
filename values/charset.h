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

// The iconv name of an Oracle character set whose text is ASCII-based, or
// nullptr when there is none (EBCDIC and other sets, unknown ids).
const char* iconv_charset_name(uint16_t id);

// The converter for national text when no ICONV_NCHAR/ICONV_NCLOB is set:
// from the national character set nlsCharset (UTF8, else AL16UTF16
// big-endian) to UTF-8 when the database character set is US7ASCII,
// AL32UTF8 or UTF8, else to the database character set; to UTF-8 too when
// that set has no iconv equivalent here. Sets *sourceUtf8 to 1 for a UTF8
// national character set, else 0. (iconv_t)-1 when iconv has neither.
iconv_t open_national_converter(uint16_t charset, uint16_t nlsCharset, uint8_t* sourceUtf8);

// Writes national text through such a converter; every character the
// target cannot hold, and every byte sequence that is no character of the
// source (a lone surrogate, an odd last byte), is written as "?". Returns
// the number of "?" written for them.
uint64_t iconv_national_convert(FILE* stream, iconv_t converter, bool sourceUtf8,
                                const unsigned char* bytes, size_t length);

// Plausible UCS-2 text, little- and big-endian: every unit printable or blank
// ASCII, or a CJK ideograph. Empty text is valid, odd lengths are not.
bool is_valid_ucs2le_string(const unsigned char* bytes, size_t length);
bool is_valid_ucs2be_string(const unsigned char* bytes, size_t length);
