#include "net/journal/write_journal.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>

#include "model/cp1251.h"
#include "net/monitor/sample_csv.h"

namespace {

std::string Describe(const std::string& path, const char* what) {
  return path + ": " + what + ": " + std::strerror(errno);
}

std::string ToCp1251(const QJsonValue& v) {
  std::string out;
  Utf8ToCp1251(v.toString().toStdString(), &out);
  return out;
}

// The UTF-8 form of each windows-1251 byte from 0x80 up.
struct HighBytes {
  char bytes[128][3];
  uint8_t size[128];
  HighBytes() {
    for (int b = 0x80; b <= 0xFF; ++b) {
      char16_t c = Cp1251ToUnicode(uint8_t(b));
      char* o = bytes[b - 0x80];
      if (c < 0x800) {
        o[0] = char(0xC0 | c >> 6);
        o[1] = char(0x80 | (c & 0x3F));
        size[b - 0x80] = 2;
      } else {
        o[0] = char(0xE0 | c >> 12);
        o[1] = char(0x80 | (c >> 6 & 0x3F));
        o[2] = char(0x80 | (c & 0x3F));
        size[b - 0x80] = 3;
      }
    }
  }
};
const HighBytes kHighBytes;

// An ASCII byte a JSON string cannot hold as it is: quote, backslash, control characters.
inline bool NeedsEscape(unsigned char c) {
  return c < 0x20 || c == '"' || c == '\\';
}

void AppendEscape(std::string* out, unsigned char c) {
  static const char kHex[] = "0123456789abcdef";
  char e[6] = {'\\', 0, 0, 0, 0, 0};
  switch (c) {
    case '"':
    case '\\':
      e[1] = char(c);
      out->append(e, 2);
      return;
    case '\n':
      out->append("\\n", 2);
      return;
    case '\r':
      out->append("\\r", 2);
      return;
    case '\t':
      out->append("\\t", 2);
      return;
    case '\b':
      out->append("\\b", 2);
      return;
    case '\f':
      out->append("\\f", 2);
      return;
    default:
      e[1] = 'u';
      e[2] = '0';
      e[3] = '0';
      e[4] = kHex[c >> 4];
      e[5] = kHex[c & 0xF];
      out->append(e, 6);
  }
}

// Windows-1251 text as the inside of a JSON string, in UTF-8.
void AppendJsonCp1251(std::string* out, std::string_view s) {
  size_t plain = 0;  // start of the run of bytes that go as they are
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = uint8_t(s[i]);
    if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') continue;
    out->append(s.data() + plain, i - plain);
    plain = i + 1;
    if (c >= 0x80)
      out->append(kHighBytes.bytes[c - 0x80], kHighBytes.size[c - 0x80]);
    else
      AppendEscape(out, c);
  }
  out->append(s.data() + plain, s.size() - plain);
}

// The length of the well-formed UTF-8 sequence at the start of `s`; 0 when it is none (a
// stray continuation byte, a sequence cut short, an overlong form, a surrogate, past U+10FFFF).
size_t Utf8SequenceLength(std::string_view s) {
  unsigned char c = uint8_t(s[0]);
  size_t n;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (s.size() < n) return 0;
  if (uint8_t(s[1]) < low || uint8_t(s[1]) > high) return 0;
  for (size_t k = 2; k < n; ++k)
    if ((uint8_t(s[k]) & 0xC0) != 0x80) return 0;
  return n;
}

// UTF-8 text as the inside of a JSON string; each byte that is no part of a well-formed
// sequence becomes U+FFFD, so the line stays UTF-8 whatever the login or host name holds.
void AppendJsonUtf8(std::string* out, std::string_view s) {
  size_t plain = 0;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = uint8_t(s[i]);
    if (c < 0x80) {
      if (NeedsEscape(c)) {
        out->append(s.data() + plain, i - plain);
        AppendEscape(out, c);
        plain = i + 1;
      }
      ++i;
      continue;
    }
    if (size_t n = Utf8SequenceLength(s.substr(i))) {
      i += n;
      continue;
    }
    out->append(s.data() + plain, i - plain);
    out->append("\xEF\xBF\xBD", 3);
    plain = ++i;
  }
  out->append(s.data() + plain, s.size() - plain);
}

}  // namespace

std::string JournalDirectory() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home && *home) {
      base = home;
    } else if (const passwd* pw = getpwuid(getuid())) {
      base = pw->pw_dir;
    }
    base += "/.local/share";
  }
  return base + "/Kandrel/Kandrel/journal";
}

std::string JournalPathFor(const std::string& host, int port) {
  std::string name = host + "_" + std::to_string(port) + ".jsonl";
  // A host name never holds these, but a file name must not climb out of the folder.
  std::replace(name.begin(), name.end(), '/', '_');
  return JournalDirectory() + "/" + name;
}

std::string JournalTimeNow() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  ::localtime_r(&now.tv_sec, &local);
  // Written with the offset even where it is zero, so every line reads the same way.
  long offset = local.tm_gmtoff / 60;
  char sign = offset < 0 ? '-' : '+';
  offset = std::labs(offset);
  char text[48];
  int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld",
                        local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                        local.tm_min, local.tm_sec, int(now.tv_nsec / 1000000), sign, offset / 60,
                        offset % 60);
  return std::string(text, size_t(std::max(n, 0)));
}

std::string JournalUser() {
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name) return pw->pw_name;
  for (const char* name : {"LOGNAME", "USER"})
    if (const char* v = std::getenv(name); v && *v) return v;
  return std::to_string(getuid());
}

std::string JournalHost() {
  return QSysInfo::machineHostName().toStdString();
}

void AppendJournalLine(const JournalEntry& e, std::string* out) {
  out->reserve(out->size() + 160 + e.time.size() + e.server.size() + e.user.size() + e.host.size() +
               2 * (e.path.size() + e.oldText.size() + e.newText.size()) + e.type.size() +
               e.origin.size() + e.result.size());
  auto utf8 = [out](const char* key, const std::string& text) {
    out->append(key);
    AppendJsonUtf8(out, text);
    out->push_back('"');
  };
  auto cp1251 = [out](const char* key, const std::string& text) {
    out->append(key);
    AppendJsonCp1251(out, text);
    out->push_back('"');
  };
  utf8("{\"time\":\"", e.time);
  utf8(",\"server\":\"", e.server);
  utf8(",\"user\":\"", e.user);
  utf8(",\"host\":\"", e.host);
  char digits[16];
  out->append(",\"id\":");
  out->append(digits, size_t(std::to_chars(digits, digits + sizeof digits, e.id).ptr - digits));
  cp1251(",\"path\":\"", e.path);
  utf8(",\"type\":\"", e.type);
  cp1251(",\"old\":\"", e.oldText);
  cp1251(",\"new\":\"", e.newText);
  utf8(",\"origin\":\"", e.origin);
  utf8(",\"result\":\"", e.result);
  out->append("}\n");
}

std::string EncodeJournalLine(const JournalEntry& e) {
  std::string line;
  AppendJournalLine(e, &line);
  return line;
}

std::string JournalCsvHeader() {
  return CsvRow(
      {"time", "server", "user", "host", "id", "path", "type", "old", "new", "origin", "result"});
}

std::string JournalCsvRow(const JournalEntry& e) {
  return CsvRow({e.time, e.server, e.user, e.host, std::to_string(e.id), Cp1251ToUtf8(e.path),
                 e.type, Cp1251ToUtf8(e.oldText), Cp1251ToUtf8(e.newText), e.origin, e.result});
}

bool DecodeJournalLine(std::string_view line, JournalEntry* e) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  QJsonParseError error;
  QJsonDocument doc =
      QJsonDocument::fromJson(QByteArray(line.data(), qsizetype(line.size())), &error);
  if (error.error != QJsonParseError::NoError || !doc.isObject()) return false;
  QJsonObject o = doc.object();
  QJsonValue id = o.value(QStringLiteral("id"));
  QJsonValue result = o.value(QStringLiteral("result"));
  if (!id.isDouble() || id.toDouble() < 0 || id.toDouble() > 4294967295.0 || !result.isString())
    return false;
  e->time = o.value(QStringLiteral("time")).toString().toStdString();
  e->server = o.value(QStringLiteral("server")).toString().toStdString();
  e->user = o.value(QStringLiteral("user")).toString().toStdString();
  e->host = o.value(QStringLiteral("host")).toString().toStdString();
  e->id = uint32_t(id.toDouble());
  e->path = ToCp1251(o.value(QStringLiteral("path")));
  e->type = o.value(QStringLiteral("type")).toString().toStdString();
  e->oldText = ToCp1251(o.value(QStringLiteral("old")));
  e->newText = ToCp1251(o.value(QStringLiteral("new")));
  e->origin = o.value(QStringLiteral("origin")).toString().toStdString();
  e->result = result.toString().toStdString();
  return true;
}

CWriteJournal::CWriteJournal(std::string path, uint64_t rotateBytes, int keep)
    : path_(std::move(path)), rotateBytes_(rotateBytes), keep_(std::max(keep, 1)) {}

CWriteJournal::~CWriteJournal() {
  Close();
}

void CWriteJournal::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool CWriteJournal::Open() {
  struct stat st;
  if (fd_ >= 0) {
    // Another writer may have set the file aside: follow it to the new one.
    if (::stat(path_.c_str(), &st) == 0 && st.st_ino == inode_) return true;
    Close();
  }
  std::string folder = path_.substr(0, path_.rfind('/'));
  if (!folder.empty() && !QDir().mkpath(QString::fromStdString(folder))) {
    errno = EACCES;
    error_ = Describe(folder, "cannot create the folder");
    return false;
  }
  fd_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    error_ = Describe(path_, "cannot open the journal");
    return false;
  }
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    error_ = path_ + ": the journal is not a regular file";
    Close();
    return false;
  }
  inode_ = st.st_ino;
  needsLineEnd_ = false;
  if (st.st_size > 0) {
    // A line torn by an earlier failure must not swallow the next one.
    int in = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    char last = '\n';
    if (in >= 0) {
      if (::pread(in, &last, 1, st.st_size - 1) == 1) needsLineEnd_ = last != '\n';
      ::close(in);
    }
  }
  return true;
}

void CWriteJournal::Rotate() {
  Close();
  auto name = [this](int n) { return path_ + "." + std::to_string(n); };
  for (int n = keep_ - 1; n >= 1; --n) ::rename(name(n).c_str(), name(n + 1).c_str());
  ::rename(path_.c_str(), name(1).c_str());
}

bool CWriteJournal::Append(const JournalEntry& entry) {
  return AppendAll({entry});
}

bool CWriteJournal::AppendAll(const std::vector<JournalEntry>& entries) {
  if (entries.empty()) return true;
  // The lines end to end, each one's end kept.
  std::string lines;
  std::vector<size_t> ends;
  ends.reserve(entries.size());
  for (const JournalEntry& e : entries) {
    AppendJournalLine(e, &lines);
    ends.push_back(lines.size());
  }
  if (!Open()) return false;
  struct stat st;
  uint64_t end = ::fstat(fd_, &st) == 0 ? uint64_t(st.st_size) : 0;
  if (end > 0 && end + lines.size() > rotateBytes_) {
    Rotate();
    if (!Open()) return false;
    end = 0;
  }
  // The kernel copies a write into the file a page at a time and gives up between pages when
  // the process is killed: a line that fits a page is started on the next page instead of
  // straddling two, after line ends (blank lines) that a kill may leave alone.
  static const size_t page = size_t(::sysconf(_SC_PAGESIZE));
  std::string out;
  out.reserve(lines.size() + (needsLineEnd_ ? 1 : 0));
  if (needsLineEnd_) out += '\n';
  size_t start = 0;
  for (size_t stop : ends) {
    size_t size = stop - start;
    size_t used = size_t((end + out.size()) % page);
    if (size <= page && used + size > page) out.append(page - used, '\n');
    out.append(lines, start, size);
    start = stop;
  }
  ssize_t n;
  do {
    n = ::write(fd_, out.data(), out.size());
  } while (n < 0 && errno == EINTR);
  if (n != ssize_t(out.size())) {
    if (n >= 0) errno = ENOSPC;
    error_ = Describe(path_, "cannot write the journal");
    // Whatever part went out ends in the middle of a line.
    needsLineEnd_ = n > 0;
    return false;
  }
  needsLineEnd_ = false;
  return true;
}

JournalRead ReadJournalFile(const std::string& path) {
  JournalRead r;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return r;
    throw JournalError(Describe(path, "cannot read the journal"));
  }
  if (!S_ISREG(st.st_mode)) throw JournalError(path + ": the journal is not a regular file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw JournalError(Describe(path, "cannot read the journal"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    JournalEntry e;
    if (DecodeJournalLine(line, &e))
      r.entries.push_back(std::move(e));
    else
      ++r.damaged;
  }
  if (in.bad()) throw JournalError(Describe(path, "cannot read the journal"));
  return r;
}

std::vector<std::string> JournalFilesOf(const std::string& path) {
  std::vector<std::string> files;
  struct stat st;
  for (int n = kJournalKeep; n >= 1; --n) {
    std::string name = path + "." + std::to_string(n);
    if (::stat(name.c_str(), &st) == 0) files.push_back(name);
  }
  if (::stat(path.c_str(), &st) == 0) files.push_back(path);
  return files;
}

std::vector<std::string> JournalsIn(const std::string& directory) {
  std::vector<std::string> files;
  QDir dir(QString::fromStdString(directory));
  for (const QString& name :
       dir.entryList({QStringLiteral("*.jsonl")}, QDir::Files | QDir::Readable, QDir::Name))
    files.push_back(directory + "/" + name.toStdString());
  return files;
}
