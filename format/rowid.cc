#include "format/rowid.h"

#include <cstring>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool isRowidDigit(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '+' || c == '/';
}

}  // namespace

char INDEX2CHAR(uint32_t value) { return value < 64 ? kAlphabet[value] : 'A'; }

uint32_t CHAR2INDEX(char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<uint32_t>(c - 'A');
  if (c >= 'a' && c <= 'z') return static_cast<uint32_t>(c - 'a') + 26;
  if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0') + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return 0;
}

void printRowidUB4(FILE* stream, uint32_t value, int n) {
  for (int i = n - 1; i >= 0; i--) {
    // Groups above bit 31 are empty.
    uint32_t group = 6 * i < 32 ? (value >> (6 * i)) & 0x3F : 0;
    fputc(INDEX2CHAR(group), stream);
  }
}

void RowidCreate(FILE* stream, uint32_t objd, uint32_t rdba, uint16_t slot) {
  const uint32_t file = rdba >> 22;
  const uint32_t block = rdba & 0x3FFFFF;
  fprintf(stream, "\nOBJD  = %u\n", objd);
  fprintf(stream, "RDBA  = 0x%08x = %u\n", rdba, rdba);
  fprintf(stream, "RFN#  = %u\n", file);
  fprintf(stream, "BID#  = %u\n", block);
  fprintf(stream, "SLOT  = %u\n", static_cast<unsigned>(slot));
  fputs("ROWID = ", stream);
  printRowidUB4(stream, objd, 6);
  printRowidUB4(stream, file, 3);
  printRowidUB4(stream, block, 6);
  printRowidUB4(stream, slot, 3);
  fputs("\n\n", stream);
}

void RowidParse(FILE* stream, const char* text) {
  if (text == nullptr || strlen(text) != kRowidLength) {
    fputs("Invalid rowid length!\n", stream);
    return;
  }
  for (int i = 0; i < kRowidLength; i++) {
    if (!isRowidDigit(text[i])) {
      fprintf(stream, "Invalid rowid value : %c !\n", text[i]);
      return;
    }
  }
  uint32_t d[kRowidLength];
  for (int i = 0; i < kRowidLength; i++) d[i] = CHAR2INDEX(text[i]);
  const uint32_t objd = d[0] << 30 | d[1] << 24 | d[2] << 18 | d[3] << 12 | d[4] << 6 | d[5];
  // The first file digit and the first two block digits carry no bits.
  const uint32_t file = (d[7] & 0xF) << 6 | d[8];
  const uint32_t block = (d[11] << 18 | d[12] << 12 | d[13] << 6 | d[14]) & 0x3FFFFF;
  const uint16_t slot = static_cast<uint16_t>(d[15] * 4096 + d[16] * 64 + d[17]);
  RowidCreate(stream, objd, file << 22 | block, slot);
}
