#include "asm/asm_file.h"

void initASMFileHandle(ASMFileHandle& handle) {
  handle.fileNumber = kASMNoFile;
  handle.disk = 0xFFFF;
  handle.au = 0xFFFFFFFF;
  handle.block = 0;
  for (int i = 0; i < kASMExtentWindow; i++) {
    handle.extentNumber[i] = 0;
    handle.extentDisk[i] = 0;
    handle.extentAU[i] = 0;
  }
}

// This build reads no ASM disk metadata, so no disk group knows any file:
// the handle stays unset and a data file entry named "+N" gets no handle.
void getASMFileEntry(ASMDiskGroup*, ASMFileHandle&, uint32_t) {}

uint32_t readASMOracleBlock(ASMDiskGroup*, ASMFileHandle&, uint32_t, uint32_t, unsigned char*,
                            uint32_t) {
  return 0;
}
