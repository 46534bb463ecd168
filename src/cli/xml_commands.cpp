// export and import: the XML interchange file and the c2ko text import from the command line.
#include <cstdio>
#include <map>

#include "command.h"
#include "model/cp1251.h"
#include "model/document.h"
#include "xml/c2ko_import.h"
#include "xml/export_file.h"
#include "xml/import_merge.h"
#include "xml/import_parser.h"
#include "xml/import_selection.h"
#include "xml/xml_format.h"

namespace {

struct ParsedArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
};

// Splits the arguments into positional ones and the given options, each of which takes a value.
ParsedArgs ParseArgs(const std::vector<std::string>& args, std::vector<std::string> optionNames,
                     const std::string& usage) {
  ParsedArgs parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    bool isOption = false;
    for (const auto& name : optionNames)
      if (args[i] == name) {
        if (i + 1 >= args.size() || parsed.options.count(name)) throw CliError(kExitUsage, usage);
        parsed.options[name] = args[++i];
        isOption = true;
      }
    if (!isOption && args[i].size() > 1 && args[i][0] == '-') throw CliError(kExitUsage, usage);
    if (!isOption) parsed.positional.push_back(args[i]);
  }
  return parsed;
}

// The record named by an option's identifier; null when the option is absent.
CRecord* RecordOption(const CTarnelDoc& doc, const ParsedArgs& parsed, const std::string& option,
                      const std::string& docPath) {
  auto it = parsed.options.find(option);
  if (it == parsed.options.end()) return nullptr;
  const std::string& text = it->second;
  unsigned long id = 0;
  bool digits = !text.empty() && text.size() <= 5;
  for (char c : text) digits = digits && c >= '0' && c <= '9';
  if (digits) id = std::stoul(text);
  if (!digits || id < 1 || id > 0xFFFF)
    throw CliError(kExitUsage, option + " " + text + ": an identifier is a number from 1 to 65535");
  CRecord* r = doc.LookupRecord(uint32_t(id));
  if (!r) throw CliError(kExitFailure, docPath + ": no record has the identifier " + text);
  return r;
}

std::string Extension(const std::string& path) {
  size_t slash = path.find_last_of('/');
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return path.substr(dot + 1);
}

void Note(const std::string& text) {
  std::fprintf(stderr, "kandrel-cli: %s\n", EscapedUtf8(text).c_str());
}

class ExportCommand : public Command {
 public:
  const char* Name() const override { return "export"; }
  const char* Usage() const override { return "IN.kdl OUT.xml [--record ID]"; }
  int Run(const std::vector<std::string>& args) override {
    std::string usage = std::string("usage: kandrel-cli ") + Name() + " " + Usage();
    ParsedArgs parsed = ParseArgs(args, {"--record"}, usage);
    ExpectArgs(parsed.positional, 2);
    CTarnelDoc doc;
    OpenDocument(doc, parsed.positional[0]);
    CRecord* record = RecordOption(doc, parsed, "--record", parsed.positional[0]);
    CExportFile file(doc, record, parsed.positional[1]);
    if (!file.Export()) throw CliError(kExitFailure, file.GetError());
    return kExitOk;
  }
};

class ImportCommand : public Command {
 public:
  const char* Name() const override { return "import"; }
  const char* Usage() const override {
    return "IN.kdl FILE.xml|FILE.c2ko [--target ID] -o OUT.kdl";
  }
  int Run(const std::vector<std::string>& args) override {
    std::string usage = std::string("usage: kandrel-cli ") + Name() + " " + Usage();
    ParsedArgs parsed = ParseArgs(args, {"--target", "-o"}, usage);
    ExpectArgs(parsed.positional, 2);
    if (!parsed.options.count("-o")) throw CliError(kExitUsage, usage);
    const std::string& docPath = parsed.positional[0];
    const std::string& file = parsed.positional[1];
    // The same case-sensitive choice as the import dialog's.
    std::string ext = Extension(file);
    if (ext != "xml" && ext != "c2ko")
      throw CliError(kExitUsage, file + ": the file to import ends in .xml or .c2ko");

    CTarnelDoc doc;
    OpenDocument(doc, docPath);
    CRecord* target = RecordOption(doc, parsed, "--target", docPath);
    if (ext == "xml")
      ImportXml(doc, file, target);
    else
      ImportC2ko(doc, file, target);
    SaveDocument(doc, parsed.options["-o"]);
    return kExitOk;
  }

 private:
  static void ImportXml(CTarnelDoc& doc, const std::string& file, CRecord* target) {
    CImportParser parser;
    if (!parser.Load(file))
      throw CliError(kExitFailure, parser.GetErrorText() + (": " + parser.GetErrorDetail()));
    auto selection = FillImportTree(parser, target);
    ImportOutcome outcome = ApplyImport(doc, *selection, target);
    if (outcome.merge.notCopied > 0)
      throw CliError(kExitFailure, file + ": " + std::to_string(outcome.merge.notCopied) +
                                       " records could not be copied: the document has no "
                                       "identifier left for them or they would lie too deep");
    if (parser.GetAlteredTextCount() > 0)
      Note(file + ": " + std::to_string(parser.GetAlteredTextCount()) +
           " names and values held characters that windows-1251 cannot hold; they were "
           "replaced by \"?\"");
    if (parser.GetSkippedElementCount() > 0)
      Note(file + ": " + std::to_string(parser.GetSkippedElementCount()) +
           " elements that are no records of their place were passed over");
    if (outcome.links.madeBinary > 0)
      Note(std::to_string(outcome.links.madeBinary) +
           " LINK_TO properties named no record and became BIN properties");
  }

  static void ImportC2ko(CTarnelDoc& doc, const std::string& file, CRecord* target) {
    if (!AsChildHolder(target))
      throw CliError(kExitUsage, file +
                                     ": a c2ko file is imported under a group or an object; "
                                     "give its identifier with --target");
    try {
      ImportC2koFile(doc, file, target);
    } catch (const C2koImportError& e) {
      if (e.fileNotFound) {
        char text[4096];
        std::snprintf(text, sizeof text, kFileNotFoundFormat, file.c_str());
        throw CliError(kExitFailure, text);
      }
      throw CliError(kExitFailure,
                     std::string(kDataImportErrorText) + ": " + file + ": " + e.what());
    }
  }
};

}  // namespace

std::unique_ptr<Command> MakeExportCommand() {
  return std::make_unique<ExportCommand>();
}
std::unique_ptr<Command> MakeImportCommand() {
  return std::make_unique<ImportCommand>();
}
