// LOB values through the binary: every locator layout at 2, 8 and 16 KiB in
// both byte orders, the storage modes, LONG_TAG, text conversion of CLOBs
// and NCLOBs with characters cut by block ends, damaged locators, and the
// export dump. The expected bytes are the values the builder stored.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <string>
#include <tuple>

#include "tests/support/dmp_reader.h"
#include "tests/support/lob_db.h"

namespace {

using mkdb::LocatorPlan;

Bytes locator(const LocatorPlan& p) { return mkdb::encodeLocator(p); }

LocatorPlan sized(const mkdb::LobId& id, uint8_t width, uint8_t kind, uint32_t n, uint32_t l,
                  bool blob = false) {
  return locatorPlan(LocatorPlan::kSized, id, 0x08, kind, n, l, width, 4, blob);
}

LocatorPlan extentList(const mkdb::LobId& id, uint8_t totalWidth, uint8_t sizeWidth,
                       uint32_t total, const std::vector<mkdb::LobExtentSpec>& extents,
                       bool blob = false) {
  LocatorPlan p = locatorPlan(LocatorPlan::kExtentList, id, 0x00, 0,
                              static_cast<uint32_t>(extents.size()) - 1, total, sizeWidth,
                              totalWidth, blob);
  p.extents = extents;
  return p;
}

LocatorPlan mapsOnly(const mkdb::LobId& id, bool blob = false) {
  LocatorPlan p;
  p.form = LocatorPlan::kMapsOnly;
  p.blob = blob;
  p.id = id;
  return p;
}

// One row per layout; the comments name what the row's two values take.
void addEveryLayout(LobDb& db) {
  const size_t room = db.room(), list = db.listRoom();
  // Inline, N/L/K at fixed offsets (F 0x09).
  const Bytes hello = {'H', 'e', 'l', 'l', 'o', ',', ' ', 'L', 'O', 'B'};
  const Bytes bin = lobBytes(40, 1, false);
  db.row(locator(mkdb::inlineLocator(db.newId(), hello)), asText(hello),
         locator(mkdb::inlineLocator(db.newId(), bin, true)), asText(bin));
  // Inline behind a size byte of 1 and 2 (F 0x08).
  const Bytes t2 = lobBytes(30, 2), b2 = lobBytes(20, 3, false);
  LocatorPlan c2 = sized(db.newId(), 1, 1, 0, 30), l2 = sized(db.newId(), 2, 1, 0, 20, true);
  c2.data = t2;
  l2.data = b2;
  db.row(locator(c2), asText(t2), locator(l2), asText(b2));
  // Inline behind a size byte of 4; a NULL BLOB.
  const Bytes t3 = lobBytes(25, 4);
  LocatorPlan c3 = sized(db.newId(), 4, 1, 0, 25);
  c3.data = t3;
  db.row(locator(c3), asText(t3), std::nullopt, "");
  // Block map through in-row N and L: five and a half blocks (F 0x05); a
  // BLOB ending exactly at a block end, its N counting the full blocks
  // before the last.
  const Bytes t4 = lobBytes(5 * room + room / 2, 5), b4 = lobBytes(3 * room, 6, false);
  const mkdb::LobId i4 = db.newId(), j4 = db.newId();
  const mkdb::StoredLob s4 = db.store(i4, t4), r4 = db.store(j4, b4, true);
  const LocatorPlan l4 = sized(j4, 2, 2, r4.fullBlocks, r4.lastLength, true);
  db.row(locator(mkdb::mappedLocator(i4, s4)), asText(t4), locator(l4), asText(b4));
  // The same boundary written as N full blocks and 0 bytes more.
  const Bytes t5 = lobBytes(3 * room, 7);
  const mkdb::LobId i5 = db.newId();
  db.store(i5, t5);
  db.row(locator(sized(i5, 1, 2, 3, 0)), asText(t5), std::nullopt, "");
  // Extent lists: 6-byte entries, a 2-byte total and a 1-byte count; 7-byte
  // entries, a 3-byte total and a 2-byte count, ending at a block end.
  const Bytes t6 = lobBytes(2 * list + 100, 8), b6 = lobBytes(4 * list, 9, false);
  const auto e6 = db.storeList(t6, {2, 1}, false), f6 = db.storeList(b6, {1, 3}, true);
  db.row(locator(extentList(db.newId(), 2, 1, static_cast<uint32_t>(t6.size()), e6)), asText(t6),
         locator(extentList(db.newId(), 3, 2, static_cast<uint32_t>(b6.size()), f6, true)),
         asText(b6));
  // A 4-byte total and a 4-byte count over one extent; an empty inline BLOB.
  const Bytes t7 = lobBytes(5 * list - 7, 10);
  const auto e7 = db.storeList(t7, {5}, true);
  db.row(locator(extentList(db.newId(), 4, 4, static_cast<uint32_t>(t7.size()), e7)), asText(t7),
         locator(mkdb::inlineLocator(db.newId(), {}, true)), "");
  // No in-row information: lengths from the LOB index, twelve blocks and
  // a bit; a BLOB of one part block.
  const Bytes t8 = lobBytes(12 * room + 33, 11), b8 = lobBytes(50, 12, false);
  const mkdb::LobId i8 = db.newId(), j8 = db.newId();
  const mkdb::StoredLob s8 = db.store(i8, t8), r8 = db.store(j8, b8, true);
  db.index.push_back(mkdb::lobIndexEntry(i8, s8.fullBlocks, static_cast<uint16_t>(s8.lastLength)));
  db.index.push_back(mkdb::lobIndexEntry(j8, r8.fullBlocks, static_cast<uint16_t>(r8.lastLength)));
  db.row(locator(mapsOnly(i8)), asText(t8), locator(mapsOnly(j8, true)), asText(b8));
  // An empty CLOB and a NULL BLOB; a NULL CLOB and a BLOB.
  db.row(locator(mkdb::inlineLocator(db.newId(), {})), "", std::nullopt, "");
  const Bytes abc = {'a', 'b', 'c'};
  db.row(std::nullopt, "", locator(mkdb::inlineLocator(db.newId(), abc, true)), "abc");
  // An older version of the value, two pages longer, is still in the map:
  // the value ends after its own N and L.
  const Bytes old = lobBytes(4 * room, 13), now = lobBytes(room + 100, 14);
  const mkdb::LobId i11 = db.newId();
  db.store(i11, old, false, 1);
  const mkdb::StoredLob s11 = db.store(i11, now, false, 2);
  db.row(locator(mkdb::mappedLocator(i11, s11)), asText(now), std::nullopt, "");
  db.row(std::nullopt, "", std::nullopt, "");
}

class EveryLayout : public testing::TestWithParam<std::tuple<uint32_t, uint8_t>> {};

TEST_P(EveryLayout, EveryValueComesOutWhole) {
  TempDir dir;
  LobDb db(dir, std::get<0>(GetParam()), std::get<1>(GetParam()));
  addEveryLayout(db);
  db.write(dir);
  const RunResult r = runLobSession(dir, kLobUnloadCommand);
  EXPECT_EQ(0, r.status);
  EXPECT_NE(std::string::npos, r.out.find("Sucessfully unload 12 rows ...")) << r.out;
  // Nothing was lost or replaced (values of random bytes may hold a tag,
  // which is said too).
  EXPECT_EQ(std::string::npos, r.out.find("could not be read")) << r.out;
  EXPECT_EQ(std::string::npos, r.out.find("did not convert")) << r.out;
  EXPECT_EQ(db.expected, dir.read("lobs.txt"));
}

INSTANTIATE_TEST_SUITE_P(BlockSizesAndByteOrders, EveryLayout,
                         testing::Combine(testing::Values(2048u, 8192u, 16384u),
                                          testing::Values(mkdb::kLittle, mkdb::kBig)));


// ---- storage modes, LONG_TAG and damaged locators ----

// One LOB field of a row: its locator, the bytes it stands for, and whether
// the locator can be read at all (an unreadable one writes no tags).
struct Field {
  std::optional<Bytes> locator;
  std::string value;
  bool readable = true;
};

struct ModeCase {
  const char* settings;
  // The field as written, from the value (and its file path in FILE mode).
  std::string (*render)(const Field&);
};

std::string asIs(const Field& f) { return f.value; }
std::string tagged(const Field& f) { return f.readable ? "<X>" + f.value + "</X>" : ""; }
std::string nothing(const Field&) { return ""; }

// Rows for the modes: a small and a mapped value, an empty value, an
// unknown layout and kind, and lengths the locators overstate.
std::vector<std::vector<Field>> damagedRows(LobDb& db) {
  const size_t room = db.room(), list = db.listRoom();
  const Bytes abc = {'a', 'b', 'c'}, mapped = lobBytes(100, 20, false);
  const mkdb::LobId m = db.newId();
  const mkdb::StoredLob sm = db.store(m, mapped, true);
  LocatorPlan badLayout = mkdb::inlineLocator(db.newId(), abc);
  badLayout.lobFlags = 0x03;  // F & 1 with a nibble other than 5 or 9
  LocatorPlan badKind = mkdb::inlineLocator(db.newId(), abc, true);
  badKind.kind = 7;
  // An inline length past the locator's end, and a last-block length past
  // a block's payload: both stop at what exists.
  LocatorPlan longInline = mkdb::inlineLocator(db.newId(), abc);
  longInline.length = 500;
  const mkdb::LobId o = db.newId();
  const mkdb::StoredLob so = db.store(o, mapped, true);
  LocatorPlan overLong = mkdb::mappedLocator(o, so, true);
  overLong.length = 60000;
  std::string oneBlock = asText(mapped);
  oneBlock.resize(room, '\0');
  // An extent list whose second entry is cut off after 3 bytes.
  const Bytes listed = lobBytes(3 * list, 21);
  const auto e = db.storeList(listed, {1, 2}, false);
  Bytes cut = locator(extentList(db.newId(), 2, 1, static_cast<uint32_t>(listed.size()), e));
  cut.resize(cut.size() - 3);
  cut[21] = static_cast<uint8_t>(cut.size() - 20);
  return {{{locator(mkdb::inlineLocator(db.newId(), abc)), "abc"},
           {locator(mkdb::mappedLocator(m, sm, true)), asText(mapped)}},
          {{locator(mkdb::inlineLocator(db.newId(), {})), ""}, {std::nullopt, ""}},
          {{locator(badLayout), "", false}, {locator(badKind), "", false}},
          {{locator(longInline), "abc"}, {locator(overLong), oneBlock}},
          {{cut, asText(listed).substr(0, list)}, {std::nullopt, ""}}};
}

std::string expectedText(const std::vector<std::vector<Field>>& rows,
                         std::string (*render)(const Field&)) {
  std::string out;
  for (size_t r = 0; r < rows.size(); r++) {
    out += std::to_string(r + 1);
    size_t stored = rows[r].size();
    while (stored > 0 && !rows[r][stored - 1].locator) stored--;
    for (size_t i = 0; i < stored; i++)
      out += "|" + (rows[r][i].locator ? render(rows[r][i]) : std::string());
    out += "\r\n";
  }
  return out;
}

void buildDamaged(const TempDir& dir, LobDb& db, std::vector<std::vector<Field>>& rows) {
  rows = damagedRows(db);
  for (const auto& r : rows) db.row({r[0].locator, r[1].locator}, {r[0].value, r[1].value});
  db.write(dir);
}

TEST(LobStorage, InlineTaggedAndNoneModes) {
  const ModeCase cases[] = {{"", asIs}, {"SET LONG_TAG X\n", tagged}, {"SET LOB_STORAGE 2\n", nothing}};
  TempDir dir;
  LobDb db(dir, 8192, mkdb::kLittle);
  std::vector<std::vector<Field>> rows;
  buildDamaged(dir, db, rows);
  for (const ModeCase& c : cases) {
    const RunResult r = runLobSession(dir, std::string(c.settings) + kLobUnloadCommand);
    EXPECT_EQ(expectedText(rows, c.render), dir.read("lobs.txt")) << c.settings;
    // The unknown layout is named with the whole locator, unless LOBs are
    // not written at all.
    const std::string hex = "Invalid CLOB: 00540001020400000002";
    EXPECT_EQ(c.render == nothing ? 0u : 1u, countOf(r.out, hex)) << c.settings << r.out;
    EXPECT_EQ(0u, countOf(r.out, "Invalid BLOB")) << r.out;
  }
  // VERBOSE above 2 names every inline value by its row block and every
  // LOB block read by its own address.
  const RunResult v = runLobSession(dir, "SET VERBOSE 3\n" + std::string(kLobUnloadCommand));
  char line[64];
  snprintf(line, sizeof line, "Recover inline CLOB from RDBA=%u ...\n", db.rdba(3));
  EXPECT_EQ(3u, countOf(v.out, line)) << v.out;
  EXPECT_EQ(2u, countOf(v.out, "Recover outline BLOB from RDBA=")) << v.out;
  EXPECT_EQ(1u, countOf(v.out, "Recover outline CLOB from RDBA=")) << v.out;
}

TEST(LobStorage, FileModeWritesOneFileAValue) {
  TempDir dir;
  LobDb db(dir, 8192, mkdb::kBig);
  std::vector<std::vector<Field>> rows;
  buildDamaged(dir, db, rows);
  const RunResult r = runLobSession(dir, "SET LOB_STORAGE 1\nSET MAXLOBDIR 100\n" +
                                             std::string(kLobUnloadCommand));
  EXPECT_NE(std::string::npos, r.out.find("Sucessfully unload 5 rows")) << r.out;
  // The rows are in block 3: its address picks the directory.
  const uint32_t rdba = db.rdba(3);
  const std::regex path("LOBDATA/LOB([0-9]{4})/LOB_([0-9A-F]{8})_([0-9A-F]{4})\\.dat");
  char dirName[16], rdbaText[16];
  snprintf(dirName, sizeof dirName, "%04u", rdba % 100);
  snprintf(rdbaText, sizeof rdbaText, "%08X", rdba);
  const std::string text = dir.read("lobs.txt");
  std::string rebuilt;
  size_t files = 0;
  for (size_t at = 0; at < text.size();) {
    std::smatch m;
    const std::string rest = text.substr(at);
    if (!std::regex_search(rest, m, path) || m.position(0) != 0) {
      rebuilt += text[at++];
      continue;
    }
    EXPECT_EQ(dirName, m.str(1));
    EXPECT_EQ(rdbaText, m.str(2));
    rebuilt += dir.read(m.str(0));
    files++;
    at += m.length(0);
  }
  // Every value is in its file, and an empty value made no file at all.
  EXPECT_EQ(expectedText(rows, asIs), rebuilt);
  EXPECT_EQ(5u, files);
}

TEST(LobStorage, AFileThatCannotBeMadeIsReportedOnceAndTheRowsStay) {
  TempDir dir;
  LobDb db(dir, 8192, mkdb::kLittle);
  std::vector<std::vector<Field>> rows;
  buildDamaged(dir, db, rows);
  dir.write("LOBDATA", "not a directory");
  const RunResult r = runLobSession(dir, "SET LOB_STORAGE 1\n" + std::string(kLobUnloadCommand));
  EXPECT_EQ(1u, countOf(r.out, "  Cannot create LOBDATA/LOB")) << r.out;
  EXPECT_EQ(1u, countOf(r.out, ".dat: Not a directory\n")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("  5 LOB values could not be written to their files"))
      << r.out;
  EXPECT_NE(std::string::npos, r.out.find("Unload failed after 5 rows ...")) << r.out;
  EXPECT_EQ(expectedText(rows, nothing), dir.read("lobs.txt"));
}

TEST(LobStorage, AFailedWriteOfALobFileFailsTheUnload) {
  TempDir dir;
  LobDb db(dir, 8192, mkdb::kLittle);
  const Bytes small = lobBytes(100, 40), large = lobBytes(3 * db.room(), 41);
  const mkdb::LobId id = db.newId();
  const mkdb::StoredLob s = db.store(id, large);
  db.row({locator(mkdb::inlineLocator(db.newId(), small))}, {""});
  db.row({locator(mkdb::mappedLocator(id, s))}, {""});
  db.write(dir);
  ASSERT_EQ(0, runLobSession(dir, "").status);  // the maps, written without a limit
  // Files of at most 4096 bytes: the large value's file cannot be written.
  const RunResult r = runZutWithFileLimit(
      dir.path(), "OPEN db.cfg\nSET LOB_STORAGE 1\n" + std::string(kLobUnloadCommand) + "EXIT\n",
      4096);
  EXPECT_EQ(1u, countOf(r.out, "  Write error on LOBDATA/LOB")) << r.out;
  EXPECT_EQ(1u, countOf(r.out, ": File too large\n")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("Unload failed after 2 rows ...")) << r.out;
  // The first value's file is whole and named; the second is not named.
  const std::string text = dir.read("lobs.txt");
  const size_t at = text.find("LOBDATA/");
  ASSERT_NE(std::string::npos, at);
  EXPECT_EQ(asText(small), dir.read(text.substr(at, text.find('\r') - at)));
  EXPECT_EQ(1u, countOf(text, "LOBDATA/")) << text;
}

// ---- text conversion ----

Bytes utf16(const std::string& utf8, bool little) {
  OracleBytes b;
  EXPECT_TRUE(encodeUtf16(utf8, b));
  if (little)
    for (size_t i = 0; i + 1 < b.size(); i += 2) std::swap(b[i], b[i + 1]);
  return b;
}

// The CLOB rows of a conversion test: each value as text, stored through
// encode, and what it is written as. A character is cut by the end of the
// first block of the mapped value and of the extent list; the last value
// holds a byte sequence that is no character.
struct Converted {
  std::string settings;
  const char* column;  // CLOB or NCLOB
  Bytes (*encode)(const std::string&);
  std::string split;   // a character of two units or bytes, cut after its first
  size_t unit;         // bytes of the source's smallest unit
  Bytes garbled;       // no character of the source
  std::string replacement;
  std::string head = "h\xC3\xA9llo w\xC3\xB6rld \xE2\x82\xAC";  // "héllo wörld €"
};

Bytes be(const std::string& s) { return utf16(s, false); }
Bytes le(const std::string& s) { return utf16(s, true); }
Bytes utf8(const std::string& s) { return Bytes(s.begin(), s.end()); }

void conversionRun(const Converted& c, std::string (*target)(const std::string&)) {
  TempDir dir;
  LobDb db(dir, 8192, mkdb::kLittle);
  const std::string head = c.head;
  // Fill so that the split character starts unit bytes before a block end.
  auto filled = [&](size_t room) {
    const size_t fill = (room - c.unit) / c.unit;
    return std::string(fill, 'a') + c.split + std::string(10, 'n');
  };
  const std::string mappedText = filled(db.room()), listText = filled(db.listRoom());
  const mkdb::LobId m = db.newId();
  const mkdb::StoredLob sm = db.store(m, c.encode(mappedText));
  const Bytes listBytes = c.encode(listText);
  const auto e = db.storeList(listBytes, {2}, false);
  Bytes garbled = c.encode("ok");
  garbled.insert(garbled.end(), c.garbled.begin(), c.garbled.end());
  const Bytes fine = c.encode("fine");
  garbled.insert(garbled.end(), fine.begin(), fine.end());
  db.row({locator(mkdb::inlineLocator(db.newId(), c.encode(head)))}, {target(head)});
  db.row({locator(mkdb::mappedLocator(m, sm))}, {target(mappedText)});
  db.row({locator(extentList(db.newId(), 4, 1, static_cast<uint32_t>(listBytes.size()), e))},
         {target(listText)});
  db.row({locator(mkdb::inlineLocator(db.newId(), garbled))},
         {target("ok") + c.replacement + target("fine")});
  db.write(dir);
  const RunResult r = runLobSession(
      dir, c.settings + "UNLOAD OBJECT 7001 COLUMN NUMBER " + c.column +
               " FILE 4 BLOCK 2 TO lobs.txt;\n");
  EXPECT_EQ(db.expected, dir.read("lobs.txt")) << c.settings << c.column;
  EXPECT_EQ(1u, countOf(r.out, "Warning: 1 characters of LOB values did not convert")) << r.out;
}

std::string same(const std::string& s) { return s; }

TEST(LobText, Utf16ClobsOfAMultiByteDatabaseBecomeUtf8InEitherByteOrder) {
  const std::string face = "\xF0\x9F\x98\x80";  // U+1F600: a surrogate pair
  const Bytes lone = {0xDC, 0x00};
  const std::string fffd = "\xEF\xBF\xBD";
  conversionRun({"SET CHARSET AL32UTF8\n", "CLOB", be, face, 2, lone, fffd}, same);
  conversionRun({"SET CHARSET UTF8\nSET CLOB_EDIAN LITTLE\n", "CLOB", le, face, 2, {0x00, 0xDC},
                 fffd},
                same);
  // NCLOBs convert as national columns do, whatever the CLOB settings.
  conversionRun({"SET CLOB_EDIAN LITTLE\n", "NCLOB", be, face, 2, lone, fffd}, same);
}

// UTF-8 text of ASCII and U+00C0 to U+00FF as Latin-1.
std::string latin1(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); i++) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    out.push_back(c == 0xC3 ? static_cast<char>(0x40 + static_cast<unsigned char>(s[++i])) : s[i]);
  }
  return out;
}

TEST(LobText, IconvClobCutsNoCharacterAtABlockEnd) {
  // UTF-8 source, Latin-1 target: "é" is cut after its first byte, 0xFF is
  // no UTF-8, and the target has no U+FFFD.
  conversionRun({"SET ICONV_CLOB UTF-8 ISO-8859-1\n", "CLOB", utf8, "\xC3\xA9", 1, {0xFF}, "?",
                 "h\xC3\xA9llo w\xC3\xB6rld"},
                latin1);
}

TEST(LobText, ClobsOfASingleByteDatabaseAreWrittenAsStored) {
  TempDir dir;
  LobDb db(dir, 2048, mkdb::kBig);
  const Bytes stored = be("h\xC3\xA9llo");
  db.row({locator(mkdb::inlineLocator(db.newId(), stored))}, {asText(stored)});
  db.write(dir);
  runLobSession(dir, "UNLOAD OBJECT 7001 COLUMN NUMBER CLOB FILE 4 BLOCK 2 TO lobs.txt;\n");
  EXPECT_EQ(db.expected, dir.read("lobs.txt"));
}

// ---- export dump ----

TEST(LobDump, ValuesInlineChainedAndNullForWhatCannotBeRead) {
  TempDir dir;
  LobDb db(dir, 8192, mkdb::kLittle);
  const Bytes abc = {'a', 'b', 'c'}, big = lobBytes(3 * db.room() + 5, 30, false);
  const std::string nText = "n\xC3\xA9";
  const mkdb::LobId b = db.newId();
  const mkdb::StoredLob sb = db.store(b, big, true);
  const Bytes listed = lobBytes(db.listRoom() + 9, 31);
  const auto e = db.storeList(listed, {2}, false);
  LocatorPlan badLayout = mkdb::inlineLocator(db.newId(), abc);
  badLayout.lobFlags = 0x02;
  LocatorPlan badKind = mkdb::inlineLocator(db.newId(), abc, true);
  badKind.kind = 9;
  db.row({locator(mkdb::inlineLocator(db.newId(), abc)), locator(mkdb::mappedLocator(b, sb, true)),
          locator(mkdb::inlineLocator(db.newId(), be(nText)))},
         {"", "", ""});
  db.row({locator(extentList(db.newId(), 2, 1, static_cast<uint32_t>(listed.size()), e)),
          locator(badKind), locator(badLayout)},
         {"", "", ""});
  db.row({std::nullopt, locator(mkdb::inlineLocator(db.newId(), {}, true)), std::nullopt},
         {"", "", ""});
  // Inline values longer than 4000 bytes go as NULL; a LOB no map knows is
  // an empty chained value.
  db.row({locator(mkdb::inlineLocator(db.newId(), lobBytes(4001, 32))),
          locator(mapsOnly(db.newId(), true))},
         {"", ""});
  db.write(dir);
  auto column = [](const char* name, uint32_t type, uint32_t form) {
    mkdb::DictColumnSpec c;
    c.name = name;
    c.type = type;
    c.length = 4000;
    c.charsetId = form == 2 ? 2000 : 1;
    c.charsetForm = form;
    return c;
  };
  db.writeDictionary(dir, {column("C", 112, 1), column("B", 113, 0), column("N", 112, 2)});
  const RunResult r = runLobSession(dir, "UNLOAD TABLE SCOTT.LOBS TO lobs.dmp;\n");
  EXPECT_NE(std::string::npos, r.out.find("Sucessfully unload 4 rows")) << r.out;
  EXPECT_EQ(1u, countOf(r.out, "Invalid CLOB \n")) << r.out;
  DmpFile dmp;
  std::string error;
  ASSERT_EQ(0, readDmpFile(dir.file("lobs.dmp"), dmp, error)) << error;
  auto number = [](int v) {
    OracleBytes b;
    encodeOracleNumber(std::to_string(v), b);
    return dmpText(asText(b));
  };
  const std::vector<std::vector<DmpValue>> want = {
      {number(1), dmpText("abc"), dmpLongValue(asText(big)), dmpText(nText)},
      {number(2), dmpLongValue(asText(listed)), dmpNullValue(), dmpNullValue()},
      {number(3), dmpNullValue(), dmpNullValue(), dmpNullValue()},
      {number(4), dmpNullValue(), dmpLongValue(""), dmpNullValue()}};
  EXPECT_EQ(want, dmp.rows);
}

}  // namespace
