// The baselines of the Python module's benchmark (python_bench.py), measured in C++ in the
// same run on the same file:
//   python_baseline make FILE         writes the generated base of 65,535 records
//   python_baseline measure FILE N    best of N, in milliseconds, as one JSON line:
// "open": the command line's open (kandrel-cli's OpenDocument); "walk": every record in tree
// order with its name and (for a property) its value as UTF-8, the text a script gets;
// "set": 10,000 numeric property values applied as the editor's form applies them, each one
// step of the edit history.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "command.h"
#include "model/cp1251.h"
#include "model/document.h"
#include "model/document_edits.h"
#include "model/edit_history.h"
#include "model/value_types.h"
#include "sample_base.h"

namespace {

double BestMs(int repeats, const std::function<void()>& run) {
  double best = 1e300;
  for (int i = 0; i < repeats; ++i) {
    auto start = std::chrono::steady_clock::now();
    run();
    std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

void Walk(const CRecord* r, size_t* bytes) {
  *bytes += Cp1251ToUtf8(r->name).size();
  if (const CPropertyItem* p = AsProperty(r)) *bytes += Cp1251ToUtf8(p->valueText).size();
  ForEachChild(r, [&](const CRecord* c) { Walk(c, bytes); });
}

void Collect(CRecord* r, std::vector<CPropertyItem*>* out) {
  if (CPropertyItem* p = AsProperty(r)) {
    if (p->typeCode >= kTypeByte && p->typeCode <= kTypeDouble && !p->eoc) out->push_back(p);
    return;
  }
  ForEachChild(r, [&](const CRecord* c) { Collect(const_cast<CRecord*>(c), out); });
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "make" && argc == 3) {
    CTarnelDoc doc;
    BuildSampleBase(doc, 65535);
    doc.SaveFile(argv[2]);
    return 0;
  }
  if (mode != "measure" || argc != 4) {
    std::fprintf(stderr, "usage: python_baseline make FILE | measure FILE REPEATS\n");
    return 2;
  }
  std::string file = argv[2];
  int repeats = std::max(1, std::atoi(argv[3]));
  double open = BestMs(repeats, [&] {
    CTarnelDoc doc;
    OpenDocument(doc, file);
  });
  CTarnelDoc doc;
  OpenDocument(doc, file);
  size_t bytes = 0;
  double walk = BestMs(repeats, [&] {
    for (int i = 0, n = doc.RowCount(nullptr); i < n; ++i) Walk(doc.RecordAt(nullptr, i), &bytes);
  });
  std::vector<CPropertyItem*> props;
  for (int i = 0, n = doc.RowCount(nullptr); i < n; ++i) Collect(doc.RecordAt(nullptr, i), &props);
  props.resize(std::min<size_t>(props.size(), 10000));
  int round = 0;
  // Each value one step of the edit history, as the form's "Применить" makes it.
  CEditHistory history;
  double set = BestMs(repeats, [&] {
    ++round;
    for (CPropertyItem* p : props) {
      PropertyEdit edit{p->name, p->eoc, std::to_string(round), p->typeCode,
                        uint8_t(p->flags & 0x3F)};
      history.BeginStep(doc);
      ApplyPropertyEdit(doc, *p, edit);
      history.EndStep();
    }
  });
  std::printf(
      "{\"open\": %.3f, \"walk\": %.3f, \"set\": %.3f, \"set_count\": %zu, \"bytes\": %zu}\n", open,
      walk, set, props.size(), bytes);
  return 0;
}
