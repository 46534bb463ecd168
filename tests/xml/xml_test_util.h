// Helpers shared by the XML, c2ko and kandrel-cli tests.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "model/document.h"

// A folder of its own for the running test, removed again at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

 private:
  std::filesystem::path dir_;
};

std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);

// What kandrel-cli printed and how it ended.
struct CliResult {
  int code;
  std::string out;
  std::string err;
};
// Runs kandrel-cli with these arguments (shell words); its stderr passes through a file in `dir`.
CliResult RunCli(const TempDir& dir, const std::string& args);

// Runs xmllint on the file as an independent parser: true when it is well-formed in
// windows-1251. `output` gets what it printed.
bool XmllintAccepts(const std::string& path, std::string* output = nullptr);

// Small builders that name what they make.
CObj* AddObject(CTarnelDoc& doc, CRecord* parent, const std::string& name);
CAtom* AddAtom(CTarnelDoc& doc, CRecord* parent, const std::string& name, int type = 0);
CPropertyItem* AddProperty(CTarnelDoc& doc, CRecord* atom, const std::string& name, int type,
                           const std::string& value, int flags = 0);
