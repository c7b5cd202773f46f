// Small writes to a buffered stdio stream, the hot path of every row writer.
// fwrite_unlocked costs a library call and a generic copy loop even for the
// few bytes of one value; when the bytes fit in the stream's buffer they are
// copied straight into it, as putc_unlocked does for one byte. Anything else
// (a full buffer, a line-buffered or unbuffered stream, whose put area glibc
// keeps empty, another C library) goes through fwrite_unlocked. Errors stay
// on the stream either way, for the caller's ferror or fflush check.
#pragma once

#include <cstdio>
#include <cstring>

inline void writeBytes(FILE* stream, const void* bytes, size_t n) {
#if defined(__GLIBC__)
  if (static_cast<size_t>(stream->_IO_write_end - stream->_IO_write_ptr) >= n) {
    if (n > 0) {
      memcpy(stream->_IO_write_ptr, bytes, n);
      stream->_IO_write_ptr += n;
    }
    return;
  }
#endif
  if (n > 0) fwrite_unlocked(bytes, 1, n, stream);
}
