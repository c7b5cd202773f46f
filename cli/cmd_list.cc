// LIST: users, character sets and the objects of one user from the
// dictionary files.
#include <cstring>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/interpreter.h"
#include "dict/dict_files.h"
#include "values/charset.h"

namespace {

// In the order of the LIST keywords, from 1; TO follows them.
enum class ListKind { None, Table, View, Procedure, Function, Index, Package, Charset, User };
constexpr int kListTo = 9;

void copyWord(const CommandBuffer& cmd, char* dst, size_t size) {
  size_t n = cmd.end - cmd.start;
  if (n > size - 1) n = size - 1;
  memset(dst, 0, size);
  memcpy(dst, cmd.text + cmd.start, n);
}

}  // namespace

void runListCommand(ZUTState& st) {
  CommandBuffer& cmd = st.cmd;
  ListKind kind = ListKind::None;
  memset(st.ownerName, 0, sizeof st.ownerName);
  memset(st.fileName, 0, sizeof st.fileName);
  int selected = kNoKeyword;
  ArgumentWord got;
  while ((got = nextArgument(cmd, {"TABLE", "VIEW", "PROCEDURE", "FUNCTION", "INDEX", "PACKAGE",
                                   "CHARSET", "USER", "TO"},
                             selected)) != kArgumentsEnd) {
    if (got == kArgumentKeyword) {
      if (selected != kListTo) kind = static_cast<ListKind>(selected);
      // CHARSET and USER take no word; an object kind takes the user name.
      if (kind == ListKind::Charset || kind == ListKind::User) selected = kNoKeyword;
      continue;
    }
    if (selected == kListTo) copyWord(cmd, st.fileName, sizeof st.fileName);
    else if (selected != kNoKeyword) copyWord(cmd, st.ownerName, sizeof st.ownerName);
    selected = kNoKeyword;
  }

  if (kind == ListKind::Charset) {
    get_ora_charset_list(stdout);
    return;
  }
  if (kind == ListKind::User) {
    listUserName(stdout);
    return;
  }
  if (kind == ListKind::None || st.ownerName[0] == 0) {
    fputs("  LIST { TABLE | VIEW | PROCEDURE | FUNCTION |INDEX | PACKAGE } username\n"
          "  LIST { USER | CHARSET } \n",
          stdout);
    return;
  }
  FILE* out = openOutputFile(st, st.fileName);
  if (out == nullptr) return;
  DictObjectEntry object;
  const int style = st.ctx.outputStyle;
  switch (kind) {
    case ListKind::Table:
      listObjectName(out, object, st.ownerName, kObjTable, style);
      listObjectName(out, object, st.ownerName, kObjTablePartition, style);
      listObjectName(out, object, st.ownerName, kObjTableSubpartition, style);
      break;
    case ListKind::View: listObjectName(out, object, st.ownerName, kObjView, style); break;
    case ListKind::Procedure: listObjectName(out, object, st.ownerName, kObjProcedure, style); break;
    case ListKind::Function: listObjectName(out, object, st.ownerName, kObjFunction, style); break;
    case ListKind::Index: listObjectName(out, object, st.ownerName, kObjIndex, style); break;
    case ListKind::Package: listObjectName(out, object, st.ownerName, kObjPackage, style); break;
    default: break;
  }
  closeOutputFile(st, out, st.fileName);
}
