// SET: shows and changes one session setting at a time.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/interpreter.h"
#include "cli/unload_args.h"
#include "datafile/block_reader.h"
#include "values/charset.h"

namespace {

void printSetHelp() {
  fputs("  SET BLOCK_SIZE    {2048 | 4096 | 8192 | 16384 | 32768}\n"
        "  SET BYTE_ORDER    {BIG | LITTLE}\n"
        "  SET DELETED_ROW   {TRUE | FALSE}\n"
        "  SET COMMITED_ONLY {TRUE | FALSE}\n"
        "  SET FIELD_TAG     field_tag \n"
        "  SET RECORD_TAG    record_tag\n"
        "  SET CACHE_SIZE    kbytes (64 - 8192)\n"
        "  SET OUTPUT_STYLE  {TXT | DMP | CSV}\n"
        "  SET CSV_HEADER    {ON | OFF}\n"
        "  SET CHARSET       charsetid\n"
        "  SET NLSCHARSET    charsetid\n"
        "  SET FIXED_CHARSET {true | false}\n"
        "  SET BLOCK_CHECK   {0 | 1}\n"
        "  SET HEAD_SIZE     header size (default 0)\n"
        "  SET VERBOSE       {0 | 1}\n"
        "  SET ROW_ADDRESS   {0 | 1}\n"
        "  SET CLOB_EDIAN    {BIG | LITTLE}\n"
        "  SET LOB_STORAGE   {0:INLINE | 1:FILE | 2:NONE}\n"
        "  SET MAXLOBDIR     values between 100  and 2000\n"
        "  SET MAXCHAINS     integer value\n"
        "  SET BIGFILE       {Yes | NO}\n"
        "  SET ICONV_NCHAR   from_iconv_charset to_iconv_charset\n"
        "  SET ICONV_NCLOB   from_iconv_charset to_iconv_charset\n"
        "  SET ICONV_CLOB    from_iconv_charset to_iconv_charset\n",
        stdout);
}

// One line per setting for HELP: its values and its default.
const char* const kSettingLines[] = {
    "  BLOCK_SIZE     2048 | 4096 | 8192 | 16384 | 32768 (8192; OPEN takes it from the headers)",
    "  BYTE_ORDER     BIG | LITTLE (LITTLE; OPEN takes it from the headers)",
    "  BIGFILE        YES | NO: block addresses are plain block numbers (NO)",
    "  CACHE_SIZE     read-ahead window in KiB, 64 - 8192 (256)",
    "  BLOCK_CHECK    0 | 1: verify block checksums (0)",
    "  TABLESPACE     unload only segments of this tablespace number (0: all)",
    "  DELETED_ROW    TRUE | FALSE: unload deleted rows too (FALSE)",
    "  COMMITED_ONLY  TRUE | FALSE: unload committed rows only (FALSE)",
    "  OUTPUT_STYLE   TXT | DMP | CSV (TXT)",
    "  CSV_HEADER     ON | OFF: first CSV line of column names (OFF)",
    "  FIELD_TAG      text between values (|; , in CSV)",
    "  RECORD_TAG     text after each row (\\r\\n; \\n in CSV)",
    "  ROW_ADDRESS    0 | 1: rows start with their address (0)",
    "  CHARSET        database character set id (1, US7ASCII)",
    "  NLSCHARSET     national character set id (2000, AL16UTF16)",
    "  FIXED_CHARSET  TRUE | FALSE: fixed character set in export dump records (FALSE)",
    "  ICONV_NCHAR    from to: iconv conversion of NCHAR and NVARCHAR2 (national default)",
    "  ICONV_NCLOB    from to: iconv conversion of NCLOB (national default)",
    "  ICONV_CLOB     from to: iconv conversion of CLOB (none)",
    "  CLOB_EDIAN     BIG | LITTLE: byte order of UTF-16 CLOBs (BIG)",
    "  LOB_STORAGE    0 INLINE | 1 FILE | 2 NONE: where LOB values go (0)",
    "  MAXLOBDIR      LOB files per LOBDATA directory, 100 - 2000 (500)",
    "  LONG_TAG       text around LONG and LOB values (none)",
    "  MAXCHAINS      longest row chain followed (0: no limit)",
    "  GUESS_SIZE     rows SAMPLE reads, at least 10 (8192)",
    "  TRANS_OFFSET   ITL list offset for block dumps (0: from the block)",
    "  TRANS_COUNT    ITL entries for block dumps (0: from the block)",
    "  VERBOSE        0 | 1: more detail while working (0)",
    "  PARALLEL       unload processes, 1 - 64; 0: one per online core (1)",
    "  HEAD_SIZE      kept per file: the second word of a configuration line (0)",
};

}  // namespace

void printSettingsHelp(FILE* out) {
  for (const char* line : kSettingLines) fprintf(out, "%s\n", line);
}

namespace {

std::string currentWord(const CommandBuffer& cmd) {
  return std::string(cmd.text + cmd.start, cmd.end - cmd.start);
}

bool wordIs(const std::string& w, const char* kw) {
  return w.size() == strlen(kw) && strncasecmp(w.c_str(), kw, w.size()) == 0;
}

uint64_t settingNumber(const std::string& w, uint64_t max) { return decimalArgument(w.c_str(), max); }

// Tags: the raw word is copied first so that a lone trailing backslash stays.
uint16_t setTag(char* tag, const std::string& w) {
  memset(tag, 0, kTagSize);
  size_t n = w.size() < kTagSize - 1 ? w.size() : kTagSize - 1;
  memcpy(tag, w.data(), n);
  return static_cast<uint16_t>(convertOption(w.c_str(), tag, static_cast<int>(n)));
}

void printTag(const char* name, const char* tag, uint16_t len) {
  printf("  Current %s :", name);
  for (uint16_t i = 0; i < len; i++) {
    unsigned char c = static_cast<unsigned char>(tag[i]);
    if (c == '\t') fputs("\\t", stdout);
    else if (c == '\n') fputs("\\n", stdout);
    else if (c == '\r') fputs("\\r", stdout);
    else if (c == '\\') fputs("\\\\", stdout);
    else if (isprint(c)) fputc(c, stdout);
    else printf("\\x%02x", c);
  }
  fputc('\n', stdout);
}

// Enumerated values: returns 1 or 0 for the two words, -1 for any other.
int twoWay(const std::string& w, const char* one, const char* zero) {
  if (wordIs(w, one)) return 1;
  if (wordIs(w, zero)) return 0;
  return -1;
}

void setBoolean(const char* name, uint8_t& field, bool has, const std::string& w) {
  if (has) {
    int v = twoWay(w, "TRUE", "FALSE");
    if (v < 0) printf("  %s can only be TRUE, FALSE\n", name);
    else field = static_cast<uint8_t>(v);
  }
  printf("  Current %s is : %s\n", name, field ? "TRUE" : "FALSE");
}

// The names are kept beside the handle (names[0] from, names[1] to): LOB
// text needs to know how wide a source character is and what the target
// writes for one that does not convert.
void setConverter(CommandBuffer& cmd, iconv_t& cv, const char* name, bool has,
                  const std::string& from, std::string* names = nullptr) {
  if (has && scanNextWord(cmd) > 0) {
    std::string to = currentWord(cmd);
    std::string f = from.substr(0, 63);
    to = to.substr(0, 63);
    if (cv != kNoConverter) iconv_close(cv);
    cv = iconv_open(to.c_str(), f.c_str());
    if (names != nullptr) {
      names[0] = f;
      names[1] = to;
    }
  }
  printf("  Current %s is : %s\n", name, cv != kNoConverter ? "ON" : "OFF");
}

}  // namespace

void runSetCommand(ZUTState& st) {
  CommandBuffer& cmd = st.cmd;
  SessionContext& ctx = st.ctx;
  UserSettings& user = st.user;
  if (scanNextWord(cmd) == 0) return printSetHelp();
  const std::string opt = currentWord(cmd);
  const bool has = scanNextWord(cmd) > 0;
  const std::string val = has ? currentWord(cmd) : std::string();
  auto is = [&](const char* kw) { return wordIs(opt, kw); };

  if (is("BLOCK_SIZE")) {
    if (has) {
      uint64_t v = settingNumber(val, 0xFFFFFFFF);
      if (v == 0) {
        printf("  %s can only be %s, %s, %s, %s, %s\n", "BLOCK_SIZE", "2048", "4096", "8192",
               "16384", "32768");
      } else if (v % 2048 == 0 && v <= 32768) {
        user.blockLayoutSet = 1;
        if (v != ctx.blockSize) {
          free(ctx.blockBuffer);
          ctx.blockSize = static_cast<uint16_t>(v);
          ctx.blockBuffer = static_cast<unsigned char*>(calloc(ctx.blockSize, 1));
          emptyReadAheadCache(*ctx.dataCache);
        }
      }
    }
    printf("  Current %s is : %u\n", "BLOCK_SIZE", ctx.blockSize);
  } else if (is("BYTE_ORDER")) {
    if (has) {
      int v = twoWay(val, "BIG", "LITTLE");
      if (v < 0) {
        fputs("  BYTE_ORDER can only be BIG, LITTLE\n", stdout);
      } else {
        ctx.byteOrder = static_cast<uint8_t>(v);
        user.blockLayoutSet = 1;
      }
    }
    printf("  Current %s is : %s\n", "BYTE_ORDER", ctx.byteOrder ? "BIG" : "LITTLE");
  } else if (is("CLOB_EDIAN")) {
    if (has) {
      int v = twoWay(val, "BIG", "LITTLE");
      if (v < 0) printf("  %s can only be BIG, LITTLE\n", "CLOB_EDIAN");
      else ctx.clobByteOrder = static_cast<uint8_t>(v);
    }
    printf("  Current %s is : %s\n", "CLOB_EDIAN", ctx.clobByteOrder ? "BIG" : "LITTLE");
  } else if (is("LOB_STORAGE")) {
    if (has) ctx.lobStorage = static_cast<uint8_t>(settingNumber(val, 0xFF));
    printf("  Current %s is : %d-%s\n", "LOB_STORAGE", ctx.lobStorage,
           ctx.lobStorage == 0 ? "INLINE" : ctx.lobStorage == 1 ? "FILE" : "NONE");
  } else if (is("CHARSET")) {
    if (has) user.charset = get_ora_charset_id(val.c_str());
    printf("  Current %s is : 0x%04x (%u)\n", "CHARSET", user.charset, user.charset);
  } else if (is("NLSCHARSET")) {
    if (has) user.nlsCharset = get_ora_charset_id(val.c_str());
    printf("  Current %s is : 0x%04x (%u)\n", "NLSCHARSET", user.nlsCharset, user.nlsCharset);
  } else if (is("MAXLOBDIR")) {
    if (has) {
      uint64_t v = settingNumber(val, 0xFFFF);
      ctx.maxLobDir = static_cast<uint16_t>(v < 100 ? 100 : v > 2000 ? 2000 : v);
    }
    printf("  Current MAXLOBDIR is : %d\n", ctx.maxLobDir);
  } else if (is("VERBOSE")) {
    if (has) ctx.verbose = static_cast<uint8_t>(settingNumber(val, 0xFF));
    printf("  Current %s is : %d\n", "VERBOSE", ctx.verbose);
  } else if (is("ROW_ADDRESS")) {
    if (has) ctx.rowAddress = static_cast<uint8_t>(settingNumber(val, 0xFF));
    printf("  Current %s is : %d\n", "ROW_ADDRESS", ctx.rowAddress);
  } else if (is("BLOCK_CHECK")) {
    if (has) ctx.blockCheck = static_cast<uint8_t>(settingNumber(val, 0xFF));
    printf("  Current %s is : %d\n", "BLOCK_CHECK", ctx.blockCheck);
  } else if (is("TABLESPACE")) {
    if (has) user.tablespace = static_cast<uint16_t>(settingNumber(val, 0xFFFF));
    printf("  Current TABLESPACE is : %u\n", user.tablespace);
  } else if (is("MAXCHAINS")) {
    if (has) ctx.maxChains = static_cast<uint32_t>(settingNumber(val, 0xFFFFFFFF));
    printf("  Current MAXCHAINS is : %u\n", ctx.maxChains);
  } else if (is("GUESS_SIZE")) {
    if (has) {
      uint64_t v = settingNumber(val, 0xFFFF);
      ctx.guessSize = static_cast<uint16_t>(v < 10 ? 10 : v);
    }
    printf("  Current GUESS_SIZE is : %u\n", ctx.guessSize);
  } else if (is("DELETED_ROW")) {
    setBoolean("DELETED_ROW", user.deletedRow, has, val);
  } else if (is("FIXED_CHARSET")) {
    setBoolean("FIXED_CHARSET", user.fixedCharset, has, val);
  } else if (is("OUTPUT_STYLE")) {
    static const char* const kStyles[] = {"TXT", "DMP", "CSV"};
    if (has) {
      int v = -1;
      for (int i = 0; i < 3; i++)
        if (wordIs(val, kStyles[i])) v = i;
      if (v < 0) fputs("  OUTPUT_STYLE can only be TXT, DMP, CSV\n", stdout);
      else ctx.outputStyle = static_cast<uint8_t>(v);
    }
    printf("  Current %s is : %s\n", "OUTPUT_STYLE", kStyles[ctx.outputStyle < 3 ? ctx.outputStyle : 0]);
  } else if (is("PARALLEL")) {
    if (has) {
      bool fits = false;
      const uint64_t v = decimalArgument(val.c_str(), kMaxParallel, &fits);
      if (!fits) printf("  PARALLEL can only be 0 (one per core) to %d\n", kMaxParallel);
      else user.parallel = static_cast<uint8_t>(v);
    }
    printf("  Current %s is : %u\n", "PARALLEL", user.parallel);
  } else if (is("CSV_HEADER")) {
    if (has) {
      int v = twoWay(val, "ON", "OFF");
      if (v < 0) fputs("  CSV_HEADER can only be ON, OFF\n", stdout);
      else user.csvHeader = static_cast<uint8_t>(v);
    }
    printf("  Current %s is : %s\n", "CSV_HEADER", user.csvHeader ? "ON" : "OFF");
  } else if (is("COMMITED_ONLY")) {
    setBoolean("COMMITED_ONLY", user.commitedOnly, has, val);
  } else if (is("FIELD_TAG")) {
    if (has) {
      user.fieldTagLength = setTag(user.fieldTag, val);
      user.fieldTagSet = 1;
    }
    printTag("FIELD_TAG", user.fieldTag, user.fieldTagLength);
  } else if (is("LONG_TAG")) {
    memset(user.longTag, 0, kTagSize);
    if (has) memcpy(user.longTag, val.data(), val.size() < kTagSize - 1 ? val.size() : kTagSize - 1);
    printf("  Current %s : %s\n", "LONG_TAG", user.longTag);
  } else if (is("RECORD_TAG")) {
    if (has) user.recordTagLength = setTag(user.recordTag, val);
    printTag("RECORD_TAG", user.recordTag, user.recordTagLength);
  } else if (is("CACHE_SIZE")) {
    uint64_t kb = has ? settingNumber(val, 0xFFFFFFFF) : 256;
    kb = kb < 64 ? 64 : kb > 8192 ? 8192 : kb;
    resizeReadAheadCache(*ctx.dataCache, static_cast<uint32_t>(kb * 1024));
  } else if (is("TRANS_OFFSET")) {
    if (has) {
      uint64_t v = settingNumber(val, 0xFFFF);
      ctx.transOffset = static_cast<uint16_t>(v >= ctx.blockSize ? 0 : v);
    }
    printf("  Current TRANS_OFFSET is : %d\n", ctx.transOffset);
  } else if (is("TRANS_COUNT")) {
    if (has) ctx.transCount = static_cast<uint16_t>(settingNumber(val, 0xFFFF));
    printf("  Current TRANS_COUNT is : %d\n", ctx.transCount);
  } else if (is("BIGFILE")) {
    if (has) {
      int v = twoWay(val, "YES", "NO");
      if (v < 0) printf("  %s can only be YES, NO\n", "BIGFILE");
      else ctx.bigfile = static_cast<uint8_t>(v);
    }
    printf("  Current %s is : %s\n", "BIGFILE", ctx.bigfile ? "YES" : "NO");
  } else if (is("ICONV_NCHAR")) {
    setConverter(cmd, ctx.ncharConverter, "ICONV_NCHAR", has, val);
  } else if (is("ICONV_NCLOB")) {
    setConverter(cmd, ctx.nclobConverter, "ICONV_NCLOB", has, val, st.nclobIconv);
  } else if (is("ICONV_CLOB")) {
    setConverter(cmd, ctx.clobConverter, "ICONV_CLOB", has, val, st.clobIconv);
  } else {
    printSetHelp();
  }
}
