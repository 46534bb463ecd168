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
  if (!frame_->history_.CanUndo()) return false;
  {
    CMainFrame::ChangeHold hold(frame_);
    CWriteGate::Action writes(&frame_->network()->gate(), WriteOrigin::kUndo);
    frame_->history_.Undo(frame_->doc_);
  }
  AfterUndoRedo();
  return true;
}

bool FrameUndoFind::RedoChange() {
  if (!frame_->history_.CanRedo()) return false;
  {
    CMainFrame::ChangeHold hold(frame_);
    CWriteGate::Action writes(&frame_->network()->gate(), WriteOrigin::kRedo);
    frame_->history_.Redo(frame_->doc_);
  }
  AfterUndoRedo();
  return true;
}

void FrameUndoFind::BeforeExternalChange() {
  frame_->history_.NoteExternalChangeComing(frame_->doc_);
}

void FrameUndoFind::AfterExternalChange() {
  frame_->recovery()->WriteNow();  // a whole base is a large change
}

void FrameUndoFind::AfterUndoRedo() {
  // The restored records may be other objects than the ones the views knew: everything is
  // found again by identifier.
  uint32_t keep = frame_->selectedRecord() ? frame_->selectedId_ : 0;
  frame_->records_->DropStaleCopy();
  frame_->linkPickMode_ = false;
  frame_->hasShown_ = false;
  // The tree kept its open branches and its current row where the records still stand.
  QModelIndex item = keep ? frame_->treeView_->IndexOfId(keep) : QModelIndex();
  if (item.isValid()) {
    frame_->treeView_->SelectIndex(item);
    frame_->treeView_->scrollTo(item);
  } else {
    frame_->treeView_->ResetSelection();
    frame_->formView_->OnInitialUpdate();
  }
  frame_->SetModified(!frame_->history_.IsClean());
  frame_->UpdateActions();
}

void FrameUndoFind::RevealRecord(uint32_t id) {
  frame_->treeView_->Reveal(id);
}

void FrameUndoFind::OnFind() {
  frame_->findBar_->Open();
}

void FrameUndoFind::OnReferences() {
  CRecord* record = frame_->selectedRecord();
  if (!record) return;
  auto* dlg = frame_->findChild<CReferencesDlg*>(QStringLiteral("referencesDialog"));
  if (!dlg) dlg = new CReferencesDlg(frame_);
  dlg->ShowFor(record->id);
  dlg->show();
  dlg->raise();
}
