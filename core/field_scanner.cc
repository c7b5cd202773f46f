#include "core/field_scanner.h"

#include <cstdlib>

int scanNextField(FieldScanner& rec) {
  const uint32_t len = rec.length > 0 ? static_cast<uint32_t>(rec.length) : 0;
  rec.start = rec.end;
  if (rec.end >= len || rec.text[rec.end] == 0) return 0;
  uint32_t p = rec.end;
  if (p != 0) p++;
  rec.start = rec.end = p;
  if (p >= len || rec.text[p] == 0 || rec.text[p] == ',') return 0;
  while (p < len && rec.text[p] != 0 && rec.text[p] != ',') p++;
  rec.end = p;
  return static_cast<int>(rec.end - rec.start);
}

int scanNextString(FieldScanner& rec, char delimiter) {
  const uint32_t len = rec.length > 0 ? static_cast<uint32_t>(rec.length) : 0;
  uint32_t p = rec.end;
  if (p != 0) p++;
  rec.start = p;
  if (p < len && rec.text[p] != delimiter) {
    while (p < len && rec.text[p] != delimiter) p++;
    rec.end = p;
    return static_cast<int>(rec.end - rec.start);
  }
  rec.end = p;
  return 0;
}

uint64_t parseInteger(const char* text) {
  if ((text[0] == '0') && (text[1] == 'x' || text[1] == 'X'))
    return strtoull(text + 2, nullptr, 16);
  return static_cast<uint64_t>(strtoll(text, nullptr, 10));
}

int64_t parseDecimalPrefix(const char* text, int maxChars) {
  char buf[32];
  int n = 0;
  while (n < maxChars && n < 31 && text[n]) {
    buf[n] = text[n];
    n++;
  }
  buf[n] = 0;
  return strtoll(buf, nullptr, 10);
}

bool readDictLine(FILE* f, char* buf, size_t size, size_t* length) {
  size_t n = 0;
  size_t kept = 0;
  int c = EOF;
  while ((c = getc_unlocked(f)) != EOF) {
    if (kept + 1 < size) buf[kept++] = static_cast<char>(c);
    n++;
    if (c == '\n') break;
  }
  if (size > 0) buf[kept] = 0;
  *length = n;
  return n > 0;
}
