#include "ui/app/frame_undo_find.h"

#include "ui/app/frame_files.h"
#include "ui/app/frame_records.h"
#include "ui/app/main_frame.h"
#include "ui/app/recovery_keeper.h"
#include "ui/dialogs/references_dlg.h"
#include "ui/form/property_form.h"
#include "ui/network/frame_network.h"
#include "ui/tree/find_bar.h"
#include "ui/tree/record_model.h"
#include "ui/tree/structure_tree.h"

bool FrameUndoFind::UndoChange() {
  if (!state_.history.CanUndo()) return false;
  {
    FrameState::ChangeHold hold(state_);
    CWriteGate::Action writes(&frame_->network()->gate(), WriteOrigin::kUndo);
    state_.history.Undo(state_.doc);
  }
  AfterUndoRedo();
  return true;
}

bool FrameUndoFind::RedoChange() {
  if (!state_.history.CanRedo()) return false;
  {
    FrameState::ChangeHold hold(state_);
    CWriteGate::Action writes(&frame_->network()->gate(), WriteOrigin::kRedo);
    state_.history.Redo(state_.doc);
  }
  AfterUndoRedo();
  return true;
}

void FrameUndoFind::BeforeExternalChange() {
  state_.history.NoteExternalChangeComing(state_.doc);
}

void FrameUndoFind::AfterExternalChange() {
  frame_->recovery()->WriteNow();  // a whole base is a large change
}

void FrameUndoFind::AfterUndoRedo() {
  // The restored records may be other objects than the ones the views knew: everything is
  // found again by identifier.
  uint32_t keep = state_.selectedRecord() ? state_.selectedId : 0;
  records_.DropStaleCopy();
  state_.ForgetShown();
  // The tree kept its open branches and its current row where the records still stand.
  QModelIndex item = keep ? frame_->GetTreeView()->IndexOfId(keep) : QModelIndex();
  if (item.isValid()) {
    frame_->GetTreeView()->SelectIndex(item);
    frame_->GetTreeView()->scrollTo(item);
  } else {
    frame_->GetTreeView()->ResetSelection();
    frame_->GetFormView()->OnInitialUpdate();
  }
  frame_->SetModified(!state_.history.IsClean());
  frame_->UpdateActions();
}

void FrameUndoFind::RevealRecord(uint32_t id) {
  frame_->GetTreeView()->Reveal(id);
}

void FrameUndoFind::OnFind() {
  frame_->GetFindBar()->Open();
}

void FrameUndoFind::OnReferences() {
  CRecord* record = state_.selectedRecord();
  if (!record) return;
  auto* dlg = frame_->findChild<CReferencesDlg*>(QStringLiteral("referencesDialog"));
  if (!dlg) dlg = new CReferencesDlg(frame_);
  dlg->ShowFor(record->id);
  dlg->show();
  dlg->raise();
}
