#include "values/charset.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "core/stream_write.h"


const OraCharset ora_charset_list[] = {
    {"US7ASCII", 1},
    {"WE8DEC", 2},
    {"WE8HP", 3},
    {"US8PC437", 4},
    {"WE8EBCDIC37", 5},
    {"WE8EBCDIC500", 6},
    {"WE8EBCDIC1140", 7},
    {"WE8EBCDIC285", 8},
    {"WE8EBCDIC1146", 9},
    {"WE8PC850", 10},
    {"D7DEC", 11},
    {"F7DEC", 12},
    {"S7DEC", 13},
    {"E7DEC", 14},
    {"SF7ASCII", 15},
    {"NDK7DEC", 16},
    {"I7DEC", 17},
    {"NL7DEC", 18},
    {"CH7DEC", 19},
    {"YUG7ASCII", 20},
    {"SF7DEC", 21},
    {"TR7DEC", 22},
    {"IW7IS960", 23},
    {"IN8ISCII", 25},
    {"WE8EBCDIC1148", 27},
    {"WE8PC858", 28},
    {"WE8ISO8859P1", 31},
    {"EE8ISO8859P2", 32},
    {"SE8ISO8859P3", 33},
    {"NEE8ISO8859P4", 34},
    {"CL8ISO8859P5", 35},
    {"AR8ISO8859P6", 36},
    {"EL8ISO8859P7", 37},
    {"IW8ISO8859P8", 38},
    {"WE8ISO8859P9", 39},
    {"NE8ISO8859P10", 40},
    {"TH8TISASCII", 41},
    {"TH8TISEBCDIC", 42},
    {"BN8BSCII", 43},
    {"VN8VN3", 44},
    {"VN8MSWIN1258", 45},
    {"WE8ISO8859P15", 46},
    {"BLT8ISO8859P13", 47},
    {"CEL8ISO8859P14", 48},
    {"CL8ISOIR111", 49},
    {"WE8NEXTSTEP", 50},
    {"CL8KOI8U", 51},
    {"AZ8ISO8859P9E", 52},
    {"AR8ASMO708PLUS", 61},
    {"AR8EBCDICX", 70},
    {"AR8XBASIC", 72},
    {"EL8DEC", 81},
    {"TR8DEC", 82},
    {"WE8EBCDIC37C", 90},
    {"WE8EBCDIC500C", 91},
    {"IW8EBCDIC424", 92},
    {"TR8EBCDIC1026", 93},
    {"WE8EBCDIC871", 94},
    {"WE8EBCDIC284", 95},
    {"WE8EBCDIC1047", 96},
    {"WE8EBCDIC1140C", 97},
    {"WE8EBCDIC1145", 98},
    {"WE8EBCDIC1148C", 99},
    {"WE8EBCDIC1047E", 100},
    {"WE8EBCDIC924", 101},
    {"EEC8EUROASCI", 110},
    {"EEC8EUROPA3", 113},
    {"LA8PASSPORT", 114},
    {"BG8PC437S", 140},
    {"EE8PC852", 150},
    {"RU8PC866", 152},
    {"RU8BESTA", 153},
    {"IW8PC1507", 154},
    {"RU8PC855", 155},
    {"TR8PC857", 156},
    {"CL8MACCYRILLIC", 158},
    {"CL8MACCYRILLICS", 159},
    {"WE8PC860", 160},
    {"IS8PC861", 161},
    {"EE8MACCES", 162},
    {"EE8MACCROATIANS", 163},
    {"TR8MACTURKISHS", 164},
    {"IS8MACICELANDICS", 165},
    {"EL8MACGREEKS", 166},
    {"IW8MACHEBREWS", 167},
    {"EE8MSWIN1250", 170},
    {"CL8MSWIN1251", 171},
    {"ET8MSWIN923", 172},
    {"BG8MSWIN", 173},
    {"EL8MSWIN1253", 174},
    {"IW8MSWIN1255", 175},
    {"LT8MSWIN921", 176},
    {"TR8MSWIN1254", 177},
    {"WE8MSWIN1252", 178},
    {"BLT8MSWIN1257", 179},
    {"D8EBCDIC273", 180},
    {"I8EBCDIC280", 181},
    {"DK8EBCDIC277", 182},
    {"S8EBCDIC278", 183},
    {"EE8EBCDIC870", 184},
    {"CL8EBCDIC1025", 185},
    {"F8EBCDIC297", 186},
    {"IW8EBCDIC1086", 187},
    {"CL8EBCDIC1025X", 188},
    {"D8EBCDIC1141", 189},
    {"N8PC865", 190},
    {"BLT8CP921", 191},
    {"LV8PC1117", 192},
    {"LV8PC8LR", 193},
    {"BLT8EBCDIC1112", 194},
    {"LV8RST104090", 195},
    {"CL8KOI8R", 196},
    {"BLT8PC775", 197},
    {"DK8EBCDIC1142", 198},
    {"S8EBCDIC1143", 199},
    {"I8EBCDIC1144", 200},
    {"F7SIEMENS9780X", 201},
    {"E7SIEMENS9780X", 202},
    {"S7SIEMENS9780X", 203},
    {"DK7SIEMENS9780X", 204},
    {"N7SIEMENS9780X", 205},
    {"I7SIEMENS9780X", 206},
    {"D7SIEMENS9780X", 207},
    {"F8EBCDIC1147", 208},
    {"WE8GCOS7", 210},
    {"EL8GCOS7", 211},
    {"US8BS2000", 221},
    {"D8BS2000", 222},
    {"F8BS2000", 223},
    {"E8BS2000", 224},
    {"DK8BS2000", 225},
    {"S8BS2000", 226},
    {"WE8BS2000E", 230},
    {"WE8BS2000", 231},
    {"EE8BS2000", 232},
    {"CE8BS2000", 233},
    {"CL8BS2000", 235},
    {"WE8BS2000L5", 239},
    {"WE8DG", 241},
    {"WE8NCR4970", 251},
    {"WE8ROMAN8", 261},
    {"EE8MACCE", 262},
    {"EE8MACCROATIAN", 263},
    {"TR8MACTURKISH", 264},
    {"IS8MACICELANDIC", 265},
    {"EL8MACGREEK", 266},
    {"IW8MACHEBREW", 267},
    {"US8ICL", 277},
    {"WE8ICL", 278},
    {"WE8ISOICLUK", 279},
    {"EE8EBCDIC870C", 301},
    {"EL8EBCDIC875S", 311},
    {"TR8EBCDIC1026S", 312},
    {"BLT8EBCDIC1112S", 314},
    {"IW8EBCDIC424S", 315},
    {"EE8EBCDIC870S", 316},
    {"CL8EBCDIC1025S", 317},
    {"TH8TISEBCDICS", 319},
    {"AR8EBCDIC420S", 320},
    {"CL8EBCDIC1025C", 322},
    {"CL8EBCDIC1025R", 323},
    {"EL8EBCDIC875R", 324},
    {"CL8EBCDIC1158", 325},
    {"CL8EBCDIC1158R", 326},
    {"EL8EBCDIC423R", 327},
    {"WE8MACROMAN8", 351},
    {"WE8MACROMAN8S", 352},
    {"TH8MACTHAI", 353},
    {"TH8MACTHAIS", 354},
    {"HU8CWI2", 368},
    {"EL8PC437S", 380},
    {"EL8EBCDIC875", 381},
    {"EL8PC737", 382},
    {"LT8PC772", 383},
    {"LT8PC774", 384},
    {"EL8PC869", 385},
    {"EL8PC851", 386},
    {"CDN8PC863", 390},
    {"HU8ABMOD", 401},
    {"AR8ASMO8X", 500},
    {"AR8NAFITHA711T", 504},
    {"AR8SAKHR707T", 505},
    {"AR8MUSSAD768T", 506},
    {"AR8ADOS710T", 507},
    {"AR8ADOS720T", 508},
    {"AR8APTEC715T", 509},
    {"AR8NAFITHA721T", 511},
    {"AR8HPARABIC8T", 514},
    {"AR8NAFITHA711", 554},
    {"AR8SAKHR707", 555},
    {"AR8MUSSAD768", 556},
    {"AR8ADOS710", 557},
    {"AR8ADOS720", 558},
    {"AR8APTEC715", 559},
    {"AR8MSWIN1256", 560},
    {"AR8NAFITHA721", 561},
    {"AR8SAKHR706", 563},
    {"AR8ARABICMAC", 565},
    {"AR8ARABICMACS", 566},
    {"AR8ARABICMACT", 567},
    {"LA8ISO6937", 590},
    {"JA16VMS", 829},
    {"JA16EUC", 830},
    {"JA16EUCYEN", 831},
    {"JA16SJIS", 832},
    {"JA16DBCS", 833},
    {"JA16SJISYEN", 834},
    {"JA16EBCDIC930", 835},
    {"JA16MACSJIS", 836},
    {"JA16EUCTILDE", 837},
    {"JA16SJISTILDE", 838},
    {"KO16KSC5601", 840},
    {"KO16DBCS", 842},
    {"KO16KSCCS", 845},
    {"KO16MSWIN949", 846},
    {"ZHS16CGB231280", 850},
    {"ZHS16MACCGB231280", 851},
    {"ZHS16GBK", 852},
    {"ZHS16DBCS", 853},
    {"ZHS32GB18030", 854},
    {"ZHT32EUC", 860},
    {"ZHT32SOPS", 861},
    {"ZHT16DBT", 862},
    {"ZHT32TRIS", 863},
    {"ZHT16DBCS", 864},
    {"ZHT16BIG5", 865},
    {"ZHT16CCDC", 866},
    {"ZHT16MSWIN950", 867},
    {"ZHT16HKSCS", 868},
    {"AL24UTFFSS", 870},
    {"UTF8", 871},
    {"UTFE", 872},
    {"AL32UTF8", 873},
    {"ZHT16HKSCS31", 992},
    {"JA16EUCFIXED", 1830},
    {"JA16SJISFIXED", 1832},
    {"JA16DBCSFIXED", 1833},
    {"KO16KSC5601FIXED", 1840},
    {"KO16DBCSFIXED", 1842},
    {"ZHS16CGB231280FIXED", 1850},
    {"ZHS16GBKFIXED", 1852},
    {"ZHS16DBCSFIXED", 1853},
    {"ZHT32EUCFIXED", 1860},
    {"ZHT32TRISFIXED", 1863},
    {"ZHT16DBCSFIXED", 1864},
    {"ZHT16BIG5FIXED", 1865},
    {"AL16UTF16", 2000},
    {nullptr, 0},
};

static bool sameNameIgnoringCase(const char* a, const char* b) {
  for (;; a++, b++) {
    unsigned char x = static_cast<unsigned char>(*a);
    unsigned char y = static_cast<unsigned char>(*b);
    if (std::toupper(x) != std::toupper(y)) return false;
    if (x == 0) return true;
  }
}

uint16_t get_ora_charset_id(const char* text) {
  if (text == nullptr || text[0] == 0) return 0;
  for (int i = 0; ora_charset_list[i].id != 0; i++) {
    if (sameNameIgnoringCase(text, ora_charset_list[i].name)) return ora_charset_list[i].id;
  }
  // Not a name: the leading decimal digits, like every numeric setting. A
  // number beyond 16 bits resolves to 0 (unknown) instead of wrapping round
  // to an unrelated character set.
  uint32_t value = 0;
  for (const char* p = text; *p >= '0' && *p <= '9'; p++) {
    value = value * 10 + static_cast<uint32_t>(*p - '0');
    if (value > 0xFFFF) return 0;
  }
  return static_cast<uint16_t>(value);
}

const char* get_ora_charset_name(uint16_t id) {
  if (id == 0) return nullptr;
  for (int i = 0; ora_charset_list[i].id != 0; i++) {
    if (ora_charset_list[i].id == id) return ora_charset_list[i].name;
  }
  return nullptr;
}

void get_ora_charset_list(FILE* stream) {
  std::fputc('\n', stream);
  int i = 0;
  for (; ora_charset_list[i].id != 0; i++) {
    if (i % 4 != 0) std::fputs(" |", stream);
    std::fprintf(stream, " %-19s = %4d", ora_charset_list[i].name, ora_charset_list[i].id);
    if (i % 4 == 3) std::fputc('\n', stream);
  }
  if (i % 4 != 0) std::fputc('\n', stream);
  std::fputc('\n', stream);
}

namespace {

// Conversion output, reused across values; it grows only for a value whose
// converted form exceeds what it has held before.
std::vector<char>& conversionBuffer() {
  static std::vector<char> buffer(64 * 1024);
  return buffer;
}

// Converts the whole text into the conversion buffer. Returns the converted
// length, or -1 when the text does not convert (invalid or incomplete input).
long convertWhole(iconv_t converter, const unsigned char* bytes, size_t length) {
  std::vector<char>& out = conversionBuffer();
  iconv(converter, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes));
  size_t inLeft = length;
  size_t used = 0;
  // Two passes: the text itself, then the closing shift sequence (if any).
  for (int pass = 0; pass < 2; pass++) {
    for (;;) {
      char* dst = out.data() + used;
      size_t dstLeft = out.size() - used;
      size_t rc = pass == 0 ? iconv(converter, &in, &inLeft, &dst, &dstLeft)
                            : iconv(converter, nullptr, nullptr, &dst, &dstLeft);
      used = static_cast<size_t>(dst - out.data());
      if (rc != static_cast<size_t>(-1)) break;
      if (errno != E2BIG) return -1;
      out.resize(out.size() * 2);
    }
  }
  return static_cast<long>(used);
}

}  // namespace

void iconv_charset_convert(FILE* stream, iconv_t converter, const unsigned char* bytes,
                           size_t length) {
  if (length == 0) return;
  if (converter != reinterpret_cast<iconv_t>(-1)) {
    long n = convertWhole(converter, bytes, length);
    if (n >= 0) {
      writeBytes(stream, conversionBuffer().data(), static_cast<size_t>(n));
      return;
    }
  }
  writeBytes(stream, bytes, length);
}

size_t iconv_charset_bytes(iconv_t converter, const unsigned char* bytes, size_t length,
                           const unsigned char** out) {
  *out = bytes;
  if (length > 0 && converter != reinterpret_cast<iconv_t>(-1)) {
    long converted = convertWhole(converter, bytes, length);
    if (converted >= 0) {
      *out = reinterpret_cast<const unsigned char*>(conversionBuffer().data());
      return static_cast<size_t>(converted);
    }
  }
  return length;
}

namespace {

struct IconvName {
  uint16_t id;
  const char* name;
};

// Oracle character sets and their iconv names; every one is ASCII-based, so
// that "?" is one byte 0x3F in it.
constexpr IconvName kIconvNames[] = {
    {1, "US-ASCII"},       {4, "CP437"},         {10, "CP850"},        {31, "ISO-8859-1"},
    {32, "ISO-8859-2"},    {33, "ISO-8859-3"},   {34, "ISO-8859-4"},   {35, "ISO-8859-5"},
    {36, "ISO-8859-6"},    {37, "ISO-8859-7"},   {38, "ISO-8859-8"},   {39, "ISO-8859-9"},
    {40, "ISO-8859-10"},   {41, "TIS-620"},      {45, "CP1258"},       {46, "ISO-8859-15"},
    {47, "ISO-8859-13"},   {48, "ISO-8859-14"},  {51, "KOI8-U"},       {150, "CP852"},
    {152, "CP866"},        {170, "CP1250"},      {171, "CP1251"},      {174, "CP1253"},
    {175, "CP1255"},       {177, "CP1254"},      {178, "CP1252"},      {179, "CP1257"},
    {196, "KOI8-R"},       {560, "CP1256"},      {830, "EUC-JP"},      {832, "SHIFT_JIS"},
    {840, "EUC-KR"},       {846, "CP949"},       {850, "GB2312"},      {852, "GBK"},
    {854, "GB18030"},      {860, "EUC-TW"},      {865, "BIG5"},        {867, "CP950"},
    {868, "BIG5-HKSCS"},   {871, "UTF-8"},       {873, "UTF-8"},
};

constexpr uint16_t kUtf8Id = 871;
constexpr uint16_t kAl32Utf8Id = 873;
constexpr uint16_t kUs7AsciiId = 1;

// Bytes of the source character at the start of the text, at least 1 and at
// most what is left.
size_t sourceCharacterLength(const unsigned char* p, size_t left, bool sourceUtf8) {
  if (sourceUtf8) {
    size_t n = 1;
    while (n < left && n < 4 && (p[n] & 0xC0) == 0x80) n++;
    return n;
  }
  if (left < 2) return left;
  const unsigned unit = p[0] << 8 | p[1];
  if (left >= 4 && unit >= 0xD800 && unit <= 0xDBFF) {
    const unsigned low = p[2] << 8 | p[3];
    if (low >= 0xDC00 && low <= 0xDFFF) return 4;
  }
  return 2;
}

}  // namespace

const char* iconv_charset_name(uint16_t id) {
  for (const IconvName& n : kIconvNames)
    if (n.id == id) return n.name;
  return nullptr;
}

iconv_t open_national_converter(uint16_t charset, uint16_t nlsCharset, uint8_t* sourceUtf8) {
  const bool utf8 = nlsCharset == kUtf8Id;
  *sourceUtf8 = utf8 ? 1 : 0;
  const char* from = utf8 ? "UTF-8" : "UTF-16BE";
  const char* to = national_target_name(charset);
  iconv_t cv = iconv_open(to, from);
  if (cv == reinterpret_cast<iconv_t>(-1)) cv = iconv_open("UTF-8", from);
  return cv;
}

uint64_t iconv_national_convert(FILE* stream, iconv_t converter, bool sourceUtf8,
                                const unsigned char* bytes, size_t length) {
  if (length == 0) return 0;
  std::vector<char>& out = conversionBuffer();
  iconv(converter, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes));
  size_t inLeft = length;
  size_t used = 0;
  uint64_t replaced = 0;
  while (inLeft > 0) {
    char* dst = out.data() + used;
    size_t dstLeft = out.size() - used;
    const size_t rc = iconv(converter, &in, &inLeft, &dst, &dstLeft);
    used = static_cast<size_t>(dst - out.data());
    if (rc != static_cast<size_t>(-1)) break;
    const int error = errno;
    if (error == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // A character the target lacks or bytes that are no character (EILSEQ),
    // or an incomplete character at the end (EINVAL): one "?" each.
    if (used == out.size()) out.resize(out.size() * 2);
    out[used++] = '?';
    replaced++;
    const size_t skip = error == EILSEQ
                            ? sourceCharacterLength(reinterpret_cast<unsigned char*>(in), inLeft,
                                                    sourceUtf8)
                            : inLeft;
    in += skip;
    inLeft -= skip;
  }
  for (;;) {  // the closing shift sequence, if the target has one
    char* dst = out.data() + used;
    size_t dstLeft = out.size() - used;
    const size_t rc = iconv(converter, nullptr, nullptr, &dst, &dstLeft);
    used = static_cast<size_t>(dst - out.data());
    if (rc != static_cast<size_t>(-1) || errno != E2BIG) break;
    out.resize(out.size() * 2);
  }
  fwrite_unlocked(out.data(), 1, used, stream);
  return replaced;
}

namespace {

bool plausibleUcs2Unit(unsigned unit) {
  if (unit <= 127) return std::isprint(static_cast<int>(unit)) || std::isspace(static_cast<int>(unit));
  return (unit >= 0x3400 && unit <= 0x4D85) || (unit >= 0x4E00 && unit <= 0x9FEF) ||
         (unit >= 0xF900 && unit <= 0xFAD9);
}

}  // namespace

// An odd length cannot be UCS-2 in either byte order; the big-endian test
// rejects it too rather than judging the text without its last byte.
bool is_valid_ucs2le_string(const unsigned char* bytes, size_t length) {
  if (length % 2 != 0) return false;
  for (size_t i = 0; i < length; i += 2) {
    if (!plausibleUcs2Unit(bytes[i] | (bytes[i + 1] << 8))) return false;
  }
  return true;
}

bool is_valid_ucs2be_string(const unsigned char* bytes, size_t length) {
  if (length % 2 != 0) return false;
  for (size_t i = 0; i < length; i += 2) {
    if (!plausibleUcs2Unit((bytes[i] << 8) | bytes[i + 1])) return false;
  }
  return true;
}

namespace {

bool nameHas(const char* name, const char* part) {
  std::string n;
  for (const char* p = name; *p; p++)
    if (*p != '-' && *p != '_') n.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(*p))));
  return n.find(part) != std::string::npos;
}

// Bytes of the source character the converter rejected at p.
size_t rejectedLength(TextSource source, const unsigned char* p, size_t left) {
  size_t n = 1;
  switch (source) {
    case TextSource::kUtf16: n = 2; break;
    case TextSource::kUtf32: n = 4; break;
    case TextSource::kUtf8:
      while (n < left && n < 4 && (p[n] & 0xC0) == 0x80) n++;
      break;
    case TextSource::kBytes: break;
  }
  return n < left ? n : left;
}

void putReplacement(TextStream& s, size_t& used) {
  if (s.out.size() - used < s.replacementLength) s.out.resize(s.out.size() * 2 + s.replacementLength);
  memcpy(s.out.data() + used, s.replacement, s.replacementLength);
  used += s.replacementLength;
  s.replaced++;
}

}  // namespace

TextSource textSourceOf(const char* iconvName) {
  if (iconvName == nullptr) return TextSource::kBytes;
  if (nameHas(iconvName, "UTF16") || nameHas(iconvName, "UCS2") ||
      nameHas(iconvName, "UNICODE"))
    return TextSource::kUtf16;
  if (nameHas(iconvName, "UTF32") || nameHas(iconvName, "UCS4")) return TextSource::kUtf32;
  if (nameHas(iconvName, "UTF8")) return TextSource::kUtf8;
  return TextSource::kBytes;
}

void setTextStream(TextStream& s, iconv_t converter, TextSource source, const char* target) {
  s.converter = converter;
  s.source = source;
  s.replacement[0] = '?';
  s.replacementLength = 1;
  s.pendingLength = 0;
  if (converter == reinterpret_cast<iconv_t>(-1) || target == nullptr) return;
  iconv_t probe = iconv_open(target, "UTF-8");
  if (probe == reinterpret_cast<iconv_t>(-1)) return;
  char fffd[] = "\xEF\xBF\xBD";
  char* in = fffd;
  size_t inLeft = 3;
  char buffer[sizeof s.replacement];
  char* dst = buffer;
  size_t dstLeft = sizeof buffer;
  if (iconv(probe, &in, &inLeft, &dst, &dstLeft) != static_cast<size_t>(-1) && inLeft == 0 &&
      iconv(probe, nullptr, nullptr, &dst, &dstLeft) != static_cast<size_t>(-1) &&
      dst > buffer) {
    s.replacementLength = static_cast<size_t>(dst - buffer);
    memcpy(s.replacement, buffer, s.replacementLength);
  }
  iconv_close(probe);
}

void beginTextStream(TextStream& s) {
  s.pendingLength = 0;
  if (s.converter != reinterpret_cast<iconv_t>(-1))
    iconv(s.converter, nullptr, nullptr, nullptr, nullptr);
}

size_t convertTextPiece(TextStream& s, const unsigned char* bytes, size_t length,
                        const unsigned char** out) {
  *out = bytes;
  if (s.converter == reinterpret_cast<iconv_t>(-1)) return length;
  if (length == 0) return 0;
  if (s.out.size() < 2 * length + 64) s.out.resize(2 * length + 64);
  const unsigned char* src = bytes;
  size_t inLeft = length;
  if (s.pendingLength > 0) {
    s.joined.assign(s.pending, s.pending + s.pendingLength);
    s.joined.insert(s.joined.end(), bytes, bytes + length);
    src = s.joined.data();
    inLeft = s.joined.size();
    s.pendingLength = 0;
  }
  char* in = const_cast<char*>(reinterpret_cast<const char*>(src));
  size_t used = 0;
  while (inLeft > 0) {
    char* dst = s.out.data() + used;
    size_t dstLeft = s.out.size() - used;
    const size_t rc = iconv(s.converter, &in, &inLeft, &dst, &dstLeft);
    used = static_cast<size_t>(dst - s.out.data());
    if (rc != static_cast<size_t>(-1)) break;
    const int error = errno;
    if (error == E2BIG) {
      s.out.resize(s.out.size() * 2);
    } else if (error == EINVAL && inLeft < sizeof s.pending) {
      // A character cut by the end of the piece: it waits for the next one.
      memcpy(s.pending, in, inLeft);
      s.pendingLength = inLeft;
      break;
    } else {
      putReplacement(s, used);
      const size_t skip = rejectedLength(s.source, reinterpret_cast<unsigned char*>(in), inLeft);
      in += skip;
      inLeft -= skip;
    }
  }
  *out = reinterpret_cast<const unsigned char*>(s.out.data());
  return used;
}

size_t finishTextStream(TextStream& s, const unsigned char** out) {
  *out = nullptr;
  if (s.converter == reinterpret_cast<iconv_t>(-1)) return 0;
  if (s.out.size() < 64) s.out.resize(64);
  size_t used = 0;
  if (s.pendingLength > 0) putReplacement(s, used);
  s.pendingLength = 0;
  for (;;) {
    char* dst = s.out.data() + used;
    size_t dstLeft = s.out.size() - used;
    const size_t rc = iconv(s.converter, nullptr, nullptr, &dst, &dstLeft);
    used = static_cast<size_t>(dst - s.out.data());
    if (rc != static_cast<size_t>(-1) || errno != E2BIG) break;
    s.out.resize(s.out.size() * 2);
  }
  *out = reinterpret_cast<const unsigned char*>(s.out.data());
  return used;
}

const char* national_target_name(uint16_t charset) {
  const char* to = iconv_charset_name(charset);
  if (charset == kUs7AsciiId || charset == kAl32Utf8Id || to == nullptr) to = "UTF-8";
  return to;
}

bool is_utf8_database_charset(uint16_t charset) {
  return charset == kUtf8Id || charset == kAl32Utf8Id;
}
