#include "rows/dump_value.h"

void printDmpNull(FILE* stream) {
  static const unsigned char kNull[2] = {0xFE, 0xFF};
  fwrite_unlocked(kNull, 1, 2, stream);
}

void printDmpValue(FILE* stream, const unsigned char* bytes, uint16_t length) {
  if (length == 0) return printDmpNull(stream);
  const unsigned char head[2] = {static_cast<unsigned char>(length & 0xFF),
                                 static_cast<unsigned char>(length >> 8)};
  fwrite_unlocked(head, 1, 2, stream);
  fwrite_unlocked(bytes, 1, length, stream);
}
