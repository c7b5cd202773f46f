// Extended ROWIDs: 18 base-64 digits holding the data object id (6 digits),
// relative file number (3), block number (6) and row slot (3).
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int kRowidLength = 18;

// The base-64 alphabet A-Z a-z 0-9 + /. A value above 63 maps to 'A', a
// character outside the alphabet to 0.
char INDEX2CHAR(uint32_t value);
uint32_t CHAR2INDEX(char c);

// Writes the n low 6-bit groups of value as digits, most significant first.
void printRowidUB4(FILE* stream, uint32_t value, int n);

// Writes the listing of the parts and the ROWID built from them.
void RowidCreate(FILE* stream, uint32_t objd, uint32_t rdba, uint16_t slot);

// Checks and decodes an 18-digit ROWID, then writes the listing; an invalid
// text writes one error line instead.
void RowidParse(FILE* stream, const char* text);
