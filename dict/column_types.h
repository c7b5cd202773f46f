// From a table's COL$ lines to what the rest of the tool needs: the column
// types of an unload (session context and table descriptor), the DESC column
// listing and the CREATE TABLE statement. All three read only the column
// bucket file of the table's obj#.
//
// A column with segcol# 0 of a named type (the visible column of an XMLTYPE,
// whose data lives in a hidden LOB column) has no storage of its own: its
// name and type are handed to the next stored column of the table, so the
// stored column is unloaded and created under the visible name and type.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/session_context.h"
#include "dict/dict_files.h"

constexpr int kMaxTableColumns = 1023;  // segcol# 1 .. 1023
constexpr int kCreateSlots = 1024;      // segcol# 1 .. 1024 in CREATE TABLE

struct TableColumn {
  char name[kDictNameSize] = {};
  uint8_t type = 0;  // 0 for a position no column line describes (skipped)
  uint16_t length = 0;
  uint16_t charsetId = 0;
  uint16_t charsetForm = 0;
  uint32_t adtKind = kAdtUnresolved;
  char typeOwner[kDictNameSize] = {};
  char typeName[kDictNameSize] = {};
};

// Indexed by segcol# - 1 (storage order).
struct TableDescriptor {
  uint16_t columnCount = 0;
  TableColumn columns[kMaxTableColumns];
};

// Loads the columns of table.objId into ctx (columnTypes, columnLength,
// columnCharsetId, columnCharsetForm, columnCount) and desc. The column count
// is the highest segcol# loaded, so a gap in the numbering (a damaged or
// partial COL$) leaves a skipped position instead of losing the columns
// after it. Always returns 1; a missing bucket file leaves both counts at 0.
int getORACOLTYPE(DictColumnEntry& column, const DictObjectEntry& table, const char* partition,
                  SessionContext& ctx, TableDescriptor& desc);

// The DESC column listing of obj#, in file order, hidden columns included
// under their own names. Returns 1; writes nothing when the bucket is missing.
int getORASYSCOL(FILE* out, DictColumnEntry& column, uint32_t objId);

// Replaces out with the CREATE TABLE statement of the table, columns in
// storage order. A non-empty name replaces the table's name; pretty puts each
// column on its own line. The statement grows as needed: it is never cut,
// since a cut statement is a broken script. Returns 1.
int getCreateSyntax(std::string& out, DictColumnEntry& column, const DictObjectEntry& table,
                    const char* name, int pretty);

// The type text of one column as DESC shows it (line feed included) and as
// the CREATE TABLE column clause writes it (blank before and after).
void formatDescType(std::string& out, const DictColumnEntry& column, uint32_t tableObjId);
void formatCreateClause(std::string& out, const DictColumnEntry& column);
