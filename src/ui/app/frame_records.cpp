#include "ui/app/frame_records.h"

#include <QFileDialog>
#include <QStatusBar>
#include <algorithm>
#include <vector>

#include "ui/app/command_ids.h"
#include "ui/app/main_frame.h"
#include "ui/app/modal_runner.h"
#include "ui/dialogs/import_dlg.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/form/property_form.h"
#include "ui/history/record_commands.h"
#include "ui/history/selection_commands.h"
#include "ui/network/frame_network.h"
#include "ui/tree/structure_tree.h"
#include "ui/tree/tree_context_menu.h"
#include "xml/export_file.h"

void FrameRecords::OnCopy() {
  // Remembered by identifier: once the record is deleted there is nothing to paste. Every
  // selected record is copied; the first one decides where the paste fits.
  copiedIds_ = frame_->treeEditing()->SelectedIds();
  copiedId_ = copiedIds_.empty() ? 0 : copiedIds_.front();
}

void FrameRecords::OnPaste() {
  pasteTargetId_ = state_.selectedId;
  if (!copiedRecord()) return;
  std::vector<uint32_t> sources;
  for (uint32_t id : copiedIds_)
    if (id != state_.selectedId && state_.doc.LookupRecord(id)) sources.push_back(id);
  if (sources.empty()) return;
  CWriteGate::Action writes(&frame_->network()->gate(), WriteOrigin::kPaste);
  if (frame_->RunCommand(std::make_unique<PasteRecordsCommand>(sources, pasteTargetId_)))
    frame_->AfterTreeChanged();
}

void FrameRecords::OnDelete() {
  // The selection moves on as it does when a row leaves the tree.
  uint32_t deleted = frame_->GetTreeView()->currentId();
  uint32_t next = frame_->GetTreeView()->NeighbourOf(deleted);
  if (!frame_->RunCommand(std::make_unique<DeleteRecordCommand>(state_.selectedId))) return;
  if (deleted && !state_.doc.LookupRecord(deleted))
    frame_->GetTreeView()->SelectIndex(frame_->GetTreeView()->IndexOfId(next));
  frame_->AfterTreeChanged();
}

void FrameRecords::OnAdd(int commandId) {
  switch (commandId) {
    case cmd::kAddGroup:
      frame_->GetTreeView()->OnAddGroup();
      break;
    case cmd::kAddObject:
      frame_->GetTreeView()->OnAddObject(state_.selectedId);
      break;
    case cmd::kAddAtom:
      frame_->GetTreeView()->OnAddAtom(state_.selectedId);
      break;
    case cmd::kAddProperty:
      frame_->GetTreeView()->OnAddProperty(state_.selectedId);
      break;
  }
}

void FrameRecords::OnExport() {
  // The branch of the selected record, or the whole tree when "Root" is selected.
  QFileDialog dlg(frame_, CMainFrame::tr("Экспорт структуры"));
  dlg.setObjectName(QStringLiteral("exportDialog"));
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setNameFilter(CMainFrame::tr("XML Files (*.xml)"));
  dlg.setDefaultSuffix(QStringLiteral("xml"));
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  if (RunModal(dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return;
  CExportFile file(state_.doc, state_.selectedRecord(), dlg.selectedFiles().first().toStdString());
  bool exported;
  try {
    CProgressDialog progress(frame_, CMainFrame::tr("Экспорт структуры…"), true);
    exported = file.Export(&progress);
  } catch (const OperationCancelled&) {
    // The target file is as it was: the text goes to a temporary file until it is complete.
    frame_->statusBar()->showMessage(CMainFrame::tr("Экспорт отменён, файл не записан"));
    return;
  }
  if (!exported) {
    ShowError(frame_, CMainFrame::tr("Error"), QString::fromStdString(file.GetError()));
    return;
  }
  ShowInformation(frame_, CMainFrame::tr("Inforamtion"), CMainFrame::tr("Export completed"));
}

void FrameRecords::OnImport() {
  CImportDlg dlg(frame_, state_.selectedRecord() ? state_.selectedId : 0);
  dlg.RunModal();
}

namespace {

// The identifiers in the list the record holds (null: the groups).
std::vector<uint32_t> ListIds(const CTarnelDoc& doc, const CRecord* holder) {
  std::vector<uint32_t> ids;
  if (holder)
    ForEachChild(holder, [&](const CRecord* c) { ids.push_back(c->id); });
  else
    for (CBase* g : doc.Groups()) ids.push_back(g->id);
  return ids;
}

}  // namespace

bool FrameRecords::RunImport(std::unique_ptr<CEditCommand> command, uint32_t targetId) {
  std::vector<uint32_t> had = ListIds(state_.doc, state_.doc.LookupRecord(targetId));
  int before = state_.doc.Ids().Count();
  bool changed;
  {
    CProgressDialog progress(frame_, CMainFrame::tr("Импорт записей…"), true);
    changed = frame_->RunCommand(std::move(command), &progress);
    if (progress.WasCancelled() && !changed) {
      frame_->statusBar()->showMessage(CMainFrame::tr("Импорт отменён, документ не изменён"));
      return false;
    }
  }
  int added = std::max(0, state_.doc.Ids().Count() - before);
  frame_->statusBar()->showMessage(CMainFrame::tr("Импортировано записей: %1").arg(added));
  // What came is shown: the branches that joined the target's list, the first one selected.
  uint32_t first = 0;
  for (uint32_t id : ListIds(state_.doc, state_.doc.LookupRecord(targetId)))
    if (std::find(had.begin(), had.end(), id) == had.end()) {
      first = id;
      break;
    }
  if (first) frame_->GetTreeView()->Reveal(first);
  return changed;
}

CRecord* FrameRecords::copiedRecord() const {
  return copiedId_ ? state_.doc.LookupRecord(copiedId_) : nullptr;
}

void FrameRecords::ForgetCopy() {
  copiedId_ = 0;
  pasteTargetId_ = 0;
}

void FrameRecords::DropStaleCopy() {
  if (!copiedRecord()) copiedId_ = 0;
}
