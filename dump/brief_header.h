// The short block description the scans print for every block they list,
// and the header lines it shares with the full field-by-field dump.
//
// Everything reads the block in the session block buffer through the
// bounds-checked layout accessors, so any block content prints something and
// nothing is read past the buffer.
#pragma once

#include <cstdio>

#include "core/session_context.h"

// "RDBA=0x%08x(%u/%u)," with the block's own address, its file and block
// numbers; withDecimal adds "=%u" (the address in decimal) before the comma.
void printRDBALine(FILE* out, const SessionContext& ctx, bool withDecimal);
// "type=0x%02x (%s),fmt=0x%02x,seq=0x%02x,flag=0x%02x \n".
void printBlockTypeLine(FILE* out, const SessionContext& ctx);
// The transaction header line of a data or index block:
// "seg/obj=0x%08x=%u,csc=0x%04x.%08x,itc=%u,typ=%u - %s %s\n".
void printDataSegObjLine(FILE* out, const SessionContext& ctx);
// One entry of a data block's table directory:
// "tab#=%3d     nrow=%4d     offs=%4d\n".
void printTableDirectoryLine(FILE* out, const SessionContext& ctx, uint32_t table);

// The short form by block type. With a non-zero row output mode the lines
// that identify the block begin with "## ".
void printBriefHeader(FILE* out, const SessionContext& ctx);
