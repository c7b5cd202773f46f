// Value items of the export dump row stream. Dump files are little-endian:
// a value is its 16-bit length followed by its bytes; NULL is FE FF.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr uint32_t kMaxDumpValueLength = 65535;

// Writes one value item; a length of 0 writes the NULL item instead.
void printDmpValue(FILE* stream, const unsigned char* bytes, uint16_t length);
// Writes the NULL item.
void printDmpNull(FILE* stream);
