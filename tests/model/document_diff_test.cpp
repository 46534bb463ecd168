// The undo engine: pictures of a document, the change between two of them, and taking that
// change back and making it again, down to the saved bytes and the incoming-link lists.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "model/document.h"
#include "model/document_diff.h"
#include "model/value_types.h"
#include "sample_base.h"

namespace {

struct PostedValue {
  uint32_t id;
  uint32_t raw;
  bool operator==(const PostedValue&) const = default;
};

struct RecordingSink : IDocumentObserver {
  std::vector<PostedValue> posted;
  void ValueChanged(CPropertyItem* p, uint32_t) override {
    posted.push_back({p->id, p->GetRawValue()});
  }
};

// Everything the document holds, for comparing two moments exactly: the saved bytes plus what
// the bytes leave out (registry entries, decimal-point properties) through the picture.
struct Snapshot {
  std::string bytes;
  DocumentState state;
};

Snapshot Take(CTarnelDoc& doc) {
  return {doc.SaveToBytes(), CaptureState(doc)};
}

void ExpectSame(const Snapshot& want, CTarnelDoc& doc, const std::string& where) {
  Snapshot got = Take(doc);
  ASSERT_EQ(got.bytes, want.bytes) << where;
  ASSERT_EQ(got.state.records.size(), want.state.records.size()) << where;
  ASSERT_EQ(got.state.lastId, want.state.lastId) << where;
  for (size_t i = 0; i < got.state.records.size(); ++i) {
    const RecordData& a = got.state.records[i];
    const RecordData& b = want.state.records[i];
    ASSERT_TRUE(a.SameContent(b)) << where << ": record " << b.id << " " << b.name;
    ASSERT_EQ(a.parent, b.parent) << where << ": record " << b.id;
    ASSERT_EQ(a.registered, b.registered) << where << ": record " << b.id;
  }
  // Every registered record is reachable by lookup and holds its parent pointer.
  for (const RecordData& d : want.state.records) {
    if (d.registered) {
      ASSERT_NE(doc.LookupRecord(d.id), nullptr) << where;
    }
  }
  ASSERT_EQ(doc.idMap.Count(), int(std::count_if(got.state.records.begin(), got.state.records.end(),
                                                 [](const RecordData& d) { return d.registered; })))
      << where;
}

void CollectAll(CRecord* r, std::vector<CRecord*>* out) {
  out->push_back(r);
  if (CChildHolder* h = AsChildHolder(r))
    for (const auto& c : h->children) CollectAll(c.get(), out);
  if (CAtom* a = AsAtom(r))
    for (const auto& p : a->properties) CollectAll(p.get(), out);
}

std::vector<CRecord*> AllRecords(CTarnelDoc& doc) {
  std::vector<CRecord*> out;
  for (const auto& g : doc.groups) CollectAll(g.get(), &out);
  return out;
}

// The link bookkeeping a deletion does: sources lose their type, targets their entries.
void DeleteRecord(CTarnelDoc& doc, CRecord* r) {
  std::vector<CRecord*> branch;
  CollectAll(r, &branch);
  for (CRecord* x : branch)
    if (CPropertyItem* p = AsProperty(x)) {
      for (const CIncomingLink& l : p->incomingLinks)
        if (CPropertyItem* s = AsProperty(doc.LookupRecord(l.sourceId))) s->typeCode = kTypeBin;
      if (p->typeCode == kTypeLinkTo)
        if (CPropertyItem* t = AsProperty(doc.LookupRecord(uint32_t(AtoI(p->valueText)))))
          t->RemoveIncomingLink(p->id);
    }
  if (CBase* g = AsGroup(r))
    doc.RemoveGroup(g);
  else if (CPropertyItem* p = AsProperty(r))
    AsAtom(p->parent)->RemoveProperty(p);
  else
    AsChildHolder(r->parent)->RemoveChild(r);
}

bool Inside(const CRecord* r, const CRecord* branch) {
  for (; r; r = r->parent)
    if (r == branch) return true;
  return false;
}

// One random edit of the kinds users make; false when the pick did not fit.
bool RandomEdit(CTarnelDoc& doc, std::mt19937& rng) {
  std::vector<CRecord*> all = AllRecords(doc);
  auto pick = [&]() { return all[std::uniform_int_distribution<size_t>(0, all.size() - 1)(rng)]; };
  auto pickOf = [&](int kind) -> CRecord* {
    for (int i = 0; i < 40; ++i)
      if (CRecord* r = pick(); r->Kind() == kind) return r;
    return nullptr;
  };
  switch (std::uniform_int_distribution<int>(0, 11)(rng)) {
    case 0: {  // rename
      CRecord* r = pick();
      r->name += "\xC5\xB8";  // "Её"
      return true;
    }
    case 1: {  // a value and its pattern
      CPropertyItem* p = AsProperty(pickOf(kKindProperty));
      if (!p) return false;
      p->valueText = std::to_string(rng() % 1000);
      p->SetRawValue(uint32_t(rng()));
      return true;
    }
    case 2: {  // add an object
      CRecord* parent = pick();
      if (!AsChildHolder(parent)) return false;
      CObj* o = doc.NewObject(parent);
      if (o) o->name = "new";
      return o != nullptr;
    }
    case 3: {  // add an atom with a property
      CObj* parent = AsObject(pickOf(kKindObject));
      if (!parent) return false;
      CAtom* a = doc.NewAtom(parent);
      if (!a) return false;
      a->type = 5;
      if (CPropertyItem* p = doc.NewProperty(a)) p->name = "DecPoint";
      return true;
    }
    case 4: {  // add a LINK_TO with its incoming entry
      CAtom* atom = AsAtom(pickOf(kKindAtom));
      CPropertyItem* target = AsProperty(pickOf(kKindProperty));
      if (!atom || !target) return false;
      CPropertyItem* link = doc.NewProperty(atom);
      if (!link) return false;
      link->typeCode = kTypeLinkTo;
      link->valueText = std::to_string(target->id);
      target->AddIncomingLink(link->id);
      return true;
    }
    case 5:
    case 6: {  // delete
      CRecord* r = pick();
      if (r->Kind() == kKindGroup && doc.groups.size() < 2) return false;
      DeleteRecord(doc, r);
      return true;
    }
    case 7: {  // move an object or atom into another container
      CRecord* r = pick();
      CRecord* to = pick();
      int k = r->Kind();
      if ((k != kKindObject && k != kKindAtom) || !AsChildHolder(to) || Inside(to, r)) return false;
      if (k == kKindAtom && !AsObject(to)) return false;
      auto moved = AsChildHolder(r->parent)->DetachChild(r);
      AsChildHolder(to)->InsertChild(int(rng() % uint32_t(AsChildHolder(to)->GetChildCount() + 1)),
                                     std::move(moved));
      return true;
    }
    case 8: {  // reorder an atom's properties
      CAtom* a = AsAtom(pickOf(kKindAtom));
      if (!a || a->GetPropertyCount() < 2) return false;
      auto p = a->DetachProperty(a->GetProperty(0));
      a->InsertProperty(a->GetPropertyCount(), std::move(p));
      return true;
    }
    case 9: {  // a new group, or the groups reordered
      if (rng() % 2) {
        CBase* g = doc.NewGroup();
        if (g) g->name = "G";
        return g != nullptr;
      }
      if (doc.groups.size() < 2) return false;
      std::swap(doc.groups.front(), doc.groups.back());
      return true;
    }
    case 10: {  // flags and end of chain
      CPropertyItem* p = AsProperty(pickOf(kKindProperty));
      if (!p) return false;
      p->flags ^= 0x05;
      p->eoc = !p->eoc;
      return true;
    }
    default: {  // a paste: a copy of a branch
      CRecord* r = pick();
      CRecord* to = pick();
      bool fits = r->Kind() == kKindProperty ? AsAtom(to) != nullptr
                                             : (r->Kind() == kKindObject && AsChildHolder(to)) ||
                                                   (r->Kind() == kKindAtom && AsObject(to));
      if (!fits || Inside(to, r)) return false;
      return doc.CopyInto(r, to) != nullptr;
    }
  }
}

class DocumentDiffTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.events().AddObserver(&sink);
    BuildSampleBase(doc, 600);
  }
  void TearDown() override { doc.events().RemoveObserver(&sink); }

  // Runs an edit and checks that its change takes the document back and forth exactly.
  DocumentChange CheckEdit(const std::function<void()>& edit, const std::string& where) {
    Snapshot before = Take(doc);
    DocumentState stateBefore = CaptureState(doc);
    edit();
    Snapshot after = Take(doc);
    DocumentChange change = DiffStates(std::move(stateBefore), CaptureState(doc));
    ApplyChange(doc, change, false);
    ExpectSame(before, doc, where + " (undo)");
    ApplyChange(doc, change, true);
    ExpectSame(after, doc, where + " (redo)");
    return change;
  }

  RecordingSink sink;
  CTarnelDoc doc;
};

TEST_F(DocumentDiffTest, CapturingChangesNothingAndPostsNothing) {
  std::string bytes = doc.SaveToBytes();
  sink.posted.clear();
  DocumentState s = CaptureState(doc);
  EXPECT_EQ(doc.SaveToBytes(), bytes);
  EXPECT_TRUE(sink.posted.empty());
  EXPECT_TRUE(s.keyed);
  EXPECT_EQ(int(s.records.size()), doc.idMap.Count());
  EXPECT_TRUE(DiffStates(s, CaptureState(doc)).Empty());
}

TEST_F(DocumentDiffTest, EachKindOfEditGoesBackAndForth) {
  std::vector<CRecord*> all = AllRecords(doc);
  CObj* object = nullptr;
  CAtom* atom = nullptr;
  CPropertyItem* target = nullptr;
  for (CRecord* r : all) {
    if (!object && AsObject(r) && AsObject(r)->GetChildCount() > 1) object = AsObject(r);
    if (!atom && AsAtom(r) && AsAtom(r)->GetPropertyCount() > 2) atom = AsAtom(r);
    if (!target && AsProperty(r) && AsProperty(r)->GetIncomingLinkCount() > 0)
      target = AsProperty(r);
  }
  ASSERT_TRUE(object && atom && target);
  // Undo and redo re-create records, so the edits find them by identifier each time.
  uint32_t objectId = object->id, atomId = atom->id, targetId = target->id;
  auto find = [&](uint32_t id) { return doc.LookupRecord(id); };

  CheckEdit([&] { find(atomId)->name = "\xCD\xEE\xE2\xEE\xE5"; }, "rename");
  CheckEdit([&] { AsAtom(find(atomId))->type = 7; }, "atom type");
  CheckEdit(
      [&] {
        doc.NewGroup()->name = "Extra";
        CObj* o = doc.NewObject(doc.groups.back().get());
        CAtom* a = doc.NewAtom(o);
        doc.NewProperty(a)->name = "DecPoint";
      },
      "add of each kind");
  CheckEdit([&] { doc.CopyInto(find(atomId), find(atomId)->parent); }, "paste");
  CheckEdit(
      [&] {
        CPropertyItem* t = AsProperty(find(targetId));
        std::reverse(t->incomingLinks.begin(), t->incomingLinks.end());
        t->incomingLinks.push_back({atomId});
      },
      "incoming list");
  // Deleting a target turns its sources into BIN; undo gives back types and lists.
  CheckEdit([&] { DeleteRecord(doc, find(targetId)); }, "delete a link target");
  CheckEdit([&] { DeleteRecord(doc, find(objectId)); }, "delete a branch");
  CheckEdit([&] { DeleteRecord(doc, doc.groups[0].get()); }, "delete a group");
}

TEST_F(DocumentDiffTest, FiftyRandomEditsUndoAndRedoInSequence) {
  for (unsigned seed : {1u, 2u, 3u, 7u}) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    std::vector<Snapshot> moments{Take(doc)};
    std::vector<DocumentChange> changes;
    while (changes.size() < 50) {
      DocumentState before = CaptureState(doc);
      if (!RandomEdit(doc, rng)) continue;
      changes.push_back(DiffStates(std::move(before), CaptureState(doc)));
      moments.push_back(Take(doc));
    }
    for (size_t i = changes.size(); i-- > 0;) {
      ApplyChange(doc, changes[i], false);
      ExpectSame(moments[i], doc, "undo " + std::to_string(i));
    }
    for (size_t i = 0; i < changes.size(); ++i) {
      ApplyChange(doc, changes[i], true);
      ExpectSame(moments[i + 1], doc, "redo " + std::to_string(i));
    }
    // Half way back and a different future: the redo side is simply not used again.
    for (size_t i = changes.size(); i-- > 25;) ApplyChange(doc, changes[i], false);
    ExpectSame(moments[25], doc, "half way");
  }
}

TEST_F(DocumentDiffTest, UndoneValuesArePostedAndRecreatedRecordsAreNot) {
  CPropertyItem* p = nullptr;
  for (CRecord* r : AllRecords(doc))
    if ((p = AsProperty(r)) && p->GetRawValue() != 77) break;
  ASSERT_NE(p, nullptr);
  uint32_t id = p->id;
  uint32_t old = p->GetRawValue();
  DocumentState before = CaptureState(doc);
  p->SetRawValue(77);
  DocumentChange change = DiffStates(std::move(before), CaptureState(doc));
  sink.posted.clear();
  ApplyChange(doc, change, false);
  EXPECT_EQ(sink.posted, (std::vector<PostedValue>{{id, old}}));
  ApplyChange(doc, change, true);
  EXPECT_EQ(sink.posted, (std::vector<PostedValue>{{id, old}, {id, 77}}));

  // A deleted atom comes back with its values as they were, without telling anyone.
  CAtom* atom = AsAtom(doc.LookupRecord(id)->parent);
  before = CaptureState(doc);
  DeleteRecord(doc, atom);
  change = DiffStates(std::move(before), CaptureState(doc));
  sink.posted.clear();
  ApplyChange(doc, change, false);
  EXPECT_TRUE(sink.posted.empty());
  EXPECT_EQ(AsProperty(doc.LookupRecord(id))->GetRawValue(), 77u);
}

TEST(DocumentDiffLarge, MemoryFollowsTheChangeNotTheDocument) {
  CTarnelDoc doc;
  BuildSampleBase(doc, 65535);
  DocumentState before = CaptureState(doc);
  size_t whole = before.MemoryBytes();
  CRecord* r = doc.LookupRecord(40000);
  ASSERT_NE(r, nullptr);
  r->name = "renamed";
  DocumentChange rename = DiffStates(before, CaptureState(doc));
  EXPECT_LT(rename.MemoryBytes(), 1024u);
  EXPECT_EQ(rename.changed.size(), 1u);
  EXPECT_TRUE(rename.lists.empty());
  EXPECT_GT(whole, 1000 * rename.MemoryBytes());

  // A move costs the two lists involved, not the document.
  DocumentState beforeMove = CaptureState(doc);
  CObj* obj = nullptr;
  for (const auto& c : doc.groups[1]->children)
    if ((obj = AsObject(c.get()))) break;
  ASSERT_NE(obj, nullptr);
  doc.groups[2]->AddChild(doc.groups[1]->DetachChild(obj));
  DocumentChange move = DiffStates(std::move(beforeMove), CaptureState(doc));
  EXPECT_EQ(move.lists.size(), 2u);
  EXPECT_TRUE(move.changed.empty() && move.added.empty() && move.removed.empty());
  std::string moved = doc.SaveToBytes();
  ApplyChange(doc, move, false);
  ApplyChange(doc, move, true);
  EXPECT_EQ(doc.SaveToBytes(), moved);
}

TEST(DocumentDiffReplace, ARecordThatChangesKindUnderOneIdentifier) {
  // A base download replaces everything; identifiers come back for other kinds of records.
  CTarnelDoc doc;
  doc.OnNewDocument();
  CObj* o = doc.NewObject(doc.groups[0].get());
  o->name = "obj";
  CAtom* a = doc.NewAtom(o);
  CPropertyItem* p = doc.NewProperty(a);
  p->name = "P";
  Snapshot first = Take(doc);
  DocumentState before = CaptureState(doc);

  CTarnelDoc other;
  other.OnNewDocument();
  CObj* o2 = other.NewObject(other.groups[1].get());            // id 4 again, in another group
  CPropertyItem* stand = other.NewProperty(other.NewAtom(o2));  // 5: atom, 6: property
  stand->name = "Q";
  CObj* deep = other.NewObject(o2);  // 7
  deep->name = "deep";
  other.NewGroup()->name = "Fourth";  // 8
  doc.TakeContents(DocumentContents{std::move(other.groups), other.idMap.GetLastId()});
  Snapshot second = Take(doc);
  DocumentChange change = DiffStates(std::move(before), CaptureState(doc));
  EXPECT_FALSE(change.wholeBefore);
  ApplyChange(doc, change, false);
  ExpectSame(first, doc, "undo replace");
  ApplyChange(doc, change, true);
  ExpectSame(second, doc, "redo replace");
}

TEST(DocumentDiffDuplicates, SharedIdentifiersFallBackToWholeDocuments) {
  CTarnelDoc doc;
  doc.OnNewDocument();
  CObj* o = doc.NewObject(doc.groups[0].get());
  CObj* twin = doc.NewObject(doc.groups[1].get());
  twin->id = o->id;  // as a file may hold them; the registry keeps one
  doc.idMap.SetAt(o->id, o);
  Snapshot first = Take(doc);
  DocumentState before = CaptureState(doc);
  EXPECT_FALSE(before.keyed);
  doc.NewAtom(twin)->name = "A";
  o->name = "changed";
  Snapshot second = Take(doc);
  DocumentChange change = DiffStates(std::move(before), CaptureState(doc));
  ASSERT_TRUE(change.wholeBefore);
  ApplyChange(doc, change, false);
  ExpectSame(first, doc, "undo");
  EXPECT_EQ(doc.LookupRecord(4)->parent, doc.groups[0].get());  // the registered one
  ApplyChange(doc, change, true);
  ExpectSame(second, doc, "redo");
}

TEST(DocumentDiffDecimals, ADeletedDecimalPointIsNeverFollowed) {
  CTarnelDoc doc;
  doc.OnNewDocument();
  CAtom* a = doc.NewAtom(doc.NewObject(doc.groups[0].get()));
  CPropertyItem* value = doc.NewProperty(a);
  value->typeCode = kTypeShort;
  CPropertyItem* dp = doc.NewProperty(a);
  dp->name = "DecPoint";
  dp->InitRawValue(5);
  doc.RebuildTree();
  ASSERT_EQ(value->decimalPoint, dp);
  uint32_t valueId = value->id;
  DocumentState before = CaptureState(doc);
  a->RemoveProperty(dp);  // leaves the sibling's pointer behind
  DocumentChange change = DiffStates(std::move(before), CaptureState(doc));
  ApplyChange(doc, change, false);
  auto* back = AsProperty(doc.LookupRecord(valueId));
  ASSERT_NE(back->decimalPoint, nullptr);
  EXPECT_EQ(back->GetDecimals(), 2);
  ApplyChange(doc, change, true);
  EXPECT_EQ(AsProperty(doc.LookupRecord(valueId))->decimalPoint, nullptr);
}

}  // namespace
