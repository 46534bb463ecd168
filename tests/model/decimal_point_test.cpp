// The decimal-point references that rebuilding the tree sets, against the walk that defines
// them (kept here as it was first written: for each "DecPoint", every property of the atom
// points at it), on random documents that go through a file.
#include <gtest/gtest.h>

#include <random>

#include "model/archive.h"
#include "model/document.h"
#include "model/value_types.h"

namespace {

// The defining walk over one atom's properties, in list order.
void ReferenceWalk(CAtom* atom) {
  for (CPropertyItem* p : atom->properties) {
    p->decimalPoint = nullptr;
    if (p->name == "DecPoint")
      for (CPropertyItem* q : atom->properties) q->decimalPoint = p;
  }
}

std::vector<CAtom*> AtomsOf(CTarnelDoc& doc) {
  std::vector<CAtom*> atoms;
  std::vector<CRecord*> stack;
  for (CBase* g : doc.Groups()) stack.push_back(g);
  while (!stack.empty()) {
    CRecord* r = stack.back();
    stack.pop_back();
    if (CAtom* a = AsAtom(r)) atoms.push_back(a);
    ForEachChild(r, [&](const CRecord* c) { stack.push_back(const_cast<CRecord*>(c)); });
  }
  return atoms;
}

TEST(DecimalPointTest, RebuildSetsWhatTheDefiningWalkSets) {
  std::mt19937 random(::testing::UnitTest::GetInstance()->random_seed());
  // Near misses of the name count as ordinary names.
  const char* names[] = {"DecPoint", "DecPoint", "decpoint", "DecPoint ", "Value", "", "Dec"};
  for (int round = 0; round < 200; ++round) {
    CTarnelDoc doc;
    doc.OnNewDocument();
    int atoms = 1 + int(random() % 5);
    for (int a = 0; a < atoms; ++a) {
      CObj* o = doc.NewObject(doc.Groups().At(random() % 3));
      CAtom* atom = doc.NewAtom(o);
      int n = int(random() % 12);
      for (int i = 0; i < n; ++i) {
        CPropertyItem* p = doc.NewProperty(atom);
        p->name = names[random() % std::size(names)];
        p->typeCode = kTypeShort;
        p->valueText = std::to_string(random() % 9);
      }
    }
    std::string bytes = doc.SaveToBytes();
    CTarnelDoc opened;
    ArchiveReader reader(bytes.data(), bytes.size());
    opened.TakeContents(CTarnelDoc::ReadContents(reader));

    // Pointers left from before must not matter: a rebuild starts from scratch.
    if (round % 2)
      for (CAtom* atom : AtomsOf(opened))
        for (CPropertyItem* p : atom->properties) p->decimalPoint = atom->properties.At(0);
    opened.RebuildTree();

    for (CAtom* atom : AtomsOf(opened)) {
      std::vector<CPropertyItem*> got;
      for (CPropertyItem* p : atom->properties) got.push_back(p->decimalPoint);
      ReferenceWalk(atom);
      for (int i = 0; i < atom->GetPropertyCount(); ++i)
        EXPECT_EQ(got[size_t(i)], atom->GetProperty(i)->decimalPoint)
            << "round " << round << ", property " << i;
    }
  }
}

}  // namespace
