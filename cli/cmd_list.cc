// LIST: users, character sets and the objects of one user from the
// dictionary files.
#include <cstring>

#include "cli/commands.h"
#include "cli/interpreter.h"
#include "dict/dict_files.h"
#include "values/charset.h"

namespace {

enum class ListKind { None, Table, View, Procedure, Function, Index, Package, Charset, User };

struct ListKeyword {
  const char* word;
  ListKind kind;
};

constexpr ListKeyword kObjectKeywords[] = {
    {"TABLE", ListKind::Table},         {"VIEW", ListKind::View},
    {"PROCEDURE", ListKind::Procedure}, {"FUNCTION", ListKind::Function},
    {"INDEX", ListKind::Index},         {"PACKAGE", ListKind::Package},
};

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
  enum class Expect { Nothing, UserName, FileName } expect = Expect::Nothing;
  memset(st.ownerName, 0, sizeof st.ownerName);
  memset(st.fileName, 0, sizeof st.fileName);
  while (scanNextWord(cmd) > 0) {
    bool keyword = false;
    for (const ListKeyword& k : kObjectKeywords) {
      if (compareKeyword(cmd, k.word) == 0) {
        kind = k.kind;
        expect = Expect::UserName;
        keyword = true;
        break;
      }
    }
    if (keyword) continue;
    if (compareKeyword(cmd, "CHARSET") == 0) {
      kind = ListKind::Charset;
      expect = Expect::Nothing;
    } else if (compareKeyword(cmd, "USER") == 0) {
      kind = ListKind::User;
      expect = Expect::Nothing;
    } else if (compareKeyword(cmd, "TO") == 0) {
      expect = Expect::FileName;
    } else if (expect == Expect::UserName) {
      copyWord(cmd, st.ownerName, sizeof st.ownerName);
      expect = Expect::Nothing;
    } else if (expect == Expect::FileName) {
      copyWord(cmd, st.fileName, sizeof st.fileName);
      expect = Expect::Nothing;
    }
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
  const int dmp = st.ctx.outputStyle;
  switch (kind) {
    case ListKind::Table:
      listObjectName(out, object, st.ownerName, kObjTable, dmp);
      listObjectName(out, object, st.ownerName, kObjTablePartition, dmp);
      listObjectName(out, object, st.ownerName, kObjTableSubpartition, dmp);
      break;
    case ListKind::View: listObjectName(out, object, st.ownerName, kObjView, dmp); break;
    case ListKind::Procedure: listObjectName(out, object, st.ownerName, kObjProcedure, dmp); break;
    case ListKind::Function: listObjectName(out, object, st.ownerName, kObjFunction, dmp); break;
    case ListKind::Index: listObjectName(out, object, st.ownerName, kObjIndex, dmp); break;
    case ListKind::Package: listObjectName(out, object, st.ownerName, kObjPackage, dmp); break;
    default: break;
  }
  closeOutputFile(st, out, st.fileName);
}
