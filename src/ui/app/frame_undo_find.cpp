// Undo and redo of document changes, finding records and the references list: the frame's
// side, which keeps the views in step with what the history restored.
#include <QTreeWidgetItem>

#include "ui/app/main_frame.h"
#include "ui/dialogs/references_dlg.h"
#include "ui/form/property_form.h"
#include "ui/tree/find_bar.h"
#include "ui/tree/structure_tree.h"
#include "ui/tree/tree_refill.h"

bool CMainFrame::UndoChange() {
  if (!history_.Undo(doc_)) return false;
  AfterUndoRedo();
  return true;
}

bool CMainFrame::RedoChange() {
  if (!history_.Redo(doc_)) return false;
  AfterUndoRedo();
  return true;
}

void CMainFrame::BeforeExternalChange() {
  history_.NoteExternalChangeComing(doc_);
}

void CMainFrame::AfterUndoRedo() {
  // The restored records may be other objects than the ones the views knew: everything is
  // found again by identifier.
  uint32_t keep = selectedRecord() ? selectedId_ : 0;
  if (!copiedRecord()) copiedId_ = 0;
  linkPickMode_ = false;
  hasShown_ = false;
  // Items may go: nothing stays selected while the tree follows the change.
  treeView_->ResetSelection();
  if (const DocumentChange* change = history_.lastApplied())
    RefreshChangedBranches(*treeView_, doc_, *change);
  else
    RefillTree(*treeView_, doc_);
  QTreeWidgetItem* item = keep ? FindRecordItem(*treeView_, doc_, keep) : nullptr;
  if (item) {
    treeView_->SelectItem(item);
    treeView_->scrollToItem(item);
  } else {
    treeView_->ResetSelection();
    formView_->OnInitialUpdate();
  }
  SetModified(!history_.IsClean());
  UpdateActions();
}

void CMainFrame::RevealRecord(uint32_t id) {
  QTreeWidgetItem* item = FindRecordItem(*treeView_, doc_, id);
  if (!item) return;
  for (QTreeWidgetItem* p = item->parent(); p; p = p->parent()) p->setExpanded(true);
  treeView_->SelectItem(item);
  treeView_->scrollToItem(item);
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
