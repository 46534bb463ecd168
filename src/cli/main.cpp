// kandrel-cli: batch work on .kdl documents.
#include <cstdio>
#include <cstring>
#include <exception>

#include "command.h"
#include "model/cp1251.h"

std::unique_ptr<Command> MakeNewCommand();
std::unique_ptr<Command> MakeDumpCommand();
std::unique_ptr<Command> MakeResaveCommand();
std::unique_ptr<Command> MakeCheckCommand();
std::unique_ptr<Command> MakeExportCommand();
std::unique_ptr<Command> MakeImportCommand();
std::unique_ptr<Command> MakeFetchCommand();
std::unique_ptr<Command> MakeWatchCommand();
std::unique_ptr<Command> MakeListCommand();
std::unique_ptr<Command> MakeDiffCommand();
std::unique_ptr<Command> MakeMergeCommand();
std::unique_ptr<Command> MakeTableCommand();
std::unique_ptr<Command> MakeApplyTableCommand();
std::unique_ptr<Command> MakeSetCommand();
std::unique_ptr<Command> MakeJournalCommand();

std::vector<std::unique_ptr<Command>> AllCommands() {
  std::vector<std::unique_ptr<Command>> all;
  all.push_back(MakeNewCommand());
  all.push_back(MakeDumpCommand());
  all.push_back(MakeResaveCommand());
  all.push_back(MakeExportCommand());
  all.push_back(MakeImportCommand());
  all.push_back(MakeFetchCommand());
  all.push_back(MakeWatchCommand());
  all.push_back(MakeCheckCommand());
  all.push_back(MakeListCommand());
  all.push_back(MakeDiffCommand());
  all.push_back(MakeMergeCommand());
  all.push_back(MakeTableCommand());
  all.push_back(MakeApplyTableCommand());
  all.push_back(MakeSetCommand());
  all.push_back(MakeJournalCommand());
  return all;
}

static void PrintUsage(std::FILE* out) {
  std::fprintf(out, "usage:\n");
  for (const auto& c : AllCommands())
    std::fprintf(out, "  kandrel-cli %s %s\n", c->Name(), c->Usage());
}

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? kExitUsage : kExitOk;
  }
  for (auto& command : AllCommands()) {
    if (std::strcmp(command->Name(), argv[1]) != 0) continue;
    try {
      return command->Run(std::vector<std::string>(argv + 2, argv + argc));
    } catch (const CliError& e) {
      std::fprintf(stderr, "kandrel-cli: %s\n", EscapedUtf8(e.what()).c_str());
      return e.code;
    } catch (const std::bad_alloc&) {
      std::fprintf(stderr, "kandrel-cli: out of memory\n");
      return kExitFailure;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "kandrel-cli: %s\n", EscapedUtf8(e.what()).c_str());
      return kExitFailure;
    }
  }
  std::fprintf(stderr, "kandrel-cli: unknown command '%s'\n", EscapedUtf8(argv[1]).c_str());
  PrintUsage(stderr);
  return kExitUsage;
}
