// Helpers for the export dump row tests: capturing what a writer puts on a
// stream and on standard output, and parsing row-stream bytes back into rows
// with the independent dump reader (the bytes are wrapped into a whole dump
// whose column types come from the session).
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/session_context.h"
#include "export/dmp_writer.h"
#include "tests/support/dmp_reader.h"

struct Captured {
  std::string bytes;     // what went to the stream
  std::string messages;  // what went to standard output
};

template <class F>
Captured capture(F write) {
  char* data = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&data, &size);
  testing::internal::CaptureStdout();
  write(f);
  fclose(f);
  Captured c;
  c.messages = testing::internal::GetCapturedStdout();
  c.bytes.assign(data, size);
  free(data);
  return c;
}

inline std::string bytesOf(std::initializer_list<int> v) {
  std::string s;
  for (int b : v) s += static_cast<char>(b);
  return s;
}

// A whole dump for user SCOTT and table T around the row stream, with the
// column types of the session.
inline std::string wrapRows(const SessionContext& ctx, const std::string& rows) {
  return capture([&](FILE* f) {
           printDmpHeader(f, 873, 2000, "SCOTT");
           printDmpTable(f, "T");
           printDmpCreate(f, "CREATE TABLE \"T\" (...)");
           std::vector<std::string> names;
           for (int i = 0; i < ctx.columnCount; i++) names.push_back("C" + std::to_string(i + 1));
           std::vector<DmpInsertColumn> columns(names.size());
           for (size_t i = 0; i < names.size(); i++) {
             columns[i].name = names[i].c_str();
             columns[i].typeCode = ctx.columnTypes[i];
           }
           printDmpInsert(f, "T", columns.data(), columns.size());
           printDmpColumnTypes(f, ctx, 873);
           printDmpDataBegin(f);
           fwrite(rows.data(), 1, rows.size(), f);
           printDmpDataEnd(f);
           printDmpTail(f);
         })
      .bytes;
}

// The rows of a row stream; a reader error fails the test and gives no rows.
inline std::vector<std::vector<DmpValue>> parseRows(const SessionContext& ctx, const std::string& rows) {
  DmpFile file;
  std::string error;
  EXPECT_EQ(0, readDmpBytes(wrapRows(ctx, rows), file, error)) << error;
  return file.rows;
}

inline std::vector<DmpValue> values(std::initializer_list<DmpValue> v) { return v; }
