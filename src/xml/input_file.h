// Whole-file reads of the files an import takes in, bounded in size.
#pragma once

#include <cstdint>
#include <string>

struct InputFile {
  bool ok = false;
  bool notFound = false;  // nothing of that name exists
  std::string bytes;
  std::string cause;  // when not ok: why, readable, without the file name
};

// Reads the file unless it is missing, a folder, unreadable or larger than `maxSize` bytes.
InputFile ReadInputFile(const std::string& path, int64_t maxSize);
