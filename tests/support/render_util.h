// Captures what the value printers write, feeding them values held in
// exactly-sized heap blocks so that the sanitizer build catches any read past
// a value.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/session_context.h"
#include "values/value_format.h"
#include "tests/support/test_util.h"

inline std::string captureOutput(const std::function<void(FILE*)>& write) { return capture(write); }

inline std::string renderValueWith(const SessionContext& ctx, const std::vector<uint8_t>& bytes,
                                   uint8_t type, uint16_t form = 0) {
  std::unique_ptr<unsigned char[]> exact(new unsigned char[bytes.size() ? bytes.size() : 1]);
  if (!bytes.empty()) memcpy(exact.get(), bytes.data(), bytes.size());
  return captureOutput([&](FILE* f) {
    printFieldValue(f, ctx, exact.get(), static_cast<uint32_t>(bytes.size()), type, form);
  });
}

inline std::string renderValue(const std::vector<uint8_t>& bytes, uint8_t type,
                               uint16_t form = 0) {
  static const SessionContext ctx;
  return renderValueWith(ctx, bytes, type, form);
}

inline std::string numberText(const std::vector<uint8_t>& bytes) {
  std::unique_ptr<unsigned char[]> exact(new unsigned char[bytes.size() ? bytes.size() : 1]);
  if (!bytes.empty()) memcpy(exact.get(), bytes.data(), bytes.size());
  char text[kNumberTextSize];
  size_t n = ora_number_to_string(exact.get(), bytes.size(), text, sizeof text);
  return std::string(text, n);
}
