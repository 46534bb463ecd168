// One verb of kandrel-cli.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Exit codes of kandrel-cli.
enum ExitCode : int {
  kExitOk = 0,
  kExitProblems = 1,  // check found problems, diff found differences
  kExitUsage = 2,
  kExitFailure = 3,  // unreadable or invalid input, or an I/O failure
};

// Ends a command with an exit code and one line on stderr.
class CliError : public std::runtime_error {
 public:
  CliError(int code, const std::string& message) : std::runtime_error(message), code(code) {}
  int code;
};

class Command {
 public:
  virtual ~Command() = default;
  virtual const char* Name() const = 0;
  // The arguments after the verb, e.g. "IN.kdl OUT.kdl".
  virtual const char* Usage() const = 0;
  virtual int Run(const std::vector<std::string>& args) = 0;

 protected:
  // Throws a usage error unless there are exactly `n` positional arguments.
  void ExpectArgs(const std::vector<std::string>& args, size_t n) const;
};

std::vector<std::unique_ptr<Command>> AllCommands();

class CTarnelDoc;
// Opens a .kdl file as the editor does (load and full rebuild); exit 3 on failure.
void OpenDocument(CTarnelDoc& doc, const std::string& path);
// Saves; exit 3 on failure.
void SaveDocument(CTarnelDoc& doc, const std::string& path);

// A name, path or value for one line of text output: the windows-1251 bytes turned into UTF-8,
// backslashes, tabs and line ends escaped as \\, \t, \n and \r, escape as \e, any other
// control character as \xNN.
std::string EscapedText(const std::string& bytes);
// Writes to standard output and flushes; exit 3 when that fails.
void WriteOut(std::string_view text);

// Standard output written in pieces, so what a command prints never piles up in memory. Flush()
// at the end; what is not flushed is lost.
class OutputStream {
 public:
  using Writer = std::function<void(std::string_view)>;
  // Pieces go to `write`; by default to standard output through WriteOut.
  explicit OutputStream(Writer write = [](std::string_view piece) { WriteOut(piece); })
      : write_(std::move(write)) {}
  OutputStream& operator<<(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= kPiece) Flush();
    return *this;
  }
  void Flush() {
    write_(buffer_);
    buffer_.clear();
  }

 private:
  static constexpr size_t kPiece = 1 << 16;
  Writer write_;
  std::string buffer_;
};

// What `list` prints: a line per record in tree order, each path built on the way and
// abbreviated beyond kShownPathLimit bytes.
void ListDocument(const CTarnelDoc& doc, OutputStream& out);
