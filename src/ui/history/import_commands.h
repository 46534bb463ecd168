// Imports as edit commands: the ticked branches of an interchange file, and a .c2ko file.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

#include "model/edit_history.h"

class CImportParser;
struct CImportItem;

class XmlImportCommand : public CEditCommand {
 public:
  XmlImportCommand(std::unique_ptr<CImportItem> selection, std::unique_ptr<CImportParser> parser,
                   uint32_t targetId);
  ~XmlImportCommand() override;
  bool Execute(EditContext& ctx) override;

 private:
  std::unique_ptr<CImportItem> selection_;
  std::unique_ptr<CImportParser> parser_;  // owns the records the selection points into
  uint32_t targetId_;
};

// How a c2ko import ended; owned by the caller, since the history does not keep commands.
struct C2koOutcome {
  QString error;
  bool fileNotFound = false;
};

class C2koImportCommand : public CEditCommand {
 public:
  C2koImportCommand(uint32_t targetId, QString path, C2koOutcome* outcome)
      : targetId_(targetId), path_(std::move(path)), outcome_(outcome) {}
  bool Execute(EditContext& ctx) override;

 private:
  uint32_t targetId_;
  QString path_;
  C2koOutcome* outcome_;
};
