#include "dump/block_listings.h"

#include <memory>

#include "datafile/file_walk.h"
#include "dump/brief_header.h"
#include "format/block_layout.h"
#include "format/index_layout.h"

namespace {

constexpr int kTypeExamples = 10;

struct TypeExamples {
  uint8_t count = 0;
  uint32_t rdba[kTypeExamples] = {};
};

}  // namespace

void listSegmentHeader(FILE* out, SessionContext& ctx, uint32_t objd, uint16_t file) {
  walkFileBlocks(ctx, file, [&](const FileWalk&, uint32_t) {
    if (!isSegmentHeaderType(getBlockType(ctx))) return true;
    if (objd != 0 && getDataObjectID(ctx) != objd) return true;
    printBriefHeader(out, ctx);
    return objd == 0;
  });
}

void listDataBlock(FILE* out, SessionContext& ctx, uint32_t objd, uint16_t file,
                   uint32_t blocks) {
  if (objd != 0) {
    // The walk ends once the object's last wanted block is printed.
    const uint32_t wanted = blocks != 0 ? blocks : 1;
    uint32_t printed = 0;
    walkFileBlocks(ctx, file, [&](const FileWalk&, uint32_t) {
      if (getBlockType(ctx) != kBlockTypeData || getDataObjectID(ctx) != objd) return true;
      printBriefHeader(out, ctx);
      return ++printed < wanted;
    });
    return;
  }
  bool any = false;
  uint32_t last = 0, count = 0;
  walkFileBlocks(ctx, file, [&](const FileWalk&, uint32_t) {
    if (getBlockType(ctx) != kBlockTypeData) return true;
    const uint32_t id = getDataObjectID(ctx);
    if (!any || id != last) {
      any = true;
      last = id;
      count = 1;
      printBriefHeader(out, ctx);
    } else if (blocks == 0 || count < blocks) {
      count++;
      printBriefHeader(out, ctx);
    }
    return true;
  });
}

void listDataBlockType(FILE* out, SessionContext& ctx, uint16_t file) {
  auto examples = std::make_unique<TypeExamples[]>(256);
  walkFileBlocks(ctx, file, [&](const FileWalk& r, uint32_t b) {
    const uint32_t block = ctx.bigfile ? b : rdbaBlock(b);
    const uint32_t address = static_cast<uint32_t>(r.rfn) * 4194304u + block;
    TypeExamples& e = examples[getBlockType(ctx)];
    for (uint8_t i = 0; i < e.count; i++)
      if (e.rdba[i] == address) return true;
    if (e.count < kTypeExamples) e.rdba[e.count++] = address;
    return true;
  });
  for (int type = 0; type < 256; type++) {
    const TypeExamples& e = examples[type];
    if (e.count == 0) continue;
    fprintf(out, "type=0x%02x (%s) \n  rdba=", type, get_ora_block_name(static_cast<uint8_t>(type)));
    for (uint8_t i = 0; i < e.count; i++) fprintf(out, i == 0 ? "0x%08x" : ", 0x%08x", e.rdba[i]);
    fputc('\n', out);
  }
}


void printIndexRowHeader(FILE* stream, const SessionContext& ctx) {
  fprintf(stream, "kdxcolev=%u\n", getIndexColev(ctx));
  fprintf(stream, "kdxcolok=%u\n", getIndexColok(ctx));
  fprintf(stream, "kdxcoopc=0x%02x opcode=%u\n", getIndexCoopc(ctx), getIndexOpcode(ctx));
  fprintf(stream, "kdxconco=%u\n", getIndexColumnCount(ctx));
  fprintf(stream, "kdxcosdc=%u\n", getIndexCosdc(ctx));
  fprintf(stream, "kdxconro=%u\n", getIndexRowCount(ctx));
  fprintf(stream, "kdxcofbo=%u=0x%04x\n", getIndexFreeSpaceBegin(ctx), getIndexFreeSpaceBegin(ctx));
  fprintf(stream, "kdxcofeo=%u=0x%04x\n", getIndexFreeSpaceEnd(ctx), getIndexFreeSpaceEnd(ctx));
  fprintf(stream, "kdxcoavs=%u\n", getIndexFreeSpace(ctx));
  if (getIndexColev(ctx) != 0) {
    fprintf(stream, "kdxbrlmc=%u=0x%08x\n", getIndexBrlmc(ctx), getIndexBrlmc(ctx));
    fprintf(stream, "kdxbrsno=%u\n", getIndexBrsno(ctx));
    fprintf(stream, "kdxbrbksz=%u\n", getIndexBrbksz(ctx));
    return;
  }
  fprintf(stream, "kdxlespl=%u\n", getIndexLespl(ctx));
  fprintf(stream, "kdxlende=%u\n", getIndexLende(ctx));
  fprintf(stream, "kdxlenxt=0x%08x=%u,kdxleprv=0x%08x=%u\n", getIndexLenxt(ctx), getIndexLenxt(ctx),
          getIndexLeprv(ctx), getIndexLeprv(ctx));
  fprintf(stream, "kdxledsz=%u\n", getIndexLedsz(ctx));
  fprintf(stream, "kdxlebksz=%u\n", getIndexLebksz(ctx));
}
