// LOB column values. Reading the value a locator points at (inline data,
// block extents, LOB maps) is not done yet: until it is, LOB columns are
// written as empty fields, never as the raw locator bytes.
#include "lob/lob_value.h"

#include "export/dmp_writer.h"

void printBLOB(FILE*, SessionContext&, uint32_t, uint32_t) {}
void printCLOB(FILE*, SessionContext&, uint32_t, uint32_t) {}
void printNCLOB(FILE*, SessionContext&, uint32_t, uint32_t) {}

// The export dump form: until the value is read, a LOB column is written as
// a NULL item so that the row keeps its column count.
void dumpLOBValue(FILE* stream, SessionContext&, const unsigned char*, uint32_t, uint8_t, uint16_t) {
  printDmpNull(stream);
}
