#include "command.h"

#include <cstdio>

#include "model/cp1251.h"

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

std::string EscapedText(const std::string& bytes) {
  return Cp1251ToEscapedUtf8(bytes);
}

void WriteOut(std::string_view text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
    throw CliError(kExitFailure, "standard output: write error");
}
