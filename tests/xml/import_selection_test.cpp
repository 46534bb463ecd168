// The import dialog's check marks without the dialog: default ticks by target, clicks, clear.
#include <gtest/gtest.h>

#include "xml/import_parser.h"
#include "xml/import_selection.h"
#include "xml_test_util.h"

namespace {

// One group, one object, one atom, one property, and a second property.
const char kFile[] =
    "<R><Base Name=\"g\"><Object Name=\"o\"><Atom Name=\"a\"><Property Name=\"p\"/>"
    "<Property Name=\"q\"/></Atom></Object></Base></R>";

// The check state of every item in tree order, as "name:state".
std::string States(const CImportItem& item) {
  std::string s;
  for (const auto& c : item.children) {
    s += c->record->name + ":" + std::to_string(c->check) + " ";
    s += States(*c);
  }
  return s;
}

class SelectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.OnNewDocument();
    object = AddObject(doc, doc.Groups().At(0), "target");
    atom = AddAtom(doc, object, "ta");
    property = AddProperty(doc, atom, "tp", 0, "");
    parser.LoadBytes(kFile);
  }
  CTarnelDoc doc;
  CImportParser parser;
  CObj* object = nullptr;
  CAtom* atom = nullptr;
  CPropertyItem* property = nullptr;
};

TEST_F(SelectionTest, DefaultTicksByTarget) {
  EXPECT_EQ(States(*FillImportTree(parser, nullptr)), "g:1 o:1 a:1 p:1 q:1 ");
  EXPECT_EQ(States(*FillImportTree(parser, doc.Groups().At(0))), "g:-1 o:1 a:1 p:1 q:1 ");
  EXPECT_EQ(States(*FillImportTree(parser, object)), "g:-1 o:1 a:1 p:1 q:1 ");
  EXPECT_EQ(States(*FillImportTree(parser, atom)), "g:-1 o:-1 a:-1 p:1 q:1 ");
  EXPECT_EQ(States(*FillImportTree(parser, property)), "g:-1 o:-1 a:-1 p:-1 q:-1 ");

  // A top-level atom under a group target: not its own kind, and no parent to go by.
  CImportParser atoms;
  atoms.LoadBytes("<R><Atom Name=\"a\"><Property Name=\"p\"/></Atom></R>");
  EXPECT_EQ(States(*FillImportTree(atoms, doc.Groups().At(0))), "a:-1 p:-1 ");
  EXPECT_EQ(States(*FillImportTree(atoms, object)), "a:1 p:1 ");
}

TEST_F(SelectionTest, ClicksAndClear) {
  auto root = FillImportTree(parser, doc.Groups().At(0));
  CImportItem& g = *root->children[0];
  CImportItem& o = *g.children[0];
  ClickCheckBox(o);
  EXPECT_EQ(States(*root), "g:-1 o:0 a:0 p:0 q:0 ");
  ClickCheckBox(o);
  EXPECT_EQ(States(*root), "g:-1 o:1 a:1 p:1 q:1 ");
  ClickCheckBox(g);  // no box: nothing happens
  EXPECT_EQ(States(*root), "g:-1 o:1 a:1 p:1 q:1 ");
  // The keyboard's toggle is the item alone.
  o.children[0]->check = kUnchecked;
  EXPECT_EQ(States(*root), "g:-1 o:1 a:0 p:1 q:1 ");
  SetChildrenCheck(*root, kUnchecked);
  EXPECT_EQ(States(*root), "g:-1 o:0 a:0 p:0 q:0 ");
  EXPECT_EQ(o.parent, &g);
  EXPECT_EQ(o.record, static_cast<CBase*>(parser.GetRecord(0))->GetChild(0));
}

}  // namespace
