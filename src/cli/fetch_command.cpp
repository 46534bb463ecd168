// fetch: downloads a server's base into a new document and saves it.
#include <memory>

#include "base_download.h"
#include "command.h"
#include "model/document.h"

namespace {

class FetchCommand : public Command {
 public:
  const char* Name() const override { return "fetch"; }
  const char* Usage() const override { return "HOST PORT -o OUT.kdl [--timeout SECONDS]"; }

  int Run(const std::vector<std::string>& args) override {
    std::string usage = std::string("usage: kandrel-cli fetch ") + Usage();
    std::vector<std::string> positional;
    std::string out;
    int timeout = kDefaultTimeoutSeconds;
    for (size_t i = 0; i < args.size(); ++i) {
      if (args[i] == "-o" || args[i] == "--timeout") {
        if (i + 1 >= args.size()) throw CliError(kExitUsage, usage);
        if (args[i] == "-o")
          out = args[++i];
        else
          timeout = ParseNumber(args[++i], 1, 3600, usage);
      } else if (args[i].size() > 1 && args[i][0] == '-') {
        throw CliError(kExitUsage, usage);
      } else {
        positional.push_back(args[i]);
      }
    }
    if (positional.size() != 2 || out.empty()) throw CliError(kExitUsage, usage);
    int port = ParseNumber(positional[1], 1, 65535, usage);

    CTarnelDoc doc;
    doc.OnNewDocument();
    doc.RebuildTree();
    DownloadBase(doc, positional[0], port, timeout);
    SaveDocument(doc, out);
    return kExitOk;
  }
};

}  // namespace

std::unique_ptr<Command> MakeFetchCommand() {
  return std::make_unique<FetchCommand>();
}
