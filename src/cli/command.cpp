#include "command.h"

#include "model/document.h"

void Command::ExpectArgs(const std::vector<std::string>& args, size_t n) const {
  if (args.size() != n)
    throw CliError(kExitUsage, std::string("usage: kandrel-cli ") + Name() + " " + Usage());
}

void OpenDocument(CTarnelDoc& doc, const std::string& path) {
  try {
    doc.OpenFile(path);
  } catch (const DocumentFileError& e) {
    throw CliError(kExitFailure, e.what());
  }
}

void SaveDocument(CTarnelDoc& doc, const std::string& path) {
  try {
    doc.SaveFile(path);
  } catch (const DocumentFileError& e) {
    throw CliError(kExitFailure, e.what());
  }
}
