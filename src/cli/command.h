// One verb of kandrel-cli.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
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

// A name, path or value for one line of text output: backslashes, tabs and line ends escaped
// as \\, \t, \n and \r, the windows-1251 bytes turned into UTF-8.
std::string EscapedText(const std::string& bytes);
// Writes to standard output and flushes; exit 3 when that fails.
void WriteOut(const std::string& text);
