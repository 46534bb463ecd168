// Whole-file reads and crash-safe writes of .kdl files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "document.h"

namespace {

std::string Cause(int err) {
  return std::strerror(err);
}

// Writes all of `bytes` to `fd`; false with errno set on failure.
bool WriteAll(int fd, const std::string& bytes) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= size_t(n);
  }
  return true;
}

}  // namespace

std::string ReadFileBytes(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
    throw DocumentFileError(path + ": is a folder, not a file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DocumentFileError(path + ": cannot open: " + Cause(errno));
  std::string bytes;
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  if (size > 0) {
    bytes.resize(size_t(size));
    in.seekg(0);
    in.read(bytes.data(), size);
  }
  if (!in) throw DocumentFileError(path + ": read error");
  return bytes;
}

void WriteFileAtomically(const std::string& path, const std::string& bytes) {
  namespace fs = std::filesystem;
  fs::path target(path);
  fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string tmpl = (dir / ("." + target.filename().string() + ".tmp-XXXXXX")).string();
  int fd = ::mkstemp(tmpl.data());
  if (fd < 0) throw DocumentFileError(path + ": cannot write: " + Cause(errno));

  // Keep the permissions of the file being replaced; a new file gets the usual ones.
  struct stat st;
  mode_t mode = 0666;
  if (::stat(path.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }
  ::fchmod(fd, mode);

  bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  int err = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && ::rename(tmpl.c_str(), path.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(tmpl.c_str());
    throw DocumentFileError(path + ": cannot write: " + Cause(err));
  }
}
