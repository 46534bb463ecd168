// journal: prints the journal of values sent to servers, oldest first, as JSON lines or CSV.
#include <QDateTime>
#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "base_download.h"
#include "command.h"
#include "model/cp1251.h"
#include "net/journal/write_journal.h"

namespace {

QDateTime ReadTime(const std::string& text) {
  QDateTime t = QDateTime::fromString(QString::fromStdString(text), Qt::ISODateWithMs);
  if (!t.isValid()) t = QDateTime::fromString(QString::fromStdString(text), Qt::ISODate);
  return t;
}

class JournalCommand : public Command {
 public:
  const char* Name() const override { return "journal"; }
  const char* Usage() const override {
    return "[FILE] [--server HOST:PORT] [--since ISO-TIME] [--path PREFIX] [--csv]";
  }

  int Run(const std::vector<std::string>& args) override {
    std::string usage = std::string("usage: kandrel-cli journal ") + Usage();
    std::string file, server, pathPrefix;
    QDateTime since;
    bool csv = false;
    for (size_t i = 0; i < args.size(); ++i) {
      const std::string& a = args[i];
      if (a == "--csv") {
        csv = true;
      } else if (a == "--server" || a == "--since" || a == "--path") {
        if (i + 1 >= args.size()) throw CliError(kExitUsage, usage);
        const std::string& v = args[++i];
        if (a == "--server") {
          server = v;
        } else if (a == "--since") {
          since = ReadTime(v);
          if (!since.isValid())
            throw CliError(kExitUsage, "--since takes an ISO 8601 time, e.g. 2026-12-07T14:03");
        } else if (Utf8ToCp1251(v, &pathPrefix) > 0) {
          throw CliError(kExitUsage, "--path takes a record path that windows-1251 can hold");
        }
      } else if (a.size() > 1 && a[0] == '-') {
        throw CliError(kExitUsage, usage);
      } else if (file.empty()) {
        file = a;
      } else {
        throw CliError(kExitUsage, usage);
      }
    }
    if (!file.empty() && !server.empty()) throw CliError(kExitUsage, usage);

    std::vector<std::string> files;
    if (!file.empty()) {
      if (!QFileInfo::exists(QString::fromLocal8Bit(file)))
        throw CliError(kExitFailure, file + ": no such file");
      files.push_back(file);
    } else if (!server.empty()) {
      size_t colon = server.rfind(':');
      if (colon == std::string::npos || colon == 0) throw CliError(kExitUsage, usage);
      int port = ParseNumber(server.substr(colon + 1), 1, 65535, usage);
      files = JournalFilesOf(JournalPathFor(server.substr(0, colon), port));
    } else {
      for (const std::string& current : JournalsIn(JournalDirectory()))
        for (std::string& f : JournalFilesOf(current)) files.push_back(std::move(f));
    }

    struct Row {
      QDateTime time;
      JournalEntry entry;
    };
    std::vector<Row> rows;
    int damaged = 0;
    for (const std::string& f : files) {
      JournalRead read;
      try {
        read = ReadJournalFile(f);
      } catch (const JournalError& e) {
        throw CliError(kExitFailure, e.what());
      }
      damaged += read.damaged;
      for (JournalEntry& e : read.entries) {
        QDateTime t = ReadTime(e.time);
        if (since.isValid() && (!t.isValid() || t < since)) continue;
        if (e.path.compare(0, pathPrefix.size(), pathPrefix) != 0) continue;
        rows.push_back({t, std::move(e)});
      }
    }
    // Files of several servers interleave; within one file the order is the order written.
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
      return a.time.isValid() && b.time.isValid() && a.time < b.time;
    });

    std::string out;
    if (csv) out += JournalCsvHeader();
    for (const Row& r : rows) {
      const JournalEntry& e = r.entry;
      out += csv ? JournalCsvRow(e) : EncodeJournalLine(e);
      if (out.size() > (1 << 16)) {
        WriteOut(out);
        out.clear();
      }
    }
    WriteOut(out);
    if (damaged > 0)
      std::fprintf(stderr, "kandrel-cli: %d damaged journal line(s) passed over\n", damaged);
    return kExitOk;
  }
};

}  // namespace

std::unique_ptr<Command> MakeJournalCommand() {
  return std::make_unique<JournalCommand>();
}
