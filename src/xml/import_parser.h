// The XML import reader: turns an interchange file into a separate tree of records (the import
// tree) that the import selection shows and the merge copies from. The import tree is never
// registered in a document.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class CRecord;
class IProgress;

// Why a file could not be read: the line (0 when no line applies) and a readable cause.
class XmlImportError : public std::runtime_error {
 public:
  XmlImportError(long long line, const std::string& cause);
  long long line;
  std::string cause;
};

class CImportParser {
 public:
  CImportParser();
  ~CImportParser();
  CImportParser(const CImportParser&) = delete;
  CImportParser& operator=(const CImportParser&) = delete;

  // Reads the file. False when it cannot be read or is not well-formed; then the import tree
  // is empty, GetErrorText() is the message for the user and GetErrorDetail() names the file,
  // the line and the cause. `progress` hears how much of the text has been read; when it
  // says stop, OperationCancelled is thrown and the import tree is empty.
  bool Load(const std::string& fileName, IProgress* progress = nullptr);
  // The same for bytes in memory. Throws XmlImportError; the import tree is then empty.
  void LoadBytes(const std::string& bytes, IProgress* progress = nullptr);

  // The records made from the element children of the root element, in file order.
  int GetRecordCount() const { return int(records_.size()); }
  CRecord* GetRecord(int i) const;

  // Names and values that held characters windows-1251 cannot hold; those became "?".
  int GetAlteredTextCount() const { return altered_; }
  // Elements passed over with everything inside them: unknown names, and records in a place
  // the tree does not allow (an atom directly in a group, anything inside a property, ...).
  int GetSkippedElementCount() const { return skipped_; }

  const std::string& GetErrorText() const { return errorText_; }
  const std::string& GetErrorDetail() const { return errorDetail_; }

 private:
  void Clear();

  std::vector<std::unique_ptr<CRecord>> records_;
  int altered_ = 0;
  int skipped_ = 0;
  std::string errorText_;
  std::string errorDetail_;
};
