#include "cli/command_reader.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "cli/line_editor.h"

namespace {

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Reads one physical line piece (at most 1023 characters). Returns its length;
// 0 means nothing could be read.
size_t readLinePiece(FILE* in, char* line) {
  memset(line, 0, kLineBufferSize);
  if (isLineEdited(in)) return readEditedPiece(line, kLineBufferSize, "");
  if (fgets(line, kLineBufferSize, in) == nullptr) return 0;
  return strlen(line);
}

// The first piece of a command line with its prompt: "ZUT> ", or the line
// number of an UNLOAD that goes on. The editor shows the prompt itself.
size_t readPromptedPiece(FILE* in, char* line, int lineNumber) {
  char prompt[16];
  if (lineNumber == 1) snprintf(prompt, sizeof prompt, "ZUT> ");
  else snprintf(prompt, sizeof prompt, "%4d ", lineNumber);
  if (isLineEdited(in)) {
    memset(line, 0, kLineBufferSize);
    return readEditedPiece(line, kLineBufferSize, prompt);
  }
  fputs(prompt, stdout);
  fflush(stdout);
  return readLinePiece(in, line);
}

void appendText(CommandBuffer& cmd, size_t& used, const char* s, size_t n) {
  if (used >= kCommandTextSize) return;
  if (n > kCommandTextSize - used) n = kCommandTextSize - used;
  memcpy(cmd.text + used, s, n);
  used += n;
  cmd.text[used] = 0;
}

// Locates the first word of the text; returns its length and start.
size_t firstWord(const char* text, size_t len, size_t* at) {
  size_t i = 0;
  while (i < len && isSpace(text[i])) i++;
  size_t j = i;
  while (j < len && !isSpace(text[j])) j++;
  *at = i;
  return j - i;
}

bool isAllSpace(const char* s) {
  for (; *s; s++)
    if (!isSpace(*s)) return false;
  return true;
}

enum class Finish { Complete, Exit, Continue };

// Trailing whitespace, ";" and "." rules of a gathered text. Sets length.
// Returns Complete (also for empty or cancelled), or Continue when the
// command's fate depends on its first word.
Finish trimCommand(CommandBuffer& cmd, bool* endedBySemicolon) {
  *endedBySemicolon = false;
  size_t len = strlen(cmd.text);
  while (len > 0 && isSpace(cmd.text[len - 1])) cmd.text[--len] = 0;
  if (len == 0) {
    cmd.length = 0;
    return Finish::Complete;
  }
  if (cmd.text[len - 1] == ';') {
    cmd.text[--len] = 0;
    cmd.length = static_cast<int32_t>(len);
    *endedBySemicolon = true;
    return Finish::Complete;
  }
  if (cmd.text[len - 1] == '.') {
    memset(cmd.text, 0, sizeof cmd.text);
    cmd.length = 0;
    return Finish::Complete;
  }
  cmd.length = static_cast<int32_t>(len);
  return Finish::Continue;
}

bool wordIs(const char* text, size_t at, size_t n, const char* kw) {
  return n == strlen(kw) && strncasecmp(text + at, kw, n) == 0;
}

// The end of input: whatever was gathered is completed as the last command.
int finishAtEnd(CommandBuffer& cmd) {
  cmd.start = cmd.end = 0;
  if (isAllSpace(cmd.text)) {
    cmd.length = 0;
    return 0;
  }
  bool semi;
  trimCommand(cmd, &semi);
  if (cmd.length == 0) return 0;
  size_t at;
  size_t n = firstWord(cmd.text, cmd.length, &at);
  return wordIs(cmd.text, at, n, "EXIT") ? -1 : 0;
}

// Gathers one command. Script mode echoes each line and skips blank first
// lines; standard input mode repeats empty reads (ended by end of input).
int gatherCommand(FILE* in, CommandBuffer& cmd, bool script, bool* atEnd) {
  char line[kLineBufferSize];
  int n = 1;
  size_t used = 0;
  *atEnd = false;
  for (;;) {
    if (n == 1) {
      memset(cmd.text, 0, sizeof cmd.text);
      used = 0;
    }
    size_t got = readPromptedPiece(in, line, n);
    if (script) {
      if (got) fputs(line, stdout);
      else fputc('\n', stdout);
    }
    if (got == 0) {
      *atEnd = true;
      return finishAtEnd(cmd);
    }
    if (script && n == 1 && isAllSpace(line)) continue;
    if (n > 1) appendText(cmd, used, " ", 1);
    appendText(cmd, used, line, got);

    // A physical line longer than one piece: unless the command is an UNLOAD
    // (whose pieces continue as further lines), the rest of the line belongs
    // to this command, never to a command of its own.
    if (n == 1 && line[got - 1] != '\n') {
      size_t at;
      size_t w = firstWord(cmd.text, used, &at);
      bool unload = wordIs(cmd.text, at, w, "UNLOAD") && at + w < used;
      while (!unload && line[got - 1] != '\n') {
        got = readLinePiece(in, line);
        if (got == 0) break;
        if (script) fputs(line, stdout);
        appendText(cmd, used, line, got);  // excess beyond the buffer is dropped
      }
      if (script && got && line[got - 1] != '\n' && !unload) fputc('\n', stdout);
    }

    if (cmd.text[0] == 0) {
      cmd.length = 0;
      return 0;
    }
    bool semi;
    if (trimCommand(cmd, &semi) == Finish::Complete) return 0;
    used = static_cast<size_t>(cmd.length);
    cmd.start = cmd.end = 0;
    if (cmd.length > static_cast<int32_t>(kCommandSoftLimit)) return 0;
    size_t at;
    size_t w = firstWord(cmd.text, cmd.length, &at);
    if (w == 0) continue;
    if (w == 4) return wordIs(cmd.text, at, w, "EXIT") ? -1 : 0;
    if (wordIs(cmd.text, at, w, "UNLOAD")) {
      n++;
      continue;
    }
    return 0;
  }
}

}  // namespace

int getZUTCommand(FILE* in, CommandBuffer& cmd) {
  bool atEnd;
  int rc = gatherCommand(in, cmd, false, &atEnd);
  // End of input ends the program like EXIT; a command gathered before it
  // still runs, and the next call reports the end.
  if (atEnd && cmd.length == 0) {
    fputc('\n', stdout);
    return -1;
  }
  return rc;
}

int readZUTCommand(FILE* script, CommandBuffer& cmd) {
  bool atEnd;
  return gatherCommand(script, cmd, true, &atEnd);
}

int scanNextWord(CommandBuffer& cmd) {
  uint32_t len = cmd.length > 0 ? static_cast<uint32_t>(cmd.length) : 0;
  uint32_t i = cmd.end;
  while (i < len && isSpace(cmd.text[i])) i++;
  cmd.start = i;
  while (i < len && !isSpace(cmd.text[i])) i++;
  cmd.end = i;
  return static_cast<int>(cmd.end - cmd.start);
}

int compareKeyword(const CommandBuffer& cmd, const char* keyword) {
  size_t n = strlen(keyword);
  if (cmd.end < cmd.start || cmd.end - cmd.start != n) return 1;
  return strncasecmp(cmd.text + cmd.start, keyword, n);
}

// The command's current token is scanned like a dictionary line's field.
namespace {

template <class Scan>
int scanCommand(CommandBuffer& cmd, Scan scan) {
  FieldScanner view;
  view.start = cmd.start;
  view.end = cmd.end;
  view.length = cmd.length;
  view.text = cmd.text;
  const int n = scan(view);
  cmd.start = view.start;
  cmd.end = view.end;
  return n;
}

}  // namespace

int scanNextField(CommandBuffer& cmd) {
  return scanCommand(cmd, [](FieldScanner& f) { return scanNextField(f); });
}
int scanNextString(CommandBuffer& cmd, char delimiter) {
  return scanCommand(cmd, [delimiter](FieldScanner& f) { return scanNextString(f, delimiter); });
}

int getHexIndex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

int convertOption(const char* src, char* dst, int count) {
  int n = static_cast<int>(strlen(src));
  if (count < n) n = count;
  int i = 0, o = 0;
  while (i < n) {
    char c = src[i];
    if (c != '\\') {
      dst[o++] = c;
      i++;
      continue;
    }
    if (i + 1 >= n) {  // lone trailing backslash: the position advances only
      o++;
      i++;
      break;
    }
    char e = src[i + 1];
    if (e == 'x' || e == 'X') {
      if (i + 3 < n) {
        dst[o++] = static_cast<char>(getHexIndex(src[i + 2]) * 16 + getHexIndex(src[i + 3]));
        i += 4;
      } else if (i + 2 < n) {
        dst[o++] = src[i + 2];
        i += 3;
      } else {
        dst[o++] = e;
        i += 2;
      }
      continue;
    }
    switch (e) {
      case 'l': dst[o++] = '|'; break;
      case 'n': dst[o++] = '\n'; break;
      case 'r': dst[o++] = '\r'; break;
      case 's': dst[o++] = ' '; break;
      case 't': dst[o++] = '\t'; break;
      default: dst[o++] = e; break;  // "\\" and any other character
    }
    i += 2;
  }
  dst[o] = 0;
  return o;
}
