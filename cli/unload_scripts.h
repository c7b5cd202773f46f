// The files written beside a table unload: the CREATE TABLE script, the
// SQL*Loader control file that loads the text output, and the export dump's
// prologue (header, TABLE, CREATE, INSERT and column types).
#pragma once

#include <cstdio>
#include <string>

#include "core/session_context.h"
#include "dict/column_types.h"

// Base name of the generated files: the AS name when given, else the table's
// dictionary name.
std::string scriptBaseName(const char* asName, const char* tableName);
// "%s_syntax.sql" and "%s_sqlldr.ctl" / "%s_%s_sqlldr.ctl" (with the
// partition), the names made safe by safeFileName and each "$" replaced by
// "_", so that the files always land in the working directory whatever the
// table is called.
std::string createScriptName(const std::string& base);
std::string controlFileName(const std::string& base, const char* partition);
constexpr const char* kCreateScriptSuffix = "_syntax.sql";
constexpr const char* kControlFileSuffix = "_sqlldr.ctl";
// A name as part of a generated file name: safe as a file name, and without
// "$", which shells and SQL*Loader command lines would expand.
std::string fileNamePart(const std::string& name);

// The script: the statement, ";", and a line "exit;".
void writeCreateScript(FILE* out, const std::string& statement);

struct ControlFileSpec {
  const char* tableArgument = "";  // owner.table as typed
  const char* dataFile = "";       // the text output file
  std::string tableName;           // base name
  const char* recordTag = "";
  size_t recordTagLength = 0;
  const char* fieldTag = "";
  size_t fieldTagLength = 0;
  bool rowAddress = false;         // rows start with their address
  uint8_t lobStorage = 0;          // LOB_STORAGE
  bool csv = false;                // OUTPUT_STYLE CSV
  bool csvHeader = false;          // the data starts with a line of names
  // Longest text written per table column, in bytes; null when unknown.
  const uint32_t* longest = nullptr;
};

// The SQL*Loader control file for the columns of desc. A position no column
// line describes (type 0) is skipped by the row printer and has no field.
// Each field admits the longest text its column can have or had: character
// columns their declared bytes or the longest value written, RAW twice its
// bytes in hexadecimal, LONG, LONG RAW and inline LOBs at least 4000, NUMBER
// and floats their longest text.
void writeControlFile(FILE* out, const ControlFileSpec& control, const TableDescriptor& desc);

// Export dump prologue for the table in desc and ctx: header with the owner,
// TABLE with the base name, the one-line CREATE statement, INSERT, the
// column count and type records, and the start of the row stream.
void writeDmpPrologue(FILE* out, const SessionContext& ctx, uint16_t charset,
                      uint16_t nlsCharset, const char* owner, const std::string& tableName,
                      const std::string& createStatement, const TableDescriptor& desc);
