// merge: a three-way merge of bases, written to run as git's merge driver.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "command.h"
#include "model/base_merge.h"
#include "model/cp1251.h"
#include "model/document.h"

namespace {

QString Json(const std::string& bytes) {
  return QString::fromStdString(Cp1251ToUtf8(bytes));
}

std::string TextReport(const MergeResult& r) {
  std::string out;
  for (const MergeConflict& c : r.conflicts)
    out += "! " + EscapedText(c.path) + " " + c.field + ": " + EscapedText(c.base) + " -> " +
           EscapedText(c.ours) + " | " + EscapedText(c.theirs) + "\n";
  return out;
}

std::string JsonReport(const MergeResult& r) {
  QJsonArray conflicts, renumbered;
  for (const MergeConflict& c : r.conflicts)
    conflicts.append(QJsonObject{{"id", qint64(c.id)},
                                 {"path", Json(c.path)},
                                 {"field", QString::fromStdString(c.field)},
                                 {"base", Json(c.base)},
                                 {"ours", Json(c.ours)},
                                 {"theirs", Json(c.theirs)}});
  for (const MergeRenumbering& n : r.renumbered)
    renumbered.append(QJsonObject{{"from", qint64(n.from)}, {"to", qint64(n.to)}});
  QJsonObject top{{"conflicts", conflicts}, {"renumbered", renumbered}};
  return QJsonDocument(top).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

class MergeCommand : public Command {
 public:
  const char* Name() const override { return "merge"; }
  const char* Usage() const override { return "BASE OURS THEIRS -o OUT [--json]"; }

  int Run(const std::vector<std::string>& args) override {
    std::string usage = std::string("usage: kandrel-cli merge ") + Usage();
    std::vector<std::string> positional;
    std::string out;
    bool json = false;
    for (size_t i = 0; i < args.size(); ++i) {
      if (args[i] == "--json") {
        json = true;
      } else if (args[i] == "-o") {
        if (i + 1 >= args.size() || !out.empty()) throw CliError(kExitUsage, usage);
        out = args[++i];
      } else if (args[i].size() > 1 && args[i][0] == '-') {
        throw CliError(kExitUsage, usage);
      } else {
        positional.push_back(args[i]);
      }
    }
    if (positional.size() != 3 || out.empty()) throw CliError(kExitUsage, usage);

    CTarnelDoc base, ours, theirs, merged;
    OpenDocument(base, positional[0]);
    OpenDocument(ours, positional[1]);
    OpenDocument(theirs, positional[2]);
    MergeResult result = MergeDocuments(base, ours, theirs, merged);
    // Saved like any document (whole or not at all), so OUT may be OURS, as git asks.
    SaveDocument(merged, out);
    WriteOut(json ? JsonReport(result) : TextReport(result));
    return result.Clean() ? kExitOk : kExitProblems;
  }
};

}  // namespace

std::unique_ptr<Command> MakeMergeCommand() {
  return std::make_unique<MergeCommand>();
}
