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
  std::string escaped;
  escaped.reserve(bytes.size());
  for (char c : bytes) {
    switch (c) {
      case '\\':
        escaped += "\\\\";
        break;
      case '\t':
        escaped += "\\t";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\r':
        escaped += "\\r";
        break;
      default:
        escaped += c;
    }
  }
  return Cp1251ToUtf8(escaped);
}

void WriteOut(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
    throw CliError(kExitFailure, "standard output: write error");
}
