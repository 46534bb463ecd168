// The XML export: the whole configuration tree, or one branch of it, as an interchange file.
#pragma once

#include <stdexcept>
#include <string>

class CRecord;
class CTarnelDoc;
class IProgress;
class ProgressTicker;

// A text the interchange file cannot carry (a control character, or the byte 0x98 that
// windows-1251 leaves undefined); the message names the record.
class ExportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The calendar date written into the file's header comment.
struct ExportDate {
  int day = 1;
  int month = 1;
  int year = 1970;
};
ExportDate LocalDateToday();

class CExportFile {
 public:
  // `record` null: every group of the document, in order. Neither is owned; the document is
  // only read.
  CExportFile(const CTarnelDoc& doc, const CRecord* record, std::string fileName);

  // Writes the file for today's local date. The text goes to a temporary file beside the
  // target and is renamed over it only when all of it is on disk, so a failed export never
  // leaves a truncated file in place of an older one. False with GetError() naming the file
  // and the cause; the caller reports success ("Export completed") only on true. `progress`
  // hears of the records written and then of the bytes going to disk; when it says stop,
  // OperationCancelled is thrown and the target is as it was.
  bool Export(IProgress* progress = nullptr);
  const std::string& GetError() const { return error_; }

  // The complete file contents. Throws ExportError; `progress` counts the records.
  std::string ExportToBytes(const ExportDate& date, IProgress* progress = nullptr) const;
  // Appends one record element with its subtree; any record of another kind writes nothing.
  // Throws ExportError.
  bool WriteRecord(const CRecord* record, std::string* out) const;

 private:
  const CTarnelDoc& doc_;
  const CRecord* record_;
  std::string fileName_;
  std::string error_;
  mutable ProgressTicker* ticker_ = nullptr;  // while ExportToBytes runs with a progress
};
