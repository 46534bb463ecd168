// Copying ticked items into the document, line ends of copied values, and the resolution of
// record paths in LINK_TO values.
#include <gtest/gtest.h>

#include "model/record_lookup.h"
#include "model/value_types.h"
#include "sample_base.h"
#include "xml/import_merge.h"
#include "xml/import_parser.h"
#include "xml/import_selection.h"
#include "xml_test_util.h"

namespace {

const char kFile[] =
    "<R><Base Name=\"G\" ID=\"900\"><Object Name=\"O\" ID=\"901\"><Object Name=\"N\">"
    "<Atom Name=\"A\" Type=\"-56\"><Property Name=\"P\" Type=\"INT\" B2=\"1\" B6=\"1\">\n"
    "one\ntwo\n\nfour\n</Property><Property Name=\"L\" Type=\"LINK_TO\">/G/O/N/A/P"
    "</Property></Atom></Object></Object></Base></R>";

// The subtree as "name(kind)" in tree order, with children in brackets.
std::string Shape(const CRecord* r) {
  std::string s = r->name + "(" + std::to_string(r->Kind()) + ")";
  std::string inner;
  ForEachChild(r, [&](const CRecord* c) { inner += Shape(c); });
  return inner.empty() ? s : s + "[" + inner + "]";
}

class MergeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.OnNewDocument();
    doc.RebuildTree();
    parser.LoadBytes(kFile);
  }
  ImportOutcome Import(CRecord* target) {
    auto root = FillImportTree(parser, target);
    return ApplyImport(doc, *root, target);
  }
  CRecord* Find(const std::string& path) { return FindRecordByTreePath(doc, path, nullptr, 0); }

  CTarnelDoc doc;
  CImportParser parser;
};

TEST_F(MergeTest, NoTargetAppendsGroupsWithFreshIdentifiers) {
  ImportOutcome out = Import(nullptr);
  EXPECT_EQ(out.merge.copied, 6);
  EXPECT_EQ(out.merge.notCopied, 0);
  ASSERT_EQ(doc.Groups().Count(), 4);
  CBase* g = doc.Groups().At(3);
  EXPECT_EQ(Shape(g), "G(1)[O(2)[N(2)[A(3)[P(4)L(4)]]]]");
  EXPECT_EQ(g->id, 4u);
  auto* atom = static_cast<CAtom*>(Find("/G/O/N/A/P")->parent);
  EXPECT_EQ(atom->type, -56);
  CPropertyItem* p = atom->GetProperty(0);
  CPropertyItem* link = atom->GetProperty(1);
  EXPECT_EQ(p->typeCode, kTypeInt);
  EXPECT_EQ(p->flags, 0x22);
  EXPECT_EQ(p->valueText, "one\r\ntwo\r\n\r\nfour");
  // The path became the identifier of the new copy, which lists the link.
  EXPECT_EQ(link->valueText, std::to_string(p->id));
  EXPECT_EQ(link->typeCode, kTypeLinkTo);
  ASSERT_EQ(p->GetIncomingLinkCount(), 1);
  EXPECT_EQ(p->GetIncomingLink(0)->sourceId, link->id);
  EXPECT_EQ(out.links.resolved, 1);
  // Every copy is registered.
  for (CRecord* r :
       {static_cast<CRecord*>(g), static_cast<CRecord*>(atom), static_cast<CRecord*>(p)})
    EXPECT_EQ(doc.LookupRecord(r->id), r);
}

TEST_F(MergeTest, GroupObjectAndAtomTargets) {
  CBase* logic = doc.Groups().At(1);
  Import(logic);
  EXPECT_EQ(Shape(logic), "Logic(1)[O(2)[N(2)[A(3)[P(4)L(4)]]]]");

  CObj* host = AddObject(doc, doc.Groups().At(2), "host");
  Import(host);
  EXPECT_EQ(Shape(host), "host(2)[O(2)[N(2)[A(3)[P(4)L(4)]]]]");

  CAtom* atom = AddAtom(doc, host, "own");
  Import(atom);
  EXPECT_EQ(Shape(atom), "own(3)[P(4)L(4)]");
  // No group is named G, so the path names nothing and the link became BIN.
  EXPECT_EQ(atom->GetProperty(1)->typeCode, kTypeBin);
  EXPECT_EQ(atom->GetProperty(1)->valueText, "/G/O/N/A/P");
}

TEST_F(MergeTest, PropertyTargetCopiesNothingButStillResolves) {
  CAtom* atom = AddAtom(doc, AddObject(doc, doc.Groups().At(0), "o"), "a");
  CPropertyItem* p = AddProperty(doc, atom, "p", kTypeInt, "1");
  CPropertyItem* dead = AddProperty(doc, atom, "dead", kTypeLinkTo, "0");
  CPropertyItem* kept = AddProperty(doc, atom, "kept", kTypeLinkTo, std::to_string(p->id));
  doc.RebuildTree();
  int before = doc.Ids().Count();
  ImportOutcome out = Import(p);
  EXPECT_EQ(out.merge.copied, 0);
  EXPECT_EQ(doc.Ids().Count(), before);
  EXPECT_EQ(dead->typeCode, kTypeBin);
  EXPECT_EQ(out.links.madeBinary, 1);
  EXPECT_EQ(kept->typeCode, kTypeLinkTo);
  EXPECT_EQ(kept->valueText, std::to_string(p->id));
  EXPECT_EQ(p->GetIncomingLinkCount(), 1);
}

TEST_F(MergeTest, ClearedParentsWithTickedChildren) {
  // Group target, the object cleared but one atom kept: the atom becomes an object named as
  // the atom, and its properties, which an object cannot take, are not copied.
  auto root = FillImportTree(parser, doc.Groups().At(0));
  CImportItem& o = *root->children[0]->children[0];
  CImportItem& n = *o.children[0];
  o.check = kUnchecked;
  n.check = kUnchecked;
  MergeChecked(doc, *root, doc.Groups().At(0), nullptr);
  EXPECT_EQ(Shape(doc.Groups().At(0)), "Hardware(1)[A(2)]");

  // No target, every box cleared but the atom's: it becomes a group, its properties objects.
  root = FillImportTree(parser, nullptr);
  SetChildrenCheck(*root, kUnchecked);
  CImportItem& a = *root->children[0]->children[0]->children[0]->children[0];
  a.check = kChecked;
  SetChildrenCheck(a, kChecked);
  MergeStats stats;
  MergeChecked(doc, *root, nullptr, &stats);
  EXPECT_EQ(stats.copied, 3);
  EXPECT_EQ(Shape(doc.Groups().At(doc.Groups().Count() - 1)), "A(1)[P(2)L(2)]");
}

TEST_F(MergeTest, LineEndsOfCopiedValues) {
  EXPECT_EQ(ConvertLineEnds("a\nb"), "a\r\nb");
  EXPECT_EQ(ConvertLineEnds("\n"), "\r\n");
  EXPECT_EQ(ConvertLineEnds("a\n\nb\n"), "a\r\n\r\nb\r\n");  // blank lines are kept
  EXPECT_EQ(ConvertLineEnds("a\r\nb\rc"), "a\r\nb\rc");
  EXPECT_EQ(ConvertLineEnds(""), "");
}

TEST_F(MergeTest, LinksToRecordsThatAreNoProperties) {
  CAtom* emptyAtom = AddAtom(doc, AddObject(doc, doc.Groups().At(0), "o"), "empty");
  CAtom* holder = AddAtom(doc, static_cast<CObj*>(emptyAtom->parent), "h");
  CPropertyItem* toAtom = AddProperty(doc, holder, "l", kTypeLinkTo, "/Hardware/o/empty");
  CPropertyItem* numeric = AddProperty(doc, holder, "n", kTypeLinkTo, "12345");
  LinkStats stats;
  ResolveImportedLinks(doc, doc.Groups().At(0), &stats);
  EXPECT_EQ(toAtom->valueText, std::to_string(emptyAtom->id));
  EXPECT_EQ(numeric->valueText, "12345");  // taken as an identifier of this document
  EXPECT_EQ(numeric->typeCode, kTypeLinkTo);
  EXPECT_EQ(stats.resolved, 1);
  EXPECT_EQ(stats.madeBinary, 0);
}

TEST_F(MergeTest, ItemsWithoutIdentifiersAreCounted) {
  CTarnelDoc full;
  BuildSampleBase(full, 65535);
  auto root = FillImportTree(parser, nullptr);
  MergeStats stats;
  MergeChecked(full, *root, nullptr, &stats);
  EXPECT_EQ(stats.copied, 0);
  EXPECT_EQ(stats.notCopied, 6);
  EXPECT_EQ(full.Groups().Count(), 3);
}

TEST_F(MergeTest, CopiesNoDeeperThanADocumentFileHolds) {
  CRecord* r = doc.Groups().At(0);
  for (int i = 0; i < 998; ++i) r = AddObject(doc, r, "d");  // depth 999
  auto root = FillImportTree(parser, r);
  MergeStats stats;
  MergeChecked(doc, *root, r, &stats);
  EXPECT_EQ(stats.copied, 1);  // O at depth 1000; N and below would lie deeper
  EXPECT_EQ(stats.notCopied, 4);
}

}  // namespace
