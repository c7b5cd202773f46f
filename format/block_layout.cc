#include "format/block_layout.h"

#include <cstring>

void getDatabaseName(const SessionContext& c, char* out) {
  for (size_t i = 0; i < kDatabaseNameLength; i++) out[i] = static_cast<char>(sessionUB1(c, kDatabaseNameOffset + i));
  out[kDatabaseNameLength] = 0;
}

uint32_t getTablespaceName(const SessionContext& c, char* out) {
  out[0] = 0;
  const uint8_t format = getBlockFormat(c);
  const uint32_t len = sessionUB2(c, tablespaceNameLengthOffset(format));
  const size_t at = tablespaceNameOffset(format);
  if (len == 0 || len > kMaxTablespaceNameLength || c.blockBuffer == nullptr || at + len > c.blockSize)
    return 0;
  memcpy(out, c.blockBuffer + at, len);
  out[len] = 0;
  return len;
}

namespace {

struct BlockTypeName {
  uint8_t type;
  const char* name;
};

const BlockTypeName kBlockTypeNames[] = {
    {2, "KTU UNDO BLOCK"},
    {6, "trans data"},
    {14, "KTU UNDO HEADER W/UNLIMITED EXTENTS"},
    {16, "DATA SEGMENT HEADER - UNLIMITED"},
    {23, "BITMAPPED DATA SEGMENT HEADER"},
    {25, "BITMAP INDEX BLOCK"},
    {26, "BITMAP BLOCK"},
    {27, "LOB BLOCK BLOB"},
    {29, "KTFB Bitmapped File Space Header"},
    {30, "KTFB Bitmapped File Space Bitmap"},
    {32, "FIRST LEVEL BITMAP BLOCK"},
    {33, "SECOND LEVEL BITMAP BLOCK"},
    {35, "PAGETABLE SEGMENT HEADER"},
    {38, "KTU SMU HEADER BLOCK"},
    {40, "LOB BLOCK CLOB"},
    {61, "NGLOB: Hash Bucket"},
    {62, "NGLOB: Committed Free Space"},
    {63, "NGLOB: Segment Header"},
    {64, "NGLOB: Persistent Undo"},
    {69, "NGLOB: Lob Extent Header"},
    {80, "KTFBN File Space Property Map"},
    {81, "Stats Segment Header"},
    {82, "Stats Map"},
    {83, "Stats Map Summary"},
    {84, "Stats bitmap"},
};

}  // namespace

const char* get_ora_block_name(uint8_t type) {
  for (const BlockTypeName& e : kBlockTypeNames)
    if (e.type == type) return e.name;
  return "Unknown Block";
}
