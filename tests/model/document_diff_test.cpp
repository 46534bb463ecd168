// The undo engine: pictures of a document, the change between two of them or recorded from
// the events as the editor's history records it, and taking that change back and making it
// again, down to the saved bytes, the incoming-link lists and the events a view model follows.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "event_shadow.h"
#include "model/change_recorder.h"
#include "model/document.h"
#include "model/document_diff.h"
#include "model/document_edits.h"
#include "model/value_types.h"
#include "random_edits.h"
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
  ASSERT_EQ(doc.Ids().Count(), int(std::count_if(got.state.records.begin(), got.state.records.end(),
                                                 [](const RecordData& d) { return d.registered; })))
      << where;
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
  EXPECT_EQ(int(s.records.size()), doc.Ids().Count());
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
        CObj* o = doc.NewObject(doc.Groups().At(doc.Groups().Count() - 1));
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
  CheckEdit([&] { DeleteRecord(doc, doc.Groups().At(0)); }, "delete a group");
}

// Fifty random edits (now and then a rebuild among them), all undone, all redone, then half
// undone and a different future: after every step the document is that moment's, and a tree
// fed only by the events equals it. Half the seeds take each step as the editor's history does,
// recorded from the events; the others compare pictures taken before and after it.
TEST_F(DocumentDiffTest, FiftyRandomEditsUndoAndRedoInSequence) {
  EventShadow shadow(doc);
  CChangeRecorder recorder(doc);
  auto expectMoment = [&](const Snapshot& want, const std::string& where) {
    ExpectSame(want, doc, where);
    EXPECT_EQ(shadow.Compare(), "") << where;
  };
  for (unsigned seed : {1u, 2u, 3u, 4u}) {
    SCOPED_TRACE(seed);
    const bool recorded = seed % 2 == 0;
    std::mt19937 rng(seed);
    std::vector<Snapshot> moments{Take(doc)};
    std::vector<DocumentChange> changes;
    auto editUpTo = [&](size_t count) {
      while (changes.size() < count) {
        DocumentState before = CaptureState(doc);
        recorder.Begin();
        bool edited = rng() % 10 == 0 ? (doc.RebuildTree(), true) : RandomEdit(doc, rng);
        std::unique_ptr<DocumentChange> step = recorder.End();
        if (!edited) continue;
        changes.push_back(recorded ? std::move(*step)
                                   : DiffStates(std::move(before), CaptureState(doc)));
        moments.push_back(Take(doc));
        expectMoment(moments.back(), "edit " + std::to_string(changes.size()));
      }
    };
    auto undoDownTo = [&](size_t count) {
      for (size_t i = changes.size(); i-- > count;) {
        ApplyChange(doc, changes[i], false);
        expectMoment(moments[i], "undo " + std::to_string(i));
      }
    };
    editUpTo(50);
    undoDownTo(0);
    for (size_t i = 0; i < changes.size(); ++i) {
      ApplyChange(doc, changes[i], true);
      expectMoment(moments[i + 1], "redo " + std::to_string(i));
    }
    // Half way back and a different future: the undone changes are simply not used again.
    undoDownTo(25);
    changes.resize(25);
    moments.resize(26);
    editUpTo(50);
    undoDownTo(0);
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
  for (CRecord* c : doc.Groups().At(1)->children)
    if ((obj = AsObject(c))) break;
  ASSERT_NE(obj, nullptr);
  doc.MoveRecord(obj, doc.Groups().At(2), doc.RowCount(doc.Groups().At(2)));
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
  CObj* o = doc.NewObject(doc.Groups().At(0));
  o->name = "obj";
  CAtom* a = doc.NewAtom(o);
  CPropertyItem* p = doc.NewProperty(a);
  p->name = "P";
  Snapshot first = Take(doc);
  DocumentState before = CaptureState(doc);

  CTarnelDoc other;
  other.OnNewDocument();
  CObj* o2 = other.NewObject(other.Groups().At(1));             // id 4 again, in another group
  CPropertyItem* stand = other.NewProperty(other.NewAtom(o2));  // 5: atom, 6: property
  stand->name = "Q";
  CObj* deep = other.NewObject(o2);  // 7
  deep->name = "deep";
  other.NewGroup()->name = "Fourth";  // 8
  doc.OpenBytes(other.SaveToBytes(), "other");
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
  CObj* o = doc.NewObject(doc.Groups().At(0));
  CObj* twin = doc.NewObject(doc.Groups().At(1));
  twin->id = o->id;  // as a file may hold them; the registry keeps one
  CDocumentRestore(doc).Ids().SetAt(o->id, o);
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
  EXPECT_EQ(doc.LookupRecord(4)->parent, doc.Groups().At(0));  // the registered one
  ApplyChange(doc, change, true);
  ExpectSame(second, doc, "redo");
}

TEST(DocumentDiffDecimals, ADeletedDecimalPointIsNeverFollowed) {
  CTarnelDoc doc;
  doc.OnNewDocument();
  CAtom* a = doc.NewAtom(doc.NewObject(doc.Groups().At(0)));
  CPropertyItem* value = doc.NewProperty(a);
  value->typeCode = kTypeShort;
  CPropertyItem* dp = doc.NewProperty(a);
  dp->name = "DecPoint";
  dp->InitRawValue(5);
  doc.RebuildTree();
  ASSERT_EQ(value->decimalPoint, dp);
  uint32_t valueId = value->id;
  DocumentState before = CaptureState(doc);
  doc.RemoveRecord(dp);  // clears the sibling's pointer to it
  DocumentChange change = DiffStates(std::move(before), CaptureState(doc));
  ApplyChange(doc, change, false);
  auto* back = AsProperty(doc.LookupRecord(valueId));
  ASSERT_NE(back->decimalPoint, nullptr);
  EXPECT_EQ(back->GetDecimals(), 2);
  ApplyChange(doc, change, true);
  EXPECT_EQ(AsProperty(doc.LookupRecord(valueId))->decimalPoint, nullptr);
}

}  // namespace
