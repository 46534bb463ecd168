// The journal of values sent to servers: one JSON line per value, appended whole to a file per
// server, so that who changed what, when, from what to what and whether the server took it can
// be told afterwards. Knows no widgets: the editor, kandrel-cli and the Python module share it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A journal file is set aside at this size; this many set-aside files are kept beside it.
inline constexpr uint64_t kJournalRotateBytes = uint64_t(10) << 20;
inline constexpr int kJournalKeep = 10;

// The results a journal line tells.
inline constexpr char kJournalSent[] = "sent";
inline constexpr char kJournalConfirmed[] = "confirmed";
inline constexpr char kJournalUnconfirmed[] = "unconfirmed";

struct JournalEntry {
  std::string time;     // ISO 8601 with milliseconds and the UTC offset
  std::string server;   // "HOST:PORT"
  std::string user;     // login, UTF-8
  std::string host;     // this machine's name, UTF-8
  uint32_t id = 0;      // the property's identifier
  std::string path;     // record path, windows-1251
  std::string type;     // "SHORT", ...
  std::string oldText;  // the value the server had, as last heard; windows-1251
  std::string newText;  // the value sent; windows-1251
  std::string origin;   // apply, bulk, paste, takeover, send, undo, redo, save, watch, cli
  std::string result;   // sent, confirmed, unconfirmed
};

class JournalError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// $XDG_DATA_HOME/Kandrel/Kandrel/journal ($XDG_DATA_HOME defaults to ~/.local/share).
std::string JournalDirectory();
// "HOST_PORT.jsonl" in JournalDirectory().
std::string JournalPathFor(const std::string& host, int port);
// Now, as the journal writes times.
std::string JournalTimeNow();
// The login and the machine's name the journal records.
std::string JournalUser();
std::string JournalHost();

// The CSV form of the journal (RFC 4180, UTF-8): its header row and an entry's row.
std::string JournalCsvHeader();
std::string JournalCsvRow(const JournalEntry& entry);

// One line, '\n' included. The windows-1251 texts become UTF-8; a byte of the other texts
// that is no part of well-formed UTF-8 becomes U+FFFD.
std::string EncodeJournalLine(const JournalEntry& entry);
// The same line appended to `out`.
void AppendJournalLine(const JournalEntry& entry, std::string* out);
// False for a line that is not a journal entry (torn, damaged, another format).
bool DecodeJournalLine(std::string_view line, JournalEntry* entry);

// Appends lines to one journal file. Each line leaves in one write() on a file opened for
// appending, so writers in several processes never interleave, and a line that fits a page
// never straddles two, so a killed writer leaves whole lines only (a longer line torn by a
// kill, a full disk or a power loss is followed by a line end before the next one; blank lines
// are padding). The file is set aside as PATH.1 (PATH.1 as PATH.2, ...) before it would pass the
// rotation size; a writer notices when another process has set it aside.
class CWriteJournal {
 public:
  explicit CWriteJournal(std::string path, uint64_t rotateBytes = kJournalRotateBytes,
                         int keep = kJournalKeep);
  ~CWriteJournal();
  CWriteJournal(const CWriteJournal&) = delete;
  CWriteJournal& operator=(const CWriteJournal&) = delete;

  const std::string& Path() const { return path_; }
  // False when the line could not be written whole; LastError names the file and the cause.
  bool Append(const JournalEntry& entry);
  // Several lines in one write(), each placed as Append places it.
  bool AppendAll(const std::vector<JournalEntry>& entries);
  const std::string& LastError() const { return error_; }

 private:
  bool Open();
  void Close();
  void Rotate();

  std::string path_;
  uint64_t rotateBytes_;
  int keep_;
  int fd_ = -1;
  ino_t inode_ = 0;
  bool needsLineEnd_ = false;  // the file ends inside a torn line
  std::string error_;
};

struct JournalRead {
  std::vector<JournalEntry> entries;
  int damaged = 0;  // lines that were no entry, a torn last line included
};

// A journal file's entries in file order. Damaged lines are counted and passed over; a file
// that does not exist reads as empty. Throws JournalError naming the file when it cannot be read.
JournalRead ReadJournalFile(const std::string& path);
// A server's journal files, the oldest set-aside one first and PATH itself last; only those
// that exist.
std::vector<std::string> JournalFilesOf(const std::string& path);
// Every server's current journal file in `directory` ("*.jsonl"), sorted by name.
std::vector<std::string> JournalsIn(const std::string& directory);
