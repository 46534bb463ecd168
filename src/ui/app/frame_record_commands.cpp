// The frame's record commands: copy, paste, delete, the add commands, export and import.
#include <QFileDialog>

#include "ui/app/command_ids.h"
#include "ui/app/main_frame.h"
#include "ui/app/modal_runner.h"
#include "ui/dialogs/html_about.h"
#include "ui/dialogs/import_dlg.h"
#include "ui/form/property_form.h"
#include "ui/history/record_commands.h"
#include "ui/tree/structure_tree.h"
#include "xml/export_file.h"

void CMainFrame::OnCopy() {
  // Remembered by identifier: once the record is deleted there is nothing to paste.
  copiedId_ = selectedRecord() ? selectedId_ : 0;
}

void CMainFrame::OnPaste() {
  pasteTargetId_ = selectedId_;
  CRecord* copied = copiedRecord();
  if (!copied || copied == selectedRecord()) return;
  if (RunCommand(std::make_unique<PasteCommand>(copiedId_, pasteTargetId_))) AfterTreeChanged();
}

void CMainFrame::OnDelete() {
  // The selection moves on as it does when a row leaves the tree.
  uint32_t deleted = treeView_->currentId();
  uint32_t next = treeView_->NeighbourOf(deleted);
  if (!RunCommand(std::make_unique<DeleteRecordCommand>(selectedId_))) return;
  if (deleted && !doc_.LookupRecord(deleted)) treeView_->SelectIndex(treeView_->IndexOfId(next));
  AfterTreeChanged();
}

void CMainFrame::OnAdd(int commandId) {
  switch (commandId) {
    case cmd::kAddGroup:
      treeView_->OnAddGroup();
      break;
    case cmd::kAddObject:
      treeView_->OnAddObject(selectedId_);
      break;
    case cmd::kAddAtom:
      treeView_->OnAddAtom(selectedId_);
      break;
    case cmd::kAddProperty:
      treeView_->OnAddProperty(selectedId_);
      break;
  }
}

void CMainFrame::OnExport() {
  // The branch of the selected record, or the whole tree when "Root" is selected.
  QFileDialog dlg(this, tr("Экспорт структуры"));
  dlg.setObjectName(QStringLiteral("exportDialog"));
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setNameFilter(tr("XML Files (*.xml)"));
  dlg.setDefaultSuffix(QStringLiteral("xml"));
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  if (RunModal(dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return;
  CExportFile file(doc_, selectedRecord(), dlg.selectedFiles().first().toStdString());
  if (!file.Export()) {
    ShowError(this, tr("Error"), QString::fromStdString(file.GetError()));
    return;
  }
  ShowInformation(this, tr("Inforamtion"), tr("Export completed"));
}

void CMainFrame::OnImport() {
  CImportDlg dlg(this, selectedRecord() ? selectedId_ : 0);
  dlg.RunModal();
}

void CMainFrame::OnSwitchPane(bool) {
  // Two panes: forward and back both lead to the other one.
  if (formView_->isAncestorOf(focusWidget())) {
    treeView_->setFocus(Qt::ShortcutFocusReason);
  } else {
    // The form's first field, or the form itself when it has none (the empty form).
    QWidget* first = formView_->widget()->nextInFocusChain();
    if (first && formView_->isAncestorOf(first))
      first->setFocus(Qt::ShortcutFocusReason);
    else
      formView_->setFocus(Qt::ShortcutFocusReason);
  }
}

void CMainFrame::ShowAbout() {
  CHTMLAbout about(this);
  RunModal(about);
}
