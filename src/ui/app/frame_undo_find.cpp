// Undo and redo of document changes, finding records and the references list: the frame's
// side, which keeps the views in step with what the history restored.
#include "ui/app/main_frame.h"
#include "ui/dialogs/references_dlg.h"
#include "ui/form/property_form.h"
#include "ui/tree/find_bar.h"
#include "ui/tree/record_model.h"
#include "ui/tree/structure_tree.h"

bool CMainFrame::UndoChange() {
  if (!history_.CanUndo()) return false;
  treeView_->recordModel()->BeginReload();
  history_.Undo(doc_);
  treeView_->recordModel()->EndReload();
  AfterUndoRedo();
  return true;
}

bool CMainFrame::RedoChange() {
  if (!history_.CanRedo()) return false;
  treeView_->recordModel()->BeginReload();
  history_.Redo(doc_);
  treeView_->recordModel()->EndReload();
  AfterUndoRedo();
  return true;
}

void CMainFrame::BeforeExternalChange() {
  history_.NoteExternalChangeComing(doc_);
  treeView_->recordModel()->BeginReload();
}

void CMainFrame::AfterExternalChange() {
  treeView_->recordModel()->EndReload();
}

void CMainFrame::AfterUndoRedo() {
  // The restored records may be other objects than the ones the views knew: everything is
  // found again by identifier.
  uint32_t keep = selectedRecord() ? selectedId_ : 0;
  if (!copiedRecord()) copiedId_ = 0;
  linkPickMode_ = false;
  hasShown_ = false;
  // The tree kept its open branches and its current row where the records still stand.
  QModelIndex item = keep ? treeView_->IndexOfId(keep) : QModelIndex();
  if (item.isValid()) {
    treeView_->SelectIndex(item);
    treeView_->scrollTo(item);
  } else {
    treeView_->ResetSelection();
    formView_->OnInitialUpdate();
  }
  SetModified(!history_.IsClean());
  UpdateActions();
}

void CMainFrame::RevealRecord(uint32_t id) {
  treeView_->Reveal(id);
}

void CMainFrame::OnFind() {
  findBar_->Open();
}

void CMainFrame::OnReferences() {
  CRecord* record = selectedRecord();
  if (!record) return;
  auto* dlg = findChild<CReferencesDlg*>(QStringLiteral("referencesDialog"));
  if (!dlg) dlg = new CReferencesDlg(this);
  dlg->ShowFor(record->id);
  dlg->show();
  dlg->raise();
}
