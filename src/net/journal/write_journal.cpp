#include "net/journal/write_journal.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "model/cp1251.h"
#include "net/monitor/sample_csv.h"

namespace {

std::string Describe(const std::string& path, const char* what) {
  return path + ": " + what + ": " + std::strerror(errno);
}

QString FromCp1251(const std::string& bytes) {
  return QString::fromStdString(Cp1251ToUtf8(bytes));
}

std::string ToCp1251(const QJsonValue& v) {
  std::string out;
  Utf8ToCp1251(v.toString().toStdString(), &out);
  return out;
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
  QDateTime now = QDateTime::currentDateTime();
  // Written with the offset even where it is zero (Qt would write "Z"), so every line reads
  // the same way.
  int offset = now.offsetFromUtc();
  QChar sign = offset < 0 ? QLatin1Char('-') : QLatin1Char('+');
  offset = std::abs(offset) / 60;
  return (now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
          QStringLiteral("%1%2:%3")
              .arg(sign)
              .arg(offset / 60, 2, 10, QLatin1Char('0'))
              .arg(offset % 60, 2, 10, QLatin1Char('0')))
      .toStdString();
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

std::string EncodeJournalLine(const JournalEntry& e) {
  QJsonObject o;
  o.insert(QStringLiteral("time"), QString::fromStdString(e.time));
  o.insert(QStringLiteral("server"), QString::fromStdString(e.server));
  o.insert(QStringLiteral("user"), QString::fromStdString(e.user));
  o.insert(QStringLiteral("host"), QString::fromStdString(e.host));
  o.insert(QStringLiteral("id"), qint64(e.id));
  o.insert(QStringLiteral("path"), FromCp1251(e.path));
  o.insert(QStringLiteral("type"), QString::fromStdString(e.type));
  o.insert(QStringLiteral("old"), FromCp1251(e.oldText));
  o.insert(QStringLiteral("new"), FromCp1251(e.newText));
  o.insert(QStringLiteral("origin"), QString::fromStdString(e.origin));
  o.insert(QStringLiteral("result"), QString::fromStdString(e.result));
  std::string line = QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
  line += '\n';
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
  std::vector<std::string> lines;
  size_t total = 0;
  for (const JournalEntry& e : entries) {
    lines.push_back(EncodeJournalLine(e));
    total += lines.back().size();
  }
  if (!Open()) return false;
  struct stat st;
  uint64_t end = ::fstat(fd_, &st) == 0 ? uint64_t(st.st_size) : 0;
  if (end > 0 && end + total > rotateBytes_) {
    Rotate();
    if (!Open()) return false;
    end = 0;
  }
  // The kernel copies a write into the file a page at a time and gives up between pages when
  // the process is killed: a line that fits a page is started on the next page instead of
  // straddling two, after line ends (blank lines) that a kill may leave alone.
  static const size_t page = size_t(::sysconf(_SC_PAGESIZE));
  std::string out;
  out.reserve(total + (needsLineEnd_ ? 1 : 0));
  if (needsLineEnd_) out += '\n';
  for (const std::string& line : lines) {
    size_t used = size_t((end + out.size()) % page);
    if (line.size() <= page && used + line.size() > page) out.append(page - used, '\n');
    out += line;
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
