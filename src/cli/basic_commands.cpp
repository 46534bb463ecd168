// new, resave and check: the verbs that only open and save documents.
#include <cstdio>
#include <filesystem>

#include "command.h"
#include "model/consistency.h"
#include "model/cp1251.h"
#include "model/document.h"

namespace {

class NewCommand : public Command {
 public:
  const char* Name() const override { return "new"; }
  const char* Usage() const override { return "OUT.kdl"; }
  int Run(const std::vector<std::string>& args) override {
    ExpectArgs(args, 1);
    CTarnelDoc doc;
    doc.OnNewDocument();
    doc.RebuildTree();
    SaveDocument(doc, args[0]);
    return kExitOk;
  }
};

class ResaveCommand : public Command {
 public:
  const char* Name() const override { return "resave"; }
  const char* Usage() const override { return "IN.kdl OUT.kdl"; }
  int Run(const std::vector<std::string>& args) override {
    ExpectArgs(args, 2);
    CTarnelDoc doc;
    OpenDocument(doc, args[0]);
    SaveDocument(doc, args[1]);
    return kExitOk;
  }
};

class CheckCommand : public Command {
 public:
  const char* Name() const override { return "check"; }
  const char* Usage() const override { return "IN.kdl"; }
  int Run(const std::vector<std::string>& args) override {
    ExpectArgs(args, 1);
    CTarnelDoc doc;
    OpenDocument(doc, args[0]);
    // One line per problem as it is found: the file's name as given, the problem's record
    // paths escaped as list escapes them.
    std::string prefix = EscapedUtf8(args[0]) + ": ";
    bool found = false;
    auto report = [&](const std::string& problem) {
      found = true;
      WriteOut(prefix + EscapedText(problem) + "\n");
    };
    // An empty file opens as a base without groups, but no save ever writes one: it is what
    // is left of a file that was cut off or never written.
    std::error_code ec;
    if (std::filesystem::file_size(args[0], ec) == 0 && !ec)
      report("the file is empty (0 bytes): no groups, no last identifier");
    CheckConsistency(doc, report);
    return found ? kExitProblems : kExitOk;
  }
};

}  // namespace

std::unique_ptr<Command> MakeNewCommand() {
  return std::make_unique<NewCommand>();
}
std::unique_ptr<Command> MakeResaveCommand() {
  return std::make_unique<ResaveCommand>();
}
std::unique_ptr<Command> MakeCheckCommand() {
  return std::make_unique<CheckCommand>();
}
