// The text import of .c2ko files: objects, atoms and properties written as brace-delimited
// tokens, one record per line, the nesting of objects given by indentation. Merged at once
// under a group or an object of the document.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class CRecord;
class CTarnelDoc;
class IProgress;

// The message the user sees for every import that failed.
inline constexpr char kDataImportErrorText[] = "Error while data import";
// Shown first (with the file name) when the file does not exist.
inline constexpr char kFileNotFoundFormat[] = "File not found :%s";

// Why an import ended early: the line (1-based; 0 when no line applies) and the cause.
// Records made before the failure stay in the document.
class C2koImportError : public std::runtime_error {
 public:
  C2koImportError(size_t line, const std::string& cause, bool fileNotFound = false);
  size_t line;
  std::string cause;
  bool fileNotFound;
};

// The file as an ordered list of lines without their line ends (CR LF or LF).
class C2koLineList {
 public:
  explicit C2koLineList(std::string_view text);
  size_t Count() const { return lines_.size(); }
  std::string_view Line(size_t i) const { return lines_[i]; }

 private:
  std::vector<std::string_view> lines_;
};

// Hands out the tokens of one line: "{...}" runs to the next "}", other text to the first
// brace after it.
class C2koTokenReader {
 public:
  explicit C2koTokenReader(std::string_view line) : line_(line) {}
  // False when no token is left; `token` is then unchanged.
  bool Next(std::string_view* token);

 private:
  std::string_view line_;
  size_t pos_ = 0;
};

struct C2koImportStats {
  int objects = 0;
  int atoms = 0;
  int properties = 0;
};

// Imports the text under `target` (a group or an object). What was made before a failure stays
// in the document. Throws C2koImportError. `progress` counts the lines; when it says stop,
// OperationCancelled is thrown and the records made so far stay for the caller's edit history
// to take back.
C2koImportStats ImportC2koText(CTarnelDoc& doc, std::string_view text, CRecord* target,
                               IProgress* progress = nullptr);
// The same for a file. A missing file throws with fileNotFound set.
C2koImportStats ImportC2koFile(CTarnelDoc& doc, const std::string& fileName, CRecord* target,
                               IProgress* progress = nullptr);
