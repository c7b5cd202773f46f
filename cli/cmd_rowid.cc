// ROWID: builds a ROWID from its parts (CREATE) or splits ROWIDs (PARSE).
#include <cstdlib>
#include <string>

#include "cli/commands.h"
#include "cli/interpreter.h"
#include "format/rowid.h"

namespace {

std::string currentWord(const CommandBuffer& cmd) {
  return std::string(cmd.text + cmd.start, cmd.end - cmd.start);
}

uint64_t decimalWord(const std::string& w) { return strtoull(w.c_str(), nullptr, 10); }

void rowidCreate(CommandBuffer& cmd) {
  enum Field { kNone, kObject, kSlot, kFile, kBlock, kRdba };
  uint32_t objd = 0, block = 0, rdba = 0;
  uint16_t slot = 0, file = 0;
  Field selected = kNone;
  while (scanNextWord(cmd) > 0) {
    if (selected == kNone) {
      if (compareKeyword(cmd, "OBJECT") == 0) selected = kObject;
      else if (compareKeyword(cmd, "SLOT") == 0) selected = kSlot;
      else if (compareKeyword(cmd, "FILE") == 0) selected = kFile;
      else if (compareKeyword(cmd, "BLOCK") == 0) selected = kBlock;
      else if (compareKeyword(cmd, "RDBA") == 0) selected = kRdba;
      continue;
    }
    const std::string w = currentWord(cmd);
    switch (selected) {
      case kObject: objd = static_cast<uint32_t>(decimalWord(w)); break;
      case kSlot: slot = static_cast<uint16_t>(decimalWord(w)); break;
      case kFile: file = static_cast<uint16_t>(decimalWord(w)); break;
      case kBlock: block = static_cast<uint32_t>(decimalWord(w)); break;
      case kRdba: rdba = static_cast<uint32_t>(parseInteger(w.c_str())); break;
      case kNone: break;
    }
    selected = kNone;
  }
  if (rdba == 0) rdba = static_cast<uint32_t>(file) << 22 | (block & 0x3FFFFF);
  RowidCreate(stdout, objd, rdba, slot);
}

void rowidParse(CommandBuffer& cmd) {
  while (scanNextWord(cmd) > 0) {
    if (cmd.end - cmd.start != kRowidLength) continue;
    RowidParse(stdout, currentWord(cmd).c_str());
  }
}

}  // namespace

void runRowidCommand(ZUTState& st) {
  CommandBuffer& cmd = st.cmd;
  if (scanNextWord(cmd) == 0) {
    fputs("  ROWID CREATE OBJECT objd {[FILE rfn BLOCK bid] | [RDBA rdba]} SLOT slot \n"
          "  ROWID PARSE  rowid\n",
          stdout);
    return;
  }
  if (compareKeyword(cmd, "CREATE") == 0) rowidCreate(cmd);
  else if (compareKeyword(cmd, "PARSE") == 0) rowidParse(cmd);
}
