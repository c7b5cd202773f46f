// Oracle character set names and ids (the name table, lookups by name or
// number, the listing shown by LIST CHARSET), conversion of text between
// character sets, and the UCS-2 plausibility tests of the type guesser.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

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

// ---- text converted piece by piece (LOB values) ----
//
// A value that arrives in pieces (LOB blocks, extent list pieces) is
// converted as one text: the bytes of a character cut at the end of a piece
// wait for the next piece, and a byte sequence that is no character of the
// source becomes the replacement (U+FFFD in the target, or "?" when the
// target cannot hold it) while conversion goes on after it.

enum class TextSource : uint8_t { kBytes, kUtf8, kUtf16, kUtf32 };

struct TextStream {
  iconv_t converter = reinterpret_cast<iconv_t>(-1);  // not owned; -1: bytes as they are
  TextSource source = TextSource::kBytes;
  unsigned char replacement[8] = {'?'};
  size_t replacementLength = 1;
  unsigned char pending[8] = {};  // the start of a character cut by the piece's end
  size_t pendingLength = 0;
  uint64_t replaced = 0;          // replacement characters written, over every value
  std::vector<char> out;
  std::vector<unsigned char> joined;
};

// How many bytes a character of the source named as iconv names it takes
// when the converter rejects one: UTF-16 and UCS-2 2, UTF-32 and UCS-4 4,
// UTF-8 its lead byte and continuation bytes, anything else 1.
TextSource textSourceOf(const char* iconvName);
// Sets the converter, its source and the replacement: U+FFFD as the target
// (an iconv name) writes it, else "?".
void setTextStream(TextStream& s, iconv_t converter, TextSource source, const char* target);
// Starts a value: nothing pending, the converter in its initial state.
void beginTextStream(TextStream& s);
// Converts one piece; *out points at the converted bytes until the next
// call. Without a converter *out is the piece itself.
size_t convertTextPiece(TextStream& s, const unsigned char* bytes, size_t length,
                        const unsigned char** out);
// Ends a value: a character still cut becomes one replacement; then the
// target's closing sequence, if it has one.
size_t finishTextStream(TextStream& s, const unsigned char** out);

// The iconv name of the character set national text is converted to when no
// ICONV_NCHAR/ICONV_NCLOB is set (as open_national_converter chooses it).
const char* national_target_name(uint16_t charset);
// True for the multi-byte database character sets AL32UTF8 and UTF8, whose
// CLOBs are stored as AL16UTF16.
bool is_utf8_database_charset(uint16_t charset);
