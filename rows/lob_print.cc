// Text output of LOB columns. A LOB column holds a locator; reading the
// value it points at (inline data, block extents, LOB maps) belongs to the
// LOB reader, which supplies these bodies. Until it does, LOB columns are
// written as empty fields, never as the raw locator bytes.
#include "rows/dmp_writer.h"
#include "rows/dump_rows.h"
#include "rows/value_format.h"

void printBLOB(FILE*, SessionContext&, uint32_t, uint32_t) {}
void printCLOB(FILE*, SessionContext&, uint32_t, uint32_t) {}
void printNCLOB(FILE*, SessionContext&, uint32_t, uint32_t) {}

// The export dump form: until the LOB reader supplies the value, a LOB
// column is written as a NULL item so that the row keeps its column count.
void dumpLOBValue(FILE* stream, SessionContext&, const unsigned char*, uint32_t, uint8_t, uint16_t) {
  printDmpNull(stream);
}
