#include "rows/print_field.h"

#include "lob/lob_value.h"
#include "values/value_format.h"

void printField(FILE* stream, SessionContext& ctx, uint32_t offset, uint32_t length,
                uint8_t type, uint16_t charsetForm) {
  if (!isFieldInBlock(ctx, offset, length)) return;
  switch (type) {
    case kColClob:
      if (charsetForm == 2) return printNCLOB(stream, ctx, offset, length);
      return printCLOB(stream, ctx, offset, length);
    case kColNClob:
      return printNCLOB(stream, ctx, offset, length);
    case kColBlob:
      return printBLOB(stream, ctx, offset, length);
    default:
      return printFieldValue(stream, ctx, ctx.blockBuffer + offset, length, type, charsetForm);
  }
}
