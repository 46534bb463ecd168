// Whole-file reads and crash-safe writes of .kdl files.
//
// Reading opens without blocking and refuses anything but a regular file before a byte is read
// (a FIFO would block for ever, /dev/zero would never end), then reads to the end in bounded
// pieces: the size a file reports is only a hint.
//
// Writing follows a symlink to the file it names, refuses targets that are not regular files
// or are read-only, writes the new content to a temporary file in the target's folder, flushes
// it and renames it over the target, keeping the old file's owner and permissions. The
// temporary file has no name while it is written where the file system can do that
// (O_TMPFILE); otherwise its name is short and fixed in length, derived from the target's, so
// names up to the file system's limit can be saved and a save that was killed half way leaves
// a file the next save of the same target recognises and removes.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "document.h"
#include "progress.h"

namespace {

constexpr size_t kReadPiece = size_t(1) << 20;
// Writes go out in pieces of this size so a progress bar can follow them.
constexpr size_t kWritePiece = size_t(1) << 20;
// Links followed before a target counts as a loop, as the kernel counts them.
constexpr int kMaxLinkHops = 40;
// The temporary names of one target: this prefix, 16 hex digits of a hash of the target's
// name, a dash and six random characters.
constexpr char kTempPrefix[] = ".kandrel-";

std::string Cause(int err) {
  return std::strerror(err);
}

// Closes a descriptor when the scope ends.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void Release() { fd_ = -1; }
  // Closes now and reports the result (a late write error can show up here).
  int Close() {
    int fd = fd_;
    fd_ = -1;
    return fd >= 0 ? ::close(fd) : 0;
  }

 private:
  int fd_;
};

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "is a folder, not a file";
  if (S_ISFIFO(mode)) return "is a pipe (FIFO), not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a regular file";
  if (S_ISSOCK(mode)) return "is a socket, not a regular file";
  return "is not a regular file";
}

// Writes all of `bytes` to `fd`; false with errno set on failure, ECANCELED when `progress`
// said stop.
bool WriteAll(int fd, const std::string& bytes, IProgress* progress) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  uint64_t done = 0;
  while (left > 0) {
    if (progress && !progress->Step(done, bytes.size())) {
      errno = ECANCELED;
      return false;
    }
    ssize_t n = ::write(fd, p, std::min(left, kWritePiece));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= size_t(n);
    done += uint64_t(n);
  }
  if (progress && !progress->Step(done, bytes.size())) {
    errno = ECANCELED;
    return false;
  }
  return true;
}

std::string DirName(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a save to `path` replaces: symlinks are followed, relative ones from the folder of
// the link. A name that does not exist (yet) is its own target.
std::string FollowLinks(const std::string& path) {
  std::string at = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st;
    if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    std::string link(PATH_MAX, '\0');
    ssize_t n = ::readlink(at.c_str(), link.data(), link.size());
    if (n < 0) throw DocumentFileError(path + ": cannot follow the link: " + Cause(errno));
    link.resize(size_t(n));
    at = link.front() == '/' ? link : DirName(at) + "/" + link;
  }
  throw DocumentFileError(path + ": cannot follow the link: " + Cause(ELOOP));
}

// A stable 64-bit hash (FNV-1a) of a file name, so the temporary files of one target can be
// told from those of another without carrying the whole name.
std::string NameHash(const std::string& name) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : name) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
  return hex;
}

// Removes temporary files that an earlier save of the same target left behind when it was
// killed. A save in progress holds a lock on its file, so a concurrent save of the same
// target is left alone.
void RemoveStaleTemporaries(const std::string& dir, const std::string& prefix,
                            const std::string& targetName) {
  Fd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dirFd.get() < 0) return;
  DIR* d = ::fdopendir(::dup(dirFd.get()));
  if (!d) return;
  std::vector<std::string> stale;
  while (dirent* e = ::readdir(d))
    if (std::strncmp(e->d_name, prefix.c_str(), prefix.size()) == 0 && e->d_name != targetName)
      stale.emplace_back(e->d_name);
  ::closedir(d);
  for (const std::string& name : stale) {
    Fd fd(::openat(dirFd.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st;
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;
    ::unlinkat(dirFd.get(), name.c_str(), 0);
  }
}

// Writes `bytes` to a new file in `dir` with `mode` and the owner of `owner` (when given) and
// flushes it, under a fresh name that starts with `prefix`, returned in `*tmpPath`. With
// `unnamed`, the file has no name until everything is written (false when the file system
// cannot do that). The file is locked while it is written so a concurrent cleanup leaves it
// alone. Returns the open descriptor, or -1 with errno set.
int WriteTemporary(const std::string& dir, const std::string& prefix, mode_t mode,
                   const struct stat* owner, const std::string& bytes, bool unnamed,
                   std::string* tmpPath, IProgress* progress) {
  int raw = -1;
  if (unnamed) {
#ifdef O_TMPFILE
    raw = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
#endif
    if (raw < 0) return -1;
  } else {
    *tmpPath = dir + "/" + prefix + "XXXXXX";
    raw = ::mkostemp(tmpPath->data(), O_CLOEXEC);
    if (raw < 0) return -1;
  }
  Fd fd(raw);
  ::flock(fd.get(), LOCK_EX);
  // The owner first: changing it may clear the set-id bits that the mode then restores. Only
  // root may give a file away; anyone else keeps what they can (the group, if it is theirs).
  if (owner && ::fchown(fd.get(), owner->st_uid, owner->st_gid) != 0)
    (void)!::fchown(fd.get(), uid_t(-1), owner->st_gid);
  bool ok = ::fchmod(fd.get(), mode) == 0 && WriteAll(fd.get(), bytes, progress) &&
            ::fsync(fd.get()) == 0;
  if (ok && unnamed) {
    // The complete file gets its name: by descriptor where we may, through /proc otherwise.
    std::mt19937_64 random{std::random_device{}()};
    std::string proc = "/proc/self/fd/" + std::to_string(fd.get());
    ok = false;
    for (int attempt = 0; attempt < 16 && !ok; ++attempt) {
      char suffix[17];
      std::snprintf(suffix, sizeof suffix, "%06llx",
                    static_cast<unsigned long long>(random() & 0xFFFFFF));
      *tmpPath = dir + "/" + prefix + suffix;
      ok = ::linkat(fd.get(), "", AT_FDCWD, tmpPath->c_str(), AT_EMPTY_PATH) == 0 ||
           ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, tmpPath->c_str(), AT_SYMLINK_FOLLOW) == 0;
      if (!ok && errno != EEXIST) break;
    }
    if (!ok) return -1;
  }
  if (!ok) {
    int err = errno;
    if (!unnamed) ::unlink(tmpPath->c_str());
    errno = err;
    return -1;
  }
  int out = fd.get();
  fd.Release();
  return out;
}

}  // namespace

std::string ReadFileBytes(const std::string& path, IProgress* progress) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer before it can be refused.
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) throw DocumentFileError(path + ": cannot open: " + Cause(errno));
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) throw DocumentFileError(path + ": " + Cause(errno));
  if (!S_ISREG(st.st_mode)) throw DocumentFileError(path + ": " + KindOf(st.st_mode));

  // The size is only a hint for the progress bar: the ticker keeps to it whatever comes.
  ProgressTicker ticker(progress, uint64_t(st.st_size), kReadPiece);
  std::string bytes;
  // Room for the whole file and the read that finds its end, so the text is not moved as it
  // grows (unless the file does).
  bytes.reserve(size_t(st.st_size) + 1);
  for (;;) {
    ticker.At(bytes.size());
    size_t have = bytes.size();
    size_t piece =
        bytes.capacity() > have ? std::min(kReadPiece, bytes.capacity() - have) : kReadPiece;
    bytes.resize(have + piece);
    ssize_t n = ::read(fd.get(), bytes.data() + have, piece);
    if (n < 0) {
      int err = errno;
      bytes.resize(have);
      if (err == EINTR) continue;
      throw DocumentFileError(path + ": read error: " + Cause(err));
    }
    bytes.resize(have + size_t(n));
    if (n == 0) break;
  }
  ticker.Finish();
  if (bytes.capacity() - bytes.size() > kReadPiece) bytes.shrink_to_fit();
  return bytes;
}

std::string TemporaryNamePrefix(const std::string& fileName) {
  return kTempPrefix + NameHash(fileName) + "-";
}

void WriteFileAtomically(const std::string& path, const std::string& bytes, IProgress* progress) {
  if (path.empty()) throw DocumentFileError("cannot write a file without a name");
  const std::string target = FollowLinks(path);
  const std::string dir = DirName(target);
  const std::string prefix = TemporaryNamePrefix(BaseName(target));

  // What stands at the target decides whether we may replace it, and what the new file keeps.
  struct stat st;
  bool exists = ::stat(target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) throw DocumentFileError(path + ": cannot write: " + Cause(errno));
  if (exists && !S_ISREG(st.st_mode)) throw DocumentFileError(path + ": " + KindOf(st.st_mode));
  // No write permission for anyone counts as read-only even for root, who could write anyway.
  if (exists && (::access(target.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0))
    throw ReadOnlyFileError(path + ": the file is read-only");

  mode_t mode;
  if (exists) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }

  RemoveStaleTemporaries(dir, prefix, BaseName(target));

  std::string tmpPath;
  const struct stat* owner = exists ? &st : nullptr;
  int raw = WriteTemporary(dir, prefix, mode, owner, bytes, true, &tmpPath, progress);
  if (raw < 0 && errno != ENOSPC && errno != EDQUOT && errno != EIO && errno != ECANCELED)
    raw = WriteTemporary(dir, prefix, mode, owner, bytes, false, &tmpPath, progress);
  if (raw < 0 && errno == ECANCELED) throw OperationCancelled();
  if (raw < 0) throw DocumentFileError(path + ": cannot write: " + Cause(errno));
  Fd fd(raw);
  if (::rename(tmpPath.c_str(), target.c_str()) != 0) {
    int err = errno;
    ::unlink(tmpPath.c_str());
    throw DocumentFileError(path + ": cannot write: " + Cause(err));
  }
  fd.Close();
  // The rename itself reaches the disk with the folder.
  Fd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dirFd.get() >= 0) ::fsync(dirFd.get());
}
