// Names that come from the dictionary or a data file (owners, tables,
// partitions, LOB files) turned into file names. Such a name is data: it may
// hold any byte, and a name like "../../x" or "/etc/passwd" must never choose
// where the tool writes. Every place that builds a file name, or a path
// inside a generated script or control file, from such a name goes through
// safeFileName.
#pragma once

#include <string>
#include <string_view>

// The name as one file name in the working directory: "/", "\", NUL and
// control characters (below 0x20, and 0x7f) become "_", and so does a
// leading ".", so that the result can name neither another directory nor a
// hidden file. Every other byte is kept.
std::string safeFileName(std::string_view name);
