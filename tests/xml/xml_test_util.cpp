#include "xml_test_util.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

TempDir::TempDir() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  // The process id keeps runs of the suite in several checkouts at once apart.
  dir_ = std::filesystem::path(::testing::TempDir()) /
         ("kandrel-test-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
          std::to_string(::getpid()));
  std::filesystem::remove_all(dir_);
  std::filesystem::create_directories(dir_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(dir_, ec);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

CliResult RunCli(const TempDir& dir, const std::string& args) {
  std::string errFile = dir.Path("stderr.txt");
  std::string cmd = std::string(KANDREL_CLI) + " " + args + " 2>" + errFile;
  CliResult r{};
  FILE* p = popen(cmd.c_str(), "r");
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  r.code = WEXITSTATUS(pclose(p));
  r.err = ReadAll(errFile);
  return r;
}

bool XmllintAccepts(const std::string& path, std::string* output) {
  std::string cmd = "xmllint --noout --encode windows-1251 '" + path + "' 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return false;
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int status = pclose(p);
  if (output) *output = out;
  return status == 0 && out.empty();
}

CObj* AddObject(CTarnelDoc& doc, CRecord* parent, const std::string& name) {
  CObj* o = doc.NewObject(parent);
  o->name = name;
  return o;
}

CAtom* AddAtom(CTarnelDoc& doc, CRecord* parent, const std::string& name, int type) {
  CAtom* a = doc.NewAtom(parent);
  a->name = name;
  a->type = int8_t(type);
  return a;
}

CPropertyItem* AddProperty(CTarnelDoc& doc, CRecord* atom, const std::string& name, int type,
                           const std::string& value, int flags) {
  CPropertyItem* p = doc.NewProperty(atom);
  p->name = name;
  p->typeCode = uint8_t(type);
  p->valueText = value;
  p->flags = uint8_t(flags);
  return p;
}
