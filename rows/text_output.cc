#include "rows/text_output.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/stream_write.h"
#include "format/data_layout.h"
#include "rows/compress.h"
#include "rows/print_field.h"
#include "rows/row_walk.h"
#include "rows/text_rows.h"
#include "values/value_format.h"

namespace {

// The bytes numbers, dates, timestamps, intervals, floats and hexadecimal
// are written with.
constexpr char kFixedTextBytes[] = "0123456789ABCDEF+-.: NIaefn";

bool madeOfFixedText(const char* tag, uint16_t length) {
  if (length == 0) return false;
  for (uint16_t i = 0; i < length; i++)
    if (tag[i] == 0 || strchr(kFixedTextBytes, tag[i]) == nullptr) return false;
  return true;
}

// Values are short and tags shorter: a search for the first byte and a
// compare of the rest costs less than a general substring search.
bool holdsOne(const char* text, size_t length, const char* tag, uint16_t tagLength) {
  if (tagLength == 0 || length < tagLength) return false;
  const char* p = text;
  const char* last = text + (length - tagLength);
  while (p <= last) {
    p = static_cast<const char*>(memchr(p, tag[0], static_cast<size_t>(last - p) + 1));
    if (p == nullptr) return false;
    if (memcmp(p + 1, tag + 1, tagLength - 1u) == 0) return true;
    p++;
  }
  return false;
}

// Writes text with each double quote doubled; returns the bytes written.
size_t writeQuotesDoubled(FILE* stream, const char* text, size_t length) {
  size_t written = 0;
  const char* p = text;
  const char* end = text + length;
  while (p < end) {
    const char* q = static_cast<const char*>(memchr(p, '"', static_cast<size_t>(end - p)));
    const size_t n = static_cast<size_t>((q == nullptr ? end : q + 1) - p);
    writeBytes(stream, p, n);
    written += n;
    if (q == nullptr) break;
    putc_unlocked('"', stream);
    written++;
    p = q + 1;
  }
  return written;
}

ssize_t appendRendered(void* cookie, const char* bytes, size_t length) {
  static_cast<std::string*>(cookie)->append(bytes, length);
  return static_cast<ssize_t>(length);
}

// LOB text on its way to the output: counted, quotes doubled in CSV, and in
// text style looked at for the tags, also where a tag spans two pieces.
ssize_t filterLob(void* cookie, const char* bytes, size_t length) {
  TextOutput& t = *static_cast<TextOutput*>(cookie);
  if (t.csv) {
    t.lobBytes += writeQuotesDoubled(t.lobTarget, bytes, length);
    return static_cast<ssize_t>(length);
  }
  fwrite_unlocked(bytes, 1, length, t.lobTarget);
  t.lobBytes += length;
  const SessionContext& ctx = *t.ctx;
  const size_t keep = static_cast<size_t>(
      (ctx.fieldTagLength > ctx.recordTagLength ? ctx.fieldTagLength : ctx.recordTagLength));
  if (!t.lobTagged && keep > 1 && !t.lobTail.empty()) {
    std::string joint = t.lobTail;
    joint.append(bytes, length < keep - 1 ? length : keep - 1);
    t.lobTagged = holdsTag(ctx, joint.data(), joint.size());
  }
  if (!t.lobTagged) t.lobTagged = holdsTag(ctx, bytes, length);
  if (keep > 1) {
    t.lobTail.append(bytes, length);
    if (t.lobTail.size() > keep - 1) t.lobTail.erase(0, t.lobTail.size() - (keep - 1));
  }
  return static_cast<ssize_t>(length);
}

FILE* openCookieStream(void* cookie, cookie_write_function_t* write) {
  cookie_io_functions_t io = {};
  io.write = write;
  FILE* f = fopencookie(cookie, "w", io);
  // Unbuffered: every write reaches the cookie at once, and nothing needs
  // a flush between values.
  if (f != nullptr) setvbuf(f, nullptr, _IONBF, 0);
  return f;
}

// How a field's text is come by.
enum TextKind : uint8_t {
  kStoredText,    // the stored bytes (CHAR, VARCHAR2, LONG)
  kFixedText,     // digits, signs and letters that cannot need a look
  kRenderedText,  // rendered into the scratch buffer first
  kLobText,       // through the LOB filter
};

TextKind textKind(bool fixedTextNeedsLook, uint8_t type, uint16_t charsetForm, bool prefixed) {
  if (type == kColClob || type == kColBlob || type == kColNClob) return kLobText;
  if (prefixed) return kRenderedText;
  if (isStoredText(type, charsetForm)) return kStoredText;
  switch (type) {
    case kColVarchar2:
    case kColVarchar:
    case kColChar:
    case kColNChar:
    case kColVArray:
    case kColNArray: return kRenderedText;
    default: return fixedTextNeedsLook ? kRenderedText : kFixedText;
  }
}

// holdsTag for the text of one field, of which `readable` bytes (at least
// length) may be read. Most values hold neither tag's first byte, which a
// look at sixteen (or eight) bytes at a time shows.
bool fieldHoldsTag(const TextOutput& t, const SessionContext& ctx, const char* text,
                   size_t length, size_t readable) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i a = _mm_set1_epi8(static_cast<char>(t.tagStart[0]));
  const __m128i b = _mm_set1_epi8(static_cast<char>(t.tagStart[1]));
  for (; i < length && i + 16 <= readable; i += 16) {
    const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    unsigned hits = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(w, a), _mm_cmpeq_epi8(w, b))));
    if (length - i < 16) hits &= (1u << (length - i)) - 1;  // bytes past the text
    if (hits != 0) {
      const size_t at = i + static_cast<size_t>(__builtin_ctz(hits));
      return holdsTag(ctx, text + at, length - at);
    }
  }
  if (i >= length) return false;
#else
  (void)readable;
  // A word holds byte c when word ^ (c in every byte) has a zero byte.
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHighs = 0x8080808080808080ull;
  const uint64_t a = kOnes * t.tagStart[0];
  const uint64_t b = kOnes * t.tagStart[1];
  for (; i + 8 <= length; i += 8) {
    uint64_t w;
    memcpy(&w, text + i, 8);
    const uint64_t x = w ^ a;
    const uint64_t y = w ^ b;
    if ((((x - kOnes) & ~x) | ((y - kOnes) & ~y)) & kHighs) break;
  }
#endif
  for (; i < length; i++) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == t.tagStart[0] || c == t.tagStart[1]) return holdsTag(ctx, text + i, length - i);
  }
  return false;
}

// Records `length` bytes of text written for column c, holding a tag or
// not, as the whole value or a part of it: a part that goes on in the next
// piece (continues) is kept open, the next part (continued) adds to it.
void noteText(TextOutput& t, int c, bool continued, bool continues, size_t length,
              bool tagged) {
  uint32_t total = static_cast<uint32_t>(length);
  bool counted = false;
  if (continued) {
    total += t.openLength;
    counted = t.openTagged;
  }
  if (total > t.longest[c]) t.longest[c] = total;
  if (tagged && !counted) t.taggedValues++;
  if (continues) {
    t.openColumn = c;
    t.openLength = total;
    t.openTagged = tagged || counted;
  } else {
    t.openColumn = -1;
  }
}

// CSV: the value held over row pieces (of column openColumn), written whole.
void writeHeld(FILE* stream, TextOutput& t) {
  const size_t n = writeCsvField(stream, *t.ctx, t.held.data(), t.held.size());
  noteText(t, t.openColumn, false, false, n, false);
  t.held.clear();
  t.holding = false;
}

}  // namespace

TextOutput::TextOutput(const SessionContext& session, bool csvStyle)
    : csv(csvStyle), ctx(&session) {
  fixedTextNeedsLook = madeOfFixedText(session.fieldTag, session.fieldTagLength) ||
                       (!csv && madeOfFixedText(session.recordTag, session.recordTagLength));
  const bool prefixed = session.indexNumber != 0;
  for (int c = 0; c < kMaxColumns; c++) {
    const uint8_t type = session.columnTypes[c];
    kind[c] = textKind(fixedTextNeedsLook, type, session.columnCharsetForm[c],
                       prefixed || type == kColNotGiven);
  }
  // Without one of the tags the other's first byte stands for both.
  tagStart[0] = static_cast<unsigned char>(
      session.fieldTagLength > 0 ? session.fieldTag[0] : session.recordTag[0]);
  tagStart[1] = static_cast<unsigned char>(
      session.recordTagLength > 0 ? session.recordTag[0] : session.fieldTag[0]);
  scratch = openCookieStream(&rendered, appendRendered);
  lobFilter = openCookieStream(this, filterLob);
}

TextOutput::~TextOutput() {
  if (scratch != nullptr) fclose(scratch);
  if (lobFilter != nullptr) fclose(lobFilter);
}

bool holdsTag(const SessionContext& ctx, const char* text, size_t length) {
  return holdsOne(text, length, ctx.fieldTag, ctx.fieldTagLength) ||
         holdsOne(text, length, ctx.recordTag, ctx.recordTagLength);
}

namespace {

// Starts the next field of the row: FIELD_TAG unless it is the first, a
// held value written first when its rest never came.
void beginField(FILE* stream, const SessionContext& ctx, TextOutput& t) {
  if (t.holding) writeHeld(stream, t);
  t.openColumn = -1;
  if (t.fieldsInRow++ > 0) writeTag(stream, ctx.fieldTag, ctx.fieldTagLength);
}

// Every field but stored text in text style and fixed text written whole:
// rendered text, CSV quoting, values held over row pieces and LOBs.
void writeOtherField(FILE* stream, SessionContext& ctx, TextOutput& t, int column,
                     const MappedColumn& m, uint8_t type, bool continued, bool continues) {
  const uint8_t kind = t.kind[column];
  const uint16_t form = ctx.columnCharsetForm[column];
  const bool hold = t.csv && (continues || t.holding);

  // The text itself, when this field needs it at hand.
  const char* text = nullptr;
  size_t length = 0;
  if (kind == kStoredText) {
    text = reinterpret_cast<const char*>(ctx.blockBuffer + m.offset);
    length = storedTextLength(type, ctx.blockBuffer + m.offset, m.length);
  } else if (kind == kRenderedText || hold) {
    t.rendered.clear();
    if (ctx.indexNumber != 0 || type == kColNotGiven) fprintf(t.scratch, "C%d=", column + 1);
    printField(t.scratch, ctx, m.offset, m.length, type, form);
    text = t.rendered.data();
    length = t.rendered.size();
  }

  if (hold) {
    t.held.append(text, length);
    t.openColumn = column;
    t.holding = continues;
    if (!continues) writeHeld(stream, t);
    return;
  }
  if (text != nullptr) {
    if (t.csv) {
      noteText(t, column, continued, continues, writeCsvField(stream, ctx, text, length), false);
    } else {
      writeBytes(stream, text, length);
      noteText(t, column, continued, continues, length,
               fieldHoldsTag(t, ctx, text, length, length));
    }
    return;
  }
  if (kind == kFixedText) {
    printField(stream, ctx, m.offset, m.length, type, form);
    noteText(t, column, continued, continues, 2 * static_cast<size_t>(m.length), false);
    return;
  }
  // A LOB: not written at all when LOB_STORAGE says so.
  if (ctx.lobStorage > 1) return;
  t.lobTarget = stream;
  t.lobBytes = 0;
  t.lobTagged = false;
  t.lobTail.clear();
  if (t.csv) putc_unlocked('"', stream);
  printField(t.lobFilter, ctx, m.offset, m.length, type, form);
  if (t.csv) putc_unlocked('"', stream);
  noteText(t, column, continued, continues, t.lobBytes + (t.csv ? 2 : 0), t.lobTagged);
}

}  // namespace

int writeTextColumns(FILE* stream, SessionContext& ctx, int table, int row, int firstColumn,
                     bool compressed) {
  TextOutput& t = *ctx.textOutput;
  const int n = ctx.mappedCount;
  const bool previous = (ctx.rowFlag & kRowPrevious) != 0;
  const bool next = (ctx.rowFlag & kRowNext) != 0;
  for (int i = 0; i < n; i++) {
    const int c = firstColumn + i;
    // Columns past the type array (a chain longer than any real row) are
    // treated as skipped.
    if (c >= kMaxColumns) break;
    const uint8_t type = ctx.columnTypes[c];
    if (type == kColSkip) continue;
    const MappedColumn m = compressed ? getCompressColumn(ctx, i) : ctx.columnMap[i];
    const bool continues = i + 1 == n && next;
    // The piece's first column may go on from the previous piece's last.
    const bool continued = i == 0 && previous && t.openColumn == c;
    if (!continued) beginField(stream, ctx, t);
    if (!isFieldInBlock(ctx, m.offset, m.length)) {
      if (m.length != 0 && type == kColNotGiven) warnUnknownType(ctx, c, table, row, m);
      if (t.holding && !continues) writeHeld(stream, t);
      continue;
    }
    const uint8_t kind = t.kind[c];
    const unsigned char* value = ctx.blockBuffer + m.offset;
    if (kind == kStoredText && !t.csv) {
      // The common case: stored text written as it is.
      const size_t length = type == kColChar ? storedTextLength(type, value, m.length) : m.length;
      const char* text = reinterpret_cast<const char*>(value);
      writeBytes(stream, text, length);
      noteText(t, c, continued, continues, length,
               fieldHoldsTag(t, ctx, text, length, ctx.blockSize - m.offset));
    } else if (kind == kFixedText && !continues && !t.holding) {
      // Hexadecimal doubles the bytes; the other fixed types have a longest
      // text of their own, which the control file knows.
      printFieldValue(stream, ctx, value, m.length, type, ctx.columnCharsetForm[c]);
      noteText(t, c, continued, false, 2 * static_cast<size_t>(m.length), false);
    } else {
      if (type == kColNotGiven) warnUnknownType(ctx, c, table, row, m);
      writeOtherField(stream, ctx, t, c, m, type, continued, continues);
    }
  }
  return firstColumn + n;
}

void writeRowAddress(FILE* stream, SessionContext& ctx, int32_t rdba, int table, int row) {
  TextOutput* t = ctx.textOutput;
  if (t != nullptr && t->fieldsInRow > 0) writeTag(stream, ctx.fieldTag, ctx.fieldTagLength);
  fprintf(stream, "%d.%d.%d", rdba, table, row);
  if (t == nullptr) {
    writeTag(stream, ctx.fieldTag, ctx.fieldTagLength);
    return;
  }
  t->fieldsInRow++;
  t->openColumn = -1;
}

void endTextRecord(FILE* stream, SessionContext& ctx) {
  if (TextOutput* t = ctx.textOutput) {
    if (t->holding) writeHeld(stream, *t);
    if (t->csv) {
      for (; t->fieldsInRow < t->rowWidth; t->fieldsInRow++)
        if (t->fieldsInRow > 0) writeTag(stream, ctx.fieldTag, ctx.fieldTagLength);
    }
    t->fieldsInRow = 0;
    t->openColumn = -1;
  }
  writeTag(stream, ctx.recordTag, ctx.recordTagLength);
}

size_t writeCsvField(FILE* stream, const SessionContext& ctx, const char* text, size_t length) {
  return writeCsvField(stream, ctx.fieldTag, ctx.fieldTagLength, text, length);
}

size_t writeCsvField(FILE* stream, const char* separator, uint16_t separatorLength,
                     const char* text, size_t length) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  const bool quote = length > 0 && (blank(text[0]) || blank(text[length - 1]) ||
                                    memchr(text, '"', length) != nullptr ||
                                    memchr(text, '\n', length) != nullptr ||
                                    memchr(text, '\r', length) != nullptr ||
                                    holdsOne(text, length, separator, separatorLength));
  if (!quote) {
    writeBytes(stream, text, length);
    return length;
  }
  putc_unlocked('"', stream);
  const size_t written = writeQuotesDoubled(stream, text, length);
  putc_unlocked('"', stream);
  return written + 2;
}

void writeCsvHeader(FILE* stream, const SessionContext& ctx,
                    const std::vector<std::string>& names) {
  for (size_t i = 0; i < names.size(); i++) {
    if (i > 0) writeTag(stream, ctx.fieldTag, ctx.fieldTagLength);
    writeCsvField(stream, ctx, names[i].data(), names[i].size());
  }
  writeTag(stream, ctx.recordTag, ctx.recordTagLength);
}
