#include "input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

InputFile ReadInputFile(const std::string& path, int64_t maxSize) {
  namespace fs = std::filesystem;
  InputFile f;
  std::error_code ec;
  fs::file_status st = fs::status(path, ec);
  if (!fs::exists(st)) {
    f.notFound = true;
    f.cause = "no such file";
    return f;
  }
  if (fs::is_directory(st)) {
    f.cause = "is a folder, not a file";
    return f;
  }
  // Without blocking: a FIFO is refused below rather than waited on for a writer.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    f.cause = std::string("cannot open: ") + std::strerror(errno);
    return f;
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(::fdopen(fd, "rb"), std::fclose);
  if (!in) {
    ::close(fd);
    f.cause = std::string("cannot open: ") + std::strerror(errno);
    return f;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    f.cause = "is not a regular file";
    return f;
  }
  // Read in pieces rather than trusting a size reported up front: a file may grow or shrink
  // while it is read.
  char buf[1 << 16];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, in.get())) > 0) {
    if (int64_t(f.bytes.size() + n) > maxSize) {
      f.bytes.clear();
      f.cause = "larger than " + std::to_string(maxSize >> 20) + " MiB";
      return f;
    }
    f.bytes.append(buf, n);
  }
  if (std::ferror(in.get())) {
    f.bytes.clear();
    f.cause = std::string("read error: ") + std::strerror(errno);
    return f;
  }
  f.ok = true;
  return f;
}
