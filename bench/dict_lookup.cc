// Table resolution in a large dictionary: 100,000 objects (table entries
// with their TAB$ rows) and 2,000,000 column lines in the 100 bucket files.
// One lookup is what UNLOAD TABLE and DESC do before reading blocks: the
// owner, the object, its table entry and its column types. Reports the time
// per lookup (first table, last table, random tables, a table with named
// types), the DESC listing and CREATE statement, and the peak resident size.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "bench/common/bench_session.h"
#include "dict/column_types.h"
#include "dict/dict_files.h"
#include "tools/builder/dict_files.h"

namespace {

using namespace mkdb;

constexpr uint32_t kObjects = 100000;
constexpr uint32_t kColumnsPerTable = 20;  // 2,000,000 column lines
constexpr uint32_t kUsers = 1000;
constexpr uint32_t kFirstObj = 10000;
constexpr uint32_t kXmlEvery = 100;  // every 100th table has an XMLTYPE column

double secondsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

std::string userName(uint32_t i) {
  char b[32];
  snprintf(b, sizeof b, "USER_%04u", i);
  return b;
}

std::string tableName(uint32_t i) {
  char b[32];
  snprintf(b, sizeof b, "TABLE_%06u", i);
  return b;
}

// Streams the files line by line so that building them costs no memory.
void writeDictionary() {
  FILE* usr = fopen("ZUTDICT/ZUTUSR.TXT", "wb");
  FILE* obj = fopen("ZUTDICT/ZUTOBJ.TXT", "wb");
  FILE* tab = fopen("ZUTDICT/ZUTTAB.TXT", "wb");
  FILE* col = fopen("ZUTDICT/ZUTCOL.TXT", "wb");
  FILE* typ = fopen("ZUTDICT/ZUTTYP.TXT", "wb");
  if (!usr || !obj || !tab || !col || !typ) {
    perror("ZUTDICT");
    exit(1);
  }
  fputs(dictUserLine({0, "SYS"}).c_str(), usr);
  for (uint32_t u = 1; u <= kUsers; u++) fputs(dictUserLine({u, userName(u)}).c_str(), usr);
  const std::string xmlOid = "00000000000000000000000000020100";
  fputs(dictObjectLine({5000, 0, "XMLTYPE", "", 13, xmlOid}).c_str(), obj);
  for (uint32_t i = 0; i < kObjects; i++) {
    const uint32_t id = kFirstObj + i;
    const uint32_t owner = 1 + i % kUsers;
    fputs(dictObjectLine({id, owner, tableName(i), "", 2, ""}).c_str(), obj);
    fputs(dictTabLine({id, id, 4, static_cast<uint32_t>(1 + i % 7), 128 + 8 * i, 0}).c_str(), tab);
    const bool xml = i % kXmlEvery == 0;
    uint32_t seg = 0;
    for (uint32_t c = 1; c <= kColumnsPerTable; c++) {
      DictColRow r;
      r.objId = id;
      r.colId = c;
      r.intColId = c;
      char name[32];
      snprintf(name, sizeof name, "COLUMN_NAME_%02u", c);
      r.name = name;
      if (xml && c == 2) {
        r.segColId = 0;
        r.type = 58;
        r.length = 2000;
        fputs(dictColumnTypeLine({id, c, c, xmlOid, 1, 0, 0}).c_str(), typ);
      } else {
        r.segColId = ++seg;
        r.type = c % 3 == 0 ? 12 : (c % 3 == 1 ? 2 : 1);
        r.length = r.type == 1 ? 100 : 22;
        if (r.type == 2) {
          r.precision = 10;
          r.scale = 2;
        }
        if (xml && c == 3) r.type = 113;
      }
      fputs(dictColumnLine(r).c_str(), col);
    }
  }
  for (FILE* f : {usr, obj, tab, col, typ}) fclose(f);
}

struct Resolved {
  DictObjectEntry object;
  DictTableEntry table;
};

// Owner, table, segment header and column types, as UNLOAD TABLE does.
bool resolveTable(uint32_t i, SessionContext& ctx, TableDescriptor& desc, Resolved& r) {
  DictUserEntry user;
  if (!getORASYSUSER(user, userName(1 + i % kUsers).c_str())) return false;
  r.object.resolvedId = 0;
  if (!getORASYSOBJ(r.object, user.userId, tableName(i).c_str(), "")) return false;
  if (!getORASYSTAB(r.table, r.object.resolvedId)) return false;
  DictColumnEntry scratch;
  getORACOLTYPE(scratch, r.object, "", ctx, desc);
  return desc.columnCount == (i % kXmlEvery == 0 ? kColumnsPerTable - 1 : kColumnsPerTable);
}

void timeLookups(const char* label, const std::vector<uint32_t>& tables, SessionContext& ctx,
                 TableDescriptor& desc) {
  Resolved r;
  auto t0 = std::chrono::steady_clock::now();
  for (uint32_t i : tables) {
    if (!resolveTable(i, ctx, desc, r)) {
      printf("  lookup of table %u failed\n", i);
      exit(1);
    }
  }
  double s = secondsSince(t0) / static_cast<double>(tables.size());
  printf("  %-44s %8.2f ms per lookup (%zu lookups)\n", label, s * 1e3, tables.size());
}

}  // namespace

int main() {
  const std::string dir = makeBenchDir("zut-bench-dict");
  if (dir.empty() || chdir(dir.c_str()) != 0) return 1;
  mkdir("ZUTDICT", 0777);
  auto t0 = std::chrono::steady_clock::now();
  writeDictionary();
  printf("  dictionary: %u objects, %u column lines, written in %.2f s\n", kObjects,
         kObjects * kColumnsPerTable, secondsSince(t0));
  auto ctx = std::make_unique<SessionContext>();
  t0 = std::chrono::steady_clock::now();
  hashDictColumnMap(*ctx);
  printf("  hashDictColumnMap (100 buckets):             %8.2f s\n", secondsSince(t0));
  const long rssBefore = maxRssKiB(RUSAGE_SELF);

  auto desc = std::make_unique<TableDescriptor>();
  std::mt19937 rng(42);
  std::vector<uint32_t> random;
  for (int k = 0; k < 50; k++) random.push_back(rng() % kObjects);
  timeLookups("first table (TABLE_000001)", std::vector<uint32_t>(20, 1), *ctx, *desc);
  timeLookups("last table (TABLE_099999)", std::vector<uint32_t>(20, kObjects - 1), *ctx, *desc);
  timeLookups("random tables", random, *ctx, *desc);
  timeLookups("table with an XMLTYPE column (TABLE_099900)",
              std::vector<uint32_t>(20, kObjects - kXmlEvery), *ctx, *desc);

  Resolved r;
  resolveTable(kObjects - kXmlEvery, *ctx, *desc, r);
  FILE* devnull = fopen("/dev/null", "wb");
  DictColumnEntry scratch;
  t0 = std::chrono::steady_clock::now();
  for (int k = 0; k < 20; k++) getORASYSCOL(devnull, scratch, r.object.objId);
  printf("  %-44s %8.2f ms per listing\n", "DESC column listing (getORASYSCOL)",
         secondsSince(t0) / 20 * 1e3);
  std::string statement;
  t0 = std::chrono::steady_clock::now();
  for (int k = 0; k < 20; k++) getCreateSyntax(statement, scratch, r.object, "", 1);
  printf("  %-44s %8.2f ms per statement\n", "CREATE TABLE (getCreateSyntax)",
         secondsSince(t0) / 20 * 1e3);
  fclose(devnull);

  printf("  peak RSS: %.1f MiB after building the files, %.1f MiB after the lookups\n",
         rssBefore / 1024.0, maxRssKiB(RUSAGE_SELF) / 1024.0);
  if (chdir("/") == 0) {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  return 0;
}
