// table and apply-table: the properties as a spreadsheet, and a spreadsheet brought back.
#include <cstdio>

#include "command.h"
#include "diff_report.h"
#include "model/base_compare.h"
#include "model/cp1251.h"
#include "model/document.h"
#include "model/property_table.h"
#include "model/record_lookup.h"
#include "model/table_apply.h"
#include "sheet/xlsx_table_writer.h"

namespace {

bool EndsWith(const std::string& s, const char* tail) {
  std::string t = tail;
  if (s.size() < t.size()) return false;
  std::string end = s.substr(s.size() - t.size());
  for (char& c : end) c = char(std::tolower(uint8_t(c)));
  return end == t;
}

class TableCommand : public Command {
 public:
  const char* Name() const override { return "table"; }
  const char* Usage() const override {
    return "IN.kdl [--record PATH] [-o OUT.csv|OUT.xlsx] [--sep ,|;]";
  }

  int Run(const std::vector<std::string>& args) override {
    std::string usage = std::string("usage: kandrel-cli table ") + Usage();
    std::vector<std::string> positional;
    std::string record, out;
    bool hasRecord = false;
    char sep = 0;
    for (size_t i = 0; i < args.size(); ++i) {
      const std::string& a = args[i];
      if (a == "--record" || a == "-o" || a == "--sep") {
        if (i + 1 >= args.size()) throw CliError(kExitUsage, usage);
        const std::string& v = args[++i];
        if (a == "--record") {
          record = v;
          hasRecord = true;
        } else if (a == "-o") {
          out = v;
        } else if (v == "," || v == ";") {
          sep = v[0];
        } else {
          throw CliError(kExitUsage, usage);
        }
      } else if (a.size() > 1 && a[0] == '-') {
        throw CliError(kExitUsage, usage);
      } else {
        positional.push_back(a);
      }
    }
    bool xlsx = EndsWith(out, ".xlsx");
    if (positional.size() != 1 || (!out.empty() && !xlsx && !EndsWith(out, ".csv")) ||
        (xlsx && sep))
      throw CliError(kExitUsage, usage);

    CTarnelDoc doc;
    OpenDocument(doc, positional[0]);
    const CRecord* under = nullptr;
    if (hasRecord) {
      std::string path;
      Utf8ToCp1251(record, &path);
      int count = 0;
      under = FindRecordByPath(doc, path, &count);
      if (count != 1)
        throw CliError(
            kExitFailure,
            positional[0] + ": " + (count ? "more than one record at " : "no record at ") + record);
    }
    std::vector<CPropertyItem*> rows = TableProperties(doc, under);
    try {
      if (xlsx) {
        WriteTableXlsx(doc, rows, out);
      } else if (!out.empty()) {
        // For a spreadsheet to open: the mark tells it the encoding, CRLF as it writes itself.
        WriteFileAtomically(out, WriteTableCsv(doc, rows, {sep ? sep : ',', true, true}));
      } else {
        WriteOut(WriteTableCsv(doc, rows, {sep ? sep : ',', false, false}));
      }
    } catch (const DocumentFileError& e) {
      throw CliError(kExitFailure, e.what());
    } catch (const XlsxWriteError& e) {
      throw CliError(kExitFailure, e.what());
    }
    return kExitOk;
  }
};

class ApplyTableCommand : public Command {
 public:
  const char* Name() const override { return "apply-table"; }
  const char* Usage() const override {
    return "IN.kdl TABLE.csv -o OUT.kdl [--by path|id] [--delete-missing] [--dry-run] [--json]";
  }

  int Run(const std::vector<std::string>& args) override {
    std::string usage = std::string("usage: kandrel-cli apply-table ") + Usage();
    std::vector<std::string> positional;
    std::string out;
    TableApplyOptions options;
    bool dryRun = false, json = false;
    for (size_t i = 0; i < args.size(); ++i) {
      const std::string& a = args[i];
      if (a == "-o") {
        if (i + 1 >= args.size()) throw CliError(kExitUsage, usage);
        out = args[++i];
      } else if (a == "--by") {
        if (i + 1 >= args.size() || (args[i + 1] != "id" && args[i + 1] != "path"))
          throw CliError(kExitUsage, usage);
        options.byId = args[++i] == "id";
      } else if (a == "--delete-missing") {
        options.deleteMissing = true;
      } else if (a == "--dry-run") {
        dryRun = true;
      } else if (a == "--json") {
        json = true;
      } else if (a.size() > 1 && a[0] == '-') {
        throw CliError(kExitUsage, usage);
      } else {
        positional.push_back(a);
      }
    }
    if (positional.size() != 2 || (out.empty() && !dryRun)) throw CliError(kExitUsage, usage);
    const std::string& tablePath = positional[1];

    CTarnelDoc doc, edited;
    OpenDocument(doc, positional[0]);
    OpenDocument(edited, positional[0]);
    TableApplyResult result;
    try {
      result = ApplyTable(edited, ReadCsv(ReadFileBytes(tablePath)), options);
    } catch (const DocumentFileError& e) {
      throw CliError(kExitFailure, e.what());
    } catch (const CsvError& e) {
      throw CliError(kExitFailure, tablePath + ": " + e.what());
    }
    if (!result.refused.empty()) {
      for (const TableRowRefusal& r : result.refused)
        std::fprintf(stderr, "%s:%d: %s%s%s\n", tablePath.c_str(), r.line,
                     TableRowProblemText(r.problem), r.detail.empty() ? "" : ": ",
                     EscapedText(r.detail).c_str());
      return kExitProblems;
    }
    CompareResult differences = CompareDocuments(doc, edited);
    OutputStream report;
    if (json)
      report << DiffJsonReport(differences);
    else
      DiffTextReport(differences, report);
    report.Flush();
    if (!dryRun) SaveDocument(edited, out);
    return kExitOk;
  }
};

}  // namespace

std::unique_ptr<Command> MakeTableCommand() {
  return std::make_unique<TableCommand>();
}
std::unique_ptr<Command> MakeApplyTableCommand() {
  return std::make_unique<ApplyTableCommand>();
}
