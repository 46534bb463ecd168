// diff: how one base differs from another file or from what a server holds.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "base_download.h"
#include "command.h"
#include "model/base_compare.h"
#include "model/cp1251.h"
#include "model/document.h"
#include "model/shown_path.h"

namespace {

// One line per difference, in the result's order (by record path), written as it is made; a
// changed record has a line per field. Paths over kShownPathLimit bytes are abbreviated.
void TextReport(const CompareResult& r, OutputStream& out) {
  for (const Difference& d : r.differences) {
    switch (d.kind) {
      case DifferenceKind::kRemoved:
        out << "- " << EscapedText(r.ShownPathOf(false, d.first)) << "\n";
        break;
      case DifferenceKind::kAdded:
        out << "+ " << EscapedText(r.ShownPathOf(true, d.second)) << "\n";
        break;
      case DifferenceKind::kChanged: {
        std::string path = EscapedText(r.ShownPathOf(false, d.first));
        for (int f = 0; f < kDifferenceFieldCount; ++f)
          if (d.fields & (1 << f))
            out << "~ " << path << " " << DifferenceFieldName(f) << ": "
                << EscapedText(r.FieldText(d, false, f)) << " -> "
                << EscapedText(r.FieldText(d, true, f)) << "\n";
        break;
      }
      case DifferenceKind::kMoved:
        out << "> " << EscapedText(r.ShownPathOf(false, d.first)) << " -> "
            << EscapedText(r.ShownPathOf(true, d.second)) << "\n";
        break;
    }
  }
}

QJsonArray SortedIds(std::vector<uint32_t> ids) {
  std::sort(ids.begin(), ids.end());
  QJsonArray a;
  for (uint32_t id : ids) a.append(qint64(id));
  return a;
}

std::string JsonReport(const CompareResult& r) {
  std::vector<uint32_t> added, removed, moved;
  std::vector<const Difference*> changed;
  for (const Difference& d : r.differences) {
    switch (d.kind) {
      case DifferenceKind::kRemoved:
        removed.push_back(d.firstId);
        break;
      case DifferenceKind::kAdded:
        added.push_back(d.secondId);
        break;
      case DifferenceKind::kChanged:
        changed.push_back(&d);
        break;
      case DifferenceKind::kMoved:
        moved.push_back(d.firstId);
        break;
    }
  }
  std::sort(changed.begin(), changed.end(),
            [](const Difference* x, const Difference* y) { return x->firstId < y->firstId; });
  QJsonArray changes;
  for (const Difference* d : changed) {
    QJsonArray fields;
    for (int f = 0; f < kDifferenceFieldCount; ++f)
      if (d->fields & (1 << f)) fields.append(DifferenceFieldName(f));
    changes.append(QJsonObject{{"id", qint64(d->firstId)}, {"fields", fields}});
  }
  QJsonObject top{{"added", SortedIds(std::move(added))},
                  {"removed", SortedIds(std::move(removed))},
                  {"changed", changes},
                  {"moved", SortedIds(std::move(moved))}};
  return QJsonDocument(top).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

class DiffCommand : public Command {
 public:
  const char* Name() const override { return "diff"; }
  const char* Usage() const override {
    return "A.kdl B.kdl|--server HOST PORT [--timeout SECONDS] [--by id|path] [--ignore-values] "
           "[--json]";
  }

  int Run(const std::vector<std::string>& args) override {
    std::string usage = std::string("usage: kandrel-cli diff ") + Usage();
    std::vector<std::string> positional;
    CompareOptions options;
    bool json = false;
    std::vector<std::string> server;
    int timeout = -1;
    for (size_t i = 0; i < args.size(); ++i) {
      const std::string& a = args[i];
      if (a == "--json") {
        json = true;
      } else if (a == "--ignore-values") {
        options.ignoreValues = true;
      } else if (a == "--by") {
        if (i + 1 >= args.size() || (args[i + 1] != "id" && args[i + 1] != "path"))
          throw CliError(kExitUsage, usage);
        options.byPath = args[++i] == "path";
      } else if (a == "--timeout") {
        if (i + 1 >= args.size()) throw CliError(kExitUsage, usage);
        timeout = ParseNumber(args[++i], 1, 3600, usage);
      } else if (a == "--server") {
        if (i + 2 >= args.size() || !server.empty()) throw CliError(kExitUsage, usage);
        server = {args[i + 1], args[i + 2]};
        i += 2;
      } else if (a.size() > 1 && a[0] == '-') {
        throw CliError(kExitUsage, usage);
      } else {
        positional.push_back(a);
      }
    }
    if (positional.size() != (server.empty() ? 2u : 1u) || (server.empty() && timeout >= 0))
      throw CliError(kExitUsage, usage);
    int port = server.empty() ? 0 : ParseNumber(server[1], 1, 65535, usage);

    CTarnelDoc first, second;
    OpenDocument(first, positional[0]);
    if (server.empty()) {
      OpenDocument(second, positional[1]);
    } else {
      // The server's base goes into a document of its own; the file is only read.
      second.OnNewDocument();
      second.RebuildTree();
      DownloadBase(second, server[0], port, timeout < 0 ? kDefaultTimeoutSeconds : timeout);
    }
    CompareResult result = CompareDocuments(first, second, options);
    OutputStream out;
    if (json)
      out << JsonReport(result);
    else
      TextReport(result, out);
    out.Flush();
    return result.Equal() ? kExitOk : kExitProblems;
  }
};

}  // namespace

std::unique_ptr<Command> MakeDiffCommand() {
  return std::make_unique<DiffCommand>();
}
