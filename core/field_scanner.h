// Field and number scanners over one line of text: the comma-separated
// fields of dictionary and extent list lines, the delimited strings of
// commands, and the decimal and hexadecimal numbers in them.
//
// A scanner keeps three indexes in front of a caller-sized text: the start
// and end of the current token and the number of characters it may look at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct FieldScanner {
  uint32_t start = 0;
  uint32_t end = 0;
  int32_t length = 0;
  const char* text = nullptr;
};

// The next comma-separated field; returns its length (0 for an empty field or
// the end of the text).
int scanNextField(FieldScanner& rec);
// The next text up to the delimiter; returns its length.
int scanNextString(FieldScanner& rec, char delimiter);

// Hexadecimal after "0x"/"0X", decimal otherwise.
uint64_t parseInteger(const char* text);
// Decimal conversion of at most maxChars characters, as a signed 64-bit value.
int64_t parseDecimalPrefix(const char* text, int maxChars);

// Reads one line of a text file (a dictionary file, an extent list) into buf
// (NUL-terminated, at most size - 1 characters kept). Returns false at the end of the file. *length is
// the line's full length, line feed included, even when it did not fit, so
// the parsers' length check rejects an over-long line as a whole instead of
// taking its pieces for lines of their own.
bool readDictLine(FILE* f, char* buf, size_t size, size_t* length);
