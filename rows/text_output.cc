#include "rows/text_output.h"

#include <cstring>

#include "rows/print_field.h"
#include "rows/row_walk.h"
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

bool holdsOne(const char* text, size_t length, const char* tag, uint16_t tagLength) {
  if (tagLength == 0 || length < tagLength) return false;
  if (tagLength == 1) return memchr(text, tag[0], length) != nullptr;
  return memmem(text, length, tag, tagLength) != nullptr;
}

// Writes text with each double quote doubled; returns the bytes written.
size_t writeQuotesDoubled(FILE* stream, const char* text, size_t length) {
  size_t written = 0;
  const char* p = text;
  const char* end = text + length;
  while (p < end) {
    const char* q = static_cast<const char*>(memchr(p, '"', static_cast<size_t>(end - p)));
    const size_t n = static_cast<size_t>((q == nullptr ? end : q + 1) - p);
    fwrite_unlocked(p, 1, n, stream);
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
enum class TextKind {
  Stored,    // the stored bytes (CHAR, VARCHAR2, LONG)
  Fixed,     // digits, signs and letters that cannot need a look
  Rendered,  // rendered into the scratch buffer first
  Lob,       // through the LOB filter
};

TextKind textKind(const TextOutput& t, uint8_t type, uint16_t charsetForm, bool prefixed) {
  if (type == kColClob || type == kColBlob || type == kColNClob) return TextKind::Lob;
  if (prefixed) return TextKind::Rendered;
  if (isStoredText(type, charsetForm)) return TextKind::Stored;
  switch (type) {
    case kColVarchar2:
    case kColVarchar:
    case kColChar:
    case kColNChar:
    case kColVArray:
    case kColNArray: return TextKind::Rendered;
    default: return t.fixedTextNeedsLook ? TextKind::Rendered : TextKind::Fixed;
  }
}

void noteLength(TextOutput& t, int column, size_t length) {
  t.valueLength += static_cast<uint32_t>(length);
  if (column >= 0 && column < kMaxColumns && t.valueLength > t.longest[column])
    t.longest[column] = t.valueLength;
}

void noteTagged(TextOutput& t, bool tagged) {
  if (!tagged || t.valueTagged) return;
  t.valueTagged = true;
  t.taggedValues++;
}

void writeHeld(FILE* stream, TextOutput& t) {
  noteLength(t, t.valueColumn, writeCsvField(stream, *t.ctx, t.held.data(), t.held.size()));
  t.held.clear();
  t.holding = false;
}

}  // namespace

TextOutput::TextOutput(const SessionContext& session, bool csvStyle)
    : csv(csvStyle), ctx(&session) {
  fixedTextNeedsLook = madeOfFixedText(session.fieldTag, session.fieldTagLength) ||
                       (!csv && madeOfFixedText(session.recordTag, session.recordTagLength));
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

void writeTextField(FILE* stream, SessionContext& ctx, int column, const MappedColumn& m,
                    uint8_t type, bool continued, bool continues) {
  TextOutput& t = *ctx.textOutput;
  if (!continued || t.valueColumn != column) {
    if (t.holding) writeHeld(stream, t);  // its rest never came
    if (t.fieldsInRow > 0) writeTag(stream, ctx.fieldTag, ctx.fieldTagLength);
    t.fieldsInRow++;
    t.valueColumn = column;
    t.valueLength = 0;
    t.valueTagged = false;
  }
  if (!isFieldInBlock(ctx, m.offset, m.length)) {
    if (!continues && t.holding) writeHeld(stream, t);
    return;
  }
  const uint16_t form = column < kMaxColumns ? ctx.columnCharsetForm[column] : 0;
  const bool prefixed = ctx.indexNumber != 0 || type == kColNotGiven;
  const TextKind kind = textKind(t, type, form, prefixed);
  const bool hold = t.csv && (continues || t.holding);

  // The text itself, when this field needs it at hand.
  const char* text = nullptr;
  size_t length = 0;
  if (kind == TextKind::Stored) {
    text = reinterpret_cast<const char*>(ctx.blockBuffer + m.offset);
    length = storedTextLength(type, ctx.blockBuffer + m.offset, m.length);
  } else if (kind == TextKind::Rendered || hold) {
    t.rendered.clear();
    if (prefixed) fprintf(t.scratch, "C%d=", column + 1);
    printField(t.scratch, ctx, m.offset, m.length, type, form);
    text = t.rendered.data();
    length = t.rendered.size();
  }

  if (hold) {
    t.held.append(text, length);
    t.holding = continues;
    if (!continues) writeHeld(stream, t);
    return;
  }
  if (text != nullptr) {
    if (t.csv) {
      noteLength(t, column, writeCsvField(stream, ctx, text, length));
    } else {
      fwrite_unlocked(text, 1, length, stream);
      noteLength(t, column, length);
      noteTagged(t, holdsTag(ctx, text, length));
    }
    return;
  }
  if (kind == TextKind::Fixed) {
    printField(stream, ctx, m.offset, m.length, type, form);
    // Hexadecimal doubles the bytes; the other fixed types have a longest
    // text of their own, which the control file knows.
    noteLength(t, column, 2 * static_cast<size_t>(m.length));
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
  noteLength(t, column, t.lobBytes + (t.csv ? 2 : 0));
  if (!t.csv) noteTagged(t, t.lobTagged);
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
  t->valueColumn = -1;
}

void endTextRecord(FILE* stream, SessionContext& ctx) {
  if (TextOutput* t = ctx.textOutput) {
    if (t->holding) writeHeld(stream, *t);
    if (t->csv) {
      for (; t->fieldsInRow < t->rowWidth; t->fieldsInRow++)
        if (t->fieldsInRow > 0) writeTag(stream, ctx.fieldTag, ctx.fieldTagLength);
    }
    t->fieldsInRow = 0;
    t->valueColumn = -1;
    t->valueLength = 0;
    t->valueTagged = false;
  }
  writeTag(stream, ctx.recordTag, ctx.recordTagLength);
}

size_t writeCsvField(FILE* stream, const SessionContext& ctx, const char* text, size_t length) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  const bool quote = length > 0 && (blank(text[0]) || blank(text[length - 1]) ||
                                    memchr(text, '"', length) != nullptr ||
                                    memchr(text, '\n', length) != nullptr ||
                                    memchr(text, '\r', length) != nullptr ||
                                    holdsOne(text, length, ctx.fieldTag, ctx.fieldTagLength));
  if (!quote) {
    fwrite_unlocked(text, 1, length, stream);
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
