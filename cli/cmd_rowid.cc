// ROWID: builds a ROWID from its parts (CREATE) or splits ROWIDs (PARSE).
#include <cstdlib>
#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/interpreter.h"
#include "format/rowid.h"

namespace {

std::string currentWord(const CommandBuffer& cmd) {
  return std::string(cmd.text + cmd.start, cmd.end - cmd.start);
}

// The largest value each part of a ROWID holds.
constexpr uint64_t kRowidObjectMax = 0xFFFFFFFFu;
constexpr uint64_t kRowidSlotMax = 0xFFFF;
constexpr uint64_t kRowidFileMax = 0x3FF;     // 10 bits of the block address
constexpr uint64_t kRowidBlockMax = 0x3FFFFF;  // 22 bits

void rowidCreate(CommandBuffer& cmd) {
  enum Field { kNone, kObject, kSlot, kFile, kBlock, kRdba };
  uint32_t objd = 0, block = 0, rdba = 0;
  uint16_t slot = 0, file = 0;
  int selected = kNone;
  ArgumentWord got;
  while ((got = nextArgument(cmd, {"OBJECT", "SLOT", "FILE", "BLOCK", "RDBA"}, selected)) !=
         kArgumentsEnd) {
    if (got == kArgumentKeyword) continue;
    const std::string w = currentWord(cmd);
    switch (selected) {
      case kObject: objd = static_cast<uint32_t>(decimalArgument(w.c_str(), kRowidObjectMax)); break;
      case kSlot: slot = static_cast<uint16_t>(decimalArgument(w.c_str(), kRowidSlotMax)); break;
      case kFile: file = static_cast<uint16_t>(decimalArgument(w.c_str(), kRowidFileMax)); break;
      case kBlock: block = static_cast<uint32_t>(decimalArgument(w.c_str(), kRowidBlockMax)); break;
      case kRdba: rdba = static_cast<uint32_t>(parseInteger(w.c_str())); break;
      default: break;
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
