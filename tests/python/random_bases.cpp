// Writes the generated bases the C++ tests use, for the Python tests to read back:
//   kandrel_random_bases OUT_DIR [RECORDS]
// sample.kdl is BuildSampleBase, edited-SEED.kdl the same after random edits of the kinds a
// user makes, as the model tests drive them.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "model/document.h"
#include "random_edits.h"
#include "sample_base.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: kandrel_random_bases OUT_DIR [RECORDS]\n");
    return 2;
  }
  std::string dir = argv[1];
  int records = argc == 3 ? std::atoi(argv[2]) : 1500;
  try {
    CTarnelDoc sample;
    BuildSampleBase(sample, records);
    sample.SaveFile(dir + "/sample.kdl");
    for (unsigned seed : {1u, 2u, 3u}) {
      CTarnelDoc doc;
      BuildSampleBase(doc, records);
      std::mt19937 rng(seed);
      for (int i = 0; i < 200; ++i) RandomEdit(doc, rng);
      doc.SaveFile(dir + "/edited-" + std::to_string(seed) + ".kdl");
    }
  } catch (const DocumentFileError& e) {
    std::fprintf(stderr, "kandrel_random_bases: %s\n", e.what());
    return 3;
  }
  return 0;
}
