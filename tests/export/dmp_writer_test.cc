// The export dump writer, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/dmp_writer.h"
#include "tests/support/render_util.h"

namespace {

std::string bytesOf(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s.push_back(static_cast<char>(b));
  return s;
}

std::string hexBytes(const char* hex) {
  std::string s;
  for (const char* p = hex; *p != 0;) {
    if (*p == ' ') {
      p++;
      continue;
    }
    s.push_back(static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16)));
    p += 2;
  }
  return s;
}

std::string header(uint16_t charset, uint16_t ncharset, const char* user) {
  return captureOutput([&](FILE* f) { printDmpHeader(f, charset, ncharset, user); });
}

TEST(DmpHeader, ScottIs2048BytesWithFieldsAtTheirOffsets) {
  const std::string h = header(852, 2000, "SCOTT");
  ASSERT_EQ(2048u + 220u, h.size());
  EXPECT_EQ(bytesOf({0x03, 0x03, 0x54}), h.substr(0, 3));
  EXPECT_EQ("EXPORT:V08.01.07\n", h.substr(3, 17));
  EXPECT_EQ("USCOTT\nRTABLES\n2048\n0\n28\n0\n", h.substr(20, 27));
  // Character set twice, national character set, all high byte first.
  EXPECT_EQ(bytesOf({0x03, 0x54, 0x03, 0x54, 0x07, 0xD0, 0x00, 0x01}), h.substr(47, 8));
  EXPECT_EQ(std::string(9, '\0'), h.substr(55, 9));
  EXPECT_EQ(bytesOf({0x0B, 0x00}), h.substr(64, 2));
  EXPECT_EQ(std::string(37, ' '), h.substr(66, 37));
  EXPECT_EQ("Tue Mar 22 17:29:25 2005", h.substr(103, 24));
  EXPECT_EQ("korvo.dmp", h.substr(127, 9));
  // 8 zero bytes and the padding: 21 + 5 + 118 bytes, then 1904 zeros.
  EXPECT_EQ(std::string(8 + 1904, '\0'), h.substr(136, 2048 - 136));
}

TEST(DmpHeader, NlsBlockIsTheFixed220Bytes) {
  const std::string nls = header(1, 2000, "SCOTT").substr(2048);
  const char* kCommon =
      "00 00 60 01 21 0f 05 0b 0c 03 0c 0c 05 04 05 0d 06 09 07 08 05 0f 05 05 05 0f 05 05 "
      "05 05 05 0a 05 05 05 05 05 04 05 08 23 47 23 23 08 11 23 08 11 41 b0 23 00 83";
  const std::string zeros41(41, '\0');
  const std::string expected = hexBytes("64 00") + hexBytes(kCommon) +
                               hexBytes("03 67 03 67 03") + zeros41 + hexBytes("64 00") +
                               hexBytes(kCommon) + hexBytes("03 67 01 59 03") + zeros41 +
                               hexBytes("06 00") + "+00:00" + hexBytes("05 00") + "8.1.6\n";
  ASSERT_EQ(220u, expected.size());
  EXPECT_EQ(expected, nls);
}

TEST(DmpHeader, KeepsItsSizeWhateverTheUserName) {
  EXPECT_EQ(2268u, header(1, 2000, "").size());
  EXPECT_EQ("U\nRTABLES", header(1, 2000, "").substr(20, 9));
  // A name the header cannot hold (damaged dictionary) is cut, never
  // allowed to push the header past 2048 bytes.
  const std::string longName(3000, 'X');
  const std::string h = header(1, 2000, longName.c_str());
  ASSERT_EQ(2268u, h.size());
  EXPECT_EQ("U" + std::string(kMaxDmpUserName, 'X') + "\nRTABLES", h.substr(20, 137));
  // Line breaks would end the user line early.
  EXPECT_EQ("UA B C D\nRTABLES", header(1, 2000, "A\nB\rC\tD").substr(20, 16));
}

TEST(DmpStatements, TableCreateAndInsertLines) {
  EXPECT_EQ("TABLE \"EMP\"\n", captureOutput([](FILE* f) { printDmpTable(f, "EMP"); }));
  EXPECT_EQ("TABLE \"A B C D\"\n",
            captureOutput([](FILE* f) { printDmpTable(f, "A\tB\nC\rD"); }));
  EXPECT_EQ("CREATE TABLE \"A B\" (\"X\" NUMBER)\n", captureOutput([](FILE* f) {
              printDmpCreate(f, "CREATE TABLE \"A\nB\" (\"X\" NUMBER)");
            }));

  const DmpInsertColumn columns[] = {
      {"EMPNO", kColNumber, kDmpBindPlain},    {"DOC", kColBlob, kDmpBindXmlType},
      {"TEXT", kColClob, kDmpBindXmlType},     {"ANY", kColBlob, kDmpBindAnyData},
      {"NEW\nLINE", kColVarchar2, kDmpBindPlain},
  };
  EXPECT_EQ(
      "INSERT INTO \"EMP 2\" (\"EMPNO\",\"DOC\",\"TEXT\",\"ANY\",\"NEW LINE\") VALUES "
      "(:1,SYS.XMLTYPE.CREATEXMLFROMBINARY(:2),SYS.XMLTYPE.CREATEXML(:3),"
      "SYS.ANYDATA.CONVERTRAW(:4),:5)\n",
      captureOutput([&](FILE* f) { printDmpInsert(f, "EMP\t2", columns, 5); }));
  EXPECT_EQ("INSERT INTO \"T\" () VALUES ()\n",
            captureOutput([&](FILE* f) { printDmpInsert(f, "T", columns, 0); }));
}

std::string datatype(uint16_t type, uint16_t length, uint16_t charset, uint16_t form) {
  return captureOutput([&](FILE* f) { printDmpDatatype(f, type, length, charset, form); });
}

TEST(DmpColumnTypes, TypeRecords) {
  // LOBs travel as LONG / LONG RAW of 16384 bytes, without a character set.
  EXPECT_EQ(bytesOf({0x08, 0x00, 0x00, 0x40}), datatype(112, 4000, 873, 1));
  EXPECT_EQ(bytesOf({0x18, 0x00, 0x00, 0x40}), datatype(113, 4000, 873, 1));
  EXPECT_EQ(bytesOf({0x08, 0x00, 0x00, 0x40}), datatype(8, 0, 873, 1));
  EXPECT_EQ(bytesOf({0x18, 0x00, 0x00, 0x40}), datatype(24, 0, 873, 1));
  EXPECT_EQ(bytesOf({0x02, 0x00, 0x16, 0x00}), datatype(2, 22, 873, 1));
  EXPECT_EQ(bytesOf({0x0C, 0x00, 0x07, 0x00}), datatype(12, 7, 873, 1));
  EXPECT_EQ(bytesOf({0xB4, 0x00, 0x0B, 0x00}), datatype(180, 11, 873, 1));
  // Character types add the character set id, the form and a zero byte.
  EXPECT_EQ(bytesOf({0x01, 0x00, 0x2C, 0x01, 0x69, 0x03, 0x01, 0x00}),
            datatype(1, 300, 873, 1));
  EXPECT_EQ(bytesOf({0x09, 0x00, 0x0A, 0x00, 0x69, 0x03, 0x01, 0x00}), datatype(9, 10, 873, 1));
  EXPECT_EQ(bytesOf({0x60, 0x00, 0x14, 0x00, 0xD0, 0x07, 0x02, 0x00}),
            datatype(96, 20, 2000, 2));
}

TEST(DmpColumnTypes, CharacterSetFallsBackToTheDatabaseOne) {
  SessionContext ctx;
  ctx.columnCount = 5;
  const uint8_t types[] = {1, 1, 96, 112, 2};
  const uint16_t lengths[] = {10, 40, 5, 4000, 22};
  const uint16_t ids[] = {0, 2000, 871, 871, 0};
  const uint16_t forms[] = {0, 2, 0, 1, 0};
  for (int i = 0; i < 5; i++) {
    ctx.columnTypes[i] = types[i];
    ctx.columnLength[i] = lengths[i];
    ctx.columnCharsetId[i] = ids[i];
    ctx.columnCharsetForm[i] = forms[i];
  }
  const std::string out = captureOutput([&](FILE* f) { printDmpColumnTypes(f, ctx, 852); });
  EXPECT_EQ(bytesOf({0x05, 0x00,                                         // count
                     0x01, 0x00, 0x0A, 0x00, 0x54, 0x03, 0x01, 0x00,     // none: database
                     0x01, 0x00, 0x28, 0x00, 0xD0, 0x07, 0x02, 0x00,     // its own, national
                     0x60, 0x00, 0x05, 0x00, 0x54, 0x03, 0x01, 0x00,     // id without form
                     0x08, 0x00, 0x00, 0x40,                             // CLOB
                     0x02, 0x00, 0x16, 0x00}),                           // NUMBER
            out);
  ctx.columnCount = 0;
  EXPECT_EQ(bytesOf({0x00, 0x00}),
            captureOutput([&](FILE* f) { printDmpColumnTypes(f, ctx, 852); }));
}

std::string value(const std::string& bytes) {
  return captureOutput([&](FILE* f) {
    printDmpValue(f, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  });
}

TEST(DmpRowStream, ValueItems) {
  const std::string v300(300, 'a');
  EXPECT_EQ(bytesOf({0x2C, 0x01}) + v300, value(v300));
  EXPECT_EQ(bytesOf({0x01, 0x00}) + "x", value("x"));
  EXPECT_EQ(bytesOf({0xFE, 0xFF}), value(""));
  // The largest single item.
  std::string v65532(65532, 'b');
  v65532[65531] = 'z';
  EXPECT_EQ(bytesOf({0xFC, 0xFF}) + v65532, value(v65532));
  // Longer values continue in further items, since FD FF, FE FF and FF FF
  // are markers and cannot be lengths.
  std::string v65535(65535, 'c');
  v65535[65532] = 'd';
  EXPECT_EQ(bytesOf({0xFC, 0xFF}) + v65535.substr(0, 65532) + bytesOf({0x03, 0x00}) + "dcc",
            value(v65535));
  const std::string big(200000, 'e');
  const std::string out = value(big);
  ASSERT_EQ(200000u + 2u * 4u, out.size());
  EXPECT_EQ(bytesOf({0xFC, 0xFF}), out.substr(65534, 2));
  EXPECT_EQ(bytesOf({0xFC, 0xFF}), out.substr(2 * 65534, 2));
  EXPECT_EQ(bytesOf({0x4C, 0x0D}), out.substr(3 * 65534, 2));  // 3404 bytes left
}

TEST(DmpRowStream, MarkersAndFileEnd) {
  EXPECT_EQ(bytesOf({0xFE, 0xFF}), captureOutput([](FILE* f) { printDmpNull(f); }));
  EXPECT_EQ(bytesOf({0xFD, 0xFF}), captureOutput([](FILE* f) { printDmpChain(f); }));
  EXPECT_EQ(bytesOf({0x00, 0x00}), captureOutput([](FILE* f) { printDmpRecord(f); }));
  EXPECT_EQ(std::string(4, '\0'), captureOutput([](FILE* f) { printDmpDataBegin(f); }));
  EXPECT_EQ(bytesOf({0xFF, 0xFF, 0x0A}), captureOutput([](FILE* f) { printDmpDataEnd(f); }));
  EXPECT_EQ(bytesOf({0x02, 0x00}), captureOutput([](FILE* f) { printDmpColumns(f, 2); }));
  EXPECT_EQ("EXIT\nEXIT\n" + std::string(2048, '\0'),
            captureOutput([](FILE* f) { printDmpTail(f); }));
}

}  // namespace
