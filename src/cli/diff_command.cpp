// diff: how one base differs from another file or from what a server holds.
#include "base_download.h"
#include "command.h"
#include "diff_report.h"
#include "model/base_compare.h"
#include "model/document.h"

namespace {

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
      out << DiffJsonReport(result);
    else
      DiffTextReport(result, out);
    out.Flush();
    return result.Equal() ? kExitOk : kExitProblems;
  }
};

}  // namespace

std::unique_ptr<Command> MakeDiffCommand() {
  return std::make_unique<DiffCommand>();
}
