// Column value rendering: one printer per Oracle column type, the dispatcher
// that picks it, and the NUMBER conversions. Character set conversion lives
// in values/charset.h.
//
// Every printer reads only the bytes it is given, whatever their length, and
// writes nothing (or its best rendering) for a value that does not fit its type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/session_context.h"

// Largest NUMBER a printer converts, in bytes, and the text room it needs.
constexpr uint32_t kMaxNumberBytes = 22;
constexpr size_t kNumberTextSize = 256;
// Hexadecimal output is written in pieces of at most this many characters.
constexpr size_t kHexPieceSize = 242;
// Longest text of a BINARY_FLOAT or BINARY_DOUBLE: "-1.7976931348623157e+308".
constexpr size_t kLongestFloatText = 24;

// True when the text of a value of this type is its stored bytes: CHAR,
// VARCHAR2, VARCHAR and LONG of the database character set.
bool isStoredText(uint8_t type, uint16_t charsetForm);
// How many of the stored bytes such a value writes: CHAR values lose their
// trailing blanks.
uint32_t storedTextLength(uint8_t type, const unsigned char* value, uint32_t length);

// Writes one column value held anywhere (in a block, carried over between
// row pieces, built by a test) by its type. LOB types are not rendered here:
// a LOB locator is only meaningful inside its block, so they go through
// printField (rows/print_field.h).
void printFieldValue(FILE* stream, const SessionContext& ctx, const unsigned char* value,
                     uint32_t length, uint8_t type, uint16_t charsetForm);

void printNUMBER(FILE* stream, const SessionContext& ctx, const unsigned char* value,
                 uint32_t length);
void printDATE(FILE* stream, const SessionContext& ctx, const unsigned char* value,
               uint32_t length);
void printTIMESTAMP(FILE* stream, const SessionContext& ctx, const unsigned char* value,
                    uint32_t length);
// INTERVAL YEAR TO MONTH (5 bytes) as +YY-MM and INTERVAL DAY TO SECOND (11
// bytes) as +DD HH:MI:SS.FFFFFF (nine fraction digits when the nanoseconds
// are not whole microseconds), a minus sign for negative intervals. Nothing
// is written for a value of another length or with a field out of range.
void printINTERVALYM(FILE* stream, const SessionContext& ctx, const unsigned char* value,
                     uint32_t length);
void printINTERVALDS(FILE* stream, const SessionContext& ctx, const unsigned char* value,
                     uint32_t length);
void printBINARYFLOAT(FILE* stream, const SessionContext& ctx, const unsigned char* value,
                      uint32_t length);
void printCHAR(FILE* stream, const SessionContext& ctx, const unsigned char* value,
               uint32_t length);
void printVARCHAR(FILE* stream, const SessionContext& ctx, const unsigned char* value,
                  uint32_t length);
// National text (NCHAR, NVARCHAR2 and, from the LOB reader, NCLOB): through
// the user's converter when one is set (ICONV_NCHAR, ICONV_NCLOB; the bytes
// as stored when they do not convert), else through the session's national
// converter, unmappable characters as "?" and counted.
void printNationalText(FILE* stream, const SessionContext& ctx, iconv_t userConverter,
                       const unsigned char* value, uint32_t length);
void printNVARCHAR(FILE* stream, const SessionContext& ctx, const unsigned char* value,
                   uint32_t length);
void printVARRAW(FILE* stream, const SessionContext& ctx, const unsigned char* value,
                 uint32_t length);
void printVARRAY(FILE* stream, const SessionContext& ctx, const unsigned char* value,
                 uint32_t length);
void printNARRAY(FILE* stream, const SessionContext& ctx, const unsigned char* value,
                 uint32_t length);

// Oracle NUMBER to decimal text. Returns the characters written (no NUL is
// added), 0 when the bytes are not a number or the text would not fit.
size_t ora_number_to_string(const unsigned char* bytes, size_t length, char* text,
                            size_t capacity);
// True when the bytes are a well-formed Oracle NUMBER.
bool ora_valid_number(const unsigned char* bytes, size_t length);
