// zut-mkdb: writes Oracle-format data files and their configuration file from
// a short text description. See the README's developer notes for the format.
//
//   zut-mkdb [-C dir] description     ("-" reads the description from stdin;
//                                     with -C, paths are relative to dir)
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "tools/builder/datafile_builder.h"
#include "tools/builder/demo_db.h"
#include "tools/builder/dict_files.h"
#include "tools/builder/lost_tables.h"
#include "tools/builder/system_db.h"

namespace {

struct Defaults {
  uint32_t blockSize = 8192;
  uint8_t byteOrder = mkdb::kLittle;
  uint8_t format = 0xA2;
  uint32_t dbid = 0x5A555401;
  std::string dbName = "ZUTDB";
};

struct Description {
  Defaults defaults;
  std::vector<mkdb::FileImage> files;
  std::string config;
  // Dictionary files to write under ZUTDICT (the demo schema's).
  bool hasDictionary = false;
  mkdb::DictionaryRows dictionary;
};

bool parseNumber(const std::string& w, uint64_t& v) {
  if (w.empty()) return false;
  char* end = nullptr;
  errno = 0;
  v = strtoull(w.c_str(), &end, 0);
  return errno == 0 && end != nullptr && *end == 0 && w[0] != '-';
}

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> out;
  std::string cur;
  std::istringstream in(s);
  while (std::getline(in, cur, sep)) out.push_back(cur);
  return out;
}

struct LineParser {
  std::vector<std::string> words;
  size_t next = 1;
  std::string error;

  bool more() const { return next < words.size(); }
  bool word(std::string& w) {
    if (!more()) return fail("missing value after " + words[next - 1]);
    w = words[next++];
    return true;
  }
  bool number(uint64_t& v, uint64_t max = 0xFFFFFFFFULL) {
    std::string w;
    if (!word(w)) return false;
    if (!parseNumber(w, v) || v > max) return fail("bad number '" + w + "'");
    return true;
  }
  template <class T>
  bool number(T& out) {
    uint64_t v;
    if (!number(v, static_cast<uint64_t>(std::numeric_limits<T>::max()))) return false;
    out = static_cast<T>(v);
    return true;
  }
  bool fail(const std::string& m) {
    if (error.empty()) error = m;
    return false;
  }
};

bool parseSetting(LineParser& p, Defaults& d) {
  const std::string& key = p.words[0];
  if (key == "blocksize") {
    if (!p.number(d.blockSize)) return false;
    if (d.blockSize < 2048 || d.blockSize > 32768 || d.blockSize % 2048 != 0)
      return p.fail("block size must be a multiple of 2048 from 2048 to 32768");
    return true;
  }
  if (key == "byteorder") {
    std::string w;
    if (!p.word(w)) return false;
    if (w == "little") d.byteOrder = mkdb::kLittle;
    else if (w == "big") d.byteOrder = mkdb::kBig;
    else return p.fail("byte order is little or big");
    return true;
  }
  if (key == "format") return p.number(d.format);
  if (key == "dbid") return p.number(d.dbid);
  if (key == "dbname") return p.word(d.dbName);
  return p.fail("unknown line '" + key + "'");
}

bool parseFile(LineParser& p, Description& desc) {
  mkdb::FileImage f;
  const Defaults& d = desc.defaults;
  f.blockSize = d.blockSize;
  f.byteOrder = d.byteOrder;
  f.format = d.format;
  f.dbid = d.dbid;
  f.dbName = d.dbName;
  if (!p.word(f.path)) return false;
  bool fileNumberGiven = false;
  while (p.more()) {
    std::string key = p.words[p.next++];
    bool ok = true;
    if (key == "rfn") ok = p.number(f.rfn);
    else if (key == "fileno") ok = fileNumberGiven = p.number(f.fileNumber);
    else if (key == "ts") ok = p.number(f.tablespace);
    else if (key == "tsname") ok = p.word(f.tablespaceName);
    else if (key == "blocks") ok = p.number(f.blocks);
    else if (key == "hsize") ok = p.number(f.hsize);
    else if (key == "headerbsize") ok = p.number(f.headerBlockSize);
    else if (key == "bootstrap") ok = p.number(f.bootstrapRDBA);
    else if (key == "fuzzy") ok = p.number(f.fuzzy);
    else if (key == "name") ok = p.word(f.configName);
    else if (key == "bigfile") f.bigfile = true;
    else return p.fail("unknown file option '" + key + "'");
    if (!ok) return false;
  }
  if (!fileNumberGiven) f.fileNumber = f.rfn;
  mkdb::addFileHeader(f);
  desc.files.push_back(f);
  return true;
}

bool parseSegment(LineParser& p, mkdb::FileImage& f) {
  mkdb::SegmentPlan s;
  if (!p.number(s.block)) return false;
  while (p.more()) {
    std::string key = p.words[p.next++];
    std::string w;
    bool ok = true;
    if (key == "objd") ok = p.number(s.objd);
    else if (key == "type") ok = p.number(s.type);
    else if (key == "perblock") ok = p.number(s.perBlock);
    else if (key == "maptype") ok = p.number(s.mapType);
    else if (key == "extents" || key == "maps") {
      if (!p.word(w)) return false;
      for (const std::string& item : split(w, ',')) {
        std::vector<std::string> parts = split(item, ':');
        uint64_t a = 0, n = 0;
        if (key == "maps") {
          if (parts.size() != 1 || !parseNumber(parts[0], a)) return p.fail("bad map block '" + item + "'");
          s.mapBlocks.push_back(static_cast<uint32_t>(a));
        } else {
          if (parts.size() != 2 || !parseNumber(parts[0], a) || !parseNumber(parts[1], n))
            return p.fail("bad extent '" + item + "' (block:count)");
          s.extents.push_back(mkdb::extentAt(f, static_cast<uint32_t>(a), static_cast<uint32_t>(n)));
        }
      }
    } else {
      return p.fail("unknown segment option '" + key + "'");
    }
    if (!ok) return false;
  }
  if (s.type != 16 && s.type != 17 && s.type != 35) return p.fail("segment type is 16, 17 or 35");
  if (mkdb::addSegmentHeader(f, s) != 0) return p.fail("the extents do not fit the map blocks");
  return true;
}

bool parseData(LineParser& p, mkdb::FileImage& f) {
  uint32_t first = 0, count = 0, objd = 0;
  uint8_t itls = 2;
  if (!p.number(first) || !p.number(count)) return false;
  while (p.more()) {
    std::string key = p.words[p.next++];
    bool ok = true;
    if (key == "objd") ok = p.number(objd);
    else if (key == "itl") ok = p.number(itls);
    else return p.fail("unknown data option '" + key + "'");
    if (!ok) return false;
  }
  mkdb::addDataRun(f, first, count, objd, itls);
  return true;
}

// poke BLOCK OFFSET HEXBYTES: changes bytes of a block (its image, the data
// block of a run, or a zero block).
bool parsePoke(LineParser& p, mkdb::FileImage& f) {
  uint32_t block = 0, offset = 0;
  std::string hex;
  if (!p.number(block) || !p.number(offset) || !p.word(hex)) return false;
  if (hex.size() % 2 != 0) return p.fail("hex bytes come in pairs");
  mkdb::Block& b = mkdb::blockImage(f, block);
  for (size_t i = 0; i < hex.size(); i += 2) {
    uint64_t v;
    if (!parseNumber("0x" + hex.substr(i, 2), v)) return p.fail("bad hex '" + hex + "'");
    mkdb::putUB1(b, offset + i / 2, static_cast<uint32_t>(v));
  }
  return true;
}

bool parseLine(const std::string& line, Description& desc, std::string& error) {
  LineParser p;
  std::istringstream in(line.substr(0, line.find('#')));
  for (std::string w; in >> w;) p.words.push_back(w);
  if (p.words.empty()) return true;
  const std::string& key = p.words[0];
  bool ok;
  if (key == "file") {
    ok = parseFile(p, desc);
  } else if (key == "config") {
    ok = p.word(desc.config);
  } else if (key == "demo") {
    // The demo schema: its data file users01.dbf and its dictionary files.
    mkdb::DemoDatabase db = mkdb::buildDemoDatabase("");
    for (const mkdb::FileImage& f : db.files) desc.files.push_back(f);
    desc.dictionary = db.dictionary;
    desc.hasDictionary = true;
    ok = true;
  } else if (key == "system") {
    // A SYSTEM data file (system01.dbf, relative file 1, listed first)
    // holding the dictionary described so far; the tool rebuilds ZUTDICT
    // from it with UNLOAD TABLE DICT$, so no dictionary files are written.
    mkdb::SystemFileOptions o;
    o.path = "system01.dbf";
    o.blockSize = desc.defaults.blockSize;
    o.byteOrder = desc.defaults.byteOrder;
    mkdb::SystemDatabase sys;
    ok = mkdb::buildSystemDatabase(desc.dictionary, o, sys) ||
         p.fail("the dictionary rows do not fit the SYSTEM file");
    if (ok) desc.files.insert(desc.files.begin(), sys.file);
    desc.hasDictionary = false;
  } else if (key == "lost") {
    // system01.dbf with a dictionary of its own and three lost tables in it:
    // one truncated, one in the recycle bin, one dropped with PURGE.
    mkdb::LostTablesOptions o;
    o.path = "system01.dbf";
    o.blockSize = desc.defaults.blockSize;
    o.byteOrder = desc.defaults.byteOrder;
    mkdb::LostTablesDatabase db;
    ok = mkdb::buildLostTablesDatabase(o, db) || p.fail("the lost tables do not fit the file");
    if (ok) desc.files.insert(desc.files.begin(), db.sys.file);
    desc.hasDictionary = false;
  } else if (key == "segment" || key == "data" || key == "poke") {
    if (desc.files.empty()) {
      error = key + " comes before any file";
      return false;
    }
    mkdb::FileImage& f = desc.files.back();
    ok = key == "segment" ? parseSegment(p, f) : key == "data" ? parseData(p, f) : parsePoke(p, f);
  } else {
    ok = parseSetting(p, desc.defaults);
  }
  if (ok && p.more()) ok = p.fail("unexpected '" + p.words[p.next] + "'");
  error = p.error;
  return ok;
}

int usage() {
  fputs("usage: zut-mkdb [-C dir] description   (\"-\": read it from standard input)\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir, input;
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    if (a == "-C" && i + 1 < argc) dir = argv[++i];
    else if (input.empty()) input = a;
    else return usage();
  }
  if (input.empty()) return usage();

  // Like make -C: the description and every path in it are taken from dir.
  if (!dir.empty() && chdir(dir.c_str()) != 0) {
    fprintf(stderr, "zut-mkdb: cannot enter %s\n", dir.c_str());
    return 1;
  }
  std::ifstream file;
  if (input != "-") {
    file.open(input);
    if (!file) {
      fprintf(stderr, "zut-mkdb: cannot read %s\n", input.c_str());
      return 1;
    }
  }
  std::istream& in = input == "-" ? std::cin : file;

  Description desc;
  std::string line, error;
  for (int n = 1; std::getline(in, line); n++) {
    if (!parseLine(line, desc, error)) {
      fprintf(stderr, "zut-mkdb: line %d: %s\n", n, error.c_str());
      return 1;
    }
  }
  for (const mkdb::FileImage& f : desc.files) {
    if (mkdb::writeDataFile(f) != 0) {
      fprintf(stderr, "zut-mkdb: cannot write %s\n", f.path.c_str());
      return 1;
    }
  }
  if (!desc.config.empty() && mkdb::writeConfigFile(desc.config, desc.files) != 0) {
    fprintf(stderr, "zut-mkdb: cannot write %s\n", desc.config.c_str());
    return 1;
  }
  if (desc.hasDictionary && !mkdb::writeDictionaryFiles("ZUTDICT", desc.dictionary)) {
    fprintf(stderr, "zut-mkdb: cannot write the dictionary files under ZUTDICT\n");
    return 1;
  }
  return 0;
}
