// The edit history without any widget: commands and grouped steps become one undoable step
// each, a cancelled step leaves the document as it was, refusals keep the worst reason. (The
// editor's use of it, with its memory limits and views: tests/ui/undo_redo_test.)
#include "model/edit_history.h"

#include <gtest/gtest.h>

#include "model/document.h"

namespace {

struct History : ::testing::Test {
  CTarnelDoc doc;
  CEditHistory history;

  void SetUp() override { doc.OnNewDocument(); }
  size_t Groups() const { return size_t(doc.RowCount(nullptr)); }
  bool Add(const char* name) {
    EditContext ctx{doc, {}, {}};
    return history.Run(std::make_unique<CallCommand>(
                           [name](EditContext& c) { return AddGroup(c.doc, name).changed; }),
                       ctx);
  }
};

TEST_F(History, GroupedEditsAreOneStepWithTheirLabel) {
  const size_t before = Groups();
  const std::string bytes = doc.SaveToBytes();
  history.BeginStep(doc, "paste cells");
  AddGroup(doc, "one");
  EXPECT_TRUE(Add("two"));          // a command inside joins the step
  history.BeginStep(doc, "inner");  // nested: no step of its own
  AddGroup(doc, "three");
  EXPECT_FALSE(history.EndStep());
  EXPECT_TRUE(history.InStep());
  EXPECT_FALSE(history.Undo(doc));  // nothing is undone while a step is open
  EXPECT_TRUE(history.EndStep());
  EXPECT_FALSE(history.InStep());

  EXPECT_EQ(history.Count(), 1u);
  EXPECT_EQ(history.UndoLabel(), "paste cells");
  EXPECT_EQ(Groups(), before + 3);
  EXPECT_TRUE(history.Undo(doc));
  EXPECT_EQ(doc.SaveToBytes(), bytes);
  EXPECT_EQ(history.RedoLabel(), "paste cells");
  EXPECT_TRUE(history.Redo(doc));
  EXPECT_EQ(Groups(), before + 3);
  EXPECT_EQ(history.UndoLabel(), "paste cells");
}

TEST_F(History, EmptyAndCancelledStepsLeaveNothing) {
  EXPECT_TRUE(Add("kept"));
  const std::string bytes = doc.SaveToBytes();
  const uint16_t lastId = doc.Ids().GetLastId();

  history.BeginStep(doc, "nothing");
  EXPECT_FALSE(history.EndStep());
  EXPECT_EQ(history.Count(), 1u);

  // Taken back at once, identifier counter included, and the undone step survives.
  ASSERT_TRUE(history.Undo(doc));
  ASSERT_TRUE(history.Redo(doc));
  ASSERT_TRUE(history.Undo(doc));
  const std::string undone = doc.SaveToBytes();
  history.BeginStep(doc, "script that failed");
  AddGroup(doc, "lost");
  EXPECT_FALSE(history.EndStep(/*cancel=*/true));
  EXPECT_EQ(doc.SaveToBytes(), undone);
  EXPECT_EQ(history.RedoCount(), 1u);

  // A command inside a step that is stopped half way takes the whole step back.
  ASSERT_TRUE(history.Redo(doc));
  history.BeginStep(doc);
  AddGroup(doc, "before the stop");
  EditContext ctx{doc, {}, {}};
  EXPECT_FALSE(history.Run(std::make_unique<CallCommand>([](EditContext& c) {
                             AddGroup(c.doc, "half");
                             c.cancelled = true;
                             return false;
                           }),
                           ctx));
  EXPECT_FALSE(history.EndStep());
  EXPECT_EQ(doc.SaveToBytes(), bytes);
  EXPECT_EQ(doc.Ids().GetLastId(), lastId);
  EXPECT_EQ(history.Count(), 1u);
  EXPECT_EQ(history.UndoLabel(), "");
}

TEST(Report, AFullDocumentIsNotHiddenByALaterRefusal) {
  CTarnelDoc doc;
  EditContext ctx{doc, {}, {}};
  Report(ctx, EditResult{true, EditRefusal::kDone, nullptr});
  EXPECT_EQ(ctx.refusal, EditRefusal::kDone);
  Report(ctx, EditResult::Refused(EditRefusal::kWrongKind));
  EXPECT_EQ(ctx.refusal, EditRefusal::kWrongKind);
  Report(ctx, EditResult::Refused(EditRefusal::kDocumentFull));
  Report(ctx, EditResult::Refused(EditRefusal::kOwnBranch));
  EXPECT_EQ(ctx.refusal, EditRefusal::kDocumentFull);
}

}  // namespace
