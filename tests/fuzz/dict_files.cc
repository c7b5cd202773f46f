// Damaged dictionary files: the input is cut at 0xFE bytes into the user,
// object, table, column type and column bucket files of a scratch ZUTDICT;
// then every lookup, listing and column operation runs on them, and every
// line goes through every parser. Nothing may read or write out of bounds.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/session_context.h"
#include "dict/column_types.h"
#include "dict/dict_files.h"
#include "tests/fuzz/common/fuzz_session.h"

namespace {

void writeFile(const char* path, const uint8_t* data, size_t size) {
  FILE* f = fopen(path, "wb");
  if (f == nullptr) return;
  fwrite(data, 1, size, f);
  fclose(f);
}

void parseEveryLine(const uint8_t* data, size_t size) {
  size_t at = 0;
  while (at < size) {
    size_t end = at;
    while (end < size && data[end] != '\n') end++;
    if (end < size) end++;
    // An exact-size heap copy, so a read past the line is caught.
    std::vector<char> line(data + at, data + end);
    auto cursor = [&] {
      FieldScanner c;
      c.text = line.data();
      c.length = static_cast<int32_t>(line.size());
      return c;
    };
    DictUserEntry u;
    DictObjectEntry o;
    DictTableEntry t;
    DictColumnEntry c;
    DictColumnTypeEntry y;
    DictRecycleBinEntry b;
    FieldScanner c1 = cursor(), c2 = cursor(), c3 = cursor(), c4 = cursor(), c5 = cursor(),
                 c6 = cursor();
    parseORASYSUSER(u, c1);
    parseORASYSOBJ(o, c2);
    parseORASYSTAB(t, c3);
    parseORASYSCOL(c, c4);
    parseORASYSCOLTYPE(y, c5);
    parseORASYSRECYCLEBIN(b, c6);
    at = end;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string dir = makeFuzzScratch("dict");
  if (dir.empty() || chdir(dir.c_str()) != 0) return 1;
  mkdir("ZUTDICT", 0777);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kFiles[] = {kDictUserFile, kDictObjectFile, kDictTableFile,
                                       kDictColumnTypeFile, ZUT_DICT_DIR "/ZUTCOLMAP07.TXT"};
  size_t at = 0;
  for (const char* path : kFiles) {
    size_t end = at;
    while (end < size && data[end] != 0xFE) end++;
    writeFile(path, data + at, end - at);
    at = end < size ? end + 1 : end;
  }
  parseEveryLine(data, size);

  DictUserEntry user;
  getORASYSUSER(user, "SCOTT");
  getORASYSUSERID(user, 1);
  DictObjectEntry object;
  object.resolvedId = 0;
  getORASYSOBJ(object, 1, "T", "P");
  object.resolvedId = 0;
  getORASYSOBJ(object, 1, "T", "");
  getORASYSOBJID(object, 7);
  getORASYSOBJOID(object, "AB");
  DictTableEntry table;
  getORASYSTAB(table, 7);
  DictColumnTypeEntry coltype;
  getORASYSCOLTYPE(coltype, 7, 1, 1);
  listUserName(stdout);
  listObjectName(stdout, object, "SCOTT", 2, 0);

  DictObjectEntry t7;
  t7.objId = 7;
  DictColumnEntry scratch;
  static auto ctx = std::make_unique<SessionContext>();
  static auto desc = std::make_unique<TableDescriptor>();
  getORACOLTYPE(scratch, t7, "", *ctx, *desc);
  getORASYSCOL(stdout, scratch, 7);
  std::string statement;
  getCreateSyntax(statement, scratch, t7, "", 1);
  return 0;
}
