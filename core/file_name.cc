#include "core/file_name.h"

std::string safeFileName(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || u < 0x20 || u == 0x7f) c = '_';
  }
  if (!out.empty() && out[0] == '.') out[0] = '_';
  return out;
}
