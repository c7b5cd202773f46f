// Command readers and the small scanners every command handler shares.
//
// A command is gathered from one or more physical lines into a CommandBuffer.
// Every command is one line, except one whose first word is UNLOAD: its lines
// are joined with one blank until a line ends with ";" (complete), a line ends
// with "." (cancelled), or the text exceeds 7168 characters (complete).
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/field_scanner.h"

constexpr uint32_t kCommandTextSize = 8192;   // command text, plus a NUL
constexpr uint32_t kLineBufferSize = 1024;    // one physical line piece
constexpr uint32_t kCommandSoftLimit = 7168;  // longer texts stop gathering

struct CommandBuffer {
  uint32_t start = 0;   // first character of the current token
  uint32_t end = 0;     // one past the current token; the next scan starts here
  int32_t length = 0;   // characters the scanners may look at
  char text[kCommandTextSize + 1] = {};
};


// Standard input: 0 when a command (maybe empty) is ready, -1 for EXIT or end
// of input.
int getZUTCommand(FILE* in, CommandBuffer& cmd);
// Script file: prompts and echoes each line; 0 when a command (maybe empty) is
// ready, -1 when its first word is EXIT.
int readZUTCommand(FILE* script, CommandBuffer& cmd);

int scanNextWord(CommandBuffer& cmd);
// 0 when the current token equals the keyword ignoring case, non-zero otherwise.
int compareKeyword(const CommandBuffer& cmd, const char* keyword);
int scanNextField(CommandBuffer& cmd);
int scanNextString(CommandBuffer& cmd, char delimiter);

// Decodes escapes of the first min(count, strlen(src)) characters into dst,
// NUL-terminates it and returns the number of bytes written.
int convertOption(const char* src, char* dst, int count);
int getHexIndex(char c);
